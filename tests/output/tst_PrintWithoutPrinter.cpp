// With no printer installed, printing still shows the print dialog, with "PDF-файл"
// chosen, whether started from the menu or from the preview; closing it prints nothing.
// The print server is pointed at a socket that does not exist, so that the machine's own
// printers are not seen.
#include "ModalHelper.h"
#include "ReportFixture.h"
#include "output/ReportPreview.h"
#include "output/SeriesReport.h"

#include "output/ReportPrintDialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPrinterInfo>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

class TestPrintWithoutPrinter : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;

private slots:
    void cleanup() { testing::stopWatchers(); }

    void initTestCase()
    {
        QVERIFY2(QPrinterInfo::availablePrinters().isEmpty(), "printers still seen");
        table.setFilePath(QDir::current().filePath(QStringLiteral("noprinter.db")));
        table.create();
        kvetest::fillSeries(table, 4, 20);
        kvetest::showSeries(table, 4);
        table.first();
    }

    void printCommandOffersThePdfFile()
    {
        QStringList shown;
        // Anything modal that came up is recorded and closed, so the test cannot hang.
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                QString what = QString::fromLatin1(w->metaObject()->className());
                if (auto *printers = w->findChild<QComboBox *>(QStringLiteral("printers")))
                    what += u' ' + printers->currentText();
                shown << what;
                w->close();
            }
        });
        watcher.start(50);
        report.setCellText(QStringLiteral("Memo12"), QStringLiteral("unchanged"));
        const QStringList before = QDir::current().entryList(QDir::Files);
        printSeries(nullptr, report, table, QStringLiteral("x"), 4);
        printPrepared(nullptr, report.prepared(), 0);
        watcher.stop();
        QCOMPARE(shown, QStringList({QStringLiteral("ReportPrintDialog PDF-файл"), QStringLiteral("ReportPrintDialog PDF-файл")}));
        // The series was prepared for it; closing the dialog wrote nothing.
        QCOMPARE(report.cellText(QStringLiteral("Memo12")), QStringLiteral("Серия №4"));
        QCOMPARE(QDir::current().entryList(QDir::Files), before);
    }

    void previewPrintButtonOffersThePdfFile()
    {
        QStringList shown;
        bool previewOpen = false;
        const auto answered = testing::whenModal([&](QWidget *w) {
            auto *preview = qobject_cast<ReportPreviewDialog *>(w);
            if (!preview) {
                w->close();
                return;
            }
            previewOpen = true;
            QTimer watcher;
            connect(&watcher, &QTimer::timeout, [&] {
                QWidget *w = QApplication::activeModalWidget();
                if (w && w != preview) {
                    QString what = QString::fromLatin1(w->metaObject()->className());
                    if (auto *printers = w->findChild<QComboBox *>(QStringLiteral("printers")))
                        what += u' ' + printers->currentText();
                    shown << what;
                    w->close();
                }
            });
            watcher.start(50);
            for (QAction *a : preview->findChild<QToolBar *>()->actions())
                if (a->text() == QStringLiteral("Печать"))
                    a->trigger();
            watcher.stop();
            preview->reject();
        });
        previewSeries(nullptr, report, table, QStringLiteral("x"), 4);
        QVERIFY(answered->answered);
        QVERIFY(previewOpen);
        QCOMPARE(shown, QStringList({QStringLiteral("ReportPrintDialog PDF-файл")}));
    }
};

int main(int argc, char **argv)
{
    qputenv("CUPS_SERVER", QByteArray(QDir::current().filePath(QStringLiteral("no-print-server.sock")).toLocal8Bit()));
    QApplication app(argc, argv);
    TestPrintWithoutPrinter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PrintWithoutPrinter.moc"
