#pragma once

#include <QIcon>
#include <QList>

namespace kve {

// ImageList1: the seven 16×16 toolbar and menu icons, drawn by the program itself:
// 0 new, 1 open, 2 save, 3 preview, 4 print, 5 help, 6 delete rows.
QList<QIcon> makeImageList();

} // namespace kve
