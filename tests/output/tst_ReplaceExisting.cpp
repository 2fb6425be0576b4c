// Saving a workbook or a PDF file over an existing file: the operator is asked first, also
// when the extension was added to the typed name, and "Нет" leaves the file as it was. A
// file the user may not write is never replaced: the error names it.
//
// The unwritable cases run the command in a child: this binary again, `--child <command>
// <typed name> <table>`, as "nobody" when the test runs as root (CI does), since root may
// write any file. The child prints what it was shown, one line each.
#include "AnswerInTurn.h"
#include "ReportFixture.h"
#include "output/ReportPrintDialog.h"
#include "output/SeriesReport.h"
#include "output/SpreadsheetExport.h"
#include "store/AppTitle.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <grp.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

bool runningAsRoot() { return ::geteuid() == 0; }

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList filesIn(const QString &folder) { return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name); }

QString question(const QString &path)
{
    return QStringLiteral("Подтверждение|Файл «%1» уже существует. Заменить его?").arg(path);
}

// Records the files the export asks the desktop to open, so that no application starts.
class OpenRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

testing::Turn printToFile()
{
    return {"ReportPrintDialog", [](QWidget *w, testing::ModalRecord &record) {
        auto *dialog = qobject_cast<ReportPrintDialog *>(w);
        if (!dialog || !dialog->printsToFile()) {
            record.answered = false;
            record.problem = QStringLiteral("no print dialog with \"PDF-файл\" chosen");
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            return;
        }
        dialog->findChild<QPushButton *>(QStringLiteral("print"))->click();
    }};
}

// The command's windows: the print dialog first for "pdf", then the save dialog taking
// `typed`. The messages that follow are the fake notifier's.
testing::Turns answerCommand(const QString &command, const QString &typed)
{
    QList<testing::Turn> answers;
    if (command == QLatin1String("pdf"))
        answers << printToFile();
    answers << testing::Turn{"QFileDialog", testing::chooseFile(typed)};
    return testing::answerInTurn(answers);
}

void runCommand(const QString &command, SeriesReport &report, kve::MeasurementTable &table)
{
    if (command == QLatin1String("xls")) {
        exportSeries(nullptr, report, table, QStringLiteral("replace - ЖОРД-ЗР7"), 1);
    } else {
        report.fillTitleCells(QStringLiteral("replace - ЖОРД-ЗР7"), table, 1);
        report.prepare(table);
        // As the program's print commands do: a failure goes to the application-wide box.
        runPrintStep(nullptr, [&] { printPrepared(nullptr, report.prepared(), -1, QStringLiteral("job")); });
    }
}

QString problems(const testing::Turns &turns, const testing::FakeNotifier &boxes)
{
    QStringList out;
    for (const auto &record : *turns)
        if (!record->problem.isEmpty())
            out << record->problem;
    out += boxes.problems();
    return out.join(u'|');
}

int runChild(const QString &command, const QString &typed, const QString &tablePath)
{
    OpenRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    kve::MeasurementTable table;
    table.setFilePath(tablePath);
    table.create();
    kvetest::fillSeries(table, 1, 2);
    kvetest::showSeries(table, 1);
    SeriesReport report;
    // Да to the question, then the error box is read and closed.
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
    const testing::Turns turns = answerCommand(command, typed);
    testing::ShownInTurn inTurn(turns, boxes);
    runCommand(command, report, table);
    testing::stopWatchers();
    for (const QString &shown : inTurn.list())
        std::printf("shown\t%s\n", qPrintable(shown));
    for (const auto &record : *turns) {
        if (!record->problem.isEmpty())
            std::printf("problem\t%s\n", qPrintable(record->problem));
    }
    for (const QString &problem : boxes.problems())
        std::printf("problem\t%s\n", qPrintable(problem));
    for (const QUrl &url : recorder.opened)
        std::printf("opened\t%s\n", qPrintable(url.toLocalFile()));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    table.close();
    return 0;
}

} // namespace

class TestReplaceExisting : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;
    OpenRecorder recorder;

    static QString here(const QString &name) { return QDir::current().filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY2(QPrinterInfo::availablePrinters().isEmpty(), "printers still seen");
        QLocale::setDefault(QLocale(QLocale::Russian));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        QVERIFY(QDir::current().mkpath(QStringLiteral("table")));
        table.setFilePath(here(QStringLiteral("table/replace.db")));
        table.create();
        kvetest::fillSeries(table, 1, 2);
        kvetest::showSeries(table, 1);
    }

    void init() { recorder.opened.clear(); }

    void cleanup()
    {
        testing::stopWatchers();
        for (const QString &name : filesIn(QDir::currentPath()))
            QFile::remove(here(name));
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    // The typed name, the file that exists before, the answer to the question; whether it
    // is asked and whether the file then holds a new workbook or PDF.
    void existingFileIsReplacedOnlyWhenTheOperatorSaysYes_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("replaced");
        const int yes = QMessageBox::Yes, no = QMessageBox::No;
        QTest::newRow("xls added, Нет") << "xls" << "книга" << "книга.xls" << no << true << false;
        QTest::newRow("xls added, Да") << "xls" << "книга" << "книга.xls" << yes << true << true;
        QTest::newRow("xls dated name added, Нет") << "xls" << "Серия 1 от 01.02.2024" << "Серия 1 от 01.02.2024.xls" << no << true << false;
        QTest::newRow("xls trailing dot, Нет") << "xls" << "книга." << "книга.xls" << no << true << false;
        // A workbook name typed whole replaces its file without a question.
        QTest::newRow("xls typed whole, not asked") << "xls" << "книга.xls" << "книга.xls" << no << false << true;
        QTest::newRow("xls typed whole upper, not asked") << "xls" << "книга.XLS" << "книга.XLS" << yes << false << true;
        QTest::newRow("xls other extension not asked") << "xls" << "книга" << "книга.XLS" << yes << false << false;
        QTest::newRow("xls new name") << "xls" << "новая" << "" << yes << false << false;
        QTest::newRow("pdf added, Нет") << "pdf" << "отчёт" << "отчёт.pdf" << no << true << false;
        QTest::newRow("pdf added, Да") << "pdf" << "отчёт" << "отчёт.pdf" << yes << true << true;
        QTest::newRow("pdf dated name added, Нет") << "pdf" << "Серия 1 от 01.02.2024" << "Серия 1 от 01.02.2024.pdf" << no << true << false;
        QTest::newRow("pdf typed whole, Нет") << "pdf" << "отчёт.pdf" << "отчёт.pdf" << no << true << false;
        QTest::newRow("pdf typed whole upper, Да") << "pdf" << "отчёт.PDF" << "отчёт.PDF" << yes << true << true;
        QTest::newRow("pdf new name") << "pdf" << "новый" << "" << yes << false << false;
    }

    void existingFileIsReplacedOnlyWhenTheOperatorSaysYes()
    {
        QFETCH(QString, command);
        QFETCH(QString, typed);
        QFETCH(QString, existing);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, replaced);
        const QByteArray old("old bytes, not a workbook\n");
        if (!existing.isEmpty())
            writeFile(here(existing), old);
        const QStringList before = filesIn(QDir::currentPath());

        testing::FakeNotifier boxes(testing::pressing(QMessageBox::StandardButton(answer)));
        const testing::Turns turns = answerCommand(command, here(typed));
        testing::ShownInTurn inTurn(turns, boxes);
        runCommand(command, report, table);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY2(problems(turns, boxes).isEmpty(), qPrintable(problems(turns, boxes)));

        const QString saveDialog = command == QLatin1String("pdf") ? QStringLiteral("ReportPrintDialog|QFileDialog") : QStringLiteral("QFileDialog");
        QStringList expected = saveDialog.split(u'|');
        if (asked)
            expected << question(here(existing));
        QCOMPARE(inTurn.list(), expected);

        const QByteArray signature = command == QLatin1String("pdf") ? QByteArray("%PDF-") : QByteArray("\xD0\xCF\x11\xE0", 4);
        if (asked && !replaced) {
            QCOMPARE(fileBytes(here(existing)), old);
            QCOMPARE(filesIn(QDir::currentPath()), before);
            QVERIFY(recorder.opened.isEmpty());
        } else if (replaced) {
            QVERIFY(fileBytes(here(existing)).startsWith(signature));
            QCOMPARE(filesIn(QDir::currentPath()), before);
        } else {
            // A new file beside whatever was there.
            QCOMPARE(filesIn(QDir::currentPath()).size(), before.size() + 1);
            if (!existing.isEmpty())
                QCOMPARE(fileBytes(here(existing)), old);
        }
    }

    // A link whose target is gone still stands under that name: writing would create the
    // target, so the operator is asked, and Нет creates nothing.
    void danglingLinkIsAskedAbout()
    {
        QVERIFY(QFile::link(here(QStringLiteral("пропавшая.xls")), here(QStringLiteral("ссылка.xls"))));
        testing::FakeNotifier boxes;
        boxes.queue(QMessageBox::No);
        const testing::Turns turns = answerCommand(QStringLiteral("xls"), here(QStringLiteral("ссылка")));
        testing::ShownInTurn inTurn(turns, boxes);
        runCommand(QStringLiteral("xls"), report, table);
        QVERIFY2(problems(turns, boxes).isEmpty(), qPrintable(problems(turns, boxes)));
        QCOMPARE(inTurn.list(), QStringList({QStringLiteral("QFileDialog"), question(here(QStringLiteral("ссылка.xls")))}));
        QVERIFY(!QFileInfo::exists(here(QStringLiteral("пропавшая.xls"))));
        QCOMPARE(QFileInfo(here(QStringLiteral("ссылка.xls"))).symLinkTarget(), here(QStringLiteral("пропавшая.xls")));
        QVERIFY(recorder.opened.isEmpty());
    }

    // A file the user may not write: Да to the question, then an error naming the file,
    // which keeps every byte; nothing else is left in the folder.
    void unwritableFileIsKept_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<bool>("ownedByAnother");
        QTest::newRow("xls read-only, extension added") << "xls" << "книга" << "книга.xls" << false;
        QTest::newRow("xls of another user, typed whole") << "xls" << "книга.xls" << "книга.xls" << true;
        QTest::newRow("pdf read-only, extension added") << "pdf" << "отчёт" << "отчёт.pdf" << false;
        QTest::newRow("pdf of another user, typed whole") << "pdf" << "отчёт.pdf" << "отчёт.pdf" << true;
    }

    void unwritableFileIsKept()
    {
        QFETCH(QString, command);
        QFETCH(QString, typed);
        QFETCH(QString, existing);
        QFETCH(bool, ownedByAnother);
        if (ownedByAnother && !runningAsRoot())
            QSKIP("only root can make a file of another user here");
        QTemporaryDir dir(QStringLiteral("/tmp/kve-replace-XXXXXX"));
        QVERIFY(dir.isValid());
        const auto all = QFileDevice::Permissions(0x7777);
        QVERIFY(QFile::setPermissions(dir.path(), all));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("user")));
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("user")), all));
        const QString target = dir.filePath(existing);
        const QByteArray old("old bytes the user may not replace\n");
        writeFile(target, old);
        if (ownedByAnother) {
            QVERIFY(QFile::setPermissions(target, QFileDevice::Permissions(0x6644)));
        } else {
            if (runningAsRoot())
                QVERIFY(::chown(QFile::encodeName(target).constData(), kNobody, kNobody) == 0);
            QVERIFY(QFile::setPermissions(target, QFileDevice::Permissions(0x4444)));
        }

        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--child"), command, dir.filePath(typed), dir.filePath(QStringLiteral("user/child.db"))});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME"})
            env.insert(QString::fromLatin1(name), dir.filePath(QStringLiteral("user")));
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(dir.filePath(QStringLiteral("user")));
        if (runningAsRoot()) {
            child.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                    ::_exit(3);
            });
        }
        child.start();
        QVERIFY(child.waitForFinished(120000));
        const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(errors));
        QStringList shown;
        for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                shown << QString::fromUtf8(line);

        QStringList expected;
        if (command == QLatin1String("pdf"))
            expected << QStringLiteral("shown\tReportPrintDialog");
        expected << QStringLiteral("shown\tQFileDialog");
        // A workbook name typed whole is not asked about.
        if (command == QLatin1String("pdf") || typed != existing)
            expected << QStringLiteral("shown\t") + question(target);
        QCOMPARE(shown.mid(0, expected.size()), expected);
        QCOMPARE(shown.size(), expected.size() + 1);
        const QString error = shown.last();
        if (command == QLatin1String("pdf"))
            QVERIFY2(error.startsWith(QStringLiteral("shown\t%1|Не удалось сохранить файл \"%2\": ").arg(kve::applicationTitle(), target)),
                     qPrintable(error));
        else
            QVERIFY2(error.startsWith(QStringLiteral("shown\tОшибка|Не удалось сохранить файл \"%1\": ").arg(target)), qPrintable(error));
        QCOMPARE(fileBytes(target), old);
        QCOMPARE(filesIn(dir.path()), QStringList({existing}));
    }
};

int main(int argc, char **argv)
{
    // No printer is seen: "PDF-файл" is the one choice of the print dialog.
    qputenv("CUPS_SERVER", QByteArray(QDir::current().filePath(QStringLiteral("no-print-server.sock")).toLocal8Bit()));
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian));
    if (argc > 4 && qstrcmp(argv[1], "--child") == 0)
        return runChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    TestReplaceExisting test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ReplaceExisting.moc"
