#pragma once

// A small measurement table file in the test's own directory, and helpers to read what a
// grid shows.

#include "store/MeasurementTable.h"
#include "view/TDBGridPro.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStringList>
#include <QTableView>
#include <QTest>

namespace fixture {

// F of row i (1-based) of a series: text order differs from number order ("9,5" > "10,2").
inline QString fText(int series, int n)
{
    static const char *const values[] = {"9,50", "10,20", "2,10", "11,00", "0,75", "3,40",
                                         "12,00", "1,00", "8,80", "5,55", "10,05", "4,00"};
    return QString::fromLatin1(values[(n - 1 + series - 1) % 12]);
}

// Series 1..`series`, `rows` rows each, written series by series, N = 1..rows.
inline void fillTable(kve::MeasurementTable &table, const QString &path, int series = 3, int rows = 6)
{
    table.setFilePath(path);
    table.create();
    for (int s = 1; s <= series; ++s) {
        for (int n = 1; n <= rows; ++n) {
            table.append();
            table.setFieldInt(QStringLiteral("N"), n);
            table.setFieldInt(QStringLiteral("EN_CH"), s);
            table.setFieldText(QStringLiteral("DATE"), QStringLiteral("%1.01.2024").arg(n, 2, 10, QLatin1Char('0')));
            table.setFieldText(QStringLiteral("TIME"), QStringLiteral("12:%1:00").arg(n, 2, 10, QLatin1Char('0')));
            table.setFieldText(QStringLiteral("T_1"), QStringLiteral("%1,%2").arg(s).arg(n));
            table.setFieldText(QStringLiteral("F"), fText(s, n));
            table.post();
        }
    }
    table.setFilter(QStringLiteral("EN_CH=1"));
    table.setFiltered(true);
    table.refresh();
}

inline void showSeries(kve::MeasurementTable &table, int series)
{
    table.setFiltered(false);
    table.setFilter(QStringLiteral("EN_CH=%1").arg(series));
    table.setFiltered(true);
    table.refresh();
}

// What the grid shows in one column, top to bottom.
inline QStringList shownColumn(const kve::TDBGridPro &grid, const QString &field)
{
    const QAbstractItemModel *model = grid.view()->model();
    const int column = grid.columnOfField(field);
    QStringList out;
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->index(r, column).data().toString();
    return out;
}

inline QStringList numbers(std::initializer_list<int> values)
{
    QStringList out;
    for (int v : values)
        out << QString::number(v);
    return out;
}

// Types the text key by key, whatever its letters (QTest's key clicks know only ASCII).
inline void typeText(QWidget *widget, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString key = text.mid(i, length);
        i += length - 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, key);
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, key);
        QCoreApplication::sendEvent(widget, &release);
    }
}

inline QString tablePath() { return QDir::current().absoluteFilePath(QStringLiteral("series.db")); }

} // namespace fixture
