#include "ReplaceQuestion.h"

#include "Notifier.h"

#include <QDir>
#include <QFileInfo>

namespace kve {

bool mayReplaceFile(QWidget *parent, const QString &path)
{
    const QFileInfo info(path);
    // A dangling link counts too: writing through it would create its target.
    if (!info.exists() && !info.isSymLink())
        return true;
    const QString text = QStringLiteral("Файл «%1» уже существует. Заменить его?")
                             .arg(QDir::toNativeSeparators(info.absoluteFilePath()));
    const Message question = Message(QMessageBox::Question, QStringLiteral("Подтверждение"), text, parent)
                                 .yesNo()
                                 .preselect(QMessageBox::No)
                                 .named(QStringLiteral("ReplaceQuestion"));
    return notifier().show(question) == QMessageBox::Yes;
}

} // namespace kve
