// Prepares the report of a 2,730-row series and renders all its pages to PDF.
#include "output/ReportRenderer.h"
#include "output/SeriesReport.h"
#include "BenchTable.h"
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
    const int rows = 2730;
    bench::makeSeriesTable(table, dir.filePath(QStringLiteral("bench.db")), rows);

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
