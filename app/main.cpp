#include "main.h"

#include "ColourDialog.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "KveApplication.h"
#include "SeriesPageControl.h"
#include "about.h"

#include "analysis/graf.h"
#include "analysis/mas.h"
#include "analysis/param_graf.h"
#include "device/ImageDecoder.h"
#include "device/receive.h"
#include "output/ReportPreview.h"
#include "output/SeriesReport.h"
#include "output/SpreadsheetExport.h"
#include "store/AppTitle.h"
#include "store/NewTableFile.h"
#include "store/SeriesNames.h"
#include "store/SettingsWrite.h"
#include "ui/Notifier.h"
#include "view/GridCommands.h"
#include "view/GridLayoutStore.h"
#include "view/TDBGridPro.h"

#include <QAction>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

using namespace kve;

namespace {


QFileDialog *makeFileDialog(QWidget *parent, const QString &name, QFileDialog::AcceptMode mode, const QString &filter)
{
    auto *dialog = new QFileDialog(parent);
    dialog->setObjectName(name);
    // Qt's own dialog: the behaviour below must not depend on the desktop's.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    // The filter box shows the description alone.
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setAcceptMode(mode);
    // Any typed name is taken, also one that does not exist (opening it then fails).
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(filter);
    dialog->setDefaultSuffix(QStringLiteral("db"));
    return dialog;
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    buildMenus();
    buildPages();
    OpenDialog1 = makeFileDialog(this, QStringLiteral("OpenDialog1"), QFileDialog::AcceptOpen, QStringLiteral("Базы данных (*.db)"));
    SaveDialog1 = makeFileDialog(this, QStringLiteral("SaveDialog1"), QFileDialog::AcceptSave, QStringLiteral("Файлы данных (*.db)"));
    ColorDialog1 = new kve::ColourDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ColorDialog1->setOption(QColorDialog::DontUseNativeDialog, true);
    for (auto &report : m_reports)
        report = std::make_unique<SeriesReport>();
    FormCreate();
}

TForm1::~TForm1()
{
    // The grids' models read the table: they go before it, an open editor without posting.
    m_tabShowSuppressed = true;
    for (TDBGridPro *g : m_grids)
        g->dropEdit();
    delete takeCentralWidget();
}

void TForm1::setWindows(TForm2 *download, TForm3 *chart, TForm4 *chartDialog, Tform6 *about, TForm7 *calculation)
{
    m_download = download;
    m_chart = chart;
    m_chartDialog = chartDialog;
    m_about = about;
    m_calculation = calculation;
}

void TForm1::buildMenus()
{
    const QList<QIcon> images = kve::makeImageList();
    const auto add = [&](QMenu *menu, const char *name, const QString &caption, void (TForm1::*handler)(), QKeySequence shortcut = {},
                         int icon = -1) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty())
            action->setShortcut(shortcut);
        if (icon >= 0)
            action->setIcon(images.at(icon));
        connect(action, &QAction::triggered, this, [this, handler] { runMenuCommand(handler); });
        menu->addAction(action);
        return action;
    };

    MenuItems &m = m_items;
    const auto topMenu = [&](const char *name, const QString &caption) {
        QMenu *added = menuBar()->addMenu(caption);
        added->setObjectName(QLatin1String(name));
        return added;
    };

    QMenu *file = m.N1 = topMenu("N1", QStringLiteral("Файл"));
    m.N2 = add(file, "N2", QStringLiteral("Создать"), &TForm1::N2Click, QKeySequence(Qt::CTRL | Qt::Key_N), 0);
    m.N3 = add(file, "N3", QStringLiteral("Открыть"), &TForm1::N3Click, QKeySequence(Qt::CTRL | Qt::Key_O), 1);
    m.N4 = add(file, "N4", QStringLiteral("Дополнить"), &TForm1::N4Click);
    m.N4->setVisible(false);
    m.N5 = add(file, "N5", QStringLiteral("Сохранить"), &TForm1::N5Click, QKeySequence(Qt::CTRL | Qt::Key_S), 2);
    m.N7 = add(file, "N7", QStringLiteral("Закрыть"), &TForm1::N7Click);
    file->addSeparator();
    m.N8 = add(file, "N8", QStringLiteral("Предварительный просмотр"), &TForm1::N8Click, {}, 3);
    m.N9 = add(file, "N9", QStringLiteral("Печать"), &TForm1::N9Click, QKeySequence(Qt::CTRL | Qt::Key_P), 4);
    file->addSeparator();
    m.N11 = add(file, "N11", QStringLiteral("Выход"), &TForm1::N11Click);

    QMenu *view = m.N16 = topMenu("N16", QStringLiteral("Вид"));
    m.N23 = add(view, "N23", QStringLiteral("Выровнять столбцы"), &TForm1::N23Click);
    view->addSeparator();
    m.N17 = add(view, "N17", QStringLiteral("Задать цвет"), &TForm1::N17Click);
    m.N18 = add(view, "N18", QStringLiteral("Убрать цвет"), &TForm1::N18Click);
    m.N19 = add(view, "N19", QStringLiteral("Убрать все цвета"), &TForm1::N19Click);
    view->addSeparator();
    m.N33 = add(view, "N33", QStringLiteral("Убрать сортировку"), &TForm1::N33Click);

    QMenu *edit = m.N20 = topMenu("N20", QStringLiteral("Правка"));
    m.N21 = add(edit, "N21", QStringLiteral("Удалить строки"), &TForm1::N21Click, {}, 6);

    QMenu *service = m.N14 = topMenu("N14", QStringLiteral("Сервис"));
    m.Excel1 = add(service, "Excel1", QStringLiteral("Экспорт в Excel"), &TForm1::Excel1Click);
    m.N37 = add(service, "N37", QStringLiteral("Перенумеровать строки"), &TForm1::N37Click);
    m.N37->setVisible(false);
    m.N15 = add(service, "N15", QStringLiteral("Построить график"), &TForm1::N15Click);
    m.N15->setVisible(false);
    m.N39 = add(service, "N39", QStringLiteral("Рассчитать "), &TForm1::N39Click);
    m.N39->setVisible(false);

    QMenu *help = m.N22 = topMenu("N22", QStringLiteral("Справка"));
    m.N24 = add(help, "N24", QStringLiteral("Помощь"), &TForm1::N24Click, QKeySequence(Qt::Key_F1), 5);
    help->addSeparator();
    m.N26 = add(help, "N26", QStringLiteral("О программе"), &TForm1::N26Click);

    // Toolbar: six icon buttons. Buttons 1..5 are the menu commands themselves, so they are
    // enabled and disabled with them; button 6 has a handler of its own.
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    // The object name is fixed; what a screen reader calls it is the title.
    ToolBar1->setWindowTitle(QStringLiteral("Панель инструментов"));
    ToolBar1->setMovable(false);
    // The toolbar cannot be hidden: a right-click on it or on the menu bar offers no menu.
    ToolBar1->toggleViewAction()->setVisible(false);
    ToolBar1->setFixedHeight(29);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const auto button = [&](QAction *action, const char *name) {
        ToolBar1->addAction(action);
        auto *added = qobject_cast<QToolButton *>(ToolBar1->widgetForAction(action));
        added->setObjectName(QLatin1String(name));
        added->setAccessibleName(action->text());
        return added;
    };
    m.ToolButton1 = button(m.N2, "ToolButton1");
    m.ToolButton2 = button(m.N3, "ToolButton2");
    m.ToolButton3 = button(m.N5, "ToolButton3");
    m.ToolButton4 = button(m.N8, "ToolButton4");
    m.ToolButton5 = button(m.N9, "ToolButton5");
    m.ToolButton6Action = new QAction(images.at(5), QStringLiteral("Помощь"), this);
    m.ToolButton6Action->setObjectName(QStringLiteral("ToolButton6Action"));
    connect(m.ToolButton6Action, &QAction::triggered, this, [this] { runMenuCommand(&TForm1::ToolButton6Click); });
    m.ToolButton6 = button(m.ToolButton6Action, "ToolButton6");

    // The grid context menu; its items are never disabled.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const auto popup = [&](const char *name, const QString &caption, void (TForm1::*handler)()) {
        auto *action = PopupMenu1->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, handler] { runMenuCommand(handler); });
        return action;
    };
    m.N27 = popup("N27", QStringLiteral("График"), &TForm1::N15Click);
    m.N27->setVisible(false);
    m.N28 = popup("N28", QStringLiteral("Печать"), &TForm1::N8Click);
    PopupMenu1->addSeparator();
    m.N29 = popup("N29", QStringLiteral("Задать цвет"), &TForm1::N17Click);
    m.N30 = popup("N30", QStringLiteral("Убрать цвет"), &TForm1::N18Click);
    m.N31 = popup("N31", QStringLiteral("Убрать все цвета"), &TForm1::N19Click);
    PopupMenu1->addSeparator();
    m.N32 = popup("N32", QStringLiteral("Выровнять столбцы"), &TForm1::N23Click);
    PopupMenu1->addSeparator();
    m.N34 = popup("N34", QStringLiteral("Удалить"), &TForm1::N21Click);
}

bool TForm1::runMenuCommand(Handler handler)
{
    static constexpr Handler kFileCommands[] = {&TForm1::N2Click, &TForm1::N3Click, &TForm1::N4Click, &TForm1::N5Click,
                                                &TForm1::N7Click};
    const bool fileCommand = std::find(std::begin(kFileCommands), std::end(kFileCommands), handler) != std::end(kFileCommands);
    const bool ran = m_commands.run(handler, fileCommand, [&] { kve::runCommand([&] { (this->*handler)(); }); });
    // A refused command leaves the focus where the running one's dialog has it.
    if (ran)
        focusWorkArea();
    return ran;
}

void TForm1::buildPages()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    central->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new kve::SeriesPageControl(central);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("Серии"));
    layout->addWidget(PageControl1);
    setCentralWidget(central);
    for (int n = 1; n <= kve::kSeriesCount; ++n) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("TabSheet%1").arg(n));
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        auto *grid = new TDBGridPro(Dbf1, n, page);
        grid->setObjectName(QStringLiteral("DBGridPro%1").arg(n));
        grid->setPopupMenu(PopupMenu1);
        connect(grid, &TDBGridPro::initEdit, this, [this] { db_modified = true; });
        connect(grid, &TDBGridPro::errorOccurred, this, [](const QString &text) { kve::showErrorBox(text); });
        pageLayout->addWidget(grid);
        const QString caption = QStringLiteral("Серия №%1").arg(n);
        page->setAccessibleName(caption);
        // Showing a page by keyboard puts the operator into its grid.
        page->setFocusProxy(grid);
        PageControl1->addTab(page, caption);
        m_pages[size_t(n - 1)] = page;
        m_grids[size_t(n - 1)] = grid;
    }
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (!m_tabShowSuppressed && index >= 0)
            kve::runCommand([&] { TabSheetShow(index + 1); });
    });
}

void TForm1::FormCreate()
{
    resize(703, 501);
    setWindowState(Qt::WindowMaximized);
    setWindowColour(false);

    // The settings key stays open for the program's run.
    m_settings = std::make_unique<QSettings>(QStringLiteral("Dorvatek"), QStringLiteral("KVE"));
    m_settings->beginGroup(QStringLiteral("1.0"));
    if (m_settings->contains(QStringLiteral("Default_dir"))) {
        m_defaultDir = m_settings->value(QStringLiteral("Default_dir")).toString();
    } else {
        m_defaultDir = QDir::currentPath();
        // A failure here is not reported, and must not count against later writes.
        writeSetting(*m_settings, QStringLiteral("Default_dir"), m_defaultDir);
    }
    // The dialogs take the directory only here; a later change applies at the next start.
    m_dialogStartDir = m_defaultDir;

    Dbf1.close();
    db_open = false;
    grid(1)->setBookmarkFields(QStringLiteral("T_1;T_2;T_3;DATE;TIME;P_1;F;SER"));
    for (int n = 1; n <= kve::kSeriesCount; ++n)
        reset_sort(*grid(n), sortTagName(n));
    disable_button();
    tab_vis_dis();
    setWindowTitle(kve::kDeviceType);
}

void TForm1::focusWorkArea()
{
    if (m_quitting || !PageControl1->isVisible() || !PageControl1->isTabVisible(PageControl1->currentIndex()))
        return;
    // The tab bar and the shown grid keep the focus; anywhere else (nothing, a closed dialog,
    // the menu bar left by keyboard) it goes to the grid.
    QWidget *focus = QApplication::focusWidget();
    if (!focus || focus->window() != this)
        focus = focusWidget();
    QWidget *shownGrid = grid(activeSeries());
    const bool onBar = focus && focus == PageControl1->findChild<QTabBar *>();
    const bool inGrid = focus && focus->isVisible() && (focus == shownGrid || shownGrid->isAncestorOf(focus));
    if (!onBar && !inGrid)
        shownGrid->setFocus(Qt::OtherFocusReason);
}

int TForm1::activeSeries() const { return PageControl1->currentIndex() + 1; }

bool TForm1::isFileOpenColour() const
{
    return centralWidget()->palette().color(QPalette::Window) == QApplication::palette().color(QPalette::Button);
}

std::array<TDBGridPro *, kve::kSeriesCount> TForm1::allGrids() const { return m_grids; }

void TForm1::setWindowColour(bool fileOpen)
{
    QWidget *area = centralWidget();
    QPalette palette = area->palette();
    // Button shadow without a table, button face with one.
    palette.setColor(QPalette::Window, QApplication::palette().color(fileOpen ? QPalette::Button : QPalette::Dark));
    area->setPalette(palette);
}

void TForm1::setTitles(const QString &text)
{
    kve::setApplicationTitle(text);
    setWindowTitle(text);
}

// --- enabling -----------------------------------------------------------------------------

namespace {
// The items that need a table.
constexpr MenuItem kTableItems[] = {&MenuItems::N5,  &MenuItems::N7,  &MenuItems::N8,  &MenuItems::N9,
                                    &MenuItems::N23, &MenuItems::N17, &MenuItems::N18, &MenuItems::N19,
                                    &MenuItems::N33, &MenuItems::N21, &MenuItems::N37, &MenuItems::Excel1};
} // namespace

void TForm1::enable_button()
{
    for (MenuItem item : kTableItems)
        (m_items.*item)->setEnabled(true);
}

void TForm1::disable_button()
{
    for (MenuItem item : kTableItems)
        (m_items.*item)->setEnabled(false);
    m_items.N15->setEnabled(false);
    m_items.N39->setEnabled(false);
}

// --- file steps ---------------------------------------------------------------------------

QString TForm1::chooseFile(QFileDialog *&dialog)
{
    QFileDialog *shown = dialog;
    shown->setDirectory(m_dialogStartDir);
    shown->selectNameFilter(shown->nameFilters().value(0));
    const bool accepted = shown->exec() == QDialog::Accepted;
    const QString chosen = accepted ? shown->selectedFiles().value(0) : QString();
    // The next use gets a new dialog: a used one offers the last name again, and its name
    // completion can pop up over the main window after it closed and hold the keyboard.
    dialog = makeFileDialog(this, shown->objectName(), shown->acceptMode(), shown->nameFilters().value(0));
    delete shown;
    return chosen;
}

void TForm1::N3Click()
{
    const QString path = chooseFile(OpenDialog1);
    if (path.isEmpty() || QFileInfo(path).fileName().isEmpty())
        return;
    if (db_open)
        Close_DB();
    m_defaultDir = QDir::cleanPath(QFileInfo(path).absolutePath());
    Open_DB(path);
}

void TForm1::Open_DB(const QString &path)
{
    if (db_open)
        Close_DB();
    const QFileInfo info(path);
    Dbf1.setFilePath(info.absoluteFilePath());
    try {
        Dbf1.open();
    } catch (const std::exception &) {
        kve::notifier().show(kve::Message(QMessageBox::Critical, QStringLiteral("Ошибка"), QStringLiteral("База данных повреждена !"), this)
                                 .named(QStringLiteral("DamagedBox")));
        return;
    }
    db_open = true;
    Dbf1.first();
    setWindowColour(true);
    enable_button();
    tab_vis_en();
    // A stored layout that cannot be read leaves that grid as it is; the operator is told.
    const QStringList layoutErrors = load_layout_all(*m_settings, allGrids(), Dbf1);
    if (!layoutErrors.isEmpty())
        kve::showErrorBox(layoutErrors.join('\n'));
    setTitles(info.completeBaseName() + QStringLiteral(" - ") + kve::kDeviceType);
    db_modified = false;
}

void TForm1::N5Click() { Save_DB(); }

void TForm1::Save_DB()
{
    if (!db_open)
        return;
    if (Dbf1.isOpen()) {
        for (int n = 1; n <= kve::kSeriesCount; ++n) {
            if (PageControl1->isTabVisible(n - 1))
                grid(n)->commitEdit();
        }
        Dbf1.close();
        Dbf1.open();
    }
    db_modified = false;
}

void TForm1::N7Click() { Close_DB(); }

void TForm1::Close_DB()
{
    if (db_modified) {
        const kve::Message question = kve::Message(QMessageBox::Question, kve::kDeviceType,
                                                   QStringLiteral("Сохранить изменения в таблицах ?"), this)
                                          .yesNo()
                                          .named(QStringLiteral("SaveQuestion"));
        if (kve::notifier().show(question) == QMessageBox::Yes)
            Save_DB();
    }
    // A layout that cannot be stored is not worth the table: the close goes on, and the
    // operator is told once at its end.
    const QString layoutFailure = save_layout_all(*m_settings, allGrids());
    db_open = false;
    db_modified = false;
    // An edit still in progress is dropped with the close.
    for (TDBGridPro *g : m_grids)
        g->dropEdit();
    if (Dbf1.isOpen()) {
        Dbf1.cancel();
        Dbf1.close();
        const QFileInfo info(Dbf1.filePath());
        QFile::remove(info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".mdx")));
        Dbf1.dropIndexFile();
    }
    disable_button();
    tab_vis_dis();
    setTitles(kve::kDeviceType);
    setWindowColour(false);
    if (!layoutFailure.isEmpty())
        kve::showErrorBox(layoutFailure);
}

void TForm1::tab_vis_en()
{
    m_tabShowSuppressed = true;
    for (int i = 0; i < kve::kSeriesCount; ++i)
        PageControl1->setTabVisible(i, false);
    if (!Dbf1.isOpen()) {
        m_tabShowSuppressed = false;
        return;
    }
    PageControl1->hide();
    Dbf1.setFiltered(false);
    Dbf1.refresh();
    int firstSeries = 0;
    for (int n = 1; n <= kve::kSeriesCount; ++n) {
        if (Dbf1.locate(QStringLiteral("EN_CH"), QString::number(n))) {
            PageControl1->setTabVisible(n - 1, true);
            if (firstSeries == 0)
                firstSeries = n;
        }
    }
    Dbf1.setFiltered(true);
    Dbf1.refresh();
    if (firstSeries > 0)
        PageControl1->setCurrentIndex(firstSeries - 1);
    m_tabShowSuppressed = false;
    PageControl1->show();
    // The first visible tab is now the shown page: its show handler runs.
    if (firstSeries > 0)
        TabSheetShow(firstSeries);
}

void TForm1::tab_vis_dis()
{
    m_tabShowSuppressed = true;
    for (int i = 0; i < kve::kSeriesCount; ++i)
        PageControl1->setTabVisible(i, false);
    m_tabShowSuppressed = false;
    PageControl1->hide();
}

void TForm1::TabSheetShow(int series)
{
    if (!Dbf1.isOpen())
        return;
    Dbf1.setFiltered(false);
    Dbf1.setFilter(kve::seriesFilter(series));
    Dbf1.setFiltered(true);
    Dbf1.refresh();
    if (series <= 3)
        align_columns(*grid(series));
}

// --- instrument ---------------------------------------------------------------------------

void TForm1::N2Click()
{
    if (db_open)
        Close_DB();
    const QString path = chooseFile(SaveDialog1);
    if (path.isEmpty() || QFileInfo(path).fileName().isEmpty())
        return;
    m_saveFileName = path;
    if (!m_download || m_download->exec() != 1)
        return;
    Create_DB();
}

void TForm1::Create_DB()
{
    db_open = false;
    db_modified = false;
    Dbf1.close();
    const QString target = QFileInfo(m_saveFileName).absoluteFilePath();

    // Nothing downloaded must not cost the operator the file of that name.
    const bool emptyArchive = !kve::archiveHoldsRecords(m_download->archiveHeader());
    const bool keepExisting = emptyArchive && QFileInfo::exists(target);

    // The download is written where it can never cost the operator a file: see NewTableFile.
    kve::NewTableFile file(target);
    Dbf1.setFilePath(file.writePath());
    try {
        Dbf1.create();
        flash2qvd01(0);
        Dbf1.close();
        if (!keepExisting) {
            file.commit();
        } else if (const QString failed = file.discard(); !failed.isEmpty()) {
            throw kve::TableError(QStringLiteral("Вернуть прежнее содержимое файла «%1» не удалось: %2")
                                      .arg(QDir::toNativeSeparators(target), failed));
        }
    } catch (const kve::TableError &e) {
        Dbf1.close();
        Dbf1.setFilePath(target);
        throw kve::TableError(file.discardAfter(e.text()));
    } catch (...) {
        Dbf1.close();
        file.discard();
        Dbf1.setFilePath(target);
        throw;
    }
    Dbf1.setFilePath(target);
    if (emptyArchive) {
        kve::notifier().show(kve::Message(QMessageBox::Information, QStringLiteral("Ошибка"), QStringLiteral("Архив прибора пуст!"), this)
                                 .named(QStringLiteral("EmptyArchiveBox")));
        return;
    }
    Dbf1.open();
    db_open = true;
    setWindowColour(true);
    enable_button();
    tab_vis_en();
    load_grid_layout(*m_settings, layoutValueName(1), *grid(1));
    db_modified = false;
}

void TForm1::N4Click()
{
    if (!db_open) {
        const QString path = chooseFile(OpenDialog1);
        if (path.isEmpty() || QFileInfo(path).fileName().isEmpty())
            return;
        Open_DB(path);
    }
    if (!db_open)
        return;
    if (!m_download || m_download->exec() != 1)
        return;
    if (Dbf1.isOpen())
        reset_sort(*grid(1), sortTagName(1));
    flash2qvd01(1);
    db_open = true;
    Save_DB();
    tab_vis_en();
}

void TForm1::flash2qvd01(quint8 mode)
{
    if (!m_download)
        return;
    // Each appended row changes the view: the grids follow it once, after the last.
    kve::ViewChangeHold hold(Dbf1);
    kve::flash2qvd01(Dbf1, m_download->archiveHeader(), m_download->memoryImage(), mode);
}

// --- output -------------------------------------------------------------------------------

void TForm1::postActiveEdit()
{
    // Output goes through the rows, which posts the note being typed, as moving to another
    // row does.
    grid(activeSeries())->commitEdit();
}

void TForm1::N8Click()
{
    if (!db_open || !Dbf1.isOpen())
        return;
    const int n = activeSeries();
    postActiveEdit();
    previewSeries(this, *m_reports[size_t(n - 1)], Dbf1, windowTitle(), n);
}

void TForm1::N9Click()
{
    if (!db_open || !Dbf1.isOpen())
        return;
    const int n = activeSeries();
    postActiveEdit();
    printSeries(this, *m_reports[size_t(n - 1)], Dbf1, windowTitle(), n);
}

void TForm1::Excel1Click()
{
    if (!db_open || !Dbf1.isOpen())
        return;
    const int n = activeSeries();
    postActiveEdit();
    exportSeries(this, *m_reports[size_t(n - 1)], Dbf1, windowTitle(), n);
}

// --- grids --------------------------------------------------------------------------------

void TForm1::N23Click()
{
    if (db_open)
        align_columns(*grid(activeSeries()));
}

void TForm1::N17Click()
{
    if (!db_open)
        return;
    if (ColorDialog1->exec() != QDialog::Accepted)
        return;
    set_current_column_colour(*grid(activeSeries()), ColorDialog1->currentColor());
}

void TForm1::N18Click()
{
    if (db_open)
        set_current_column_colour(*grid(activeSeries()), std::nullopt);
}

void TForm1::N19Click()
{
    if (db_open)
        clear_column_colours(*grid(activeSeries()));
}

void TForm1::N33Click()
{
    if (db_open)
        remove_sort(*grid(activeSeries()));
}

void TForm1::N21Click()
{
    if (!db_open)
        return;
    delete_selected_rows(*grid(activeSeries()));
    // The deletion was written with the reopen: nothing is left to save.
    if (Dbf1.isOpen())
        db_modified = false;
}

void TForm1::N37Click()
{
    if (db_open)
        renumber_rows(*grid(activeSeries()));
}

// --- analysis and help --------------------------------------------------------------------

void TForm1::N15Click()
{
    if (m_chartDialog && m_chart)
        runChartCommand(*m_chartDialog, *m_chart);
}

void TForm1::N39Click()
{
    if (m_calculation)
        m_calculation->exec();
}

void TForm1::N24Click() { showHelpContents(this); }

void TForm1::ToolButton6Click() { showHelpContents(this); }

void TForm1::N26Click()
{
    if (m_about)
        m_about->exec();
}

// --- exit ---------------------------------------------------------------------------------

void TForm1::N11Click()
{
    // Quits at once: no save question, no settings or layouts written, a cell edit not
    // yet posted is lost.
    m_quitting = true;
    for (TDBGridPro *g : m_grids)
        g->dropEdit();
    QApplication::quit();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (m_quitting) {
        event->accept();
        return;
    }
    // Only through an accessibility action can the close box be pressed while a command's
    // dialog is open: the table stays with that command.
    if (m_commands.busy()) {
        event->ignore();
        return;
    }
    // Not reported, as at start-up.
    writeSetting(*m_settings, QStringLiteral("Default_dir"), m_defaultDir);
    // A close that fails was told in the error box; the program goes on in the state reached.
    bool closed = false;
    m_commands.run(&TForm1::N7Click, true, [&] { closed = kve::runCommand([&] { Close_DB(); }); });
    if (closed)
        event->accept();
    else
        event->ignore();
}
