#pragma once

#include "store/Error.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace kve::xls {

// A workbook that cannot be written, with a text for the operator.
class XlsError : public Error {
public:
    using Error::Error;
};

inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxColumns = 256;
inline constexpr int kMaxMergesPerRecord = 1027;
inline constexpr double kMaxRowHeightPoints = 409.0;

enum class HAlign { General, Left, Center, Right, Justify };
enum class VAlign { Top, Center, Bottom };

struct Font {
    QString name = QStringLiteral("Arial");
    double points = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor color = Qt::black;
    bool operator==(const Font &) const = default;
};

struct CellFormat {
    Font font;
    bool textFormat = false;   // the built-in "@" format: the cell keeps its text as it is
    QString numberFormat;      // a number format code such as "0.0"; empty: General
    bool wrap = false;
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;
    bool vertical = false;     // text rotated by 90 degrees
    bool borderLeft = false;
    bool borderRight = false;
    bool borderTop = false;
    bool borderBottom = false;
    std::optional<QColor> fill;
    bool operator==(const CellFormat &) const = default;
};

struct Merge {
    int firstRow, lastRow, firstColumn, lastColumn;
};

struct PageSetup {
    bool landscape = false;
    int paperSize = 9;   // A4
    double leftInches = 0.75, rightInches = 0.75, topInches = 1.0, bottomInches = 1.0;
};

// One worksheet: cells kept by position, so that each cell is written once and rows and
// columns come out in ascending order whatever order they were set in.
class Sheet {
public:
    explicit Sheet(QString name) : m_name(std::move(name)) {}

    void setText(int row, int column, const QString &text, const CellFormat &format = {});
    // A number, shown through the format's number format (a date or a time is a number too).
    void setNumber(int row, int column, double value, const CellFormat &format = {});
    // An empty cell that carries a format (the inside of a merged area, for its borders).
    void setBlank(int row, int column, const CellFormat &format = {});
    // Both corners inclusive. Merged areas must not overlap.
    void merge(int firstRow, int firstColumn, int lastRow, int lastColumn);
    void setColumnWidth(int column, double characters);
    void setRowHeight(int row, double points);   // capped at 409 points
    // A manual break above the row: the row starts a new printed page. Row 0 is ignored.
    void addPageBreak(int row);
    void select(int row, int column);
    PageSetup &pageSetup() { return m_setup; }
    const PageSetup &pageSetup() const { return m_setup; }

    QString name() const { return m_name; }
    int cellCount() const { return int(m_cells.size()); }
    const std::vector<Merge> &merges() const { return m_merges; }

private:
    friend class Workbook;
    struct Cell {
        std::optional<QString> text;   // neither text nor number: a blank cell
        std::optional<double> number;
        CellFormat format;
    };
    void checkPosition(int row, int column) const;

    QString m_name;
    std::map<std::pair<int, int>, Cell> m_cells;   // (row, column)
    std::vector<Merge> m_merges;
    std::map<int, std::map<int, int>> m_mergedColumns;   // row -> first merged column -> last
    std::map<int, double> m_columnWidths;
    std::map<int, double> m_rowHeights;
    std::vector<int> m_breaks;
    PageSetup m_setup;
    int m_selRow = 0;
    int m_selColumn = 0;
};

// A BIFF8 (Excel 97-2003) workbook.
class Workbook {
public:
    Sheet &addSheet(const QString &name);
    Sheet &sheet(int index) { return m_sheets.at(std::size_t(index)); }

    // The "Workbook" stream: globals, then every sheet.
    QByteArray workbookStream() const;
    // The whole file: the stream inside a compound-file container.
    QByteArray fileBytes() const;
    // Writes the file completely or not at all: an earlier file of that name is replaced
    // only by a whole workbook. Throws XlsError.
    void save(const QString &path) const;

private:
    std::vector<Sheet> m_sheets;
};

} // namespace kve::xls
