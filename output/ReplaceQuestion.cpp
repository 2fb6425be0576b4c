#include "ReplaceQuestion.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace kve::report {

bool mayReplaceFile(QWidget *parent, const QString &path)
{
    const QFileInfo info(path);
    // A dangling link counts too: writing through it would create its target.
    if (!info.exists() && !info.isSymLink())
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Подтверждение"),
                    QStringLiteral("Файл «%1» уже существует. Заменить его?")
                        .arg(QDir::toNativeSeparators(info.absoluteFilePath())),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("ReplaceQuestion"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace kve::report
