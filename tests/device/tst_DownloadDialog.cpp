#include "DialogHelpers.h"
#include "FakeNotifier.h"
#include "ExpectedTableHeader.h"
#include "ModemLines.h"
#include "PtyPair.h"
#include "WireFormat.h"
#include "device/ImageDecoder.h"
#include "device/receive.h"
#include "store/AppTitle.h"
#include "store/MeasurementTable.h"
#include "store/NumberText.h"
#include "store/Schema.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <chrono>
#include <atomic>
#include <functional>
#include <thread>

#include <termios.h>

using namespace std::chrono_literals;

namespace {

// The check as it is (a slow reply must not start a search); the pause, which these
// downloads do not measure, short.
constexpr std::chrono::milliseconds kCheckMs{3000};
constexpr std::chrono::milliseconds kShortPauseMs{100};

// Records the test hands the emulator, with the texts each must give in the table.
const char *const kArchiveText =
    "# series date time F T_1 T_2 T_3 P_1 P_2 P\n"
    "1 05.02.2009 09:07:05 1234 5 -5 0 123 -1234 255\n"
    "3 00.00.2255 00:00:00 1200 -1 2 3 4 6 0\n"
    "1 31.02.2009 24:75:60 -32768 -32768 32767 1 10 100 100\n";

struct ExpectedRow {
    int n, series;
    const char *date, *time, *f, *t1, *t2, *t3, *p1, *p2, *p;
};
const ExpectedRow kExpected[] = {
    {1, 1, "05.02.2009", "09:07:05", "12,34", " 0,5", "-0,5", " 0,0", "12,3", "-123,4", "2,55"},
    {2, 1, "31.02.2009", "00:00:00", "-327,6", "-3276,", "3276,7", " 0,1", " 1,0", "10,0", "1"},
    {1, 3, "01.01.2255", "00:00:00", "12", "-0,1", " 0,2", " 0,3", " 0,4", " 0,6", "0"},
};

QPushButton *cancelButton(TForm2 &dlg)
{
    return dlg.findChild<QPushButton *>(QStringLiteral("Button1"));
}

QString labelText(TForm2 &dlg, const char *name)
{
    auto *l = dlg.findChild<QLabel *>(QLatin1String(name));
    return l ? l->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

// Shows the dialog modally; `during` runs once the dialog is up; a guard cancels after
// `limitMs` so that a fault cannot hang the test.
int runDialog(TForm2 &dlg, const std::function<void()> &during = {}, int limitMs = 30000)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dlg, [&dlg] {
        qWarning("download dialog still open: cancelling");
        cancelButton(dlg)->click();
    });
    guard.start(limitMs);
    if (during)
        QTimer::singleShot(0, &dlg, during);
    return dlg.exec();
}

// Waits inside the dialog's loop.
bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

} // namespace

class TestDownloadDialog : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
        QLocale::setDefault(QLocale(QLocale::Russian));
    }
    void init()
    {
        removePortLinks();
        hidePorts(1, 38);
        QFile::remove(kve::portLinkDirectory() + QStringLiteral("/com2"));
    }

    void downloadIntoTableFile()
    {
        const QString archivePath = m_dir.filePath(QStringLiteral("archive.txt"));
        {
            QFile f(archivePath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(kArchiveText);
        }
        EmulatorProcess emu({QStringLiteral("--fast"), QStringLiteral("--archive"), archivePath,
                             QStringLiteral("--serial"), QStringLiteral("37")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        const QString link = kve::portLinkDirectory() + QStringLiteral("/com2");
        QCOMPARE(QFile::symLinkTarget(link), emu.pty());

        QWidget mainWindow;
        mainWindow.setWindowTitle(QStringLiteral("KVE"));
        kve::setApplicationTitle(QStringLiteral("Программа КВЭ"));
        TForm2 dlg(&mainWindow);
        dlg.setWaits(kCheckMs, kShortPauseMs);
        QString captionWhileShown;
        const int result = runDialog(dlg, [&] { captionWhileShown = dlg.windowTitle(); });
        QCOMPARE(result, 1);
        QCOMPARE(captionWhileShown, QStringLiteral("Прием данных"));
        QVERIFY(!dlg.commPort().connected());
        QCOMPARE(mainWindow.windowTitle(), QStringLiteral("ЖОРД-ЗР7"));
        QCOMPARE(kve::applicationTitle(), QStringLiteral("Программа КВЭ"));
        QCOMPARE(labelText(dlg, "StaticText5"), QStringLiteral("ЖОРД-ЗР7"));
        QCOMPARE(labelText(dlg, "StaticText1"), QStringLiteral("02.00.07"));
        QCOMPARE(labelText(dlg, "StaticText7"), QStringLiteral("37"));
        QCOMPARE(labelText(dlg, "StaticText2"), QStringLiteral("Идет прием информации ..."));
        QCOMPARE(dlg.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->value(), 100);
        QCOMPARE(dlg.archiveHeader().seriesCount, quint8(3));
        QCOMPARE(dlg.archiveHeader().recordCounts[0], quint16(2));
        QCOMPARE(dlg.archiveHeader().recordCounts[2], quint16(1));
        QCOMPARE(dlg.memoryImage().size(), 195001);

        const QString dbPath = m_dir.filePath(QStringLiteral("download.db"));
        {
            kve::MeasurementTable table;
            table.setFilePath(dbPath);
            table.create();
            kve::flash2qvd01(table, dlg.archiveHeader(), dlg.memoryImage(), 0);
            table.close();
        }
        // The file's own bytes: header, then one record per row with its texts in place.
        QFile file(dbPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(quint8(bytes[0]), quint8(0x03));
        const quint32 records = quint8(bytes[4]) | quint8(bytes[5]) << 8 | quint8(bytes[6]) << 16;
        QCOMPARE(records, quint32(3));
        QCOMPARE(bytes.size(), expected::kHeaderLength + 3 * expected::kRecordLength + 1);
        QCOMPARE(bytes.mid(32, expected::kHeaderLength - 32), expected::fieldDescriptors());
        auto field = [&](int row, const char *name) {
            const expected::FieldPlace place = expected::fieldPlace(name);
            return bytes.mid(expected::kHeaderLength + row * expected::kRecordLength + place.offset, place.width);
        };
        auto text = [&](const char *name, const char *value) {
            QByteArray v(value);
            v = v.replace(',', kve::decimalSeparator().toLatin1());
            return v.leftJustified(expected::fieldPlace(name).width, ' ', true);
        };
        for (int i = 0; i < 3; ++i) {
            const ExpectedRow &e = kExpected[i];
            QCOMPARE(bytes[expected::kHeaderLength + i * expected::kRecordLength], ' ');
            QCOMPARE(field(i, "N").trimmed().toInt(), e.n);
            QCOMPARE(field(i, "EN_CH").trimmed().toInt(), e.series);
            QCOMPARE(field(i, "DATE"), text("DATE", e.date));
            QCOMPARE(field(i, "TIME"), text("TIME", e.time));
            QCOMPARE(field(i, "F"), text("F", e.f));
            QCOMPARE(field(i, "T_1"), text("T_1", e.t1));
            QCOMPARE(field(i, "T_2"), text("T_2", e.t2));
            QCOMPARE(field(i, "T_3"), text("T_3", e.t3));
            QCOMPARE(field(i, "P_1"), text("P_1", e.p1));
            QCOMPARE(field(i, "P_2"), text("P_2", e.p2));
            QCOMPARE(field(i, "P"), text("P", e.p));
            QCOMPARE(field(i, "A"), text("A", "37"));
            QCOMPARE(field(i, "COMMENT"), text("COMMENT", ""));
        }
        emu.stop();
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void builtInSampleArrivesWhole()
    {
        QProcess dump;
        dump.start(QStringLiteral(KVE_EMULATOR_PATH), {QStringLiteral("--dump")});
        QVERIFY(dump.waitForFinished(5000));
        QStringList lines;
        for (const QByteArray &l : dump.readAllStandardOutput().split('\n'))
            if (!l.isEmpty() && !l.startsWith('#'))
                lines << QString::fromLatin1(l);
        QVERIFY(lines.size() > 100);

        EmulatorProcess emu({QStringLiteral("--fast")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        QWidget mainWindow;
        TForm2 dlg(&mainWindow);
        dlg.setWaits(kCheckMs, kShortPauseMs);
        QCOMPARE(runDialog(dlg), 1);

        kve::MeasurementTable table;
        table.setFilePath(m_dir.filePath(QStringLiteral("sample.db")));
        table.create();
        kve::flash2qvd01(table, dlg.archiveHeader(), dlg.memoryImage(), 0);
        table.refresh();
        QCOMPARE(table.recordCount(), lines.size());
        QSet<int> series;
        table.first();
        for (const QString &line : lines) {
            const QStringList w = line.split(QLatin1Char(' '));
            QCOMPARE(table.fieldInt(QStringLiteral("EN_CH")).value_or(-1), w[0].toInt());
            QCOMPARE(table.fieldText(QStringLiteral("DATE")), w[1]);
            QCOMPARE(table.fieldText(QStringLiteral("TIME")), w[2]);
            QCOMPARE(kve::parseNumber(table.fieldText(QStringLiteral("T_1"))).value_or(1e9), w[4].toInt() / 10.0);
            series.insert(w[0].toInt());
            table.next();
        }
        QVERIFY(series.size() >= 3);
    }

    void instrumentFaults_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("textPart");
        const QString fail = QStringLiteral("Ошибка");
        QTest::newRow("garbage before S") << QStringList{"--garbage", "40"} << 1 << QString() << QString();
        QTest::newRow("Z mid-archive") << QStringList{"--z-mid-archive"} << 1 << QString() << QString();
        QTest::newRow("no S") << QStringList{"--no-start"} << 2 << fail << "начала";
        QTest::newRow("odd data") << QStringList{"--odd-data"} << 2 << fail << "нечетное";
        QTest::newRow("bad char") << QStringList{"--bad-char"} << 2 << fail << "символ";
        QTest::newRow("header promises more") << QStringList{"--promise-more", "3"} << 2 << fail << "не полностью";
        QTest::newRow("serial 300") << QStringList{"--serial", "300"} << 2 << fail << "300";
        QTest::newRow("17 series") << QStringList{"--series-count", "17"} << 2 << fail << "17";
        QTest::newRow("65546 bytes") << QStringList{"--records", "2731"} << 2 << fail << "65535";
        QTest::newRow("check code 15") << QStringList{"--check-code", "15"} << 2 << "Error" << "Вы подключили не тот прибор !";
        QTest::newRow("type code 5") << QStringList{"--type-code", "5"} << 2 << "Error" << "Вы подключили не тот прибор !";
    }
    void instrumentFaults()
    {
        QFETCH(QStringList, args);
        QFETCH(int, result);
        QFETCH(QString, caption);
        QFETCH(QString, textPart);
        EmulatorProcess emu(QStringList{QStringLiteral("--fast")} + args);
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        QWidget mainWindow;
        TForm2 dlg(&mainWindow);
        dlg.setWaits(kCheckMs, kShortPauseMs);
        testing::FakeNotifier answerer(testing::pressing(QMessageBox::Ok));
        QCOMPARE(runDialog(dlg), result);
        QVERIFY(!dlg.commPort().connected());
        if (result == 1) {
            QVERIFY(answerer.messages.isEmpty());
            QVERIFY(dlg.archiveHeader().seriesCount > 0);
            return;
        }
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(answerer.messages[0].caption, caption);
        QCOMPARE(answerer.messages[0].icon, QMessageBox::Critical);
        QVERIFY2(answerer.messages[0].text.contains(textPart), qPrintable(answerer.messages[0].text));
    }

    // The line as the dialog sets it, read back from the device it opened (the pty keeps
    // the termios settings; its modem lines are kept by the stand-in of ModemLines.h).
    void lineSettingsOfTheOpenedPort()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(kve::portLinkDirectory(), 2));
        QVERIFY(modemlines::watchDevice(pty.path()));
        TForm2 dlg(nullptr);
        QString device;
        int got = -1;
        termios tio{};
        int lines = -1;
        const int result = runDialog(dlg, [&] {
            if (waitFor([&] { return dlg.commPort().connected(); }, 10000)) {
                device = dlg.commPort().openDevice();
                got = ::tcgetattr(pty.slaveFd(), &tio);
                if (::ioctl(pty.slaveFd(), TIOCMGET, &lines) != 0)
                    lines = -1;
            }
            cancelButton(dlg)->click();
        });
        modemlines::stopWatching();
        QCOMPARE(result, 2);
        QCOMPARE(device, pty.path());
        QCOMPARE(got, 0);
        QCOMPARE(cfgetospeed(&tio), speed_t(B57600));
        QCOMPARE(cfgetispeed(&tio), speed_t(B57600));
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(tio.c_iflag & (IXON | IXOFF | IXANY | ISTRIP | INLCR | ICRNL | IGNCR), tcflag_t(0));
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
        // DTR off, RTS on.
        QCOMPARE(lines, int(TIOCM_RTS));
        // The queues of the port object.
        QCOMPARE(dlg.commPort().inBufSize(), 4096);
        QCOMPARE(dlg.commPort().outBufSize(), 4096);
    }

    // "N" goes out a second after the identification came: not before, and not much later.
    void archiveRequestWaitsOneSecond()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(kve::portLinkDirectory(), 2));
        TForm2 dlg(nullptr);
        QElapsedTimer clock;
        clock.start();
        std::atomic<bool> stop{false};
        std::atomic<qint64> beforeReply{-1}, afterReply{-1}, requested{-1};
        QByteArray received;   // the instrument's side, read after the join
        std::thread instrument([&] {
            while (!stop) {
                received += pty.read(2);
                if (beforeReply < 0 && received.contains('V')) {
                    beforeReply = clock.elapsed();
                    pty.write(wire::identification(wire::Identity{}));
                    afterReply = clock.elapsed();
                }
                if (requested < 0 && received.contains('N'))
                    requested = clock.elapsed();
            }
        });
        const int result = runDialog(dlg, [&] {
            // Long enough past the request for a second "N" to show.
            waitFor([&] { return requested >= 0 && clock.elapsed() > requested + 1500; }, 20000);
            cancelButton(dlg)->click();
        });
        stop = true;
        instrument.join();
        QCOMPARE(result, 2);
        QVERIFY2(requested >= 0, received.constData());
        QCOMPARE(received, QByteArray("VN"));
        // The pause starts when the reply has arrived, which is after it was begun.
        QVERIFY2(requested - beforeReply >= 1000, qPrintable(QString::number(requested - beforeReply)));
        // The timer that makes the pause: one precise second (a coarse timer may fire 5 %
        // early); and end to end well below two seconds even on a busy machine.
        QCOMPARE(dlg.pauseTimer().interval(), 1000);
        QCOMPARE(dlg.pauseTimer().timerType(), Qt::PreciseTimer);
        QVERIFY2(requested - afterReply < 2000, qPrintable(QString::number(requested - afterReply)));
    }

    void cancelWhileWaiting()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(kve::portLinkDirectory(), 2));
        TForm2 dlg(nullptr);
        const int result = runDialog(dlg, [&] {
            QTimer::singleShot(300, &dlg, [&] { cancelButton(dlg)->click(); });
        });
        QCOMPARE(result, 2);
        QVERIFY(!dlg.commPort().connected());
        QCOMPARE(pty.read(50), QByteArray("V"));
    }

    void noSearchWhenDefaultPortOpensButNothingAnswers()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(kve::portLinkDirectory(), 2));
        TForm2 dlg(nullptr);
        dlg.setWaits(300ms, kShortPauseMs);   // what happens when the check ends, not when
        bool checked = false;
        bool stillOpen = false;
        QString label;
        const int result = runDialog(dlg, [&] {
            checked = waitFor([&] { return !dlg.checkTimer().isActive(); }, 10000);
            stillOpen = dlg.commPort().connected();
            label = labelText(dlg, "Label1");
            cancelButton(dlg)->click();
        });
        QCOMPARE(result, 2);
        QVERIFY(checked);
        QVERIFY(stillOpen);
        QCOMPARE(label, QString());
        QCOMPARE(labelText(dlg, "StaticText2"), QStringLiteral("Ожидание готовности прибора ..."));
        QVERIFY(!dlg.commPort().connected());
        QCOMPARE(pty.read(50), QByteArray("V"));
    }

    void cancelWhileReceiving()
    {
        EmulatorProcess emu({QStringLiteral("--records"), QStringLiteral("2730")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        TForm2 dlg(nullptr);
        QElapsedTimer t;
        t.start();
        bool receiving = false;
        const int result = runDialog(dlg, [&] {
            receiving = waitFor([&] { return labelText(dlg, "StaticText2").startsWith(QStringLiteral("Идет")); }, 5000);
            waitFor([] { return false; }, 1500);
            cancelButton(dlg)->click();
        });
        QCOMPARE(result, 2);
        QVERIFY(receiving);
        QVERIFY(t.elapsed() < 10000);
        QVERIFY(!dlg.commPort().connected());
        QCOMPARE(dlg.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->value(), 0);
    }

    void instrumentStoppingWaitsForCancel()
    {
        EmulatorProcess emu({QStringLiteral("--fast"), QStringLiteral("--stop-after"), QStringLiteral("500")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        TForm2 dlg(nullptr);
        bool stillVisible = false;
        const int result = runDialog(dlg, [&] {
            QTimer::singleShot(2500, &dlg, [&] {
                stillVisible = dlg.isVisible();
                cancelButton(dlg)->click();
            });
        });
        QVERIFY(stillVisible);
        QCOMPARE(result, 2);
    }

    void instrumentUnpluggedMidTransfer()
    {
        auto emu = std::make_unique<EmulatorProcess>(QStringList{QStringLiteral("--records"), QStringLiteral("2730")});
        QVERIFY2(emu->ready(), qPrintable(emu->errors()));
        TForm2 dlg(nullptr);
        bool closedByItself = false;
        bool responsive = false;
        const int result = runDialog(dlg, [&] {
            waitFor([&] { return labelText(dlg, "StaticText2").startsWith(QStringLiteral("Идет")); }, 5000);
            waitFor([] { return false; }, 1500);
            emu->stop();
            closedByItself = waitFor([&] { return !dlg.commPort().connected(); }, 3000);
            QElapsedTimer t;
            t.start();
            QTest::qWait(200);
            responsive = t.elapsed() < 1000;
            cancelButton(dlg)->click();
        });
        QCOMPARE(result, 2);
        QVERIFY(closedByItself);
        QVERIFY(responsive);
    }

    void escapeIsCancel()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(kve::portLinkDirectory(), 2));
        TForm2 dlg(nullptr);
        const int result = runDialog(dlg, [&] {
            QTimer::singleShot(100, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
        });
        QCOMPARE(result, 2);
        QVERIFY(!dlg.commPort().connected());
    }

    void accessibleNames()
    {
        TForm2 dlg(nullptr);
        QCOMPARE(cancelButton(dlg)->accessibleName(), QStringLiteral("Отмена"));
        auto *check = dlg.findChild<QWidget *>(QStringLiteral("CheckBox1"));
        QVERIFY(check);
        QVERIFY(check->isHidden());
        QCOMPARE(dlg.findChild<QWidget *>(QStringLiteral("GroupBox1"))->accessibleName(), QStringLiteral("Информация"));
        QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("StaticText4"))->accessibleName(), QStringLiteral("Тип прибора:"));
        QCOMPARE(dlg.size(), QSize(490, 245));
    }
};

QTEST_MAIN(TestDownloadDialog)
#include "tst_DownloadDialog.moc"
