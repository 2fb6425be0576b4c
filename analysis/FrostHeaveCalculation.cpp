#include "FrostHeaveCalculation.h"

#include "AnalysisError.h"
#include "FrostHeave.h"
#include "MeasurementChoices.h"
#include "SeriesView.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"
#include "store/NumberText.h"

#include <cmath>

namespace kve {

bool calculateFrostHeave(MeasurementTable &table, int series, const QString &choice,
                         const QString &thicknessText)
{
    if (!table.isOpen())
        return false;
    SeriesViewRestorer restorer(table, series);

    // Only a whole number goes into the filter: typed text never becomes part of an expression.
    // Only an empty text means "the last row"; blanks alone are not a number.
    const QString chosen = choice.trimmed();
    std::optional<int> number;
    if (!choice.isEmpty()) {
        number = parseMeasurementChoice(chosen);
        if (!number)
            throw AnalysisError(QStringLiteral("\"%1\" не является номером измерения.").arg(choice));
        table.setFilter(measurementFilter(*number, series));
    } else {
        table.setFilter(seriesFilter(series));
    }
    table.setFiltered(true);
    table.refresh();
    table.last();
    if (table.eof()) {
        if (number)
            throw AnalysisError(QStringLiteral("В серии №%1 нет измерения %2.").arg(series).arg(*number));
        throw AnalysisError(QStringLiteral("В серии №%1 нет измерений.").arg(series));
    }

    const std::optional<double> thickness = readThickness(thicknessText);
    if (!thickness)
        throw AnalysisError(notANumberText(thicknessText));
    const double depth = depthFromThickness(*thickness);

    const QString p1 = table.fieldText(QStringLiteral("P_1"));
    const std::optional<double> hf = parseNumber(p1);
    if (!hf || !std::isfinite(*hf))
        throw AnalysisError(notANumberText(p1));

    const FrostHeaveValues values = computeFrostHeave(*hf, depth);

    table.edit();
    try {
        table.setFieldText(QStringLiteral("P_2"), values.p2);
        if (values.st)
            table.setFieldText(QStringLiteral("ST"), *values.st);
        table.setFieldText(QStringLiteral("D"), values.d);
        table.post();
    } catch (...) {
        // A row that could not be posted stays as it was on disk, and not in edit.
        table.cancel();
        throw;
    }
    return true;
}

} // namespace kve
