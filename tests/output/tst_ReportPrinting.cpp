// Prints for real to the print server's PDF printer and reads the PDF back: the sheets
// that arrive are exactly the chosen pages, copies and order.
#include "ModalHelper.h"
#include "PrintedPdf.h"
#include "ReportFixture.h"
#include "output/ReportPreview.h"
#include "output/ReportPrintDialog.h"
#include "output/ReportPrinting.h"
#include "output/ReportRenderer.h"
#include "output/SeriesReport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

using kve::report::PrintChoice;

namespace {

constexpr int kJobTimeoutMs = 60000;

// "1 3" for the footers "Стр. 1 из 4", "Стр. 3 из 4" of the sheets; every footer must
// name the same total.
QString footers(const QStringList &pageTexts, int total)
{
    static const QRegularExpression footer(QStringLiteral("Стр\\. (\\d+) из (\\d+)"));
    QStringList out;
    for (const QString &text : pageTexts) {
        const auto m = footer.match(text);
        if (!m.hasMatch() || m.captured(2).toInt() != total)
            out << QStringLiteral("?");
        else
            out << m.captured(1);
    }
    return out.join(u' ');
}

// Fills the print dialog that is showing and confirms or cancels it.
void answerPrintDialog(const QString &pages, int copies, bool collate, bool confirm)
{
    auto *d = qobject_cast<ReportPrintDialog *>(QApplication::activeModalWidget());
    if (!d)
        return;
    if (pages == QStringLiteral("current")) {
        d->findChild<QRadioButton *>(QStringLiteral("currentPage"))->setChecked(true);
    } else if (!pages.isEmpty()) {
        d->findChild<QRadioButton *>(QStringLiteral("listedPages"))->setChecked(true);
        d->findChild<QLineEdit *>(QStringLiteral("pageList"))->setText(pages);
    }
    d->findChild<QSpinBox *>(QStringLiteral("copies"))->setValue(copies);
    d->findChild<QCheckBox *>(QStringLiteral("collate"))->setChecked(collate);
    d->findChild<QPushButton *>(confirm ? QStringLiteral("print") : QStringLiteral("cancel"))->click();
}

} // namespace

class TestReportPrinting : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;
    QString printer;
    QString outDir;

    QStringList printedSheets(const QString &job)
    {
        const QString file = kvetest::waitForJobFile(outDir, job, kJobTimeoutMs);
        if (file.isEmpty())
            return {QStringLiteral("no PDF of job %1 in %2 within %3 s").arg(job, outDir).arg(kJobTimeoutMs / 1000)};
        const QStringList texts = kvetest::pdfPageTexts(file);
        // Kept beside the test for a look when it fails; the printer's folder stays clean.
        QFile::remove(job + QStringLiteral(".pdf"));
        QFile::copy(file, job + QStringLiteral(".pdf"));
        QFile::remove(file);
        return texts;
    }

private slots:
    void cleanup() { testing::stopWatchers(); }

    void initTestCase()
    {
        printer = kvetest::pdfPrinterName();
        if (printer.isEmpty())
            QSKIP("No PDF printer (cups-pdf) is installed; as root, scripts/start-print-server.sh sets one up");
        if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdfinfo (poppler-utils) is missing");
        outDir = kvetest::pdfOutputDir();
        QLocale::setDefault(QLocale(QLocale::Russian));
        table.setFilePath(QDir::current().filePath(QStringLiteral("printing.db")));
        table.create();
        kvetest::fillSeries(table, 7, 50);   // 12 rows on the first page, 14 on the others
        kvetest::fillSeries(table, 2, 3);
        kvetest::showSeries(table, 7);
        table.first();
        report.fillTitleCells(QStringLiteral("printing - ЖОРД-ЗР7"), table, 7);
        report.prepare(table);
        QCOMPARE(report.prepared().pageCount(), 4);
    }

    void listedPagesArriveAsExactlyThoseSheets()
    {
        const QString job = kvetest::uniqueJobName("list");
        QPrinter p(QPrinterInfo::printerInfo(printer), QPrinter::HighResolution);
        kve::report::setUpPrinter(p, report.prepared());
        p.setDocName(job);
        PrintChoice choice;
        choice.pages = PrintChoice::Pages::List;
        choice.list = QStringLiteral("1,3");
        QString error;
        QVERIFY2(kve::report::printReport(p, report.prepared(), choice, &error), qPrintable(error));

        const QStringList sheets = printedSheets(job);
        QCOMPARE(sheets.size(), 2);
        QCOMPARE(footers(sheets, 4), QStringLiteral("1 3"));
        // Page 1 holds the title and rows 1..12, page 3 rows 27..40 of series 7 only. (The
        // server's PostScript round trip keeps the text of the Latin letters, the digits and
        // the footer's font; bold Cyrillic comes back as unnamed glyphs.)
        QVERIFY(sheets[0].contains(QStringLiteral("printing -")));
        QVERIFY(sheets[0].contains(QStringLiteral("S7")));
        QVERIFY(sheets[0].contains(QStringLiteral("12,5")));
        QVERIFY(!sheets[0].contains(QStringLiteral("13,5")));
        QVERIFY(sheets[1].contains(QStringLiteral("27,5")));
        QVERIFY(sheets[1].contains(QStringLiteral("40,5")));
        QVERIFY(!sheets[1].contains(QStringLiteral("41,5")));
        QVERIFY(!sheets[1].contains(QStringLiteral("printing -")));
    }

    void dialogPrintsCopiesInPageOrder_data()
    {
        QTest::addColumn<QString>("pages");
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("collate");
        QTest::addColumn<QString>("sheets");

        QTest::newRow("all, defaults") << "" << 1 << true << "1 2 3 4";
        QTest::newRow("list, two collated copies") << "3,1" << 2 << true << "1 3 1 3";
        QTest::newRow("list, two copies not collated") << "1,3" << 2 << false << "1 1 3 3";
    }

    void dialogPrintsCopiesInPageOrder()
    {
        QFETCH(QString, pages);
        QFETCH(int, copies);
        QFETCH(bool, collate);
        QFETCH(QString, sheets);
        const QString job = kvetest::uniqueJobName("dialog");
        const auto answered = testing::whenModal([&](QWidget *) { answerPrintDialog(pages, copies, collate, true); });
        printPrepared(nullptr, report.prepared(), -1, job);
        QCOMPARE(answered->className, QStringLiteral("ReportPrintDialog"));
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(footers(printedSheets(job), 4), sheets);
    }

    void previewPrintsItsCurrentPage()
    {
        const QString job = kvetest::uniqueJobName("preview");
        bool currentOffered = false;
        auto printDialog = std::make_shared<testing::ModalRecord>();
        const auto previewShown = testing::whenModal([&](QWidget *w) {
            auto *preview = qobject_cast<ReportPreviewDialog *>(w);
            if (!preview)
                return;
            preview->previewWidget()->updatePreview();
            preview->previewWidget()->setCurrentPage(2);
            printDialog = testing::whenModal(
                [&](QWidget *) {
                    if (auto *d = qobject_cast<ReportPrintDialog *>(QApplication::activeModalWidget()))
                        currentOffered = d->findChild<QRadioButton *>(QStringLiteral("currentPage"))->isEnabled();
                    answerPrintDialog(QStringLiteral("current"), 1, true, true);
                },
                10000, preview);
            for (QAction *a : preview->findChild<QToolBar *>()->actions())
                if (a->text() == QStringLiteral("Печать"))
                    a->trigger();
            preview->reject();
        });
        // The preview prints under the job name it was given.
        ReportPreviewDialog dialog(report.prepared(), nullptr, job);
        dialog.exec();
        QCOMPARE(previewShown->className, QStringLiteral("ReportPreviewDialog"));
        QCOMPARE(printDialog->className, QStringLiteral("ReportPrintDialog"));
        QVERIFY(currentOffered);
        QCOMPARE(footers(printedSheets(job), 4), QStringLiteral("2"));
    }

    void cancelPrintsNothing()
    {
        const QString job = kvetest::uniqueJobName("cancel");
        const auto answered = testing::whenModal([&](QWidget *) { answerPrintDialog(QStringLiteral("1"), 1, true, false); });
        printPrepared(nullptr, report.prepared(), -1, job);
        QCOMPARE(answered->className, QStringLiteral("ReportPrintDialog"));
        QVERIFY(!QApplication::activeModalWidget());

        // The printer takes its jobs in turn: once a job sent after the cancel has come out
        // of it, a job of the cancelled print would have come out before.
        const QString marker = kvetest::uniqueJobName("after_cancel");
        QPrinter p(QPrinterInfo::printerInfo(printer), QPrinter::HighResolution);
        kve::report::setUpPrinter(p, report.prepared());
        p.setDocName(marker);
        PrintChoice one;
        one.pages = PrintChoice::Pages::List;
        one.list = QStringLiteral("1");
        QString error;
        QVERIFY2(kve::report::printReport(p, report.prepared(), one, &error), qPrintable(error));
        QCOMPARE(printedSheets(marker).size(), 1);

        QVERIFY(kvetest::jobFiles(outDir, job).isEmpty());
    }
};

QTEST_MAIN(TestReportPrinting)
#include "tst_ReportPrinting.moc"
