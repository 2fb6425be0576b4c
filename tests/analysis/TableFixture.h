#pragma once

#include "store/MeasurementTable.h"

#include <QDir>
#include <QFile>
#include <QString>

// One row of a small measurement table.
struct FixtureRow {
    int n;
    int series;
    QString date;
    QString time;
    QString p1;
    QString p2 = QStringLiteral(" 0,0");
    QString st = QString();
    QString mode = QString();
};

// Creates "<name>.db" in the working folder (each test runs in its own) with the rows,
// and leaves it open on the series view "EN_CH=<series>".
inline void createTable(kve::MeasurementTable &table, const QString &name, const QList<FixtureRow> &rows,
                        int series)
{
    table.close();
    table.setFilePath(QDir::current().filePath(name + QStringLiteral(".db")));
    table.setFilter(QString());
    table.setFiltered(false);
    table.setActiveTag(QString());
    table.create();
    for (const FixtureRow &row : rows) {
        table.append();
        table.setFieldInt(QStringLiteral("N"), row.n);
        table.setFieldInt(QStringLiteral("EN_CH"), row.series);
        table.setFieldText(QStringLiteral("DATE"), row.date);
        table.setFieldText(QStringLiteral("TIME"), row.time);
        table.setFieldText(QStringLiteral("P_1"), row.p1);
        table.setFieldText(QStringLiteral("P_2"), row.p2);
        table.setFieldText(QStringLiteral("ST"), row.st);
        table.setFieldText(QStringLiteral("MODE"), row.mode);
        table.post();
    }
    table.setFilter(QStringLiteral("EN_CH=") + QString::number(series));
    table.setFiltered(true);
    table.refresh();
    table.first();
}

inline QByteArray fileBytes(const kve::MeasurementTable &table)
{
    QFile file(table.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The field of the row with N = n in series s, read through a fresh look at the file.
inline QString storedField(kve::MeasurementTable &table, int series, int n, const QString &field)
{
    const QString filter = table.filter();
    const bool filtered = table.filtered();
    table.setFilter(QStringLiteral("N=%1 AND EN_CH=%2").arg(n).arg(series));
    table.setFiltered(true);
    table.refresh();
    table.first();
    const QString text = table.eof() ? QStringLiteral("<no row>") : table.fieldText(field);
    table.setFilter(filter);
    table.setFiltered(filtered);
    table.refresh();
    return text;
}
