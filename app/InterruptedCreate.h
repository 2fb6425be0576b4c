#pragma once

#include "store/InPlaceReplace.h"

class QWidget;

namespace kve {

// At start-up: finishes what a copy of the program that died while "Создать" wrote a table
// in place left, and tells the operator, one box each, that the old file is back or where
// its old contents are kept.
void recoverInterruptedCreates(QWidget *parent);
void tellInterruptedCreates(const QList<InPlaceReplace::Interrupted> &found, QWidget *parent);

} // namespace kve
