// A file command cannot be started again while a file command's dialog is open: an
// accessibility action presses a menu item or toolbar button even then. The dialog goes on,
// nothing crashes, and the state after it is the one of the first command alone.
#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "ProgramHarness.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "store/MeasurementTable.h"

#include <QAccessible>
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

namespace {

enum class Route {
    ToolbarButton,   // the accessible press of the toolbar button
    MenuItem,        // the accessible press of the "Файл" menu item
    Trigger,         // QAction::trigger()
};

void makeTable(const QString &path)
{
    kve::MeasurementTable t;
    t.setFilePath(path);
    t.create();
    t.append();
    t.setFieldInt("N", 1);
    t.setFieldInt("EN_CH", 1);
    t.setFieldText("DATE", "01.03.2026");
    t.setFieldText("TIME", "01:00:00");
    t.post();
    t.close();
}

QAccessibleInterface *menuItemInterface(QMenu *menu, QAction *action)
{
    QAccessibleInterface *m = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; m && i < m->childCount(); ++i) {
        QAccessibleInterface *child = m->child(i);
        if (child && child->object() == action)
            return child;
    }
    return nullptr;
}

// Presses the item by the route; true once its action was triggered.
bool press(TForm1 *main, QAction *action, Route route)
{
    QSignalSpy triggered(action, &QAction::triggered);
    QAccessibleInterface *iface = nullptr;
    switch (route) {
    case Route::ToolbarButton:
        iface = QAccessible::queryAccessibleInterface(main->toolBar()->widgetForAction(action));
        break;
    case Route::MenuItem:
        iface = menuItemInterface(main->items().N1, action);
        break;
    case Route::Trigger:
        action->trigger();
        break;
    }
    if (route != Route::Trigger) {
        if (!iface || !iface->actionInterface())
            return false;
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    // A button's press clicks it a moment later.
    return QTest::qWaitFor([&] { return triggered.count() == 1; }, 10000);
}

int visibleFileDialogs()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += qobject_cast<QFileDialog *>(w) && w->isVisible() ? 1 : 0;
    return n;
}

} // namespace

Q_DECLARE_METATYPE(Route)
Q_DECLARE_METATYPE(kve::MenuItem)

class CommandReentryTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { testing::stopWatchers(); }

    void fileCommandNotEnteredWhileADialogRuns_data()
    {
        QTest::addColumn<kve::MenuItem>("first");
        QTest::addColumn<kve::MenuItem>("again");
        QTest::addColumn<Route>("route");
        QTest::newRow("Открыть, its button") << &kve::MenuItems::N3 << &kve::MenuItems::N3 << Route::ToolbarButton;
        QTest::newRow("Открыть, its menu item") << &kve::MenuItems::N3 << &kve::MenuItems::N3 << Route::MenuItem;
        QTest::newRow("Открыть, trigger") << &kve::MenuItems::N3 << &kve::MenuItems::N3 << Route::Trigger;
        QTest::newRow("Создать, its button") << &kve::MenuItems::N2 << &kve::MenuItems::N2 << Route::ToolbarButton;
        QTest::newRow("Создать, its menu item") << &kve::MenuItems::N2 << &kve::MenuItems::N2 << Route::MenuItem;
        QTest::newRow("Создать, then Открыть") << &kve::MenuItems::N2 << &kve::MenuItems::N3 << Route::ToolbarButton;
        QTest::newRow("Открыть, then Создать") << &kve::MenuItems::N3 << &kve::MenuItems::N2 << Route::MenuItem;
    }

    void fileCommandNotEnteredWhileADialogRuns()
    {
        QFETCH(kve::MenuItem, first);
        QFETCH(kve::MenuItem, again);
        QFETCH(Route, route);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        const QString table = dir.filePath(QStringLiteral("a.db"));
        const QString other = dir.filePath(QStringLiteral("b.db"));
        makeTable(table);
        makeTable(other);

        testing::FakeNotifier boxes(testing::pressing(QMessageBox::No));
        kve::ProgramWindows windows;
        TForm1 *main = windows.form1.get();
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        main->Open_DB(table);
        QVERIFY(main->table().isOpen());

        // While the dialog runs: press, check it still runs alone, then answer it.
        bool pressed = false;
        bool stillRunning = false;
        int dialogsWhilePressed = -1;
        auto record = testing::whenModal([&](QWidget *w, testing::ModalRecord &r) {
            QPointer<QWidget> dialog = w;
            pressed = press(main, main->items().*again, route);
            stillRunning = dialog && dialog->isVisible() && QApplication::activeModalWidget() == dialog;
            dialogsWhilePressed = visibleFileDialogs();
            // "Создать" would go on to the instrument: its dialog is cancelled.
            if (dialog && first == &kve::MenuItems::N3)
                testing::chooseFile(other)(dialog, r);
            else if (dialog)
                testing::reject()(dialog);
        });
        (main->items().*first)->trigger();
        QVERIFY2(record->answered, qPrintable(record->problem));
        QVERIFY(pressed);
        QVERIFY(stillRunning);
        QCOMPARE(dialogsWhilePressed, 1);
        QCOMPARE(visibleFileDialogs(), 0);
        QCOMPARE(boxes.problems(), QStringList());

        if (first == &kve::MenuItems::N3) {
            // The other file is open, as after one "Открыть".
            QVERIFY(main->dbOpen());
            QCOMPARE(QFileInfo(main->table().filePath()).fileName(), QStringLiteral("b.db"));
            QCOMPARE(main->windowTitle(), QStringLiteral("b - ЖОРД-ЗР7"));
        } else {
            // "Создать" closed the table before its dialog, and stopped when it was cancelled.
            QVERIFY(!main->dbOpen());
            QVERIFY(!main->table().isOpen());
            QCOMPARE(main->windowTitle(), QStringLiteral("ЖОРД-ЗР7"));
        }
        // The commands work again afterwards.
        auto later = testing::whenModal(testing::reject());
        main->items().N3->trigger();
        QVERIFY(later->answered);
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    CommandReentryTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_command_reentry.moc"
