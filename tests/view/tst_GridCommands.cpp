#include "GridFixture.h"

#include "view/GridCommands.h"
#include "view/TDBGridPro.h"

#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTest>

using namespace kve;
using fixture::numbers;
using fixture::shownColumn;

class TestGridCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void deleteRowsThreeAndFourThenRenumber();
    void deleteKeepsTheSelectedRowsWhatEverTheOrder_data();
    void deleteKeepsTheSelectedRowsWhatEverTheOrder();
    void deleteWithoutSelection();
    void deletePostsANoteBeingTyped();
    void renumberFollowsTheShownOrder();
    void resetSortWithClosedTableClearsMarksOnly();

private:
    void select(TDBGridPro &grid, const QList<int> &rows);
    MeasurementTable *m_table = nullptr;
};

void TestGridCommands::init()
{
    QLocale::setDefault(QLocale::c());
    m_table = new MeasurementTable;
    fixture::fillTable(*m_table, fixture::tablePath(), 3, 6);
}

void TestGridCommands::cleanup()
{
    delete m_table;
    m_table = nullptr;
}

// Selects just these rows, one by one (as with Ctrl held), in the order given.
void TestGridCommands::select(TDBGridPro &grid, const QList<int> &rows)
{
    QItemSelectionModel *selection = grid.view()->selectionModel();
    selection->clearSelection();
    for (int r : rows)
        selection->select(grid.view()->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TestGridCommands::deleteRowsThreeAndFourThenRenumber()
{
    TDBGridPro grid(*m_table, 1);
    const int records = m_table->physicalRecordCount();
    select(grid, {2, 3});
    delete_selected_rows(grid);
    QVERIFY(m_table->isOpen());
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 5, 6}));
    QVERIFY(grid.selectedRows().isEmpty());
    // Marked, not removed: the file keeps every record.
    QCOMPARE(m_table->physicalRecordCount(), records);

    renumber_rows(grid);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 3, 4}));
    QCOMPARE(shownColumn(grid, QStringLiteral("T_1")), QStringList({"1,1", "1,2", "1,5", "1,6"}));
    // Other series are untouched.
    fixture::showSeries(*m_table, 2);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));

    // And it is all in the file.
    delete m_table;
    m_table = new MeasurementTable;
    m_table->setFilePath(fixture::tablePath());
    m_table->open();
    m_table->setFilter(QStringLiteral("EN_CH=1"));
    m_table->setFiltered(true);
    m_table->refresh();
    QCOMPARE(m_table->recordCount(), 4);
    QCOMPARE(m_table->textAt(3, fieldIndex(QStringLiteral("N"))), QStringLiteral("4"));
    QCOMPARE(m_table->textAt(3, fieldIndex(QStringLiteral("T_1"))), QStringLiteral("1,6"));
}

void TestGridCommands::deleteKeepsTheSelectedRowsWhatEverTheOrder_data()
{
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<QList<int>>("selection");   // view rows, in the order selected
    QTest::addColumn<QStringList>("left");        // N of what stays, in record order
    QTest::newRow("record order") << false << QList<int>{2, 3} << numbers({1, 2, 5, 6});
    QTest::newRow("record order, selected bottom up") << false << QList<int>{4, 1} << numbers({1, 3, 4, 6});
    // Sorted by F descending: N 1, 6, 3, 4, 2, 5 shown; the first two shown go.
    QTest::newRow("sorted view") << true << QList<int>{1, 0} << numbers({2, 3, 4, 5});
    QTest::newRow("sorted view, last rows") << true << QList<int>{5, 4, 3} << numbers({1, 3, 6});
}

void TestGridCommands::deleteKeepsTheSelectedRowsWhatEverTheOrder()
{
    QFETCH(bool, sorted);
    QFETCH(QList<int>, selection);
    QFETCH(QStringList, left);
    TDBGridPro grid(*m_table, 1);
    if (sorted) {
        grid.clickTitle(grid.columnOfField(QStringLiteral("F")));
        QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 6, 3, 4, 2, 5}));
    }
    select(grid, selection);
    delete_selected_rows(grid);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), left);
    QCOMPARE(grid.column(grid.columnOfField(QStringLiteral("F"))).TitleState, TitleState::tsSortedNone);
}

void TestGridCommands::deleteWithoutSelection()
{
    TDBGridPro grid1(*m_table, 1);
    TDBGridPro grid2(*m_table, 2);
    m_table->addTag(QStringLiteral("tab2"), QStringLiteral("F"), false);
    m_table->addTag(QStringLiteral("tab16"), QStringLiteral("N"), true);
    grid2.setTitleState(grid2.columnOfField(QStringLiteral("N")), TitleState::tsSortedDown, 1);
    grid1.clickTitle(grid1.columnOfField(QStringLiteral("N")));
    QCOMPARE(shownColumn(grid1, QStringLiteral("N")), numbers({6, 5, 4, 3, 2, 1}));

    delete_selected_rows(grid1);
    for (int k = 1; k <= 16; ++k)
        QVERIFY(!m_table->hasTag(QStringLiteral("tab%1").arg(k)));
    QVERIFY(m_table->activeTag().isEmpty());
    QCOMPARE(shownColumn(grid1, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));
    for (int i = 0; i < grid1.columnCount(); ++i)
        QCOMPARE(grid1.column(i).TitleState, TitleState::tsSortedNone);
    // Only the marks of the grid the command ran on are cleared.
    QCOMPARE(grid2.column(grid2.columnOfField(QStringLiteral("N"))).TitleState, TitleState::tsSortedDown);
    QVERIFY(m_table->isOpen());
    QCOMPARE(m_table->filter(), QStringLiteral("EN_CH=1"));
}

void TestGridCommands::deletePostsANoteBeingTyped()
{
    TDBGridPro grid(*m_table, 1);
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QModelIndex cell = grid.view()->model()->index(4, grid.columnOfField(QStringLiteral("COMMENT")));
    grid.view()->setCurrentIndex(cell);
    grid.view()->edit(cell);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("keep"));
    select(grid, {0});
    QCOMPARE(grid.selectedRows(), QList<int>({0}));
    delete_selected_rows(grid);
    QVERIFY(!grid.isEditing());
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({2, 3, 4, 5, 6}));
    QCOMPARE(shownColumn(grid, QStringLiteral("COMMENT")).at(3), QStringLiteral("keep"));
}

void TestGridCommands::renumberFollowsTheShownOrder()
{
    TDBGridPro grid(*m_table, 1);
    grid.clickTitle(grid.columnOfField(QStringLiteral("F")));
    const QStringList shownT1 = shownColumn(grid, QStringLiteral("T_1"));
    renumber_rows(grid);
    // Still sorted by F (reopening keeps the active tag), numbered top to bottom.
    QCOMPARE(shownColumn(grid, QStringLiteral("T_1")), shownT1);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));
    remove_sort(grid);
    QCOMPARE(shownColumn(grid, QStringLiteral("T_1")), QStringList({"1,1", "1,2", "1,3", "1,4", "1,5", "1,6"}));
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 5, 3, 4, 6, 2}));
}

void TestGridCommands::resetSortWithClosedTableClearsMarksOnly()
{
    TDBGridPro grid(*m_table, 3);
    grid.clickTitle(grid.columnOfField(QStringLiteral("DATE")));
    m_table->close();
    reset_sort(grid, QStringLiteral("tab3"));
    QCOMPARE(grid.column(grid.columnOfField(QStringLiteral("DATE"))).TitleState, TitleState::tsSortedNone);
    QVERIFY(m_table->hasTag(QStringLiteral("tab3")));
    // "Удалить строки" with no table open does nothing to the table either.
    delete_selected_rows(grid);
    QVERIFY(!m_table->isOpen());
}

QTEST_MAIN(TestGridCommands)
#include "tst_GridCommands.moc"
