// A note posted from a grid, or a command run, when the file cannot grow (a table of another writer without the
// end-of-file byte, under a file size limit): the operator gets the error box with the
// system's reason, the file keeps every byte, the grid shows what the file holds, and once
// there is room the same note is posted.

#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "ProgramHarness.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/main.h"
#include "store/MeasurementTable.h"
#include "view/TDBGridPro.h"

#include <QAction>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <functional>
#include <cstring>
#include <sys/resource.h>

namespace {

// Writes a table of another writer, without the end-of-file byte, with one row of series 1
// per number in `numbers` (note "заметка <number>"); its bytes, empty when it failed.
QByteArray writeTableWithoutEndByte(const QString &file, const QList<int> &numbers)
{
    {
        kve::MeasurementTable t;
        t.setFilePath(file);
        t.create();
        for (int n : numbers) {
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

// Runs `action` while no file of this process may grow beyond `size` bytes: every write
// that would add the end-of-file byte fails with the system's reason. False when the limit
// could not be set.
bool underFileSizeLimit(qint64 size, const std::function<void()> &action)
{
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = rlim_t(size);
    const bool limited = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (limited)
        action();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    return limited;
}

QString writeFailureText(const QString &file)
{
    return QStringLiteral("Не удалось записать файл «%1»: %2").arg(QDir::toNativeSeparators(file), QString::fromLocal8Bit(std::strerror(EFBIG)));
}

} // namespace

class NoteWriteFailureTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<testing::FakeNotifier> m_boxes;
    std::unique_ptr<kve::ProgramWindows> m_windows;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_boxes = std::make_unique<testing::FakeNotifier>(testing::pressing(QMessageBox::Yes));
        m_windows = std::make_unique<kve::ProgramWindows>();
        m_windows->form1->show();
    }

    void cleanup()
    {
        if (m_windows)
            m_windows->form1->setDbModified(false);
        m_windows.reset();
        m_boxes.reset();
        QSettings(QStringLiteral("Dorvatek"), QStringLiteral("KVE")).clear();
        m_dir.reset();
    }

    void failedNoteIsShownAndFileStays()
    {
        const QString file = m_dir->filePath("other.db");
        const QByteArray bytes = writeTableWithoutEndByte(file, {1, 2});
        QVERIFY(!bytes.isEmpty());

        TForm1 *main = m_windows->form1.get();
        main->Open_DB(file);
        QVERIFY(main->dbOpen());
        kve::TDBGridPro *grid = main->grid(1);
        QAbstractItemModel *model = grid->view()->model();
        const QModelIndex cell = model->index(1, grid->columnOfField(QStringLiteral("COMMENT")));
        bool posted = true;
        QVERIFY(underFileSizeLimit(bytes.size(), [&] { posted = model->setData(cell, QStringLiteral("не поместилась")); }));
        QVERIFY(!posted);
        QCOMPARE(m_boxes->texts(), QStringList({writeFailureText(file)}));
        QCOMPARE(harness::fileBytes(file), bytes);
        QCOMPARE(model->data(cell).toString(), QStringLiteral("заметка 2"));

        // Room again: the note lands, and the file gets its end-of-file byte.
        m_boxes->clear();
        QVERIFY(model->setData(cell, QStringLiteral("поместилась")));
        QCOMPARE(m_boxes->texts(), QStringList());
        main->items().N7->trigger();
        const harness::DbfFile after = harness::readDbf(harness::fileBytes(file));
        QVERIFY2(after.whole, qPrintable(after.problem));
        QCOMPARE(after.records.size(), 2);
        QCOMPARE(after.text(0, "COMMENT"), QStringLiteral("заметка 1"));
        QCOMPARE(after.text(1, "COMMENT"), QStringLiteral("поместилась"));
    }

    // A failed write inside a menu command is shown by the command's own edge, never by the
    // application's last resort; the file keeps every byte.
    void failedCommandIsShownByItsEdge_data()
    {
        QTest::addColumn<kve::MenuItem>("command");
        QTest::newRow("Удалить строки") << &kve::MenuItems::N21;
        QTest::newRow("Удалить, grid context menu") << &kve::MenuItems::N34;
    }

    void failedCommandIsShownByItsEdge()
    {
        QFETCH(kve::MenuItem, command);
        const QString file = m_dir->filePath("other.db");
        const QByteArray bytes = writeTableWithoutEndByte(file, {5, 7});
        QVERIFY(!bytes.isEmpty());
        TForm1 *main = m_windows->form1.get();
        main->Open_DB(file);
        QVERIFY(main->dbOpen());
        main->grid(1)->view()->selectRow(0);
        QAction *action = main->items().*command;
        QVERIFY(action && action->isEnabled());
        QVERIFY(underFileSizeLimit(bytes.size(), [&] { action->trigger(); }));
        QCOMPARE(m_boxes->texts(), QStringList({writeFailureText(file)}));
        auto *app = qobject_cast<kve::KveApplication *>(QCoreApplication::instance());
        QVERIFY(app);
        QCOMPARE(app->backstopCount(), 0);
        QCOMPARE(harness::fileBytes(file), bytes);
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    NoteWriteFailureTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_note_write_failure.moc"
