#pragma once

#include <QString>

namespace kve {

// The series filter: "EN_CH=3".
QString seriesFilter(int series);
// The filter of one measurement of one series: "N=7 AND EN_CH=3".
QString measurementFilter(int number, int series);
// The sort tag of a series: "tab1".."tab16".
QString sortTagName(int series);

} // namespace kve
