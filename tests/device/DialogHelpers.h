#pragma once

// Running the real download dialog against the emulator program in tests.

#include "EmulatorProcess.h"
#include "device/PortNames.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

using testing::EmulatorProcess;

// Makes COM names lead nowhere, so that no real device of the machine takes part.
inline void hidePorts(int from, int to)
{
    const QString dir = kve::portLinkDirectory();
    QDir().mkpath(dir);
    for (int n = from; n <= to; ++n) {
        const QString link = dir + QStringLiteral("/com%1").arg(n);
        QFile::remove(link);
        QFile::link(dir + QStringLiteral("/no-such-device"), link);
    }
}

inline void removePortLinks()
{
    QDir dir(kve::portLinkDirectory());
    for (const QString &name : dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        QFile::remove(dir.filePath(name));
}
