// A grid command makes each of the sixteen grids follow the table's view once, however many
// rows it touches: the grids re-read their rows at the end, not after every row.
#include "GridFixture.h"

#include "store/SeriesNames.h"
#include "view/GridCommands.h"
#include "view/TDBGridPro.h"

#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <vector>

using namespace kve;
using fixture::numbers;
using fixture::shownColumn;

class TestGridCommandCost : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void eachGridFollowsOnce_data();
    void eachGridFollowsOnce();

private:
    MeasurementTable *m_table = nullptr;
    std::vector<std::unique_ptr<TDBGridPro>> m_grids;
};

void TestGridCommandCost::init()
{
    m_table = new MeasurementTable;
    fixture::fillTable(*m_table, fixture::tablePath(), 3, 6);
    for (int n = 1; n <= kSeriesCount; ++n)
        m_grids.push_back(std::make_unique<TDBGridPro>(*m_table, n));
}

void TestGridCommandCost::cleanup()
{
    m_grids.clear();
    delete m_table;
    m_table = nullptr;
}

void TestGridCommandCost::eachGridFollowsOnce_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("shownN");   // N of series 1 after the command
    QTest::newRow("delete four rows") << "delete" << numbers({2, 6});
    QTest::newRow("delete with none selected") << "delete none" << numbers({1, 2, 3, 4, 5, 6});
    // F of series 1, descending as text: 9,50 3,40 2,10 11,00 10,20 0,75 (N 1, 6, 3, 4, 2, 5).
    QTest::newRow("title click") << "sort" << numbers({1, 6, 3, 4, 2, 5});
    QTest::newRow("title click back to record order") << "unsort" << numbers({1, 2, 3, 4, 5, 6});
    QTest::newRow("renumber") << "renumber" << numbers({1, 2, 3, 4, 5, 6});
}

void TestGridCommandCost::eachGridFollowsOnce()
{
    QFETCH(QString, command);
    QFETCH(QStringList, shownN);
    TDBGridPro &grid = *m_grids[0];
    const int f = grid.columnOfField(QStringLiteral("F"));
    if (command == QLatin1String("unsort"))
        grid.clickTitle(f);

    std::vector<std::unique_ptr<QSignalSpy>> resets;
    for (const auto &g : m_grids)
        resets.push_back(std::make_unique<QSignalSpy>(g->view()->model(), &QAbstractItemModel::modelReset));

    if (command.startsWith(QLatin1String("delete"))) {
        if (command == QLatin1String("delete")) {
            QItemSelectionModel *selection = grid.view()->selectionModel();
            for (int r : {0, 2, 3, 4})
                selection->select(grid.view()->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        delete_selected_rows(grid);
    } else if (command == QLatin1String("sort")) {
        grid.clickTitle(f);
    } else if (command == QLatin1String("unsort")) {
        grid.clickTitle(f, Qt::ControlModifier);
    } else {
        renumber_rows(grid);
    }

    for (std::size_t i = 0; i < resets.size(); ++i)
        QCOMPARE(resets[i]->count(), 1);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), shownN);
}

QTEST_MAIN(TestGridCommandCost)
#include "tst_grid_command_cost.moc"
