// The shell as assistive technology and the operator meet it: hidden series tabs, the help
// window coming back, no toolbar menu, a splash that waits for its timer, the about box's
// buttons and the colour dialog's memory.
#include "ModalHelper.h"

#include "app/HelpWindow.h"
#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/about.h"
#include "app/logo.h"
#include "app/main.h"
#include "store/MeasurementTable.h"
#include "view/TDBGridPro.h"

#include <QAccessible>
#include <QAction>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

using testing::whenModal;

namespace {

void makeTable(const QString &path, const QList<int> &series)
{
    kve::MeasurementTable t;
    t.setFilePath(path);
    t.create();
    for (int s : series) {
        for (int n = 1; n <= 2; ++n) {
            t.append();
            t.setFieldInt("N", n);
            t.setFieldInt("EN_CH", s);
            t.setFieldText("DATE", "01.03.2026");
            t.setFieldText("TIME", QStringLiteral("0%1:00:00").arg(n));
            t.setFieldText("P_1", " 1,5");
            t.post();
        }
    }
    t.close();
}

// The names of the page tabs in the accessible tree under `root` that are not invisible.
void showingTabs(QAccessibleInterface *root, QStringList &out, int depth = 0)
{
    if (!root || depth > 40)
        return;
    if (root->role() == QAccessible::PageTab && !root->state().invisible)
        out << root->text(QAccessible::Name);
    for (int i = 0; i < root->childCount(); ++i)
        showingTabs(root->child(i), out, depth + 1);
}

HelpWindow *helpWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *help = qobject_cast<HelpWindow *>(w))
            return help;
    }
    return nullptr;
}

} // namespace

class ShellEdgesTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<kve::ProgramWindows> m_windows;
    TForm1 *main() { return m_windows->form1.get(); }

private slots:
    void init()
    {
        QDir::setCurrent(m_dir.path());
        m_windows = std::make_unique<kve::ProgramWindows>();
        main()->show();
        QVERIFY(QTest::qWaitForWindowExposed(main()));
    }

    void cleanup()
    {
        testing::stopWatchers();
        if (HelpWindow *help = helpWindow())
            help->hide();
        if (m_windows)
            main()->setDbModified(false);
        m_windows.reset();
        QSettings("Dorvatek", "KVE").clear();
    }

    void onlyPresentSeriesTabsAreShowing()
    {
        makeTable(m_dir.filePath("two_five.db"), {5, 2});
        main()->Open_DB(m_dir.filePath("two_five.db"));
        QVERIFY(main()->table().isOpen());
        QStringList tabs;
        showingTabs(QAccessible::queryAccessibleInterface(main()), tabs);
        QCOMPARE(tabs, QStringList({"Серия №2", "Серия №5"}));

        // Closing hides them all again.
        main()->items().N7->trigger();
        tabs.clear();
        showingTabs(QAccessible::queryAccessibleInterface(main()), tabs);
        QCOMPARE(tabs, QStringList());
    }

    void helpComesBack_data()
    {
        QTest::addColumn<QString>("route");
        QTest::newRow("menu") << "N24";
        QTest::newRow("F1") << "F1";
        QTest::newRow("toolbar") << "ToolButton6";
    }

    void helpComesBack()
    {
        QFETCH(QString, route);
        const auto ask = [&] {
            if (route == "F1")
                QTest::keyClick(main(), Qt::Key_F1);
            else if (route == "N24")
                main()->items().N24->trigger();
            else
                QTest::mouseClick(main()->toolBar()->findChild<QWidget *>(route), Qt::LeftButton);
        };
        ask();
        HelpWindow *help = helpWindow();
        QVERIFY(help);
        QVERIFY(QTest::qWaitForWindowExposed(help));

        // Minimised: it comes back as it was.
        help->showMinimized();
        QTRY_VERIFY_WITH_TIMEOUT(help->windowState() & Qt::WindowMinimized, 10000);
        main()->activateWindow();
        // F1 reaches the main window's shortcut only while it is the active window.
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), static_cast<QWidget *>(main()), 10000);
        ask();
        QCOMPARE(helpWindow(), help);
        QVERIFY(help->isVisible());
        QVERIFY(!(help->windowState() & Qt::WindowMinimized));
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), static_cast<QWidget *>(help), 10000);

        // Behind the main window: it comes to the front.
        main()->raise();
        main()->activateWindow();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), static_cast<QWidget *>(main()), 10000);
        ask();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), static_cast<QWidget *>(help), 10000);
    }

    void noToolbarMenuOnRightClick()
    {
        QVERIFY(main()->toolBar()->isVisible());
        QList<QWidget *> targets{main()->toolBar(), main()->menuBar(),
                                 main()->toolBar()->findChild<QWidget *>("ToolButton6")};
        for (QWidget *target : targets) {
            QVERIFY(target);
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), target->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(target, &event);
            QCoreApplication::processEvents();
            QWidget *popup = QApplication::activePopupWidget();
            QVERIFY2(!popup, qPrintable(target->objectName() + QStringLiteral(": a menu opened")));
        }
        std::unique_ptr<QMenu> menu(main()->createPopupMenu());
        QVERIFY(!menu || menu->isEmpty());
        QVERIFY(main()->toolBar()->isVisible());
    }

    void splashClosesOnlyOnItsTimer()
    {
        TForm5 splash;
        QElapsedTimer clock;
        bool stillShownAfterEscape = false;
        bool stillShownAfterClose = false;
        QTimer::singleShot(0, &splash, [&] {
            QTest::keyClick(&splash, Qt::Key_Escape);
            QCoreApplication::processEvents();
            stillShownAfterEscape = splash.isVisible();
            splash.close();
            QCoreApplication::processEvents();
            stillShownAfterClose = splash.isVisible();
        });
        // A guard in case the timer never fires.
        QTimer::singleShot(15000, &splash, [&] { splash.done(-1); });
        clock.start();
        const int result = splash.exec();
        QVERIFY(stillShownAfterEscape);
        QVERIFY(stillShownAfterClose);
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY2(clock.elapsed() >= 2900, qPrintable(QString::number(clock.elapsed())));
    }

    void aboutBoxHasNoMinimiseOrMaximise()
    {
        Tform6 &about = *m_windows->form6;
        const Qt::WindowFlags flags = about.windowFlags();
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const Qt::WindowFlags native = about.windowHandle()->flags();
        QVERIFY(!native.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!native.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        about.hide();
    }

    void colourDialogOpensWithLastChosen()
    {
        makeTable(m_dir.filePath("colours.db"), {1});
        main()->Open_DB(m_dir.filePath("colours.db"));
        kve::TDBGridPro *grid = main()->grid(1);
        const int t1 = grid->columnOfField("T_1");
        grid->setCurrentColumn(t1);

        QColor opened;
        const auto pick = [&](const QColor &colour, bool accept) {
            return whenModal([&opened, colour, accept](QWidget *w) {
                auto *dialog = qobject_cast<QColorDialog *>(w);
                if (!dialog) {
                    if (auto *d = qobject_cast<QDialog *>(w))
                        d->reject();
                    return;
                }
                opened = dialog->currentColor();
                dialog->setCurrentColor(colour);
                if (accept)
                    dialog->accept();
                else
                    dialog->reject();
            }, 10000);
        };

        auto first = pick(QColor(255, 0, 0), true);
        main()->items().N17->trigger();
        QVERIFY(first->answered);
        QCOMPARE(opened, QColor(Qt::black));
        QCOMPARE(grid->column(t1).Color, std::optional<QColor>(QColor(255, 0, 0)));

        auto second = pick(QColor(0, 0, 255), false);
        main()->items().N17->trigger();
        QVERIFY(second->answered);
        QCOMPARE(opened, QColor(255, 0, 0));
        QCOMPARE(grid->column(t1).Color, std::optional<QColor>(QColor(255, 0, 0)));

        // The blue picked and cancelled is forgotten.
        auto third = pick(QColor(0, 128, 0), false);
        main()->items().N17->trigger();
        QVERIFY(third->answered);
        QCOMPARE(opened, QColor(255, 0, 0));
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    ShellEdgesTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_shell_edges.moc"
