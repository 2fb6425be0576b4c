#include "ErrorBox.h"

#include "store/AppTitle.h"

#include <QMessageBox>

namespace kve {

void showRefusal(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, QStringLiteral("Ошибка"), text);
}

void showErrorBox(QWidget *parent, const QString &text)
{
    QMessageBox::critical(parent, applicationTitle(), text);
}

} // namespace kve
