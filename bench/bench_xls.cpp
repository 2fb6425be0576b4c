// Writes the workbook of a 2,730-row series report, and beside it has LibreOffice
// (headless, when installed) turn the same table, as a .csv, into an .xls: what a user
// would otherwise do.
#include "output/SeriesReport.h"
#include "output/SpreadsheetExport.h"
#include "BenchTable.h"
#include "store/MeasurementTable.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
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

    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        std::printf("LibreOffice: not installed, no comparison\n");
        return 0;
    }
    // The same rows and columns as a .csv (";" between fields, UTF-8, a header line).
    const QString csv = dir.filePath(QStringLiteral("table.csv"));
    {
        QFile f(csv);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        QTextStream out(&f);
        const QStringList fields{QStringLiteral("N"),   QStringLiteral("DATE"), QStringLiteral("TIME"),
                                 QStringLiteral("T_1"), QStringLiteral("T_2"),  QStringLiteral("T_3"),
                                 QStringLiteral("P_1"), QStringLiteral("P_2"),  QStringLiteral("F"),
                                 QStringLiteral("P"),   QStringLiteral("COMMENT")};
        out << fields.join(u';') << '\n';
        for (table.first(); !table.eof(); table.next()) {
            QStringList values;
            for (const QString &field : fields)
                values << table.fieldText(field).trimmed();
            out << values.join(u';') << '\n';
        }
    }
    const QString profile = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("lo-profile"));
    const auto convert = [&]() -> double {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(soffice, {profile, QStringLiteral("--headless"), QStringLiteral("--norestore"),
                          QStringLiteral("--infilter=CSV:59,34,76,1"), QStringLiteral("--convert-to"),
                          QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"), dir.path(), csv});
        if (!p.waitForFinished(300000) || p.exitCode() != 0 || !QFileInfo::exists(dir.filePath(QStringLiteral("table.xls"))))
            return -1;
        return t.nsecsElapsed() / 1e6;
    };
    const double first = convert();   // also creates the profile
    double lo = 1e12;
    for (int run = 0; run < 3; ++run)
        lo = std::min(lo, convert());
    if (first < 0 || lo < 0) {
        std::printf("LibreOffice: conversion failed\n");
        return 0;
    }
    std::printf("LibreOffice headless, same %d rows .csv -> .xls: first run (new profile) %.0f ms, best of 3: %.0f ms, "
                "%lld bytes\n",
                rows, first, lo, QFileInfo(dir.filePath(QStringLiteral("table.xls"))).size());
    std::printf("ratio LibreOffice / our writer: %.1f x\n", lo / best);
    return 0;
}
