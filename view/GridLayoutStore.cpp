#include "GridLayoutStore.h"

#include "GridCommands.h"
#include "LayoutText.h"
#include "TDBGridPro.h"
#include "store/MeasurementTable.h"
#include "store/SettingsWrite.h"

#include <QSettings>

namespace kve {

QString layoutValueName(int series) { return QStringLiteral("Table_") + QString::number(series); }

namespace {

QString statusText(QSettings::Status status)
{
    return status == QSettings::AccessError ? QStringLiteral("нет доступа") : QStringLiteral("ошибка формата");
}

QSettings::Status storeLayout(QSettings &settings, const QString &valueName, TDBGridPro &grid)
{
    return writeSetting(settings, valueName, writeLayoutText(grid.columnLayouts()));
}

} // namespace

void save_grid_layout(QSettings &settings, const QString &valueName, TDBGridPro &grid)
{
    const QSettings::Status status = storeLayout(settings, valueName, grid);
    if (status != QSettings::NoError)
        throw LayoutTextError(QStringLiteral("Не удалось записать параметр «%1» в файл настроек %2: %3")
                                  .arg(valueName, settings.fileName(), statusText(status)));
}

QString save_layout_all(QSettings &settings, std::array<TDBGridPro *, kSeriesCount> grids)
{
    QStringList failed;
    QSettings::Status firstFailure = QSettings::NoError;
    for (int n = 1; n <= kSeriesCount; ++n) {
        TDBGridPro *grid = grids[size_t(n - 1)];
        if (!grid)
            continue;
        const QSettings::Status status = storeLayout(settings, layoutValueName(n), *grid);
        if (status == QSettings::NoError)
            continue;
        if (failed.isEmpty())
            firstFailure = status;
        failed << QStringLiteral("«%1»").arg(layoutValueName(n));
    }
    if (failed.isEmpty())
        return {};
    if (failed.size() == 1)
        return QStringLiteral("Не удалось записать параметр %1 в файл настроек %2: %3")
            .arg(failed.first(), settings.fileName(), statusText(firstFailure));
    return QStringLiteral("Не удалось записать параметры %1 в файл настроек %2: %3")
        .arg(failed.join(QStringLiteral(", ")), settings.fileName(), statusText(firstFailure));
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
