// The file dialogs, the end of a note being typed and the failures of a close, through the
// real main window: keys and clicks go through the windows as the platform delivers them,
// and the table file's bytes are read back afterwards.

#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "ProgramHarness.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "store/MeasurementTable.h"
#include "view/TDBGridPro.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using testing::whenModal;

namespace {

const QString kNote = QStringLiteral("лёд у репера");

// A table of series 1 with `rows` rows and empty notes.
void makeTable(const QString &path, int rows = 3)
{
    kve::MeasurementTable t;
    t.setFilePath(path);
    t.create();
    for (int n = 1; n <= rows; ++n) {
        t.append();
        t.setFieldInt("N", n);
        t.setFieldInt("EN_CH", 1);
        t.setFieldText("DATE", "01.03.2026");
        t.setFieldText("TIME", QStringLiteral("0%1:00:00").arg(n));
        t.setFieldText("T_1", " 1,5");
        t.post();
    }
    t.close();
}

QString settingsFile() { return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Dorvatek/KVE.conf"); }

// The settings file cannot be written while a folder stands in its place (for root too).
void blockSettings(bool blocked)
{
    QFile::remove(settingsFile());
    QDir().rmdir(settingsFile());
    if (blocked)
        QVERIFY(QDir().mkpath(settingsFile()));
}

// A popup still on screen: the list of a name completion, a menu, anything that takes the
// keyboard before the windows.
QStringList visiblePopups()
{
    QStringList out;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && (w->windowType() == Qt::Popup || qobject_cast<QAbstractItemView *>(w)))
            out << QString::fromLatin1(w->metaObject()->className());
    }
    if (QApplication::activePopupWidget())
        out << QStringLiteral("active popup");
    return out;
}

// Typing as a keyboard does, one key event per character, into the focus widget.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Keys to a window as the platform delivers them: an open popup gets them first.
void typeIntoWindow(QWindow *window, const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(window, c.toLatin1());
}

QAction *menuItem(TForm1 *main, const QString &menu, const QString &caption, QAction **top = nullptr)
{
    for (QAction *t : main->menuBar()->actions()) {
        if (t->text() != menu || !t->menu())
            continue;
        if (top)
            *top = t;
        for (QAction *a : t->menu()->actions()) {
            if (a->text() == caption)
                return a;
        }
    }
    return nullptr;
}

// Opens the menu with a click on its title and clicks the item, through the windows.
void clickMenuItem(TForm1 *main, const QString &menu, const QString &caption)
{
    QAction *top = nullptr;
    QAction *item = menuItem(main, menu, caption, &top);
    QVERIFY(item && top);
    QMenuBar *bar = main->menuBar();
    QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {}, bar->mapTo(main, bar->actionGeometry(top).center()));
    QMenu *popup = top->menu();
    QVERIFY(harness::waitFor([&] { return popup->isVisible() && popup->windowHandle(); }, 10000));
    QVERIFY(QTest::qWaitForWindowExposed(popup));
    QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {}, popup->actionGeometry(item).center());
}

QString noteInFile(const QString &path, int number)
{
    const harness::DbfFile file = harness::readDbf(harness::fileBytes(path));
    if (!file.whole)
        return QStringLiteral("<%1>").arg(file.problem);
    const int row = file.find({{"N", QString::number(number)}});
    return row < 0 ? QStringLiteral("<no row>") : file.text(row, QStringLiteral("COMMENT"));
}

enum class Route {
    CloseByMenu,       // "Закрыть" from the "Файл" menu opened with the mouse
    CloseBox,          // the window's close box
    ExitByMenu,        // "Выход" from the menu, then the windows go as at program end
    WindowsDestroyed,  // the windows go with the editor still open
};

} // namespace

Q_DECLARE_METATYPE(Route)
Q_DECLARE_METATYPE(kve::MenuItem)

class DialogsAndExitTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<kve::ProgramWindows> m_windows;
    TForm1 *main() { return m_windows->form1.get(); }
    QString path(const QString &name) { return m_dir.filePath(name); }

    void start()
    {
        m_windows = std::make_unique<kve::ProgramWindows>();
        main()->show();
        QVERIFY(QTest::qWaitForWindowActive(main()));
    }

    void openThroughMenu(const QString &file)
    {
        auto record = whenModal(testing::chooseFile(file));
        main()->items().N3->trigger();
        QVERIFY(record->answered);
        QVERIFY(main()->dbOpen());
        reactivate();
    }

    // What the window manager does when a dialog has gone; the offscreen platform does not.
    void reactivate()
    {
        main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main()));
    }

    // Starts the note's editor on the row showing measurement 1 and types the note.
    QLineEdit *typeNote()
    {
        kve::TDBGridPro *grid = main()->grid(1);
        QTableView *view = grid->view();
        const QRect cell = view->visualRect(view->model()->index(0, grid->columnOfField("COMMENT")));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::keyClick(view, Qt::Key_F2);
        if (!harness::waitFor([&] { return grid->isEditing(); }, 10000))
            return nullptr;
        auto *editor = view->viewport()->findChild<QLineEdit *>();
        if (!editor || QApplication::focusWidget() != editor) {
            qWarning() << "editor" << editor << "focus" << QApplication::focusWidget() << "active" << QApplication::activeWindow();
            return nullptr;
        }
        typeText(editor, kNote);
        return editor;
    }

    // What the open dialog shows, read while it is up; the dialog is then cancelled.
    struct Shown {
        QString name;
        QString filter;
        QString objectName;
        bool answered = false;
    };
    std::shared_ptr<Shown> readAndCancel()
    {
        auto shown = std::make_shared<Shown>();
        whenModal([shown](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            shown->answered = true;
            if (dialog) {
                shown->objectName = dialog->objectName();
                if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                    shown->name = edit->text();
                if (auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
                    shown->filter = combo->currentText();
            }
            testing::reject()(w);
        });
        return shown;
    }

private slots:
    void init()
    {
        QDir::setCurrent(m_dir.path());
        blockSettings(false);
    }

    void cleanup()
    {
        testing::stopWatchers();
        blockSettings(false);
        if (m_windows)
            main()->setDbModified(false);
        m_windows.reset();
        QSettings("Dorvatek", "KVE").clear();
        for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(path(name));
    }

    // --- file dialogs ---------------------------------------------------------------------

    void typedNameAndEnterLeaveNoPopup_data()
    {
        QTest::addColumn<kve::MenuItem>("command");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("typed");   // typed while the completion is looked at
        QTest::addColumn<QString>("rest");    // typed after it
        QTest::addColumn<QString>("dialogName");
        // A name that completes to files in the folder, and one that completes to nothing.
        QTest::newRow("Открыть, completes") << &kve::MenuItems::N3 << int(Qt::Key_O) << "tab" << "le_a.db" << "OpenDialog1";
        QTest::newRow("Открыть, no completion") << &kve::MenuItems::N3 << int(Qt::Key_O) << "zzz" << ".db" << "OpenDialog1";
        QTest::newRow("Создать, completes") << &kve::MenuItems::N2 << int(Qt::Key_N) << "tab" << "le_new.db" << "SaveDialog1";
    }

    void typedNameAndEnterLeaveNoPopup()
    {
        QFETCH(kve::MenuItem, command);
        QFETCH(int, key);
        QFETCH(QString, typed);
        QFETCH(QString, rest);
        QFETCH(QString, dialogName);
        for (const char *name : {"table_a.db", "table_b.db", "tabs.db", "zzz.db"})
            makeTable(path(name));
        const QString target = path(typed + rest);
        const bool opening = command == &kve::MenuItems::N3;
        start();
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
        QSignalSpy triggered(main()->items().*command, &QAction::triggered);

        // The shortcut, the name typed key by key with its completion, then Enter.
        bool typedIn = false;
        auto download = std::make_shared<testing::ModalRecord>();
        auto dialogShown = whenModal([&](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            QVERIFY(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QLineEdit *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(edit && edit->hasFocus());
            typeIntoWindow(dialog->windowHandle(), QDir(m_dir.path()).filePath(typed));
            if (typed == QLatin1String("tab")) {
                // The completion lists the three names before the rest is typed.
                QVERIFY(harness::waitFor([&] { return !visiblePopups().isEmpty(); }, 20000));
            }
            typeIntoWindow(dialog->windowHandle(), rest);
            typedIn = edit->text() == target;
            if (!opening)   // the download dialog that follows is cancelled
                download = whenModal(testing::reject(), 20000, dialog);
            QTest::keyClick(dialog->windowHandle(), Qt::Key_Return);
            // Should Enter only have closed the completion, a second one takes the name.
            if (dialog->isVisible() && !QApplication::activePopupWidget())
                QTest::keyClick(dialog->windowHandle(), Qt::Key_Return);
        });
        QTest::keyClick(main()->windowHandle(), Qt::Key(key), Qt::ControlModifier);
        QVERIFY(dialogShown->answered);
        QVERIFY(typedIn);
        QCOMPARE(triggered.count(), 1);
        if (opening) {
            QCOMPARE(main()->table().filePath(), target);
        } else {
            QVERIFY(download->answered);
            QCOMPARE(download->className, QStringLiteral("TForm2"));
        }

        // The directory listing may finish after the dialog closed: give it the time the
        // file dialog takes to list the folder afresh, then look.
        QFileSystemModel lister;
        QSignalSpy loaded(&lister, &QFileSystemModel::directoryLoaded);
        lister.setRootPath(m_dir.path());
        QVERIFY(loaded.wait(20000) || loaded.count() > 0);
        QCoreApplication::processEvents();
        QCOMPARE(visiblePopups(), QStringList());

        // The very next shortcut reaches its command, and its dialog starts empty.
        reactivate();
        auto second = readAndCancel();
        QTest::keyClick(main()->windowHandle(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(triggered.count(), 2);
        QVERIFY(second->answered);
        QCOMPARE(second->objectName, dialogName);
        QCOMPARE(second->name, QString());
        QCOMPARE(visiblePopups(), QStringList());
        QCOMPARE(main()->dbOpen(), opening);
    }

    void everyOpeningStartsEmpty_data()
    {
        QTest::addColumn<kve::MenuItem>("command");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("filter");
        QTest::newRow("Открыть, taken") << &kve::MenuItems::N3 << true << "Базы данных";
        QTest::newRow("Открыть, cancelled") << &kve::MenuItems::N3 << false << "Базы данных";
        QTest::newRow("Создать, cancelled") << &kve::MenuItems::N2 << false << "Файлы данных";
        QTest::newRow("Экспорт в Excel, taken") << &kve::MenuItems::Excel1 << true << "Книга Excel";
        QTest::newRow("Экспорт в Excel, cancelled") << &kve::MenuItems::Excel1 << false << "Книга Excel";
    }

    void everyOpeningStartsEmpty()
    {
        QFETCH(kve::MenuItem, command);
        QFETCH(bool, accept);
        QFETCH(QString, filter);
        makeTable(path("first.db"));
        start();
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
        const bool exporting = command == &kve::MenuItems::Excel1;
        if (exporting)
            openThroughMenu(path("first.db"));
        const QString typed = path(exporting ? "book.xls" : "first.db");

        auto first = std::make_shared<Shown>();
        auto firstAnswered = whenModal([&, first](QWidget *w, testing::ModalRecord &record) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            QVERIFY(dialog);
            if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                first->name = edit->text();
            if (auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
                first->filter = combo->currentText();
            if (accept) {
                testing::chooseFile(typed)(w, record);
            } else {
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(typed);
                dialog->reject();
            }
        });
        (main()->items().*command)->trigger();
        QVERIFY(firstAnswered->answered);
        QVERIFY2(firstAnswered->problem.isEmpty(), qPrintable(firstAnswered->problem));
        if (exporting)
            QCOMPARE(QFile::exists(typed), accept);

        auto second = readAndCancel();
        (main()->items().*command)->trigger();
        QVERIFY(second->answered);
        QCOMPARE(first->name, QString());
        QCOMPARE(second->name, QString());
        QCOMPARE(first->filter, filter);
        QCOMPARE(second->filter, filter);
        QCOMPARE(visiblePopups(), QStringList());
    }

    // --- a note being typed ---------------------------------------------------------------

    void noteBeingTyped_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<bool>("moveRowFirst");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<QString>("inFile");
        QTest::newRow("Закрыть by the menu, Нет") << Route::CloseByMenu << false << QMessageBox::No << QString();
        QTest::newRow("Закрыть by the menu, Да") << Route::CloseByMenu << false << QMessageBox::Yes << kNote;
        QTest::newRow("row left, Закрыть by the menu, Нет") << Route::CloseByMenu << true << QMessageBox::No << kNote;
        QTest::newRow("close box, Нет") << Route::CloseBox << false << QMessageBox::No << QString();
        QTest::newRow("close box, Да") << Route::CloseBox << false << QMessageBox::Yes << kNote;
        QTest::newRow("row left, close box, Нет") << Route::CloseBox << true << QMessageBox::No << kNote;
        QTest::newRow("Выход by the menu") << Route::ExitByMenu << false << QMessageBox::NoButton << QString();
        QTest::newRow("row left, Выход by the menu") << Route::ExitByMenu << true << QMessageBox::NoButton << kNote;
        QTest::newRow("windows destroyed") << Route::WindowsDestroyed << false << QMessageBox::NoButton << QString();
    }

    void noteBeingTyped()
    {
        QFETCH(Route, route);
        QFETCH(bool, moveRowFirst);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QString, inFile);
        const QString table = path("notes.db");
        makeTable(table);
        const QByteArray before = harness::fileBytes(table);
        start();
        openThroughMenu(table);
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
        boxes.setRule(testing::pressing(answer));

        QLineEdit *editor = typeNote();
        QVERIFY(editor);
        QCOMPARE(editor->text(), kNote);
        if (moveRowFirst) {
            QTableView *view = main()->grid(1)->view();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(1, 0)).center());
            QVERIFY(harness::waitFor([&] { return !main()->grid(1)->isEditing(); }, 10000));
        }

        switch (route) {
        case Route::CloseByMenu:
            clickMenuItem(main(), "Файл", "Закрыть");
            QVERIFY(harness::waitFor([&] { return !main()->table().isOpen(); }, 20000));
            break;
        case Route::CloseBox:
            QVERIFY(main()->close());
            QVERIFY(!main()->table().isOpen());
            break;
        case Route::ExitByMenu:
            clickMenuItem(main(), "Файл", "Выход");
            QVERIFY(harness::waitFor([&] { return visiblePopups().isEmpty(); }, 10000));
            m_windows.reset();
            break;
        case Route::WindowsDestroyed:
            m_windows.reset();
            break;
        }
        if (answer == QMessageBox::NoButton)
            QCOMPARE(boxes.texts(), QStringList());
        else
            QCOMPARE(boxes.texts(), QStringList({QStringLiteral("Сохранить изменения в таблицах ?")}));
        QCOMPARE(noteInFile(table, 1), inFile);
        if (inFile.isEmpty())
            QVERIFY(harness::fileBytes(table) == before);
    }

    // --- one failure never traps ----------------------------------------------------------

    void settingsWritableAgainAfterFailedStart()
    {
        makeTable(path("later.db"));
        blockSettings(true);
        start();
        blockSettings(false);
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
        openThroughMenu(path("later.db"));
        main()->items().N7->trigger();
        QCOMPARE(boxes.texts(), QStringList());
        QVERIFY(!main()->dbOpen());
        QVERIFY(!main()->table().isOpen());
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.beginGroup("1.0");
        for (int n = 1; n <= 16; ++n)
            QVERIFY2(settings.value(QStringLiteral("Table_%1").arg(n)).toString().startsWith("object TUniDataStorage"),
                     qPrintable(QString::number(n)));
        // Another file can be opened and closed.
        makeTable(path("next.db"));
        openThroughMenu(path("next.db"));
        main()->items().N7->trigger();
        QCOMPARE(boxes.texts(), QStringList());
        QVERIFY(!main()->table().isOpen());
    }

    // Settings that cannot be written cost the layouts, never the table: each close is told
    // once and goes through, another file opens, and the close box ends the program.
    void unwritableSettingsNeverHoldTheTable_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("Да") << QMessageBox::Yes;
        QTest::newRow("Нет") << QMessageBox::No;
    }

    void unwritableSettingsNeverHoldTheTable()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        const QString table = path("stays.db");
        makeTable(table);
        makeTable(path("next.db"));
        start();
        openThroughMenu(table);
        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
        boxes.setRule(testing::pressing(answer));
        QLineEdit *editor = typeNote();
        QVERIFY(editor);

        blockSettings(true);
        const QString unwritable = QStringLiteral("Не удалось записать параметры «Table_1», «Table_2», «Table_3», «Table_4», «Table_5», "
                                                  "«Table_6», «Table_7», «Table_8», «Table_9», «Table_10», «Table_11», «Table_12», "
                                                  "«Table_13», «Table_14», «Table_15», «Table_16» в файл настроек ")
            + settingsFile() + QStringLiteral(": нет доступа");
        main()->items().N7->trigger();
        QCOMPARE(boxes.texts(), QStringList({QStringLiteral("Сохранить изменения в таблицах ?"), unwritable}));
        // The no-file state: a note being typed is kept only by "Да".
        QVERIFY(!main()->dbOpen());
        QVERIFY(!main()->table().isOpen());
        QVERIFY(!main()->items().N7->isEnabled());
        QVERIFY(!main()->pageControl()->isVisible());
        QCOMPARE(main()->windowTitle(), QStringLiteral("ЖОРД-ЗР7"));
        QCOMPARE(noteInFile(table, 1), answer == QMessageBox::Yes ? kNote : QString());

        boxes.clear();
        openThroughMenu(path("next.db"));
        QVERIFY(main()->table().isOpen());
        QCOMPARE(main()->windowTitle(), QStringLiteral("next - ЖОРД-ЗР7"));
        QVERIFY2(boxes.texts().size() <= 1, qPrintable(boxes.texts().join(QLatin1Char('\n'))));

        boxes.clear();
        QVERIFY(main()->close());
        QCOMPARE(boxes.texts(), QStringList({unwritable}));
        QVERIFY(!main()->isVisible());
        QVERIFY(!main()->table().isOpen());
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    DialogsAndExitTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_dialogs_and_exit.moc"
