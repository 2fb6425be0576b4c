// A write to the table that fails (file size limit, full file system) leaves the file as it
// was before the post, the error reaches the caller, and the table goes on working. A file
// whose header counts fewer rows than it holds is never written over its uncounted bytes, and the refusal says what they are.
// After each failure the file is read back by a plain reader of its bytes, not by the table.

#include "FileSizeLimit.h"
#include "store/MeasurementTable.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using kve::MeasurementTable;
using kve::TableError;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

// A dBase III file read straight from its bytes.
struct RawTable {
    QString problem;   // empty when header, records and end byte agree with the size
    int version = 0;
    int count = 0;
    int headerLength = 0;
    int recordLength = 0;
    QStringList rows;   // per record: deletion flag, N, EN_CH, COMMENT, joined by '|'
};

RawTable readRaw(const QByteArray &b)
{
    RawTable t;
    if (b.size() < 32) {
        t.problem = QStringLiteral("shorter than a header");
        return t;
    }
    const auto u8 = [&](int i) { return int(quint8(b[i])); };
    t.version = u8(0);
    t.count = u8(4) | u8(5) << 8 | u8(6) << 16 | u8(7) << 24;
    t.headerLength = u8(8) | u8(9) << 8;
    t.recordLength = u8(10) | u8(11) << 8;
    if (t.version != 0x03 || t.headerLength != 577 || t.recordLength != 226) {
        t.problem = QStringLiteral("header %1/%2/%3").arg(t.version).arg(t.headerLength).arg(t.recordLength);
        return t;
    }
    const qint64 end = t.headerLength + qint64(t.count) * t.recordLength;
    if (b.size() != end + 1 || b.back() != '\x1A')
        t.problem = QStringLiteral("%1 records need %2 bytes and an end byte, the file has %3").arg(t.count).arg(end + 1).arg(b.size());
    for (int r = 0; r < t.count && t.headerLength + (r + 1) * t.recordLength <= b.size(); ++r) {
        const QByteArray rec = b.mid(t.headerLength + r * t.recordLength, t.recordLength);
        // Offsets of the record layout: N at 1 (4), EN_CH at 16 (4), COMMENT at 60 (50).
        t.rows << QString::fromLatin1(rec.left(1) + "|" + rec.mid(1, 4).trimmed() + "|" + rec.mid(16, 4).trimmed() + "|"
                                      + rec.mid(60, 50).trimmed());
    }
    return t;
}

void appendRow(MeasurementTable &t, int n, int series, const QString &comment)
{
    t.append();
    t.setFieldInt("N", n);
    t.setFieldInt("EN_CH", series);
    t.setFieldText("DATE", "01.03.2026");
    t.setFieldText("COMMENT", comment);
    t.post();
}

// A file with the given comments, rows numbered from 1 in series 1.
void makeTable(const QString &path, const QStringList &comments)
{
    MeasurementTable t;
    t.setFilePath(path);
    t.create();
    for (int i = 0; i < comments.size(); ++i)
        appendRow(t, i + 1, 1, comments[i]);
    t.close();
}

using testing::FileSizeLimit;

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const TableError &e) {
        return e.text();
    }
    return {};
}

} // namespace

class TableWriteFailuresTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_mount;
    QString path(const QString &name) const { return m_dir->filePath(name); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        if (!m_mount.isEmpty()) {
            QProcess::execute(QStringLiteral("umount"), {m_mount});
            m_mount.clear();
        }
        m_dir.reset();
    }

    // Every kind of post that makes the file grow, with the file size limit at the file's
    // size: the post fails with the system's reason, the file keeps every byte, and once
    // there is room again the table writes on.
    void growingPostFailsAndFileStaysWhole_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("withoutEndByte");   // a file of another writer that has none
        QTest::newRow("new row") << "append" << false;
        QTest::newRow("new row, no end byte") << "append" << true;
        QTest::newRow("edit of the last row, no end byte") << "edit" << true;
        QTest::newRow("deleted row, no end byte") << "delete" << true;
    }

    void growingPostFailsAndFileStaysWhole()
    {
        QFETCH(QString, action);
        QFETCH(bool, withoutEndByte);
        const QString file = path("limit.db");
        makeTable(file, {"first", "second", "third"});
        if (withoutEndByte) {
            QByteArray b = readAll(file);
            b.chop(1);
            QVERIFY(writeAll(file, b));
        }
        const QByteArray before = readAll(file);

        MeasurementTable t;
        t.setFilePath(file);
        t.open();
        QString error;
        {
            FileSizeLimit limit(before.size());
            QVERIFY(limit.ok());
            error = errorOf([&] {
                if (action == QLatin1String("append")) {
                    appendRow(t, 4, 2, "fourth");
                } else if (action == QLatin1String("edit")) {
                    t.last();
                    t.edit();
                    t.setFieldText("COMMENT", "changed");
                    t.post();
                } else {
                    t.last();
                    t.deleteRecord();
                }
            });
        }
        QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(file)), qPrintable(error));
        QCOMPARE(readAll(file), before);

        // The table goes on: what it shows is what the file holds, and the next post lands.
        QCOMPARE(t.state(), MeasurementTable::State::Browse);
        QCOMPARE(t.recordCount(), 3);
        t.last();
        QCOMPARE(t.fieldText("COMMENT"), QStringLiteral("third"));
        appendRow(t, 4, 2, "after");
        t.close();
        const RawTable raw = readRaw(readAll(file));
        QVERIFY2(raw.problem.isEmpty(), qPrintable(raw.problem));
        QCOMPARE(raw.rows, QStringList({" |1|1|first", " |2|1|second", " |3|1|third", " |4|2|after"}));
    }

    // A post of a row already counted, in place, while no byte more may be written: it
    // lands, because the file does not grow.
    void postInPlaceNeedsNoRoom()
    {
        const QString file = path("inplace.db");
        makeTable(file, {"first", "second"});
        MeasurementTable t;
        t.setFilePath(file);
        t.open();
        {
            FileSizeLimit limit(readAll(file).size());
            QVERIFY(limit.ok());
            t.first();
            t.edit();
            t.setFieldText("COMMENT", "edited");
            t.post();
        }
        t.close();
        const RawTable raw = readRaw(readAll(file));
        QVERIFY2(raw.problem.isEmpty(), qPrintable(raw.problem));
        QCOMPARE(raw.rows, QStringList({" |1|1|edited", " |2|1|second"}));
    }

    // A real file system that is full: the row being appended gets part of its bytes on disk
    // before the space runs out; all of it is taken back.
    void fullFileSystem()
    {
        const QString mount = path("small");
        QVERIFY(QDir().mkpath(mount));
        if (::geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mount}) != 0)
            QSKIP("this machine does not let the test mount a tmpfs");
        m_mount = mount;
        // 15 rows end 128 bytes before a 4 KiB page boundary: a new row needs a new page.
        const QString file = mount + QStringLiteral("/full.db");
        QStringList comments;
        for (int i = 1; i <= 15; ++i)
            comments << QStringLiteral("row %1").arg(i);
        makeTable(file, comments);
        const QByteArray before = readAll(file);
        QCOMPARE(before.size(), 3968);
        // Fill the rest.
        {
            QFile filler(mount + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size()) {
            }
        }

        MeasurementTable t;
        t.setFilePath(file);
        t.open();
        const QString error = errorOf([&] { appendRow(t, 16, 1, "no room"); });
        QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(error));
        QCOMPARE(readAll(file), before);
        QCOMPARE(t.recordCount(), 15);

        QVERIFY(QFile::remove(mount + QStringLiteral("/filler")));
        appendRow(t, 16, 1, "room again");
        t.close();
        const RawTable raw = readRaw(readAll(file));
        QVERIFY2(raw.problem.isEmpty(), qPrintable(raw.problem));
        QCOMPARE(raw.rows.size(), 16);
        QCOMPARE(raw.rows.first(), QStringLiteral(" |1|1|row 1"));
        QCOMPARE(raw.rows[14], QStringLiteral(" |15|1|row 15"));
        QCOMPARE(raw.rows.last(), QStringLiteral(" |16|1|room again"));
    }

    // A writer died after writing a row but before counting it: the file opens with the rows
    // its header counts, a new row is refused with a text that says why, and not one byte of
    // the file changes. Rows that are counted may still be edited; the tail stays as it was.
    void uncountedBytesAreNeverWrittenOver_data()
    {
        QTest::addColumn<int>("tailBytes");       // bytes kept after the two counted rows
        QTest::addColumn<bool>("tailEndsWithEndByte");
        QTest::addColumn<QString>("told");        // what the refusal says of the tail
        const QString interrupted = QStringLiteral("за строками, учтёнными в заголовке (2), лежат строки, не учтённые в нём (1), "
                                                   "— след прерванной записи");
        QTest::newRow("a whole row and the end byte") << 227 << true << interrupted;
        QTest::newRow("a whole row, no end byte") << 226 << false << interrupted;
        QTest::newRow("part of a row") << 100 << false
                                       << QStringLiteral("за строками, учтёнными в заголовке (2), лежат ещё 100 байт, не учтённых в нём");
        QTest::newRow("one byte that is no end byte") << 1 << false
                                                      << QStringLiteral("за строками, учтёнными в заголовке (2), лежат ещё 1 байт");
    }

    void uncountedBytesAreNeverWrittenOver()
    {
        QFETCH(int, tailBytes);
        QFETCH(bool, tailEndsWithEndByte);
        QFETCH(QString, told);
        const QString file = path("uncounted.db");
        makeTable(file, {"first", "second", "third"});
        QByteArray b = readAll(file);
        b[4] = 2;   // the header counts two rows
        b.truncate(577 + 2 * 226 + tailBytes);
        QCOMPARE(b.endsWith('\x1A'), tailEndsWithEndByte);
        QVERIFY(writeAll(file, b));

        MeasurementTable t;
        t.setFilePath(file);
        t.open();
        QCOMPARE(t.recordCount(), 2);
        t.last();
        QCOMPARE(t.fieldText("COMMENT"), QStringLiteral("second"));
        const QString error = errorOf([&] { appendRow(t, 3, 1, "over the tail"); });
        QVERIFY2(error.contains(told), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("Файл оставлен как есть")), qPrintable(error));
        // Nothing says another program did it: this program's own append may have been cut.
        QVERIFY2(!error.contains(QStringLiteral("программ")), qPrintable(error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(file)), qPrintable(error));
        QCOMPARE(readAll(file), b);
        QCOMPARE(t.recordCount(), 2);

        t.first();
        t.edit();
        t.setFieldText("COMMENT", "edited");
        t.post();
        t.close();
        const QByteArray after = readAll(file);
        QCOMPARE(after.size(), b.size());
        QCOMPARE(after.mid(577 + 2 * 226), b.mid(577 + 2 * 226));
        QCOMPARE(after.mid(577 + 60, 6), QByteArray("edited"));
        QCOMPARE(after.mid(577 + 226 + 60, 6), QByteArray("second"));
        QCOMPARE(after.mid(4, 4), QByteArray("\x02\0\0\0", 4));
    }
};

QTEST_GUILESS_MAIN(TableWriteFailuresTest)
#include "tst_table_write_failures.moc"
