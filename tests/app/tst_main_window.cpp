#include "ExpectedTableHeader.h"
#include "FakeNotifier.h"
#include "ModalHelper.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "store/AppTitle.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"
#include "view/TDBGridPro.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using testing::whenModal;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A table with the given series, `rows` rows each.
void makeTable(const QString &path, const QList<int> &series, int rows = 2)
{
    kve::MeasurementTable t;
    t.setFilePath(path);
    t.create();
    for (int s : series) {
        for (int n = 1; n <= rows; ++n) {
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

// Typing as a keyboard does, one key event per character (Cyrillic included).
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// "Перенумеровать строки" (N37) is enabled with them too, but a hidden Qt action always
// reports itself disabled, so it is left out of these checks.
using kve::MenuItem;
using kve::MenuItems;
const MenuItem kWithTable[] = {&MenuItems::N5,  &MenuItems::N7,  &MenuItems::N8,  &MenuItems::N9,  &MenuItems::N23, &MenuItems::N17,
                               &MenuItems::N18, &MenuItems::N19, &MenuItems::N33, &MenuItems::N21, &MenuItems::Excel1};

} // namespace

Q_DECLARE_METATYPE(kve::MenuItem)

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<kve::ProgramWindows> m_windows;
    TForm1 *main() { return m_windows->form1.get(); }
    QAction *action(MenuItem item) { return main()->items().*item; }
    QString path(const QString &name) { return m_dir.filePath(name); }

    QList<int> visibleTabs()
    {
        QList<int> out;
        for (int i = 0; i < kve::kSeriesCount; ++i) {
            if (main()->pageControl()->isTabVisible(i))
                out << i + 1;
        }
        return out;
    }

    // The N column of a series' grid, top to bottom.
    QStringList shownNumbers(int series)
    {
        const kve::TDBGridPro *grid = main()->grid(series);
        const QAbstractItemModel *model = grid->view()->model();
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, grid->columnOfField("N")).data().toString();
        return out;
    }

    void selectRow(int series, int row)
    {
        QTableView *view = main()->grid(series)->view();
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    void openThroughMenu(const QString &file)
    {
        auto record = whenModal(testing::chooseFile(file));
        main()->items().N3->trigger();
        QVERIFY2(record->answered, qPrintable(record->problem));
    }

private slots:
    void init()
    {
        QDir::setCurrent(m_dir.path());
        m_windows = std::make_unique<kve::ProgramWindows>();
        main()->show();
    }

    void cleanup()
    {
        testing::stopWatchers();
        if (m_windows)
            main()->setDbModified(false);
        m_windows.reset();
        QSettings settings("Dorvatek", "KVE");
        settings.clear();
    }

    void startsInNoFileState()
    {
        for (MenuItem item : kWithTable)
            QVERIFY2(!action(item)->isEnabled(), qPrintable(action(item)->objectName()));
        QVERIFY(!main()->items().N15->isEnabled());
        QVERIFY(!main()->items().N39->isEnabled());
        for (MenuItem item : {&MenuItems::N4, &MenuItems::N37, &MenuItems::N15, &MenuItems::N39, &MenuItems::N27})
            QVERIFY2(!action(item)->isVisible(), qPrintable(action(item)->objectName()));
        for (MenuItem item : {&MenuItems::N2, &MenuItems::N3, &MenuItems::N11, &MenuItems::N24, &MenuItems::N26})
            QVERIFY2(action(item)->isEnabled(), qPrintable(action(item)->objectName()));
        QVERIFY(!main()->pageControl()->isVisible());
        QCOMPARE(main()->windowTitle(), QString("ЖОРД-ЗР7"));
        QVERIFY(!main()->isFileOpenColour());
        QVERIFY(main()->windowState() & Qt::WindowMaximized);
    }

    // Tests, accessibility and stored layouts know the components by these names.
    void itemsKeepTheirComponentNames()
    {
        const kve::MenuItems &m = main()->items();
        const QList<std::pair<QObject *, QString>> named{
            {m.N1, "N1"},         {m.N2, "N2"},         {m.N3, "N3"},         {m.N4, "N4"},
            {m.N5, "N5"},         {m.N7, "N7"},         {m.N8, "N8"},         {m.N9, "N9"},
            {m.N11, "N11"},       {m.N16, "N16"},       {m.N23, "N23"},       {m.N17, "N17"},
            {m.N18, "N18"},       {m.N19, "N19"},       {m.N33, "N33"},       {m.N20, "N20"},
            {m.N21, "N21"},       {m.N14, "N14"},       {m.Excel1, "Excel1"}, {m.N37, "N37"},
            {m.N15, "N15"},       {m.N39, "N39"},       {m.N22, "N22"},       {m.N24, "N24"},
            {m.N26, "N26"},       {m.N27, "N27"},       {m.N28, "N28"},       {m.N29, "N29"},
            {m.N30, "N30"},       {m.N31, "N31"},       {m.N32, "N32"},       {m.N34, "N34"},
            {m.ToolButton1, "ToolButton1"}, {m.ToolButton2, "ToolButton2"}, {m.ToolButton3, "ToolButton3"},
            {m.ToolButton4, "ToolButton4"}, {m.ToolButton5, "ToolButton5"}, {m.ToolButton6, "ToolButton6"},
            {m.ToolButton6Action, "ToolButton6Action"}};
        for (const auto &[object, name] : named) {
            QVERIFY2(object, qPrintable(name));
            QCOMPARE(object->objectName(), name);
        }
        // Each member is the object the window shows there.
        QCOMPARE(main()->menuBar()->actions().first(), m.N1->menuAction());
        QVERIFY(m.N1->actions().contains(m.N11));
        QVERIFY(m.N14->actions().contains(m.Excel1));
        QVERIFY(main()->popupMenu()->actions().contains(m.N34));
        const QList<std::pair<QToolButton *, QAction *>> buttons{{m.ToolButton1, m.N2}, {m.ToolButton2, m.N3},
                                                                 {m.ToolButton3, m.N5}, {m.ToolButton4, m.N8},
                                                                 {m.ToolButton5, m.N9}, {m.ToolButton6, m.ToolButton6Action}};
        for (const auto &[button, action] : buttons) {
            QCOMPARE(button->defaultAction(), action);
            QCOMPARE(main()->toolBar()->widgetForAction(action), static_cast<QWidget *>(button));
        }
    }

    void menusHaveTheirCaptionsAndOrder()
    {
        QStringList top;
        for (QAction *a : main()->menuBar()->actions())
            top << a->text();
        QCOMPARE(top, QStringList({"Файл", "Вид", "Правка", "Сервис", "Справка"}));
        QStringList file;
        for (QAction *a : main()->menuBar()->actions().first()->menu()->actions())
            file << (a->isSeparator() ? QString("-") : a->text());
        QCOMPARE(file, QStringList({"Создать", "Открыть", "Дополнить", "Сохранить", "Закрыть", "-", "Предварительный просмотр",
                                    "Печать", "-", "Выход"}));
        QCOMPARE(main()->items().N2->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(main()->items().N9->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
        QCOMPARE(main()->items().N24->shortcut(), QKeySequence(Qt::Key_F1));
        QStringList popup;
        for (QAction *a : main()->popupMenu()->actions())
            popup << (a->isSeparator() ? QString("-") : a->text());
        QCOMPARE(popup, QStringList({"График", "Печать", "-", "Задать цвет", "Убрать цвет", "Убрать все цвета", "-",
                                     "Выровнять столбцы", "-", "Удалить"}));
        // Six toolbar buttons, each named by its command for screen readers.
        QStringList buttons;
        for (QAction *a : main()->toolBar()->actions())
            buttons << main()->toolBar()->widgetForAction(a)->accessibleName();
        QCOMPARE(buttons, QStringList({"Создать", "Открыть", "Сохранить", "Предварительный просмотр", "Печать", "Помощь"}));
    }

    void disabledShortcutDoesNothing()
    {
        QSignalSpy saved(main()->items().N5, &QAction::triggered);
        QTest::keyClick(main(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saved.count(), 0);
    }

    void openShowsTabsOfPresentSeries()
    {
        makeTable(path("two_five.db"), {5, 2});
        openThroughMenu(path("two_five.db"));
        QVERIFY(main()->table().isOpen());
        QCOMPARE(visibleTabs(), QList<int>({2, 5}));
        QCOMPARE(main()->activeSeries(), 2);
        QCOMPARE(main()->table().filter(), QString("EN_CH=2"));
        QVERIFY(main()->table().filtered());
        QCOMPARE(main()->table().recordCount(), 2);
        QCOMPARE(main()->windowTitle(), QString("two_five - ЖОРД-ЗР7"));
        QCOMPARE(kve::applicationTitle(), QString("two_five - ЖОРД-ЗР7"));
        QVERIFY(main()->isFileOpenColour());
        for (MenuItem item : kWithTable)
            QVERIFY2(action(item)->isEnabled(), qPrintable(action(item)->objectName()));
        QVERIFY(!main()->items().N15->isEnabled());
        QVERIFY(!main()->items().N39->isEnabled());

        main()->pageControl()->setCurrentIndex(4);
        QCOMPARE(main()->table().filter(), QString("EN_CH=5"));

        main()->items().N7->trigger();
        QVERIFY(!main()->table().isOpen());
        QCOMPARE(main()->windowTitle(), QString("ЖОРД-ЗР7"));
        QVERIFY(!main()->isFileOpenColour());
        QVERIFY(!main()->pageControl()->isVisible());
        for (MenuItem item : kWithTable)
            QVERIFY2(!action(item)->isEnabled(), qPrintable(action(item)->objectName()));
    }

    void emptyFileShowsNoTabs()
    {
        makeTable(path("empty.db"), {});
        openThroughMenu(path("empty.db"));
        QVERIFY(main()->dbOpen());
        QVERIFY(main()->pageControl()->isVisible());
        QCOMPARE(visibleTabs(), QList<int>());
    }

    void badFileLeavesNoFileState_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::newRow("not a table") << QByteArray("just text") << true;
        QTest::newRow("typed name that does not exist") << QByteArray() << false;
    }

    void badFileLeavesNoFileState()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        makeTable(path("good.db"), {1});
        openThroughMenu(path("good.db"));
        QVERIFY(main()->dbOpen());
        const QString bad = path(QStringLiteral("bad_%1.db").arg(QTest::currentDataTag()).replace(' ', '_'));
        if (exists) {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        testing::FakeNotifier boxes;
        boxes.queue(QMessageBox::Ok);
        auto dialog = whenModal(testing::chooseFile(bad));
        main()->items().N3->trigger();
        QVERIFY2(dialog->answered, qPrintable(dialog->problem));
        QCOMPARE(boxes.messages.size(), 1);
        QCOMPARE(boxes.messages[0].text, QString("База данных повреждена !"));
        QCOMPARE(boxes.messages[0].caption, QString("Ошибка"));
        QCOMPARE(boxes.messages[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes.messages[0].parent.data(), static_cast<QWidget *>(main()));
        QCOMPARE(boxes.problems(), QStringList());
        QVERIFY(!main()->dbOpen());
        QVERIFY(!main()->table().isOpen());
        QVERIFY(!main()->items().N5->isEnabled());
        QCOMPARE(main()->windowTitle(), QString("ЖОРД-ЗР7"));
        QCOMPARE(QFile::exists(bad), exists);
        if (exists)
            QCOMPARE(readAll(bad), bytes);
    }

    void nameWithoutExtensionGetsDb()
    {
        makeTable(path("plain.db"), {3});
        openThroughMenu(path("plain"));
        QVERIFY(main()->dbOpen());
        QCOMPARE(QFileInfo(main()->table().filePath()).fileName(), QString("plain.db"));
    }

    void cancelledOpenKeepsFile()
    {
        makeTable(path("keep.db"), {1});
        openThroughMenu(path("keep.db"));
        auto record = whenModal(testing::reject());
        main()->items().N3->trigger();
        QVERIFY(record->answered);
        QVERIFY(main()->table().isOpen());
        QCOMPARE(visibleTabs(), QList<int>({1}));
    }

    void defaultDirOnFirstStartAndAfterOpen()
    {
        QSettings settings("Dorvatek", "KVE");
        settings.beginGroup("1.0");
        QCOMPARE(settings.value("Default_dir").toString(), QDir::currentPath());
        QCOMPARE(main()->openDialog()->objectName(), QString("OpenDialog1"));
        QVERIFY(QFile::exists(QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Dorvatek/KVE.conf")));

        QDir(m_dir.path()).mkpath("other");
        makeTable(path("other/far.db"), {1});
        openThroughMenu(path("other/far.db"));
        QCOMPARE(main()->defaultDir(), path("other"));
        // The dialog still starts in the old directory during this run.
        QString startedIn;
        auto record = whenModal([&](QWidget *w) {
            startedIn = qobject_cast<QFileDialog *>(w)->directory().absolutePath();
            testing::reject()(w);
        });
        main()->items().N3->trigger();
        QVERIFY(record->answered);
        QCOMPARE(startedIn, QDir::currentPath());
        QCOMPARE(settings.value("Default_dir").toString(), QDir::currentPath());

        // Closing the window writes it back.
        main()->close();
        settings.sync();
        QCOMPARE(settings.value("Default_dir").toString(), path("other"));
    }

    void exitQuitsWithoutQuestionOrSettings()
    {
        QDir(m_dir.path()).mkpath("elsewhere");
        makeTable(path("elsewhere/e.db"), {1});
        openThroughMenu(path("elsewhere/e.db"));
        main()->setDbModified(true);
        QSettings before("Dorvatek", "KVE");
        before.beginGroup("1.0");
        const QString storedLayout = before.value("Table_1").toString();
        QVERIFY(!storedLayout.isEmpty());   // the first open stored the aligned layouts
        main()->grid(1)->setColumnColor(0, QColor(Qt::red));
        testing::FakeNotifier boxes;   // no question expected
        main()->items().N11->trigger();
        main()->close();   // the quit closes the window without its close handling
        // A question would be asked within these calls; the fake would have recorded it.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(boxes.shown(), QStringList());
        QSettings settings("Dorvatek", "KVE");
        settings.beginGroup("1.0");
        QCOMPARE(settings.value("Default_dir").toString(), QDir::currentPath());
        QCOMPARE(settings.value("Table_1").toString(), storedLayout);
    }

    void closeBoxAsksToSave()
    {
        makeTable(path("ask.db"), {1});
        openThroughMenu(path("ask.db"));
        main()->setDbModified(true);
        testing::FakeNotifier boxes;
        boxes.queue(QMessageBox::No);
        main()->close();
        QCOMPARE(boxes.messages.size(), 1);
        QCOMPARE(boxes.messages[0].text, QString("Сохранить изменения в таблицах ?"));
        QCOMPARE(boxes.messages[0].caption, QString("ЖОРД-ЗР7"));
        QCOMPARE(boxes.messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(boxes.problems(), QStringList());
        QVERIFY(!main()->table().isOpen());
        QSettings settings("Dorvatek", "KVE");
        settings.beginGroup("1.0");
        for (int n = 1; n <= 16; ++n)
            QVERIFY(settings.contains(QStringLiteral("Table_%1").arg(n)));
    }

    void closeRemovesIndexFile()
    {
        makeTable(path("idx.db"), {1});
        QFile mdx(path("idx.mdx"));
        QVERIFY(mdx.open(QIODevice::WriteOnly));
        mdx.close();
        openThroughMenu(path("idx.db"));
        main()->items().N7->trigger();
        QVERIFY(!QFile::exists(path("idx.mdx")));
    }

    void saveKeepsFileOpen()
    {
        makeTable(path("save.db"), {1, 2});
        openThroughMenu(path("save.db"));
        kve::MeasurementTable &t = main()->table();
        t.first();
        t.edit();
        t.setFieldText("COMMENT", "заметка");
        t.post();
        main()->setDbModified(true);
        main()->items().N5->trigger();
        QVERIFY(t.isOpen());
        QVERIFY(!main()->dbModified());
        QCOMPARE(t.filter(), QString("EN_CH=1"));
        kve::MeasurementTable check;
        main()->items().N7->trigger();
        check.setFilePath(path("save.db"));
        check.open();
        check.first();
        QCOMPARE(check.fieldText("COMMENT"), QString("заметка"));
    }

    // A note still in the cell editor when "Сохранить" comes is in the file afterwards.
    void saveFinishesEditInProgress()
    {
        makeTable(path("typing.db"), {1, 2});
        openThroughMenu(path("typing.db"));
        kve::TDBGridPro *grid = main()->grid(1);
        QTableView *view = grid->view();
        const QModelIndex cell = view->model()->index(1, grid->columnOfField("COMMENT"));
        view->setFocus();
        view->setCurrentIndex(cell);
        view->edit(cell);
        QVERIFY(grid->isEditing());
        auto *editor = view->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        const QString note = QStringLiteral("набрано в ячейке");
        typeText(editor, note);
        QCOMPARE(editor->text(), note);
        QVERIFY(grid->isEditing());

        main()->items().N5->trigger();
        QVERIFY(!grid->isEditing());
        QVERIFY(main()->table().isOpen());
        // The second row of the file is the second of series 1.
        const expected::FieldPlace comment = expected::fieldPlace("COMMENT");
        const QByteArray bytes = readAll(path("typing.db"));
        QStringEncoder cp1251("windows-1251");
        const QByteArray stored = cp1251(note);
        QCOMPARE(bytes.mid(expected::kHeaderLength + expected::kRecordLength + comment.offset, comment.width),
                 stored.leftJustified(comment.width, ' '));
    }

    void deleteRowsLeavesNothingToSave_data()
    {
        QTest::addColumn<MenuItem>("command");
        QTest::addColumn<int>("selected");   // the view row selected, -1 for none
        QTest::addColumn<QStringList>("left");
        QTest::newRow("Удалить строки") << &MenuItems::N21 << 1 << QStringList({"1", "3"});
        QTest::newRow("context menu Удалить") << &MenuItems::N34 << 1 << QStringList({"1", "3"});
        QTest::newRow("nothing selected") << &MenuItems::N21 << -1 << QStringList({"1", "2", "3"});
    }

    void deleteRowsLeavesNothingToSave()
    {
        QFETCH(MenuItem, command);
        QFETCH(int, selected);
        QFETCH(QStringList, left);
        makeTable(path("delete.db"), {1}, 3);
        openThroughMenu(path("delete.db"));
        main()->setDbModified(true);
        if (selected >= 0)
            selectRow(1, selected);
        action(command)->trigger();
        QCOMPARE(shownNumbers(1), left);
        QVERIFY(main()->table().isOpen());
        QVERIFY(!main()->dbModified());
        // So closing asks nothing.
        auto question = whenModal(testing::press(QMessageBox::No));
        main()->items().N7->trigger();
        testing::stopWatcher(question);
        QVERIFY(!question->answered);
        QVERIFY(!main()->table().isOpen());
    }

    // Renumbering needs the window's table state, not only an open file.
    void renumberNeedsAnOpenTable()
    {
        makeTable(path("renumber.db"), {1}, 3);
        openThroughMenu(path("renumber.db"));
        selectRow(1, 1);
        main()->items().N21->trigger();
        QCOMPARE(shownNumbers(1), QStringList({"1", "3"}));
        main()->setDbOpen(false);
        main()->N37Click();
        QCOMPARE(shownNumbers(1), QStringList({"1", "3"}));
        main()->setDbOpen(true);
        main()->N37Click();
        QCOMPARE(shownNumbers(1), QStringList({"1", "2"}));
        QVERIFY(!main()->dbModified());
    }

    void errorEscapingAHandlerIsShown()
    {
        testing::FakeNotifier boxes;
        boxes.queue(QMessageBox::Ok);
        kve::runCommand([] { throw kve::TableError("проверка"); });
        QCOMPARE(boxes.texts(), QStringList({QString("проверка")}));
        QCOMPARE(boxes.problems(), QStringList());
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    MainWindowTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_main_window.moc"
