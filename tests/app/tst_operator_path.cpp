// The operator's whole path through the real main window, its menus and dialogs, with
// the instrument emulator on a pseudo-terminal: download, sort, colour, note, save,
// close, open again, preview, export, calculation, close the window. The table file,
// the settings and the workbook are checked at the end.

#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "ProgramHarness.h"

#include "analysis/mas.h"
#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "device/receive.h"
#include "store/SeriesNames.h"
#include "view/TDBGridPro.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>

using namespace std::chrono_literals;

using testing::whenModal;

namespace {

const QString kNote = QStringLiteral("Проверка: грунт влажный");

// A command as the operator reaches it: by its caption in its top-level menu.
QAction *menuCommand(TForm1 *main, const QString &menu, const QString &caption)
{
    for (QAction *top : main->menuBar()->actions()) {
        if (top->text() != menu || !top->menu())
            continue;
        for (QAction *a : top->menu()->actions()) {
            if (a->text() == caption)
                return a;
        }
    }
    return nullptr;
}

QList<int> numbersShown(kve::TDBGridPro *grid)
{
    QList<int> out;
    const int column = grid->columnOfField(QStringLiteral("N"));
    QAbstractItemModel *model = grid->view()->model();
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->index(r, column).data().toString().trimmed().toInt();
    return out;
}

int rowShowing(kve::TDBGridPro *grid, int number)
{
    return int(numbersShown(grid).indexOf(number));
}

QString cellText(kve::TDBGridPro *grid, int row, const QString &field)
{
    return grid->view()->model()->index(row, grid->columnOfField(field)).data().toString();
}

// Typing as a keyboard does, one key event per character (Cyrillic included).
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QPoint cellCentre(kve::TDBGridPro *grid, int row, const QString &field)
{
    QTableView *view = grid->view();
    return view->visualRect(view->model()->index(row, grid->columnOfField(field))).center();
}

} // namespace

class OperatorPathTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { testing::stopWatchers(); }
    void wholePath_data();
    void wholePath();
};

void OperatorPathTest::wholePath_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("heave");
    QTest::addColumn<QString>("deformation");
    QTest::newRow("comma") << QLocale(QLocale::Russian) << QStringLiteral("15,0") << QStringLiteral("0,1");
    QTest::newRow("point") << QLocale::c() << QStringLiteral("15.0") << QStringLiteral("0.1");
}

void OperatorPathTest::wholePath()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, heave);
    QFETCH(QString, deformation);
    QLocale::setDefault(locale);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
    const QString tablePath = dir.filePath(QStringLiteral("operator.db"));
    const QString bookPath = dir.filePath(QStringLiteral("series1.xls"));

    harness::Emulator emulator({QStringLiteral("--fast"), QStringLiteral("--archive"),
                                QStringLiteral(KVE_TEST_DATA_DIR "/operator_path.archive")});
    QVERIFY2(emulator.ready(), qPrintable(emulator.startupText()));

    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
    auto windows = std::make_unique<kve::ProgramWindows>();
    windows->form2->setWaits(3000ms, 100ms);   // the pause is not looked at here
    TForm1 *main = windows->form1.get();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));

    // --- "Создать": the save dialog, then the real download dialog -----------------------
    QAction *create = menuCommand(main, QStringLiteral("Файл"), QStringLiteral("Создать"));
    QVERIFY(create && create->isEnabled());
    auto downloadShown = std::make_shared<testing::ModalRecord>();
    auto saveAnswered = whenModal([&](QWidget *w, testing::ModalRecord &record) {
        downloadShown = whenModal([](QWidget *) {}, 10000, w);
        testing::chooseFile(tablePath)(w, record);
    });
    create->trigger();
    QVERIFY2(saveAnswered->answered, qPrintable(saveAnswered->problem));
    QCOMPARE(saveAnswered->className, QStringLiteral("QFileDialog"));
    QVERIFY(downloadShown->answered);
    QCOMPARE(downloadShown->className, QStringLiteral("TForm2"));
    QCOMPARE(downloadShown->title, QStringLiteral("Прием данных"));
    QCOMPARE(boxes.texts(), QStringList());
    QVERIFY(main->dbOpen());
    QCOMPARE(main->windowTitle(), QStringLiteral("ЖОРД-ЗР7"));
    QCOMPARE(windows->form2->archiveHeader().serialNumber, quint8(37));
    // Tabs of the two series, the first one shown and filtered.
    QVERIFY(main->pageControl()->isVisible());
    QList<int> tabs;
    for (int i = 0; i < kve::kSeriesCount; ++i) {
        if (main->pageControl()->isTabVisible(i))
            tabs << i + 1;
    }
    QCOMPARE(tabs, QList<int>({1, 2}));
    QCOMPARE(main->activeSeries(), 1);
    kve::TDBGridPro *grid = main->grid(1);
    QCOMPARE(numbersShown(grid), QList<int>({1, 2, 3, 4, 5}));
    QCOMPARE(cellText(grid, 2, QStringLiteral("P_1")).trimmed(), heave);
    // Only the finished file is in the folder.
    QCOMPARE(harness::folderEntries(dir.path()), QStringList({QStringLiteral("operator.db")}));

    // --- sort by a click on the title of F: descending, as text -------------------------
    QHeaderView *header = grid->view()->horizontalHeader();
    const int fColumn = grid->columnOfField(QStringLiteral("F"));
    const QPoint fTitle(header->sectionViewportPosition(fColumn) + header->sectionSize(fColumn) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, fTitle);
    QCOMPARE(grid->column(fColumn).TitleState, kve::TitleState::tsSortedUp);
    QCOMPARE(numbersShown(grid), QList<int>({4, 2, 5, 3, 1}));

    // --- colour the column T_1 through the colour dialog --------------------------------
    QTest::mouseClick(grid->view()->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid, 1, QStringLiteral("T_1")));
    QCOMPARE(grid->currentColumn(), grid->columnOfField(QStringLiteral("T_1")));
    auto colourAnswered = whenModal([](QWidget *w) {
        auto *dialog = qobject_cast<QColorDialog *>(w);
        QVERIFY(dialog);
        dialog->setCurrentColor(QColor(255, 0, 0));
        dialog->accept();
    });
    menuCommand(main, QStringLiteral("Вид"), QStringLiteral("Задать цвет"))->trigger();
    QVERIFY(colourAnswered->answered);
    QCOMPARE(grid->column(grid->columnOfField(QStringLiteral("T_1"))).Color, std::optional<QColor>(QColor(255, 0, 0)));

    // --- a note typed into the grid's editor on the first row shown (N 4) ---------------
    QCOMPARE(main->dbModified(), false);
    // A click puts the cell cursor on the note, F2 opens its editor.
    QTest::mouseClick(grid->view()->viewport(), Qt::LeftButton, Qt::NoModifier, cellCentre(grid, 0, QStringLiteral("COMMENT")));
    QCOMPARE(grid->currentColumn(), grid->columnOfField(QStringLiteral("COMMENT")));
    QTest::keyClick(grid->view(), Qt::Key_F2);
    QVERIFY(harness::waitFor([&] { return grid->isEditing(); }, 2000));
    auto *editor = grid->view()->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    typeText(editor, kNote);
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(harness::waitFor([&] { return !grid->isEditing(); }, 2000));
    QVERIFY(main->dbModified());
    QCOMPARE(cellText(grid, rowShowing(grid, 4), QStringLiteral("COMMENT")), kNote);

    // --- "Сохранить", "Закрыть": no question after the save -----------------------------
    menuCommand(main, QStringLiteral("Файл"), QStringLiteral("Сохранить"))->trigger();
    QVERIFY(!main->dbModified());
    menuCommand(main, QStringLiteral("Файл"), QStringLiteral("Закрыть"))->trigger();
    QVERIFY(!main->table().isOpen());
    QCOMPARE(boxes.texts(), QStringList());
    {
        const harness::DbfFile saved = harness::readDbf(harness::fileBytes(tablePath));
        QVERIFY2(saved.whole, qPrintable(saved.problem));
        const int noted = saved.find({{"EN_CH", "1"}, {"N", "4"}});
        QVERIFY(noted >= 0);
        QCOMPARE(saved.text(noted, QStringLiteral("COMMENT")), kNote);
    }

    // --- "Открыть" the same file: layout, note and colour come back -----------------------
    auto openAnswered = whenModal(testing::chooseFile(tablePath));
    menuCommand(main, QStringLiteral("Файл"), QStringLiteral("Открыть"))->trigger();
    QVERIFY2(openAnswered->answered, qPrintable(openAnswered->problem));
    QVERIFY(main->dbOpen());
    QCOMPARE(main->windowTitle(), QStringLiteral("operator - ЖОРД-ЗР7"));
    QCOMPARE(main->activeSeries(), 1);
    QCOMPARE(grid->column(fColumn).TitleState, kve::TitleState::tsSortedUp);
    QCOMPARE(grid->column(grid->columnOfField(QStringLiteral("T_1"))).Color, std::optional<QColor>(QColor(255, 0, 0)));
    // The restored mark does not sort: the rows are in record order.
    QCOMPARE(numbersShown(grid), QList<int>({1, 2, 3, 4, 5}));
    QCOMPARE(cellText(grid, rowShowing(grid, 4), QStringLiteral("COMMENT")), kNote);

    // --- preview of the active series, closed by the operator ----------------------------
    // The watcher goes quiet once the command has returned, so that it leaves later
    // dialogs alone.
    auto previewShown = whenModal([](QWidget *w) {
        if (!qobject_cast<QMessageBox *>(w))   // the box recorder answers boxes
            w->close();
    });
    menuCommand(main, QStringLiteral("Файл"), QStringLiteral("Предварительный просмотр"))->trigger();
    testing::stopWatcher(previewShown);
    QVERIFY2(previewShown->answered, "\"Предварительный просмотр\" showed no window");
    QVERIFY2(!previewShown->className.contains(QLatin1String("MessageBox")), qPrintable(boxes.texts().join('|')));
    QVERIFY(main->table().isOpen());

    // --- "Экспорт в Excel" of series 1 -------------------------------------------------
    auto bookAnswered = whenModal(testing::chooseFile(bookPath));
    menuCommand(main, QStringLiteral("Сервис"), QStringLiteral("Экспорт в Excel"))->trigger();
    QVERIFY2(bookAnswered->answered, qPrintable(bookAnswered->problem + QLatin1Char('|') + boxes.texts().join('|')));
    QVERIFY(QFile::exists(bookPath));
    // Offscreen no application opens the workbook; the operator is told where it is.
    for (const QString &text : boxes.texts())
        QVERIFY2(text.startsWith(QStringLiteral("Книга сохранена")), qPrintable(text));
    boxes.clear();

    // --- calculation for measurement 3 of series 1 with D 150 -----------------------------
    QVERIFY(!main->items().N39->isVisible());
    auto calculation = whenModal([](QWidget *w) {
        auto *form = qobject_cast<TForm7 *>(w);
        QVERIFY(form);
        QComboBox *box = form->measurementBox();
        QCOMPARE(box->count(), 5);
        box->setCurrentIndex(box->findText(QStringLiteral("3")));
        QLineEdit *depth = form->thicknessEdit();
        depth->setFocus();
        depth->selectAll();
        QTest::keyClicks(depth, QStringLiteral("150"));
        QTest::mouseClick(form->calculateButton(), Qt::LeftButton);
    });
    main->N39Click();
    QVERIFY(calculation->answered);
    QCOMPARE(boxes.texts(), QStringList());
    QCOMPARE(main->table().filter(), QStringLiteral("EN_CH=1"));
    QCOMPARE(numbersShown(grid), QList<int>({1, 2, 3, 4, 5}));
    QCOMPARE(cellText(grid, 2, QStringLiteral("P_2")).trimmed(), deformation);

    // --- close the window -----------------------------------------------------------------
    main->close();
    QVERIFY(!main->table().isOpen());
    windows.reset();
    emulator.stop();

    // The table file, read from its bytes.
    const harness::DbfFile file = harness::readDbf(harness::fileBytes(tablePath));
    QVERIFY2(file.whole, qPrintable(file.problem));
    QCOMPARE(file.records.size(), 8);
    const int noted = file.find({{"EN_CH", "1"}, {"N", "4"}});
    QVERIFY(noted >= 0);
    QCOMPARE(file.text(noted, QStringLiteral("COMMENT")), kNote);
    const int calculated = file.find({{"EN_CH", "1"}, {"N", "3"}});
    QVERIFY(calculated >= 0);
    QCOMPARE(file.text(calculated, QStringLiteral("P_1")).trimmed(), heave);
    QCOMPARE(file.text(calculated, QStringLiteral("P_2")).trimmed(), deformation);
    QCOMPARE(file.text(calculated, QStringLiteral("ST")).trimmed(), QStringLiteral("Чрезмерно пучинистый"));
    QCOMPARE(file.text(calculated, QStringLiteral("D")).trimmed(), QStringLiteral("150"));
    // No other row got a class or a depth.
    for (int r = 0; r < file.records.size(); ++r) {
        if (r != calculated)
            QVERIFY2(file.text(r, QStringLiteral("ST")).trimmed().isEmpty(), qPrintable(QString::number(r)));
    }
    QCOMPARE(harness::folderEntries(dir.path()), QStringList({QStringLiteral("operator.db"), QStringLiteral("series1.xls")}));

    // The settings: grid 1 keeps the mark on F and the colour of T_1.
    QSettings settings(QStringLiteral("Dorvatek"), QStringLiteral("KVE"));
    settings.beginGroup(QStringLiteral("1.0"));
    const QString layout = settings.value(QStringLiteral("Table_1")).toString();
    QVERIFY2(harness::layoutRecord(layout, QStringLiteral("F")).contains(QStringLiteral("TitleState = tsSortedUp")), qPrintable(layout));
    QVERIFY2(harness::layoutRecord(layout, QStringLiteral("T_1")).contains(QStringLiteral("Color = clRed")), qPrintable(layout));
    QCOMPARE(settings.value(QStringLiteral("Default_dir")).toString(), dir.path());

    // The workbook, read back by an independent reader.
    QString error;
    const QStringList cells = harness::workbookTexts(bookPath, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(cells.contains(QStringLiteral("Серия №1")), qPrintable(cells.join('|')));
    QVERIFY2(cells.contains(kNote), qPrintable(cells.join('|')));
    QVERIFY2(!cells.contains(QStringLiteral("Серия №2")), qPrintable(cells.join('|')));

    settings.clear();
    QLocale::setDefault(QLocale::c());
}

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    OperatorPathTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_operator_path.moc"
