#pragma once

#include "store/Error.h"

#include <QApplication>

namespace kve {

// The application object. Every command, slot and event handler has its own edge
// (runGuarded); notify is only the last resort behind them: an error that reaches it ends
// its handler, is logged under kBackstopMarker and counted, and is shown in the error box;
// the program goes on. The app tests fail when the count is not 0.
class KveApplication : public QApplication {
    Q_OBJECT
public:
    KveApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
    // How many errors reached the last resort; kept on this object, not globally.
    int backstopCount() const { return m_backstopCount; }

private:
    int m_backstopCount = 0;
};

// The start of the log line of an error that reached the last resort.
inline constexpr char kBackstopMarker[] = "KVE-BACKSTOP";

// Shows the application-wide error box.
void showErrorBox(const QString &text);

// Runs a command handler; an error escaping it goes to the error box. True when the
// handler ran to its end.
template <typename F>
bool runCommand(F &&handler)
{
    return runGuarded(std::forward<F>(handler), [](const QString &text) { showErrorBox(text); });
}

} // namespace kve
