// The print dialog itself: defaults, the printers offered, refusing page lists that
// print nothing, and names for screen readers.
#include "FakeNotifier.h"
#include "output/ReportPrintDialog.h"
#include "store/AppTitle.h"
#include "store/Error.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

using kve::report::PrintChoice;

namespace {

kve::report::PreparedReport pagesOf(int count)
{
    kve::report::PreparedReport r;
    r.pageWidth = 1071;
    r.pageHeight = 757;
    r.pages.resize(std::size_t(count));
    return r;
}

QString accessibleName(QObject *o)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(o);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// Confirms the dialog and returns the caption and text of the message it raised, if any.
QString confirmAndReadRefusal(ReportPrintDialog &d)
{
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    d.findChild<QPushButton *>(QStringLiteral("print"))->click();
    return boxes.messages.isEmpty() ? QString() : boxes.messages.constFirst().caption + QStringLiteral(": ") + boxes.messages.constFirst().text;
}

} // namespace

class TestReportPrintDialog : public QObject {
    Q_OBJECT

private slots:
    void defaultsAreAllPagesOneCollatedCopy()
    {
        const auto report = pagesOf(4);
        ReportPrintDialog d(report, -1);
        const PrintChoice c = d.choice();
        QCOMPARE(c.pages, PrintChoice::Pages::All);
        QCOMPARE(c.copies, 1);
        QVERIFY(c.collate);
        QVERIFY(!d.findChild<QRadioButton *>(QStringLiteral("currentPage"))->isEnabled());
        QCOMPARE(d.windowTitle(), QStringLiteral("Печать"));
        QVERIFY(d.isModal());
    }

    void currentPageOnlyWithAPreview()
    {
        const auto report = pagesOf(4);
        ReportPrintDialog d(report, 2);
        auto *current = d.findChild<QRadioButton *>(QStringLiteral("currentPage"));
        QVERIFY(current->isEnabled());
        current->setChecked(true);
        QCOMPARE(d.choice().pages, PrintChoice::Pages::Current);
        QCOMPARE(d.choice().currentPage, 2);
    }

    void offersTheInstalledPrintersWithTheDefaultChosen()
    {
        const auto report = pagesOf(1);
        ReportPrintDialog d(report, -1);
        auto *box = d.findChild<QComboBox *>(QStringLiteral("printers"));
        QStringList offered;
        for (int i = 0; i < box->count(); ++i)
            offered << box->itemData(i).toString();
        // The printers, then the PDF file, which has no printer name.
        QCOMPARE(offered, QPrinterInfo::availablePrinterNames() << QString());
        QCOMPARE(box->itemText(box->count() - 1), QStringLiteral("PDF-файл"));
        offered.removeLast();
        if (offered.isEmpty())
            QSKIP("no printer installed here to choose from");
        QCOMPARE(box->currentData().toString(), QPrinterInfo::defaultPrinterName().isEmpty()
                                                    ? offered.first()
                                                    : QPrinterInfo::defaultPrinterName());
        QCOMPARE(d.printer().printerName(), box->currentData().toString());
        // Set up for the report's page whatever the printer's own defaults.
        QCOMPARE(d.printer().pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(d.printer().pageLayout().pageSize().id(), QPageSize::A4);
    }

    // Enter is "Печать" wherever the keyboard is, short of a button the operator moved to:
    // after the dialog opens, and after a printer was chosen from the list.
    void enterPrints_data()
    {
        QTest::addColumn<bool>("printerChosenFirst");
        QTest::newRow("as opened") << false;
        QTest::newRow("after choosing from the list") << true;
    }

    void enterPrints()
    {
        QFETCH(bool, printerChosenFirst);
        const auto report = pagesOf(2);
        ReportPrintDialog d(report, -1);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto *printers = d.findChild<QComboBox *>(QStringLiteral("printers"));
        if (printerChosenFirst) {
            printers->setFocus();
            QTRY_VERIFY_WITH_TIMEOUT(printers->hasFocus(), 10000);
            QTest::keyClick(printers, Qt::Key_End);
            QCOMPARE(printers->currentText(), QStringLiteral("PDF-файл"));
        }
        QVERIFY(QApplication::focusWidget());
        const QString focused = QApplication::focusWidget()->objectName();
        // Whatever opens instead of printing is recorded and closed, so the test cannot hang.
        QStringList opened;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            QWidget *w = QApplication::activeModalWidget();
            if (w && w != &d) {
                opened << QString::fromLatin1(w->metaObject()->className());
                w->close();
            }
        });
        closer.start(20);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        closer.stop();
        QVERIFY2(focused != QLatin1String("setup"), "the dialog opens on the setup button");
        QCOMPARE(opened, QStringList());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!d.isVisible());
    }

    void typingAListChoosesIt()
    {
        const auto report = pagesOf(4);
        ReportPrintDialog d(report, -1);
        auto *edit = d.findChild<QLineEdit *>(QStringLiteral("pageList"));
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("1,3"));
        QCOMPARE(d.choice().pages, PrintChoice::Pages::List);
        QCOMPARE(d.choice().list, QStringLiteral("1,3"));
    }

    void listsThatPrintNothingAreRefused_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("unreadable") << "1,x" << "Не удаётся прочитать";
        QTest::newRow("past the end") << "5-8" << "всего в нём страниц: 4";
        QTest::newRow("empty") << "" << "Укажите номера страниц";
    }

    void listsThatPrintNothingAreRefused()
    {
        QFETCH(QString, list);
        QFETCH(QString, messagePart);
        const auto report = pagesOf(4);
        ReportPrintDialog d(report, -1);
        d.show();
        d.findChild<QRadioButton *>(QStringLiteral("listedPages"))->setChecked(true);
        d.findChild<QLineEdit *>(QStringLiteral("pageList"))->setText(list);
        const QString message = confirmAndReadRefusal(d);
        QVERIFY2(message.startsWith(QStringLiteral("Ошибка: ")), qPrintable(message));
        QVERIFY2(message.contains(messagePart), qPrintable(message));
        QVERIFY(d.isVisible());   // still open for a correction
        QCOMPARE(d.result(), int(QDialog::Rejected));

        // Corrected, it is accepted.
        d.findChild<QLineEdit *>(QStringLiteral("pageList"))->setText(QStringLiteral("2-3"));
        QCOMPARE(confirmAndReadRefusal(d), QString());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!d.isVisible());
    }

    void badListIsNoMatterWhenPrintingAll()
    {
        const auto report = pagesOf(2);
        ReportPrintDialog d(report, -1);
        d.show();
        d.findChild<QLineEdit *>(QStringLiteral("pageList"))->setText(QStringLiteral("x"));
        d.findChild<QRadioButton *>(QStringLiteral("allPages"))->setChecked(true);
        QCOMPARE(confirmAndReadRefusal(d), QString());
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    void controlsAreNamedByTheirTexts()
    {
        const auto report = pagesOf(3);
        ReportPrintDialog d(report, 0);
        d.show();
        QStringList problems;
        for (QWidget *w : d.findChildren<QWidget *>()) {
            if (!w->isVisibleTo(&d))
                continue;
            const QString name = accessibleName(w).remove(u'&').trimmed();
            if (auto *b = qobject_cast<QAbstractButton *>(w)) {
                if (name != QString(b->text()).remove(u'&').trimmed())
                    problems << b->text() + QStringLiteral(" / ") + name;
            } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
                if (name != g->title())
                    problems << g->title() + QStringLiteral(" / ") + name;
            } else if (auto *l = qobject_cast<QLabel *>(w)) {
                if (!l->text().isEmpty() && name.isEmpty())
                    problems << l->text();
            } else if ((qobject_cast<QLineEdit *>(w) && !qobject_cast<QAbstractSpinBox *>(w->parentWidget())
                        && !qobject_cast<QComboBox *>(w->parentWidget()))
                       || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSpinBox *>(w)) {
                if (name.isEmpty())
                    problems << QString::fromLatin1(w->metaObject()->className()) + QStringLiteral(" ") + w->objectName();
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        d.grab().save(QStringLiteral("print-dialog.png"));
    }

    // An error inside a print or preview handler ends that handler at its own edge and is
    // shown in the application-wide error box, not in the box of a refused page list.
    void errorInAHandlerGoesToTheErrorBox()
    {
        kve::setApplicationTitle(QStringLiteral("ЖОРД-ЗР7 - Серийный №5"));
        QWidget window;
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
        bool after = false;
        const bool ran = runPrintStep(&window, [&] {
            throw kve::Error(QStringLiteral("Принтер не отвечает"), QStringLiteral("test"));
            after = true;
        });
        QVERIFY(!ran);
        QVERIFY(!after);
        QCOMPARE(boxes.shown(), QStringList({QStringLiteral("ЖОРД-ЗР7 - Серийный №5|Принтер не отвечает")}));
        QCOMPARE(boxes.messages[0].parent.data(), &window);
        QCOMPARE(boxes.messages[0].icon, QMessageBox::Critical);
        QVERIFY(runPrintStep(&window, [&] { after = true; }));
        QVERIFY(after);
        QCOMPARE(boxes.messages.size(), 1);
    }
};

QTEST_MAIN(TestReportPrintDialog)
#include "tst_ReportPrintDialog.moc"
