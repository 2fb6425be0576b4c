// "Создать" through the real main window and the emulated instrument, run by a user for whom
// permission bits hold: a table that user may not write is never replaced, a folder that
// takes no new file still gets the download (written in place), and a temporary file left by
// a crash is removed while one another copy is writing stays.
//
// The program runs as a child: this binary again, `--child <target>`, as "nobody" when the
// test runs as root (CI does). It prints what the operator saw, one line each.

#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "ProgramHarness.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "store/MeasurementTable.h"

#include <QAction>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <unistd.h>


namespace {

const QString kArchive = QStringLiteral(KVE_TEST_DATA_DIR "/operator_path.archive");
constexpr uid_t kNobody = 65534;

bool runningAsRoot() { return ::geteuid() == 0; }

void report(const QString &key, const QString &value)
{
    std::printf("%s\t%s\n", qPrintable(key), qPrintable(QString(value).replace('\n', ' ')));
    std::fflush(stdout);
}

int runChild(const QString &target)
{
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
    kve::ProgramWindows windows;
    TForm1 *main = windows.form1.get();
    main->show();
    auto answered = testing::whenModal(testing::chooseFile(target), 10000);
    main->items().N2->trigger();
    report(QStringLiteral("dialog"), answered->answered ? QStringLiteral("yes") : QStringLiteral("no"));
    report(QStringLiteral("open"), main->dbOpen() && main->table().isOpen() ? QStringLiteral("yes") : QStringLiteral("no"));
    for (const testing::ShownMessage &b : boxes.messages)
        report(QStringLiteral("box"), b.text);
    main->setDbModified(false);
    report(QStringLiteral("done"), QString());
    return 0;
}

// A table file with three rows of series 1.
void makeTable(const QString &path)
{
    kve::MeasurementTable t;
    t.setFilePath(path);
    t.create();
    for (int n = 1; n <= 3; ++n) {
        t.append();
        t.setFieldInt("N", n);
        t.setFieldInt("EN_CH", 1);
        t.setFieldText("COMMENT", QStringLiteral("старая строка %1").arg(n));
        t.post();
    }
    t.close();
}

void giveToTestUser(const QString &path)
{
    if (runningAsRoot())
        QVERIFY(::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0);
}

struct ChildResult {
    QMultiMap<QString, QString> values;
    QString errors;
    bool finished = false;
};

} // namespace

class CreateReplaceTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<harness::Emulator> m_emulator;
    QString path(const QString &name) const { return m_dir->filePath(name); }

    // "Создать" over `target` in a child program run by the test user, with the instrument
    // on its port.
    ChildResult createInChild(const QString &target)
    {
        ChildResult result;
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--child"), target});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), path("user"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("user/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("user"));
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(path("user"));
        if (runningAsRoot()) {
            child.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                    ::_exit(3);
            });
        }
        child.start();
        result.finished = child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            const int tab = line.indexOf('\t');
            if (tab > 0)
                result.values.insert(QString::fromUtf8(line.left(tab)), QString::fromUtf8(line.mid(tab + 1)));
        }
        result.errors = QString::fromLocal8Bit(child.readAllStandardError());
        return result;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const auto all = QFileDevice::Permissions(0x7777);
        QVERIFY(QFile::setPermissions(m_dir->path(), all));
        // The child's home and settings, and the port link the program looks for there.
        QVERIFY(QDir(m_dir->path()).mkpath("user/config/Dorvatek/KVE/ports"));
        for (const char *sub : {"user", "user/config", "user/config/Dorvatek", "user/config/Dorvatek/KVE", "user/config/Dorvatek/KVE/ports"})
            QVERIFY(QFile::setPermissions(path(sub), all));
        m_emulator = std::make_unique<harness::Emulator>(QStringList{QStringLiteral("--fast"), QStringLiteral("--archive"), kArchive,
                                                                     QStringLiteral("--link"), path("user/config/Dorvatek/KVE/ports/com2")});
        QVERIFY2(m_emulator->ready(), qPrintable(m_emulator->startupText()));
        if (runningAsRoot())
            QVERIFY(QFile::setPermissions(m_emulator->pty(), QFileDevice::Permissions(0x6666)));
    }

    void cleanup()
    {
        testing::stopWatchers();
        m_emulator.reset();
        QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x7777));
        m_dir.reset();
    }

    // A table the user may not write: the error box gives the system's reason and the file's
    // name, the program is in the no-file state, and the file keeps every byte.
    void unwritableTargetIsNeverReplaced_data()
    {
        QTest::addColumn<bool>("ownedByAnother");
        QTest::newRow("read-only file of the user") << false;
        QTest::newRow("file of another user") << true;
    }

    void unwritableTargetIsNeverReplaced()
    {
        QFETCH(bool, ownedByAnother);
        if (ownedByAnother && !runningAsRoot())
            QSKIP("only root can make a file of another user here");
        const QString target = path("target.db");
        makeTable(target);
        if (ownedByAnother) {
            QVERIFY(QFile::setPermissions(target, QFileDevice::Permissions(0x6644)));
        } else {
            giveToTestUser(target);
            QVERIFY(QFile::setPermissions(target, QFileDevice::Permissions(0x4444)));
        }
        const QByteArray before = harness::fileBytes(target);

        const ChildResult r = createInChild(target);
        QVERIFY2(r.finished, qPrintable(r.errors));
        QCOMPARE(r.values.value("dialog"), QStringLiteral("yes"));
        QCOMPARE(r.values.value("open"), QStringLiteral("no"));
        QCOMPARE(r.values.values("box"), QStringList({QStringLiteral("Не удалось создать файл «%1»: %2")
                                                          .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(EACCES)))}));
        QCOMPARE(harness::fileBytes(target), before);
        QCOMPARE(harness::folderEntries(m_dir->path()), QStringList({QStringLiteral("target.db")}));
    }

    // A folder where no new file can be made, holding a table the user may write: the
    // download is written into it in place and opens.
    void unwritableFolderGetsTableInPlace()
    {
        QVERIFY(QDir(m_dir->path()).mkdir("ro"));
        const QString target = path("ro/target.db");
        makeTable(target);
        giveToTestUser(target);
        QVERIFY(QFile::setPermissions(path("ro"), QFileDevice::Permissions(0x5555)));

        const ChildResult r = createInChild(target);
        QVERIFY2(r.finished, qPrintable(r.errors));
        QCOMPARE(r.values.values("box"), QStringList());
        QCOMPARE(r.values.value("open"), QStringLiteral("yes"));
        const harness::DbfFile file = harness::readDbf(harness::fileBytes(target));
        QVERIFY2(file.whole, qPrintable(file.problem));
        QCOMPARE(file.records.size(), 8);
        QCOMPARE(file.find({{"COMMENT", QStringLiteral("старая строка 1")}}), -1);
        for (int n = 1; n <= 5; ++n)
            QVERIFY(file.find({{"EN_CH", "1"}, {"N", QString::number(n)}}) >= 0);
        for (int n = 1; n <= 3; ++n)
            QVERIFY(file.find({{"EN_CH", "2"}, {"N", QString::number(n)}}) >= 0);
        QCOMPARE(harness::folderEntries(path("ro")), QStringList({QStringLiteral("target.db")}));
    }

    // A temporary file left by a killed copy is removed by the next "Создать" into that
    // folder; the one another running copy is writing is not.
    void staleTemporaryIsRemovedByNextCreate()
    {
        QFile stale(path(".kve-Stale123.part"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("left by a crash");
        stale.close();
        giveToTestUser(stale.fileName());
        kve::MeasurementTable held;   // another copy, writing
        held.setFilePath(path(".kve-HeldHeld.part"));
        held.create();
        const QString target = path("target.db");

        const ChildResult r = createInChild(target);
        QVERIFY2(r.finished, qPrintable(r.errors));
        QCOMPARE(r.values.values("box"), QStringList());
        QCOMPARE(r.values.value("open"), QStringLiteral("yes"));
        QCOMPARE(harness::folderEntries(m_dir->path()), QStringList({QStringLiteral(".kve-HeldHeld.part"), QStringLiteral("target.db")}));
        held.close();
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--child") == 0)
        return childExitCode(app, runChild(app.arguments().value(2)));
    CreateReplaceTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_create_replace.moc"
