#pragma once

#include <QTabBar>
#include <QTabWidget>

namespace kve {

// The tab bar of the series pages. Assistive technology is told which tabs are hidden, so a
// hidden series tab is not announced (Qt's own tab bar reports every tab as showing).
// Only shown tabs can become current: the keys and the wheel step over hidden ones (Qt's
// own bar steps onto any enabled tab).
class SeriesTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit SeriesTabBar(QWidget *parent = nullptr);
    // The shown tab `step` places away from the current one, wrapping when asked; -1 if none.
    int shownTabFrom(int step, bool wrap) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
};

// The page control of the main window, with the tab bar above. Ctrl+Tab, Ctrl+Shift+Tab,
// Ctrl+PgDn and Ctrl+PgUp, also from within a grid, go to the next or previous shown series.
class SeriesPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit SeriesPageControl(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace kve
