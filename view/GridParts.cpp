#include "GridParts.h"

#include "TitleLines.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionHeader>

namespace kve {

GridHeader::GridHeader(const std::vector<TgpColumn> &columns, QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent), m_columns(columns)
{
    setAccessibleName(QStringLiteral("Заголовки столбцов"));
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setTextElideMode(Qt::ElideNone);
    setDefaultAlignment(Qt::Alignment(int(Qt::AlignCenter) | int(Qt::TextWordWrap)));
    setStretchLastSection(false);
    connect(this, &QHeaderView::sectionClicked, this, [this](int section) { emit titleClicked(section, m_clickModifiers); });
    connect(this, &QHeaderView::sectionResized, this, [this] {
        if (m_mouseHeld)
            m_dragResized = true;
    });
}

QSize GridHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    const int twoLines = 2 * fontMetrics().lineSpacing() + 8;
    size.setHeight(std::max(size.height(), twoLines));
    return size;
}

void GridHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text.clear();
    if (isEnabled())
        option.state |= QStyle::State_Enabled;
    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
    painter->restore();
    if (logicalIndex < 0 || logicalIndex >= int(m_columns.size()))
        return;
    const TgpColumn &column = m_columns[size_t(logicalIndex)];
    const int markWidth = 9;
    const QRect textRect = rect.adjusted(3, 2, -(3 + markWidth), -2);
    drawTitle(painter, textRect, column.Title);

    if (column.TitleState == TitleState::tsSortedNone)
        return;
    // A small triangle at the right edge: pointing up for tsSortedUp, down for tsSortedDown.
    const double size = 7;
    const double right = rect.right() - 3;
    const double middle = rect.center().y() + 0.5;
    QPainterPath mark;
    if (column.TitleState == TitleState::tsSortedUp) {
        mark.moveTo(right - size, middle + size / 2);
        mark.lineTo(right, middle + size / 2);
        mark.lineTo(right - size / 2, middle - size / 2);
    } else {
        mark.moveTo(right - size, middle - size / 2);
        mark.lineTo(right, middle - size / 2);
        mark.lineTo(right - size / 2, middle + size / 2);
    }
    mark.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(mark, palette().color(QPalette::ButtonText));
    painter->restore();
}

// The title in at most two centred lines; what does not fit ends in an ellipsis.
void GridHeader::drawTitle(QPainter *painter, const QRect &rect, const QString &title) const
{
    if (rect.width() <= 0)
        return;
    const QFontMetrics metrics(font());
    const QStringList lines = titleLines(title, font(), rect.width());
    const int height = int(lines.size()) * metrics.lineSpacing();
    int y = rect.top() + (rect.height() - height) / 2;
    painter->save();
    painter->setFont(font());
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->setClipRect(rect.adjusted(-3, -2, 3, 2));
    for (const QString &line : lines) {
        painter->drawText(QRect(rect.left(), y, rect.width(), metrics.lineSpacing()), Qt::AlignCenter, line);
        y += metrics.lineSpacing();
    }
    painter->restore();
}

void GridHeader::mousePressEvent(QMouseEvent *event)
{
    m_mouseHeld = event->button() == Qt::LeftButton;
    m_dragResized = false;
    QHeaderView::mousePressEvent(event);
}

void GridHeader::mouseReleaseEvent(QMouseEvent *event)
{
    m_clickModifiers = event->modifiers();
    const bool resized = m_dragResized;
    m_mouseHeld = false;
    m_dragResized = false;
    QHeaderView::mouseReleaseEvent(event);
    if (resized)
        emit resizeDragFinished();
}

void GridView::finishEdit(QWidget *editor)
{
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void GridView::dropEdit(QWidget *editor)
{
    if (editor)
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

bool GridView::event(QEvent *event)
{
    if (event->type() == QEvent::ContextMenu && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        emit keyboardMenuRequested();
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int key = event->key();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    if (ctrl && (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_PageDown || key == Qt::Key_PageUp)) {
        event->ignore();
        return;
    }
    if (key == kSortKey) {
        emit sortKeyPressed(mods);
        event->accept();
        return;
    }
    if ((key == Qt::Key_F10 && mods.testFlag(Qt::ShiftModifier)) || key == Qt::Key_Menu) {
        emit keyboardMenuRequested();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

GridFooter::GridFooter(QTableView *view, QWidget *parent) : QWidget(parent), m_view(view)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAutoFillBackground(false);
}

QSize GridFooter::sizeHint() const { return {100, m_view->verticalHeader()->defaultSectionSize() + 2}; }

void GridFooter::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const QHeaderView *header = m_view->horizontalHeader();
    const int offset = m_view->viewport()->mapTo(parentWidget(), QPoint(0, 0)).x() - x();
    p.setPen(QColor(192, 192, 192));
    p.drawLine(0, 0, width(), 0);
    for (int i = 0; i < header->count(); ++i) {
        if (header->isSectionHidden(i))
            continue;
        const int right = offset + header->sectionViewportPosition(i) + header->sectionSize(i) - 1;
        p.drawLine(right, 0, right, height());
    }
}

} // namespace kve
