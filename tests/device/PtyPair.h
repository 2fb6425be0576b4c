#pragma once

// A pseudo-terminal made by the test: the test plays the instrument on the master side.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        termios tio{};
        cfmakeraw(&tio);
        char name[128] = {};
        if (::openpty(&m_master, &m_slave, name, &tio, nullptr) == 0) {
            m_path = QString::fromLocal8Bit(name);
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPair() { closeMaster(); if (m_slave >= 0) ::close(m_slave); }

    bool ok() const { return m_master >= 0; }
    // The test's own descriptor of the slave side: the tty's settings read the same from it.
    int slaveFd() const { return m_slave; }
    QString path() const { return m_path; }

    // Links the slave side as a COM name in the given folder.
    bool linkAs(const QString &dir, int com) const
    {
        QDir().mkpath(dir);
        const QString link = dir + QStringLiteral("/com%1").arg(com);
        QFile::remove(link);
        return QFile::link(m_path, link);
    }

    bool write(const QByteArray &bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t w = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (w > 0)
                done += w;
            else if (errno != EAGAIN)
                return false;
            else
                ::usleep(1000);
        }
        return true;
    }

    // Writes what the line takes now; returns the count.
    qsizetype writeSome(const char *data, qsizetype size) const
    {
        const ssize_t w = ::write(m_master, data, size_t(size));
        return w > 0 ? w : 0;
    }

    // What the program sent, waiting up to `ms` for at least one byte.
    QByteArray read(int ms = 0) const
    {
        QByteArray out;
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return out;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, n);
        }
        return out;
    }

    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    // The test keeps no slave side open, so the master sees the program's close.
    void closeSlave()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        m_slave = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};
