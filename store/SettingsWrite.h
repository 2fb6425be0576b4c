#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>

namespace kve {

// Writes one value into the store and the group that `settings` works on, and says how
// that write alone went. A QSettings object keeps its first error for good, so one failed
// write would otherwise condemn every later one: each write gets an object of its own.
QSettings::Status writeSetting(const QSettings &settings, const QString &name, const QVariant &value);

} // namespace kve
