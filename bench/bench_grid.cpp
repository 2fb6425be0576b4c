// Series grid speed: a series of 100,000 rows against one of 100. Prints, for each, the
// time from opening the table to the first painted screen, the time per page when paging
// down and when jumping through the whole series, and a sort by a text column from the
// title click to the repainted grid.
//
//   bench_grid [rows]      (QT_QPA_PLATFORM=offscreen when no display is set)

#include "store/MeasurementTable.h"
#include "view/TDBGridPro.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

void makeTable(const QString &path, int rows)
{
    kve::MeasurementTable table;
    table.setFilePath(path);
    table.create();
    for (int n = 1; n <= rows; ++n) {
        table.append();
        table.setFieldInt(QStringLiteral("N"), n % 10000);
        table.setFieldInt(QStringLiteral("EN_CH"), 1);
        table.setFieldText(QStringLiteral("DATE"), QStringLiteral("%1.01.2024").arg(1 + n % 28, 2, 10, QLatin1Char('0')));
        table.setFieldText(QStringLiteral("TIME"), QStringLiteral("12:%1:00").arg(n % 60, 2, 10, QLatin1Char('0')));
        table.setFieldText(QStringLiteral("T_1"), QString::number((n * 7919) % 1000 / 10.0, 'f', 1));
        table.setFieldText(QStringLiteral("F"), QString::number((n * 104729) % 10000 / 100.0, 'f', 2));
        table.setFieldText(QStringLiteral("COMMENT"), QStringLiteral("Замер %1").arg(n));
        table.post();
    }
    table.close();
}

double ms(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

void run(const QString &path, int rows)
{
    kve::MeasurementTable table;
    kve::TDBGridPro grid(table, 1);
    grid.resize(1000, 700);
    grid.show();
    if (!QTest::qWaitForWindowExposed(&grid))
        std::printf("window not exposed\n");
    QTableView *view = grid.view();

    QElapsedTimer t;
    t.start();
    table.setFilePath(path);
    table.open();
    table.setFilter(QStringLiteral("EN_CH=1"));
    table.setFiltered(true);
    table.refresh();
    QCoreApplication::processEvents();   // the view lays out its new rows
    view->viewport()->repaint();
    const double firstScreen = ms(t);

    QScrollBar *bar = view->verticalScrollBar();
    const int pages = std::min(300, std::max(1, bar->maximum() / std::max(1, bar->pageStep())));
    t.restart();
    for (int p = 0; p < pages; ++p) {
        bar->setValue(bar->value() + bar->pageStep());
        view->viewport()->repaint();
    }
    const double perPage = ms(t) / pages;

    // Jumps spread over the whole series, as dragging the scroll box does.
    const int jumps = 200;
    t.restart();
    for (int j = 0; j < jumps; ++j) {
        bar->setValue(int((long long)bar->maximum() * ((j * 37) % jumps) / jumps));
        view->viewport()->repaint();
    }
    const double perJump = ms(t) / jumps;

    const int f = grid.columnOfField(QStringLiteral("F"));
    t.restart();
    grid.clickTitle(f);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    view->horizontalHeader()->viewport()->repaint();
    const double sortDesc = ms(t);
    t.restart();
    grid.clickTitle(f);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    view->horizontalHeader()->viewport()->repaint();
    const double sortAsc = ms(t);

    std::printf("%7d rows: first screen %8.2f ms | page down %6.3f ms/page (%d pages) | jump %6.3f ms | "
                "sort by F %7.2f ms desc, %7.2f ms asc\n",
                rows, firstScreen, perPage, pages, perJump, sortDesc, sortAsc);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int big = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    const QString bigPath = dir.filePath(QStringLiteral("big.db"));
    const QString smallPath = dir.filePath(QStringLiteral("small.db"));
    QElapsedTimer t;
    t.start();
    makeTable(bigPath, big);
    makeTable(smallPath, 100);
    std::printf("tables written in %.0f ms\n", ms(t));
    run(smallPath, 100);
    run(bigPath, big);
    return 0;
}
