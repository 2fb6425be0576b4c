#include "SeriesView.h"

#include "MeasurementChoices.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"

namespace kve {

void restoreSeriesView(MeasurementTable &table, int series)
{
    if (!table.isOpen())
        return;
    table.setFiltered(false);
    table.refresh();
    table.first();
    table.setFilter(seriesFilter(series));
    table.setFiltered(true);
    table.refresh();
    table.first();
}

SeriesViewRestorer::~SeriesViewRestorer()
{
    try {
        restoreSeriesView(m_table, m_series);
    } catch (...) {
        // Nothing sensible is left to do while unwinding; the caller reports the first error.
    }
}

} // namespace kve
