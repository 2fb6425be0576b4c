// Writes the workbook of a 2,730-row series report.
#include "output/SeriesReport.h"
#include "output/SpreadsheetExport.h"
#include "store/MeasurementTable.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian));
    QTemporaryDir dir;
    kve::MeasurementTable table;
    table.setFilePath(dir.filePath(QStringLiteral("bench.db")));
    table.create();
    const int rows = 2730;
    for (int i = 1; i <= rows; ++i) {
        table.append();
        table.setFieldInt(QStringLiteral("N"), i);
        table.setFieldInt(QStringLiteral("EN_CH"), 1);
        table.setFieldText(QStringLiteral("DATE"), QStringLiteral("01.02.2024"));
        table.setFieldText(QStringLiteral("TIME"), QStringLiteral("10:00:00"));
        for (const char *f : {"T_1", "T_2", "T_3", "P_1", "P_2", "F"})
            table.setFieldText(QLatin1String(f), QStringLiteral("%1,%2").arg(i % 40 - 20).arg(i % 10));
        table.setFieldText(QStringLiteral("P"), QStringLiteral("0,9"));
        table.setFieldText(QStringLiteral("COMMENT"), QStringLiteral("замер %1").arg(i));
        table.post();
    }
    table.setFilter(QStringLiteral("EN_CH=1"));
    table.setFiltered(true);
    table.refresh();
    SeriesReport report;
    report.fillTitleCells(QStringLiteral("bench - ЖОРД-ЗР7"), table, 1);
    report.prepare(table);

    const QString path = dir.filePath(QStringLiteral("bench.xls"));
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        kve::report::writeWorkbook(report.prepared(), path);
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    std::printf("write workbook of %d rows (%d pages): %lld bytes, best of 5: %.1f ms\n", rows,
                report.prepared().pageCount(), QFileInfo(path).size(), best);
    return 0;
}
