#pragma once

// The instrument emulator program on its own pseudo-terminal, for tests. It prints
// "ready <pty>" once listening; it is stopped (SIGTERM) when this object goes.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace testing {

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
        QElapsedTimer clock;
        clock.start();
        while (!m_out.contains('\n') && clock.elapsed() < 5000 && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(50);
            m_out += m_process.readAllStandardOutput();
        }
        if (m_out.startsWith("ready "))
            m_pty = QString::fromLocal8Bit(m_out.mid(6).trimmed());
    }
    ~EmulatorProcess() { stop(); }
    EmulatorProcess(const EmulatorProcess &) = delete;
    EmulatorProcess &operator=(const EmulatorProcess &) = delete;

    bool ready() const { return !m_pty.isEmpty(); }
    QString pty() const { return m_pty; }
    QString startupText() const { return QString::fromLocal8Bit(m_out); }

    // What it wrote on stderr so far (with --verbose: one line per request it got).
    QByteArray log()
    {
        m_log += m_process.readAllStandardError();
        return m_log;
    }
    QString errors() { return QString::fromLocal8Bit(log()); }

    // The instrument pulled from the line at once: no orderly shutdown.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(3000);
    }

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
    QByteArray m_out;
    QByteArray m_log;
    QString m_pty;
};

} // namespace testing
