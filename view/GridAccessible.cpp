#include "GridAccessible.h"

#include "GridParts.h"
#include "TDBGridPro.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHeaderView>
#include <QHash>
#include <QItemSelectionModel>
#include <QPointer>
#include <algorithm>

namespace kve {

namespace {

const QString kClearSortAction = QStringLiteral("Убрать сортировку");

// The grid owning a view, for its columns and its title click.
TDBGridPro *gridOf(const QTableView *view) { return view ? qobject_cast<TDBGridPro *>(view->parentWidget()) : nullptr; }

// One cell of the grid, a column title (row -1) or a row title (column -1; never shown).
class AccessibleGridCell : public QAccessibleInterface, public QAccessibleTableCellInterface, public QAccessibleActionInterface {
public:
    AccessibleGridCell(QTableView *view, int row, int column) : m_view(view), m_row(row), m_column(column) {}

    bool isValid() const override
    {
        return m_view && m_view->model() && m_row < m_view->model()->rowCount() && m_column < m_view->model()->columnCount();
    }
    QObject *object() const override { return nullptr; }
    QAccessible::Role role() const override
    {
        if (m_row < 0 && m_column < 0)
            return QAccessible::Pane;
        if (m_row < 0)
            return QAccessible::ColumnHeader;
        if (m_column < 0)
            return QAccessible::RowHeader;
        return QAccessible::Cell;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.invisible = !m_view->isVisible() || m_column < 0 || (m_column >= 0 && m_view->isColumnHidden(m_column));
        if (m_row >= 0 && m_column >= 0) {
            const QModelIndex index = m_view->model()->index(m_row, m_column);
            s.selectable = true;
            s.multiSelectable = true;
            s.extSelectable = true;
            s.focusable = true;
            s.selected = m_view->selectionModel() && m_view->selectionModel()->isSelected(index);
            s.focused = m_view->hasFocus() && m_view->currentIndex() == index;
            s.editable = index.flags().testFlag(Qt::ItemIsEditable);
            s.readOnly = !s.editable;
            s.offscreen = !s.invisible && !m_view->viewport()->rect().intersects(m_view->visualRect(index));
        }
        return s;
    }

    QRect rect() const override
    {
        if (!isValid() || state().invisible)
            return {};
        if (m_row < 0) {
            QHeaderView *header = m_view->horizontalHeader();
            const QRect r(header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column), header->height());
            return QRect(header->viewport()->mapToGlobal(r.topLeft()), r.size());
        }
        const QRect r = m_view->visualRect(m_view->model()->index(m_row, m_column));
        return QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || m_column < 0)
            return {};
        if (m_row < 0) {
            TDBGridPro *grid = gridOf(m_view);
            if (t == QAccessible::Name)
                return m_view->model()->headerData(m_column, Qt::Horizontal, Qt::DisplayRole).toString();
            if (t == QAccessible::Description && grid && m_column < grid->columnCount()) {
                // tsSortedUp orders descending, tsSortedDown ascending (the grid's own meaning).
                switch (grid->column(m_column).TitleState) {
                case TitleState::tsSortedUp:
                    return QStringLiteral("по убыванию");
                case TitleState::tsSortedDown:
                    return QStringLiteral("по возрастанию");
                case TitleState::tsSortedNone:
                    return {};
                }
            }
            return {};
        }
        if (t == QAccessible::Name || t == QAccessible::Value)
            return m_view->model()->index(m_row, m_column).data(Qt::DisplayRole).toString().trimmed();
        return {};
    }
    void setText(QAccessible::Text, const QString &) override {}

    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface && m_row >= 0 && m_column >= 0)
            return static_cast<QAccessibleTableCellInterface *>(this);
        if (type == QAccessible::ActionInterface && m_row < 0 && m_column >= 0)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // Table cell.
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        QAccessibleInterface *table = parent();
        QAccessibleTableInterface *t = table ? table->tableInterface() : nullptr;
        QAccessibleInterface *header = t ? table->child(m_column + 1) : nullptr;
        return header ? QList<QAccessibleInterface *>{header} : QList<QAccessibleInterface *>{};
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    bool isSelected() const override { return state().selected; }
    QAccessibleInterface *table() const override { return parent(); }

    // Column title: the click and the Ctrl-click.
    QStringList actionNames() const override { return {pressAction(), kClearSortAction}; }
    QString localizedActionDescription(const QString &name) const override
    {
        return name == pressAction() ? QStringLiteral("Сортировать") : name;
    }
    QString localizedActionName(const QString &name) const override { return localizedActionDescription(name); }
    void doAction(const QString &name) override
    {
        TDBGridPro *grid = gridOf(m_view);
        if (!grid || !isValid() || state().invisible)
            return;
        const Qt::KeyboardModifiers modifiers = name == kClearSortAction ? Qt::ControlModifier : Qt::NoModifier;
        if (name == pressAction() || name == kClearSortAction)
            runGuarded([&] { grid->clickTitle(m_column, modifiers); }, [grid](const QString &text) { emit grid->errorOccurred(text); });
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        return {name == kClearSortAction ? QStringLiteral("Ctrl+F3") : QStringLiteral("F3")};
    }

private:
    QPointer<QTableView> m_view;
    int m_row;
    int m_column;
};

// The grid's table: children in the order Qt's item views number them for their events,
// (row + 1) * (columns + 1) + column + 1, with the open editor after the cells.
class AccessibleGridTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit AccessibleGridTable(QWidget *view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~AccessibleGridTable() override { clearCells(); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override { return cellCount() + (editor() ? 1 : 0); }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0)
            return nullptr;
        if (index >= cellCount())
            return index == cellCount() && editor() ? QAccessible::queryAccessibleInterface(editor()) : nullptr;
        if (const QAccessible::Id id = m_cells.value(index))
            return QAccessible::accessibleInterface(id);
        const int columns = view()->model()->columnCount() + 1;
        auto *cell = new AccessibleGridCell(view(), index / columns - 1, index % columns - 1);
        m_cells.insert(index, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (editor() && child->object() == editor())
            return cellCount();
        for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
            if (QAccessible::accessibleInterface(it.value()) == child)
                return it.key();
        }
        return -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint inViewport = view()->viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = view()->indexAt(inViewport);
        return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
    }

    // Table.
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QString columnDescription(int column) const override
    {
        return view()->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    QString rowDescription(int) const override { return {}; }
    int columnCount() const override { return view()->model()->columnCount(); }
    int rowCount() const override { return view()->model()->rowCount(); }
    int selectedCellCount() const override { return int(selectedIndexes().size()); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(view()->selectionModel()->selectedRows().size()); }
    QList<QAccessibleInterface *> selectedCells() const override
    {
        QList<QAccessibleInterface *> out;
        for (const QModelIndex &i : selectedIndexes())
            out << cellAt(i.row(), i.column());
        return out;
    }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        QList<int> out;
        for (const QModelIndex &i : view()->selectionModel()->selectedRows())
            out << i.row();
        std::sort(out.begin(), out.end());
        return out;
    }
    QAccessibleInterface *cellAt(int row, int column) const override
    {
        if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
            return nullptr;
        return child((row + 1) * (columnCount() + 1) + column + 1);
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return view()->selectionModel()->isRowSelected(row, QModelIndex()); }
    bool selectRow(int row) override
    {
        view()->selectionModel()->select(view()->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override
    {
        view()->selectionModel()->select(view()->model()->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        return true;
    }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override { clearCells(); }

private:
    QTableView *view() const { return static_cast<QTableView *>(widget()); }
    int cellCount() const { return (view()->model()->rowCount() + 1) * (view()->model()->columnCount() + 1); }
    QWidget *editor() const
    {
        TDBGridPro *grid = gridOf(view());
        return grid ? grid->openEditor() : nullptr;
    }
    QModelIndexList selectedIndexes() const
    {
        QModelIndexList out;
        for (const QModelIndex &i : view()->selectionModel()->selectedIndexes()) {
            if (!view()->isColumnHidden(i.column()))
                out << i;
        }
        return out;
    }
    void clearCells() const
    {
        for (QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

    mutable QHash<int, QAccessible::Id> m_cells;
};

} // namespace

QAccessibleInterface *gridAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(GridView::staticMetaObject.className()) && object && object->isWidgetType())
        return new AccessibleGridTable(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace kve
