#include "DialogHelpers.h"
#include "FakeNotifier.h"
#include "DialogRun.h"
#include "WireFormat.h"
#include "device/DownloadProtocol.h"
#include "device/receive.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using Result = DownloadProtocol::Result;
Q_DECLARE_METATYPE(DownloadProtocol::Result)

namespace {

QByteArray reply(quint8 type, quint8 check, quint16 serial = 37, quint8 series = 1)
{
    wire::Identity id;
    id.type = type;
    id.check = check;
    id.serial = serial;
    id.series = series;
    id.counts[0] = 1;
    return wire::identification(id);
}

QByteArray withChar(QByteArray bytes, int at, char c)
{
    bytes[at] = c;
    return bytes;
}

} // namespace

class TestWrongInstrument : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
    }
    void init()
    {
        removePortLinks();
        hidePorts(1, 38);
        QFile::remove(kve::portLinkDirectory() + QStringLiteral("/com2"));
    }

    // The codes are judged from the ninth character on, before anything else of the reply.
    void codesAreJudgedFirst_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("endsAt");        // characters in when the download ends; 0: never
        QTest::addColumn<Result>("result");

        QTest::newRow("type 5, 9 characters") << reply(5, 16).left(9) << 9 << Result::WrongInstrument;
        QTest::newRow("check 15, 9 characters") << reply(6, 15).left(9) << 9 << Result::WrongInstrument;
        QTest::newRow("type 5, 12 characters") << reply(5, 16).left(12) << 9 << Result::WrongInstrument;
        QTest::newRow("type 5, serial 300") << reply(5, 16, 300) << 9 << Result::WrongInstrument;
        QTest::newRow("check 15, bad character in the counts")
            << withChar(reply(6, 15), 20, 'x') << 9 << Result::WrongInstrument;
        QTest::newRow("check 15, 17 series") << reply(6, 15, 37, 17) << 9 << Result::WrongInstrument;
        QTest::newRow("type code no pair") << withChar(reply(6, 16), 2, 'x').left(9) << 9 << Result::WrongInstrument;
        QTest::newRow("check code no pair") << withChar(reply(6, 16), 3, '~').left(9) << 9 << Result::WrongInstrument;
        QTest::newRow("codes right, 8 characters") << reply(6, 16).left(8) << 0 << Result::None;
        QTest::newRow("codes right, 80 characters") << reply(6, 16).left(80) << 0 << Result::None;
        QTest::newRow("codes right, serial 300") << reply(6, 16, 300) << 81 << Result::BadData;
        QTest::newRow("codes right, bad character in the counts")
            << withChar(reply(6, 16), 20, 'x') << 81 << Result::BadData;
        QTest::newRow("wrong codes, 8 characters") << reply(5, 15).left(8) << 0 << Result::None;
    }
    void codesAreJudgedFirst()
    {
        QFETCH(QByteArray, stream);
        QFETCH(int, endsAt);
        QFETCH(Result, result);

        // One character at a time: the ending comes with exactly the expected character.
        DownloadProtocol p;
        p.requestIdentification();
        int endedAt = 0;
        for (int i = 0; i < stream.size(); ++i) {
            const auto step = p.feed(stream.constData() + i, 1);
            QVERIFY(!step.identified);
            if (step.result != Result::None) {
                QCOMPARE(step.result, result);
                endedAt = i + 1;
                if (result == Result::WrongInstrument) {
                    QVERIFY(step.stopCheckTimer);
                    QVERIFY(step.errorText.isEmpty());
                    QCOMPARE(p.progress(), 20);
                }
                break;
            }
        }
        QCOMPARE(endedAt, endsAt);
        QCOMPARE(p.result(), result);

        // All in one piece: the same ending.
        DownloadProtocol whole;
        whole.requestIdentification();
        const auto step = whole.feed(stream.constData(), quint32(stream.size()));
        QCOMPARE(step.result, result);
        QVERIFY(!step.identified);
    }

    // A later reply judged wrong after a "Z" that started over.
    void codesJudgedAgainAfterStartingOver()
    {
        DownloadProtocol p;
        p.requestIdentification();
        const QByteArray good = reply(6, 16).left(40);
        QCOMPARE(p.feed(good.constData(), quint32(good.size())).result, Result::None);
        const auto z = p.feed("Z", 1);
        QCOMPARE(z.send, QByteArray("V"));
        const QByteArray wrong = reply(6, 15).left(9);
        QCOMPARE(p.feed(wrong.constData(), quint32(wrong.size())).result, Result::WrongInstrument);
    }

    void emulatorSendsShortReply()
    {
        EmulatorProcess emu({QStringLiteral("--fast"), QStringLiteral("--type-code"), QStringLiteral("5"),
                             QStringLiteral("--short-identification"), QStringLiteral("12")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        const int fd = ::open(emu.pty().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
        QCOMPARE(::write(fd, "V", 1), ssize_t(1));
        QByteArray got;
        QElapsedTimer t;
        t.start();
        // Reads for a while past the last character, so that a longer reply would show.
        while (t.elapsed() < 1500) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char buf[256];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, n);
            }
        }
        ::close(fd);
        // "V", type 5, check 16, version 7 0 2, then the low nibble of serial 37.
        QCOMPARE(got, QByteArray("V50017000205"));
    }

    // End to end: the real dialog against the emulator program.
    void dialogTellsWrongInstrument_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("type 5, reply of 12 characters") << QStringList{"--type-code", "5", "--short-identification", "12"};
        QTest::newRow("check 15, reply of 9 characters") << QStringList{"--check-code", "15", "--short-identification", "9"};
        QTest::newRow("check 15, serial 300") << QStringList{"--check-code", "15", "--serial", "300"};
        QTest::newRow("type 5, 17 series") << QStringList{"--type-code", "5", "--series-count", "17"};
    }
    void dialogTellsWrongInstrument()
    {
        QFETCH(QStringList, args);
        EmulatorProcess emu(QStringList{QStringLiteral("--fast")} + args);
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        QWidget mainWindow;
        mainWindow.setWindowTitle(QStringLiteral("KVE"));
        TForm2 dlg(&mainWindow);
        testing::FakeNotifier answerer(testing::pressing(QMessageBox::Ok));
        QCOMPARE(dialogrun::run(dlg, {}, 20000), 2);
        QVERIFY(!dlg.commPort().connected());
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(answerer.messages[0].caption, QStringLiteral("Error"));
        QCOMPARE(answerer.messages[0].text, QStringLiteral("Вы подключили не тот прибор !"));
        QCOMPARE(answerer.messages[0].icon, QMessageBox::Critical);
        // Not identified: the main window keeps its caption.
        QCOMPARE(mainWindow.windowTitle(), QStringLiteral("KVE"));
    }
};

QTEST_MAIN(TestWrongInstrument)
#include "tst_WrongInstrument.moc"
