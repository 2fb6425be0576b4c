#include "DialogHelpers.h"
#include "device/DownloadProtocol.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The program's side of the emulator's line, opened raw.
class Line {
public:
    explicit Line(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios tio{};
            ::tcgetattr(m_fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~Line()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    void send(char c) const { (void)!::write(m_fd, &c, 1); }
    // Reads until `count` bytes came or `ms` passed.
    QByteArray receive(int count, int ms) const
    {
        QByteArray out;
        QElapsedTimer t;
        t.start();
        char buf[4096];
        while (out.size() < count && t.elapsed() < ms) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                const ssize_t n = ::read(m_fd, buf, sizeof buf);
                if (n > 0)
                    out.append(buf, n);
            }
        }
        return out;
    }

private:
    int m_fd = -1;
};

} // namespace

class TestEmulator : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void helpListsOptions()
    {
        QProcess p;
        p.start(QStringLiteral(KVE_EMULATOR_PATH), {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 0);
        const QString help = QString::fromUtf8(p.readAllStandardOutput());
        for (const char *opt : {"--port", "--link", "--archive", "--serial", "--software-version", "--type-code",
                                "--check-code", "--fast", "--stop-after", "--z-mid-archive", "--garbage",
                                "--odd-data", "--promise-more"})
            QVERIFY2(help.contains(QLatin1String(opt)), opt);
    }

    void answersAsTheInstrument()
    {
        const QString link = m_dir.filePath(QStringLiteral("line"));
        EmulatorProcess emu({QStringLiteral("--fast"), QStringLiteral("--link"), link, QStringLiteral("--serial"),
                             QStringLiteral("201"), QStringLiteral("--software-version"), QStringLiteral("01.12.03"),
                             QStringLiteral("--records"), QStringLiteral("3,0,2")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        QCOMPARE(QFile::symLinkTarget(link), emu.pty());
        Line line(link);
        QVERIFY(line.ok());

        line.send('Z');
        QCOMPARE(line.receive(1, 2000), QByteArray("Z"));

        line.send('V');
        const QByteArray id = line.receive(81, 2000);
        QCOMPARE(id.size(), 81);
        QString error;
        const auto h = DownloadProtocol::decodeIdentification(id.constData(), &error);
        QVERIFY2(h, qPrintable(error));
        QCOMPARE(h->typeCode, quint8(6));
        QCOMPARE(h->checkCode, quint8(16));
        QCOMPARE(h->softwareVersion, QStringLiteral("01.12.03"));
        QCOMPARE(h->serialNumber, quint8(201));
        QCOMPARE(h->seriesCount, quint8(3));
        QCOMPARE(h->recordCounts[0], quint16(3));
        QCOMPARE(h->recordCounts[1], quint16(0));
        QCOMPARE(h->recordCounts[2], quint16(2));

        line.send('N');
        const int chars = 2 * (2 + 24 * 5) + 2;
        const QByteArray archive = line.receive(chars, 3000);
        QCOMPARE(archive.size(), chars);
        QCOMPARE(archive.front(), 'S');
        QCOMPARE(archive.back(), 'P');
        for (int i = 1; i < chars - 1; ++i)
            QVERIFY(archive[i] >= '0' && archive[i] <= '?');

        emu.stop();
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void pacedAtTheLineRate()
    {
        const QString link = m_dir.filePath(QStringLiteral("paced"));
        EmulatorProcess emu({QStringLiteral("--link"), link, QStringLiteral("--records"), QStringLiteral("100")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        Line line(link);
        QVERIFY(line.ok());
        const int chars = 2 * (2 + 24 * 100) + 2;   // 4,806 characters: 0.834 s at 5,760 a second
        QElapsedTimer t;
        t.start();
        line.send('N');
        QCOMPARE(line.receive(chars, 5000).size(), chars);
        const double seconds = t.elapsed() / 1000.0;
        QVERIFY2(seconds > 0.80 && seconds < 1.5, qPrintable(QString::number(seconds)));
    }

    void refusesToReplaceAFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("plain"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep");
        }
        QProcess p;
        p.start(QStringLiteral(KVE_EMULATOR_PATH), {QStringLiteral("--link"), path});
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.exitCode() != 0);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep"));
    }

    void badArchiveFileIsRefused()
    {
        const QString path = m_dir.filePath(QStringLiteral("bad.txt"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("1 05.02.2009 09:07:05 1 2 3\n");
        }
        QProcess p;
        p.start(QStringLiteral(KVE_EMULATOR_PATH), {QStringLiteral("--archive"), path, QStringLiteral("--link"),
                                                    m_dir.filePath(QStringLiteral("unused"))});
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains(QStringLiteral("line 1")));
        QVERIFY(!QFileInfo(m_dir.filePath(QStringLiteral("unused"))).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_Emulator.moc"
