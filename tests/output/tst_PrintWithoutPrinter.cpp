// With no printer installed, printing does nothing and shows nothing, whether started
// from the menu or from the preview. The print server is pointed at a socket that does
// not exist, so that the machine's own printers are not seen.
#include "ModalHelper.h"
#include "ReportFixture.h"
#include "output/ReportPreview.h"
#include "output/SeriesReport.h"

#include <QAction>
#include <QApplication>
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

    void printCommandShowsNothing()
    {
        QStringList shown;
        // Anything modal that came up would be recorded and closed, so the test cannot hang.
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                shown << QString::fromLatin1(w->metaObject()->className());
                w->close();
            }
        });
        watcher.start(50);
        report.setCellText(QStringLiteral("Memo12"), QStringLiteral("unchanged"));
        printSeries(nullptr, report, table, QStringLiteral("x"), 4);
        printPrepared(nullptr, report.prepared(), 0);
        QTest::qWait(200);
        QCOMPARE(shown, QStringList());
        // Not even prepared: the command ends before touching the report.
        QCOMPARE(report.cellText(QStringLiteral("Memo12")), QStringLiteral("unchanged"));
    }

    void previewPrintButtonShowsNothing()
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
                    shown << QString::fromLatin1(w->metaObject()->className());
                    w->close();
                }
            });
            watcher.start(50);
            for (QAction *a : preview->findChild<QToolBar *>()->actions())
                if (a->text() == QStringLiteral("Печать"))
                    a->trigger();
            QTest::qWait(200);
            preview->reject();
        });
        previewSeries(nullptr, report, table, QStringLiteral("x"), 4);
        QVERIFY(answered->answered);
        QVERIFY(previewOpen);
        QCOMPARE(shown, QStringList());
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
