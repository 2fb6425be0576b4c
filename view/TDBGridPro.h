#pragma once

#include "TgpColumn.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

class QMenu;
class QTableView;

namespace kve {

class MeasurementTable;
class SeriesModel;
class SeriesDelegate;
class GridHeader;
class GridView;
class GridFooter;

// The grid of one series page: the twelve measurement columns over the table's current
// view. It keeps no rows of its own; what it shows is what the filter and the active sort
// tag of the one table give, and it follows every change of that view.
class TDBGridPro : public QWidget {
    Q_OBJECT
public:
    TDBGridPro(kve::MeasurementTable &table, int series /*1..16*/, QWidget *parent = nullptr);
    ~TDBGridPro() override;

    MeasurementTable &table() const { return m_table; }
    int series() const { return m_series; }
    // The sort tag of this grid's series: "tab1".."tab16".
    QString sortTag() const;

    // --- columns ----------------------------------------------------------------------------
    int columnCount() const { return int(m_columns.size()); }
    const TgpColumn &column(int index) const { return m_columns.at(size_t(index)); }
    // The first column showing the field (letter case ignored), or -1.
    int columnOfField(const QString &field) const;

    void setColumnColor(int index, std::optional<QColor> colour);
    void setColumnWidth(int index, int width);   // relative width, before fitting
    void setTitleState(int index, TitleState state, int sortOrder);
    void clearSortMarks();
    // The layout properties of every column, in column order.
    std::vector<ColumnLayout> columnLayouts() const;
    // Applies a layout record to a column (its field stays; marks do not sort the view).
    void applyColumnLayout(int index, const ColumnLayout &record);

    // Column fitting: the visible columns share the grid's width in proportion to their widths.
    bool autoColumnFit() const { return m_autoFit; }
    void setAutoColumnFit(bool on);
    // The column's width on screen, in pixels.
    int displayedWidth(int index) const;

    // The column of the cell cursor.
    int currentColumn() const;
    void setCurrentColumn(int index);

    // --- rows -------------------------------------------------------------------------------
    // View rows of the selected rows, in ascending order.
    QList<int> selectedRows() const;
    void clearSelection();

    // --- title clicks -----------------------------------------------------------------------
    // What a click on the title of the column does, with the keys held: changes the sort
    // mark by the click table and sorts the view through the series' tag.
    void clickTitle(int index, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // --- cell editing -----------------------------------------------------------------------
    bool isEditing() const;
    // The open cell editor, or null.
    QWidget *openEditor() const;
    // Posts a cell edit in progress and closes the editor; nothing when none is open.
    void commitEdit();
    // Closes the editor of a cell edit in progress without posting its text.
    void dropEdit();
    // Why the editor last refused a keystroke (empty before the first refusal).
    QString lastRefusal() const { return m_lastRefusal; }

    // --- settings ---------------------------------------------------------------------------
    QString bookmarkFields() const { return m_bookmarkFields; }
    void setBookmarkFields(const QString &fields) { m_bookmarkFields = fields; }
    QMenu *popupMenu() const;
    // The context menu shown on a right-click in the rows or the titles.
    void setPopupMenu(QMenu *menu);
    // The context menu asked for by the Menu key or Shift+F10.
    void showKeyboardMenu();

    QTableView *view() const;

    // Stops and restarts redrawing around a batch of changes.
    void beginBatch();
    void endBatch();

signals:
    // A cell editor opened (the main window sets db_modified from it).
    void initEdit();
    // A title click changed the column's sort mark and the view was sorted.
    void titleStateChange(int column);
    // An error of the grid's own slots (a table error, a failed post) for the application's
    // error box, with the error's text.
    void errorOccurred(const QString &text);
    // The editor refused a keystroke or paste, with the reason shown to the operator.
    void inputRefused(const QString &reason);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void titleStateChanged(int index);
    void fitColumns();
    void takeDisplayedWidths();
    void columnsRepaint();

    MeasurementTable &m_table;
    int m_series;
    std::vector<TgpColumn> m_columns;
    SeriesModel *m_model = nullptr;
    SeriesDelegate *m_delegate = nullptr;
    GridHeader *m_header = nullptr;
    GridView *m_view = nullptr;
    GridFooter *m_footer = nullptr;
    QPointer<QMenu> m_popup;
    QString m_bookmarkFields;
    QString m_lastRefusal;
    bool m_autoFit = true;
    bool m_fitting = false;
    int m_currentColumn = 0;
};

} // namespace kve
