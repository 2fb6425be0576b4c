#pragma once

#include "CommandGate.h"
#include "MenuItems.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

class QAction;
class QColorDialog;
class QFileDialog;
class QMenu;
class QSettings;
class QTabWidget;
class QToolBar;
class SeriesReport;
class TForm2;
class TForm3;
class TForm4;
class Tform6;
class TForm7;

namespace kve {
class TDBGridPro;
int runProgram(int argc, char *argv[]);
} // namespace kve

// The main window: owns the one table object, the sixteen series grids and report objects,
// and every command of the menus, the toolbar and the grid context menu.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // The other windows, created after this one at start-up.
    void setWindows(TForm2 *download, TForm3 *chart, TForm4 *chartDialog, Tform6 *about, TForm7 *calculation);

    kve::MeasurementTable &table() { return Dbf1; }
    QSettings &settings() { return *m_settings; }
    QString defaultDir() const { return m_defaultDir; }
    QTabWidget *pageControl() const { return PageControl1; }
    kve::TDBGridPro *grid(int series) const { return m_grids[size_t(series - 1)]; }
    QFileDialog *openDialog() const { return OpenDialog1; }
    QFileDialog *saveDialog() const { return SaveDialog1; }
    QColorDialog *colorDialog() const { return ColorDialog1; }
    QMenu *popupMenu() const { return PopupMenu1; }
    QToolBar *toolBar() const { return ToolBar1; }
    const kve::MenuItems &items() const { return m_items; }
    // The series of the active page, 1..16.
    int activeSeries() const;
    bool isFileOpenColour() const;
    // A table is open for the commands / it has changes not yet saved.
    bool dbOpen() const { return db_open; }
    bool dbModified() const { return db_modified; }
    // The commands keep these; tests put the window into a state through them.
    void setDbOpen(bool on) { db_open = on; }
    void setDbModified(bool on) { db_modified = on; }

    // File steps.
    void Open_DB(const QString &path);
    void Save_DB();
    void Close_DB();
    void Create_DB();
    void tab_vis_en();
    void tab_vis_dis();
    void enable_button();
    void disable_button();
    void TabSheetShow(int series);
    void flash2qvd01(quint8 mode);

public slots:
    void N2Click();           // "Создать"
    void N3Click();           // "Открыть"
    void N4Click();           // "Дополнить"
    void N5Click();           // "Сохранить"
    void N7Click();           // "Закрыть"
    void N8Click();           // "Предварительный просмотр"; context menu "Печать"
    void N9Click();           // "Печать"
    void N11Click();          // "Выход"
    void N15Click();          // "Построить график"; context menu "График"
    void N17Click();          // "Задать цвет"
    void N18Click();          // "Убрать цвет"
    void N19Click();          // "Убрать все цвета"
    void N21Click();          // "Удалить строки"; context menu "Удалить"
    void N23Click();          // "Выровнять столбцы"
    void N24Click();          // "Помощь"
    void N26Click();          // "О программе"
    void N33Click();          // "Убрать сортировку"
    void N37Click();          // "Перенумеровать строки"
    void N39Click();          // "Рассчитать "
    void Excel1Click();       // "Экспорт в Excel"
    void ToolButton6Click();  // toolbar button "Помощь"

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    using Handler = void (TForm1::*)();
    // Every menu item, toolbar button and context-menu item enters here.
    bool runMenuCommand(Handler handler);
    void FormCreate();
    void buildMenus();
    void buildPages();
    void setWindowColour(bool fileOpen);
    void setTitles(const QString &text);
    // Shows the dialog and puts a new one in its place; the chosen path, empty when cancelled.
    QString chooseFile(QFileDialog *&dialog);
    std::array<kve::TDBGridPro *, kve::kSeriesCount> allGrids() const;
    void postActiveEdit();
    // After a command: the focus on the shown grid unless it is there or on the tab bar.
    void focusWorkArea();

    kve::MeasurementTable Dbf1;
    bool db_open = false;
    bool db_modified = false;
    std::unique_ptr<QSettings> m_settings;
    QString m_defaultDir;
    QString m_dialogStartDir;
    QString m_saveFileName;   // the name last chosen in the save dialog
    bool m_quitting = false;
    bool m_tabShowSuppressed = false;

    QToolBar *ToolBar1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    std::array<QWidget *, kve::kSeriesCount> m_pages{};
    std::array<kve::TDBGridPro *, kve::kSeriesCount> m_grids{};
    std::array<std::unique_ptr<SeriesReport>, kve::kSeriesCount> m_reports;
    QMenu *PopupMenu1 = nullptr;
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;
    QColorDialog *ColorDialog1 = nullptr;
    kve::MenuItems m_items;
    kve::CommandGate<Handler> m_commands;

    QPointer<TForm2> m_download;
    QPointer<TForm3> m_chart;
    QPointer<TForm4> m_chartDialog;
    QPointer<Tform6> m_about;
    QPointer<TForm7> m_calculation;
};
