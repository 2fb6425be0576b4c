#include "KveApplication.h"

#include "ui/ErrorBox.h"

namespace kve {

KveApplication::KveApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool KveApplication::notify(QObject *receiver, QEvent *event)
{
    // Read before: the receiver may be gone when an error comes back.
    const int type = int(event->type());
    bool result = false;
    runGuarded([&] { result = QApplication::notify(receiver, event); },
               [&](const QString &text) {
                   ++m_backstopCount;
                   qCritical("%s: an error crossed the dispatch of event %d: %s", kBackstopMarker, type,
                             qUtf8Printable(text));
                   showErrorBox(text);
               });
    return result;
}

void showErrorBox(const QString &text)
{
    showErrorBox(nullptr, text);
}

} // namespace kve
