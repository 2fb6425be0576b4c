// The chart under a time zone with summer time, its axis numbers in the system's decimal
// separator, and its labels after the window was resized and when printed.
#include "FakeNotifier.h"
#include "TableFixture.h"
#include "analysis/HeaveChart.h"
#include "analysis/WallClockAxis.h"
#include "analysis/graf.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QGraphicsTextItem>
#include <QLineSeries>
#include <QLocale>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QValueAxis>
#include <QtTest>

#include <ctime>

namespace {

// The left axis' labels as the chart draws them, bottom to top.
QStringList leftLabels(TForm3 &chart)
{
    const QRectF plot = chart.chart()->plotArea();
    QList<QPair<qreal, QString>> found;
    for (QGraphicsItem *item : chart.chartView()->scene()->items()) {
        auto *text = dynamic_cast<QGraphicsTextItem *>(item);
        if (!text || !text->isVisible())
            continue;
        const QRectF box = text->sceneBoundingRect();
        const QString plain = text->toPlainText();
        // The chart's own (empty) title is a text item too.
        if (plain.isEmpty() || box.right() > plot.left() + 1 || plain == chart.leftAxis()->titleText())
            continue;
        found << qMakePair(box.center().y(), plain);
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList out;
    for (const auto &f : found)
        out << f.second;
    return out;
}

// Lets the chart finish laying itself out after a change of size.
void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Every label reads as a number with the separator given, none is cut short, and the
// labels stand one drawn step apart.
QString labelProblem(const QStringList &labels, const QLocale &locale, double step)
{
    if (labels.size() < 2)
        return QStringLiteral("fewer than two labels: %1").arg(labels.join(" | "));
    const QChar other = locale.decimalPoint() == QLatin1String(",") ? QLatin1Char('.') : QLatin1Char(',');
    double previous = 0;
    for (int i = 0; i < labels.size(); ++i) {
        const QString &label = labels[i];
        if (label.contains(QChar(0x2026)) || label.contains(QLatin1String("..")) || label.contains(other))
            return QStringLiteral("label \"%1\" in %2").arg(label, labels.join(" | "));
        bool ok = false;
        const double value = locale.toDouble(label, &ok);
        if (!ok)
            return QStringLiteral("label \"%1\" is no number in %2").arg(label, labels.join(" | "));
        if (i > 0 && qAbs(value - previous - step) > 1e-6)
            return QStringLiteral("labels %1 and %2 are not %3 apart").arg(labels[i - 1], label).arg(step);
        previous = value;
    }
    return {};
}

} // namespace

class ChartEdgesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void timeZoneIsBerlin();
    void summerTimeChangesPlot_data();
    void summerTimeChangesPlot();
    void axisNumbersFollowSystemSeparator_data();
    void axisNumbersFollowSystemSeparator();
    void labelsReadableAfterResizes();
    void printedLabelsReadable();

private:
    void build(const QList<FixtureRow> &rows);

    kve::MeasurementTable m_table;
    std::unique_ptr<TForm3> m_chart;
};

void ChartEdgesTest::init()
{
    QLocale::setDefault(QLocale(QLocale::Russian));
}

void ChartEdgesTest::cleanup()
{
    m_chart.reset();
    m_table.close();
    QLocale::setDefault(QLocale::c());
}

void ChartEdgesTest::build(const QList<FixtureRow> &rows)
{
    createTable(m_table, QStringLiteral("edges"), rows, 2);
    m_chart = std::make_unique<TForm3>(m_table, [] { return QString(); }, [] { return 2; });
}

// The cases below mean something only where the clock changes for summer.
void ChartEdgesTest::timeZoneIsBerlin()
{
    QVERIFY(!QDateTime(QDate(2024, 3, 31), QTime(2, 30)).isValid()
            || QDateTime(QDate(2024, 3, 31), QTime(2, 30)).time() != QTime(2, 30));
    QCOMPARE(QDateTime(QDate(2024, 7, 1), QTime(12, 0)).offsetFromUtc(), 7200);
}

void ChartEdgesTest::summerTimeChangesPlot_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("firstLabel");
    QTest::addColumn<QString>("lastLabel");
    // 02:00..03:00 is skipped in spring and passed twice in autumn.
    QTest::newRow("spring gap") << "31.03.2024" << "01:30:00<br>31.03.24" << "03:30:00<br>31.03.24";
    QTest::newRow("autumn repeat") << "27.10.2024" << "01:30:00<br>27.10.24" << "03:30:00<br>27.10.24";
}

void ChartEdgesTest::summerTimeChangesPlot()
{
    QFETCH(QString, date);
    QFETCH(QString, firstLabel);
    QFETCH(QString, lastLabel);
    build({
        {1, 2, date, "01:30:00", " 1,0"},
        {2, 2, date, "02:30:00", " 1,5"},
        {3, 2, date, "03:30:00", " 2,0"},
    });
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    QVERIFY(m_chart->FormShow());
    QCOMPARE(boxes.texts(), QStringList());
    QLineSeries *series = m_chart->lineSeries();
    QCOMPARE(series->count(), 3);
    // One hour of the instrument's clock between neighbours, whatever the local clock did.
    QCOMPARE(qint64(series->at(1).x() - series->at(0).x()), qint64(3600000));
    QCOMPARE(qint64(series->at(2).x() - series->at(1).x()), qint64(3600000));
    QCOMPARE(series->at(1).y(), 1.5);

    const QStringList labels = m_chart->bottomAxis()->categoriesLabels();
    QCOMPARE(labels.size(), 5);
    QCOMPARE(labels.first(), firstLabel);
    QCOMPARE(labels.at(2), QStringLiteral("02:30:00<br>") + date.left(6) + date.right(2));
    QCOMPARE(labels.last(), lastLabel);

    const kve::HeaveChartData data = kve::readHeaveChart(m_table, 2, QString());
    QCOMPARE(data.points.size(), size_t(3));
    QCOMPARE(data.points[1].time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")), date + QStringLiteral(" 02:30:00"));
}

void ChartEdgesTest::axisNumbersFollowSystemSeparator_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("separator");
    QTest::newRow("comma") << QLocale(QLocale::Russian) << ",";
    QTest::newRow("point") << QLocale(QLocale::English, QLocale::UnitedStates) << ".";
}

void ChartEdgesTest::axisNumbersFollowSystemSeparator()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, separator);
    QLocale::setDefault(locale);
    const QString one = QStringLiteral(" 1") + separator + QStringLiteral("0");
    const QString two = QStringLiteral(" 2") + separator + QStringLiteral("5");
    build({
        {1, 2, "01.02.2024", "10:00:00", one},
        {2, 2, "01.02.2024", "11:00:00", two},
    });
    m_chart->resize(698, 482);
    m_chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_chart.get()));
    settle();
    const QStringList labels = leftLabels(*m_chart);
    QVERIFY2(labels.join(QString()).contains(separator), qPrintable(labels.join(" | ")));
    const QString problem = labelProblem(labels, locale, m_chart->drawnLabelStep());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    m_chart->hide();
}

void ChartEdgesTest::labelsReadableAfterResizes()
{
    // A spread of 5,2 mm: labels every 0,2 need about thirty rows of text.
    build({
        {1, 2, "01.02.2024", "10:00:00", " 0,0"},
        {2, 2, "01.02.2024", "11:00:00", " 5,2"},
        {3, 2, "01.02.2024", "12:00:00", " 1,4"},
    });
    m_chart->resize(698, 482);
    m_chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_chart.get()));
    const QList<QSize> sizes{{1000, 700}, {1100, 700}, {698, 482}, {1100, 700}, {800, 600},
                             {1280, 960}, {1000, 700}, {640, 400}, {1100, 700}};
    for (const QSize &size : sizes) {
        m_chart->resize(size);
        settle();
        const QStringList labels = leftLabels(*m_chart);
        const QString problem = labelProblem(labels, QLocale(), m_chart->drawnLabelStep());
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("%1x%2: ").arg(size.width()).arg(size.height()) + problem));
    }
    m_chart->hide();
}

void ChartEdgesTest::printedLabelsReadable()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    build({
        {1, 2, "31.03.2024", "01:30:00", " 0,0"},
        {2, 2, "31.03.2024", "02:30:00", " 5,2"},
        {3, 2, "31.03.2024", "03:30:00", " 1,4"},
    });
    m_chart->resize(698, 482);
    m_chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_chart.get()));
    for (const QSize &size : {QSize(1000, 700), QSize(1100, 700)}) {
        m_chart->resize(size);
        settle();
    }
    const QStringList shown = leftLabels(*m_chart);
    const QString problem = labelProblem(shown, QLocale(), m_chart->drawnLabelStep());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString path = QDir::current().filePath(QStringLiteral("chart.pdf"));
    printer.setOutputFileName(path);
    m_chart->printChart(printer);
    QProcess tool;
    tool.start(pdftotext, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QVERIFY(tool.waitForFinished(60000));
    const QString text = QString::fromUtf8(tool.readAllStandardOutput());
    QVERIFY2(!text.contains(QChar(0x2026)), qPrintable(text));
    for (const QString &label : shown)
        QVERIFY2(text.contains(label), qPrintable(label + QStringLiteral(" not in:\n") + text));
    QVERIFY2(text.contains(QStringLiteral("02:30:00")), qPrintable(text));
    m_chart->hide();
}

int main(int argc, char *argv[])
{
    // Before anything reads the clock: a zone that skips 02:00..03:00 on 31 March 2024.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QApplication app(argc, argv);
    ChartEdgesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_chart_edges.moc"
