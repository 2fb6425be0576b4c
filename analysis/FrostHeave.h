#pragma once

#include <QString>
#include <optional>

namespace kve {

// Soil classes by the relative frost-heave deformation є fh = Hf / D.
inline const QString kRepeatTestText = QStringLiteral("Повторите испытание");

// Frost-heave limits of the classes, as the nearest long double values of the decimals,
// so that a stored "0,01" read back lands on its limit and counts for the upper class.
inline constexpr long double kHeaveLimits[] = {0.01L, 0.035L, 0.07L, 0.1L};

// The class text for є fh; empty for є fh <= 0 (the class field is then left as it was).
QString frostHeaveClass(long double heave);

// What one calculation writes into the row.
struct FrostHeaveValues {
    QString p2;                  // є fh as stored (6 characters at most) or "-"
    std::optional<QString> st;   // class text; no value: ST keeps its text
    QString d;                   // the depth as text
};

// Hf in mm (the row's P_1) and the depth D in mm.
// Throws AnalysisError when Hf > 0 and D is 0 (no quotient can be formed).
FrostHeaveValues computeFrostHeave(double hf, double depth);

// The text that goes into P_2 for a quotient: the general number form cut to the field.
// A quotient so small that the general form carries an exponent keeps the exponent and
// loses mantissa digits instead, so the text never reads back as a different magnitude.
QString heaveText(double quotient);

// The thickness field: its text (blanks for unfilled positions) read as a number.
// No value when it is not a number (only blanks, or a blank between digits).
std::optional<double> readThickness(const QString &text);

// The depth taken from a thickness: t itself within 0..150 (both included), else 0.
double depthFromThickness(double thickness);

inline constexpr int kHeaveFieldWidth = 6;
inline constexpr double kMaxDepth = 150.0;

} // namespace kve
