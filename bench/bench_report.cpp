// Prepares the report of a 2,730-row series and renders all its pages to PDF.
#include "output/ReportRenderer.h"
#include "output/SeriesReport.h"
#include "store/MeasurementTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
        table.setFieldText(QStringLiteral("A"), QStringLiteral("1234"));
        table.post();
    }
    table.setFilter(QStringLiteral("EN_CH=1"));
    table.setFiltered(true);
    table.refresh();

    SeriesReport report;
    report.fillTitleCells(QStringLiteral("bench - ЖОРД-ЗР7"), table, 1);
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        report.prepare(table);
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    std::printf("prepare %d rows: %d pages, best of 5: %.1f ms\n", rows, report.prepared().pageCount(), best);

    QElapsedTimer t;
    t.start();
    const bool ok = kve::report::writePdf(report.prepared(), dir.filePath(QStringLiteral("bench.pdf")));
    std::printf("render %d pages to PDF: %.0f ms%s\n", report.prepared().pageCount(), t.nsecsElapsed() / 1e6,
                ok ? "" : " (failed)");
    return 0;
}
