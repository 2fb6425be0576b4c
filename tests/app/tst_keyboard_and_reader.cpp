// The main window used by keyboard alone, and as a screen reader sees it through the
// accessibility interfaces: only shown series can become current, focus can leave a grid,
// and nothing hidden is announced.

#include "FakeNotifier.h"
#include "ModalHelper.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"
#include "view/TDBGridPro.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QContextMenuEvent>
#include <QMenuBar>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QRegularExpression>
#include <QtTest>

namespace {

// A table holding the given series, two rows each.
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
            t.setFieldText("DATE", QStringLiteral("0%1.03.2026").arg(n));
            t.setFieldText("TIME", QStringLiteral("0%1:00:00").arg(n));
            t.post();
        }
    }
    t.close();
}

void wheel(QWidget *w, int delta)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(w, &event);
}

// The N column of a grid, top to bottom.
QList<int> shownNumbers(const kve::TDBGridPro *grid)
{
    const QAbstractItemModel *model = grid->view()->model();
    QList<int> out;
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->index(r, grid->columnOfField(QStringLiteral("N"))).data().toString().trimmed().toInt();
    return out;
}

// The child of the grid's accessible table with the role and the name.
QAccessibleInterface *gridChild(QTableView *view, QAccessible::Role role, const QString &name)
{
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(view);
    for (int i = 0; table && i < table->childCount(); ++i) {
        QAccessibleInterface *c = table->child(i);
        if (c && c->role() == role && c->text(QAccessible::Name) == name)
            return c;
    }
    return nullptr;
}

// Names made of Latin letters only, as Qt gives its own parts, found under `iface`.
void englishNames(QAccessibleInterface *iface, QStringList &out, int depth = 0)
{
    if (!iface || depth > 12 || iface->role() == QAccessible::Table)
        return;
    const QString name = iface->text(QAccessible::Name);
    static const QRegularExpression latinOnly(QStringLiteral("^[A-Za-z0-9 _.&-]*[A-Za-z]{3,}[A-Za-z0-9 _.&-]*$"));
    if (!iface->state().invisible && latinOnly.match(name).hasMatch())
        out << name;
    for (int i = 0; i < iface->childCount(); ++i)
        englishNames(iface->child(i), out, depth + 1);
}

} // namespace

class KeyboardAndReaderTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<kve::ProgramWindows> m_windows;
    TForm1 *main() { return m_windows->form1.get(); }
    QTabBar *tabBar() { return main()->pageControl()->findChild<QTabBar *>(); }

    // Series 1, 3 and 5 of sixteen: the tabs between them are hidden.
    void openGappedTable()
    {
        const QString path = m_dir.filePath(QStringLiteral("gaps.db"));
        makeTable(path, {1, 3, 5});
        main()->Open_DB(path);
        QVERIFY(main()->dbOpen());
    }

    // The names of the tabs the accessibility tree reports focused.
    QStringList focusedTabs()
    {
        QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(tabBar());
        QStringList out;
        for (int i = 0; bar && i < bar->childCount(); ++i) {
            QAccessibleInterface *tab = bar->child(i);
            if (tab->role() == QAccessible::PageTab && tab->state().focused)
                out << tab->text(QAccessible::Name);
        }
        return out;
    }

    QTableView *gridView(int series) { return main()->grid(series)->view(); }

    // Focus on the first cell of the column in the grid of the series.
    void focusCell(int series, const QString &field)
    {
        kve::TDBGridPro *grid = main()->grid(series);
        grid->view()->setFocus();
        grid->view()->setCurrentIndex(grid->view()->model()->index(0, grid->columnOfField(field)));
        QVERIFY(grid->view()->hasFocus());
    }

private slots:
    void init()
    {
        QDir::setCurrent(m_dir.path());
        m_windows = std::make_unique<kve::ProgramWindows>();
        main()->show();
        QApplication::setActiveWindow(main());
        QVERIFY(QTest::qWaitForWindowActive(main()));
    }

    void cleanup()
    {
        testing::stopWatchers();
        if (m_windows)
            main()->setDbModified(false);
        m_windows.reset();
        QSettings("Dorvatek", "KVE").clear();
    }

    void arrowKeysStepOverHiddenTabs_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QList<int>>("series");
        QTest::newRow("right") << QList<int>{Qt::Key_Right} << QList<int>{3};
        QTest::newRow("right twice") << QList<int>{Qt::Key_Right, Qt::Key_Right} << QList<int>{3, 5};
        QTest::newRow("right past the last") << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right} << QList<int>{3, 5, 5};
        QTest::newRow("left at the first") << QList<int>{Qt::Key_Left} << QList<int>{1};
        QTest::newRow("right, left") << QList<int>{Qt::Key_Right, Qt::Key_Left} << QList<int>{3, 1};
        QTest::newRow("end, home") << QList<int>{Qt::Key_End, Qt::Key_Home} << QList<int>{5, 1};
    }

    void arrowKeysStepOverHiddenTabs()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QList<int>, series);
        openGappedTable();
        tabBar()->setFocus();
        QList<int> shown;
        for (int key : keys) {
            QTest::keyClick(tabBar(), Qt::Key(key));
            shown << main()->activeSeries();
        }
        QCOMPARE(shown, series);
    }

    void wheelStepsOverHiddenTabs()
    {
        openGappedTable();
        wheel(tabBar(), -120);
        QCOMPARE(main()->activeSeries(), 3);
        wheel(tabBar(), -120);
        QCOMPARE(main()->activeSeries(), 5);
        wheel(tabBar(), -120);
        QCOMPARE(main()->activeSeries(), 5);
        wheel(tabBar(), 120);
        QCOMPARE(main()->activeSeries(), 3);
    }

    void noHiddenTabIsFocusedAfterClose()
    {
        openGappedTable();
        tabBar()->setFocus();
        QTest::keyClick(tabBar(), Qt::Key_Right);
        QCOMPARE(focusedTabs(), QStringList{QStringLiteral("Серия №3")});
        main()->items().N7->trigger();
        QVERIFY(!main()->dbOpen());
        QCOMPARE(focusedTabs(), QStringList());
    }

    void tabLeavesTheGrid_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("tab") << int(Qt::NoModifier);
        QTest::newRow("shift+tab") << int(Qt::ShiftModifier);
    }

    void tabLeavesTheGrid()
    {
        QFETCH(int, modifiers);
        openGappedTable();
        focusCell(1, QStringLiteral("DATE"));
        const Qt::Key key = modifiers == Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab;
        QTest::keyClick(gridView(1), key, Qt::KeyboardModifiers(modifiers));
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        QVERIFY2(focus != gridView(1) && !main()->grid(1)->isAncestorOf(focus), focus->metaObject()->className());
    }

    void controlKeysSwitchShownSeriesFromTheGrid_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QList<int>>("series");
        QTest::newRow("ctrl+tab") << int(Qt::Key_Tab) << int(Qt::ControlModifier) << QList<int>{3, 5, 1};
        QTest::newRow("ctrl+shift+tab") << int(Qt::Key_Backtab) << int(Qt::ControlModifier | Qt::ShiftModifier)
                                        << QList<int>{5, 3, 1};
        QTest::newRow("ctrl+pgdn") << int(Qt::Key_PageDown) << int(Qt::ControlModifier) << QList<int>{3, 5, 1};
        QTest::newRow("ctrl+pgup") << int(Qt::Key_PageUp) << int(Qt::ControlModifier) << QList<int>{5, 3, 1};
    }

    void controlKeysSwitchShownSeriesFromTheGrid()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QList<int>, series);
        openGappedTable();
        focusCell(1, QStringLiteral("DATE"));
        QList<int> shown;
        for (int i = 0; i < series.size(); ++i) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            shown << main()->activeSeries();
            // The operator goes on in the grid of the series now shown.
            QCOMPARE(QApplication::focusWidget(), gridView(main()->activeSeries()));
        }
        QCOMPARE(shown, series);
    }

    void sortKeyActsAsTheTitleClick_data()
    {
        QTest::addColumn<QList<int>>("modifiers");
        QTest::addColumn<int>("mark");
        QTest::addColumn<QList<int>>("numbers");
        const int ctrl = int(Qt::ControlModifier);
        QTest::newRow("once: descending") << QList<int>{0} << int(kve::TitleState::tsSortedUp) << QList<int>{2, 1};
        QTest::newRow("twice: ascending") << QList<int>{0, 0} << int(kve::TitleState::tsSortedDown) << QList<int>{1, 2};
        QTest::newRow("three times: descending") << QList<int>{0, 0, 0} << int(kve::TitleState::tsSortedUp) << QList<int>{2, 1};
        QTest::newRow("then ctrl: cleared") << QList<int>{0, ctrl} << int(kve::TitleState::tsSortedNone) << QList<int>{1, 2};
        QTest::newRow("ctrl on no mark: nothing") << QList<int>{ctrl} << int(kve::TitleState::tsSortedNone) << QList<int>{1, 2};
        QTest::newRow("shift as plain") << QList<int>{int(Qt::ShiftModifier)} << int(kve::TitleState::tsSortedUp) << QList<int>{2, 1};
    }

    void sortKeyActsAsTheTitleClick()
    {
        QFETCH(QList<int>, modifiers);
        QFETCH(int, mark);
        QFETCH(QList<int>, numbers);
        openGappedTable();
        focusCell(1, QStringLiteral("TIME"));
        for (int m : modifiers)
            QTest::keyClick(gridView(1), Qt::Key_F3, Qt::KeyboardModifiers(m));
        kve::TDBGridPro *grid = main()->grid(1);
        QCOMPARE(int(grid->column(grid->columnOfField(QStringLiteral("TIME"))).TitleState), mark);
        QCOMPARE(shownNumbers(grid), numbers);
    }

    void contextMenuOpensFromTheKeyboardWithAnItemChosen_data()
    {
        QTest::addColumn<bool>("menuKey");
        QTest::newRow("shift+f10") << false;
        QTest::newRow("menu key") << true;
    }

    void contextMenuOpensFromTheKeyboardWithAnItemChosen()
    {
        QFETCH(bool, menuKey);
        openGappedTable();
        focusCell(1, QStringLiteral("DATE"));
        if (menuKey) {
            QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), gridView(1)->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(gridView(1), &event);
        } else {
            QTest::keyClick(gridView(1), Qt::Key_F10, Qt::ShiftModifier);
        }
        QMenu *menu = main()->popupMenu();
        QVERIFY(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
        QCOMPARE(menu->activeAction(), main()->items().N28);
        menu->hide();
    }

    // A command from the menu, whatever had the focus before, leaves it on the shown grid.
    void focusIsOnTheGridAfterACommand()
    {
        const QString path = m_dir.filePath(QStringLiteral("focus.db"));
        makeTable(path, {2});
        main()->menuBar()->setFocus();
        auto record = testing::whenModal(testing::chooseFile(path));
        main()->items().N3->trigger();
        QVERIFY2(record->answered, qPrintable(record->problem));
        QVERIFY(main()->dbOpen());
        // The window's focus: the one it has again when the dialog has gone and it is active.
        QCOMPARE(main()->focusWidget(), gridView(2));
        QApplication::setActiveWindow(main());
        QVERIFY(QTest::qWaitForWindowActive(main()));
        QTRY_COMPARE(QApplication::focusWidget(), gridView(2));
        main()->menuBar()->setFocus();
        main()->items().N23->trigger();
        QCOMPARE(QApplication::focusWidget(), gridView(2));
    }

    void previewButtonsTakeFocusAndHaveShortcuts()
    {
        openGappedTable();
        QStringList problems;
        QSize shownSize;
        QRect frame;
        double zoomBefore = 0;
        double zoomAfter = 0;
        auto record = testing::whenModal([&](QWidget *w) {
            const QList<std::pair<QString, QKeySequence>> expected{
                {QStringLiteral("Увеличить"), QKeySequence(QKeySequence::ZoomIn)},
                {QStringLiteral("Уменьшить"), QKeySequence(QKeySequence::ZoomOut)},
                {QStringLiteral("По ширине"), QKeySequence(Qt::CTRL | Qt::Key_0)},
                {QStringLiteral("Печать"), QKeySequence(QKeySequence::Print)}};
            for (const auto &[text, keys] : expected) {
                QToolButton *found = nullptr;
                for (QToolButton *b : w->findChildren<QToolButton *>()) {
                    if (b->defaultAction() && b->defaultAction()->text() == text)
                        found = b;
                }
                if (!found) {
                    problems << text + QStringLiteral(": no button");
                    continue;
                }
                if (!(found->focusPolicy() & Qt::TabFocus))
                    problems << text + QStringLiteral(": takes no focus");
                if (found->defaultAction()->shortcut() != keys)
                    problems << text + QStringLiteral(": shortcut ") + found->defaultAction()->shortcut().toString();
            }
            frame = w->frameGeometry();
            auto *preview = w->findChild<QPrintPreviewWidget *>();
            preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
            zoomBefore = preview->zoomFactor();
            // Shortcuts go to the active window.
            QApplication::setActiveWindow(w);
            if (!QTest::qWaitForWindowActive(w))
                problems << QStringLiteral("the preview never became active");
            QTest::keyClick(w, Qt::Key_Plus, Qt::ControlModifier);
            zoomAfter = preview->zoomFactor();
            static_cast<QDialog *>(w)->reject();
        });
        main()->items().N8->trigger();
        QVERIFY(record->answered);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QVERIFY2(zoomAfter > zoomBefore, qPrintable(QStringLiteral("%1 -> %2").arg(zoomBefore).arg(zoomAfter)));
        const QRect area = main()->screen()->availableGeometry();
        QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6").arg(frame.x()).arg(frame.y())
                                                     .arg(frame.width()).arg(frame.height()).arg(area.width()).arg(area.height())));
    }

    void columnTitleAnnouncesAndSortsByItsAction()
    {
        openGappedTable();
        QAccessibleInterface *title = gridChild(gridView(1), QAccessible::ColumnHeader, QStringLiteral("Время"));
        QVERIFY(title);
        QAccessibleActionInterface *actions = title->actionInterface();
        QVERIFY(actions);
        QCOMPARE(actions->actionNames(), QStringList({QAccessibleActionInterface::pressAction(), QStringLiteral("Убрать сортировку")}));
        QCOMPARE(title->text(QAccessible::Description), QString());
        kve::TDBGridPro *grid = main()->grid(1);
        const QStringList steps{QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::pressAction(),
                                QStringLiteral("Убрать сортировку")};
        QStringList heard;
        QList<QList<int>> orders;
        for (const QString &step : steps) {
            actions->doAction(step);
            heard << title->text(QAccessible::Description);
            orders << shownNumbers(grid);
        }
        QCOMPARE(heard, QStringList({QStringLiteral("по убыванию"), QStringLiteral("по возрастанию"), QString()}));
        QCOMPARE(orders, QList<QList<int>>({{2, 1}, {1, 2}, {1, 2}}));
        QCOMPARE(grid->column(grid->columnOfField(QStringLiteral("TIME"))).TitleState, kve::TitleState::tsSortedNone);
    }

    void hiddenModeColumnIsNotShowing()
    {
        openGappedTable();
        QAccessibleInterface *title = gridChild(gridView(1), QAccessible::ColumnHeader, QStringLiteral("Режим"));
        QVERIFY(title);
        QVERIFY(title->state().invisible);
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(gridView(1));
        QAccessibleTableInterface *cells = table->tableInterface();
        QVERIFY(cells);
        const int mode = main()->grid(1)->columnOfField(QStringLiteral("MODE"));
        QVERIFY(cells->cellAt(0, mode)->state().invisible);
        const int date = main()->grid(1)->columnOfField(QStringLiteral("DATE"));
        QVERIFY(!cells->cellAt(0, date)->state().invisible);
        QCOMPARE(cells->cellAt(0, date)->text(QAccessible::Name), QStringLiteral("01.03.2026"));
        QVERIFY(!gridChild(gridView(1), QAccessible::ColumnHeader, QStringLiteral("Дата"))->state().invisible);
    }

    void noteEditorIsInTheTree()
    {
        openGappedTable();
        focusCell(1, QStringLiteral("COMMENT"));
        QTest::keyClick(gridView(1), Qt::Key_F2);
        QVERIFY(QTest::qWaitFor([&] { return main()->grid(1)->isEditing(); }, 5000));
        QWidget *editor = main()->grid(1)->openEditor();
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(gridView(1));
        QAccessibleInterface *found = nullptr;
        for (int i = 0; i < table->childCount(); ++i) {
            if (table->child(i)->object() == editor)
                found = table->child(i);
        }
        QVERIFY(found);
        QCOMPARE(found->role(), QAccessible::EditableText);
        QCOMPARE(found->text(QAccessible::Name), QStringLiteral("Примечание"));
        QCOMPARE(table->indexOfChild(found), table->childCount() - 1);
        main()->grid(1)->dropEdit();
        QCOMPARE(table->childCount(), 3 * 13);
    }

    void everyNameIsRussian()
    {
        openGappedTable();
        QStringList english;
        englishNames(QAccessible::queryAccessibleInterface(main()), english);
        QVERIFY2(english.isEmpty(), qPrintable(english.join(", ")));
        QCOMPARE(main()->toolBar()->objectName(), QStringLiteral("ToolBar1"));
        QCOMPARE(QAccessible::queryAccessibleInterface(main()->toolBar())->text(QAccessible::Name),
                 QStringLiteral("Панель инструментов"));
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    KeyboardAndReaderTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_keyboard_and_reader.moc"
