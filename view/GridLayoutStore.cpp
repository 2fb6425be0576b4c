#include "GridLayoutStore.h"

#include "GridCommands.h"
#include "LayoutText.h"
#include "TDBGridPro.h"
#include "store/MeasurementTable.h"
#include "store/SettingsWrite.h"

#include <QSettings>

namespace kve {

QString layoutValueName(int series) { return QStringLiteral("Table_") + QString::number(series); }

void save_grid_layout(QSettings &settings, const QString &valueName, TDBGridPro &grid)
{
    const QSettings::Status status = writeSetting(settings, valueName, writeLayoutText(grid.columnLayouts()));
    if (status != QSettings::NoError)
        throw LayoutTextError(QStringLiteral("Не удалось записать параметр «%1» в файл настроек %2: %3")
                                  .arg(valueName, settings.fileName(),
                                       status == QSettings::AccessError ? QStringLiteral("нет доступа")
                                                                        : QStringLiteral("ошибка формата")));
}

void load_grid_layout(QSettings &settings, const QString &valueName, TDBGridPro &grid)
{
    if (!settings.contains(valueName)) {
        align_columns(grid);
        save_grid_layout(settings, valueName, grid);
        return;
    }
    // Read it all before touching the grid: a broken text changes nothing.
    std::vector<ColumnLayout> records;
    try {
        records = parseLayoutText(settings.value(valueName).toString());
    } catch (const LayoutTextError &e) {
        throw LayoutTextError(valueName + QStringLiteral(": ") + e.text());
    }
    for (const ColumnLayout &record : records) {
        const int column = grid.columnOfField(record.FieldName);
        if (column >= 0)
            grid.applyColumnLayout(column, record);
    }
}

QStringList load_layout_all(QSettings &settings, std::array<TDBGridPro *, kSeriesCount> grids, const MeasurementTable &table)
{
    QStringList errors;
    if (!table.isOpen())
        return errors;
    for (int n = 1; n <= kSeriesCount; ++n) {
        TDBGridPro *grid = grids[size_t(n - 1)];
        if (!grid)
            continue;
        try {
            load_grid_layout(settings, layoutValueName(n), *grid);
        } catch (const LayoutTextError &e) {
            errors << e.text();
        }
    }
    return errors;
}

} // namespace kve
