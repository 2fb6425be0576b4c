// Column titles in a narrow grid: every line that does not fit is cut short with "…",
// a title of one long word too, and no line is wider than its column.
#include "view/TitleLines.h"

#include <QApplication>
#include <QFontMetrics>
#include <QtTest>

class GridTitlesTest : public QObject {
    Q_OBJECT
private slots:
    void linesFitTheColumn_data();
    void linesFitTheColumn();
};

void GridTitlesTest::linesFitTheColumn_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("widthOf");   // the column is as wide as this text
    QTest::addColumn<int>("extra");         // plus these pixels (rounding room)
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("one long word, narrow") << "Примечание" << "Примеч…" << 1 << QStringList{"Примеч…"};
    QTest::newRow("one long word, fits") << "Примечание" << "Примечание" << 1 << QStringList{"Примечание"};
    QTest::newRow("two words, second line fits") << "№ измерения" << "измерения" << 1
                                                 << QStringList{"№", "измерения"};
    QTest::newRow("two words, second line cut") << "№ измерения" << "изме…" << 1 << QStringList{"№", "изме…"};
    QTest::newRow("long first word, more after") << "Температура, °С" << "Темп…" << 1
                                                 << QStringList{"Темп…", "°С"};
}

void GridTitlesTest::linesFitTheColumn()
{
    QFETCH(QString, title);
    QFETCH(QString, widthOf);
    QFETCH(int, extra);
    QFETCH(QStringList, lines);
    const QFont font(QStringLiteral("MS Sans Serif"));
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(widthOf) + extra;
    const QStringList got = kve::titleLines(title, font, width);
    QCOMPARE(got, lines);
    for (const QString &line : got)
        QVERIFY2(metrics.horizontalAdvance(line) <= width, qPrintable(line));
}

QTEST_MAIN(GridTitlesTest)
#include "tst_grid_titles.moc"
