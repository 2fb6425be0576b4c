#include "ReportValueFormat.h"

#include "store/NumberText.h"

#include <QRegularExpression>
#include <cstdio>

namespace kve::report {

namespace {

struct Decimal {
    bool negative = false;
    QString integer;    // digits
    QString fraction;   // digits
};

std::optional<Decimal> readDecimal(const QString &text)
{
    static const QRegularExpression exponent(QStringLiteral("^[+-]?([0-9]+([,.][0-9]*)?|[,.][0-9]+)[eE][+-]?[0-9]{1,4}$"));
    const QString t = text.trimmed();
    const QChar sep = kve::decimalSeparator();
    // A point reads as a separator only where the system writes numbers with it.
    if (sep != QChar('.') && t.contains(QChar('.')))
        return std::nullopt;
    {
        // [sign] digits [separator digits], read by hand: this runs for every printed cell.
        Decimal d;
        qsizetype i = 0;
        if (i < t.size() && (t[i] == QChar('+') || t[i] == QChar('-')))
            d.negative = t[i++] == QChar('-');
        const qsizetype intStart = i;
        while (i < t.size() && t[i] >= QChar('0') && t[i] <= QChar('9'))
            ++i;
        d.integer = t.mid(intStart, i - intStart);
        bool plainForm = true;
        if (i < t.size() && (t[i] == QChar(',') || t[i] == QChar('.'))) {
            const qsizetype fracStart = ++i;
            while (i < t.size() && t[i] >= QChar('0') && t[i] <= QChar('9'))
                ++i;
            d.fraction = t.mid(fracStart, i - fracStart);
        }
        if (i != t.size())
            plainForm = false;
        if (plainForm && !(d.integer.isEmpty() && d.fraction.isEmpty()))
            return d;
    }
    if (exponent.match(t).hasMatch()) {
        QString c = t;
        c.replace(QChar(','), QChar('.'));
        bool ok = false;
        const double v = c.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.17f", v < 0 ? -v : v);
        const QString s = QString::fromLatin1(buffer);
        const int dot = s.indexOf(QChar('.'));
        return Decimal{v < 0, s.left(dot), s.mid(dot + 1)};
    }
    return std::nullopt;
}

// Rounds half away from zero to `decimals` digits, on the digits themselves.
Decimal roundTo(Decimal d, int decimals)
{
    QString digits = d.integer + d.fraction.leftJustified(decimals, QChar('0'));
    const bool up = d.fraction.size() > decimals && d.fraction.at(decimals) >= QChar('5');
    digits.truncate(d.integer.size() + decimals);
    if (up) {
        int i = int(digits.size()) - 1;
        while (i >= 0 && digits.at(i) == QChar('9')) {
            digits[i] = QChar('0');
            --i;
        }
        if (i < 0)
            digits.prepend(QChar('1'));
        else
            digits[i] = QChar(digits.at(i).unicode() + 1);
    }
    Decimal r;
    r.negative = d.negative;
    r.integer = digits.left(digits.size() - decimals);
    r.fraction = digits.right(decimals);
    while (r.integer.size() > 1 && r.integer.startsWith(QChar('0')))
        r.integer.remove(0, 1);
    if (r.integer.isEmpty())
        r.integer = QStringLiteral("0");
    return r;
}

} // namespace

QString formatReportValue(const QString &stored, ValueFormat format)
{
    if (stored.trimmed().isEmpty())
        return {};
    if (format == ValueFormat::AsStored)
        return stored;
    const auto read = readDecimal(stored);
    if (!read)
        return stored;
    const int decimals = format == ValueFormat::Fixed1 ? 1 : 2;
    Decimal d = roundTo(*read, decimals);
    if (format == ValueFormat::UpToTwoDecimals) {
        while (d.fraction.endsWith(QChar('0')))
            d.fraction.chop(1);
    }
    bool zero = true;
    for (const QString *part : {&d.integer, &d.fraction})
        for (QChar ch : *part)
            zero = zero && ch == QChar('0');
    QString out = (d.negative && !zero) ? QStringLiteral("-") : QString();
    out += d.integer;
    if (!d.fraction.isEmpty())
        out += QChar(',') + d.fraction;
    return out;
}

} // namespace kve::report
