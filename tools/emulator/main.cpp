// kve-emulator: a pseudo-terminal that answers like the ЖОРД-ЗР7 instrument.

#include "InstrumentReplies.h"
#include "SampleArchive.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

int fail(const QString &text)
{
    std::fprintf(stderr, "kve-emulator: %s\n", qPrintable(text));
    return 2;
}

QString linkForComName(const QString &com)
{
    static const QRegularExpression re(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM([0-9]{1,2})$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(com);
    if (!m.hasMatch())
        return QString();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Dorvatek/KVE/ports/com") + m.captured(1);
}

using Clock = std::chrono::steady_clock;

class Emulator {
public:
    Emulator(int master, InstrumentSettings settings, EmulatedArchive archive, bool paced, int baud, bool verbose)
        : m_master(master), m_settings(settings), m_archive(std::move(archive)), m_paced(paced)
        , m_charsPerSecond(baud / 10.0), m_verbose(verbose)
    {
    }

    void run()
    {
        char in[256];
        while (!g_stop) {
            pollfd p{m_master, POLLIN, 0};
            int timeout = 200;
            if (m_pos < m_out.size()) {
                if (m_paced)
                    timeout = 2;
                else
                    p.events |= POLLOUT;
            }
            const int r = ::poll(&p, 1, timeout);
            if (r < 0 && errno != EINTR)
                break;
            if (r > 0 && (p.revents & POLLIN)) {
                const ssize_t n = ::read(m_master, in, sizeof in);
                if (n > 0)
                    for (ssize_t i = 0; i < n; ++i)
                        command(in[i]);
            }
            if (r > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN))
                ::usleep(20000);   // nobody has the port open
            flush();
        }
    }

private:
    void command(char c)
    {
        if (m_verbose)
            std::fprintf(stderr, "kve-emulator: got '%c'\n", c);
        switch (c) {
        case 'Z':
            queue(QByteArray(1, 'Z'));
            break;
        case 'V':
            queue(identificationReply(m_settings, m_archive));
            break;
        case 'N':
            queue(archiveReply(m_settings, m_archive, m_firstArchive));
            m_firstArchive = false;
            break;
        default:
            break;
        }
    }

    // A new request supersedes what is still going out.
    void queue(const QByteArray &reply)
    {
        m_out = reply;
        m_pos = 0;
        m_burstStart = Clock::now();
        m_burstSent = 0;
    }

    void flush()
    {
        while (m_pos < m_out.size()) {
            qsizetype want = m_out.size() - m_pos;
            if (m_paced) {
                const double seconds = std::chrono::duration<double>(Clock::now() - m_burstStart).count();
                const qint64 due = qint64(seconds * m_charsPerSecond) - m_burstSent;
                if (due <= 0)
                    return;
                want = qMin<qsizetype>(want, due);
            }
            const ssize_t w = ::write(m_master, m_out.constData() + m_pos, size_t(want));
            if (w <= 0)
                return;
            m_pos += w;
            m_burstSent += w;
        }
    }

    int m_master;
    InstrumentSettings m_settings;
    EmulatedArchive m_archive;
    bool m_paced;
    double m_charsPerSecond;
    bool m_verbose;
    bool m_firstArchive = true;
    QByteArray m_out;
    qsizetype m_pos = 0;
    Clock::time_point m_burstStart;
    qint64 m_burstSent = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kve-emulator"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Emulates the ЖОРД-ЗР7 instrument on a pseudo-terminal linked as a COM port of KVE.\n"
        "Answers \"Z\" (probe), \"V\" (identification) and \"N\" (archive). Prints \"ready <pty>\" once listening.\n"
        "Archive file: one record per line, \"series dd.mm.yyyy hh:mm:ss F T_1 T_2 T_3 P_1 P_2 P\" with raw\n"
        "integers (F and P in hundredths, T_1..P_2 in tenths); \"#\" starts a comment."));
    parser.addHelpOption();
    const QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("COM name to link (default COM2)."), QStringLiteral("COMn"), QStringLiteral("COM2"));
    const QCommandLineOption linkOpt(QStringLiteral("link"), QStringLiteral("Link the pseudo-terminal at this path instead."), QStringLiteral("path"));
    const QCommandLineOption archiveOpt(QStringLiteral("archive"), QStringLiteral("Serve the records of this archive file."), QStringLiteral("file"));
    const QCommandLineOption recordsOpt(QStringLiteral("records"), QStringLiteral("Serve generated records: counts of series 1, 2, ... (e.g. 2730 or 5,0,3)."), QStringLiteral("n[,n...]"));
    const QCommandLineOption dumpOpt(QStringLiteral("dump"), QStringLiteral("Print the archive in file form and exit."));
    const QCommandLineOption serialOpt(QStringLiteral("serial"), QStringLiteral("Serial number (0..65535 on the wire; default 37)."), QStringLiteral("n"), QStringLiteral("37"));
    const QCommandLineOption versionOpt(QStringLiteral("software-version"), QStringLiteral("Software version as shown (default 02.00.07)."), QStringLiteral("aa.bb.cc"), QStringLiteral("02.00.07"));
    const QCommandLineOption typeOpt(QStringLiteral("type-code"), QStringLiteral("Device type code (default 6)."), QStringLiteral("n"), QStringLiteral("6"));
    const QCommandLineOption checkOpt(QStringLiteral("check-code"), QStringLiteral("Second code (default 16)."), QStringLiteral("n"), QStringLiteral("16"));
    const QCommandLineOption seriesOpt(QStringLiteral("series-count"), QStringLiteral("Series count in the header (default: highest series with records)."), QStringLiteral("n"));
    const QCommandLineOption fastOpt(QStringLiteral("fast"), QStringLiteral("Send as fast as possible instead of at the line rate."));
    const QCommandLineOption baudOpt(QStringLiteral("baud"), QStringLiteral("Line rate for pacing, bit/s (default 57600; 10 bits a character)."), QStringLiteral("n"), QStringLiteral("57600"));
    const QCommandLineOption stopOpt(QStringLiteral("stop-after"), QStringLiteral("Fault: archive replies stop after k characters."), QStringLiteral("k"));
    const QCommandLineOption shortIdOpt(QStringLiteral("short-identification"), QStringLiteral("Fault: identification replies stop after k characters."), QStringLiteral("k"));
    const QCommandLineOption zOpt(QStringLiteral("z-mid-archive"), QStringLiteral("Fault: the first archive reply breaks off halfway with \"Z\"."));
    const QCommandLineOption garbageOpt(QStringLiteral("garbage"), QStringLiteral("Send k characters before \"S\" (allowed by the protocol)."), QStringLiteral("k"));
    const QCommandLineOption noStartOpt(QStringLiteral("no-start"), QStringLiteral("Fault: leave out the start mark \"S\"."));
    const QCommandLineOption oddOpt(QStringLiteral("odd-data"), QStringLiteral("Fault: an odd number of data characters."));
    const QCommandLineOption badOpt(QStringLiteral("bad-char"), QStringLiteral("Fault: one data character outside \"0\"..\"?\"."));
    const QCommandLineOption promiseOpt(QStringLiteral("promise-more"), QStringLiteral("Fault: the header promises k more records than are sent."), QStringLiteral("k"));
    const QCommandLineOption verboseOpt(QStringLiteral("verbose"), QStringLiteral("Log requests on stderr."));
    parser.addOptions({portOpt, linkOpt, archiveOpt, recordsOpt, dumpOpt, serialOpt, versionOpt, typeOpt, checkOpt,
                       seriesOpt, fastOpt, baudOpt, stopOpt, shortIdOpt, zOpt, garbageOpt, noStartOpt, oddOpt, badOpt,
                       promiseOpt, verboseOpt});
    parser.process(app);

    auto intOption = [&parser](const QCommandLineOption &o, int lo, int hi, int *out) {
        bool ok = false;
        const int v = parser.value(o).toInt(&ok);
        if (!ok || v < lo || v > hi)
            return false;
        *out = v;
        return true;
    };

    InstrumentSettings s;
    int v = 0;
    if (!intOption(serialOpt, 0, 65535, &s.serialNumber))
        return fail(QStringLiteral("--serial wants 0..65535"));
    if (!intOption(typeOpt, 0, 255, &v))
        return fail(QStringLiteral("--type-code wants 0..255"));
    s.typeCode = quint8(v);
    if (!intOption(checkOpt, 0, 255, &v))
        return fail(QStringLiteral("--check-code wants 0..255"));
    s.checkCode = quint8(v);
    {
        const QStringList parts = parser.value(versionOpt).split(QLatin1Char('.'));
        bool ok = parts.size() == 3;
        int b[3] = {0, 0, 0};
        for (int i = 0; ok && i < 3; ++i) {
            b[i] = parts[i].toInt(&ok);
            ok = ok && b[i] >= 0 && b[i] <= 255;
        }
        if (!ok)
            return fail(QStringLiteral("--software-version wants aa.bb.cc"));
        // Shown third.second.first.
        s.version[0] = quint8(b[2]);
        s.version[1] = quint8(b[1]);
        s.version[2] = quint8(b[0]);
    }
    if (parser.isSet(seriesOpt) && !intOption(seriesOpt, 0, 255, &s.seriesCount))
        return fail(QStringLiteral("--series-count wants 0..255"));
    if (parser.isSet(promiseOpt) && !intOption(promiseOpt, 0, 65535, &s.promiseMore))
        return fail(QStringLiteral("--promise-more wants 0..65535"));
    if (parser.isSet(garbageOpt) && !intOption(garbageOpt, 0, 100000, &s.garbage))
        return fail(QStringLiteral("--garbage wants 0..100000"));
    if (parser.isSet(stopOpt)) {
        if (!intOption(stopOpt, 0, 1 << 30, &v))
            return fail(QStringLiteral("--stop-after wants a count"));
        s.stopAfter = v;
    }
    if (parser.isSet(shortIdOpt) && !intOption(shortIdOpt, 0, 81, &s.identificationLength))
        return fail(QStringLiteral("--short-identification wants 0..81"));
    s.zMidArchive = parser.isSet(zOpt);
    s.noStart = parser.isSet(noStartOpt);
    s.oddData = parser.isSet(oddOpt);
    s.badChar = parser.isSet(badOpt);
    int baud = 57600;
    if (!intOption(baudOpt, 50, 10000000, &baud))
        return fail(QStringLiteral("--baud wants a rate"));

    EmulatedArchive archive = EmulatedArchive::sample();
    if (parser.isSet(archiveOpt)) {
        QFile f(parser.value(archiveOpt));
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(f.fileName(), f.errorString()));
        QString error;
        archive = EmulatedArchive::fromText(QString::fromUtf8(f.readAll()), &error);
        if (!error.isEmpty())
            return fail(QStringLiteral("%1: %2").arg(f.fileName(), error));
    } else if (parser.isSet(recordsOpt)) {
        QVector<int> counts;
        for (const QString &part : parser.value(recordsOpt).split(QLatin1Char(','))) {
            bool ok = false;
            const int c = part.toInt(&ok);
            if (!ok || c < 0 || c > 65535 || counts.size() == 16)
                return fail(QStringLiteral("--records wants up to 16 counts 0..65535"));
            counts.append(c);
        }
        archive = EmulatedArchive::generated(counts);
    }
    if (parser.isSet(dumpOpt)) {
        std::fputs(archive.toText().toUtf8().constData(), stdout);
        return 0;
    }

    QString link = parser.isSet(linkOpt) ? parser.value(linkOpt) : linkForComName(parser.value(portOpt));
    if (link.isEmpty())
        return fail(QStringLiteral("--port wants a name like COM2 or \\\\.\\COM2"));
    link = QFileInfo(link).absoluteFilePath();

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return fail(QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    const QString pty = QString::fromLocal8Bit(::ptsname(master));
    // Held open so the line stays up between the program's opens and closes.
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0)
        return fail(QStringLiteral("cannot open %1").arg(pty));
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B57600);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    QDir().mkpath(QFileInfo(link).absolutePath());
    const QFileInfo old(link);
    if (old.isSymLink())
        QFile::remove(link);
    else if (old.exists())
        return fail(QStringLiteral("%1 exists and is no link; not replaced").arg(link));
    if (::symlink(pty.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0)
        return fail(QStringLiteral("cannot link %1: %2").arg(link, QString::fromLocal8Bit(std::strerror(errno))));

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);

    std::printf("ready %s\n", qPrintable(pty));
    std::fflush(stdout);

    Emulator emulator(master, s, archive, !parser.isSet(fastOpt), baud, parser.isSet(verboseOpt));
    emulator.run();

    if (QFileInfo(link).symLinkTarget() == pty || QFile::symLinkTarget(link) == pty)
        QFile::remove(link);
    ::close(slave);
    ::close(master);
    return 0;
}
