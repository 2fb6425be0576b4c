#pragma once

#include "store/SeriesNames.h"

#include <QString>
#include <QStringList>
#include <array>

class QSettings;

namespace kve {

class MeasurementTable;
class TDBGridPro;

// The settings are the ones of the program ("Dorvatek", "KVE") with the group "1.0"
// already begun by the caller.

// The settings value of grid n's layout: "Table_1".."Table_16".
QString layoutValueName(int series);

// Applies the layout stored under `valueName` to the grid; with none stored, aligns the
// grid's columns and stores that layout. Throws LayoutTextError when the stored text
// cannot be read (the grid keeps its layout then).
void load_grid_layout(QSettings &settings, const QString &valueName, TDBGridPro &grid);

// Stores the grid's layout under `valueName`. Throws LayoutTextError with the settings
// store's reason when the value cannot be written.
void save_grid_layout(QSettings &settings, const QString &valueName, TDBGridPro &grid);

// Stores the layouts of grids 1..16 under "Table_1".."Table_16". A value that cannot be
// written does not stop the others; the failures are told in one text, empty when all
// went well.
QString save_layout_all(QSettings &settings, std::array<TDBGridPro *, kSeriesCount> grids);

// With the table open, loads "Table_1".."Table_16" into grids 1..16. A layout that cannot
// be read leaves that grid as it is and does not stop the others: the messages are
// returned, in grid order, for the application's error box (empty when all went well).
QStringList load_layout_all(QSettings &settings, std::array<TDBGridPro *, kSeriesCount> grids, const MeasurementTable &table);

} // namespace kve
