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
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QWheelEvent>
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
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    KeyboardAndReaderTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_keyboard_and_reader.moc"
