#include "NumberText.h"

#include <QLocale>
#include <charconv>
#include <cstdio>

namespace kve {

QChar decimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar('.') : point.at(0);
}

namespace {

QString withSeparator(QString text)
{
    const QChar sep = decimalSeparator();
    if (sep != QChar('.'))
        text.replace(QChar('.'), sep);
    return text;
}

// The text with the system separator turned into a point, or empty when it is not a plain
// decimal number ([sign] digits [separator digits] [exponent]).
QByteArray toPointForm(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QChar sep = decimalSeparator();
    QByteArray out;
    out.reserve(trimmed.size());
    int i = 0;
    const int n = trimmed.size();
    if (trimmed[i] == '+' || trimmed[i] == '-') {
        if (trimmed[i] == '-')
            out.append('-');
        ++i;
    }
    int digits = 0;
    while (i < n && trimmed[i].isDigit() && trimmed[i].unicode() < 128) {
        out.append(char(trimmed[i].unicode()));
        ++i;
        ++digits;
    }
    if (i < n && trimmed[i] == sep) {
        out.append('.');
        ++i;
        while (i < n && trimmed[i].isDigit() && trimmed[i].unicode() < 128) {
            out.append(char(trimmed[i].unicode()));
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return {};
    if (i < n && (trimmed[i] == 'e' || trimmed[i] == 'E')) {
        out.append('e');
        ++i;
        if (i < n && (trimmed[i] == '+' || trimmed[i] == '-'))
            out.append(char(trimmed[i++].unicode()));
        int expDigits = 0;
        while (i < n && trimmed[i].isDigit() && trimmed[i].unicode() < 128) {
            out.append(char(trimmed[i].unicode()));
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return {};
    }
    if (i != n)
        return {};
    return out;
}

template <typename T>
std::optional<T> parseAs(const QString &text)
{
    const QByteArray form = toPointForm(text);
    if (form.isEmpty())
        return std::nullopt;
    T value{};
    const char *begin = form.constData();
    const char *end = begin + form.size();
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

} // namespace

QString formatFixed1(double value)
{
    // QString::asprintf always formats with a point, whatever the C locale says.
    return withSeparator(QString::asprintf("%4.1f", value));
}

QString formatGeneral(double value, int significant)
{
    if (value == 0.0)
        return QStringLiteral("0");
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, significant);
    QString text = QString::fromLatin1(buffer, int(result.ptr - buffer));
    return withSeparator(text);
}

std::optional<double> parseNumber(const QString &text) { return parseAs<double>(text); }

std::optional<long double> parseNumberExtended(const QString &text) { return parseAs<long double>(text); }

} // namespace kve
