#include "FrostHeave.h"

#include "AnalysisError.h"
#include "store/NumberText.h"

#include <cmath>

namespace kve {

QString frostHeaveClass(long double heave)
{
    if (heave >= kHeaveLimits[3])
        return QStringLiteral("Чрезмерно пучинистый");
    if (heave >= kHeaveLimits[2])
        return QStringLiteral("Сильнопучинистый");
    if (heave >= kHeaveLimits[1])
        return QStringLiteral("Среднепучинистый");
    if (heave >= kHeaveLimits[0])
        return QStringLiteral("Слабопучинистый");
    if (heave > 0)
        return QStringLiteral("Непучинистый");
    return {};
}

QString heaveText(double quotient)
{
    const QString general = formatGeneral(quotient, 15);
    if (general.size() <= kHeaveFieldWidth)
        return general;
    if (general.contains(QLatin1Char('e'), Qt::CaseInsensitive)) {
        // Cutting "6,66666666666667e-07" would leave "6,6666": keep the exponent instead.
        for (int digits = 14; digits >= 1; --digits) {
            const QString shorter = formatGeneral(quotient, digits);
            if (shorter.size() <= kHeaveFieldWidth)
                return shorter;
        }
    }
    return general.left(kHeaveFieldWidth);
}

FrostHeaveValues computeFrostHeave(double hf, double depth)
{
    FrostHeaveValues values;
    values.d = formatGeneral(depth, 15);
    if (hf > 0) {
        if (depth == 0)
            throw AnalysisError(QStringLiteral(
                "Толщина промерзания D должна быть от 1 до 150 мм: при D = 0 є fh не определена."));
        values.p2 = heaveText(hf / depth);
        // The class follows what the row will hold, not the exact quotient.
        const std::optional<long double> stored = parseNumberExtended(values.p2);
        if (!stored)
            throw AnalysisError(notANumberText(values.p2));
        const QString cls = frostHeaveClass(*stored);
        if (!cls.isEmpty())
            values.st = cls;
    } else {
        values.p2 = QStringLiteral("-");
        values.st = kRepeatTestText;
    }
    return values;
}

std::optional<double> readThickness(const QString &text)
{
    const std::optional<double> value = parseNumber(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

double depthFromThickness(double thickness)
{
    return (thickness >= 0 && thickness <= kMaxDepth) ? thickness : 0.0;
}

} // namespace kve
