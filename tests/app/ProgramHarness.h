#pragma once

// Helpers for driving the whole program in a test: the instrument emulator on a real
// pseudo-terminal, a reader of the table file's bytes that does not go through the
// program's own table code, and the workbook read back with xlrd.

#include "EmulatorProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QtTest>

#include <csignal>
#include <functional>
#include <optional>

namespace harness {

using Emulator = testing::EmulatorProcess;

// Waits, running the event loop, until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Names in a folder, hidden ones included.
inline QStringList folderEntries(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

// A dBase III file read straight from its bytes.
struct DbfFile {
    bool whole = false;          // header, records and end byte agree with the file size
    QString problem;             // why not
    int headerLength = 0;
    int recordLength = 0;
    QStringList fields;
    QList<int> offsets;
    QList<int> widths;
    QList<QByteArray> records;   // raw, deletion flag first

    QString text(int record, const QString &field) const
    {
        const int i = fields.indexOf(field);
        if (i < 0 || record < 0 || record >= records.size())
            return {};
        QStringDecoder decode("windows-1251");
        QString s = decode(records[record].mid(offsets[i], widths[i]));
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        return s;
    }
    bool deleted(int record) const { return records.value(record).startsWith('*'); }
    // The first live record whose fields hold the given texts (compared without blanks).
    int find(const QList<std::pair<QString, QString>> &where) const
    {
        for (int r = 0; r < records.size(); ++r) {
            if (deleted(r))
                continue;
            bool all = true;
            for (const auto &[field, value] : where)
                all = all && text(r, field).trimmed() == value;
            if (all)
                return r;
        }
        return -1;
    }
};

inline DbfFile readDbf(const QByteArray &bytes)
{
    DbfFile f;
    const auto u8 = [&](int i) { return int(static_cast<unsigned char>(bytes.at(i))); };
    if (bytes.size() < 33) {
        f.problem = QStringLiteral("shorter than a header (%1 bytes)").arg(bytes.size());
        return f;
    }
    const qint64 count = qint64(u8(4)) | qint64(u8(5)) << 8 | qint64(u8(6)) << 16 | qint64(u8(7)) << 24;
    f.headerLength = u8(8) | u8(9) << 8;
    f.recordLength = u8(10) | u8(11) << 8;
    int offset = 1;
    for (int pos = 32; pos + 32 <= f.headerLength && u8(pos) != 0x0D; pos += 32) {
        f.fields << QString::fromLatin1(bytes.mid(pos, 11).constData());
        f.offsets << offset;
        f.widths << u8(pos + 16);
        offset += u8(pos + 16);
    }
    const qint64 expected = f.headerLength + count * f.recordLength + 1;
    if (offset != f.recordLength)
        f.problem = QStringLiteral("field widths %1 against record length %2").arg(offset).arg(f.recordLength);
    else if (bytes.size() != expected)
        f.problem = QStringLiteral("%1 records need %2 bytes, the file has %3").arg(count).arg(expected).arg(bytes.size());
    else if (bytes.at(bytes.size() - 1) != char(0x1A))
        f.problem = QStringLiteral("no end-of-file byte");
    if (f.recordLength <= 0)
        return f;
    for (qint64 r = 0; r < count && f.headerLength + (r + 1) * f.recordLength <= bytes.size(); ++r)
        f.records << bytes.mid(int(f.headerLength + r * f.recordLength), f.recordLength);
    f.whole = f.problem.isEmpty();
    return f;
}

// Every non-empty cell text of the first sheet of a workbook, read by xlrd under the
// system's python (the one that carries python3-xlrd).
inline QStringList workbookTexts(const QString &path, QString *error)
{
    static const char *script =
        "import sys, xlrd\n"
        "book = xlrd.open_workbook(sys.argv[1])\n"
        "sh = book.sheet_by_index(0)\n"
        "for r in range(sh.nrows):\n"
        "    for c in range(sh.ncols):\n"
        "        v = sh.cell_value(r, c)\n"
        "        if v != '':\n"
        "            sys.stdout.buffer.write((str(v).replace('\\n', ' ') + '\\n').encode('utf-8'))\n";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("xlrd could not read %1: %2").arg(path, QString::fromUtf8(p.readAllStandardError()));
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The property lines of the record for `field` in a stored column layout.
inline QStringList layoutRecord(const QString &layoutText, const QString &field)
{
    const QStringList lines = layoutText.split(QStringLiteral("\r\n"));
    QStringList record;
    bool inside = false;
    for (const QString &line : lines) {
        const QString t = line.trimmed();
        if (t == QLatin1String("item")) {
            inside = true;
            record.clear();
        } else if (inside && t.startsWith(QLatin1String("end"))) {
            if (record.contains(QStringLiteral("FieldName = '%1'").arg(field)))
                return record;
            inside = false;
        } else if (inside) {
            record << t;
        }
    }
    return {};
}

} // namespace harness
