#pragma once

// A small measurement table file in the test's folder.

#include "store/MeasurementTable.h"

#include <QDir>
#include <QLocale>
#include <QString>
#include <map>

namespace kvetest {

using Row = std::map<QString, QString>;

// Creates the table with `rows` rows of the series; values not given are filled from the
// row number; then shows only that series.
inline void fillSeries(kve::MeasurementTable &table, int series, int rows, const std::map<int, Row> &special = {})
{
    for (int i = 1; i <= rows; ++i) {
        table.append();
        table.setFieldInt(QStringLiteral("N"), i);
        table.setFieldInt(QStringLiteral("EN_CH"), series);
        table.setFieldText(QStringLiteral("DATE"), QStringLiteral("01.02.2024"));
        table.setFieldText(QStringLiteral("TIME"), QStringLiteral("10:%1:00").arg(i % 60, 2, 10, QChar('0')));
        table.setFieldText(QStringLiteral("T_1"), QStringLiteral("%1,5").arg(i));
        table.setFieldText(QStringLiteral("A"), QStringLiteral("S%1").arg(series));
        auto it = special.find(i);
        if (it != special.end())
            for (const auto &[field, text] : it->second)
                table.setFieldText(field, text);
        table.post();
    }
}

inline void showSeries(kve::MeasurementTable &table, int series)
{
    table.setFilter(QStringLiteral("EN_CH=%1").arg(series));
    table.setFiltered(true);
    table.refresh();
}

} // namespace kvetest
