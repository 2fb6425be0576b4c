#include "ErrorBox.h"

#include "store/AppTitle.h"
#include "ui/Notifier.h"

namespace kve {

void showRefusal(QWidget *parent, const QString &text)
{
    notifier().show(Message(QMessageBox::Critical, QStringLiteral("Ошибка"), text, parent).preselect(QMessageBox::Ok));
}

void showErrorBox(QWidget *parent, const QString &text)
{
    notifier().show(Message(QMessageBox::Critical, applicationTitle(), text, parent).preselect(QMessageBox::Ok));
}

} // namespace kve
