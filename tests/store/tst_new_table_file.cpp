// Where "Создать" writes a new table: a file the user may not write is never replaced, not
// even when it turns read-only while the table is written; a folder that takes no new file
// gets the table in place, with the old bytes put back when writing fails; temporary files
// left by a crash are removed, one another copy still writes is not, nor anything else.
// Permission bits mean nothing to root (CI runs as root): the checks then run as "nobody".

#include "store/MeasurementTable.h"
#include "store/NewTableFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

using kve::MeasurementTable;
using kve::NewTableFile;
using kve::TableError;

namespace {

constexpr uid_t kNobody = 65534;

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

QStringList entries(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

bool running_as_root() { return ::geteuid() == 0; }

// The rest of the scope runs as "nobody" when the test runs as root; otherwise as the user
// the test runs as, for whom permission bits already hold.
class Unprivileged {
public:
    Unprivileged()
    {
        if (!m_wasRoot)
            return;
        m_groups.resize(size_t(::getgroups(0, nullptr)));
        m_groups.resize(size_t(std::max(0, ::getgroups(int(m_groups.size()), m_groups.data()))));
        m_dropped = ::setgroups(0, nullptr) == 0 && ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0;
    }
    ~Unprivileged()
    {
        if (!m_wasRoot)
            return;
        [[maybe_unused]] const int a = ::seteuid(0);
        [[maybe_unused]] const int b = ::setegid(0);
        [[maybe_unused]] const int c = ::setgroups(m_groups.size(), m_groups.data());
    }
    bool ok() const { return !m_wasRoot || m_dropped; }

private:
    const bool m_wasRoot = running_as_root();
    std::vector<gid_t> m_groups;
    bool m_dropped = false;
};

// Gives a file made by root to the user the checks run as.
void giveToTestUser(const QString &path)
{
    if (running_as_root())
        QVERIFY(::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0);
}

// Files may not grow past `bytes` while this lives; a write beyond fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(bytes);
        m_ok = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

void writeRows(const QString &path, const QStringList &comments)
{
    MeasurementTable t;
    t.setFilePath(path);
    t.create();
    for (int i = 0; i < comments.size(); ++i) {
        t.append();
        t.setFieldInt("N", i + 1);
        t.setFieldInt("EN_CH", 1);
        t.setFieldText("COMMENT", comments[i]);
        t.post();
    }
    t.close();
}

QString permissionDenied() { return QString::fromLocal8Bit(std::strerror(EACCES)); }

} // namespace

class NewTableFileTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // Reachable and writable for the user the checks run as.
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7777)));
    }

    void cleanup()
    {
        // A folder the checks made read-only must not keep the cleanup out.
        QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x7777));
        m_dir.reset();
    }

    // A target the user may not write ends in an error with the system's text, and nothing
    // is written: the file keeps its bytes and no other file is left.
    void unwritableTargetIsRefused_data()
    {
        QTest::addColumn<bool>("ownedByAnother");
        QTest::newRow("read-only file of the user") << false;
        QTest::newRow("file of another user") << true;
    }

    void unwritableTargetIsRefused()
    {
        QFETCH(bool, ownedByAnother);
        if (ownedByAnother && !running_as_root())
            QSKIP("only root can make a file of another user here");
        const QString target = path("target.db");
        writeRows(target, {"old"});
        if (ownedByAnother) {
            QVERIFY(QFile::setPermissions(target, QFileDevice::Permissions(0x6644)));
        } else {
            giveToTestUser(target);
            QVERIFY(QFile::setPermissions(target, QFileDevice::Permissions(0x4444)));
        }
        const QByteArray before = readAll(target);
        QString error;
        {
            Unprivileged user;
            QVERIFY(user.ok());
            try {
                NewTableFile file(target);
            } catch (const TableError &e) {
                error = e.text();
            }
        }
        QCOMPARE(error, QStringLiteral("Не удалось создать файл «%1»: %2").arg(QDir::toNativeSeparators(target), permissionDenied()));
        QCOMPARE(readAll(target), before);
        QCOMPARE(entries(m_dir->path()), QStringList({"target.db"}));
    }

    // Made read-only while the table was being written: the finished table does not take
    // its place.
    void targetMadeReadOnlyMeanwhileIsNotReplaced()
    {
        const QString target = path("target.db");
        writeRows(target, {"old"});
        giveToTestUser(target);
        const QByteArray before = readAll(target);
        QString error;
        {
            Unprivileged user;
            QVERIFY(user.ok());
            NewTableFile file(target);
            QVERIFY(!file.inPlace());
            QCOMPARE(QFileInfo(file.writePath()).absolutePath(), m_dir->path());
            QVERIFY(NewTableFile::isTemporaryName(QFileInfo(file.writePath()).fileName()));
            writeRows(file.writePath(), {"new"});
            QVERIFY(QFile::setPermissions(target, QFileDevice::Permissions(0x4444)));
            try {
                file.commit();
            } catch (const TableError &e) {
                error = e.text();
            }
        }
        QCOMPARE(error, QStringLiteral("Не удалось создать файл «%1»: %2").arg(QDir::toNativeSeparators(target), permissionDenied()));
        QCOMPARE(readAll(target), before);
        QCOMPARE(entries(m_dir->path()), QStringList({"target.db"}));
    }

    // The normal way: the finished table takes the place of the old file, and nothing else
    // is left in the folder.
    void committedTableReplacesTarget()
    {
        const QString target = path("target.db");
        writeRows(target, {"old"});
        writeRows(path("expected.db"), {"new", "rows"});
        QByteArray written;
        {
            NewTableFile file(target);
            writeRows(file.writePath(), {"new", "rows"});
            written = readAll(file.writePath());
            file.commit();
        }
        QCOMPARE(readAll(target), written);
        QCOMPARE(readAll(target).mid(32), readAll(path("expected.db")).mid(32));
        QCOMPARE(entries(m_dir->path()), QStringList({"expected.db", "target.db"}));
    }

    // No new file can be made in the folder, but the target may be written: the table is
    // written in place.
    void unwritableFolderWritesInPlace()
    {
        QVERIFY(QDir(m_dir->path()).mkdir("ro"));
        const QString target = path("ro/target.db");
        writeRows(target, {"old"});
        giveToTestUser(target);
        QVERIFY(QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x5555)));
        {
            Unprivileged user;
            QVERIFY(user.ok());
            NewTableFile file(target);
            QVERIFY(file.inPlace());
            QCOMPARE(file.writePath(), target);
            writeRows(file.writePath(), {"new", "rows"});
            file.commit();
        }
        const QByteArray after = readAll(target);
        QCOMPARE(after.size(), 577 + 2 * 226 + 1);
        QCOMPARE(after.mid(577 + 60, 3), QByteArray("new"));
        QCOMPARE(after.mid(577 + 226 + 60, 4), QByteArray("rows"));
        QCOMPARE(entries(path("ro")), QStringList({"target.db"}));
    }

    // Writing in place fails (no room for the new table): the old bytes are put back and the
    // text names the target and the system's reason.
    void inPlaceFailurePutsOldBytesBack()
    {
        QVERIFY(QDir(m_dir->path()).mkdir("ro"));
        const QString target = path("ro/target.db");
        writeRows(target, {"old", "rows", "kept"});
        giveToTestUser(target);
        QVERIFY(QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x5555)));
        const QByteArray before = readAll(target);
        QString text;
        {
            Unprivileged user;
            QVERIFY(user.ok());
            NewTableFile file(target);
            QVERIFY(file.inPlace());
            FileSizeLimit limit(2000);
            QVERIFY(limit.ok());
            MeasurementTable t;
            t.setFilePath(file.writePath());
            try {
                t.create();
                for (int n = 1; n <= 20; ++n) {
                    t.append();
                    t.setFieldInt("N", n);
                    t.post();
                }
            } catch (const TableError &e) {
                t.close();
                text = file.discardAfter(e.text());
            }
        }
        QCOMPARE(text, QStringLiteral("Не удалось записать файл «%1»: %2")
                           .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(EFBIG))));
        QCOMPARE(readAll(target), before);
        QCOMPARE(entries(path("ro")), QStringList({"target.db"}));
    }

    // No file of that name and none can be made: the system's reason, about the target.
    void missingTargetInUnwritableFolderFails()
    {
        QVERIFY(QDir(m_dir->path()).mkdir("ro"));
        QVERIFY(QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x5555)));
        const QString target = path("ro/new.db");
        QString error;
        {
            Unprivileged user;
            QVERIFY(user.ok());
            try {
                NewTableFile file(target);
            } catch (const TableError &e) {
                error = e.text();
            }
        }
        QCOMPARE(error, QStringLiteral("Не удалось создать файл «%1»: %2").arg(QDir::toNativeSeparators(target), permissionDenied()));
        QCOMPARE(entries(path("ro")), QStringList());
    }

    // Temporary files of this naming that no process holds are removed; the one another copy
    // is writing stays, and so does everything of another naming, links included.
    void staleTemporariesGoOthersStay()
    {
        const QStringList others{".data.db.part", ".kve-AbCdEfGh.part.bak", ".kve-short.part", "data.db", "x.kve-AbCdEfGh.part"};
        for (const QString &name : others)
            QVERIFY(writeAll(path(name), "keep"));
        QVERIFY(writeAll(path(".kve-Stale123.part"), "left by a crash"));
        QVERIFY(QFile::link(path("data.db"), path(".kve-LinkLink.part")));
        MeasurementTable held;   // another copy writing its table
        held.setFilePath(path(".kve-HeldHeld.part"));
        held.create();
        {
            NewTableFile file(path("target.db"));
            const QString own = QFileInfo(file.writePath()).fileName();
            QVERIFY(NewTableFile::isTemporaryName(own));
            QStringList left = entries(m_dir->path());
            QVERIFY(left.removeOne(own));
            QCOMPARE(left, QStringList({".data.db.part", ".kve-AbCdEfGh.part.bak", ".kve-HeldHeld.part", ".kve-LinkLink.part",
                                        ".kve-short.part", "data.db", "x.kve-AbCdEfGh.part"}));
        }
        // Not committed: its own temporary file is gone too.
        QCOMPARE(entries(m_dir->path()), QStringList({".data.db.part", ".kve-AbCdEfGh.part.bak", ".kve-HeldHeld.part",
                                                      ".kve-LinkLink.part", ".kve-short.part", "data.db", "x.kve-AbCdEfGh.part"}));
        for (const QString &name : others)
            QCOMPARE(readAll(path(name)), QByteArray("keep"));
        QVERIFY(QFileInfo(path(".kve-LinkLink.part")).isSymLink());
        held.close();
    }
};

QTEST_GUILESS_MAIN(NewTableFileTest)
#include "tst_new_table_file.moc"
