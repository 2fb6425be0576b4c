// How a table is shared with other processes and replaced, on every platform: the same
// checks run on Linux and, cross-built, on Windows.
#include "store/FileGuard.h"
#include "store/MeasurementTable.h"
#include "store/NewTableFile.h"
#include "store/TableError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

#ifndef KVE_TABLE_HOLDER_PATH
#error "KVE_TABLE_HOLDER_PATH is defined by the build"
#endif

using kve::MeasurementTable;
using kve::NewTableFile;
using kve::TableError;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void makeTable(const QString &path, const QStringList &comments)
{
    MeasurementTable t;
    t.setFilePath(path);
    t.create();
    int n = 0;
    for (const QString &comment : comments) {
        t.append();
        t.setFieldInt("N", ++n);
        t.setFieldInt("EN_CH", 1);
        t.setFieldText("COMMENT", comment);
        t.post();
    }
    t.close();
}

QStringList comments(const QString &path)
{
    MeasurementTable t;
    t.setFilePath(path);
    t.open();
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldText("COMMENT");
    return out;
}

bool isRoot()
{
#ifdef Q_OS_WIN
    return false;
#else
    // Permission bits do not stop root; the POSIX tests drop privileges for these cases.
    return ::geteuid() == 0;
#endif
}

// Another process holding the table open as the program does.
class Holder {
public:
    explicit Holder(const QString &path)
    {
        m_process.setProgram(QStringLiteral(KVE_TABLE_HOLDER_PATH));
        m_process.setArguments({QDir::toNativeSeparators(path)});
        m_process.start();
    }
    ~Holder()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(60000))
            m_process.kill();
        m_process.waitForFinished(10000);
    }
    // "held", or the holder's failure.
    QString answer()
    {
        QDeadlineTimer deadline(120000);
        while (!m_process.canReadLine() && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(1000);
        m_process.waitForReadyRead(0);
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

private:
    QProcess m_process;
};

} // namespace

class TableSharingTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QStringList entries() const
    {
        return QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        for (const QString &name : entries())
            QFile::setPermissions(path(name), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        m_dir.reset();
    }

    // While another process holds a table, this one can neither open it nor make a new
    // table over it, and its bytes stay; once it is let go, it opens.
    void heldTableIsExclusive()
    {
        const QString target = path("held.db");
        makeTable(target, {"первая", "вторая"});
        const QByteArray before = readAll(target);
        {
            Holder holder(target);
            QCOMPARE(holder.answer(), QStringLiteral("held"));
            QVERIFY(kve::heldByAnotherProcess(target));

            MeasurementTable t;
            t.setFilePath(target);
            QVERIFY_THROWS_EXCEPTION(TableError, t.open());
            QVERIFY(!t.isOpen());
            QVERIFY_THROWS_EXCEPTION(TableError, t.create());

            QString error;
            try {
                NewTableFile file(target);
            } catch (const TableError &e) {
                error = e.text();
            }
            QCOMPARE(error, QStringLiteral("Файл «%1» открыт другой программой").arg(QDir::toNativeSeparators(target)));
            QCOMPARE(readAll(target), before);
        }
        QVERIFY(!kve::heldByAnotherProcess(target));
        QCOMPARE(comments(target), QStringList({"первая", "вторая"}));
    }

    // A table open here keeps another process out.
    void tableOpenHereKeepsOthersOut()
    {
        const QString target = path("own.db");
        makeTable(target, {"своя"});
        MeasurementTable t;
        t.setFilePath(target);
        t.open();
        Holder holder(target);
        QVERIFY(holder.answer().startsWith(QStringLiteral("failed: ")));
        t.close();
    }

    // A read-only table is neither opened for writing nor replaced.
    void readOnlyTableIsRefused()
    {
        if (isRoot())
            QSKIP("permission bits do not stop root; tst_new_table_file drops privileges for this");
        const QString target = path("readonly.db");
        makeTable(target, {"только чтение"});
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        const QByteArray before = readAll(target);
        QVERIFY(!kve::cannotWrite(target).isEmpty());

        MeasurementTable t;
        t.setFilePath(target);
        QVERIFY_THROWS_EXCEPTION(TableError, t.open());
        QString error;
        try {
            NewTableFile file(target);
        } catch (const TableError &e) {
            error = e.text();
        }
        const QString expected = QStringLiteral("Не удалось создать файл «%1»: ").arg(QDir::toNativeSeparators(target));
        QVERIFY2(error.startsWith(expected), qPrintable(error));
        QCOMPARE(readAll(target), before);
        QCOMPARE(entries(), QStringList({"readonly.db"}));
    }

    // The replace of a download: the new table is written to a hidden temporary file
    // beside the target and takes its place whole; the target is not left hidden.
    void newTableReplacesTargetWhole()
    {
        const QString target = path("replaced.db");
        makeTable(target, {"старая 1", "старая 2", "старая 3"});
        {
            NewTableFile file(target);
            QVERIFY(!file.inPlace());
            QVERIFY(file.writePath() != QFileInfo(target).absoluteFilePath());
            QCOMPARE(QFileInfo(file.writePath()).absolutePath(), QFileInfo(target).absolutePath());
            QVERIFY(NewTableFile::isTemporaryName(QFileInfo(file.writePath()).fileName()));
            QVERIFY(QFileInfo(file.writePath()).isHidden());
            makeTable(file.writePath(), {"новая"});
            // Until the commit the old table is whole.
            QCOMPARE(comments(target), QStringList({"старая 1", "старая 2", "старая 3"}));
            file.commit();
        }
        QCOMPARE(comments(target), QStringList({"новая"}));
        QVERIFY(!QFileInfo(target).isHidden());
        QCOMPARE(entries(), QStringList({"replaced.db"}));
    }

    // A download that is dropped leaves the old table as it was and no temporary file.
    void discardedTableLeavesTarget()
    {
        const QString target = path("kept.db");
        makeTable(target, {"остаётся"});
        const QByteArray before = readAll(target);
        {
            NewTableFile file(target);
            makeTable(file.writePath(), {"брошенная"});
            QVERIFY(file.discard().isEmpty());
        }
        QCOMPARE(readAll(target), before);
        QCOMPARE(entries(), QStringList({"kept.db"}));
    }
};

QTEST_GUILESS_MAIN(TableSharingTest)
#include "tst_table_sharing.moc"
