#include "GridParts.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace kve {

GridHeader::GridHeader(const std::vector<TgpColumn> &columns, QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent), m_columns(columns)
{
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
    QHeaderView::paintSection(painter, rect, logicalIndex);
    if (logicalIndex < 0 || logicalIndex >= int(m_columns.size()))
        return;
    const TitleState state = m_columns[size_t(logicalIndex)].TitleState;
    if (state == TitleState::tsSortedNone)
        return;
    // A small triangle at the right edge: pointing up for tsSortedUp, down for tsSortedDown.
    const int size = std::min(7, std::max(3, rect.height() / 4));
    const int right = rect.right() - 3;
    const int middle = rect.center().y();
    QPainterPath mark;
    if (state == TitleState::tsSortedUp) {
        mark.moveTo(right - size, middle + size / 2);
        mark.lineTo(right, middle + size / 2);
        mark.lineTo(right - size / 2.0, middle - size / 2);
    } else {
        mark.moveTo(right - size, middle - size / 2);
        mark.lineTo(right, middle - size / 2);
        mark.lineTo(right - size / 2.0, middle + size / 2);
    }
    mark.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(mark, palette().color(QPalette::ButtonText));
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
