#include "SeriesNames.h"

namespace kve {

QString seriesFilter(int series) { return QStringLiteral("EN_CH=") + QString::number(series); }

QString measurementFilter(int number, int series)
{
    return QStringLiteral("N=") + QString::number(number) + QStringLiteral(" AND ") + seriesFilter(series);
}

QString sortTagName(int series) { return QStringLiteral("tab") + QString::number(series); }

} // namespace kve
