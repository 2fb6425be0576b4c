// Faults end to end, with the emulator on a real pseudo-terminal and the real main
// window: the instrument pulled out or talking garbage, a wrong instrument, "Z" in the
// middle of the archive, a second copy of the program, a full disk, a kill during
// "Дополнить", a read-only file. For each: what the operator is told, that the program
// goes on working, that no posted row is lost and no file is left half written.
//
// Cases that need a process of their own run this binary again as a child:
//   tst_faults --child <what> <args...>
// The child prints what the operator saw, one line each, and "done" at the end.
// Setting KVE_FAULTS_LONG=1 adds slower cases (scripts/faults.sh does).

#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "ProgramHarness.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "device/receive.h"
#include "store/MeasurementTable.h"
#include "view/TDBGridPro.h"

#include <QAction>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace std::chrono_literals;
using testing::whenModal;

namespace {

const QString kArchive = QStringLiteral(KVE_TEST_DATA_DIR "/operator_path.archive");
const QString kOldNote = QStringLiteral("прежняя запись");

bool longRun() { return qEnvironmentVariableIntValue("KVE_FAULTS_LONG") != 0; }

// A table file with `rows` rows of series 1, the first with a note.
void makeTable(const QString &path, int rows)
{
    kve::MeasurementTable t;
    t.setFilePath(path);
    t.create();
    for (int n = 1; n <= rows; ++n) {
        t.append();
        t.setFieldInt("N", n);
        t.setFieldInt("EN_CH", 1);
        t.setFieldText("DATE", "01.03.2026");
        t.setFieldText("TIME", QStringLiteral("%1:00:00").arg(n % 24, 2, 10, QLatin1Char('0')));
        t.setFieldText("P_1", " 1,5");
        if (n == 1)
            t.setFieldText("COMMENT", kOldNote);
        t.post();
    }
    t.close();
}

void note(const QString &what) { std::printf("case: %s\n", qPrintable(what)); std::fflush(stdout); }

// --- the child side -----------------------------------------------------------------------

void report(const QString &key, const QString &value)
{
    std::printf("%s\t%s\n", qPrintable(key), qPrintable(QString(value).replace('\n', ' ')));
    std::fflush(stdout);
}

void reportBoxes(const testing::FakeNotifier &boxes)
{
    for (const testing::ShownMessage &b : boxes.messages)
        report(QStringLiteral("box"), b.caption + QLatin1Char('|') + b.text);
}

// The file dialog of the command answered with `path`; empty, or what went wrong.
QString chooseThroughMenu(TForm1 *main, kve::MenuItem command, const QString &path)
{
    auto answered = whenModal(testing::chooseFile(path));
    (main->items().*command)->trigger();
    testing::stopWatcher(answered);
    if (answered->answered)
        return {};
    return answered->problem.isEmpty() ? QStringLiteral("no file dialog came") : answered->problem;
}

QString openThroughMenu(TForm1 *main, const QString &path) { return chooseThroughMenu(main, &kve::MenuItems::N3, path); }
QString createThroughMenu(TForm1 *main, const QString &path) { return chooseThroughMenu(main, &kve::MenuItems::N2, path); }

int runChild(const QStringList &args)
{
    const QString what = args.value(0);
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
    kve::ProgramWindows windows;
    TForm1 *main = windows.form1.get();
    main->show();

    // A file dialog that could not be answered as asked is told as a "problem" line.
    const auto choose = [](const QString &problem) {
        if (!problem.isEmpty())
            report(QStringLiteral("problem"), problem);
    };
    if (what == QLatin1String("open")) {
        // open <held file> <free file>: the held one is refused, the free one opens.
        choose(openThroughMenu(main, args.value(1)));
        report(QStringLiteral("open"), main->dbOpen() ? QStringLiteral("yes") : QStringLiteral("no"));
        reportBoxes(boxes);
        boxes.clear();
        choose(openThroughMenu(main, args.value(2)));
        report(QStringLiteral("after"), main->dbOpen() ? QString::number(main->table().recordCount()) : QStringLiteral("no"));
    } else if (what == QLatin1String("create")) {
        // create <target> <other>: "Создать" over the target, then "Открыть" the other file.
        choose(createThroughMenu(main, args.value(1)));
        report(QStringLiteral("create"), main->dbOpen() ? QStringLiteral("yes") : QStringLiteral("no"));
        reportBoxes(boxes);
        boxes.clear();
        choose(openThroughMenu(main, args.value(2)));
        report(QStringLiteral("after"), main->dbOpen() ? QString::number(main->table().recordCount()) : QStringLiteral("no"));
    } else if (what == QLatin1String("append")) {
        // append <file> <note>: a note posted through the grid, then "Дополнить"; the
        // parent kills this process somewhere on the way.
        choose(openThroughMenu(main, args.value(1)));
        kve::TDBGridPro *grid = main->grid(1);
        const QModelIndex cell = grid->view()->model()->index(1, grid->columnOfField(QStringLiteral("COMMENT")));
        const bool posted = grid->view()->model()->setData(cell, args.value(2));
        report(QStringLiteral("posted"), posted ? QStringLiteral("yes") : QStringLiteral("no"));
        main->N4Click();
        report(QStringLiteral("appended"), QString::number(main->table().physicalRecordCount()));
    } else {
        report(QStringLiteral("error"), QStringLiteral("unknown child ") + what);
        return 2;
    }
    reportBoxes(boxes);
    report(QStringLiteral("done"), QString());
    main->setDbModified(false);
    return 0;
}

// --- the parent side ----------------------------------------------------------------------

struct ChildResult {
    QMultiMap<QString, QString> values;
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString errors;
};

ChildResult parseChild(QProcess &p)
{
    ChildResult r;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const int tab = line.indexOf('\t');
        if (tab > 0)
            r.values.insert(QString::fromUtf8(line.left(tab)), QString::fromUtf8(line.mid(tab + 1)));
    }
    r.exitCode = p.exitCode();
    r.status = p.exitStatus();
    r.errors = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// The child's file dialogs were all answered as asked.
QString childProblems(const ChildResult &r)
{
    return r.values.values(QStringLiteral("problem")).join(QStringLiteral("; "));
}

void prepareChild(QProcess &p, const QStringList &args)
{
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments(QStringList{QStringLiteral("--child")} + args);
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;
    std::unique_ptr<kve::ProgramWindows> m_windows;
    std::unique_ptr<testing::FakeNotifier> m_boxes;
    TForm1 *main() { return m_windows->form1.get(); }
    QString path(const QString &name) const { return m_dir->filePath(name); }

    // The window still does its work: a good file opens and closes through the menus.
    void checkStillWorks()
    {
        makeTable(path("check.db"), 2);
        QCOMPARE(openThroughMenu(main(), path("check.db")), QString());
        QVERIFY(main()->dbOpen());
        QCOMPARE(main()->table().recordCount(), 2);
        main()->items().N7->trigger();
        QVERIFY(!main()->table().isOpen());
        QFile::remove(path("check.db"));
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        QDir::setCurrent(m_dir->path());
        m_boxes = std::make_unique<testing::FakeNotifier>(testing::pressing(QMessageBox::Yes));
        m_windows = std::make_unique<kve::ProgramWindows>();
        // The pause before the archive request is not what these cases look at.
        windows2()->setWaits(3000ms, 100ms);
        main()->show();
    }

    void cleanup()
    {
        testing::stopWatchers();
        if (m_windows)
            main()->setDbModified(false);
        m_windows.reset();
        m_boxes.reset();
        QSettings(QStringLiteral("Dorvatek"), QStringLiteral("KVE")).clear();
        delete m_dir;
        m_dir = nullptr;
    }

    // A download that does not end in a whole archive: the operator is told (or cancels),
    // nothing is created, an existing file of the chosen name stays byte for byte.
    void failedDownloadLeavesFileAlone_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("killAfterRequestMs");   // < 0: the instrument stays
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        const QStringList fast{QStringLiteral("--fast"), QStringLiteral("--archive"), kArchive};
        QTest::newRow("wrong instrument") << (fast + QStringList{"--type-code", "5"}) << -1 << "Error"
                                          << "Вы подключили не тот прибор !";
        QTest::newRow("character outside the pairs") << (fast + QStringList{"--bad-char"}) << -1 << "Ошибка"
                                                    << "Ошибка приема: недопустимый символ в архиве прибора!";
        QTest::newRow("odd number of characters") << (fast + QStringList{"--odd-data"}) << -1 << "Ошибка"
                                                  << "Ошибка приема: нечетное число символов в архиве прибора!";
        QTest::newRow("no start mark") << (fast + QStringList{"--no-start"}) << -1 << "Ошибка"
                                       << "Ошибка приема: в ответе прибора нет начала архива!";
        QTest::newRow("unplugged after part of the archive") << (fast + QStringList{"--stop-after", "200"}) << 300
                                                             << QString() << QString();
        QTest::newRow("unplugged while sending") << QStringList{"--records", "60,0,40", "--verbose"} << 150 << QString()
                                                 << QString();
        if (longRun()) {
            QTest::newRow("unplugged before the archive request") << (fast + QStringList{"--verbose"}) << -500
                                                                  << QString() << QString();
        }
    }

    void failedDownloadLeavesFileAlone()
    {
        QFETCH(QStringList, options);
        QFETCH(int, killAfterRequestMs);
        QFETCH(QString, caption);
        QFETCH(QString, text);
        const QString target = path("target.db");
        makeTable(target, 3);
        const QByteArray before = harness::fileBytes(target);

        harness::Emulator emulator(options + QStringList{QStringLiteral("--verbose")});
        QVERIFY2(emulator.ready(), qPrintable(emulator.startupText()));
        if (killAfterRequestMs == -500)
            windows2()->setWaits(3000ms, 1000ms);   // pulled out within the pause
        bool dialogStayed = false;
        auto dialog = std::make_shared<testing::ModalRecord>();
        auto save = whenModal([&](QWidget *w, testing::ModalRecord &record) {
            if (killAfterRequestMs != -1) {
                dialog = whenModal(
                    [&](QWidget *d) {
                        auto *form = qobject_cast<TForm2 *>(d);
                        if (!form)
                            return;
                        // -500: pulled out before the archive was asked for.
                        const QByteArray waitFor = killAfterRequestMs == -500 ? "got 'V'" : "got 'N'";
                        harness::waitFor([&] { return emulator.log().contains(waitFor); }, 5000);
                        QTest::qWait(qMax(0, killAfterRequestMs));
                        emulator.kill();
                        // The dialog waits for the operator; the program does not go down.
                        QTest::qWait(700);
                        dialogStayed = form->isVisible();
                        form->findChild<QPushButton *>(QStringLiteral("Button1"))->click();
                    },
                    10000, w);
            }
            testing::chooseFile(target)(w, record);
        });
        main()->items().N2->trigger();
        QVERIFY2(save->answered, qPrintable(save->problem));
        note(QStringLiteral("%1: boxes [%2], file %3").arg(QTest::currentDataTag(), m_boxes->texts().join(QStringLiteral("; ")),
                                                        harness::fileBytes(target) == before ? "unchanged" : "CHANGED"));
        if (killAfterRequestMs != -1) {
            QVERIFY(dialog->answered);
            QVERIFY(dialogStayed);
            QCOMPARE(m_boxes->texts(), QStringList());
        } else {
            QCOMPARE(m_boxes->messages.size(), 1);
            QCOMPARE(m_boxes->messages[0].caption, caption);
            QCOMPARE(m_boxes->messages[0].text, text);
        }
        QVERIFY(!windows2()->isVisible());
        QVERIFY(!main()->dbOpen());
        QVERIFY(!main()->items().N5->isEnabled());
        QVERIFY(!windows2()->commPort().connected());
        QCOMPARE(harness::fileBytes(target), before);
        QCOMPARE(harness::folderEntries(m_dir->path()), QStringList({QStringLiteral("target.db")}));
        checkStillWorks();
    }

    // "Z" in the middle of the archive: the program starts over and gets every record once.
    void zMidArchiveStartsOver()
    {
        harness::Emulator emulator({QStringLiteral("--fast"), QStringLiteral("--archive"), kArchive,
                                    QStringLiteral("--z-mid-archive")});
        QVERIFY(emulator.ready());
        QCOMPARE(createThroughMenu(main(), path("z.db")), QString());
        QCOMPARE(m_boxes->texts(), QStringList());
        QVERIFY(main()->dbOpen());
        main()->items().N7->trigger();
        const harness::DbfFile file = harness::readDbf(harness::fileBytes(path("z.db")));
        QVERIFY2(file.whole, qPrintable(file.problem));
        QCOMPARE(file.records.size(), 8);
        for (int n = 1; n <= 5; ++n)
            QVERIFY(file.find({{"EN_CH", "1"}, {"N", QString::number(n)}}) >= 0);
        for (int n = 1; n <= 3; ++n)
            QVERIFY(file.find({{"EN_CH", "2"}, {"N", QString::number(n)}}) >= 0);
    }

    // A second copy of the program cannot open a table this one holds; both go on.
    void secondCopyCannotOpenHeldTable()
    {
        makeTable(path("held.db"), 3);
        makeTable(path("free.db"), 2);
        QCOMPARE(openThroughMenu(main(), path("held.db")), QString());
        QVERIFY(main()->dbOpen());

        QProcess child;
        prepareChild(child, {QStringLiteral("open"), path("held.db"), path("free.db")});
        child.start();
        QVERIFY(child.waitForFinished(30000));
        const ChildResult r = parseChild(child);
        QCOMPARE(childProblems(r), QString());
        note(QStringLiteral("second copy opening a held table: boxes [%1], then a free file: %2 rows")
                 .arg(r.values.values("box").join("; "), r.values.value("after")));
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.values.value("open"), QStringLiteral("no"));
        QCOMPARE(r.values.values("box"), QStringList({QStringLiteral("Ошибка|База данных повреждена !")}));
        QCOMPARE(r.values.value("after"), QStringLiteral("2"));

        // This copy still writes its rows.
        kve::MeasurementTable &t = main()->table();
        t.first();
        t.edit();
        t.setFieldText("COMMENT", "после второй копии");
        t.post();
        main()->items().N7->trigger();
        const harness::DbfFile file = harness::readDbf(harness::fileBytes(path("held.db")));
        QVERIFY2(file.whole, qPrintable(file.problem));
        QCOMPARE(file.text(0, "COMMENT"), QStringLiteral("после второй копии"));
    }

    // "Создать" in a second copy over the file the first copy has open must not take the
    // file away from under it: the first copy's later rows would go to a deleted file.
    void secondCopyCannotReplaceHeldTable()
    {
        makeTable(path("held.db"), 3);
        makeTable(path("free.db"), 2);
        QCOMPARE(openThroughMenu(main(), path("held.db")), QString());
        harness::Emulator emulator({QStringLiteral("--fast"), QStringLiteral("--archive"), kArchive});
        QVERIFY(emulator.ready());

        QProcess child;
        prepareChild(child, {QStringLiteral("create"), path("held.db"), path("free.db")});
        child.start();
        QVERIFY(child.waitForFinished(30000));
        const ChildResult r = parseChild(child);
        QCOMPARE(childProblems(r), QString());
        note(QStringLiteral("second copy creating over a held table: created %1, boxes [%2]")
                 .arg(r.values.value("create"), r.values.values("box").join("; ")));
        QCOMPARE(r.exitCode, 0);

        kve::MeasurementTable &t = main()->table();
        t.first();
        t.edit();
        t.setFieldText("COMMENT", "строка первой копии");
        t.post();
        main()->items().N7->trigger();
        const harness::DbfFile file = harness::readDbf(harness::fileBytes(path("held.db")));
        const bool kept = file.find({{"COMMENT", "строка первой копии"}}) == 0;
        note(QStringLiteral("  the first copy's row afterwards: %1").arg(kept ? "in the file" : "LOST"));
        QVERIFY2(file.whole, qPrintable(file.problem));
        QVERIFY2(kept, "the row posted by the first copy is not in the file");
        QCOMPARE(file.records.size(), 3);
        QCOMPARE(r.values.value("create"), QStringLiteral("no"));
    }

    // A full disk while "Создать" writes: the operator reads the system's reason, the file
    // of that name stays as it was, no partial file is left, the program goes on.
    void fullDiskDuringCreate()
    {
        const QString target = path("target.db");
        makeTable(target, 3);
        makeTable(path("other.db"), 2);
        const QByteArray before = harness::fileBytes(target);
        // 200 rows need 45 KB; the limit lets the small files and the settings (16 layouts,
        // about 13 KB) through.
        harness::Emulator emulator({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("100,0,100")});
        QVERIFY(emulator.ready());

        QProcess child;
        prepareChild(child, {QStringLiteral("create"), target, path("other.db")});
        child.setChildProcessModifier([] {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{20000, 20000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        child.start();
        QVERIFY(child.waitForFinished(30000));
        const ChildResult r = parseChild(child);
        QCOMPARE(childProblems(r), QString());
        note(QStringLiteral("full disk during Создать: created %1, boxes [%2], file %3, then another file: %4 rows")
                 .arg(r.values.value("create"), r.values.values("box").join("; "),
                      harness::fileBytes(target) == before ? "unchanged" : "CHANGED", r.values.value("after")));
        QVERIFY2(r.status == QProcess::NormalExit && r.exitCode == 0, qPrintable(r.errors));
        QCOMPARE(r.values.value("create"), QStringLiteral("no"));
        const QStringList shown = r.values.values("box");
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(shown[0]));
        QCOMPARE(r.values.value("after"), QStringLiteral("2"));
        QCOMPARE(harness::fileBytes(target), before);
        QCOMPARE(harness::folderEntries(m_dir->path()), QStringList({QStringLiteral("other.db"), QStringLiteral("target.db")}));
    }

    // The program killed during "Дополнить", after a note was posted: the note and every
    // row that was there are in the file, the file opens, appended rows are whole.
    void killedDuringAppend_data()
    {
        QTest::addColumn<QStringList>("options");
        // >= 0: ms after the archive request; -1 - k: k ms after the file started to grow.
        QTest::addColumn<int>("killAfterRequestMs");
        const QStringList big{"--fast", "--records", "2000,730"};
        QTest::newRow("while receiving") << QStringList{"--records", "60,0,40"} << 200;
        QTest::newRow("while rows are written") << big << -1;
        if (longRun()) {
            for (int ms : {1, 5, 20, 60, 200, 1000})
                QTest::addRow("%d ms into the writing", ms) << big << -1 - ms;
        }
    }

    void killedDuringAppend()
    {
        QFETCH(QStringList, options);
        QFETCH(int, killAfterRequestMs);
        const QString file = path("append.db");
        makeTable(file, 4);
        const harness::DbfFile before = harness::readDbf(harness::fileBytes(file));
        const QString posted = QStringLiteral("записано до обрыва");
        harness::Emulator emulator(options + QStringList{QStringLiteral("--verbose")});
        QVERIFY(emulator.ready());

        QProcess child;
        prepareChild(child, {QStringLiteral("append"), file, posted});
        child.start();
        QByteArray out;
        QVERIFY(harness::waitFor([&] {
            out += child.readAllStandardOutput();
            return out.contains("posted\tyes") || child.state() == QProcess::NotRunning;
        }, 20000));
        QVERIFY2(out.contains("posted\tyes"), out.constData());
        QVERIFY2(!out.contains("problem\t"), out.constData());
        const qint64 size = QFileInfo(file).size();
        if (killAfterRequestMs >= 0) {
            QVERIFY(harness::waitFor([&] { return emulator.log().contains("got 'N'"); }, 10000));
            QTest::qWait(killAfterRequestMs);
        } else {
            QElapsedTimer clock;
            clock.start();
            while (QFileInfo(file).size() == size && clock.elapsed() < 20000 && child.state() == QProcess::Running)
                ::usleep(200);
            ::usleep(useconds_t(-1 - killAfterRequestMs) * 1000);
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(5000));
        out += child.readAllStandardOutput();

        const harness::DbfFile after = harness::readDbf(harness::fileBytes(file));
        const int appended = after.records.size() - before.records.size();
        note(QStringLiteral("killed during Дополнить (%1): %2 rows appended, file %3%4")
                 .arg(QTest::currentDataTag()).arg(appended).arg(after.whole ? "whole" : "not whole: ", after.problem));
        // The header counts only rows that were posted; at most the row being written
        // lies after them.
        QVERIFY2(after.whole || after.problem.contains("the file has"), qPrintable(after.problem));
        QVERIFY(appended >= 0);
        // Every row as it was, the second with the posted note in its note field only.
        QByteArray noted = before.records.value(1);
        const int comment = before.fields.indexOf(QStringLiteral("COMMENT"));
        QVERIFY(comment >= 0 && noted.size() == before.recordLength);
        QStringEncoder cp1251("windows-1251");
        const QByteArray note = cp1251(posted);
        noted.replace(before.offsets[comment], before.widths[comment], note.leftJustified(before.widths[comment], ' '));
        QCOMPARE(noted.size(), before.recordLength);
        for (int r = 0; r < before.records.size(); ++r)
            QCOMPARE(after.records.value(r), r == 1 ? noted : before.records[r]);
        QCOMPARE(after.text(1, "COMMENT"), posted);
        QCOMPARE(after.text(0, "COMMENT"), kOldNote);
        // Appended rows are whole rows of the archive, numbered from 1 in each series.
        QMap<int, int> lastN;
        for (int r = before.records.size(); r < after.records.size(); ++r) {
            const int series = after.text(r, "EN_CH").trimmed().toInt();
            const int n = after.text(r, "N").trimmed().toInt();
            QVERIFY2(series == 1 || series == 2, qPrintable(QString::number(r)));
            QCOMPARE(n, lastN.value(series) + 1);
            lastN[series] = n;
            QVERIFY(!after.text(r, "DATE").trimmed().isEmpty());
        }
        // The program opens what the killed copy left.
        QCOMPARE(openThroughMenu(main(), file), QString());
        QCOMPARE(m_boxes->texts(), QStringList());
        QVERIFY(main()->dbOpen());
        QCOMPARE(main()->table().physicalRecordCount(), after.records.size());
    }

    // A table the operator may only read: it is refused as a table and left untouched.
    void readOnlyTable()
    {
        // Root may write any file: the child then runs as "nobody". Whatever it needs (this
        // program, the tables, a home) lies in a fresh folder under /tmp that every user may
        // enter, so that the place of the checkout and of the test's own folder cannot matter.
        QTemporaryDir place(QStringLiteral("/tmp/kve-readonly-XXXXXX"));
        QVERIFY(place.isValid());
        const auto everyone = QFileDevice::Permissions(0x7777);
        const auto enterAndRead = QFileDevice::Permissions(0x7555);
        QVERIFY(QFile::setPermissions(place.path(), enterAndRead));
        const QString tables = place.filePath(QStringLiteral("tables"));
        const QString home = place.filePath(QStringLiteral("home"));
        for (const QString &dir : {tables, home, home + QStringLiteral("/config")}) {
            QVERIFY(QDir().mkpath(dir));
            QVERIFY(QFile::setPermissions(dir, everyone));
        }
        const QString program = place.filePath(QStringLiteral("tst_faults"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        QVERIFY(QFile::setPermissions(program, enterAndRead));

        const QString table = tables + QStringLiteral("/readonly.db");
        const QString free = tables + QStringLiteral("/free.db");
        makeTable(table, 3);
        makeTable(free, 2);
        QVERIFY(QFile::setPermissions(table, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QVERIFY(QFile::setPermissions(free, QFileDevice::Permissions(0x6666)));
        const QByteArray before = harness::fileBytes(table);

        QProcess child;
        prepareChild(child, {QStringLiteral("open"), table, free});
        child.setProgram(program);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(tables);
        if (::geteuid() == 0) {
            child.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(3);
            });
        }
        child.start();
        QVERIFY(child.waitForFinished(30000));
        const ChildResult r = parseChild(child);
        QCOMPARE(childProblems(r), QString());
        note(QStringLiteral("read-only table: opened %1, boxes [%2], file %3")
                 .arg(r.values.value("open"), r.values.values("box").join("; "),
                      harness::fileBytes(table) == before ? "unchanged" : "CHANGED"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        QCOMPARE(r.values.value("open"), QStringLiteral("no"));
        QCOMPARE(r.values.values("box"), QStringList({QStringLiteral("Ошибка|База данных повреждена !")}));
        QCOMPARE(r.values.value("after"), QStringLiteral("2"));
        QCOMPARE(harness::fileBytes(table), before);
        QCOMPARE(harness::folderEntries(tables), QStringList({QStringLiteral("free.db"), QStringLiteral("readonly.db")}));
    }

private:
    TForm2 *windows2() { return m_windows->form2.get(); }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return childExitCode(app, runChild(app.arguments().mid(2)));
    FaultsTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_faults.moc"
