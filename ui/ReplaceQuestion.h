#pragma once

#include <QString>

class QWidget;

namespace kve {

// The question before a save replaces an existing file: "Подтверждение", "Файл «<path>» уже
// существует. Заменить его?" with Да and Нет, Нет preselected. True when the file does not
// exist or the operator answers Да.
bool mayReplaceFile(QWidget *parent, const QString &path);

} // namespace kve
