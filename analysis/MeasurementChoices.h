#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kve {

class MeasurementTable;

// The measurement list of the calculation and chart dialogs: the numbers from N of the
// first row of the current view to N of the last row, in that order. Empty when the view
// has no rows, the table is closed, or the last N is smaller than the first (a series
// sorted by N descending). The cursor ends on the last row.
QStringList measurementChoices(MeasurementTable &table);

// A typed measurement choice as a number N; no value for text that is not a whole number.
std::optional<int> parseMeasurementChoice(const QString &text);

} // namespace kve
