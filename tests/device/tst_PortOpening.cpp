#include "HeldLine.h"
#include "device/PortNames.h"
#include "device/TCommPortDriver.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <termios.h>
#include <unistd.h>

namespace {

const QString kCom2 = QStringLiteral("\\\\.\\COM2");

void configure(TCommPortDriver &port)
{
    port.setPortName(kCom2);
    port.setBaudRateValue(57600);
    port.setEnableDTROnOpen(false);
    port.setInBufSize(4096);
    port.setOutBufSize(4096);
}

} // namespace

class TestPortOpening : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
        QVERIFY(m_dir.isValid());
    }
    void cleanup()
    {
        QDir links(kve::portLinkDirectory());
        for (const QString &name : links.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
            QFile::remove(links.filePath(name));
    }

    // Transparent transfer: bytes with a framing or parity error are neither dropped
    // (IGNPAR) nor marked (PARMRK); nothing is stripped or translated.
    void lineFlagsOfTheOpenedPort_data()
    {
        QTest::addColumn<int>("field");     // 0 input, 1 output, 2 local
        QTest::addColumn<uint>("flag");
        QTest::newRow("IGNPAR") << 0 << uint(IGNPAR);
        QTest::newRow("PARMRK") << 0 << uint(PARMRK);
        QTest::newRow("INPCK") << 0 << uint(INPCK);
        QTest::newRow("ISTRIP") << 0 << uint(ISTRIP);
        QTest::newRow("IGNBRK") << 0 << uint(IGNBRK);
        QTest::newRow("BRKINT") << 0 << uint(BRKINT);
        QTest::newRow("INLCR") << 0 << uint(INLCR);
        QTest::newRow("IGNCR") << 0 << uint(IGNCR);
        QTest::newRow("ICRNL") << 0 << uint(ICRNL);
        QTest::newRow("IXON") << 0 << uint(IXON);
        QTest::newRow("IXOFF") << 0 << uint(IXOFF);
        QTest::newRow("OPOST") << 1 << uint(OPOST);
        QTest::newRow("ICANON") << 2 << uint(ICANON);
        QTest::newRow("ECHO") << 2 << uint(ECHO);
        QTest::newRow("ISIG") << 2 << uint(ISIG);
        QTest::newRow("IEXTEN") << 2 << uint(IEXTEN);
    }
    void lineFlagsOfTheOpenedPort()
    {
        QFETCH(int, field);
        QFETCH(uint, flag);
        HeldLine line;
        QVERIFY(!line.path.isEmpty());
        // Set beforehand, as a previous program might have left them.
        termios before{};
        QCOMPARE(::tcgetattr(line.slave, &before), 0);
        before.c_iflag |= IGNPAR | PARMRK | INPCK | ISTRIP;
        QCOMPARE(::tcsetattr(line.slave, TCSANOW, &before), 0);
        QVERIFY(line.linkAs(2));

        TCommPortDriver port;
        configure(port);
        QVERIFY(port.OpenPort());
        termios tio{};
        QCOMPARE(::tcgetattr(line.slave, &tio), 0);
        const tcflag_t value = field == 0 ? tio.c_iflag : field == 1 ? tio.c_oflag : tio.c_lflag;
        QCOMPARE(uint(value & flag), 0u);
        QCOMPARE(cfgetispeed(&tio), speed_t(B57600));
        QCOMPARE(tio.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
        port.ClosePort();
    }

    void everyByteValuePassesUnchanged()
    {
        HeldLine line;
        QVERIFY(line.linkAs(2));
        TCommPortDriver port;
        configure(port);
        QByteArray got;
        port.setOnReceiveData([&got](TCommPortDriver *, const char *data, quint32 size) {
            got.append(data, qsizetype(size));
        });
        QVERIFY(port.OpenPort());
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        all += all;   // 0xFF twice in a row, "\r\n" and XON/XOFF among them
        QCOMPARE(::write(line.master, all.constData(), size_t(all.size())), ssize_t(all.size()));
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), all.size(), 10000);
        QCOMPARE(got, all);
        port.setOnReceiveData(nullptr);
        port.ClosePort();
    }

    // What the port object hands to the driver on this platform: the mapped device with
    // links resolved, or nothing when it does not exist (the Windows build hands over the
    // name itself and lets the open judge).
    void deviceToOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("linkTo");      // link "comN" of the name to this; empty: none
        QTest::addColumn<QString>("expected");    // "<pty>": the line's device
        QTest::newRow("linked COM name") << "\\\\.\\COM5" << "<pty>" << "<pty>";
        QTest::newRow("short COM name") << "COM5" << "<pty>" << "<pty>";
        QTest::newRow("dangling link") << "\\\\.\\COM3" << "/nonexistent/kve-port" << "";
        QTest::newRow("plain device path") << "/dev/null" << "" << "/dev/null";
        QTest::newRow("missing device path") << "/dev/kve-no-such-port" << "" << "";
    }
    void deviceToOpen()
    {
        QFETCH(QString, name);
        QFETCH(QString, linkTo);
        QFETCH(QString, expected);
        HeldLine line;
        QVERIFY(!line.path.isEmpty());
        if (!linkTo.isEmpty()) {
            const int n = kve::portNumber(name);
            QVERIFY(n > 0);
            const QString dir = kve::portLinkDirectory();
            QDir().mkpath(dir);
            QVERIFY(QFile::link(linkTo == QLatin1String("<pty>") ? line.path : linkTo,
                                dir + QStringLiteral("/com%1").arg(n)));
        }
        if (expected == QLatin1String("<pty>"))
            expected = line.path;
        QCOMPARE(kve::deviceToOpen(name), expected);
    }

    void linkOfALinkLeadsToTheDevice()
    {
        HeldLine line;
        const QString first = m_dir.filePath(QStringLiteral("first"));
        QVERIFY(QFile::link(line.path, first));
        const QString dir = kve::portLinkDirectory();
        QDir().mkpath(dir);
        QVERIFY(QFile::link(first, dir + QStringLiteral("/com9")));
        QCOMPARE(kve::deviceToOpen(QStringLiteral("\\\\.\\COM9")), line.path);
        TCommPortDriver port;
        configure(port);
        port.setPortName(QStringLiteral("\\\\.\\COM9"));
        QVERIFY(port.OpenPort());
        QCOMPARE(port.openDevice(), line.path);
        port.ClosePort();
    }

    // The port object tells when the line went away and it closed itself; an ordinary
    // close is no such news.
    void lineGoneIsTold()
    {
        auto line = std::make_unique<HeldLine>();
        QVERIFY(line->linkAs(2));
        TCommPortDriver port;
        configure(port);
        QSignalSpy lost(&port, &TCommPortDriver::linkLost);
        QVERIFY(port.OpenPort());
        port.ClosePort();
        QVERIFY(port.OpenPort());
        line->closeAll();
        QTRY_VERIFY_WITH_TIMEOUT(!port.connected(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 10000);
        port.ClosePort();
        QCOMPARE(lost.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPortOpening)
#include "tst_PortOpening.moc"
