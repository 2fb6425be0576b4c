#pragma once

namespace kve {

class MeasurementTable;

// Puts the table back to the whole series n ("EN_CH=n", filtered, cursor on the first row).
// Does nothing when the table is closed.
void restoreSeriesView(MeasurementTable &table, int series);

// Restores the series view when it goes out of scope, whatever happened in between.
class SeriesViewRestorer {
public:
    SeriesViewRestorer(MeasurementTable &table, int series) : m_table(table), m_series(series) {}
    ~SeriesViewRestorer();
    SeriesViewRestorer(const SeriesViewRestorer &) = delete;
    SeriesViewRestorer &operator=(const SeriesViewRestorer &) = delete;

private:
    MeasurementTable &m_table;
    int m_series;
};

} // namespace kve
