#include "GridCommands.h"

#include "TDBGridPro.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"

#include <algorithm>
#include <vector>

namespace kve {

void reset_sort(TDBGridPro &grid, const QString &tag)
{
    grid.clearSortMarks();
    MeasurementTable &table = grid.table();
    if (!table.isOpen())
        return;
    try {
        table.setActiveTag(QString());
        table.deleteTag(tag);
        table.refresh();
    } catch (const TableError &) {
    }
}

void remove_sort(TDBGridPro &grid) { reset_sort(grid, grid.sortTag()); }

void align_columns(TDBGridPro &grid)
{
    grid.setAutoColumnFit(false);
    const int w = grid.width() / grid.columnCount();
    for (int i = 0; i < grid.columnCount(); ++i)
        grid.setColumnWidth(i, w);
    grid.setAutoColumnFit(true);
    grid.update();
}

void clear_column_colours(TDBGridPro &grid)
{
    for (int i = 0; i < grid.columnCount(); ++i)
        grid.setColumnColor(i, std::nullopt);
}

void set_current_column_colour(TDBGridPro &grid, std::optional<QColor> colour)
{
    grid.setColumnColor(grid.currentColumn(), colour);
}

void delete_selected_rows(TDBGridPro &grid)
{
    MeasurementTable &table = grid.table();
    // The grids follow the view once, when the command is done.
    ViewChangeHold hold(table);
    // A note being typed is posted first, as the table would on any re-read.
    grid.commitEdit();
    // The selection is of view rows in the present order; dropping the sort below reorders
    // the view, so the rows are held by their file records.
    std::vector<int> records;
    if (table.isOpen()) {
        for (int row : grid.selectedRows()) {
            if (row < table.recordCount())
                records.push_back(table.recordOfViewRow(row));
        }
    }

    // reset_sort with every tag in turn, re-reading the view once at the end.
    grid.clearSortMarks();
    if (!table.isOpen())
        return;
    try {
        table.setActiveTag(QString());
        for (int k = 1; k <= kSeriesCount; ++k)
            table.deleteTag(sortTagName(k));
        table.refresh();
    } catch (const TableError &) {
    }

    if (!records.empty()) {
        grid.beginBatch();
        try {
            std::sort(records.begin(), records.end());
            std::vector<int> rows;
            for (int r = 0, n = table.recordCount(); r < n; ++r) {
                if (std::binary_search(records.begin(), records.end(), table.recordOfViewRow(r)))
                    rows.push_back(r);
            }
            table.deleteRows(std::move(rows));
        } catch (...) {
            grid.clearSelection();
            grid.endBatch();
            throw;
        }
        grid.clearSelection();
        grid.endBatch();
    }
    grid.commitEdit();
    table.refresh();
    table.close();
    table.open();
}

void renumber_rows(TDBGridPro &grid)
{
    MeasurementTable &table = grid.table();
    // The grids follow the view once, when the command is done.
    ViewChangeHold hold(table);
    if (table.isOpen()) {
        table.first();
        const int count = table.recordCount();
        // The order shown now, held by file record in case a post moves a row.
        std::vector<int> records;
        records.reserve(size_t(count));
        for (int r = 0; r < count; ++r)
            records.push_back(table.recordOfViewRow(r));
        for (int i = 0; i < count; ++i) {
            int row = i;
            if (row >= table.recordCount() || table.recordOfViewRow(row) != records[size_t(i)]) {
                row = -1;
                for (int r = 0; r < table.recordCount(); ++r) {
                    if (table.recordOfViewRow(r) == records[size_t(i)]) {
                        row = r;
                        break;
                    }
                }
                if (row < 0)
                    continue;
            }
            table.moveTo(row);
            table.edit();
            table.setFieldInt(QStringLiteral("N"), i + 1);
            table.post();
        }
        table.first();
    }
    table.close();
    table.open();
}

} // namespace kve
