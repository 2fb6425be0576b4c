#pragma once

#include <QByteArray>
#include <QString>

namespace kve::xls {

// A compound file (OLE2 structured storage) holding one stream of the given name, built
// by the system's own writer: libgsf, or on Windows ole32's structured storage.
// Throws XlsError.
QByteArray compoundFile(const QString &streamName, const QByteArray &stream);

// Writes the bytes to a temporary file beside the path and renames it over the path, so
// the path holds either its old content or all of the new bytes. Throws XlsError.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace kve::xls
