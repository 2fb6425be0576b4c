#pragma once

#include <QTabBar>
#include <QTabWidget>

namespace kve {

// The tab bar of the series pages. Assistive technology is told which tabs are hidden, so a
// hidden series tab is not announced (Qt's own tab bar reports every tab as showing).
class SeriesTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit SeriesTabBar(QWidget *parent = nullptr);
};

// The page control of the main window, with the tab bar above.
class SeriesPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit SeriesPageControl(QWidget *parent = nullptr);
};

} // namespace kve
