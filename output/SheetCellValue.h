#pragma once

#include "ReportTemplate.h"

#include <QFontMetricsF>
#include <QImage>
#include <QString>
#include <span>
#include <utility>
#include <vector>

namespace kve::report {

// What a spreadsheet makes of a printed text assigned to a cell, with the number format
// that shows the value exactly as printed.
struct SheetCellValue {
    enum class Kind { Text, Number, Date, Time };
    Kind kind = Kind::Text;
    double value = 0;   // dates and times as the spreadsheet's day numbers
    QString format;     // a number format code, in the file's own (English) notation

    // A number in the system's number format ("-3,1": -3.1 shown "0.0"), a real date
    // dd.mm.yyyy, a time hh:mm:ss; everything else text. A number is taken only when
    // the spreadsheet would show it again as printed: no sign "+", no leading zeros, no
    // "-0", at most 15 significant digits.
    static SheetCellValue of(const QString &text);
};

// The width of columns and texts as the spreadsheet measures them at 100 %.
class SheetTextFit {
public:
    SheetTextFit();

    // The width in pixels of a column of `characters` (the file's width unit).
    static int columnPixels(double characters);
    // The width in pixels of a one-line text in the font.
    double textPixels(const QString &text, const CellFont &font) const;
    // True when `text` in the font fits a block of those columns without "###": the
    // spreadsheet shows a number or a date that does not fit as "###".
    bool fits(const QString &text, const CellFont &font, std::span<const double> columnCharacters) const;

private:
    const QFontMetricsF &metrics(const CellFont &font) const;

    QImage m_device;   // measures at the spreadsheet's 96 dots per inch, whatever the screen's
    mutable std::vector<std::pair<CellFont, QFontMetricsF>> m_metrics;   // made once per font
};

} // namespace kve::report
