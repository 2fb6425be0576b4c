// The grid commands in the main window, with all sixteen grids bound to the table as the
// program has them: deleting the selected rows, a title-click sort, renumbering, and the
// export of the series to a workbook, for series of growing size. For each command it
// prints the time at every size and how much the time grew against the rows
// (1.0: linear).
//
//   bench_commands [rows ...]      default 2000 16000 100000; QT_QPA_PLATFORM=offscreen
//
// The table holds two series of `rows` rows each; series 1 is shown. A worksheet holds
// 65,536 rows, so the workbook is written only for series of up to 50,000 rows.

#include "BenchTable.h"
#include "app/main.h"
#include "output/SeriesReport.h"
#include "output/SpreadsheetExport.h"
#include "view/GridCommands.h"
#include "view/TDBGridPro.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLocale>
#include <QStandardPaths>
#include <QTableView>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <vector>

namespace {

double ms(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

void makeTable(const QString &path, int rows)
{
    kve::MeasurementTable table;
    table.setFilePath(path);
    table.create();
    for (int series = 1; series <= 2; ++series)
        for (int n = 1; n <= rows; ++n)
            bench::appendMeasurement(table, n % 10000, series, QStringLiteral("замер %1").arg(n));
    table.close();
}

// Lets the window paint what the command left.
void settle(TForm1 &window)
{
    QCoreApplication::processEvents();
    window.grid(window.activeSeries())->view()->viewport()->repaint();
}

constexpr int kExportRowsMax = 50000;

struct Figures {
    double open = 0, sortDown = 0, sortUp = 0, renumber = 0, remove = 0, exportPrepare = 0, exportWrite = 0;
    int removed = 0, exported = 0;
    bool renumberStopped = false;
};

Figures run(const QString &dir, int rows)
{
    Figures f;
    const QString path = dir + QStringLiteral("/series%1.db").arg(rows);
    makeTable(path, rows);

    TForm1 window;
    window.resize(1000, 700);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::printf("window not exposed\n");
    kve::MeasurementTable &table = window.table();

    QElapsedTimer t;
    t.start();
    window.Open_DB(path);
    settle(window);
    f.open = ms(t);
    kve::TDBGridPro &grid = *window.grid(1);

    const int column = grid.columnOfField(QStringLiteral("F"));
    t.restart();
    grid.clickTitle(column);
    settle(window);
    f.sortDown = ms(t);
    t.restart();
    grid.clickTitle(column);
    settle(window);
    f.sortUp = ms(t);

    SeriesReport report;
    t.restart();
    report.fillTitleCells(window.windowTitle(), table, 1);
    report.prepare(table);
    f.exportPrepare = ms(t);
    f.exported = table.recordCount();
    if (f.exported <= kExportRowsMax) {
        t.restart();
        kve::report::writeWorkbook(report.prepared(), dir + QStringLiteral("/series.xls"));
        f.exportWrite = ms(t);
    }

    // N holds four digits: a series of more rows stops with an error at 10,000, after 9,999
    // posts, and the table is left closed.
    t.restart();
    try {
        window.N37Click();
    } catch (const kve::TableError &) {
        f.renumberStopped = true;
        table.open();
    }
    settle(window);
    f.renumber = ms(t);

    // Half the series, one block of rows, as a Shift-click selects it.
    QTableView *view = grid.view();
    const int k = rows / 2;
    view->selectionModel()->select(QItemSelection(view->model()->index(0, 0), view->model()->index(k - 1, 0)),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    t.restart();
    window.N21Click();
    settle(window);
    f.remove = ms(t);
    f.removed = rows - table.recordCount();
    window.Close_DB();
    return f;
}

void growth(const char *what, const std::vector<int> &sizes, const std::vector<double> &times)
{
    std::printf("%-34s", what);
    for (size_t i = 0; i < sizes.size(); ++i)
        std::printf(" %9.1f ms", times[i]);
    for (size_t i = 1; i < sizes.size(); ++i) {
        const double rowRatio = double(sizes[i]) / sizes[i - 1];
        const double timeRatio = times[i - 1] > 0 ? times[i] / times[i - 1] : 0;
        std::printf(" | x%.1f rows: x%.1f time (%.2f)", rowRatio, timeRatio, timeRatio / rowRatio);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's settings go to a test location, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian));
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::max(2, atoi(argv[i])));
    if (sizes.empty())
        sizes = {2000, 16000, 100000};
    QTemporaryDir dir;

    std::vector<Figures> all;
    for (int rows : sizes) {
        const Figures f = run(dir.path(), rows);
        std::printf("%7d rows: open %.1f ms, sort F %.1f / %.1f ms, export %d rows: prepare %.1f ms, write %.1f ms, "
                    "renumber %.1f ms%s, delete %d rows %.1f ms\n",
                    rows, f.open, f.sortDown, f.sortUp, f.exported, f.exportPrepare, f.exportWrite, f.renumber,
                    f.renumberStopped ? " (stopped at N 10000)" : "", f.removed, f.remove);
        std::fflush(stdout);
        all.push_back(f);
    }
    std::printf("growth (time ratio / row ratio; 1.0 is linear):\n");
    const auto column = [&](double Figures::*member) {
        std::vector<double> out;
        for (const Figures &f : all)
            out.push_back(f.*member);
        return out;
    };
    growth("open to the first screen", sizes, column(&Figures::open));
    growth("title-click sort (descending)", sizes, column(&Figures::sortDown));
    growth("title-click sort (ascending)", sizes, column(&Figures::sortUp));
    growth("renumber", sizes, column(&Figures::renumber));
    growth("delete half the series", sizes, column(&Figures::remove));
    growth("export: prepare the report", sizes, column(&Figures::exportPrepare));
    std::vector<int> written;
    std::vector<double> writeTimes;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].exported <= kExportRowsMax) {
            written.push_back(all[i].exported);
            writeTimes.push_back(all[i].exportWrite);
        }
    }
    growth("export: write the workbook", written, writeTimes);
    if (written.size() < all.size())
        std::printf("(the workbook is not written for series over %d rows: a worksheet holds 65,536 rows)\n", kExportRowsMax);
    return 0;
}
