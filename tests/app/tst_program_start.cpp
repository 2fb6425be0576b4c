// The program's own start-up under a file size limit: a write past the limit must fail
// with the system's reason (and the table be put back), never kill the program. The child
// runs this binary again and goes through kve::runProgram, which must set that up itself:
//   tst_program_start --child <table file>
// The child prints what the operator saw, one line each, and "done" at the end.

#include "FakeNotifier.h"
#include "ProgramHarness.h"

#include "app/main.h"
#include "store/MeasurementTable.h"
#include "view/TDBGridPro.h"

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

QString g_childTable;

void report(const QString &key, const QString &value)
{
    std::printf("%s\t%s\n", qPrintable(key), qPrintable(QString(value).replace('\n', ' ')));
    std::fflush(stdout);
}

TForm1 *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *main = qobject_cast<TForm1 *>(w); main && main->isVisible())
            return main;
    return nullptr;
}

// Runs inside the program once its main window is up: posts a note into row 2, which must
// grow the file past the limit, and reports what came of it.
void postNoteInProgram()
{
    TForm1 *main = mainWindow();
    if (!main) {
        QTimer::singleShot(20, &postNoteInProgram);
        return;
    }
    static testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    main->Open_DB(g_childTable);
    report(QStringLiteral("open"), main->dbOpen() ? QStringLiteral("yes") : QStringLiteral("no"));
    if (main->dbOpen()) {
        kve::TDBGridPro *grid = main->grid(1);
        QAbstractItemModel *model = grid->view()->model();
        const QModelIndex cell = model->index(1, grid->columnOfField(QStringLiteral("COMMENT")));
        const bool posted = model->setData(cell, QStringLiteral("не поместилась"));
        report(QStringLiteral("posted"), posted ? QStringLiteral("yes") : QStringLiteral("no"));
        report(QStringLiteral("shown"), model->data(cell).toString());
        main->setDbModified(false);
    }
    for (const testing::ShownMessage &m : boxes.messages)
        report(QStringLiteral("box"), m.text);
    for (const QString &p : boxes.problems())
        report(QStringLiteral("problem"), p);
    report(QStringLiteral("done"), QString());
    QCoreApplication::exit(0);
}

// Called while the program's application object is made, before its windows: waits for
// the splash to end and the main window to show.
void startDriving()
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &postNoteInProgram, Qt::QueuedConnection);
}

int runChild(char *program, const QString &table)
{
    g_childTable = table;
    qAddPreRoutine(&startDriving);
    int argc = 1;
    char *argv[] = {program, nullptr};
    return kve::runProgram(argc, argv);
}

// Larger than the settings file (about 13 KB with the sixteen column layouts), which the
// program writes on the way, so that the limit stops the table alone.
constexpr int kRows = 100;

// A table of another writer, without the end-of-file byte, with rows 1..kRows of series 1
// (notes "заметка 1", ...); its bytes, empty when it failed.
QByteArray writeTableWithoutEndByte(const QString &file)
{
    {
        kve::MeasurementTable t;
        t.setFilePath(file);
        t.create();
        for (int n = 1; n <= kRows; ++n) {
            t.append();
            t.setFieldInt("N", n);
            t.setFieldInt("EN_CH", 1);
            t.setFieldText("COMMENT", QStringLiteral("заметка %1").arg(n));
            t.post();
        }
        t.close();
    }
    QByteArray bytes = harness::fileBytes(file);
    bytes.chop(1);
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return {};
    return bytes;
}

} // namespace

class ProgramStartTest : public QObject {
    Q_OBJECT

private slots:
    // The limit is the table's size: adding its end-of-file byte needs one more. The child
    // gets the system's default for SIGXFSZ (which kills), so only the program's own
    // start-up can turn it into an error.
    void writePastSizeLimitIsAnError()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("limited.db"));
        const QByteArray bytes = writeTableWithoutEndByte(file);
        QVERIFY(!bytes.isEmpty());
        const rlim_t size = rlim_t(bytes.size());

        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--child"), file});
        child.setWorkingDirectory(dir.path());
        child.setChildProcessModifier([size] {
            ::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{size, size};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        child.start();
        QVERIFY(child.waitForStarted(30000));
        QVERIFY2(child.waitForFinished(120000), "the program did not end");
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        const QString errors = QString::fromUtf8(child.readAllStandardError());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit,
                 qPrintable(QStringLiteral("killed by signal %1; output:\n%2%3").arg(child.exitCode()).arg(out, errors)));
        QCOMPARE(child.exitCode(), 0);

        QMultiMap<QString, QString> seen;
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const qsizetype tab = line.indexOf(QLatin1Char('\t'));
            if (tab > 0)
                seen.insert(line.left(tab), line.mid(tab + 1));
        }
        QVERIFY2(seen.contains(QStringLiteral("done")), qPrintable(out + errors));
        QCOMPARE(seen.values(QStringLiteral("problem")), QStringList());
        QCOMPARE(seen.value(QStringLiteral("open")), QStringLiteral("yes"));
        QCOMPARE(seen.value(QStringLiteral("posted")), QStringLiteral("no"));
        QCOMPARE(seen.value(QStringLiteral("shown")), QStringLiteral("заметка 2"));
        QCOMPARE(seen.values(QStringLiteral("box")),
                 QStringList({QStringLiteral("Не удалось записать файл «%1»: %2")
                                  .arg(QDir::toNativeSeparators(file), QString::fromLocal8Bit(std::strerror(EFBIG)))}));
        QCOMPARE(harness::fileBytes(file), bytes);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argv[0], QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    ProgramStartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_program_start.moc"
