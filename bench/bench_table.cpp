// Table object figures: a full download's posts, opening a large table, sorting a series.
#include "BenchTable.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using kve::MeasurementTable;

namespace {

double ms(const QElapsedTimer &timer) { return double(timer.nsecsElapsed()) / 1e6; }

// The verdict of a figure with a target.
const char *judged(double figure, double target) { return figure < target ? "within target" : "over target"; }

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;

    MeasurementTable t;
    t.setFilePath(dir.filePath("download.db"));
    t.create();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 2730; ++i)
        bench::appendMeasurement(t, i / 16 + 1, i % 16 + 1);
    const double appendMs = ms(timer);
    std::printf("append+post 2730 rows one at a time: %.1f ms (target < 50 ms): %s\n", appendMs, judged(appendMs, 50));
    t.close();

    MeasurementTable big;
    big.setFilePath(dir.filePath("big.db"));
    big.create();
    for (int i = 0; i < 100000; ++i)
        bench::appendMeasurement(big, i / 16 + 1, i % 16 + 1);
    big.close();

    timer.restart();
    big.open();
    // What the open step does before the first series shows: presence of every series,
    // then the first series' filter.
    big.setFiltered(false);
    big.refresh();
    int present = 0;
    for (int n = 1; n <= kve::kSeriesCount; ++n)
        present += big.locate("EN_CH", QString::number(n)) ? 1 : 0;
    big.setFilter("EN_CH=1");
    big.setFiltered(true);
    big.refresh();
    const double openMs = ms(timer);
    std::printf("open 100000 rows, find %d series, show series 1 (%d rows): %.1f ms (target < 150 ms): %s\n", present,
                big.recordCount(), openMs, judged(openMs, 150));

    timer.restart();
    big.addTag("tab1", "T_1", true);
    big.setActiveTag("tab1");
    big.regenerateIndexes();
    const double sortMs = ms(timer);
    std::printf("sort series 1 by a text column: %.1f ms (target < 100 ms): %s\n", sortMs, judged(sortMs, 100));

    big.setFiltered(false);
    timer.restart();
    big.refresh();
    std::printf("sort all 100000 rows by a text column: %.1f ms\n", ms(timer));
    return 0;
}
