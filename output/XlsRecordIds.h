#pragma once

#include <cstdint>

namespace kve::xls {

// The BIFF8 record types the writer uses, named as in the file format's documentation.
enum class RecordId : std::uint16_t {
    // Both kinds of substream
    Bof = 0x0809,
    Eof = 0x000A,
    Continue = 0x003C,

    // Workbook globals
    InterfaceHdr = 0x00E1,
    Mms = 0x00C1,
    InterfaceEnd = 0x00E2,
    WriteAccess = 0x005C,
    CodePage = 0x0042,
    Dsf = 0x0161,
    TabId = 0x013D,
    WindowProtect = 0x0019,
    Protect = 0x0012,
    Password = 0x0013,
    Backup = 0x0040,
    HideObj = 0x008D,
    Window1 = 0x003D,
    Date1904 = 0x0022,
    Precision = 0x000E,
    RefreshAll = 0x01B7,
    BookBool = 0x00DA,
    Font = 0x0031,
    Format = 0x041E,
    Xf = 0x00E0,
    Style = 0x0293,
    UsesElfs = 0x0160,
    BoundSheet = 0x0085,
    Country = 0x008C,
    Sst = 0x00FC,
    ExtSst = 0x00FF,

    // Worksheet
    CalcMode = 0x000D,
    CalcCount = 0x000C,
    RefMode = 0x000F,
    Iteration = 0x0011,
    Delta = 0x0010,
    SaveRecalc = 0x005F,
    PrintHeaders = 0x002A,
    PrintGridLines = 0x002B,
    GridSet = 0x0082,
    Guts = 0x0080,
    DefaultRowHeight = 0x0225,
    WsBool = 0x0081,
    HorizontalPageBreaks = 0x001B,
    Header = 0x0014,
    Footer = 0x0015,
    HCenter = 0x0083,
    VCenter = 0x0084,
    LeftMargin = 0x0026,
    RightMargin = 0x0027,
    TopMargin = 0x0028,
    BottomMargin = 0x0029,
    Setup = 0x00A1,
    DefColWidth = 0x0055,
    ColInfo = 0x007D,
    Dimensions = 0x0200,
    Row = 0x0208,
    LabelSst = 0x00FD,
    Number = 0x0203,
    Blank = 0x0201,
    Window2 = 0x023E,
    Selection = 0x001D,
    MergedCells = 0x00E5,
};

// The substream a BOF record opens.
enum class SubstreamKind : std::uint16_t {
    WorkbookGlobals = 0x0005,
    Worksheet = 0x0010,
};

} // namespace kve::xls
