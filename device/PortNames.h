#pragma once

#include <QString>
#include <QStringList>

namespace kve {

// The port names the operator sees: "\\.\COM1".."\\.\COM38", entry i naming COMi.
inline constexpr int kPortNameCount = 38;
const QStringList &portNames();
// "\\.\COMn" for n in 1..38.
QString portName(int number);

// The COM number of a name written like "\\.\COM7" or "COM7" (any case); 0 if it is none.
int portNumber(const QString &name);

// Folder of the per-user port links ("comN"), under the user's config location.
QString portLinkDirectory();

// The device behind a port name on this platform. A per-user link "comN" wins (even a
// dangling one, so a user can hide a port); otherwise COM1-4 are /dev/ttyS0-3, COM5-20
// /dev/ttyUSB0-15 and COM21-38 /dev/ttyACM0-17. A name that is no COM name is taken as a
// device path itself. On Windows the name is used as it is.
QString deviceForPortName(const QString &name);

// What the port object hands to the serial driver for a port name. On Windows the name
// itself: device names such as "\\.\COM2" have no file-system entry to check, so the open
// alone judges. Elsewhere the mapped device with its links resolved (so that locks name the
// real device), or nothing when it does not exist.
QString deviceToOpen(const QString &name);

} // namespace kve
