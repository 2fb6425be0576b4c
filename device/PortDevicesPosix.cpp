#include "PortNames.h"

#include <QFileInfo>

namespace kve {

QString deviceForPortName(const QString &name)
{
    const int n = portNumber(name);
    if (n == 0)
        return name;
    const QString link = portLinkDirectory() + QStringLiteral("/com%1").arg(n);
    const QFileInfo info(link);
    if (info.isSymLink() || info.exists())
        return link;
    if (n <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n <= 20)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 5);
    if (n <= 38)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 21);
    return QString();
}

QString deviceToOpen(const QString &name)
{
    const QString device = deviceForPortName(name);
    if (device.isEmpty())
        return QString();
    const QFileInfo info(device);
    return info.exists() ? info.canonicalFilePath() : QString();
}

} // namespace kve
