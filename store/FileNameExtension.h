#pragma once

#include <QString>

namespace kve {

// The chosen file name ending in `extension` (such as ".xls"), compared without regard to
// case: "Серия 3 от 12.03.2024" becomes "Серия 3 от 12.03.2024.xls", "name." becomes
// "name.xls" (its trailing dot is the extension's), "a.XLS" stays. An empty name stays empty.
QString withExtension(const QString &fileName, const QString &extension);

} // namespace kve
