#include "GridFixture.h"

#include "store/SeriesNames.h"
#include "view/GridCommands.h"
#include "view/GridLayoutStore.h"
#include "view/LayoutText.h"
#include "view/TDBGridPro.h"

#include <QFile>
#include <QSettings>
#include <QTest>
#include <memory>

using namespace kve;
using fixture::numbers;
using fixture::shownColumn;

namespace {

// The sixteen grids of the main window, each 679 pixels wide.
struct Grids {
    explicit Grids(MeasurementTable &table)
    {
        for (int n = 1; n <= kSeriesCount; ++n) {
            owned[size_t(n - 1)] = std::make_unique<TDBGridPro>(table, n);
            owned[size_t(n - 1)]->resize(679, 300);
            grids[size_t(n - 1)] = owned[size_t(n - 1)].get();
        }
    }
    TDBGridPro &operator[](int n) { return *grids[size_t(n - 1)]; }
    std::array<std::unique_ptr<TDBGridPro>, kSeriesCount> owned;
    std::array<TDBGridPro *, kSeriesCount> grids{};
};

std::unique_ptr<QSettings> openSettings()
{
    auto settings = std::make_unique<QSettings>(QStringLiteral("Dorvatek"), QStringLiteral("KVE"));
    settings->beginGroup(QStringLiteral("1.0"));
    return settings;
}

QString record(const QString &lines)
{
    return QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n") + lines + QStringLiteral("end\r\n");
}

} // namespace

class TestGridLayoutStore : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstRunStoresSixteenAlignedLayouts();
    void layoutComesBackInANewSession();
    void storedMarkDoesNotSortTheView();
    void fieldNamesMatchWithoutCase();
    void missingPropertiesReturnToDefaults();
    void brokenTextStopsOnlyItsGrid();
    void emptyTextChangesNothing();
    void nothingLoadsWithoutAnOpenTable();
    void unwritableSettingsAreAnError();
    void storingAllTellsFailuresInOneText();

private:
    MeasurementTable *m_table = nullptr;
};

void TestGridLayoutStore::init()
{
    openSettings()->remove(QString());
    m_table = new MeasurementTable;
    fixture::fillTable(*m_table, fixture::tablePath(), 2, 6);
}

void TestGridLayoutStore::cleanup()
{
    delete m_table;
    m_table = nullptr;
}

void TestGridLayoutStore::firstRunStoresSixteenAlignedLayouts()
{
    Grids grids(*m_table);
    auto settings = openSettings();
    QVERIFY(load_layout_all(*settings, grids.grids, *m_table).isEmpty());
    for (int n = 1; n <= 16; ++n) {
        const QString name = QStringLiteral("Table_%1").arg(n);
        QVERIFY2(settings->contains(name), qPrintable(name));
        const std::vector<ColumnLayout> records = parseLayoutText(settings->value(name).toString());
        QCOMPARE(int(records.size()), 12);
        QCOMPARE(records[3].FieldName, QStringLiteral("MODE"));
        for (const ColumnLayout &r : records)
            QCOMPARE(r.Width, 679 / 12);
        QCOMPARE(grids[n].column(0).Width, 56);
    }
    // What is on disk is the layout text, CR LF lines included.
    settings.reset();
    auto again = openSettings();
    QVERIFY(again->value(QStringLiteral("Table_7")).toString().startsWith(QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n      FieldName = 'N'\r\n")));
}

void TestGridLayoutStore::layoutComesBackInANewSession()
{
    {
        Grids grids(*m_table);
        auto settings = openSettings();
        load_layout_all(*settings, grids.grids, *m_table);
        grids[2].setColumnColor(grids[2].columnOfField(QStringLiteral("COMMENT")), QColor(255, 0, 0));
        grids[2].setColumnColor(grids[2].columnOfField(QStringLiteral("T_2")), QColor(10, 20, 30));
        grids[2].setColumnWidth(grids[2].columnOfField(QStringLiteral("F")), 120);
        grids[2].clickTitle(grids[2].columnOfField(QStringLiteral("F")));
        for (int n = 1; n <= kSeriesCount; ++n)
            save_grid_layout(*settings, QStringLiteral("Table_%1").arg(n), grids[n]);
    }
    // Another table file, new grids and a new settings object read from the file.
    delete m_table;
    m_table = new MeasurementTable;
    fixture::fillTable(*m_table, QDir::current().absoluteFilePath(QStringLiteral("other.db")), 3, 4);
    Grids grids(*m_table);
    auto settings = openSettings();
    QVERIFY(load_layout_all(*settings, grids.grids, *m_table).isEmpty());
    TDBGridPro &g2 = grids[2];
    QCOMPARE(g2.column(g2.columnOfField(QStringLiteral("COMMENT"))).Color->rgb(), QColor(255, 0, 0).rgb());
    QCOMPARE(g2.column(g2.columnOfField(QStringLiteral("T_2"))).Color->rgb(), QColor(10, 20, 30).rgb());
    QCOMPARE(g2.column(g2.columnOfField(QStringLiteral("F"))).Width, 120);
    QCOMPARE(g2.column(g2.columnOfField(QStringLiteral("F"))).TitleState, TitleState::tsSortedUp);
    QCOMPARE(g2.column(g2.columnOfField(QStringLiteral("F"))).SortOrder, 1);
    QCOMPARE(g2.column(g2.columnOfField(QStringLiteral("COMMENT"))).Alignment, ColumnAlignment::talLeftJustify);
    // The other grids did not take grid 2's colours.
    QVERIFY(!grids[1].column(grids[1].columnOfField(QStringLiteral("COMMENT"))).Color);
    QVERIFY(!grids[3].column(grids[3].columnOfField(QStringLiteral("T_2"))).Color);
}

void TestGridLayoutStore::storedMarkDoesNotSortTheView()
{
    auto settings = openSettings();
    settings->setValue(QStringLiteral("Table_1"),
                       record(QStringLiteral("    item\r\n      FieldName = 'N'\r\n      TitleState = tsSortedDown\r\n"
                                             "      SortOrder = 1\r\n    end>\r\n")));
    TDBGridPro grid(*m_table, 1);
    load_grid_layout(*settings, QStringLiteral("Table_1"), grid);
    QCOMPARE(grid.column(0).TitleState, TitleState::tsSortedDown);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));
    QVERIFY(m_table->activeTag().isEmpty());
    QVERIFY(!m_table->hasTag(QStringLiteral("tab1")));
    // The next click on the title sorts again: down -> up, descending.
    grid.clickTitle(0);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({6, 5, 4, 3, 2, 1}));
}

void TestGridLayoutStore::fieldNamesMatchWithoutCase()
{
    auto settings = openSettings();
    settings->setValue(QStringLiteral("Table_4"),
                       record(QStringLiteral("    item\r\n      FieldName = 'XYZ'\r\n      Width = 300\r\n    end\r\n"
                                             "    item\r\n      FieldName = 'f'\r\n      Width = 99\r\n"
                                             "      Color = clAqua\r\n    end\r\n"
                                             "    item\r\n      FieldName = 'Comment'\r\n      Width = 77\r\n    end>\r\n")));
    TDBGridPro grid(*m_table, 4);
    load_grid_layout(*settings, QStringLiteral("Table_4"), grid);
    const int f = grid.columnOfField(QStringLiteral("F"));
    QCOMPARE(grid.column(f).Width, 99);
    QCOMPARE(grid.column(f).Color->rgb(), QColor(0, 255, 255).rgb());
    QCOMPARE(grid.column(f).FieldName, QStringLiteral("F"));
    QCOMPARE(grid.column(11).Width, 77);
    // Columns without a record keep what they had.
    QCOMPARE(grid.column(0).Width, 37);
    QCOMPARE(grid.column(0).Alignment, ColumnAlignment::talCenter);
    for (int i = 0; i < grid.columnCount(); ++i)
        QVERIFY(grid.column(i).Width != 300);
}

void TestGridLayoutStore::missingPropertiesReturnToDefaults()
{
    TDBGridPro grid(*m_table, 5);
    const int f = grid.columnOfField(QStringLiteral("F"));
    grid.setColumnColor(f, QColor(1, 1, 1));
    grid.setTitleState(f, TitleState::tsSortedUp, 1);
    auto settings = openSettings();
    settings->setValue(QStringLiteral("Table_5"), record(QStringLiteral("    item\r\n      FieldName = 'F'\r\n    end>\r\n")));
    load_grid_layout(*settings, QStringLiteral("Table_5"), grid);
    QVERIFY(!grid.column(f).Color);
    QCOMPARE(grid.column(f).TitleState, TitleState::tsSortedNone);
    QCOMPARE(grid.column(f).SortOrder, -1);
    QCOMPARE(grid.column(f).Width, ColumnLayout::kDefaultWidth);
    QCOMPARE(grid.column(f).Alignment, ColumnAlignment::talDefault);
}

void TestGridLayoutStore::brokenTextStopsOnlyItsGrid()
{
    auto settings = openSettings();
    const QString good = record(QStringLiteral("    item\r\n      FieldName = 'P'\r\n      Color = clYellow\r\n    end>\r\n"));
    for (int n = 1; n <= kSeriesCount; ++n)
        settings->setValue(QStringLiteral("Table_%1").arg(n), good);
    settings->setValue(QStringLiteral("Table_2"),
                       record(QStringLiteral("    item\r\n      FieldName = 'P'\r\n      Color = clYellow\r\n    end\r\n"
                                             "    item\r\n      Hidden = True\r\n    end>\r\n")));
    settings->setValue(QStringLiteral("Table_9"), QStringLiteral("garbage"));
    Grids grids(*m_table);
    const QStringList errors = load_layout_all(*settings, grids.grids, *m_table);
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors[0].startsWith(QStringLiteral("Table_2: ")), qPrintable(errors[0]));
    QVERIFY2(errors[0].contains(QStringLiteral("«Hidden»")), qPrintable(errors[0]));
    QVERIFY(errors[1].startsWith(QStringLiteral("Table_9: ")));
    const int p = grids[1].columnOfField(QStringLiteral("P"));
    // The broken grid keeps its layout as it was, even the records before the fault.
    QVERIFY(!grids[2].column(p).Color);
    QVERIFY(!grids[9].column(p).Color);
    for (int n : {1, 3, 8, 10, 16})
        QCOMPARE(grids[n].column(p).Color->rgb(), QColor(255, 255, 0).rgb());
}

void TestGridLayoutStore::emptyTextChangesNothing()
{
    TDBGridPro grid(*m_table, 6);
    grid.setColumnColor(2, QColor(5, 5, 5));
    auto settings = openSettings();
    settings->setValue(QStringLiteral("Table_6"), QString());
    load_grid_layout(*settings, QStringLiteral("Table_6"), grid);
    QCOMPARE(grid.column(2).Color->rgb(), QColor(5, 5, 5).rgb());
    QCOMPARE(grid.column(2).Width, 39);
    QCOMPARE(settings->value(QStringLiteral("Table_6")).toString(), QString());
}

void TestGridLayoutStore::nothingLoadsWithoutAnOpenTable()
{
    m_table->close();
    Grids grids(*m_table);
    auto settings = openSettings();
    QVERIFY(load_layout_all(*settings, grids.grids, *m_table).isEmpty());
    QVERIFY(settings->childKeys().isEmpty());
    // The close step stores all sixteen whether a table is open or not.
    for (int n = 1; n <= kSeriesCount; ++n)
        save_grid_layout(*settings, QStringLiteral("Table_%1").arg(n), grids[n]);
    QCOMPARE(settings->childKeys().size(), 16);
    QCOMPARE(parseLayoutText(settings->value(QStringLiteral("Table_16")).toString()).size(), size_t(12));
}

void TestGridLayoutStore::unwritableSettingsAreAnError()
{
    QFile blocker(QDir::current().absoluteFilePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // The settings file would lie inside a plain file: it cannot be created.
    QSettings settings(blocker.fileName() + QStringLiteral("/KVE.conf"), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("1.0"));
    TDBGridPro grid(*m_table, 1);
    try {
        save_grid_layout(settings, QStringLiteral("Table_1"), grid);
        QFAIL("the layout was reported stored");
    } catch (const LayoutTextError &e) {
        QVERIFY2(e.text().contains(QStringLiteral("Table_1")), qPrintable(e.text()));
    }
}

// The close step stores all sixteen and tells what failed once, with every value named.
void TestGridLayoutStore::storingAllTellsFailuresInOneText()
{
    Grids grids(*m_table);
    auto settings = openSettings();
    QCOMPARE(save_layout_all(*settings, grids.grids), QString());
    QCOMPARE(settings->childKeys().size(), 16);

    QFile blocker(QDir::current().absoluteFilePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSettings blocked(blocker.fileName() + QStringLiteral("/KVE.conf"), QSettings::IniFormat);
    blocked.beginGroup(QStringLiteral("1.0"));
    QCOMPARE(save_layout_all(blocked, grids.grids),
             QStringLiteral("Не удалось записать параметры «Table_1», «Table_2», «Table_3», «Table_4», «Table_5», «Table_6», "
                            "«Table_7», «Table_8», «Table_9», «Table_10», «Table_11», «Table_12», «Table_13», «Table_14», "
                            "«Table_15», «Table_16» в файл настроек ")
                 + blocker.fileName() + QStringLiteral("/KVE.conf: нет доступа"));
}

QTEST_MAIN(TestGridLayoutStore)
#include "tst_GridLayoutStore.moc"
