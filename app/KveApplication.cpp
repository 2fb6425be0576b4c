#include "KveApplication.h"

#include "ui/ErrorBox.h"

#include <optional>

namespace kve {

KveApplication::KveApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool KveApplication::notify(QObject *receiver, QEvent *event)
{
    // Read before: the receiver may be gone when an error comes back.
    const int type = int(event->type());
    std::optional<QString> failure;
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error &e) {
        failure = e.text();
        qCritical("%s: an error crossed the dispatch of event %d: %s", kBackstopMarker, type, e.what());
    } catch (const std::exception &e) {
        failure = QString::fromStdString(e.what());
        qCritical("%s: an error crossed the dispatch of event %d: %s", kBackstopMarker, type, e.what());
    } catch (...) {
        failure = unknownErrorText();
        qCritical("%s: an unknown error crossed the dispatch of event %d", kBackstopMarker, type);
    }
    ++m_backstopCount;
    showErrorBox(*failure);
    return false;
}

void showErrorBox(const QString &text)
{
    showErrorBox(nullptr, text);
}

} // namespace kve
