#pragma once

#include <QString>

namespace kve {

class MeasurementTable;

// One frost-heave calculation on the table: picks the measurement (the typed number of the
// series, or the last row of the series in the current order when the choice is empty;
// a choice of blanks only is not a number and is refused),
// computes є fh from its P_1 and the typed thickness and posts P_2, ST and D into that row.
//
// Throws AnalysisError (or TableError) with a text for the operator; the row is then left
// unchanged and not in edit. In every case the table ends on the whole series view
// "EN_CH=<series>". Returns false without doing anything when the table is closed.
bool calculateFrostHeave(MeasurementTable &table, int series, const QString &choice,
                         const QString &thicknessText);

} // namespace kve
