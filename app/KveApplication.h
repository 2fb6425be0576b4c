#pragma once

#include <QApplication>

namespace kve {

// The application object: every error that escapes an event handler ends that handler
// and is shown in one error box with its own text; the program goes on.
class KveApplication : public QApplication {
    Q_OBJECT
public:
    KveApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// Shows the application-wide error box.
void showErrorBox(const QString &text);

// Runs a command handler; an error escaping it goes to the error box. True when the
// handler ran to its end.
template <typename F>
bool runCommand(F &&handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception &e) {
        showErrorBox(QString::fromStdString(e.what()));
        return false;
    }
}

} // namespace kve
