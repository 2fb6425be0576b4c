#include "ExpectedTableHeader.h"
#include "ModalHelper.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "store/AppTitle.h"
#include "store/MeasurementTable.h"
#include "view/TDBGridPro.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
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
const QStringList kWithTable{"N5", "N7", "N8", "N9", "N23", "N17", "N18", "N19", "N33", "N21", "Excel1"};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<kve::ProgramWindows> m_windows;
    TForm1 *main() { return m_windows->form1.get(); }
    QString path(const QString &name) { return m_dir.filePath(name); }

    QList<int> visibleTabs()
    {
        QList<int> out;
        for (int i = 0; i < 16; ++i) {
            if (main()->pageControl()->isTabVisible(i))
                out << i + 1;
        }
        return out;
    }

    void openThroughMenu(const QString &file)
    {
        auto record = whenModal(testing::chooseFile(file));
        main()->item("N3")->trigger();
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
            main()->table().setDbModified(false);
        m_windows.reset();
        QSettings settings("Dorvatek", "KVE");
        settings.clear();
    }

    void startsInNoFileState()
    {
        for (const QString &name : kWithTable)
            QVERIFY2(!main()->item(name)->isEnabled(), qPrintable(name));
        QVERIFY(!main()->item("N15")->isEnabled());
        QVERIFY(!main()->item("N39")->isEnabled());
        for (const char *name : {"N4", "N37", "N15", "N39", "N27"})
            QVERIFY2(!main()->item(name)->isVisible(), qPrintable(name));
        for (const char *name : {"N2", "N3", "N11", "N24", "N26"})
            QVERIFY2(main()->item(name)->isEnabled(), qPrintable(name));
        QVERIFY(!main()->pageControl()->isVisible());
        QCOMPARE(main()->windowTitle(), QString("ЖОРД-ЗР7"));
        QVERIFY(!main()->isFileOpenColour());
        QVERIFY(main()->windowState() & Qt::WindowMaximized);
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
        QCOMPARE(main()->item("N2")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(main()->item("N9")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
        QCOMPARE(main()->item("N24")->shortcut(), QKeySequence(Qt::Key_F1));
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
        QSignalSpy saved(main()->item("N5"), &QAction::triggered);
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
        for (const QString &name : kWithTable)
            QVERIFY2(main()->item(name)->isEnabled(), qPrintable(name));
        QVERIFY(!main()->item("N15")->isEnabled());
        QVERIFY(!main()->item("N39")->isEnabled());

        main()->pageControl()->setCurrentIndex(4);
        QCOMPARE(main()->table().filter(), QString("EN_CH=5"));

        main()->item("N7")->trigger();
        QVERIFY(!main()->table().isOpen());
        QCOMPARE(main()->windowTitle(), QString("ЖОРД-ЗР7"));
        QVERIFY(!main()->isFileOpenColour());
        QVERIFY(!main()->pageControl()->isVisible());
        for (const QString &name : kWithTable)
            QVERIFY2(!main()->item(name)->isEnabled(), qPrintable(name));
    }

    void emptyFileShowsNoTabs()
    {
        makeTable(path("empty.db"), {});
        openThroughMenu(path("empty.db"));
        QVERIFY(main()->table().dbOpen());
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
        QVERIFY(main()->table().dbOpen());
        const QString bad = path(QStringLiteral("bad_%1.db").arg(QTest::currentDataTag()).replace(' ', '_'));
        if (exists) {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        auto box = std::make_shared<testing::ModalRecord>();
        auto dialog = whenModal([&](QWidget *w, testing::ModalRecord &record) {
            // The box comes after the file dialog: that one is left to the choice.
            box = whenModal(testing::press(QMessageBox::Ok), 10000, w);
            testing::chooseFile(bad)(w, record);
        });
        main()->item("N3")->trigger();
        QVERIFY2(dialog->answered, qPrintable(dialog->problem));
        QVERIFY(box->answered);
        QCOMPARE(box->text, QString("База данных повреждена !"));
        QCOMPARE(box->title, QString("Ошибка"));
        QVERIFY(!main()->table().dbOpen());
        QVERIFY(!main()->table().isOpen());
        QVERIFY(!main()->item("N5")->isEnabled());
        QCOMPARE(main()->windowTitle(), QString("ЖОРД-ЗР7"));
        QCOMPARE(QFile::exists(bad), exists);
        if (exists)
            QCOMPARE(readAll(bad), bytes);
    }

    void nameWithoutExtensionGetsDb()
    {
        makeTable(path("plain.db"), {3});
        openThroughMenu(path("plain"));
        QVERIFY(main()->table().dbOpen());
        QCOMPARE(QFileInfo(main()->table().filePath()).fileName(), QString("plain.db"));
    }

    void cancelledOpenKeepsFile()
    {
        makeTable(path("keep.db"), {1});
        openThroughMenu(path("keep.db"));
        auto record = whenModal(testing::reject());
        main()->item("N3")->trigger();
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
        main()->item("N3")->trigger();
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
        main()->table().setDbModified(true);
        QSettings before("Dorvatek", "KVE");
        before.beginGroup("1.0");
        const QString storedLayout = before.value("Table_1").toString();
        QVERIFY(!storedLayout.isEmpty());   // the first open stored the aligned layouts
        main()->grid(1)->setColumnColor(0, QColor(Qt::red));
        auto question = whenModal(testing::press(QMessageBox::No));
        main()->item("N11")->trigger();
        main()->close();   // the quit closes the window without its close handling
        QTest::qWait(600);
        testing::stopWatcher(question);
        QVERIFY(!question->answered);
        QSettings settings("Dorvatek", "KVE");
        settings.beginGroup("1.0");
        QCOMPARE(settings.value("Default_dir").toString(), QDir::currentPath());
        QCOMPARE(settings.value("Table_1").toString(), storedLayout);
    }

    void closeBoxAsksToSave()
    {
        makeTable(path("ask.db"), {1});
        openThroughMenu(path("ask.db"));
        main()->table().setDbModified(true);
        auto question = whenModal(testing::press(QMessageBox::No));
        main()->close();
        QVERIFY(question->answered);
        QCOMPARE(question->text, QString("Сохранить изменения в таблицах ?"));
        QCOMPARE(question->title, QString("ЖОРД-ЗР7"));
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
        main()->item("N7")->trigger();
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
        t.setDbModified(true);
        main()->item("N5")->trigger();
        QVERIFY(t.isOpen());
        QVERIFY(!t.dbModified());
        QCOMPARE(t.filter(), QString("EN_CH=1"));
        kve::MeasurementTable check;
        main()->item("N7")->trigger();
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

        main()->item("N5")->trigger();
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

    void errorEscapingAHandlerIsShown()
    {
        auto box = whenModal(testing::press(QMessageBox::Ok));
        kve::runCommand([] { throw kve::TableError("проверка"); });
        QVERIFY(box->answered);
        QCOMPARE(box->text, QString("проверка"));
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    MainWindowTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_main_window.moc"
