#pragma once

#include <QString>

namespace kve {

// Whether another process holds the file open the way the table object does (exclusively).
bool heldByAnotherProcess(const QString &path);

// Why this user may not write the existing file, in the system's words; empty when it may.
QString cannotWrite(const QString &path);

// Puts `from` in the place of `to` in one step, replacing a file there; the old file stays
// whole if this fails. Returns an empty text on success, else the system's reason.
QString replaceFile(const QString &from, const QString &to);

} // namespace kve
