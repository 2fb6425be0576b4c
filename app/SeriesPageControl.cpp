#include "SeriesPageControl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QWheelEvent>
#include <cstdlib>

namespace kve {

namespace {

// One tab of the series tab bar as assistive technology sees it.
class AccessibleSeriesTab : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    AccessibleSeriesTab(QTabBar *bar, int index) : m_bar(bar), m_index(index) {}

    bool isValid() const override { return m_bar && m_index < m_bar->count(); }
    QObject *object() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        if (QAccessibleInterface *bar = parent())
            s = bar->state();
        s.selectable = true;
        // A hidden tab is never announced as the chosen or focused one.
        s.selected = m_index == m_bar->currentIndex() && m_bar->isTabVisible(m_index);
        s.focused = s.selected && m_bar->hasFocus();
        s.invisible = s.invisible || !m_bar->isTabVisible(m_index);
        s.disabled = s.disabled || !m_bar->isTabEnabled(m_index);
        return s;
    }

    QRect rect() const override
    {
        if (!isValid() || !m_bar->isTabVisible(m_index))
            return {};
        const QRect tab = m_bar->tabRect(m_index);
        return QRect(m_bar->mapToGlobal(tab.topLeft()), tab.size());
    }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        switch (t) {
        case QAccessible::Name:
            return QString(m_bar->tabText(m_index)).remove(QLatin1Char('&'));
        case QAccessible::Description:
            return m_bar->tabToolTip(m_index);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_bar.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (isValid() && name == pressAction() && m_bar->isTabVisible(m_index))
            m_bar->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<QTabBar> m_bar;
    int m_index;
};

// The series tab bar: one child per tab, a hidden tab marked invisible, then the bar's own
// buttons.
class AccessibleSeriesTabBar : public QAccessibleWidget {
public:
    explicit AccessibleSeriesTabBar(QWidget *bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}

    ~AccessibleSeriesTabBar() override
    {
        for (QAccessible::Id id : std::as_const(m_tabs))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return tabBar()->count() + QAccessibleWidget::childCount(); }

    QAccessibleInterface *child(int index) const override
    {
        const int tabs = tabBar()->count();
        if (index >= tabs)
            return QAccessibleWidget::child(index - tabs);
        if (index < 0)
            return nullptr;
        if (const QAccessible::Id id = m_tabs.value(index))
            return QAccessible::accessibleInterface(id);
        auto *iface = new AccessibleSeriesTab(tabBar(), index);
        m_tabs.insert(index, QAccessible::registerAccessibleInterface(iface));
        return iface;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (child->role() == QAccessible::PageTab) {
            for (auto it = m_tabs.cbegin(); it != m_tabs.cend(); ++it) {
                if (QAccessible::accessibleInterface(it.value()) == child)
                    return it.key();
            }
            return -1;
        }
        const int own = QAccessibleWidget::indexOfChild(child);
        return own < 0 ? -1 : tabBar()->count() + own;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface *c = child(i);
            if (c && !c->state().invisible && c->rect().contains(x, y))
                return c;
        }
        return nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const int current = tabBar()->currentIndex();
            if (current >= 0 && tabBar()->isTabVisible(current))
                return QString(tabBar()->tabText(current)).remove(QLatin1Char('&'));
        }
        return QAccessibleWidget::text(t);
    }

private:
    QTabBar *tabBar() const { return static_cast<QTabBar *>(widget()); }

    mutable QHash<int, QAccessible::Id> m_tabs;
};

QAccessibleInterface *seriesTabBarFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(SeriesTabBar::staticMetaObject.className()) && object && object->isWidgetType())
        return new AccessibleSeriesTabBar(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

SeriesTabBar::SeriesTabBar(QWidget *parent) : QTabBar(parent)
{
    // Installing the same factory again changes nothing.
    QAccessible::installFactory(seriesTabBarFactory);
}

int SeriesTabBar::shownTabFrom(int step, bool wrap) const
{
    const int tabs = count();
    int index = currentIndex();
    for (int pass = 0; pass < tabs && step != 0; ++pass) {
        index += step;
        if (wrap)
            index = (index + tabs) % tabs;
        else if (index < 0 || index >= tabs)
            return -1;
        if (isTabVisible(index) && isTabEnabled(index))
            return index;
    }
    return -1;
}

void SeriesTabBar::keyPressEvent(QKeyEvent *event)
{
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        step = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        step = 1;
        break;
    case Qt::Key_Home:
        step = -count();
        break;
    case Qt::Key_End:
        step = count();
        break;
    default:
        QTabBar::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
        // The first or last shown tab: walk from the far end inwards.
        const int from = step < 0 ? 0 : count() - 1;
        for (int i = from; i >= 0 && i < count(); i += step < 0 ? 1 : -1) {
            if (isTabVisible(i) && isTabEnabled(i)) {
                setCurrentIndex(i);
                break;
            }
        }
    } else if (const int next = shownTabFrom(step, false); next >= 0) {
        setCurrentIndex(next);
    }
    event->accept();
}

void SeriesTabBar::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    const int amount = std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
    if (amount != 0) {
        if (const int next = shownTabFrom(amount > 0 ? -1 : 1, false); next >= 0)
            setCurrentIndex(next);
    }
    event->accept();
}

SeriesPageControl::SeriesPageControl(QWidget *parent) : QTabWidget(parent)
{
    setTabBar(new SeriesTabBar(this));
    // Qt names its scroll buttons in English.
    if (auto *left = tabBar()->findChild<QWidget *>(QStringLiteral("ScrollLeftButton")))
        left->setAccessibleName(QStringLiteral("Прокрутить влево"));
    if (auto *right = tabBar()->findChild<QWidget *>(QStringLiteral("ScrollRightButton")))
        right->setAccessibleName(QStringLiteral("Прокрутить вправо"));
}

void SeriesPageControl::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    int step = 0;
    if (ctrl && event->key() == Qt::Key_Tab)
        step = event->modifiers().testFlag(Qt::ShiftModifier) ? -1 : 1;
    else if (ctrl && event->key() == Qt::Key_Backtab)
        step = -1;
    else if (ctrl && event->key() == Qt::Key_PageDown)
        step = 1;
    else if (ctrl && event->key() == Qt::Key_PageUp)
        step = -1;
    if (step == 0) {
        QTabWidget::keyPressEvent(event);
        return;
    }
    auto *bar = static_cast<SeriesTabBar *>(tabBar());
    const bool hadFocus = bar->hasFocus();
    const int next = bar->shownTabFrom(step, true);
    if (next >= 0 && next != currentIndex())
        setCurrentIndex(next);
    // The operator goes on in the new series' grid, or stays on the bar.
    if (!hadFocus && currentWidget())
        currentWidget()->setFocus(Qt::TabFocusReason);
    event->accept();
}

} // namespace kve
