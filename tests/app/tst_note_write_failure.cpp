// A note posted from a grid when the file cannot grow (a table of another writer without the
// end-of-file byte, under a file size limit): the operator gets the error box with the
// system's reason, the file keeps every byte, the grid shows what the file holds, and once
// there is room the same note is posted.

#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "ProgramHarness.h"

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
#include <cstring>
#include <sys/resource.h>

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
        {
            kve::MeasurementTable t;
            t.setFilePath(file);
            t.create();
            for (int n = 1; n <= 2; ++n) {
                t.append();
                t.setFieldInt("N", n);
                t.setFieldInt("EN_CH", 1);
                t.setFieldText("COMMENT", QStringLiteral("заметка %1").arg(n));
                t.post();
            }
            t.close();
        }
        QByteArray bytes = harness::fileBytes(file);
        bytes.chop(1);   // another writer's file, without the end-of-file byte
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(f.write(bytes), bytes.size());
        }

        TForm1 *main = m_windows->form1.get();
        main->Open_DB(file);
        QVERIFY(main->dbOpen());
        kve::TDBGridPro *grid = main->grid(1);
        QAbstractItemModel *model = grid->view()->model();
        const QModelIndex cell = model->index(1, grid->columnOfField(QStringLiteral("COMMENT")));
        bool posted = true;
        {
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            ::getrlimit(RLIMIT_FSIZE, &old);
            rlimit limit = old;
            limit.rlim_cur = rlim_t(bytes.size());
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
            posted = model->setData(cell, QStringLiteral("не поместилась"));
            ::setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        QVERIFY(!posted);
        QCOMPARE(m_boxes->texts(), QStringList({QStringLiteral("Не удалось записать файл «%1»: %2")
                                                    .arg(QDir::toNativeSeparators(file), QString::fromLocal8Bit(std::strerror(EFBIG)))}));
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
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    NoteWriteFailureTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_note_write_failure.moc"
