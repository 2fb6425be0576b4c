#include "SheetCellValue.h"

#include "store/NumberText.h"

#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <cmath>

namespace kve::report {

namespace {

constexpr int kMaxDigits = 15;   // what a spreadsheet's number keeps
// Widest digit of Arial 10, the workbook's default font, at 96 dots per inch: the unit of
// a column's width.
constexpr int kDigitPixels = 7;
// Two pixels each side and the grid line, which a column's width includes.
constexpr int kCellPadding = 5;
constexpr double kSpreadsheetDpi = 96;

std::optional<SheetCellValue> number(const QString &t)
{
    const QChar sep = kve::decimalSeparator();
    qsizetype i = 0;
    const bool negative = i < t.size() && t[i] == QChar('-');
    if (negative)
        ++i;
    const qsizetype intStart = i;
    while (i < t.size() && t[i] >= QChar('0') && t[i] <= QChar('9'))
        ++i;
    const QString integer = t.mid(intStart, i - intStart);
    QString fraction;
    if (i < t.size() && t[i] == sep) {
        const qsizetype fracStart = ++i;
        while (i < t.size() && t[i] >= QChar('0') && t[i] <= QChar('9'))
            ++i;
        fraction = t.mid(fracStart, i - fracStart);
        if (fraction.isEmpty())
            return std::nullopt;
    }
    if (i != t.size() || integer.isEmpty() || integer.size() + fraction.size() > kMaxDigits)
        return std::nullopt;
    // Shown again as printed only without leading zeros and without a negative zero.
    if (integer.size() > 1 && integer.startsWith(QChar('0')))
        return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(integer + (fraction.isEmpty() ? QString() : QChar('.') + fraction), &ok);
    if (!ok || (negative && v == 0))
        return std::nullopt;
    SheetCellValue out;
    out.kind = SheetCellValue::Kind::Number;
    out.value = negative ? -v : v;
    out.format = fraction.isEmpty() ? QStringLiteral("0") : QStringLiteral("0.") + QString(fraction.size(), QChar('0'));
    return out;
}

std::optional<SheetCellValue> date(const QString &t)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{2})\\.(\\d{2})\\.(\\d{4})$"));
    const auto m = form.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    // Day numbers before March 1900 are off by the spreadsheet's leap day of 1900.
    if (!d.isValid() || d < QDate(1900, 3, 1))
        return std::nullopt;
    SheetCellValue out;
    out.kind = SheetCellValue::Kind::Date;
    out.value = double(QDate(1899, 12, 30).daysTo(d));
    out.format = QStringLiteral("dd\\.mm\\.yyyy");
    return out;
}

std::optional<SheetCellValue> time(const QString &t)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{2}):(\\d{2}):(\\d{2})$"));
    const auto m = form.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    const QTime tm(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!tm.isValid())
        return std::nullopt;
    SheetCellValue out;
    out.kind = SheetCellValue::Kind::Time;
    out.value = tm.msecsSinceStartOfDay() / 86400000.0;
    out.format = QStringLiteral("hh:mm:ss");
    return out;
}

} // namespace

SheetCellValue SheetCellValue::of(const QString &text)
{
    const QString t = text.trimmed();
    if (auto v = number(t))
        return *v;
    if (auto v = date(t))
        return *v;
    if (auto v = time(t))
        return *v;
    return {};
}

SheetTextFit::SheetTextFit() : m_device(1, 1, QImage::Format_RGB32)
{
    const int dotsPerMetre = qRound(kSpreadsheetDpi / 0.0254);
    m_device.setDotsPerMeterX(dotsPerMetre);
    m_device.setDotsPerMeterY(dotsPerMetre);
}

int SheetTextFit::columnPixels(double characters)
{
    // The spreadsheet's own rounding of a width in 1/256 of a digit to whole pixels.
    const double units = std::round(characters * 256);
    return int(std::trunc((units + std::trunc(128.0 / kDigitPixels)) / 256 * kDigitPixels));
}

const QFontMetricsF &SheetTextFit::metrics(const CellFont &font) const
{
    for (const auto &[known, m] : m_metrics)
        if (known.family == font.family && known.points == font.points && known.bold == font.bold
            && known.italic == font.italic)
            return m;
    QFont f(font.family);
    f.setPointSizeF(font.points);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    m_metrics.emplace_back(font, QFontMetricsF(f, &m_device));
    return m_metrics.back().second;
}

double SheetTextFit::textPixels(const QString &text, const CellFont &font) const
{
    return metrics(font).horizontalAdvance(text);
}

bool SheetTextFit::fits(const QString &text, const CellFont &font, std::span<const double> columnCharacters) const
{
    int block = 0;
    for (double c : columnCharacters)
        block += columnPixels(c);
    return std::ceil(textPixels(text, font)) + kCellPadding <= block;
}

} // namespace kve::report
