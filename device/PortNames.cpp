#include "PortNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace kve {

const QStringList &portNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (int i = 1; i <= kPortNameCount; ++i)
            list << QStringLiteral("\\\\.\\COM%1").arg(i);
        return list;
    }();
    return names;
}

QString portName(int number)
{
    return QStringLiteral("\\\\.\\COM%1").arg(number);
}

int portNumber(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM([0-9]{1,3})$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(name);
    if (!m.hasMatch())
        return 0;
    const int n = m.captured(1).toInt();
    return n >= 1 && n <= 255 ? n : 0;
}

QString portLinkDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Dorvatek/KVE/ports");
}

QString deviceForPortName(const QString &name)
{
#ifdef Q_OS_WIN
    return name;
#else
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
#endif
}

QString deviceToOpen(const QString &name)
{
#ifdef Q_OS_WIN
    return name;
#else
    const QString device = deviceForPortName(name);
    if (device.isEmpty())
        return QString();
    const QFileInfo info(device);
    return info.exists() ? info.canonicalFilePath() : QString();
#endif
}

} // namespace kve
