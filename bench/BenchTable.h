#pragma once

// The measurement table the benchmarks work on: rows written through the real table object.

#include "store/MeasurementTable.h"

#include <QString>

namespace bench {

// Appends and posts one row of plausible values.
inline void appendMeasurement(kve::MeasurementTable &table, int n, int series, const QString &comment = QString())
{
    table.append();
    table.setFieldInt(QStringLiteral("N"), n);
    table.setFieldInt(QStringLiteral("EN_CH"), series);
    table.setFieldText(QStringLiteral("DATE"), QStringLiteral("01.02.2024"));
    table.setFieldText(QStringLiteral("TIME"), QStringLiteral("10:00:00"));
    for (const char *field : {"T_1", "T_2", "T_3", "P_1", "P_2", "F"})
        table.setFieldText(QLatin1String(field), QStringLiteral("%1,%2").arg(n % 40 - 20).arg(n % 10));
    table.setFieldText(QStringLiteral("P"), QStringLiteral("0,9"));
    table.setFieldText(QStringLiteral("A"), QStringLiteral("1234"));
    table.setFieldText(QStringLiteral("COMMENT"), comment);
    table.post();
}

// A new table at `path` holding one series of `rows` rows, open and filtered to it.
inline void makeSeriesTable(kve::MeasurementTable &table, const QString &path, int rows)
{
    table.setFilePath(path);
    table.create();
    for (int i = 1; i <= rows; ++i)
        appendMeasurement(table, i, 1, QStringLiteral("замер %1").arg(i));
    table.setFilter(QStringLiteral("EN_CH=1"));
    table.setFiltered(true);
    table.refresh();
}

} // namespace bench
