// Whatever sheet the operator picks in "Свойства...", every printed sheet shows the whole
// report page. Printed for real through the print server's PDF printer (cups-pdf) and
// read back with poppler's tools, with the position of every word.
#include "PrintedPdf.h"
#include "ReportFixture.h"
#include "output/ReportPrintDialog.h"
#include "output/ReportRenderer.h"
#include "output/SeriesReport.h"

#include <QApplication>
#include <QComboBox>
#include <QPageSetupDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace {

constexpr int kJobTimeoutMs = 60000;

template <typename T>
void whenShown(std::function<void(T *)> answer, int triesLeft = 600)
{
    QTimer::singleShot(50, [=] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget()))
            return answer(w);
        if (triesLeft > 0)
            whenShown<T>(answer, triesLeft - 1);
    });
}

struct Word {
    QString text;
    double xMin, yMin, xMax, yMax;
};
struct PdfPage {
    double width = 0, height = 0;
    QList<Word> words;
};

// Every page of the PDF with its size and its words where they stand (points).
QList<PdfPage> pdfWords(const QString &path)
{
    const QString html = kvetest::runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    static const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">"));
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<PdfPage> pages;
    for (const QString &part : html.split(QStringLiteral("</page>"))) {
        const auto p = page.match(part);
        if (!p.hasMatch())
            continue;
        PdfPage out{p.captured(1).toDouble(), p.captured(2).toDouble(), {}};
        auto it = word.globalMatch(part);
        while (it.hasNext()) {
            const auto w = it.next();
            out.words << Word{w.captured(5), w.captured(1).toDouble(), w.captured(2).toDouble(), w.captured(3).toDouble(),
                              w.captured(4).toDouble()};
        }
        pages << out;
    }
    return pages;
}

} // namespace

class TestPrintFit : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;
    QString printer;
    QString outDir;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        table.setFilePath(QDir::current().filePath(QStringLiteral("fit.db")));
        table.create();
        std::map<int, kvetest::Row> notes;
        for (int i = 1; i <= 20; ++i)
            notes[i] = {{QStringLiteral("COMMENT"), QStringLiteral("lastcol%1").arg(i)}};
        kvetest::fillSeries(table, 6, 20, notes);
        kvetest::showSeries(table, 6);
        table.first();
        report.fillTitleCells(QStringLiteral("fit - ЖОРД-ЗР7"), table, 6);
        report.prepare(table);
        QCOMPARE(report.prepared().pageCount(), 2);
        // Printing for real needs the PDF printer and poppler; the rest runs without.
        if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            printer = kvetest::pdfPrinterName();
        outDir = kvetest::pdfOutputDir();
    }

    // The factor for a report page of A4 landscape on sheets of other sizes.
    void fitScale_data()
    {
        QTest::addColumn<double>("paperWidthMm");
        QTest::addColumn<double>("paperHeightMm");
        QTest::addColumn<double>("scale");
        QTest::newRow("A4 landscape") << 297.0 << 210.0 << 1.0;
        QTest::newRow("A4 portrait") << 210.0 << 297.0 << 0.707070707070707;
        QTest::newRow("A3 landscape") << 420.0 << 297.0 << 1.0;
        QTest::newRow("Letter portrait") << 215.9 << 279.4 << 0.726936026936027;
        QTest::newRow("A5 landscape") << 210.0 << 148.0 << 0.704761904761905;
    }
    void fitScale()
    {
        QFETCH(double, paperWidthMm);
        QFETCH(double, paperHeightMm);
        QFETCH(double, scale);
        const double dpi = 600;
        const QSizeF paper(std::round(paperWidthMm / 25.4 * dpi), std::round(paperHeightMm / 25.4 * dpi));
        const double got = kve::report::fitScale(report.prepared(), paper, dpi);
        QVERIFY2(qAbs(got - scale) < 0.001, qPrintable(QString::number(got, 'g', 15)));
    }

    // The installed printers, then "PDF-файл"; the default printer chosen.
    void dialogListsPdfFileAfterThePrinters()
    {
        if (printer.isEmpty())
            QSKIP("No PDF printer (cups-pdf) or no pdftotext; as root, scripts/start-print-server.sh sets one up");
        ReportPrintDialog dialog(report.prepared(), -1);
        auto *printers = dialog.findChild<QComboBox *>(QStringLiteral("printers"));
        QCOMPARE(printers->count(), QPrinterInfo::availablePrinters().size() + 1);
        QCOMPARE(printers->itemText(printers->count() - 1), QStringLiteral("PDF-файл"));
        const QString def = QPrinterInfo::defaultPrinterName();
        if (!def.isEmpty())
            QCOMPARE(printers->currentData().toString(), def);
        QVERIFY(!dialog.printsToFile());
    }

    // Portrait chosen in "Свойства...": the last column and the footer are on the sheet.
    void portraitChosenKeepsTheWholePage()
    {
        if (printer.isEmpty())
            QSKIP("No PDF printer (cups-pdf) or no pdftotext; as root, scripts/start-print-server.sh sets one up");
        const QString job = kvetest::uniqueJobName("portrait");
        bool portraitChosen = false;
        whenShown<ReportPrintDialog>([&](ReportPrintDialog *d) {
            auto *printers = d->findChild<QComboBox *>(QStringLiteral("printers"));
            printers->setCurrentIndex(printers->findData(printer));
            whenShown<QPageSetupDialog>([&](QPageSetupDialog *setup) {
                if (auto *portrait = setup->findChild<QRadioButton *>(QStringLiteral("portrait"))) {
                    portrait->click();
                    portraitChosen = portrait->isChecked();
                }
                setup->accept();
            });
            d->findChild<QPushButton *>(QStringLiteral("setup"))->click();
            d->findChild<QPushButton *>(QStringLiteral("print"))->click();
        });
        printPrepared(nullptr, report.prepared(), -1, job);
        QVERIFY(portraitChosen);

        const QString file = kvetest::waitForJobFile(outDir, job, kJobTimeoutMs);
        QVERIFY2(!file.isEmpty(), qPrintable(QStringLiteral("no PDF of job %1 in %2").arg(job, outDir)));
        QFile::remove(job + QStringLiteral(".pdf"));
        QFile::copy(file, job + QStringLiteral(".pdf"));   // kept beside the test for a look
        QFile::remove(file);
        const QList<PdfPage> pages = pdfWords(job + QStringLiteral(".pdf"));
        QCOMPARE(pages.size(), 2);
        for (int p = 0; p < 2; ++p) {
            const PdfPage &page = pages[p];
            QVERIFY2(page.width < page.height, "not a portrait sheet");
            QStringList inside;
            for (const Word &w : page.words)
                if (w.xMin >= 0 && w.yMin >= 0 && w.xMax <= page.width && w.yMax <= page.height)
                    inside << w.text;
            const QString text = inside.join(u' ');
            // The footer, right-aligned at the page's right edge, and the last column's notes.
            QVERIFY2(text.contains(QStringLiteral("Стр. %1 из 2").arg(p + 1)), qPrintable(text));
            const QString note = QStringLiteral("lastcol%1").arg(p == 0 ? 12 : 20);
            QVERIFY2(inside.contains(note), qPrintable(note + QStringLiteral(" not on the sheet: ") + text));
        }
    }
};

QTEST_MAIN(TestPrintFit)
#include "tst_PrintFit.moc"
