// With no printer installed the report still reaches a PDF file: the print dialog comes
// up with "PDF-файл" chosen, a save dialog asks for the name, and the file holds exactly
// the sheets that printing would. The print server is pointed at a socket that does not
// exist, so that the machine's own printers are not seen.
#include "FakeNotifier.h"
#include "FileSizeLimit.h"
#include "PrintedPdf.h"
#include "ReportFixture.h"
#include "output/ReportPreview.h"
#include "output/ReportPrintDialog.h"
#include "output/SeriesReport.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>

namespace {

// Calls `answer` once a modal widget of type T other than `previous` is showing; polls
// for up to 30 s so that a loaded machine cannot make it miss the dialog.
template <typename T>
void whenShown(std::function<void(T *)> answer, QWidget *previous = nullptr, int triesLeft = 600)
{
    QTimer::singleShot(50, [=] {
        auto *w = qobject_cast<T *>(QApplication::activeModalWidget());
        if (w && w != previous)
            return answer(w);
        if (triesLeft > 0)
            whenShown<T>(answer, previous, triesLeft - 1);
    });
}

// "1 3" for the footers "Стр. 1 из 4", "Стр. 3 из 4" of the pages.
QString footers(const QStringList &pageTexts)
{
    static const QRegularExpression footer(QStringLiteral("Стр\\. (\\d+) из (\\d+)"));
    QStringList out;
    for (const QString &text : pageTexts) {
        const auto m = footer.match(text);
        out << (m.hasMatch() ? m.captured(1) + QStringLiteral("/") + m.captured(2) : QStringLiteral("?"));
    }
    return out.join(u' ');
}

} // namespace

class TestPrintToPdfFile : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;
    QString savePrompt;   // what the save dialog showed: "<name field>|<filters>"

    // Answers the print dialog with pages and copies, then the save dialog with `name`
    // (empty: cancel it).
    void answerDialogs(const QString &pages, int copies, const QString &name)
    {
        savePrompt.clear();
        whenShown<ReportPrintDialog>([=, this](ReportPrintDialog *d) {
            if (!pages.isEmpty()) {
                d->findChild<QRadioButton *>(QStringLiteral("listedPages"))->setChecked(true);
                d->findChild<QLineEdit *>(QStringLiteral("pageList"))->setText(pages);
            }
            d->findChild<QSpinBox *>(QStringLiteral("copies"))->setValue(copies);
            whenShown<QFileDialog>([=, this](QFileDialog *f) {
                auto *edit = f->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                auto *shownFilter = f->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
                savePrompt = (edit ? edit->text() : QStringLiteral("?")) + u'|' + f->nameFilters().join(u';') + u'|'
                             + (shownFilter ? shownFilter->currentText() : QStringLiteral("?"));
                if (name.isEmpty() || !edit)
                    return f->reject();
                edit->setText(name);
                QTest::keyClick(edit, Qt::Key_Return);
            }, d);
            d->findChild<QPushButton *>(QStringLiteral("print"))->click();
        });
    }

    QStringList filesHere() const { return QDir::current().entryList(QDir::Files, QDir::Name); }

private slots:
    void initTestCase()
    {
        QVERIFY2(QPrinterInfo::availablePrinters().isEmpty(), "printers still seen");
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            QSKIP("pdftotext and pdfinfo (poppler-utils) are missing");
        QLocale::setDefault(QLocale(QLocale::Russian));
        table.setFilePath(QDir::current().filePath(QStringLiteral("topdf.db")));
        table.create();
        kvetest::fillSeries(table, 2, 3, {{3, {{QStringLiteral("COMMENT"), QStringLiteral("последняя")}}}});
        kvetest::fillSeries(table, 7, 50);   // four pages
    }

    void dialogComesWithPdfFileChosen()
    {
        kvetest::showSeries(table, 2);
        report.prepare(table);
        ReportPrintDialog dialog(report.prepared(), -1);
        auto *printers = dialog.findChild<QComboBox *>(QStringLiteral("printers"));
        QCOMPARE(printers->count(), 1);
        QCOMPARE(printers->currentText(), QStringLiteral("PDF-файл"));
        QVERIFY(dialog.printsToFile());
        QVERIFY(dialog.findChild<QPushButton *>(QStringLiteral("setup"))->isEnabled());
    }

    void printSeriesToPdfFile()
    {
        kvetest::showSeries(table, 2);
        table.first();
        answerDialogs(QString(), 1, QDir::current().filePath(QStringLiteral("серия 2 от 01.02.2024")));
        printSeries(nullptr, report, table, QStringLiteral("topdf - ЖОРД-ЗР7"), 2);
        QVERIFY(!QApplication::activeModalWidget());
        // The save dialog came with an empty name and the PDF filter.
        QCOMPARE(savePrompt, QStringLiteral("|PDF-файл (*.pdf)|PDF-файл"));
        const QString pdf = QDir::current().filePath(QStringLiteral("серия 2 от 01.02.2024.pdf"));
        QVERIFY2(QFile::exists(pdf), qPrintable(filesHere().join(u',')));

        const QStringList pages = kvetest::pdfPageTexts(pdf);
        QCOMPARE(pages.size(), 1);
        const QString &text = pages[0];
        for (const QString &shown : {QStringLiteral("topdf - ЖОРД-ЗР7"), QStringLiteral("Серийный №S2"), QStringLiteral("Серия №2"),
                                     QStringLiteral("Комментарий"), QStringLiteral("01.02.2024"),
                                     QStringLiteral("3,5"), QStringLiteral("последняя"), QStringLiteral("Стр. 1 из 1")})
            QVERIFY2(text.contains(shown), qPrintable(shown + QStringLiteral(" not in:\n") + text));
        QVERIFY(!text.contains(QStringLiteral("4,5")));   // only the three rows of series 2
    }

    // The file holds the sheets that printing would send: listed pages, copies collated.
    void listedPagesAndCopies()
    {
        kvetest::showSeries(table, 7);
        table.first();
        report.fillTitleCells(QStringLiteral("x"), table, 7);
        report.prepare(table);
        QCOMPARE(report.prepared().pageCount(), 4);
        answerDialogs(QStringLiteral("3,1"), 2, QStringLiteral("копии.PDF"));
        printPrepared(nullptr, report.prepared(), -1, QStringLiteral("job"));
        const QString pdf = QDir::current().filePath(QStringLiteral("копии.PDF"));
        QVERIFY2(QFile::exists(pdf), qPrintable(filesHere().join(u',')));
        QCOMPARE(footers(kvetest::pdfPageTexts(pdf)), QStringLiteral("1/4 3/4 1/4 3/4"));
    }

    // Portrait chosen in "Свойства..." for the file: each sheet still holds the whole page.
    void portraitFileKeepsTheWholePage()
    {
        kvetest::showSeries(table, 2);
        table.first();
        report.fillTitleCells(QStringLiteral("x"), table, 2);
        report.prepare(table);
        bool portraitChosen = false;
        whenShown<ReportPrintDialog>([&](ReportPrintDialog *d) {
            whenShown<QPageSetupDialog>([&](QPageSetupDialog *setup) {
                if (auto *portrait = setup->findChild<QRadioButton *>(QStringLiteral("portrait"))) {
                    portrait->click();
                    portraitChosen = portrait->isChecked();
                }
                setup->accept();
            });
            d->findChild<QPushButton *>(QStringLiteral("setup"))->click();
            whenShown<QFileDialog>([](QFileDialog *f) {
                auto *edit = f->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (!edit)
                    return f->reject();
                edit->setText(QStringLiteral("книжная"));
                QTest::keyClick(edit, Qt::Key_Return);
            }, d);
            d->findChild<QPushButton *>(QStringLiteral("print"))->click();
        });
        printPrepared(nullptr, report.prepared(), -1, QStringLiteral("job"));
        QVERIFY(portraitChosen);
        const QString pdf = QDir::current().filePath(QStringLiteral("книжная.pdf"));
        QVERIFY2(QFile::exists(pdf), qPrintable(filesHere().join(u',')));
        const QString info = kvetest::runTool(QStringLiteral("pdfinfo"), {pdf});
        static const QRegularExpression size(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
        const auto m = size.match(info);
        QVERIFY2(m.hasMatch(), qPrintable(info));
        const double width = m.captured(1).toDouble(), height = m.captured(2).toDouble();
        QVERIFY2(width < height, qPrintable(info));
        // The footer, at the report page's right edge, lies on the sheet.
        const QString words = kvetest::runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        static const QRegularExpression footer(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\" yMax=\"[\\d.]+\">Стр\\.</word>"));
        const auto f = footer.match(words);
        QVERIFY2(f.hasMatch(), qPrintable(words));
        QVERIFY2(f.captured(2).toDouble() <= width, qPrintable(f.captured(0)));
    }

    // An existing PDF is replaced only by a whole one: on a full disk (a size limit here)
    // it keeps every byte, the operator reads the file and the system's reason in the
    // application-wide error box, and nothing is left beside it; with room it is replaced.
    void replacingAnExistingFile_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("full disk") << true;
        QTest::newRow("room") << false;
    }

    void replacingAnExistingFile()
    {
        QFETCH(bool, diskFull);
        kvetest::showSeries(table, 7);
        table.first();
        report.fillTitleCells(QStringLiteral("x"), table, 7);
        report.prepare(table);
        const QString pdf = QDir::current().filePath(QStringLiteral("прежний.pdf"));
        const QByteArray old("%PDF-1.4 an earlier report");
        {
            QFile f(pdf);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(old);
        }
        const QStringList before = QDir::current().entryList(QDir::Files | QDir::Hidden, QDir::Name);
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
        answerDialogs(QString(), 1, pdf);
        {
            std::optional<testing::FileSizeLimit> limit;
            if (diskFull) {
                limit.emplace(20000);
                QVERIFY(limit->ok());
            }
            runPrintStep(nullptr, [&] { printPrepared(nullptr, report.prepared(), -1, QStringLiteral("job")); });
        }
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden, QDir::Name), before);
        QStringList expected{QStringLiteral("Файл «%1» уже существует. Заменить его?").arg(QDir::toNativeSeparators(pdf))};
        if (diskFull) {
            expected << QStringLiteral("Не удалось сохранить файл \"%1\": %2")
                            .arg(QDir::toNativeSeparators(pdf), QString::fromLocal8Bit(std::strerror(EFBIG)));
        }
        QCOMPARE(boxes.texts(), expected);
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        if (diskFull) {
            QCOMPARE(f.readAll(), old);
        } else {
            f.close();
            QCOMPARE(footers(kvetest::pdfPageTexts(pdf)), QStringLiteral("1/4 2/4 3/4 4/4"));
        }
    }

    void cancelledSaveDialogWritesNothing()
    {
        const QStringList before = filesHere();
        answerDialogs(QString(), 1, QString());
        printPrepared(nullptr, report.prepared(), -1, QStringLiteral("job"));
        QCOMPARE(savePrompt, QStringLiteral("|PDF-файл (*.pdf)|PDF-файл"));
        QCOMPARE(filesHere(), before);
    }
};

int main(int argc, char **argv)
{
    qputenv("CUPS_SERVER", QByteArray(QDir::current().filePath(QStringLiteral("no-print-server.sock")).toLocal8Bit()));
    QApplication app(argc, argv);
    TestPrintToPdfFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PrintToPdfFile.moc"
