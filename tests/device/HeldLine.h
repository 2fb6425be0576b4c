#pragma once

// A pseudo-terminal for tests that play the instrument: the test holds both sides, so it
// can read the line's settings back while the port object has the line open exclusively,
// and can pull the line away by closing both.

#include "device/PortNames.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

struct HeldLine {
    int master = -1;
    int slave = -1;
    QString path;

    HeldLine()
    {
        termios tio{};
        ::cfmakeraw(&tio);
        char name[128] = {};
        if (::openpty(&master, &slave, name, &tio, nullptr) == 0) {
            path = QString::fromLocal8Bit(name);
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~HeldLine() { closeAll(); }
    HeldLine(const HeldLine &) = delete;
    HeldLine &operator=(const HeldLine &) = delete;

    bool ok() const { return master >= 0; }

    void closeAll()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
        master = slave = -1;
    }

    // Links the line as a COM name of the program.
    bool linkAs(int com) const
    {
        const QString dir = kve::portLinkDirectory();
        QDir().mkpath(dir);
        const QString link = dir + QStringLiteral("/com%1").arg(com);
        QFile::remove(link);
        return QFile::link(path, link);
    }
};
