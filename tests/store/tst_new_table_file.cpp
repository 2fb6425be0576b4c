// Where "Создать" writes a new table: a file the user may not write is never replaced, not
// even when it turns read-only while the table is written; a folder that takes no new file
// gets the table in place, with the old bytes put back when writing fails; temporary files
// left by a crash are removed, one another copy still writes is not, nor anything else.
// Permission bits mean nothing to root (CI runs as root): the checks then run as "nobody".
// Writing in place survives a kill at any instant: a child run of this program
// (`--in-place-child`) is killed at chosen steps, and the next start's recovery is checked.

#include "FileSizeLimit.h"
#include "store/FileGuard.h"
#include "store/InPlaceReplace.h"
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
#include <sys/stat.h>
#include <unistd.h>

using kve::InPlaceReplace;
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

using testing::FileSizeLimit;

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

QStringList numbered(const QString &stem, int count)
{
    QStringList texts;
    for (int i = 1; i <= count; ++i)
        texts << stem.arg(i);
    return texts;
}

// The bytes of a table apart from its date of the last update, which depends on the day.
QByteArray withoutDate(QByteArray bytes)
{
    if (bytes.size() > 4)
        bytes.replace(1, 3, QByteArray(3, '\0'));
    return bytes;
}

// The child: writes a table of `rows` rows over `target` in place and stops for good at
// the step `stop` ("staging": while the rows are written), telling the parent "at".
int runInPlaceChild(const QString &target, int rows, const QString &stop)
{
    const auto halt = [] {
        std::printf("at\n");
        std::fflush(stdout);
        for (;;)
            ::pause();
    };
    InPlaceReplace::setStepObserver([&](const QString &step) {
        if (step == stop)
            halt();
    });
    NewTableFile file(target);
    if (!file.inPlace()) {
        std::printf("not in place\n");
        return 2;
    }
    if (stop == QLatin1String("staging")) {
        MeasurementTable t;
        t.setFilePath(file.writePath());
        t.create();
        t.append();
        t.setFieldInt("N", 1);
        t.post();
        halt();
    }
    writeRows(file.writePath(), numbered(QStringLiteral("new %1"), rows));
    file.commit();
    std::printf("committed\n");
    return 0;
}

} // namespace

class NewTableFileTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_data;
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString operationsFolder() const { return m_data->filePath("Dorvatek/KVE/replace"); }
    QStringList operations() const { return QDir(operationsFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // Reachable and writable for the user the checks run as.
        QVERIFY(QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7777)));
        // The user's own data folder, where copies of files written in place are kept.
        m_data = std::make_unique<QTemporaryDir>();
        QVERIFY(m_data->isValid());
        QVERIFY(QFile::setPermissions(m_data->path(), QFileDevice::Permissions(0x7777)));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
        QCOMPARE(InPlaceReplace::backupFolder(), m_data->filePath("Dorvatek/KVE"));
    }

    void cleanup()
    {
        // A folder the checks made read-only must not keep the cleanup out.
        QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x7777));
        m_dir.reset();
        m_data.reset();
        qunsetenv("XDG_DATA_HOME");
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
            // Written first where a kill cannot cost the old table, then over it.
            QVERIFY(file.writePath().startsWith(operationsFolder() + "/"));
            writeRows(file.writePath(), {"new", "rows"});
            QCOMPARE(readAll(target).mid(577 + 60, 3), QByteArray("old"));
            file.commit();
        }
        QCOMPARE(operations(), QStringList());
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
    // A writable file of another user in a shared sticky folder, which this user may not
    // rename over: the table is written over it in place, and it stays that user's file.
    void stickyFolderTakesTableInPlace()
    {
        if (!running_as_root())
            QSKIP("only root can make a file of another user here");
        QVERIFY(QDir(m_dir->path()).mkdir("shared"));
        QVERIFY(::chmod(QFile::encodeName(path("shared")).constData(), 01777) == 0);
        const QString target = path("shared/target.db");
        writeRows(target, {"old"});
        QVERIFY(QFile::setPermissions(target, QFileDevice::Permissions(0x6666)));
        bool inPlace = true;
        QString error;
        {
            Unprivileged user;
            QVERIFY(user.ok());
            try {
                NewTableFile file(target);
                inPlace = file.inPlace();
                writeRows(file.writePath(), {"new", "rows"});
                file.commit();
            } catch (const TableError &e) {
                error = e.text();
            }
        }
        QCOMPARE(error, QString());
        QVERIFY(!inPlace);   // the rename was tried first
        const QByteArray after = readAll(target);
        QCOMPARE(after.size(), 577 + 2 * 226 + 1);
        QCOMPARE(after.mid(577 + 60, 3), QByteArray("new"));
        QCOMPARE(after.mid(577 + 226 + 60, 4), QByteArray("rows"));
        QCOMPARE(QFileInfo(target).ownerId(), 0u);
        QCOMPARE(entries(path("shared")), QStringList({"target.db"}));
        QCOMPARE(operations(), QStringList());
    }

    // The replaced file keeps its permission bits, and its owner and group where the user
    // may set them (root here), not those of a new file.
    void replacedFileKeepsItsAccess()
    {
        const QString target = path("target.db");
        writeRows(target, {"old"});
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0604) == 0);
        giveToTestUser(target);
        const uint owner = QFileInfo(target).ownerId();
        const uint group = QFileInfo(target).groupId();
        const mode_t oldMask = ::umask(022);
        {
            NewTableFile file(target);
            writeRows(file.writePath(), {"new"});
            file.commit();
        }
        ::umask(oldMask);
        QCOMPARE(readAll(target).mid(577 + 60, 3), QByteArray("new"));
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(target).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 07777), 0604);
        QCOMPARE(uint(st.st_uid), owner);
        QCOMPARE(uint(st.st_gid), group);
        if (running_as_root())
            QCOMPARE(uint(st.st_uid), uint(kNobody));
    }

    // A link as the chosen name: the file it names gets the table, the link stays a link.
    void linkIsFollowed_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("link to a table") << true;
        QTest::newRow("link to no file yet") << false;
    }

    void linkIsFollowed()
    {
        QFETCH(bool, existing);
        QVERIFY(QDir(m_dir->path()).mkdir("real"));
        const QString real = path("real/table.db");
        if (existing)
            writeRows(real, {"old"});
        QVERIFY(QFile::link(real, path("link.db")));
        {
            NewTableFile file(path("link.db"));
            QCOMPARE(QFileInfo(file.writePath()).absolutePath(), path("real"));
            writeRows(file.writePath(), {"new"});
            file.commit();
        }
        QVERIFY(QFileInfo(path("link.db")).isSymLink());
        QCOMPARE(QFileInfo(path("link.db")).symLinkTarget(), real);
        QCOMPARE(readAll(real).mid(577 + 60, 3), QByteArray("new"));
        QCOMPARE(entries(path("real")), QStringList({"table.db"}));
        QCOMPARE(entries(m_dir->path()), QStringList({"link.db"}));
    }

    // A link planted at a temporary name is never written through, not even a dangling one.
    void plantedLinkIsNotWrittenThrough()
    {
        QVERIFY(writeAll(path("victim.db"), "keep"));
        QVERIFY(QFile::link(path("victim.db"), path(".kve-Planted1.part")));
        QVERIFY(QFile::link(path("nowhere.db"), path(".kve-Planted2.part")));
        QCOMPARE(kve::createNewFile(path(".kve-Planted1.part"), true), EEXIST);
        QCOMPARE(kve::createNewFile(path(".kve-Planted2.part"), true), EEXIST);
        QCOMPARE(readAll(path("victim.db")), QByteArray("keep"));
        QVERIFY(!QFileInfo::exists(path("nowhere.db")));
    }

    // Killed at a step of writing in place: the old table is whole on disk (where the
    // target was, or as the kept copy), and the next start puts it back over the target, or
    // keeps it and names it when the target was changed since.
    void killedWhileWritingInPlace_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("changedSince");
        QTest::addColumn<bool>("targetWasTouched");
        QTest::newRow("while the rows are written") << "staging" << false << false;
        QTest::newRow("old bytes kept") << "kept" << false << false;
        QTest::newRow("first part written") << "written 65536" << false << true;
        QTest::newRow("second part written") << "written 131072" << false << true;
        QTest::newRow("all written, not yet counted") << "replaced" << false << true;
        QTest::newRow("changed since") << "written 65536" << true << true;
    }

    void killedWhileWritingInPlace()
    {
        QFETCH(QString, step);
        QFETCH(bool, changedSince);
        QFETCH(bool, targetWasTouched);
        QVERIFY(QDir(m_dir->path()).mkdir("ro"));
        const QString target = path("ro/target.db");
        writeRows(target, numbered(QStringLiteral("old %1"), 5));
        giveToTestUser(target);
        QVERIFY(QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x5555)));
        const QByteArray before = readAll(target);
        writeRows(path("expected.db"), numbered(QStringLiteral("new %1"), 1000));
        const QByteArray expected = withoutDate(readAll(path("expected.db")));
        QCOMPARE(expected.size(), 577 + 1000 * 226 + 1);

        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({"--in-place-child", target, "1000", step});
        if (running_as_root()) {
            child.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                    ::_exit(3);
            });
        }
        child.start();
        QVERIFY(child.waitForStarted(30000));
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains("at\n") && child.state() == QProcess::Running && clock.elapsed() < 60000) {
            child.waitForReadyRead(1000);
            out += child.readAllStandardOutput();
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(30000));
        QVERIFY2(out == "at\n", out.constData());

        // Right after the kill: the old table whole, where the operator had it or kept.
        const QByteArray left = readAll(target);
        if (!targetWasTouched)
            QCOMPARE(left, before);
        else if (step == QLatin1String("replaced"))
            QCOMPARE(withoutDate(left), expected);
        else
            QVERIFY(left != before && withoutDate(left) != expected);
        if (step != QLatin1String("staging")) {
            QCOMPARE(operations().size(), 1);
            QCOMPARE(readAll(operationsFolder() + "/" + operations()[0] + "/old.db"), before);
        }
        QByteArray changed = left;
        if (changedSince) {
            changed[577 + 60] = 'Z';
            QVERIFY(writeAll(target, changed));
        }

        // The next start.
        const QList<InPlaceReplace::Interrupted> found = InPlaceReplace::recoverInterrupted();
        QCOMPARE(operations(), QStringList());
        if (step == QLatin1String("staging")) {
            QCOMPARE(found.size(), 0);
            QCOMPARE(readAll(target), before);
            return;
        }
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].target, target);
        if (!changedSince) {
            QCOMPARE(found[0].keptCopy, QString());
            QCOMPARE(readAll(target), before);
            QCOMPARE(QDir(m_data->filePath("Dorvatek/KVE/kept")).entryList(QDir::Files), QStringList());
        } else {
            const QStringList kept = QDir(m_data->filePath("Dorvatek/KVE/kept")).entryList(QDir::Files);
            QCOMPARE(kept.size(), 1);
            QVERIFY2(QRegularExpression("^target-\\d{8}-\\d{6}\\.db$").match(kept[0]).hasMatch(), qPrintable(kept[0]));
            QCOMPARE(found[0].keptCopy, m_data->filePath("Dorvatek/KVE/kept/" + kept[0]));
            QCOMPARE(readAll(found[0].keptCopy), before);
            QCOMPARE(readAll(target), changed);
        }
        QCOMPARE(entries(path("ro")), QStringList({"target.db"}));
    }

    // Another copy still writing in place: its files are left alone by this start.
    void runningWriteIsLeftAlone()
    {
        QVERIFY(QDir(m_dir->path()).mkdir("ro"));
        const QString target = path("ro/target.db");
        writeRows(target, {"old"});
        giveToTestUser(target);
        QVERIFY(QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x5555)));
        Unprivileged user;
        QVERIFY(user.ok());
        NewTableFile file(target);
        QVERIFY(file.inPlace());
        writeRows(file.writePath(), {"new"});
        QCOMPARE(InPlaceReplace::recoverInterrupted().size(), 0);
        QVERIFY(QFileInfo::exists(file.writePath()));
        file.commit();
        QCOMPARE(readAll(target).mid(577 + 60, 3), QByteArray("new"));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 4 && qstrcmp(argv[1], "--in-place-child") == 0)
        return runInPlaceChild(app.arguments().value(2), app.arguments().value(3).toInt(), app.arguments().value(4));
    NewTableFileTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_new_table_file.moc"
