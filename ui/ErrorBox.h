#pragma once

#include <QString>

class QWidget;

namespace kve {

// A refusal the operator can put right (caption "Ошибка").
void showRefusal(QWidget *parent, const QString &text);
// The application-wide error box: an error's own text under the application title, over
// `parent` (none: the active window).
void showErrorBox(QWidget *parent, const QString &text);

} // namespace kve
