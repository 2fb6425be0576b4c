#include "device/PortNames.h"
#include "device/TCommPortDriver.h"
#include "PtyPair.h"

#include <QElapsedTimer>
#include <QtTest>
#include <chrono>

#include <termios.h>

using namespace std::chrono_literals;

namespace {

const QString kCom2 = QStringLiteral("\\\\.\\COM2");
const QString kCom3 = QStringLiteral("\\\\.\\COM3");

// The dialog's settings.
void configure(TCommPortDriver &port, const QString &name)
{
    port.setPortName(name);
    port.setBaudRateValue(57600);
    port.setEnableDTROnOpen(false);
    port.setInBufSize(4096);
    port.setOutBufSize(4096);
}

struct Deliveries {
    QList<QByteArray> pieces;
    QByteArray all() const
    {
        QByteArray out;
        for (const auto &p : pieces)
            out += p;
        return out;
    }
    void attach(TCommPortDriver &port)
    {
        port.setOnReceiveData([this, &port](TCommPortDriver *sender, const char *data, quint32 size) {
            QVERIFY(sender == &port);
            QVERIFY(size >= 1);
            pieces.append(QByteArray(data, qsizetype(size)));
        });
    }
};

} // namespace

class TestCommPortDriver : public QObject {
    Q_OBJECT

    QString m_links;

private slots:
    void initTestCase()
    {
        QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
        m_links = kve::portLinkDirectory();
    }

    void defaults()
    {
        TCommPortDriver port;
        QCOMPARE(port.portName(), kCom2);
        QCOMPARE(port.baudRateValue(), 9600);
        QCOMPARE(port.inBufSize(), 2048);
        QCOMPARE(port.pollingDelay(), 50ms);
        QCOMPARE(port.outputTimeout(), 500ms);
        QCOMPARE(port.inputTimeout(), 200ms);
        QVERIFY(port.enableDTROnOpen());
        QVERIFY(!port.connected());
    }

    void opensThroughLinkWithLineSettings()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        QVERIFY(pty.linkAs(m_links, 2));
        TCommPortDriver port;
        configure(port, kCom2);
        QVERIFY(port.OpenPort());
        QVERIFY(port.connected());
        QCOMPARE(port.openDevice(), pty.path());

        // The settings are the tty's own, seen from any descriptor of it.
        const int fd = ::open(pty.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        termios tio{};
        QCOMPARE(::tcgetattr(fd, &tio), 0);
        ::close(fd);
        QCOMPARE(cfgetospeed(&tio), speed_t(B57600));
        QCOMPARE(cfgetispeed(&tio), speed_t(B57600));
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QVERIFY(!(tio.c_cflag & PARENB));
        QVERIFY(!(tio.c_cflag & CSTOPB));
        QVERIFY(!(tio.c_cflag & CRTSCTS));
        QVERIFY(!(tio.c_iflag & (IXON | IXOFF)));
        QVERIFY(!(tio.c_iflag & (ICRNL | INLCR | ISTRIP)));
        QVERIFY(!(tio.c_lflag & (ICANON | ECHO)));
        port.ClosePort();
        QVERIFY(!port.connected());
        port.ClosePort();   // closed: nothing happens
        QVERIFY(!port.connected());
    }

    void missingDeviceDoesNotOpen()
    {
        TCommPortDriver port;
        configure(port, QStringLiteral("\\\\.\\COM7"));
        QVERIFY(QFile::link(m_links + QStringLiteral("/gone"), m_links + QStringLiteral("/com7")));
        QVERIFY(!port.OpenPort());
        QVERIFY(!port.connected());
        QFile::remove(m_links + QStringLiteral("/com7"));
    }

    void secondOpenOfTheSamePortFails()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(m_links, 2));
        TCommPortDriver a, b;
        configure(a, kCom2);
        configure(b, kCom2);
        QVERIFY(a.OpenPort());
        QVERIFY(!b.OpenPort());
        a.ClosePort();
        QVERIFY(b.OpenPort());
    }

    void openAgainKeepsQueuedBytes()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(m_links, 2));
        TCommPortDriver port;
        configure(port, kCom2);
        Deliveries got;
        got.attach(port);
        QVERIFY(port.OpenPort());
        QVERIFY(pty.write("abc"));
        QTest::qWait(5);
        QVERIFY(port.OpenPort());
        QTRY_COMPARE(got.all(), QByteArray("abc"));
    }

    void portNameWhileOpenWaitsForClose()
    {
        PtyPair one, two;
        QVERIFY(one.linkAs(m_links, 2));
        QVERIFY(two.linkAs(m_links, 3));
        TCommPortDriver port;
        configure(port, kCom2);
        QVERIFY(port.OpenPort());
        port.setPortName(kCom3);
        QCOMPARE(port.portName(), kCom2);
        QVERIFY(port.OpenPort());
        QCOMPARE(port.openDevice(), one.path());
        port.ClosePort();
        port.setPortName(kCom3);
        QVERIFY(port.OpenPort());
        QCOMPARE(port.openDevice(), two.path());
    }

    void closedPortSendsAndReadsNothing()
    {
        TCommPortDriver port;
        QElapsedTimer t;
        t.start();
        QVERIFY(!port.WriteOneByte('V'));
        char c = 0;
        QVERIFY(!port.ReadOneByte(c));
        QVERIFY(t.elapsed() < 50);
    }

    void writeReachesTheLine()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(m_links, 2));
        TCommPortDriver port;
        configure(port, kCom2);
        QVERIFY(port.OpenPort());
        QVERIFY(port.WriteOneByte('V'));
        QVERIFY(port.WriteOneByte('N'));
        QByteArray sent;
        QTRY_VERIFY((sent += pty.read(10)).size() >= 2);
        QCOMPARE(sent, QByteArray("VN"));
    }

    void directReadLeavesTheRestForThePoll()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(m_links, 2));
        TCommPortDriver port;
        configure(port, kCom2);
        Deliveries got;
        got.attach(port);
        QVERIFY(port.OpenPort());
        QVERIFY(pty.write("Zrest"));
        char c = 0;
        QVERIFY(port.ReadOneByte(c));
        QCOMPARE(c, 'Z');
        QVERIFY(got.pieces.isEmpty());
        QTRY_COMPARE(got.all(), QByteArray("rest"));
    }

    void directReadGivesUpAfterSilence()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(m_links, 2));
        TCommPortDriver port;
        configure(port, kCom2);
        QVERIFY(port.OpenPort());
        QElapsedTimer t;
        t.start();
        char c = 0;
        QVERIFY(!port.ReadOneByte(c));
        QVERIFY2(t.elapsed() >= 190 && t.elapsed() < 600, qPrintable(QString::number(t.elapsed())));
    }

    void burstBetweenTicksIsOnePiece()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(m_links, 2));
        TCommPortDriver port;
        configure(port, kCom2);
        Deliveries got;
        got.attach(port);
        QVERIFY(port.OpenPort());
        QByteArray burst;
        for (int i = 0; i < 600; ++i)
            burst.append(char('0' + i % 16));
        QVERIFY(pty.write(burst));
        QTRY_COMPARE(got.all().size(), 600);
        QCOMPARE(got.pieces.size(), 1);
        QCOMPARE(got.pieces.first(), burst);
    }

    void largeInflowComesInPiecesOfAtMost4096()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(m_links, 2));
        TCommPortDriver port;
        configure(port, kCom2);
        Deliveries got;
        got.attach(port);
        QVERIFY(port.OpenPort());
        QByteArray flood;
        for (int i = 0; i < 30000; ++i)
            flood.append(char(i * 7));
        // The line holds only a few kilobytes; feed it as the port drains it.
        qsizetype sent = 0;
        QElapsedTimer t;
        t.start();
        while (got.all().size() < flood.size() && t.elapsed() < 10000) {
            sent += pty.writeSome(flood.constData() + sent, flood.size() - sent);
            QTest::qWait(5);
        }
        QCOMPARE(got.all().size(), flood.size());
        QCOMPARE(got.all(), flood);
        for (const auto &p : got.pieces)
            QVERIFY(p.size() <= 4096);
        QVERIFY(got.pieces.size() >= 8);
    }

    void peerGoingAwayClosesThePort()
    {
        auto *pty = new PtyPair;
        QVERIFY(pty->linkAs(m_links, 2));
        TCommPortDriver port;
        configure(port, kCom2);
        QVERIFY(port.OpenPort());
        pty->closeSlave();
        pty->closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!port.connected(), 2000);
        // Stays responsive: the event loop is not swamped.
        QElapsedTimer t;
        t.start();
        QTest::qWait(100);
        QVERIFY(t.elapsed() < 1000);
        delete pty;
    }
};

QTEST_GUILESS_MAIN(TestCommPortDriver)
#include "tst_TCommPortDriver.moc"
