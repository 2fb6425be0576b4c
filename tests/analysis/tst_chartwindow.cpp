#include "FakeNotifier.h"
#include "FileSizeLimit.h"
#include "ModalHelper.h"
#include "TableFixture.h"
#include "analysis/graf.h"
#include "analysis/param_graf.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QLocale>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <optional>

// The chart dialog and the chart window against a real table file.
class ChartWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void dialogListSelectsFirstEntry();
    void dialogDescendingSeriesGivesEmptyList();
    void dialogBuildKeepsChoice_data();
    void dialogBuildKeepsChoice();
    void dialogRefusesTextThatIsNoNumber();
    void chartOfWholeSeries();
    void chartOfChosenMeasurement();
    void emptyViewHidesChart();
    void stepFollowsSpreadAndStays();
    void pointsToggleSurvivesShowings();
    void conversionFailureClosesWindowAndRestoresView();
    void commandWithClosedTableShowsNothing();
    void commandRunsDialogThenChart();
    void printsLandscapeStretched();
    void printWithoutPrinterGoesToPdfFile_data();
    void printWithoutPrinterGoesToPdfFile();

private:
    void chooseAndBuild(const QString &choice);

    kve::MeasurementTable m_table;
    int m_series = 2;
    std::unique_ptr<TForm4> m_dialog;
    std::unique_ptr<TForm3> m_chart;
};

void ChartWindowTest::init()
{
    QLocale::setDefault(QLocale(QLocale::Russian));
    m_series = 2;
    createTable(m_table, QStringLiteral("chart"),
                {
                    {1, 2, "01.02.2024", "12:00:00", " 2,5", "0,0167", QString(), "M1"},
                    {2, 2, "01.02.2024", "10:00:00", " 1,0", "0,0067", QString(), "M2"},
                    {3, 2, "01.02.2024", "11:00:00", " 1,4", "0,0093", QString(), "M3"},
                    {1, 3, "01.02.2024", "10:00:00", " 1,0"},
                    {2, 3, "01.02.2024", "11:00:00", " 1,5"},
                },
                m_series);
    m_dialog = std::make_unique<TForm4>(m_table);
    m_chart = std::make_unique<TForm3>(
        m_table, [this] { return m_dialog->chartChoice(); }, [this] { return m_series; });
}

void ChartWindowTest::cleanup()
{
    testing::stopWatchers();
    m_chart.reset();
    m_dialog.reset();
    m_table.close();
    QLocale::setDefault(QLocale::c());
}

void ChartWindowTest::chooseAndBuild(const QString &choice)
{
    m_dialog->show();
    m_dialog->measurementBox()->setEditText(choice);
    QTest::mouseClick(m_dialog->buildButton(), Qt::LeftButton);
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
}

void ChartWindowTest::dialogListSelectsFirstEntry()
{
    m_dialog->show();
    QCOMPARE(m_dialog->measurementBox()->count(), 3);
    QCOMPARE(m_dialog->measurementBox()->currentText(), QStringLiteral("1"));
    QVERIFY(m_dialog->buildButton()->isEnabled());
    QVERIFY(m_dialog->heaveOverTimeSelected());
}

void ChartWindowTest::dialogDescendingSeriesGivesEmptyList()
{
    m_table.addTag(QStringLiteral("tab2"), QStringLiteral("N"), true);
    m_table.setActiveTag(QStringLiteral("tab2"));
    m_table.refresh();
    m_dialog->show();
    QCOMPARE(m_dialog->measurementBox()->count(), 0);
    QCOMPARE(m_dialog->measurementBox()->currentText(), QString());
    QTest::mouseClick(m_dialog->buildButton(), Qt::LeftButton);
    QCOMPARE(m_dialog->chartChoice(), QString());
}

void ChartWindowTest::dialogBuildKeepsChoice_data()
{
    QTest::addColumn<QString>("choice");
    QTest::newRow("number") << "3";
    QTest::newRow("empty") << "";
}

void ChartWindowTest::dialogBuildKeepsChoice()
{
    QFETCH(QString, choice);
    chooseAndBuild(choice);
    QCOMPARE(m_dialog->chartChoice(), choice);
}

void ChartWindowTest::dialogRefusesTextThatIsNoNumber()
{
    chooseAndBuild(QStringLiteral("2"));
    m_dialog->show();
    m_dialog->measurementBox()->setEditText(QStringLiteral("2 OR N=3"));
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    m_dialog->Button1Click();
    QCOMPARE(boxes.texts(), QStringList({QStringLiteral("\"2 OR N=3\" не является номером измерения.")}));
    QCOMPARE(boxes.captions(), QStringList({QStringLiteral("Ошибка")}));
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(m_dialog->chartChoice(), QStringLiteral("2"));
}

void ChartWindowTest::chartOfWholeSeries()
{
    chooseAndBuild(QString());
    QVERIFY(m_chart->FormShow());
    QLineSeries *series = m_chart->lineSeries();
    QCOMPARE(series->count(), 3);
    // Ascending time whatever the file order.
    QCOMPARE(series->at(0).y(), 1.0);
    QCOMPARE(series->at(1).y(), 1.4);
    QCOMPARE(series->at(2).y(), 2.5);
    QVERIFY(series->at(0).x() < series->at(1).x());
    QVERIFY(!m_chart->chartView()->isHidden());
    QCOMPARE(m_chart->leftAxis()->titleText(), QStringLiteral("Hf,мм"));
    QCOMPARE(m_chart->bottomAxis()->titleText(), QStringLiteral("t, мин"));
    QCOMPARE(m_chart->bottomAxis()->format(), QStringLiteral("hh:mm:ss<br>dd.MM.yy"));
    QCOMPARE(m_chart->titleText(), QStringLiteral("ЦЫН-ЗР7.01/M3 \"ZIZEZ\"  Серийный №0,0093  Модуль №2"));
    QCOMPARE(series->color(), QColor(Qt::red));
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QCOMPARE(m_table.recordCount(), 3);
}

void ChartWindowTest::chartOfChosenMeasurement()
{
    chooseAndBuild(QStringLiteral("1"));
    QVERIFY(m_chart->FormShow());
    QCOMPARE(m_chart->lineSeries()->count(), 1);
    QCOMPARE(m_chart->lineSeries()->at(0).y(), 2.5);
    QCOMPARE(m_chart->titleText(), QStringLiteral("ЦЫН-ЗР7.01/M1 \"ZIZEZ\"  Серийный №0,0167  Модуль №2"));
    // The grid shows the whole series again, from its first row.
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QVERIFY(m_table.filtered());
    QCOMPARE(m_table.recordCount(), 3);
    QCOMPARE(m_table.recNo(), 0);
}

void ChartWindowTest::emptyViewHidesChart()
{
    m_series = 9;
    m_table.setFilter(QStringLiteral("EN_CH=9"));
    m_table.refresh();
    chooseAndBuild(QString());
    QVERIFY(m_chart->FormShow());
    QCOMPARE(m_chart->lineSeries()->count(), 0);
    QVERIFY(m_chart->chartView()->isHidden());
    QCOMPARE(m_chart->titleText(), QStringLiteral("ЦЫН-ЗР7.01/ \"ZIZEZ\"  Серийный №  Модуль №"));
}

void ChartWindowTest::stepFollowsSpreadAndStays()
{
    m_chart->resize(698, 482);
    // Series 3 spreads over 0,5 only: the chart scales alone, no step is wanted yet.
    m_series = 3;
    m_table.setFilter(QStringLiteral("EN_CH=3"));
    m_table.refresh();
    chooseAndBuild(QString());
    QVERIFY(m_chart->FormShow());
    QVERIFY(!m_chart->desiredLabelStep().has_value());
    QCOMPARE(m_chart->leftAxis()->tickType(), QValueAxis::TicksFixed);

    // Series 2 spreads over 1,5: labels every 0,2.
    m_series = 2;
    m_table.setFilter(QStringLiteral("EN_CH=2"));
    m_table.refresh();
    QVERIFY(m_chart->FormShow());
    QCOMPARE(m_chart->desiredLabelStep().value_or(0), 0.2);
    QCOMPARE(m_chart->leftAxis()->tickType(), QValueAxis::TicksDynamic);
    QVERIFY(qAbs(m_chart->drawnLabelStep() - 0.2) < 1e-9);
    QVERIFY(m_chart->leftAxis()->min() <= 1.0 && m_chart->leftAxis()->max() >= 2.5);

    // Back to the small spread: the step stays as it was.
    m_series = 3;
    m_table.setFilter(QStringLiteral("EN_CH=3"));
    m_table.refresh();
    QVERIFY(m_chart->FormShow());
    QCOMPARE(m_chart->desiredLabelStep().value_or(0), 0.2);
    QVERIFY(m_chart->leftAxis()->min() <= 1.0 && m_chart->leftAxis()->max() >= 1.5);
}

void ChartWindowTest::pointsToggleSurvivesShowings()
{
    chooseAndBuild(QString());
    QVERIFY(!m_chart->pointsBox()->isChecked());
    QVERIFY(!m_chart->lineSeries()->pointsVisible());
    m_chart->show();
    QTest::mouseClick(m_chart->pointsBox(), Qt::LeftButton);
    QVERIFY(m_chart->lineSeries()->pointsVisible());
    QVERIFY(!m_chart->lineSeries()->lightMarker().isNull());
    m_chart->hide();
    m_chart->show();
    QCOMPARE(m_chart->lineSeries()->count(), 3);
    QVERIFY(m_chart->pointsBox()->isChecked());
    QVERIFY(m_chart->lineSeries()->pointsVisible());
    QTest::mouseClick(m_chart->pointsBox(), Qt::LeftButton);
    QVERIFY(!m_chart->lineSeries()->pointsVisible());
    QVERIFY(m_chart->lineSeries()->lightMarker().isNull());
    m_chart->hide();
}

void ChartWindowTest::conversionFailureClosesWindowAndRestoresView()
{
    QVERIFY(m_table.locate(QStringLiteral("N"), QStringLiteral("3")));
    m_table.edit();
    m_table.setFieldText(QStringLiteral("TIME"), QStringLiteral("99:99:99"));
    m_table.post();
    chooseAndBuild(QStringLiteral("3"));
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    QCOMPARE(m_chart->exec(), int(QDialog::Rejected));
    QCOMPARE(boxes.texts().size(), 1);
    QVERIFY(boxes.texts().first().contains(QStringLiteral("99:99:99")));
    QVERIFY(!m_chart->isVisible());
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QCOMPARE(m_table.recordCount(), 3);

    // Shown without exec, the window closes itself as well.
    m_chart->show();
    QTRY_VERIFY(!m_chart->isVisible());
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
}

void ChartWindowTest::commandWithClosedTableShowsNothing()
{
    m_table.close();
    int shown = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            ++shown;
            w->close();
        }
    });
    poll.start(10);
    runChartCommand(*m_dialog, *m_chart);
    QCOMPARE(shown, 0);
    QVERIFY(!m_table.isOpen());
}

void ChartWindowTest::commandRunsDialogThenChart()
{
    QStringList seen;
    int points = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (w == m_dialog.get()) {
            seen << QStringLiteral("dialog");
            m_dialog->measurementBox()->setEditText(QStringLiteral("2"));
            m_dialog->Button1Click();
        } else if (w == m_chart.get()) {
            seen << QStringLiteral("chart");
            points = int(m_chart->lineSeries()->count());
            m_chart->accept();
        }
    });
    poll.start(10);
    runChartCommand(*m_dialog, *m_chart);
    QCOMPARE(seen, (QStringList{"dialog", "chart"}));
    QCOMPARE(points, 1);
    QCOMPARE(m_table.filter(), QStringLiteral("EN_CH=2"));
    QCOMPARE(m_table.recordCount(), 3);
}

void ChartWindowTest::printsLandscapeStretched()
{
    // A window much taller than wide: printed with its own proportions the chart could not
    // fill a landscape page.
    m_chart->resize(400, 700);
    chooseAndBuild(QString());
    m_chart->show();
    QVERIFY(m_chart->FormShow());
    // The chart's own area in one colour, to find it on the printed page.
    m_chart->chartView()->setBackgroundBrush(QColor(0, 0, 255));
    QChart *chart = m_chart->chartView()->chart();
    chart->setBackgroundBrush(QColor(0, 0, 255));
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString path = QDir::current().filePath(QStringLiteral("chart.pdf"));
    printer.setOutputFileName(path);
    m_chart->printChart(printer);
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 1);

    // Stretched to the page less 4 % margins on each side, read back by poppler.
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        QSKIP("pdftoppm (poppler-utils) is missing");
    QProcess raster;
    raster.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-png"),
                                              QStringLiteral("-singlefile"), path, QDir::current().filePath(QStringLiteral("chart"))});
    QVERIFY(raster.waitForFinished(30000) && raster.exitCode() == 0);
    const QImage page(QDir::current().filePath(QStringLiteral("chart.png")));
    QVERIFY(!page.isNull());
    QVERIFY(page.width() > page.height());
    QRect blue;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 80 && c.green() < 80)
                blue |= QRect(x, y, 1, 1);
        }
    }
    const double w = page.width();
    const double h = page.height();
    const QString found = QStringLiteral("chart at %1,%2 %3x%4 on a page of %5x%6")
                              .arg(blue.x()).arg(blue.y()).arg(blue.width()).arg(blue.height()).arg(w).arg(h);
    QVERIFY2(qAbs(blue.left() / w - 0.04) < 0.01, qPrintable(found));
    QVERIFY2(qAbs((blue.right() + 1) / w - 0.96) < 0.01, qPrintable(found));
    QVERIFY2(qAbs(blue.top() / h - 0.04) < 0.01, qPrintable(found));
    QVERIFY2(qAbs((blue.bottom() + 1) / h - 0.96) < 0.01, qPrintable(found));
    m_chart->hide();
}

void ChartWindowTest::printWithoutPrinterGoesToPdfFile_data()
{
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("room") << false;
    QTest::newRow("full disk") << true;
}

// With no printer "Печать" still offers "PDF-файл", as the report's print does, and the
// chart goes to the chosen file as one landscape page. A full disk (a size limit here)
// keeps the file that was there and tells the operator why.
void ChartWindowTest::printWithoutPrinterGoesToPdfFile()
{
    QFETCH(bool, diskFull);
    // This program hides the print server's printers (see main()).
    QVERIFY(QPrinterInfo::availablePrinters().isEmpty());
    QVERIFY(QPrinterInfo::defaultPrinter().isNull());
    chooseAndBuild(QString());
    m_chart->show();
    QVERIFY(m_chart->FormShow());
    const QString path = QDir::current().filePath(QStringLiteral("график.pdf"));
    const QByteArray old("%PDF-1.4 an earlier chart");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(old);
    }
    const QStringList before = QDir::current().entryList(QDir::Files | QDir::Hidden, QDir::Name);
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
    QStringList offered;
    auto fileChosen = std::make_shared<testing::ModalRecord>();
    auto printerChosen = testing::whenModal([&](QWidget *dialog) {
        auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("printers"));
        for (int i = 0; printers && i < printers->count(); ++i)
            offered << printers->itemText(i);
        fileChosen = testing::whenModal(testing::chooseFile(path), 10000, dialog);
        if (auto *print = dialog->findChild<QPushButton *>(QStringLiteral("print")))
            print->click();
        else
            qobject_cast<QDialog *>(dialog)->reject();
    });
    {
        std::optional<testing::FileSizeLimit> limit;
        if (diskFull) {
            limit.emplace(4096);
            QVERIFY(limit->ok());
        }
        QTest::mouseClick(m_chart->printButton(), Qt::LeftButton);
    }
    QVERIFY(printerChosen->answered);
    QVERIFY2(fileChosen->answered && fileChosen->problem.isEmpty(), qPrintable(fileChosen->problem));
    QCOMPARE(offered, QStringList({QStringLiteral("PDF-файл")}));
    QStringList expected{QStringLiteral("Файл «%1» уже существует. Заменить его?").arg(QDir::toNativeSeparators(path))};
    if (diskFull)
        expected << QStringLiteral("Не удалось сохранить файл \"%1\": %2")
                        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(EFBIG)));
    QCOMPARE(boxes.texts(), expected);
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden, QDir::Name), before);
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    if (diskFull) {
        QCOMPARE(bytes, old);
    } else {
        QVERIFY(bytes.startsWith("%PDF"));
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 1);
        if (!QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()) {
            QProcess info;
            info.start(QStringLiteral("pdfinfo"), {path});
            QVERIFY(info.waitForFinished(30000) && info.exitCode() == 0);
            const QString text = QString::fromUtf8(info.readAllStandardOutput());
            static const QRegularExpression size(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
            const auto m = size.match(text);
            QVERIFY2(m.hasMatch(), qPrintable(text));
            QVERIFY2(m.captured(1).toDouble() > m.captured(2).toDouble(), qPrintable(text));   // landscape
        }
    }
    QVERIFY(m_chart->isVisible());
    m_chart->hide();
}

int main(int argc, char *argv[])
{
    // No printers for this program: the print server is looked for at a socket that does
    // not exist.
    QTemporaryDir nowhere;
    qputenv("CUPS_SERVER", QFile::encodeName(nowhere.filePath(QStringLiteral("no-print-server.sock"))));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    ChartWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_chartwindow.moc"
