#include "TableFixture.h"
#include "analysis/AnalysisError.h"
#include "analysis/HeaveChart.h"

#include <QLocale>
#include <QtTest>

// Reading the chart points from a real table file; series 2 holds four rows whose file
// order is not their time order.
class HeaveChartTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void wholeSeriesInAscendingTime();
    void sortedSeriesStillAscending();
    void chosenMeasurementOnly();
    void emptyViewHasNoPoints();
    void closedTableDrawsNothing();
    void conversionFailureRestoresView_data();
    void conversionFailureRestoresView();
    void choiceNotANumberLeavesViewAlone();
    void titleLine();
    void measurementTime_data();
    void measurementTime();
    void labelStep_data();
    void labelStep();
    void fittedStepWidens_data();
    void fittedStepWidens();
    void printArea();

private:
    kve::MeasurementTable m_table;
};

void HeaveChartTest::init()
{
    QLocale::setDefault(QLocale(QLocale::Russian));
    createTable(m_table, QStringLiteral("chart"),
                {
                    {1, 1, "01.02.2024", "09:00:00", " 9,0"},
                    {1, 2, "01.02.2024", "12:00:00", " 2,5", "0,0167", QString(), "M1"},
                    {2, 2, "01.02.2024", "10:00:00", " 1,0", "0,0067", QString(), "M2"},
                    {3, 2, "02.02.2024", "08:30:15", "", "-", QString(), "M3"},
                    {4, 2, "01.02.2024", "11:00:00", " 3,5", "0,0233", QString(), "M4"},
                },
                2);
}

void HeaveChartTest::cleanup()
{
    m_table.close();
    QLocale::setDefault(QLocale::c());
}

static QList<QPair<QString, double>> pointsOf(const kve::HeaveChartData &data)
{
    QList<QPair<QString, double>> list;
    for (const kve::HeavePoint &p : data.points)
        list << qMakePair(p.time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")), p.hf);
    return list;
}

void HeaveChartTest::wholeSeriesInAscendingTime()
{
    const kve::HeaveChartData data = kve::readHeaveChart(m_table, 2, QString());
    const QList<QPair<QString, double>> expected{
        {"01.02.2024 10:00:00", 1.0},
        {"01.02.2024 11:00:00", 3.5},
        {"01.02.2024 12:00:00", 2.5},
        {"02.02.2024 08:30:15", 0.0},   // empty P_1 is plotted at 0
    };
    QCOMPARE(pointsOf(data), expected);
    QCOMPARE(data.minY, 0.0);
    QCOMPARE(data.maxY, 3.5);
    // Title from the last row of the view (file order: N=4).
    QCOMPARE(data.title, kve::heaveChartTitle("M4", "0,0233", "2"));
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QVERIFY(m_table.filtered());
    QCOMPARE(m_table.recNo(), 0);
}

void HeaveChartTest::sortedSeriesStillAscending()
{
    m_table.addTag(QStringLiteral("tab2"), QStringLiteral("P_1"), true);
    m_table.setActiveTag(QStringLiteral("tab2"));
    m_table.refresh();
    const kve::HeaveChartData data = kve::readHeaveChart(m_table, 2, QString());
    QCOMPARE(data.points.size(), size_t(4));
    for (size_t i = 1; i < data.points.size(); ++i)
        QVERIFY(data.points[i - 1].time < data.points[i].time);
    // The last row of the view in this order is the one with the smallest P_1 (empty).
    QCOMPARE(data.title, kve::heaveChartTitle("M3", "-", "2"));
}

void HeaveChartTest::chosenMeasurementOnly()
{
    const kve::HeaveChartData data = kve::readHeaveChart(m_table, 2, QStringLiteral("2"));
    QCOMPARE(pointsOf(data), (QList<QPair<QString, double>>{{"01.02.2024 10:00:00", 1.0}}));
    QCOMPARE(data.title, kve::heaveChartTitle("M2", "0,0067", "2"));
    // The main window is back on the whole series.
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QCOMPARE(m_table.recordCount(), 4);
}

void HeaveChartTest::emptyViewHasNoPoints()
{
    m_table.setFilter(QStringLiteral("EN_CH=7"));
    m_table.refresh();
    const kve::HeaveChartData data = kve::readHeaveChart(m_table, 7, QString());
    QVERIFY(data.points.empty());
    QCOMPARE(data.minY, 0.0);
    QCOMPARE(data.maxY, 0.0);
    QCOMPARE(data.title, QStringLiteral("ЦЫН-ЗР7.01/ \"ZIZEZ\"  Серийный №  Модуль №"));

    const kve::HeaveChartData none = kve::readHeaveChart(m_table, 2, QStringLiteral("42"));
    QVERIFY(none.points.empty());
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
}

void HeaveChartTest::closedTableDrawsNothing()
{
    m_table.close();
    const kve::HeaveChartData data = kve::readHeaveChart(m_table, 2, QStringLiteral("1"));
    QVERIFY(data.points.empty());
    QVERIFY(!m_table.isOpen());
}

void HeaveChartTest::conversionFailureRestoresView_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("choice");
    QTest::newRow("date") << "DATE" << "31.02.2024" << "";
    QTest::newRow("time") << "TIME" << "25:00:00" << "";
    QTest::newRow("P_1") << "P_1" << "1,2,3" << "";
    QTest::newRow("P_1 of the chosen row") << "P_1" << "x" << "3";
}

void HeaveChartTest::conversionFailureRestoresView()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, choice);
    QVERIFY(m_table.locate(QStringLiteral("N"), QStringLiteral("3")));
    m_table.edit();
    m_table.setFieldText(field, text);
    m_table.post();
    try {
        kve::readHeaveChart(m_table, 2, choice);
        QFAIL("the row was read");
    } catch (const kve::AnalysisError &error) {
        QVERIFY2(error.text().contains(text), qPrintable(error.text()));
    }
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QVERIFY(m_table.filtered());
    QCOMPARE(m_table.recordCount(), 4);
    QCOMPARE(m_table.recNo(), 0);
}

void HeaveChartTest::choiceNotANumberLeavesViewAlone()
{
    m_table.last();
    const int row = m_table.recNo();
    QVERIFY_THROWS_EXCEPTION(kve::AnalysisError, kve::readHeaveChart(m_table, 2, QStringLiteral("1 OR N=2")));
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QCOMPARE(m_table.recNo(), row);
}

void HeaveChartTest::titleLine()
{
    const QString title = kve::heaveChartTitle("MODE", "0,0333", "12");
    QCOMPARE(title, QStringLiteral("ЦЫН-ЗР7.01/MODE \"ZIZEZ\"  Серийный №0,0333  Модуль №12"));
    QCOMPARE(kve::heaveChartTitle({}, {}, {}).size(), 11 + 9 + 11 + 10);
}

void HeaveChartTest::measurementTime_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stored form") << "05.03.2024" << "07:08:09" << "2024-03-05T07:08:09";
    QTest::newRow("one-digit parts") << "5.3.2024" << "7:08:09" << "2024-03-05T07:08:09";
    QTest::newRow("no seconds") << "05.03.2024" << "07:08" << "2024-03-05T07:08:00";
    QTest::newRow("blanks around") << " 05.03.2024 " << " 07:08:09" << "2024-03-05T07:08:09";
    QTest::newRow("bad day") << "32.01.2024" << "07:08:09" << "";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("text") << "вчера" << "07:08:09" << "";
}

void HeaveChartTest::measurementTime()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QString, expected);
    const std::optional<QDateTime> value = kve::readMeasurementTime(date, time);
    QCOMPARE(value.has_value(), !expected.isEmpty());
    if (value)
        QCOMPARE(value->toString(Qt::ISODate), expected);
}

void HeaveChartTest::labelStep_data()
{
    QTest::addColumn<double>("minY");
    QTest::addColumn<double>("maxY");
    QTest::addColumn<bool>("stepped");
    QTest::newRow("spread 1") << 2.0 << 3.0 << true;
    QTest::newRow("spread 3,5") << 0.0 << 3.5 << true;
    QTest::newRow("negative to positive") << -0.6 << 0.4 << true;
    QTest::newRow("spread 0,9") << 2.0 << 2.9 << false;
    QTest::newRow("one value") << 5.0 << 5.0 << false;
    QTest::newRow("no points") << 0.0 << 0.0 << false;
}

void HeaveChartTest::labelStep()
{
    QFETCH(double, minY);
    QFETCH(double, maxY);
    QFETCH(bool, stepped);
    const std::optional<double> step = kve::desiredHeaveStep(minY, maxY);
    QCOMPARE(step.has_value(), stepped);
    if (step)
        QCOMPARE(*step, 0.2);
    const auto [low, high] = kve::heaveAxisRange(minY, maxY);
    QVERIFY(low < high);
    QVERIFY(low <= minY && high >= maxY);
}

void HeaveChartTest::fittedStepWidens_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("labels");
    QTest::addColumn<double>("step");
    QTest::newRow("fits") << 0.0 << 2.0 << 20 << 0.2;
    QTest::newRow("twice") << 0.0 << 4.0 << 12 << 0.4;
    QTest::newRow("five times") << 0.0 << 8.0 << 10 << 1.0;
    QTest::newRow("ten times") << 0.0 << 15.0 << 10 << 2.0;
    QTest::newRow("large") << 0.0 << 500.0 << 20 << 40.0;
}

void HeaveChartTest::fittedStepWidens()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, labels);
    QFETCH(double, step);
    const double fitted = kve::fittedStep(0.2, min, max, labels);
    QVERIFY2(qAbs(fitted - step) < 1e-9, qPrintable(QString::number(fitted)));
    QVERIFY(std::floor((max - min) / fitted) + 1 <= labels);
}

void HeaveChartTest::printArea()
{
    const QRectF area = kve::chartPrintArea(QRectF(0, 0, 1000, 500));
    QCOMPARE(area, QRectF(40, 20, 920, 460));
}

QTEST_GUILESS_MAIN(HeaveChartTest)
#include "tst_heavechart.moc"
