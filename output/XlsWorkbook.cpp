#include "XlsWorkbook.h"

#include "XlsContainer.h"
#include "XlsPalette.h"
#include "XlsRecordIds.h"
#include "XlsRecordStream.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <set>

namespace kve::xls {

// --- Sheet ----------------------------------------------------------------------------------

void Sheet::checkPosition(int row, int column) const
{
    if (row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns)
        throw XlsError(QStringLiteral("Ячейка (%1, %2) вне листа Excel (не более %3 строк и %4 столбцов).")
                           .arg(row + 1).arg(column + 1).arg(kMaxRows).arg(kMaxColumns));
}

void Sheet::setText(int row, int column, const QString &text, const CellFormat &format)
{
    checkPosition(row, column);
    m_cells[{row, column}] = Cell{text, std::nullopt, format};
}

void Sheet::setNumber(int row, int column, double value, const CellFormat &format)
{
    checkPosition(row, column);
    if (!std::isfinite(value))
        throw XlsError(QStringLiteral("Ячейка (%1, %2): не число.").arg(row + 1).arg(column + 1));
    m_cells[{row, column}] = Cell{std::nullopt, value, format};
}

void Sheet::setBlank(int row, int column, const CellFormat &format)
{
    checkPosition(row, column);
    m_cells[{row, column}] = Cell{std::nullopt, std::nullopt, format};
}

void Sheet::merge(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    checkPosition(firstRow, firstColumn);
    checkPosition(lastRow, lastColumn);
    if (lastRow < firstRow || lastColumn < firstColumn)
        throw XlsError(QStringLiteral("Неверная объединяемая область."));
    // Only the merged columns of the rows the area spans can overlap it.
    for (int row = firstRow; row <= lastRow; ++row) {
        const auto found = m_mergedColumns.find(row);
        if (found == m_mergedColumns.end())
            continue;
        // The last run starting at or before the area's last column is the only candidate.
        const auto run = found->second.upper_bound(lastColumn);
        if (run != found->second.begin() && std::prev(run)->second >= firstColumn)
            throw XlsError(QStringLiteral("Объединяемые области пересекаются."));
    }
    for (int row = firstRow; row <= lastRow; ++row)
        m_mergedColumns[row][firstColumn] = lastColumn;
    m_merges.push_back({firstRow, lastRow, firstColumn, lastColumn});
}

void Sheet::setColumnWidth(int column, double characters)
{
    checkPosition(0, column);
    constexpr double kMaxColumnWidthCharacters = 255.0;
    m_columnWidths[column] = std::clamp(characters, 0.0, kMaxColumnWidthCharacters);
}

void Sheet::setRowHeight(int row, double points)
{
    checkPosition(row, 0);
    m_rowHeights[row] = std::clamp(points, 0.0, kMaxRowHeightPoints);
}

void Sheet::addPageBreak(int row)
{
    checkPosition(row, 0);
    if (row > 0)
        m_breaks.push_back(row);
}

void Sheet::select(int row, int column)
{
    checkPosition(row, column);
    m_selRow = row;
    m_selColumn = column;
}

// --- Workbook ---------------------------------------------------------------------------------

Sheet &Workbook::addSheet(const QString &name)
{
    m_sheets.emplace_back(name);
    return m_sheets.back();
}

namespace {

constexpr unsigned kBiff8Version = 0x0600;
constexpr int kStyleXfCount = 16;
constexpr int kMaxXfCount = 4050;             // cell formats a workbook may hold
constexpr int kMaxPageBreaks = 1026;          // row breaks one sheet may hold
constexpr int kRowsPerBlock = 32;             // ROW records come in blocks, each before its cells
constexpr unsigned kTwipsPerPoint = 20;
constexpr unsigned kDefaultRowHeightTwips = 255;
constexpr double kMinFontPoints = 1.0, kMaxFontPoints = 409.0;
constexpr int kWriteAccessSize = 112;         // the user name padded with spaces to this size
constexpr int kColumnWidthUnits = 256;        // COLINFO widths are in 1/256 of a character
constexpr int kDefaultFontCount = 4;   // font index 4 does not exist in BIFF
constexpr int kDefaultCellXf = 15;     // the format of cells and columns that have none of their own
constexpr int kFirstCustomFormat = 164;
constexpr unsigned kTextFormat = 49;   // built-in "@"
// The default column width (DEFCOLWIDTH 8) as a COLINFO width: 8 digits of Arial 10 plus
// the cell's padding, in 1/256 of a digit.
constexpr unsigned kDefaultColumnWidth = 2340;

// Fonts and cell formats of the whole workbook, each stored once.
struct FormatTables {
    std::vector<Font> fonts;
    std::vector<CellFormat> formats;
    QStringList numberFormats;   // custom codes, index kFirstCustomFormat onwards

    int fontIndex(const Font &f)
    {
        auto it = std::find(fonts.begin(), fonts.end(), f);
        int i = int(it - fonts.begin());
        if (it == fonts.end())
            fonts.push_back(f);
        return i + kDefaultFontCount + 1;
    }
    int xfIndex(const CellFormat &f)
    {
        auto it = std::find(formats.begin(), formats.end(), f);
        int i = int(it - formats.begin());
        if (it == formats.end()) {
            formats.push_back(f);
            fontIndex(f.font);
            if (!f.textFormat && !f.numberFormat.isEmpty() && !numberFormats.contains(f.numberFormat))
                numberFormats.append(f.numberFormat);
        }
        return kStyleXfCount + i;
    }
    unsigned numberFormatIndex(const CellFormat &f) const
    {
        if (f.textFormat)
            return kTextFormat;
        if (f.numberFormat.isEmpty())
            return 0;
        return unsigned(kFirstCustomFormat + numberFormats.indexOf(f.numberFormat));
    }
};

RecordBody bof(SubstreamKind kind)
{
    RecordBody b;
    b.u16(kBiff8Version).u16(unsigned(kind)).u16(0x0DBB).u16(0x07CC).u32(0x00000041).u32(0x00000006);
    return b;
}

RecordBody fontRecord(const Font &f)
{
    RecordBody b;
    const unsigned twips = unsigned(std::lround(std::clamp(f.points, kMinFontPoints, kMaxFontPoints) * kTwipsPerPoint));
    b.u16(twips);
    // Bold and underline also go into the flags, where older readers look for them.
    b.u16((f.bold ? 0x0001 : 0) | (f.italic ? 0x0002 : 0) | (f.underline ? 0x0004 : 0));
    b.u16(unsigned(paletteIndex(f.color)));
    b.u16(f.bold ? 700 : 400);
    b.u16(0);                       // no super/subscript
    b.u8(f.underline ? 1 : 0);
    b.u8(2);                        // swiss family
    b.u8(0xCC);                     // Cyrillic character set
    b.u8(0);
    b.shortUnicode(f.name);
    return b;
}

RecordBody styleXf(int index)
{
    RecordBody b;
    // Style XFs 1..14 use the fonts of the outline styles as Excel itself writes them.
    const int font = (index >= 1 && index <= 4) ? (index <= 2 ? 1 : 2) : 0;
    b.u16(unsigned(font)).u16(0).u16(0xFFF5).u8(0x20).u8(0).u8(0).u8(index == 0 ? 0 : 0xF4);
    b.u32(0).u32(0).u16(0x20C0);
    return b;
}

RecordBody cellXf(const CellFormat &f, int fontIndex, unsigned numberFormat)
{
    unsigned h = 0;
    switch (f.hAlign) {
    case HAlign::General: h = 0; break;
    case HAlign::Left: h = 1; break;
    case HAlign::Center: h = 2; break;
    case HAlign::Right: h = 3; break;
    case HAlign::Justify: h = 5; break;
    }
    unsigned v = 2;
    switch (f.vAlign) {
    case VAlign::Top: v = 0; break;
    case VAlign::Center: v = 1; break;
    case VAlign::Bottom: v = 2; break;
    }
    const unsigned black = 8;
    std::uint32_t border1 = 0;
    if (f.borderLeft)
        border1 |= 1u | (black << 16);
    if (f.borderRight)
        border1 |= (1u << 4) | (black << 23);
    if (f.borderTop)
        border1 |= 1u << 8;
    if (f.borderBottom)
        border1 |= 1u << 12;
    std::uint32_t border2 = 0;
    if (f.borderTop)
        border2 |= black;
    if (f.borderBottom)
        border2 |= black << 7;
    unsigned pattern = 0x20C0;   // foreground 64, background 65 (system colours)
    if (f.fill) {
        border2 |= 1u << 26;        // solid fill
        pattern = unsigned(paletteIndex(*f.fill)) | (65u << 7);
    }
    RecordBody b;
    b.u16(unsigned(fontIndex));
    b.u16(numberFormat);
    b.u16(0x0001);                  // locked, parent style XF 0
    b.u8(h | (f.wrap ? 0x08 : 0) | (v << 4));
    b.u8(f.vertical ? 90 : 0);
    b.u8(0);
    b.u8(0xFC);                     // number, font, alignment, border, pattern, protection set here
    b.u32(border1).u32(border2).u16(pattern);
    return b;
}

QByteArray sheetStream(const std::map<std::pair<int, int>, int> &xfOfCell, const std::map<std::pair<int, int>, int> &stringOfCell,
                       const std::map<std::pair<int, int>, double> &numberOfCell,
                       const std::vector<Merge> &merges, const std::map<int, double> &widths,
                       const std::map<int, double> &heights, std::vector<int> breaks, const PageSetup &setup,
                       int selRow, int selColumn, const std::map<std::pair<int, int>, bool> &cells)
{
    RecordStream s;
    s.record(RecordId::Bof, bof(SubstreamKind::Worksheet));
    s.record(RecordId::CalcMode, RecordBody().u16(1));   // automatic
    s.record(RecordId::CalcCount, RecordBody().u16(100));
    s.record(RecordId::RefMode, RecordBody().u16(1));   // A1
    s.record(RecordId::Iteration, RecordBody().u16(0));
    s.record(RecordId::Delta, RecordBody().f64(0.001));
    s.record(RecordId::SaveRecalc, RecordBody().u16(1));
    s.record(RecordId::PrintHeaders, RecordBody().u16(0));
    s.record(RecordId::PrintGridLines, RecordBody().u16(0));
    s.record(RecordId::GridSet, RecordBody().u16(1));
    s.record(RecordId::Guts, RecordBody().u32(0).u32(0));
    s.record(RecordId::DefaultRowHeight, RecordBody().u16(0).u16(kDefaultRowHeightTwips));
    s.record(RecordId::WsBool, RecordBody().u16(0x04C1));

    std::sort(breaks.begin(), breaks.end());
    breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
    if (!breaks.empty()) {
        RecordBody b;
        const int n = std::min<int>(int(breaks.size()), kMaxPageBreaks);
        b.u16(unsigned(n));
        for (int i = 0; i < n; ++i)
            b.u16(unsigned(breaks[std::size_t(i)])).u16(0).u16(unsigned(kMaxColumns - 1));   // across every column
        s.record(RecordId::HorizontalPageBreaks, b);
    }
    s.record(RecordId::Header);   // none
    s.record(RecordId::Footer);   // none
    s.record(RecordId::HCenter, RecordBody().u16(0));
    s.record(RecordId::VCenter, RecordBody().u16(0));
    s.record(RecordId::LeftMargin, RecordBody().f64(setup.leftInches));
    s.record(RecordId::RightMargin, RecordBody().f64(setup.rightInches));
    s.record(RecordId::TopMargin, RecordBody().f64(setup.topInches));
    s.record(RecordId::BottomMargin, RecordBody().f64(setup.bottomInches));
    {
        // Printer settings valid (fNoPls clear), portrait bit clear for landscape.
        const unsigned grbit = setup.landscape ? 0x0000 : 0x0002;
        RecordBody b;
        b.u16(unsigned(setup.paperSize)).u16(100).u16(1).u16(1).u16(1).u16(grbit).u16(600).u16(600)
            .f64(0.3).f64(0.3).u16(1);
        s.record(RecordId::Setup, b);
    }
    s.record(RecordId::DefColWidth, RecordBody().u16(8));
    // Every column carries the default cell format (text wrapped), as formatting the whole
    // sheet does: a column without a width of its own keeps the default width.
    const auto colInfo = [&s](int first, int last, unsigned width) {
        RecordBody b;
        b.u16(unsigned(first)).u16(unsigned(last)).u16(width).u16(kDefaultCellXf).u16(0).u16(0);
        s.record(RecordId::ColInfo, b);
    };
    int nextColumn = 0;
    for (const auto &[col, chars] : widths) {
        if (col > nextColumn)
            colInfo(nextColumn, col - 1, kDefaultColumnWidth);
        colInfo(col, col, unsigned(std::lround(chars * kColumnWidthUnits)));
        nextColumn = col + 1;
    }
    if (nextColumn < kMaxColumns)
        colInfo(nextColumn, kMaxColumns - 1, kDefaultColumnWidth);

    // Rows that have cells or a height of their own.
    std::set<int> rows;
    int lastColumn = 0;
    for (const auto &[pos, unused] : cells) {
        rows.insert(pos.first);
        lastColumn = std::max(lastColumn, pos.second);
    }
    for (const auto &[row, unused] : heights)
        rows.insert(row);
    {
        RecordBody b;
        if (rows.empty())
            b.u32(0).u32(0).u16(0).u16(0).u16(0);
        else
            b.u32(std::uint32_t(*rows.begin())).u32(std::uint32_t(*rows.rbegin() + 1)).u16(0)
                .u16(unsigned(lastColumn + 1)).u16(0);
        s.record(RecordId::Dimensions, b);
    }

    // Blocks of rows: their ROW records, then their cells.
    std::vector<int> rowList(rows.begin(), rows.end());
    for (std::size_t start = 0; start < rowList.size();) {
        const int blockFirst = rowList[start] / kRowsPerBlock * kRowsPerBlock;
        std::size_t end = start;
        while (end < rowList.size() && rowList[end] < blockFirst + kRowsPerBlock)
            ++end;
        for (std::size_t i = start; i < end; ++i) {
            const int row = rowList[i];
            auto lo = cells.lower_bound({row, 0});
            auto hi = cells.lower_bound({row + 1, 0});
            int first = 0, last = 0;
            if (lo != hi) {
                first = lo->first.second;
                last = std::prev(hi)->first.second + 1;
            }
            const auto h = heights.find(row);
            const unsigned twips =
                h != heights.end() ? unsigned(std::lround(h->second * kTwipsPerPoint)) : kDefaultRowHeightTwips;
            const std::uint32_t flags = 0x0100 | (h != heights.end() ? 0x0040 : 0) | (unsigned(kDefaultCellXf) << 16);
            RecordBody b;
            b.u16(unsigned(row)).u16(unsigned(first)).u16(unsigned(last)).u16(twips).u16(0).u16(0).u32(flags);
            s.record(RecordId::Row, b);
        }
        for (std::size_t i = start; i < end; ++i) {
            const int row = rowList[i];
            for (auto it = cells.lower_bound({row, 0}); it != cells.end() && it->first.first == row; ++it) {
                const auto pos = it->first;
                const int xf = xfOfCell.at(pos);
                const auto str = stringOfCell.find(pos);
                const auto number = numberOfCell.find(pos);
                RecordBody b;
                b.u16(unsigned(pos.first)).u16(unsigned(pos.second)).u16(unsigned(xf));
                if (str != stringOfCell.end()) {
                    b.u32(std::uint32_t(str->second));
                    s.record(RecordId::LabelSst, b);
                } else if (number != numberOfCell.end()) {
                    b.f64(number->second);
                    s.record(RecordId::Number, b);
                } else {
                    s.record(RecordId::Blank, b);
                }
            }
        }
        start = end;
    }

    {
        RecordBody b;
        b.u16(0x06B6).u16(0).u16(0).u32(0x40).u16(0).u16(0).u32(0);
        s.record(RecordId::Window2, b);
    }
    {
        RecordBody b;
        b.u8(3).u16(unsigned(selRow)).u16(unsigned(selColumn)).u16(0).u16(1)
            .u16(unsigned(selRow)).u16(unsigned(selRow)).u8(unsigned(selColumn)).u8(unsigned(selColumn));
        s.record(RecordId::Selection, b);
    }
    for (std::size_t start = 0; start < merges.size(); start += kMaxMergesPerRecord) {
        const std::size_t n = std::min<std::size_t>(kMaxMergesPerRecord, merges.size() - start);
        RecordBody b;
        b.u16(unsigned(n));
        for (std::size_t i = start; i < start + n; ++i) {
            const Merge &m = merges[i];
            b.u16(unsigned(m.firstRow)).u16(unsigned(m.lastRow)).u16(unsigned(m.firstColumn)).u16(unsigned(m.lastColumn));
        }
        s.record(RecordId::MergedCells, b);
    }
    s.record(RecordId::Eof);
    return s.data();
}

} // namespace

QByteArray Workbook::workbookStream() const
{
    if (m_sheets.empty())
        throw XlsError(QStringLiteral("В книге нет листов."));

    FormatTables tables;
    QStringList strings;
    QHash<QString, int> sst;
    std::uint32_t uses = 0;

    struct Prepared {
        std::map<std::pair<int, int>, int> xf;
        std::map<std::pair<int, int>, int> str;
        std::map<std::pair<int, int>, double> number;
        std::map<std::pair<int, int>, bool> cells;
    };
    std::vector<Prepared> prepared(m_sheets.size());
    for (std::size_t i = 0; i < m_sheets.size(); ++i) {
        for (const auto &[pos, cell] : m_sheets[i].m_cells) {
            prepared[i].xf[pos] = tables.xfIndex(cell.format);
            prepared[i].cells[pos] = true;
            if (cell.text) {
                auto it = sst.find(*cell.text);
                if (it == sst.end()) {
                    it = sst.insert(*cell.text, int(strings.size()));
                    strings.append(*cell.text);
                }
                prepared[i].str[pos] = it.value();
                ++uses;
            } else if (cell.number) {
                prepared[i].number[pos] = *cell.number;
            }
        }
    }
    if (kStyleXfCount + tables.formats.size() > kMaxXfCount)
        throw XlsError(QStringLiteral("Слишком много разных форматов ячеек."));

    RecordStream g;
    g.record(RecordId::Bof, bof(SubstreamKind::WorkbookGlobals));
    g.record(RecordId::InterfaceHdr, RecordBody().u16(0x04B0));
    g.record(RecordId::Mms, RecordBody().u16(0));
    g.record(RecordId::InterfaceEnd);
    {
        RecordBody b;
        b.unicode(QStringLiteral("KVE"));
        b.bytes(QByteArray(kWriteAccessSize - b.size(), ' '));
        g.record(RecordId::WriteAccess, b);
    }
    g.record(RecordId::CodePage, RecordBody().u16(0x04B0));   // UTF-16
    g.record(RecordId::Dsf, RecordBody().u16(0));
    {
        RecordBody b;
        for (std::size_t i = 0; i < m_sheets.size(); ++i)
            b.u16(unsigned(i + 1));
        g.record(RecordId::TabId, b);
    }
    g.record(RecordId::WindowProtect, RecordBody().u16(0));
    g.record(RecordId::Protect, RecordBody().u16(0));
    g.record(RecordId::Password, RecordBody().u16(0));
    g.record(RecordId::Backup, RecordBody().u16(0));
    g.record(RecordId::HideObj, RecordBody().u16(0));
    {
        RecordBody b;
        b.u16(0x0168).u16(0x001E).u16(0x3A5C).u16(0x2328).u16(0x0038).u16(0).u16(0).u16(1).u16(0x0258);
        g.record(RecordId::Window1, b);
    }
    g.record(RecordId::Date1904, RecordBody().u16(0));   // 1900 dates
    g.record(RecordId::Precision, RecordBody().u16(1));
    g.record(RecordId::RefreshAll, RecordBody().u16(0));
    g.record(RecordId::BookBool, RecordBody().u16(0));
    for (int i = 0; i < kDefaultFontCount; ++i)
        g.record(RecordId::Font, fontRecord(Font{}));
    for (const Font &f : tables.fonts)
        g.record(RecordId::Font, fontRecord(f));
    for (int i = 0; i < tables.numberFormats.size(); ++i) {
        RecordBody b;
        b.u16(unsigned(kFirstCustomFormat + i)).unicode(tables.numberFormats.at(i));
        g.record(RecordId::Format, b);
    }
    for (int i = 0; i < kDefaultCellXf; ++i)
        g.record(RecordId::Xf, styleXf(i));
    {
        CellFormat wrapped;
        wrapped.wrap = true;
        g.record(RecordId::Xf, cellXf(wrapped, 0, 0));
    }
    for (const CellFormat &f : tables.formats)
        g.record(RecordId::Xf, cellXf(f, tables.fontIndex(f.font), tables.numberFormatIndex(f)));
    g.record(RecordId::Style, RecordBody().u16(0x8000).u8(0).u8(0xFF));   // "Normal"
    g.record(RecordId::UsesElfs, RecordBody().u16(0));

    std::vector<qint64> sheetOffsetFields;
    for (const Sheet &sheet : m_sheets) {
        RecordBody b;
        b.u32(0).u8(0).u8(0).shortUnicode(sheet.name());
        sheetOffsetFields.push_back(g.position() + 4);
        g.record(RecordId::BoundSheet, b);
    }
    g.record(RecordId::Country, RecordBody().u16(7).u16(7));
    g.sharedStrings(strings, uses);
    g.record(RecordId::Eof);

    QByteArray stream = g.data();
    for (std::size_t i = 0; i < m_sheets.size(); ++i) {
        const Sheet &sh = m_sheets[i];
        const qint64 at = stream.size();
        for (int k = 0; k < 4; ++k)
            stream[sheetOffsetFields[i] + k] = char((quint64(at) >> (8 * k)) & 0xFF);
        stream.append(sheetStream(prepared[i].xf, prepared[i].str, prepared[i].number, sh.m_merges, sh.m_columnWidths,
                                  sh.m_rowHeights, sh.m_breaks, sh.m_setup, sh.m_selRow, sh.m_selColumn,
                                  prepared[i].cells));
    }
    return stream;
}

QByteArray Workbook::fileBytes() const
{
    return compoundFile(QStringLiteral("Workbook"), workbookStream());
}

void Workbook::save(const QString &path) const
{
    writeFileAtomically(path, fileBytes());
}

} // namespace kve::xls
