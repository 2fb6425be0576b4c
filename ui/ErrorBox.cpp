#include "ErrorBox.h"

#include "Notifier.h"
#include "store/AppTitle.h"

#include <QApplication>

namespace kve {

void showRefusal(QWidget *parent, const QString &text)
{
    notifier().show(Message(QMessageBox::Critical, QStringLiteral("Ошибка"), text, parent).preselect(QMessageBox::Ok));
}

void showErrorBox(QWidget *parent, const QString &text)
{
    notifier().show(Message(QMessageBox::Critical, applicationTitle(), text, parent ? parent : QApplication::activeWindow())
                        .preselect(QMessageBox::Ok)
                        .named(QStringLiteral("ErrorBox")));
}

} // namespace kve
