#include "SettingsWrite.h"

namespace kve {

QSettings::Status writeSetting(const QSettings &settings, const QString &name, const QVariant &value)
{
    // Objects on the same file share its contents in this process: `settings` reads the
    // value at once.
    QSettings own(settings.fileName(), settings.format());
    if (!settings.group().isEmpty())
        own.beginGroup(settings.group());
    own.setValue(name, value);
    own.sync();
    return own.status();
}

} // namespace kve
