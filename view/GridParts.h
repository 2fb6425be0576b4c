#pragma once

#include "TgpColumn.h"

#include <QHeaderView>
#include <QTableView>
#include <QWidget>
#include <vector>

namespace kve {

// Column titles of a series grid: two text lines, the sort mark drawn at the right,
// clicks reported with the keys held.
class GridHeader : public QHeaderView {
    Q_OBJECT
public:
    GridHeader(const std::vector<TgpColumn> &columns, QWidget *parent);
    QSize sizeHint() const override;
    bool mouseHeld() const { return m_mouseHeld; }

signals:
    void titleClicked(int section, Qt::KeyboardModifiers modifiers);
    // The operator let go of the mouse after dragging a column border.
    void resizeDragFinished();

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void drawTitle(QPainter *painter, const QRect &rect, const QString &title) const;

    const std::vector<TgpColumn> &m_columns;
    Qt::KeyboardModifiers m_clickModifiers;
    bool m_mouseHeld = false;
    bool m_dragResized = false;
};

// The table part of a series grid; lets the grid finish an open cell edit. Ctrl+Tab,
// Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp are left to the page control around it.
class GridView : public QTableView {
    Q_OBJECT
public:
    explicit GridView(QWidget *parent) : QTableView(parent) {}
    // Writes the open editor's text to the model and closes it.
    void finishEdit(QWidget *editor);
    // Closes the open editor; its text goes nowhere.
    void dropEdit(QWidget *editor);

    // The key that does to the current column what a click on its title does.
    static constexpr Qt::Key kSortKey = Qt::Key_F3;

signals:
    // The sort key was pressed, with the keys held (Ctrl as in a Ctrl-click).
    void sortKeyPressed(Qt::KeyboardModifiers modifiers);
    // The context menu was asked for from the keyboard (Menu key, Shift+F10).
    void keyboardMenuRequested();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// The footer line under the rows: one empty cell per visible column.
class GridFooter : public QWidget {
    Q_OBJECT
public:
    GridFooter(QTableView *view, QWidget *parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTableView *m_view;
};

} // namespace kve
