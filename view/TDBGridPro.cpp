#include "TDBGridPro.h"

#include "ColumnFit.h"
#include "CommentEditor.h"
#include "GridAccessible.h"
#include "GridCommands.h"
#include "GridParts.h"
#include "SeriesColumns.h"
#include "SeriesModel.h"
#include "TitleClick.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"

#include <QAccessible>
#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QProxyStyle>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace kve {

namespace {

// Grid lines in silver, whatever the desktop style draws them in.
class SilverGridStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget, QStyleHintReturn *returnData) const override
    {
        if (hint == SH_Table_GridLineColor)
            return int(QColor(192, 192, 192).rgba());
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TDBGridPro::TDBGridPro(MeasurementTable &table, int series, QWidget *parent)
    : QWidget(parent), m_table(table), m_series(series), m_columns(seriesGridColumns())
{
    // Installing the same factory again changes nothing.
    QAccessible::installFactory(gridAccessibleFactory);
    m_view = new GridView(this);
    // Created after the view so that it outlives it.
    auto *style = new SilverGridStyle;
    style->setParent(this);
    m_view->setStyle(style);

    m_header = new GridHeader(m_columns, m_view);
    QFont titleFont = m_header->font();
    titleFont.setFamily(QStringLiteral("MS Sans Serif"));
    m_header->setFont(titleFont);
    m_view->setHorizontalHeader(m_header);

    m_model = new SeriesModel(m_table, m_columns, this);
    m_view->setModel(m_model);
    m_delegate = new SeriesDelegate(this);
    m_view->setItemDelegate(m_delegate);

    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    // Tab and Shift+Tab leave the grid; inside the editor they end the edit as usual.
    m_view->setTabKeyNavigation(false);
    m_view->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_view->setDragEnabled(false);
    m_view->setWordWrap(false);
    m_view->setShowGrid(true);
    m_view->setGridStyle(Qt::SolidLine);
    m_view->setCornerButtonEnabled(false);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setAccessibleName(QStringLiteral("Серия №%1").arg(series));
    QHeaderView *rows = m_view->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    rows->hide();

    for (int i = 0; i < columnCount(); ++i)
        m_view->setColumnHidden(i, !m_columns[size_t(i)].Visible);

    m_footer = new GridFooter(m_view, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view);
    layout->addWidget(m_footer);
    setFocusProxy(m_view);

    // The grid's slots are edges of their own: an error goes to the error box by errorOccurred.
    const auto report = [this](const QString &text) { emit errorOccurred(text); };
    connect(m_header, &GridHeader::titleClicked, this, [this, report](int index, Qt::KeyboardModifiers modifiers) {
        runGuarded([&] { clickTitle(index, modifiers); }, report);
    });
    const auto takeWidths = [this, report] {
        runGuarded(
            [&] {
                takeDisplayedWidths();
                fitColumns();
            },
            report);
    };
    connect(m_header, &GridHeader::resizeDragFinished, this, takeWidths);
    connect(m_header, &QHeaderView::sectionResized, this, [this, takeWidths] {
        m_footer->update();
        if (m_fitting || m_header->mouseHeld())
            return;
        // A border double-click sizes a column to its contents: take it as the operator's width.
        QTimer::singleShot(0, this, takeWidths);
    });
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer, qOverload<>(&QWidget::update));
    m_view->viewport()->installEventFilter(this);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (current.isValid())
            m_currentColumn = current.column();
    });
    connect(m_delegate, &SeriesDelegate::editStarted, this, &TDBGridPro::initEdit);
    connect(m_delegate, &SeriesDelegate::inputRefused, this, [this](const QString &reason) {
        m_lastRefusal = reason;
        emit inputRefused(reason);
    });
    connect(m_model, &SeriesModel::errorOccurred, this, &TDBGridPro::errorOccurred);

    const auto showMenu = [this, report](QWidget *from, const QPoint &pos) {
        runGuarded(
            [&] {
                if (m_popup)
                    m_popup->popup(from->mapToGlobal(pos));
            },
            report);
    };
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this, showMenu](const QPoint &pos) { showMenu(m_view->viewport(), pos); });
    connect(m_view, &GridView::sortKeyPressed, this, [this, report](Qt::KeyboardModifiers modifiers) {
        runGuarded([&] { clickTitle(currentColumn(), modifiers); }, report);
    });
    connect(m_view, &GridView::keyboardMenuRequested, this, [this, report] {
        runGuarded([&] { showKeyboardMenu(); }, report);
    });
    m_header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_header, &QWidget::customContextMenuRequested, this,
            [this, showMenu](const QPoint &pos) { showMenu(m_header, pos); });

    fitColumns();
}

TDBGridPro::~TDBGridPro()
{
    // The view and the model read the columns: let them go first.
    delete m_view;
    delete m_model;
}

QString TDBGridPro::sortTag() const { return sortTagName(m_series); }

int TDBGridPro::columnOfField(const QString &field) const
{
    for (int i = 0; i < columnCount(); ++i) {
        if (m_columns[size_t(i)].FieldName.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void TDBGridPro::setColumnColor(int index, std::optional<QColor> colour)
{
    if (index < 0 || index >= columnCount())
        return;
    m_columns[size_t(index)].Color = colour;
    columnsRepaint();
}

void TDBGridPro::setColumnWidth(int index, int width)
{
    if (index < 0 || index >= columnCount())
        return;
    m_columns[size_t(index)].Width = std::max(width, 0);
    fitColumns();
}

void TDBGridPro::setTitleState(int index, TitleState state, int sortOrder)
{
    if (index < 0 || index >= columnCount())
        return;
    m_columns[size_t(index)].TitleState = state;
    m_columns[size_t(index)].SortOrder = sortOrder;
    m_header->viewport()->update();
}

void TDBGridPro::clearSortMarks()
{
    for (TgpColumn &c : m_columns) {
        c.TitleState = TitleState::tsSortedNone;
        c.SortOrder = -1;
    }
    m_header->viewport()->update();
}

std::vector<ColumnLayout> TDBGridPro::columnLayouts() const
{
    std::vector<ColumnLayout> out;
    for (const TgpColumn &c : m_columns)
        out.push_back(c.layout());
    return out;
}

void TDBGridPro::applyColumnLayout(int index, const ColumnLayout &record)
{
    if (index < 0 || index >= columnCount())
        return;
    m_columns[size_t(index)].applyLayout(record);
    fitColumns();
    columnsRepaint();
}

void TDBGridPro::setAutoColumnFit(bool on)
{
    m_autoFit = on;
    fitColumns();
}

int TDBGridPro::displayedWidth(int index) const { return m_header->sectionSize(index); }

int TDBGridPro::currentColumn() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? current.column() : m_currentColumn;
}

void TDBGridPro::setCurrentColumn(int index)
{
    if (index < 0 || index >= columnCount())
        return;
    m_currentColumn = index;
    const QModelIndex current = m_view->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    if (row < m_model->rowCount())
        m_view->selectionModel()->setCurrentIndex(m_model->index(row, index), QItemSelectionModel::NoUpdate);
}

QList<int> TDBGridPro::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &i : m_view->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TDBGridPro::clearSelection() { m_view->clearSelection(); }

void TDBGridPro::clickTitle(int index, Qt::KeyboardModifiers modifiers)
{
    if (index < 0 || index >= columnCount())
        return;
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const std::optional<TitleState> next = titleStateAfterClick(m_columns[size_t(index)].TitleState, ctrl);
    if (!next)
        return;
    commitEdit();
    int highest = 0;
    for (int i = 0; i < columnCount(); ++i) {
        TgpColumn &other = m_columns[size_t(i)];
        if (i == index)
            continue;
        if (!ctrl) {
            other.TitleState = TitleState::tsSortedNone;
            other.SortOrder = -1;
        } else if (other.TitleState != TitleState::tsSortedNone) {
            highest = std::max(highest, other.SortOrder);
        }
    }
    TgpColumn &c = m_columns[size_t(index)];
    if (*next == TitleState::tsSortedNone)
        c.SortOrder = -1;
    else if (c.TitleState == TitleState::tsSortedNone)
        c.SortOrder = highest + 1;
    c.TitleState = *next;
    m_header->viewport()->update();
    titleStateChanged(index);
    emit titleStateChange(index);
}

// Sorts the view of the series by the clicked column through the series' own tag.
void TDBGridPro::titleStateChanged(int index)
{
    if (!m_table.isOpen())
        return;
    const TgpColumn &c = m_columns[size_t(index)];
    const QString tag = sortTag();
    // The grids follow the click's view once.
    ViewChangeHold hold(m_table);
    try {
        m_table.setActiveTag(QString());
        bool deleted = true;
        try {
            m_table.deleteTag(tag);
            // What the refresh after the deletion would post; its re-read waits for the
            // new order below.
            if (m_table.state() == MeasurementTable::State::Edit || m_table.state() == MeasurementTable::State::Insert)
                m_table.post();
        } catch (const TableError &) {
            deleted = false;
        }
        if (c.TitleState == TitleState::tsSortedNone) {
            reset_sort(*this, tag);
            return;
        }
        try {
            // Up is descending, down ascending: the marks keep the instrument software's meaning.
            m_table.addTag(tag, c.FieldName, c.TitleState == TitleState::tsSortedUp);
        } catch (const TableError &) {
            // Without the tag the view is in record order.
            if (deleted) {
                try {
                    m_table.refresh();
                } catch (const TableError &) {
                }
            }
            throw;
        }
        m_table.setActiveTag(tag);
        // Regenerating re-reads the view in the tag's order: the refresh of the click.
        m_table.regenerateIndexes();
    } catch (const TableError &e) {
        emit errorOccurred(e.text());
    }
}

bool TDBGridPro::isEditing() const { return m_delegate->openEditor() != nullptr; }

QWidget *TDBGridPro::openEditor() const { return m_delegate->openEditor(); }

void TDBGridPro::commitEdit()
{
    QWidget *editor = m_delegate->openEditor();
    if (!editor)
        return;
    m_delegate->editorClosed(editor);
    m_view->finishEdit(editor);
}

void TDBGridPro::dropEdit()
{
    QWidget *editor = m_delegate->openEditor();
    if (!editor)
        return;
    m_delegate->editorClosed(editor);
    m_view->dropEdit(editor);
}

QTableView *TDBGridPro::view() const { return m_view; }

QMenu *TDBGridPro::popupMenu() const { return m_popup; }

void TDBGridPro::setPopupMenu(QMenu *menu) { m_popup = menu; }

void TDBGridPro::showKeyboardMenu()
{
    if (!m_popup)
        return;
    // At the cell cursor, with its first item chosen, so that it is announced and Enter works.
    const QRect cell = m_view->visualRect(m_view->currentIndex());
    const QPoint at = cell.isValid() ? cell.center() : QPoint(0, 0);
    m_popup->popup(m_view->viewport()->mapToGlobal(at));
    for (QAction *action : m_popup->actions()) {
        if (action->isVisible() && action->isEnabled() && !action->isSeparator()) {
            m_popup->setActiveAction(action);
            break;
        }
    }
}

void TDBGridPro::beginBatch() { setUpdatesEnabled(false); }

void TDBGridPro::endBatch()
{
    setUpdatesEnabled(true);
    update();
}

bool TDBGridPro::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: the view may be half destroyed when its last events arrive.
    if (event->type() == QEvent::Resize && watched == m_view->viewport())
        runGuarded([&] { fitColumns(); }, [this](const QString &text) { emit errorOccurred(text); });
    return QWidget::eventFilter(watched, event);
}

void TDBGridPro::fitColumns()
{
    if (m_fitting)
        return;
    m_fitting = true;
    std::vector<int> visible;
    std::vector<int> widths;
    for (int i = 0; i < columnCount(); ++i) {
        if (!m_columns[size_t(i)].Visible)
            continue;
        visible.push_back(i);
        widths.push_back(m_columns[size_t(i)].Width);
    }
    const std::vector<int> shown = m_autoFit ? fitColumnWidths(widths, m_view->viewport()->width()) : widths;
    for (std::size_t k = 0; k < visible.size(); ++k)
        m_header->resizeSection(visible[k], shown[k]);
    m_fitting = false;
    m_footer->update();
}

void TDBGridPro::takeDisplayedWidths()
{
    for (int i = 0; i < columnCount(); ++i) {
        if (m_columns[size_t(i)].Visible)
            m_columns[size_t(i)].Width = m_header->sectionSize(i);
    }
}

void TDBGridPro::columnsRepaint()
{
    m_model->columnsChanged();
    m_header->viewport()->update();
    m_view->viewport()->update();
}

} // namespace kve
