// Writes the workbook of a 2,730-row series report, and beside it has LibreOffice
// (headless, when installed) turn the same table, as a .csv, into an .xls: what a user
// would otherwise do. LibreOffice's start-up is not counted: the time of converting a
// one-row .csv is taken off, and the runs of both alternate.
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
    const auto ours = [&]() -> double {
        QElapsedTimer t;
        t.start();
        kve::report::writeWorkbook(report.prepared(), path);
        return t.nsecsElapsed() / 1e6;
    };

    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        double best = 1e9;
        for (int run = 0; run < 5; ++run)
            best = std::min(best, ours());
        std::printf("write workbook of %d rows (%d pages): %lld bytes, best of 5: %.1f ms\n", rows,
                    report.prepared().pageCount(), QFileInfo(path).size(), best);
        std::printf("LibreOffice: not installed, no comparison\n");
        return 0;
    }
    // The same rows and columns as a .csv (";" between fields, UTF-8, a header line), and a
    // .csv of the header and one row: its conversion is LibreOffice's start-up and file
    // handling, which is taken off the figure of the whole table.
    const QStringList fields{QStringLiteral("N"),   QStringLiteral("DATE"), QStringLiteral("TIME"),
                             QStringLiteral("T_1"), QStringLiteral("T_2"),  QStringLiteral("T_3"),
                             QStringLiteral("P_1"), QStringLiteral("P_2"),  QStringLiteral("F"),
                             QStringLiteral("P"),   QStringLiteral("COMMENT")};
    const auto writeCsv = [&](const QString &name, int maxRows) -> QString {
        const QString csv = dir.filePath(name);
        QFile f(csv);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        QTextStream out(&f);
        out << fields.join(u';') << '\n';
        int written = 0;
        for (table.first(); !table.eof() && written < maxRows; table.next(), ++written) {
            QStringList values;
            for (const QString &field : fields)
                values << table.fieldText(field).trimmed();
            out << values.join(u';') << '\n';
        }
        return csv;
    };
    const QString csv = writeCsv(QStringLiteral("table.csv"), rows);
    const QString oneRow = writeCsv(QStringLiteral("one.csv"), 1);
    if (csv.isEmpty() || oneRow.isEmpty())
        return 1;
    const QString profile = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("lo-profile"));
    const auto convert = [&](const QString &input) -> double {
        const QString output = dir.filePath(QFileInfo(input).completeBaseName() + QStringLiteral(".xls"));
        QFile::remove(output);
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(soffice, {profile, QStringLiteral("--headless"), QStringLiteral("--norestore"),
                          QStringLiteral("--infilter=CSV:59,34,76,1"), QStringLiteral("--convert-to"),
                          QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"), dir.path(), input});
        if (!p.waitForFinished(300000) || p.exitCode() != 0 || !QFileInfo::exists(output))
            return -1;
        return t.nsecsElapsed() / 1e6;
    };
    const double first = convert(oneRow);   // also creates the profile
    if (first < 0) {
        std::printf("LibreOffice: conversion failed\n");
        return 0;
    }
    // Alternated runs, so that a change of the machine's load falls on all three alike.
    constexpr int kRuns = 3;
    double best = 1e9, whole = 1e12, startUp = 1e12;
    for (int run = 0; run < kRuns; ++run) {
        best = std::min(best, ours());
        const double w = convert(csv);
        const double s = convert(oneRow);
        if (w < 0 || s < 0) {
            std::printf("LibreOffice: conversion failed\n");
            return 0;
        }
        whole = std::min(whole, w);
        startUp = std::min(startUp, s);
    }
    const double lo = std::max(0.0, whole - startUp);
    std::printf("write workbook of %d rows (%d pages): %lld bytes, best of %d: %.1f ms\n", rows,
                report.prepared().pageCount(), QFileInfo(path).size(), kRuns, best);
    std::printf("LibreOffice headless, same %d rows .csv -> .xls: best of %d %.0f ms, of which start-up (a 1-row "
                ".csv, best of %d) %.0f ms: conversion %.0f ms, %lld bytes\n",
                rows, kRuns, whole, kRuns, startUp, lo, QFileInfo(dir.filePath(QStringLiteral("table.xls"))).size());
    std::printf("ratio LibreOffice conversion without start-up / our writer: %.1f x\n", lo / best);
    return 0;
}
