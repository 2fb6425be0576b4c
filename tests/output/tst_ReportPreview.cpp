#include "ModalHelper.h"
#include "ReportFixture.h"
#include "output/ReportPreview.h"
#include "output/SeriesReport.h"

#include <QAction>
#include <QApplication>
#include <QPrintPreviewWidget>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

class TestReportPreview : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;

private slots:
    void cleanup() { testing::stopWatchers(); }

    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        table.setFilePath(QDir::current().filePath(QStringLiteral("preview.db")));
        table.create();
        kvetest::fillSeries(table, 7, 40);
        kvetest::showSeries(table, 7);
        table.first();
    }

    void previewShowsThePagesWithZoomPrintAndCloseOnly()
    {
        QStringList commands;
        int pages = -1;
        bool modal = false;
        const auto shown = testing::whenModal([&](QWidget *w) {
            auto *d = qobject_cast<ReportPreviewDialog *>(w);
            if (!d) {
                w->close();
                return;
            }
            modal = d->isModal();
            d->previewWidget()->updatePreview();
            pages = d->previewWidget()->pageCount();
            for (QAction *a : d->findChild<QToolBar *>()->actions())
                if (!a->isSeparator()) {
                    commands << a->text();
                    QCOMPARE(d->findChild<QToolBar *>()->widgetForAction(a)->accessibleName(), a->text());
                }
            d->grab().save(QStringLiteral("preview.png"));
            for (QAction *a : d->findChild<QToolBar *>()->actions())
                if (a->text() == QStringLiteral("Закрыть"))
                    a->trigger();
        });
        previewSeries(nullptr, report, table, QStringLiteral("preview - ЖОРД-ЗР7"), 7);
        QVERIFY(shown->answered);
        QCOMPARE(shown->className, QStringLiteral("ReportPreviewDialog"));
        QVERIFY(modal);
        QCOMPARE(pages, 3);
        QCOMPARE(commands, QStringList({QStringLiteral("Увеличить"), QStringLiteral("Уменьшить"),
                                        QStringLiteral("По ширине"), QStringLiteral("Печать"), QStringLiteral("Закрыть")}));
        QCOMPARE(report.cellText(QStringLiteral("Memo12")), QStringLiteral("Серия №7"));
        QCOMPARE(report.cellText(QStringLiteral("Memo19")), QStringLiteral("preview - ЖОРД-ЗР7  Серийный №S7"));
    }

    // With or without a printer the print dialog comes (it always offers the PDF file);
    // closing it prints nothing and leaves no file.
    void printShowsTheDialogAndClosingPrintsNothing()
    {
        report.setCellText(QStringLiteral("Memo12"), QStringLiteral("unchanged"));
        const QStringList before = QDir::current().entryList(QDir::Files);
        testing::ModalCloser modal;
        printSeries(nullptr, report, table, QStringLiteral("x"), 7);
        QCOMPARE(modal.shown, QStringList({QStringLiteral("ReportPrintDialog")}));
        QCOMPARE(report.cellText(QStringLiteral("Memo12")), QStringLiteral("Серия №7"));
        QCOMPARE(QDir::current().entryList(QDir::Files), before);
    }

    void closedTableDoesNothing()
    {
        report.setCellText(QStringLiteral("Memo12"), QStringLiteral("unchanged"));
        kve::MeasurementTable closed;
        testing::ModalCloser modal;
        previewSeries(nullptr, report, closed, QStringLiteral("x"), 1);
        printSeries(nullptr, report, closed, QStringLiteral("x"), 1);
        QCOMPARE(modal.shown, QStringList());
        QCOMPARE(report.cellText(QStringLiteral("Memo12")), QStringLiteral("unchanged"));
    }
};

QTEST_MAIN(TestReportPreview)
#include "tst_ReportPreview.moc"
