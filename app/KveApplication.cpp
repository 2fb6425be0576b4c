#include "KveApplication.h"

#include "store/AppTitle.h"
#include "ui/Notifier.h"

namespace kve {

KveApplication::KveApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool KveApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showErrorBox(QString::fromStdString(e.what()));
    } catch (...) {
        showErrorBox(QStringLiteral("Неизвестная ошибка"));
    }
    return false;
}

void showErrorBox(const QString &text)
{
    notifier().show(Message(QMessageBox::Critical, applicationTitle(), text, QApplication::activeWindow())
                        .named(QStringLiteral("ErrorBox")));
}

} // namespace kve
