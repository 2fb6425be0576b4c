#pragma once

#include <QByteArray>
#include <QString>

namespace kve::cp1251 {

// Windows-1251 through Qt's ICU-backed codec; the 256 characters are taken from it once.
QString decode(const char *bytes, int length);
// Characters the code page cannot hold come out as '?': callers check canEncode first.
QByteArray encode(const QString &text);
bool canEncode(const QString &text);

} // namespace kve::cp1251
