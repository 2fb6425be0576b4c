#pragma once

#include <QChar>
#include <QString>
#include <optional>

namespace kve {

// Number texts follow the system's decimal separator (QLocale(), which tests may set with
// QLocale::setDefault).
QChar decimalSeparator();

// printf "%4.1f" with the system separator: one decimal, right-aligned in at least 4 characters.
QString formatFixed1(double value);

// The general number form: at most `significant` significant digits, no trailing zeros,
// no separator for whole numbers (12,34; 12; -0,05; 0,3333333333333).
QString formatGeneral(double value, int significant = 15);

// Reads a number written with the system separator; blanks around it are ignored.
// Empty or not a number gives no value.
std::optional<double> parseNumber(const QString &text);

// The same in extended precision, for comparisons against decimal limits.
std::optional<long double> parseNumberExtended(const QString &text);

} // namespace kve
