#pragma once

// Reads a written workbook back with python3-xlrd, an independent reader, as JSON.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

namespace kvetest {

inline QString pythonForXlrd()
{
    // Debian's interpreter carries python3-xlrd; another python3 on PATH may not.
    const QString debian = QStringLiteral("/usr/bin/python3");
    return QFile::exists(debian) ? debian : QStringLiteral("python3");
}

// Empty object and a message in `error` when the reader fails.
inline QJsonObject readWorkbook(const QString &path, QString *error)
{
    QProcess p;
    p.start(pythonForXlrd(), {QStringLiteral(KVE_TEST_DATA_DIR "/xls_dump.py"), path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("xlrd could not read %1: %2").arg(path, QString::fromUtf8(p.readAllStandardError()));
        return {};
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &pe);
    if (pe.error != QJsonParseError::NoError) {
        *error = pe.errorString();
        return {};
    }
    return doc.object();
}

} // namespace kvetest

#define KVE_READ_WORKBOOK(var, path)                                                                  \
    QJsonObject var;                                                                                   \
    {                                                                                                  \
        QString readError;                                                                             \
        var = kvetest::readWorkbook(path, &readError);                                                 \
        QVERIFY2(readError.isEmpty(), qPrintable(readError));                                          \
    }
