#include "PortNames.h"

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

} // namespace kve
