#include "KveApplication.h"

#include "store/AppTitle.h"

#include <QMessageBox>

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
    QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

} // namespace kve
