// Layout text speed: writing and reading the stored column lists of the sixteen series grids
// (twelve columns each, every property set), repeated. Prints microseconds per round.
//
//   bench_layout_text [rounds]

#include "view/LayoutText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    std::vector<kve::ColumnLayout> columns(12);
    for (int i = 0; i < 12; ++i) {
        kve::ColumnLayout &c = columns[std::size_t(i)];
        c.FieldName = QStringLiteral("FIELD_%1").arg(i);
        c.OptionsVisual = {QStringLiteral("ovTitleWordWrap")};
        c.TitleState = kve::TitleState::tsSortedUp;
        c.FooterState = QStringLiteral("fsSum");
        c.Width = 56 + i;
        c.LayoutLevel = 1;
        c.LayoutIndex = i;
        c.Color = QColor(i, 2 * i, 3 * i);
        c.Alignment = kve::ColumnAlignment::talCenter;
        c.Font = {{QStringLiteral("Name"), QStringLiteral("'Arial'")}};
        c.SortOrder = i;
    }

    qint64 size = 0;
    QElapsedTimer t;
    t.start();
    QString text;
    for (int r = 0; r < rounds; ++r) {
        text = kve::writeLayoutText(columns);
        size += text.size();
    }
    const double writeUs = double(t.nsecsElapsed()) / 1e3 / rounds;

    t.restart();
    std::size_t read = 0;
    for (int r = 0; r < rounds; ++r)
        read += kve::parseLayoutText(text).size();
    const double readUs = double(t.nsecsElapsed()) / 1e3 / rounds;

    std::printf("layout text of 12 columns (%lld chars), %d rounds: write %.1f us, read %.1f us per round\n",
                static_cast<long long>(size / rounds), rounds, writeUs, readUs);
    return read == std::size_t(rounds) * columns.size() ? 0 : 1;
}
