#include "Notifier.h"

#include <utility>

namespace kve {

namespace {

Notifier *&current()
{
    static BoxNotifier real;
    static Notifier *installed = &real;
    return installed;
}

} // namespace

QMessageBox::StandardButton BoxNotifier::show(const Message &message)
{
    QMessageBox box(message.icon, message.caption, message.text, message.buttons, message.parent);
    if (!message.objectName.isEmpty())
        box.setObjectName(message.objectName);
    if (message.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(message.defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    return QMessageBox::StandardButton(box.exec());
}

Notifier &notifier()
{
    return *current();
}

ScopedNotifier::ScopedNotifier(Notifier &replacement)
    : m_installed(&replacement), m_previous(std::exchange(current(), &replacement))
{
}

ScopedNotifier::~ScopedNotifier()
{
    // One put in place later and still there keeps its place.
    if (current() == m_installed)
        current() = m_previous;
}

} // namespace kve
