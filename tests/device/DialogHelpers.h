#pragma once

// Running the real download dialog against the emulator program in tests.

#include "device/PortNames.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

// The emulator program on its own pseudo-terminal, stopped (SIGTERM) when destroyed.
class EmulatorProcess {
public:
    explicit EmulatorProcess(const QStringList &args)
    {
        m_process.setProgram(QStringLiteral(KVE_EMULATOR_PATH));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!out.contains('\n') && t.elapsed() < 5000 && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
        }
        if (out.startsWith("ready "))
            m_pty = QString::fromLocal8Bit(out.mid(6).trimmed());
    }
    ~EmulatorProcess() { stop(); }

    bool ready() const { return !m_pty.isEmpty(); }
    QString pty() const { return m_pty; }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QString m_pty;
};

// Answers every modal message box that appears, noting what it said.
class BoxAnswerer : public QObject {
public:
    struct Box {
        QString caption, text;
        QMessageBox::Icon icon;
    };

    BoxAnswerer()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || m_seen.contains(box))
                return;
            m_seen.append(box);
            boxes.append({box->windowTitle(), box->text(), box->icon()});
            QTimer::singleShot(0, box, [box] {
                if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                    ok->click();
                else
                    box->accept();
            });
        });
        m_timer.start();
    }

    QList<Box> boxes;

private:
    QTimer m_timer;
    QList<QMessageBox *> m_seen;
};

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
