#include "PortNames.h"

namespace kve {

// Windows opens "\\.\COMn" itself, and only the open can tell whether such a port exists.
QString deviceForPortName(const QString &name) { return name; }

QString deviceToOpen(const QString &name) { return name; }

} // namespace kve
