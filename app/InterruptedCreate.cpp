#include "InterruptedCreate.h"

#include "ui/Notifier.h"

#include <QDir>

namespace kve {

void recoverInterruptedCreates(QWidget *parent) { tellInterruptedCreates(InPlaceReplace::recoverInterrupted(), parent); }

void tellInterruptedCreates(const QList<InPlaceReplace::Interrupted> &found, QWidget *parent)
{
    for (const InPlaceReplace::Interrupted &one : found) {
        const QString target = QDir::toNativeSeparators(one.target);
        const bool restored = one.keptCopy.isEmpty();
        const QString text = restored
                                 ? QStringLiteral("Создание таблицы «%1» было прервано. Прежний файл восстановлен.").arg(target)
                                 : QStringLiteral("Создание таблицы «%1» было прервано. Прежнее содержимое файла сохранено в «%2».")
                                       .arg(target, QDir::toNativeSeparators(one.keptCopy));
        notifier().show(Message(restored ? QMessageBox::Information : QMessageBox::Warning, QStringLiteral("Ошибка"), text, parent)
                            .named(QStringLiteral("InterruptedCreateBox")));
    }
}

} // namespace kve
