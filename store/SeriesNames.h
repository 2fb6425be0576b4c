#pragma once

#include <QString>

namespace kve {

// The instrument keeps up to this many series of measurements, numbered 1..kSeriesCount;
// the window has one page and one grid per series.
inline constexpr int kSeriesCount = 16;

// The series filter: "EN_CH=3".
QString seriesFilter(int series);
// The filter of one measurement of one series: "N=7 AND EN_CH=3".
QString measurementFilter(int number, int series);
// The sort tag of a series: "tab1".."tab16".
QString sortTagName(int series);

} // namespace kve
