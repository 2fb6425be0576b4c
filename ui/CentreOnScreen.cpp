#include "CentreOnScreen.h"

#include <QMargins>
#include <QScreen>
#include <QWidget>

namespace kve {

namespace {

QMargins frameMargins(const QWidget *w)
{
    const QRect frame = w->frameGeometry();
    const QRect client = w->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

} // namespace

void centreOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    QMargins margins = frameMargins(window);
    if (margins.isNull() && window->parentWidget())
        margins = frameMargins(window->parentWidget()->window());
    QRect frame = window->geometry().marginsAdded(margins);
    frame.moveCenter(screen->availableGeometry().center());
    // The client area goes where the centred frame leaves it.
    window->setGeometry(QRect(frame.topLeft() + QPoint(margins.left(), margins.top()), window->size()));
}

} // namespace kve
