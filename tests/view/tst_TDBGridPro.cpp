#include "GridFixture.h"

#include "store/SeriesNames.h"
#include "view/ColumnFit.h"
#include "view/GridCommands.h"
#include "view/TDBGridPro.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace kve;
using fixture::numbers;
using fixture::shownColumn;

Q_DECLARE_METATYPE(kve::TitleState)

class TestTDBGridPro : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void columnsAsDesigned();
    void gridSettings();
    void rowsAreTheTablesView();
    void columnFitting_data();
    void columnFitting();
    void fitsVisibleColumnsToWidth();

    void clickTable_data();
    void clickTable();
    void plainClickClearsOtherMarks();
    void threeClicksThenCtrlClick_data();
    void threeClicksThenCtrlClick();
    void textColumnsSortAsTextNumberAsNumber();
    void orderStaysOnAnotherSeriesWithoutMarks();
    void mouseClicksOnTitles();

    void coloursBelongToOneGridsColumns();
    void alignColumnsOn679Pixels();

    void editorStoresNote();
    void editorRefuses_data();
    void editorRefuses();
    void readOnlyColumnsDoNotEdit();
    void tabDoesNotStartEdit();
    void contextMenuOnRightClick();

private:
    MeasurementTable *m_table = nullptr;
};

void TestTDBGridPro::init()
{
    QLocale::setDefault(QLocale(QLocale::Russian));
    m_table = new MeasurementTable;
    fixture::fillTable(*m_table, fixture::tablePath(), 16, 6);
}

void TestTDBGridPro::cleanup()
{
    delete m_table;
    m_table = nullptr;
}

void TestTDBGridPro::columnsAsDesigned()
{
    TDBGridPro grid(*m_table, 1);
    struct Expected {
        const char *field;
        QString title;
        int width;
        ColumnAlignment alignment;
        bool readOnly, visible;
        int layoutIndex;
    };
    const auto C = ColumnAlignment::talCenter;
    const QString es = QString(QChar(0x0421));   // Cyrillic capital Es
    const Expected expected[] = {
        {"N", QStringLiteral("№ измерения"), 37, C, true, true, 0},
        {"DATE", QStringLiteral("Дата"), 36, C, true, true, 0},
        {"TIME", QStringLiteral("Время"), 39, C, true, true, 1},
        {"MODE", QStringLiteral("Режим"), 82, C, true, false, 2},
        {"T_1", QStringLiteral("t 1, Температура, \u00B0") + es, 57, C, true, true, 0},
        {"T_2", QStringLiteral("t 2, Температура, \u00B0C"), 65, C, true, true, 0},
        {"T_3", QStringLiteral("t 3, Температура, \u00B0C"), 65, C, true, true, 0},
        {"P_1", QStringLiteral("t 4, Температура, \u00B0C"), 53, C, true, true, 0},
        {"P_2", QStringLiteral("t ср, Температура \u00B0") + es + QStringLiteral("."), 53, C, true, true, 0},
        {"F", QStringLiteral("H , Глубина погружения м."), 63, C, true, true, 0},
        {"P", QStringLiteral("к, Коэффициент черноты"), 97, C, true, true, 0},
        {"COMMENT", QStringLiteral("Примечание"), 100, ColumnAlignment::talLeftJustify, false, true, 0},
    };
    QCOMPARE(grid.columnCount(), 12);
    for (int i = 0; i < 12; ++i) {
        const TgpColumn &c = grid.column(i);
        const Expected &e = expected[i];
        QCOMPARE(c.FieldName, QString::fromLatin1(e.field));
        QCOMPARE(c.Title, e.title);
        QCOMPARE(grid.view()->model()->headerData(i, Qt::Horizontal).toString(), e.title);
        QCOMPARE(c.Width, e.width);
        QCOMPARE(c.Alignment, e.alignment);
        QCOMPARE(c.ReadOnly, e.readOnly);
        QCOMPARE(grid.view()->isColumnHidden(i), !e.visible);
        QCOMPARE(c.LayoutIndex, e.layoutIndex);
        QCOMPARE(c.LayoutLevel, 0);
        QVERIFY(!c.Color);
        QCOMPARE(c.TitleState, TitleState::tsSortedNone);
        QCOMPARE(c.SortOrder, -1);
        const QModelIndex cell = grid.view()->model()->index(0, i);
        QCOMPARE(bool(cell.flags() & Qt::ItemIsEditable), !e.readOnly);
        const int align = cell.data(Qt::TextAlignmentRole).toInt();
        QCOMPARE(bool(align & Qt::AlignHCenter), e.alignment == C);
    }
    // The title letters: Cyrillic Es after the degree sign in t 1 and t ср only.
    QCOMPARE(grid.column(4).Title.at(grid.column(4).Title.size() - 1).unicode(), char16_t(0x0421));
    QCOMPARE(grid.column(5).Title.back().unicode(), char16_t('C'));
    QCOMPARE(grid.column(7).Title.back().unicode(), char16_t('C'));
    QCOMPARE(grid.column(8).Title.at(grid.column(8).Title.size() - 2).unicode(), char16_t(0x0421));
    // No column for EN_CH, SER, ST, D, A.
    for (const char *f : {"EN_CH", "SER", "ST", "D", "A"})
        QCOMPARE(grid.columnOfField(QString::fromLatin1(f)), -1);
    QVERIFY(grid.bookmarkFields().isEmpty());
}

void TestTDBGridPro::gridSettings()
{
    TDBGridPro grid(*m_table, 1);
    grid.resize(700, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QTableView *view = grid.view();
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(!view->horizontalHeader()->sectionsMovable());
    QVERIFY(!view->dragEnabled());
    QCOMPARE(view->dragDropMode(), QAbstractItemView::NoDragDrop);
    QVERIFY(view->showGrid());
    QStyleOptionViewItem option;
    QCOMPARE(QColor::fromRgba(QRgb(view->style()->styleHint(QStyle::SH_Table_GridLineColor, &option, view))),
             QColor(192, 192, 192));
    // Two text lines fit into the titles.
    QVERIFY(view->horizontalHeader()->height() >= 2 * view->horizontalHeader()->fontMetrics().lineSpacing());
    QCOMPARE(view->horizontalHeader()->font().family(), QStringLiteral("MS Sans Serif"));
    // The footer line is under the rows, inside the grid.
    QWidget *footer = nullptr;
    for (QWidget *w : grid.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w != view && w->isVisible())
            footer = w;
    }
    QVERIFY(footer);
    QVERIFY(footer->height() > 0);
    QVERIFY(footer->geometry().top() >= view->geometry().bottom());
    QCOMPARE(view->accessibleName(), QStringLiteral("Серия №1"));

    // A click, a Ctrl-click and a Shift-click select one, two and a range of rows.
    const auto rowCentre = [view](int row) { return view->visualRect(view->model()->index(row, 1)).center(); };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(1));
    QCOMPARE(grid.selectedRows(), QList<int>({1}));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(4));
    QCOMPARE(grid.selectedRows(), QList<int>({1, 2, 3, 4}));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
    QCOMPARE(grid.selectedRows(), QList<int>({1, 3, 4}));
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QVERIFY(grid.selectedRows().contains(3));
    // A whole row is selected, every cell of it.
    QVERIFY(view->selectionModel()->isSelected(view->model()->index(2, 11)));
}

void TestTDBGridPro::rowsAreTheTablesView()
{
    TDBGridPro grid(*m_table, 2);
    QCOMPARE(grid.view()->model()->rowCount(), 6);
    QCOMPARE(shownColumn(grid, QStringLiteral("T_1")), QStringList({"1,1", "1,2", "1,3", "1,4", "1,5", "1,6"}));
    fixture::showSeries(*m_table, 2);
    QCOMPARE(shownColumn(grid, QStringLiteral("T_1")), QStringList({"2,1", "2,2", "2,3", "2,4", "2,5", "2,6"}));
    m_table->setFilter(QStringLiteral("EN_CH=17"));
    m_table->refresh();
    QCOMPARE(grid.view()->model()->rowCount(), 0);
    m_table->close();
    QCOMPARE(grid.view()->model()->rowCount(), 0);
    m_table->open();
    QCOMPARE(grid.view()->model()->rowCount(), 0);
    fixture::showSeries(*m_table, 3);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));
}

void TestTDBGridPro::columnFitting_data()
{
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<int>("available");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("equal, exact") << QList<int>{56, 56, 56} << 300 << QList<int>{100, 100, 100};
    QTest::newRow("equal, remainder spread") << QList<int>{56, 56, 56} << 100 << QList<int>{33, 34, 33};
    QTest::newRow("proportions kept") << QList<int>{10, 30} << 200 << QList<int>{50, 150};
    QTest::newRow("all zero: equal parts") << QList<int>{0, 0} << 11 << QList<int>{6, 5};
    QTest::newRow("no room") << QList<int>{10, 30} << 0 << QList<int>{0, 0};
    QTest::newRow("huge widths do not overflow") << QList<int>{2000000000, 2000000000} << 1000 << QList<int>{500, 500};
}

void TestTDBGridPro::columnFitting()
{
    QFETCH(QList<int>, widths);
    QFETCH(int, available);
    QFETCH(QList<int>, expected);
    const std::vector<int> got = fitColumnWidths(std::vector<int>(widths.begin(), widths.end()), available);
    QCOMPARE(QList<int>(got.begin(), got.end()), expected);
}

void TestTDBGridPro::fitsVisibleColumnsToWidth()
{
    TDBGridPro grid(*m_table, 1);
    grid.resize(900, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const int available = grid.view()->viewport()->width();
    int sum = 0;
    for (int i = 0; i < 12; ++i) {
        if (!grid.view()->isColumnHidden(i))
            sum += grid.displayedWidth(i);
    }
    QCOMPARE(sum, available);
    // Proportional to the design widths: COMMENT (100) against DATE (36).
    QVERIFY(qAbs(grid.displayedWidth(11) * 36 - grid.displayedWidth(1) * 100) <= 100 + 36);
    // A wider grid widens the columns and still fills.
    grid.resize(1200, 400);
    QTRY_VERIFY(grid.view()->viewport()->width() > available);
    sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += grid.view()->isColumnHidden(i) ? 0 : grid.displayedWidth(i);
    QCOMPARE(sum, grid.view()->viewport()->width());
    QCOMPARE(grid.column(11).Width, 100);   // relative widths stay as they were
}

void TestTDBGridPro::clickTable_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<TitleState>("before");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<TitleState>("after");
    QTest::addColumn<bool>("reported");

    const auto none = TitleState::tsSortedNone, up = TitleState::tsSortedUp, down = TitleState::tsSortedDown;
    const int plain = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    for (const char *field : {"N", "F", "DATE", "COMMENT"}) {
        const QByteArray f(field);
        QTest::newRow(f + ": none, plain") << QString(f) << none << plain << up << true;
        QTest::newRow(f + ": none, shift") << QString(f) << none << shift << up << true;
        QTest::newRow(f + ": none, ctrl") << QString(f) << none << ctrl << none << false;
        QTest::newRow(f + ": up, plain") << QString(f) << up << plain << down << true;
        QTest::newRow(f + ": up, shift") << QString(f) << up << shift << down << true;
        QTest::newRow(f + ": up, ctrl") << QString(f) << up << ctrl << none << true;
        QTest::newRow(f + ": down, plain") << QString(f) << down << plain << up << true;
        QTest::newRow(f + ": down, ctrl") << QString(f) << down << ctrl << none << true;
        QTest::newRow(f + ": down, ctrl+shift") << QString(f) << down << (ctrl | shift) << none << true;
    }
}

void TestTDBGridPro::clickTable()
{
    QFETCH(QString, field);
    QFETCH(TitleState, before);
    QFETCH(int, modifiers);
    QFETCH(TitleState, after);
    QFETCH(bool, reported);

    TDBGridPro grid(*m_table, 1);
    const int column = grid.columnOfField(field);
    // Reach the starting mark through clicks, as the operator would.
    if (before != TitleState::tsSortedNone)
        grid.clickTitle(column);
    if (before == TitleState::tsSortedDown)
        grid.clickTitle(column);
    QCOMPARE(grid.column(column).TitleState, before);
    const QStringList orderBefore = shownColumn(grid, QStringLiteral("N"));

    QSignalSpy spy(&grid, &TDBGridPro::titleStateChange);
    grid.clickTitle(column, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(grid.column(column).TitleState, after);
    QCOMPARE(spy.count(), reported ? 1 : 0);
    QCOMPARE(grid.column(column).SortOrder, after == TitleState::tsSortedNone ? -1 : 1);
    if (!reported)
        QCOMPARE(shownColumn(grid, QStringLiteral("N")), orderBefore);
    if (after == TitleState::tsSortedNone) {
        QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));
        QVERIFY(m_table->activeTag().isEmpty());
        QVERIFY(!m_table->hasTag(QStringLiteral("tab1")));
    } else {
        QCOMPARE(m_table->activeTag(), QStringLiteral("tab1"));
    }
}

void TestTDBGridPro::plainClickClearsOtherMarks()
{
    TDBGridPro grid(*m_table, 1);
    const int f = grid.columnOfField(QStringLiteral("F"));
    const int n = grid.columnOfField(QStringLiteral("N"));
    grid.clickTitle(f);
    QCOMPARE(grid.column(f).SortOrder, 1);
    grid.clickTitle(n, Qt::ShiftModifier);
    QCOMPARE(grid.column(f).TitleState, TitleState::tsSortedNone);
    QCOMPARE(grid.column(f).SortOrder, -1);
    QCOMPARE(grid.column(n).TitleState, TitleState::tsSortedUp);
    QCOMPARE(grid.column(n).SortOrder, 1);
    int marked = 0;
    for (int i = 0; i < grid.columnCount(); ++i)
        marked += grid.column(i).TitleState != TitleState::tsSortedNone;
    QCOMPARE(marked, 1);
    // Sorted by N now, descending, not by F.
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({6, 5, 4, 3, 2, 1}));
}

void TestTDBGridPro::threeClicksThenCtrlClick_data()
{
    QTest::addColumn<int>("series");
    for (int s = 1; s <= kve::kSeriesCount; ++s)
        QTest::newRow(qPrintable(QStringLiteral("series %1").arg(s))) << s;
}

void TestTDBGridPro::threeClicksThenCtrlClick()
{
    QFETCH(int, series);
    fixture::showSeries(*m_table, series);
    TDBGridPro grid(*m_table, series);
    const int f = grid.columnOfField(QStringLiteral("F"));
    QStringList texts;
    for (int n = 1; n <= 6; ++n)
        texts << fixture::fText(series, n);
    QStringList ascending = texts;
    std::sort(ascending.begin(), ascending.end());
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());

    const QString tag = QStringLiteral("tab%1").arg(series);
    grid.clickTitle(f);
    QCOMPARE(grid.column(f).TitleState, TitleState::tsSortedUp);
    QCOMPARE(m_table->activeTag(), tag);
    QCOMPARE(shownColumn(grid, QStringLiteral("F")), descending);
    grid.clickTitle(f);
    QCOMPARE(grid.column(f).TitleState, TitleState::tsSortedDown);
    QCOMPARE(shownColumn(grid, QStringLiteral("F")), ascending);
    grid.clickTitle(f);
    QCOMPARE(shownColumn(grid, QStringLiteral("F")), descending);
    grid.clickTitle(f, Qt::ControlModifier);
    QCOMPARE(grid.column(f).TitleState, TitleState::tsSortedNone);
    QCOMPARE(shownColumn(grid, QStringLiteral("F")), texts);
    QVERIFY(m_table->activeTag().isEmpty());
    QVERIFY(!m_table->hasTag(tag));
}

void TestTDBGridPro::textColumnsSortAsTextNumberAsNumber()
{
    fixture::fillTable(*m_table, fixture::tablePath(), 1, 12);
    TDBGridPro grid(*m_table, 1);
    grid.clickTitle(grid.columnOfField(QStringLiteral("N")));
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    grid.clickTitle(grid.columnOfField(QStringLiteral("T_1")));
    // "1,9" > "1,2" > "1,12" > "1,10" > "1,1" as texts.
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({9, 8, 7, 6, 5, 4, 3, 2, 12, 11, 10, 1}));
    grid.clickTitle(grid.columnOfField(QStringLiteral("T_1")));
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 10, 11, 12, 2, 3, 4, 5, 6, 7, 8, 9}));
}

void TestTDBGridPro::orderStaysOnAnotherSeriesWithoutMarks()
{
    TDBGridPro grid1(*m_table, 1);
    TDBGridPro grid2(*m_table, 2);
    grid1.clickTitle(grid1.columnOfField(QStringLiteral("F")));
    fixture::showSeries(*m_table, 2);
    // Series 2 by F descending as text: 3,40 2,10 12,00 11,00 10,20 0,75.
    QCOMPARE(shownColumn(grid2, QStringLiteral("N")), numbers({5, 2, 6, 3, 1, 4}));
    for (int i = 0; i < grid2.columnCount(); ++i)
        QCOMPARE(grid2.column(i).TitleState, TitleState::tsSortedNone);
    QCOMPARE(grid1.column(grid1.columnOfField(QStringLiteral("F"))).TitleState, TitleState::tsSortedUp);
    // "Убрать сортировку" on page 2 leaves record order and does not touch grid 1's marks.
    remove_sort(grid2);
    QCOMPARE(shownColumn(grid2, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));
    QCOMPARE(grid1.column(grid1.columnOfField(QStringLiteral("F"))).TitleState, TitleState::tsSortedUp);
    QVERIFY(m_table->activeTag().isEmpty());
    QVERIFY(m_table->hasTag(QStringLiteral("tab1")));
}

void TestTDBGridPro::mouseClicksOnTitles()
{
    TDBGridPro grid(*m_table, 1);
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QHeaderView *header = grid.view()->horizontalHeader();
    const int n = grid.columnOfField(QStringLiteral("N"));
    const QPoint centre(header->sectionViewportPosition(n) + header->sectionSize(n) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(grid.column(n).TitleState, TitleState::tsSortedUp);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({6, 5, 4, 3, 2, 1}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::ShiftModifier, centre);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));
    QCOMPARE(grid.column(n).TitleState, TitleState::tsSortedDown);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::ControlModifier, centre);
    QCOMPARE(grid.column(n).TitleState, TitleState::tsSortedNone);
    QVERIFY(!m_table->hasTag(QStringLiteral("tab1")));
}

void TestTDBGridPro::coloursBelongToOneGridsColumns()
{
    TDBGridPro grid1(*m_table, 1);
    TDBGridPro grid2(*m_table, 1);
    const int f = grid1.columnOfField(QStringLiteral("F"));
    const int p = grid1.columnOfField(QStringLiteral("P"));
    grid1.setCurrentColumn(f);
    set_current_column_colour(grid1, QColor(0, 128, 0));
    grid1.setCurrentColumn(p);
    set_current_column_colour(grid1, QColor(1, 2, 3));
    QCOMPARE(grid1.column(f).Color->rgb(), QColor(0, 128, 0).rgb());
    QVERIFY(!grid2.column(f).Color);
    const QAbstractItemModel *model = grid1.view()->model();
    QCOMPARE(model->index(2, f).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(0, 128, 0));
    QVERIFY(!model->index(2, f - 1).data(Qt::BackgroundRole).isValid());
    QVERIFY(!grid2.view()->model()->index(2, f).data(Qt::BackgroundRole).isValid());
    // The colour stays on its column whatever the view shows.
    fixture::showSeries(*m_table, 3);
    QCOMPARE(model->index(0, f).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(0, 128, 0));
    // "Убрать цвет" only on the column with the cell cursor.
    set_current_column_colour(grid1, std::nullopt);
    QVERIFY(!grid1.column(p).Color);
    QVERIFY(grid1.column(f).Color);
    // "Убрать все цвета", the hidden column included.
    grid1.setColumnColor(grid1.columnOfField(QStringLiteral("MODE")), QColor(255, 0, 0));
    clear_column_colours(grid1);
    for (int i = 0; i < grid1.columnCount(); ++i)
        QVERIFY(!grid1.column(i).Color);
}

void TestTDBGridPro::alignColumnsOn679Pixels()
{
    TDBGridPro grid(*m_table, 1);
    grid.resize(679, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QCOMPARE(grid.width(), 679);
    align_columns(grid);
    QVERIFY(grid.autoColumnFit());
    for (int i = 0; i < grid.columnCount(); ++i)
        QCOMPARE(grid.column(i).Width, 56);
    // The eleven visible columns fill the width in equal parts.
    const int available = grid.view()->viewport()->width();
    int sum = 0, smallest = available, largest = 0;
    for (int i = 0; i < grid.columnCount(); ++i) {
        if (grid.view()->isColumnHidden(i))
            continue;
        sum += grid.displayedWidth(i);
        smallest = std::min(smallest, grid.displayedWidth(i));
        largest = std::max(largest, grid.displayedWidth(i));
    }
    QCOMPARE(sum, available);
    QVERIFY(largest - smallest <= 1);
}

void TestTDBGridPro::editorStoresNote()
{
    TDBGridPro grid(*m_table, 1);
    bool modified = false;
    connect(&grid, &TDBGridPro::initEdit, this, [&modified] { modified = true; });
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QModelIndex cell = grid.view()->model()->index(2, grid.columnOfField(QStringLiteral("COMMENT")));
    grid.view()->setCurrentIndex(cell);
    grid.view()->edit(cell);
    QVERIFY(grid.isEditing());
    QVERIFY(modified);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->accessibleName(), QStringLiteral("Примечание"));
    fixture::typeText(editor, QStringLiteral("Скважина №3 — ок €"));
    QCOMPARE(editor->text(), QStringLiteral("Скважина №3 — ок €"));
    grid.commitEdit();
    QVERIFY(!grid.isEditing());
    QCOMPARE(m_table->textAt(2, fieldIndex(QStringLiteral("COMMENT"))), QStringLiteral("Скважина №3 — ок €"));
    // It is in the file.
    m_table->close();
    m_table->open();
    QCOMPARE(m_table->textAt(2, fieldIndex(QStringLiteral("COMMENT"))), QStringLiteral("Скважина №3 — ок €"));
    QCOMPARE(m_table->textAt(2, fieldIndex(QStringLiteral("N"))), QStringLiteral("3"));
}

void TestTDBGridPro::editorRefuses_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Chinese") << QStringLiteral("ab中c") << QStringLiteral("abc") << QStringLiteral("«中»");
    QTest::newRow("emoji") << QStringLiteral("x\U0001F600y") << QStringLiteral("xy") << QStringLiteral("\U0001F600");
    QTest::newRow("Greek") << QStringLiteral("αβ") << QString() << QStringLiteral("«β»");
    QTest::newRow("51 characters") << QString(51, QLatin1Char('z')) << QString(50, QLatin1Char('z'))
                                   << QStringLiteral("не более 50");
}

void TestTDBGridPro::editorRefuses()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(QString, reason);
    TDBGridPro grid(*m_table, 1);
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy refused(&grid, &TDBGridPro::inputRefused);
    const QModelIndex cell = grid.view()->model()->index(0, grid.columnOfField(QStringLiteral("COMMENT")));
    grid.view()->setCurrentIndex(cell);
    grid.view()->edit(cell);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    fixture::typeText(editor, typed);
    QCOMPARE(editor->text(), kept);
    QVERIFY(refused.count() > 0);
    QVERIFY2(grid.lastRefusal().contains(reason), qPrintable(grid.lastRefusal()));
    // A paste is refused as a whole.
    editor->clear();
    editor->insert(typed);
    QCOMPARE(editor->text(), QString());
    grid.commitEdit();
    QCOMPARE(m_table->textAt(0, fieldIndex(QStringLiteral("COMMENT"))), QString());
    // Even past the editor, the model does not store what the table cannot hold.
    QVERIFY(!grid.view()->model()->setData(cell, typed));
    QVERIFY(!m_table->textAt(0, fieldIndex(QStringLiteral("COMMENT"))).contains(QLatin1Char('?')));
}

void TestTDBGridPro::readOnlyColumnsDoNotEdit()
{
    TDBGridPro grid(*m_table, 1);
    QSignalSpy spy(&grid, &TDBGridPro::initEdit);
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    for (int i = 0; i < grid.columnCount() - 1; ++i) {
        const QModelIndex cell = grid.view()->model()->index(0, i);
        grid.view()->setCurrentIndex(cell);
        grid.view()->edit(cell);
        QVERIFY(!grid.isEditing());
        QVERIFY(!grid.view()->model()->setData(cell, QStringLiteral("7")));
    }
    QCOMPARE(spy.count(), 0);
    QCOMPARE(shownColumn(grid, QStringLiteral("N")), numbers({1, 2, 3, 4, 5, 6}));
}

void TestTDBGridPro::tabDoesNotStartEdit()
{
    TDBGridPro grid(*m_table, 1);
    QSignalSpy spy(&grid, &TDBGridPro::initEdit);
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.view()->setFocus();
    grid.view()->setCurrentIndex(grid.view()->model()->index(0, grid.columnOfField(QStringLiteral("P"))));
    // Tab leaves the grid (it is no cell move and no edit); Right goes to the note.
    QTest::keyClick(grid.view(), Qt::Key_Tab);
    QCOMPARE(grid.currentColumn(), grid.columnOfField(QStringLiteral("P")));
    QVERIFY(!grid.isEditing());
    QCOMPARE(spy.count(), 0);
    QTest::keyClick(grid.view(), Qt::Key_Right);
    QCOMPARE(grid.currentColumn(), grid.columnOfField(QStringLiteral("COMMENT")));
    QVERIFY(!grid.isEditing());
    QCOMPARE(spy.count(), 0);
    // Typing does start it, and the key goes into the note.
    QTest::keyClick(grid.view(), Qt::Key_A);
    QVERIFY(grid.isEditing());
    QCOMPARE(spy.count(), 1);
    auto *editor = grid.view()->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("a"));
    grid.commitEdit();
    QVERIFY(!grid.isEditing());
    QCOMPARE(m_table->textAt(0, fieldIndex(QStringLiteral("COMMENT"))), QStringLiteral("a"));
}

void TestTDBGridPro::contextMenuOnRightClick()
{
    TDBGridPro grid(*m_table, 1);
    QMenu menu;
    menu.addAction(QStringLiteral("Задать цвет"));
    grid.setPopupMenu(&menu);
    QCOMPARE(grid.popupMenu(), &menu);
    grid.resize(800, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QWidget *viewport = grid.view()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), viewport->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(viewport, &event);
    QTRY_VERIFY(menu.isVisible());
    menu.close();
}

QTEST_MAIN(TestTDBGridPro)
#include "tst_TDBGridPro.moc"
