// "Создать" of an archive without records, and the splash window.
#include "FakeNotifier.h"
#include "ModalHelper.h"
#include "app/ProgramHarness.h"

#include "AppTestMain.h"
#include "app/KveApplication.h"
#include "app/ProgramWindows.h"
#include "app/logo.h"
#include "app/main.h"
#include "device/receive.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>

using namespace std::chrono_literals;

class CreateAndSplashTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { testing::stopWatchers(); }

    void emptyArchiveLeavesEmptyFileAndNoFileState_data()
    {
        QTest::addColumn<QStringList>("archive");   // the emulator's archive options
        QTest::addColumn<QByteArray>("before");     // the file of that name before; empty: none
        const QStringList noSeries{QStringLiteral("--records"), QStringLiteral("0")};
        const QStringList noRecords{QStringLiteral("--series-count"), QStringLiteral("3"), QStringLiteral("--records"),
                                    QStringLiteral("0,0,0")};
        const QByteArray kept("not replaced: nothing was downloaded");
        QTest::newRow("no series, new name") << noSeries << QByteArray();
        QTest::newRow("series without records, new name") << noRecords << QByteArray();
        QTest::newRow("no series, existing file") << noSeries << kept;
        QTest::newRow("series without records, existing file") << noRecords << kept;
    }

    void emptyArchiveLeavesEmptyFileAndNoFileState()
    {
        QFETCH(QStringList, archive);
        QFETCH(QByteArray, before);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        const QString path = dir.filePath(QStringLiteral("empty.db"));
        if (!before.isEmpty()) {
            QFile existing(path);
            QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write(before) == before.size());
        }
        harness::Emulator emulator(QStringList{QStringLiteral("--fast")} + archive);
        QVERIFY2(emulator.ready(), qPrintable(emulator.startupText()));

        testing::FakeNotifier boxes(testing::pressing(QMessageBox::Yes));
        kve::ProgramWindows windows;
        windows.form2->setWaits(3000ms, 100ms);   // the pause is not looked at here
        TForm1 *main = windows.form1.get();
        main->show();
        auto saved = testing::whenModal(testing::chooseFile(path));
        main->items().N2->trigger();
        QVERIFY2(saved->answered, qPrintable(saved->problem));

        QCOMPARE(boxes.texts(), QStringList({QStringLiteral("Архив прибора пуст!")}));
        // A new file stays, with no rows; a file of that name stays as it was.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (before.isEmpty())
            QCOMPARE(file.size(), qint64(578));
        else
            QCOMPARE(file.readAll(), before);
        // The window is in the no-file state.
        QVERIFY(!main->dbOpen());
        QVERIFY(!main->table().isOpen());
        QVERIFY(!main->items().N5->isEnabled());
        QVERIFY(!main->pageControl()->isVisible());
        QVERIFY(!main->isFileOpenColour());
        QCOMPARE(harness::folderEntries(dir.path()), QStringList({QStringLiteral("empty.db")}));
    }

    void splashShowsThreeSecondsThenCloses()
    {
        TForm5 splash;
        QCOMPARE(splash.size(), QSize(400, 77));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        // What closes it: one precise shot after 3000 ms (a coarse timer may fire 5 % early).
        auto *timer = splash.findChild<QTimer *>(QStringLiteral("Timer1"));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 3000);
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);

        QElapsedTimer clock;
        clock.start();
        // A guard in case the timer never fires.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &splash, [&] { splash.done(-1); });
        guard.start(10000);
        const int result = splash.exec();
        const qint64 shown = clock.elapsed();
        QCOMPARE(result, int(QDialog::Accepted));
        // Never less than the three seconds; and well below four even on a busy machine.
        QVERIFY2(shown >= 3000, qPrintable(QString::number(shown)));
        QVERIFY2(shown < 4500, qPrintable(QString::number(shown)));
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    CreateAndSplashTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_create_and_splash.moc"
