#include "TCommPortDriver.h"

#include "PortNames.h"
#include "store/Error.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

using std::chrono::milliseconds;
using namespace std::chrono_literals;
template <typename F>
void TCommPortDriver::guarded(F &&handler)
{
    kve::runGuarded(std::forward<F>(handler), [this](const QString &text) { emit errorOccurred(text); });
}

TCommPortDriver::TCommPortDriver(QObject *parent)
    : QObject(parent)
{
    m_receiveBuffer.resize(m_inBufSize);
    m_pollTimer.setInterval(m_pollingDelay);
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    // The port's handlers are edges of their own: an error is passed on by errorOccurred.
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { guarded([&] { poll(); }); });
    connect(&m_port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { guarded([&] { onError(error); }); });
}

TCommPortDriver::~TCommPortDriver()
{
    m_onReceiveData = nullptr;
    ClosePort();
}

void TCommPortDriver::setPortName(const QString &name)
{
    if (!m_port.isOpen())
        m_portName = name;
}

void TCommPortDriver::setInBufSize(int size)
{
    if (m_port.isOpen())
        return;
    m_inBufSize = std::max(size, 1);
    m_receiveBuffer.resize(m_inBufSize);
}

void TCommPortDriver::setPollingDelay(std::chrono::milliseconds delay)
{
    m_pollingDelay = std::max(delay, 1ms);
    m_pollTimer.setInterval(m_pollingDelay);
}

bool TCommPortDriver::OpenPort()
{
    if (m_port.isOpen())
        return true;
    m_closePending = false;

    const QString target = kve::deviceToOpen(m_portName);
    if (target.isEmpty())
        return false;

    m_port.setPortName(target);
    m_port.setBaudRate(m_baudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(0);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_port.clearError();
        return false;
    }
    const bool settingsHeld = m_port.baudRate() == m_baudRate && m_port.dataBits() == QSerialPort::Data8
        && m_port.parity() == QSerialPort::NoParity && m_port.stopBits() == QSerialPort::OneStop
        && m_port.flowControl() == QSerialPort::NoFlowControl
        && m_port.setBaudRate(m_baudRate);
    if (!settingsHeld) {
        m_port.close();
        m_port.clearError();
        return false;
    }
    // A pseudo-terminal has no modem lines and refuses these calls; a real port takes them.
    auto modemLine = [this](bool ok) {
        if (ok || m_port.error() == QSerialPort::UnsupportedOperationError) {
            m_port.clearError();
            return true;
        }
        return false;
    };
    if (!modemLine(m_port.setDataTerminalReady(m_dtrOnOpen)) || !modemLine(m_port.setRequestToSend(true))
        || !passReceiveErrorsOn()) {
        m_port.close();
        m_port.clearError();
        return false;
    }
    m_port.clear(QSerialPort::AllDirections);
    m_port.clearError();
    m_openDevice = target;
    m_pollTimer.start();
    return true;
}

bool TCommPortDriver::passReceiveErrorsOn()
{
#ifdef Q_OS_UNIX
    // Qt opens a port without parity with IGNPAR, so the driver drops every byte that came
    // with a framing or parity error. The transfer is transparent: such bytes are passed on
    // as they are, neither dropped nor marked. Qt applies its own copy of the settings only
    // when one of them changes, and none changes after this.
    termios tio{};
    const int fd = int(m_port.handle());
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    tio.c_iflag &= ~tcflag_t(IGNPAR | PARMRK | INPCK | ISTRIP);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
#else
    // The Windows driver delivers such bytes unchanged: Qt sets neither fParity nor
    // fErrorChar for a port without parity.
    return true;
#endif
}

void TCommPortDriver::ClosePort()
{
    m_closePending = false;
    if (!m_port.isOpen())
        return;
    m_pollTimer.stop();
    m_port.close();
    m_port.clearError();
    m_openDevice.clear();
}

void TCommPortDriver::onError(QSerialPort::SerialPortError error)
{
    // When the peer goes away the read error repeats in a busy loop until the port is
    // closed; close it, but outside Qt's own notifier handling.
    if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && m_port.isOpen()
        && !m_closePending) {
        m_closePending = true;
        QMetaObject::invokeMethod(this, [this] {
            if (!m_closePending)
                return;
            guarded([&] { ClosePort(); });
            emit linkLost();
        }, Qt::QueuedConnection);
    }
}

void TCommPortDriver::poll()
{
    if (m_directReads > 0 || !m_port.isOpen() || m_closePending)
        return;
    const qint64 waiting = m_port.bytesAvailable();
    m_port.clearError();
    if (waiting <= 0)
        return;
    const qint64 n = m_port.read(m_receiveBuffer.data(), std::min<qint64>(waiting, m_inBufSize));
    if (n > 0 && m_onReceiveData)
        m_onReceiveData(this, m_receiveBuffer.constData(), quint32(n));
}

qint64 TCommPortDriver::SendData(const char *data, qint64 size)
{
    if (!m_port.isOpen() || m_closePending || size <= 0)
        return 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    qint64 done = 0;
    while (done < size) {
        const qint64 room = m_outBufSize - m_port.bytesToWrite();
        if (room > 0) {
            const qint64 w = m_port.write(data + done, std::min(room, size - done));
            if (w < 0)
                break;
            if (w > 0) {
                done += w;
                sinceProgress.restart();
            }
        }
        m_port.flush();
        if (done >= size)
            break;
        const milliseconds left = m_outputTimeout - milliseconds(sinceProgress.elapsed());
        if (left <= 0ms || !m_port.isOpen())
            break;
        m_port.waitForBytesWritten(int(left.count()));
    }
    // Handed to the driver means out of our own queue too.
    while (m_port.isOpen() && m_port.bytesToWrite() > 0) {
        const milliseconds left = m_outputTimeout - milliseconds(sinceProgress.elapsed());
        if (left <= 0ms || !m_port.waitForBytesWritten(int(left.count())))
            break;
    }
    if (!m_port.isOpen())
        return 0;
    const qint64 stuck = m_port.bytesToWrite();
    if (stuck > 0) {
        m_port.clear(QSerialPort::Output);
        done = std::max<qint64>(0, done - stuck);
    }
    m_port.clearError();
    return done;
}

bool TCommPortDriver::WriteOneByte(char byte)
{
    return SendData(&byte, 1) == 1;
}

qint64 TCommPortDriver::readDirect(char *data, qint64 size)
{
    if (!m_port.isOpen() || m_closePending)
        return 0;
    ++m_directReads;
    QElapsedTimer silence;
    silence.start();
    qint64 got = 0;
    while (got < size && m_port.isOpen()) {
        const qint64 waiting = m_port.bytesAvailable();
        if (waiting > 0) {
            const qint64 n = m_port.read(data + got, std::min(waiting, size - got));
            if (n > 0) {
                got += n;
                silence.restart();
                continue;
            }
        }
        const milliseconds left = m_inputTimeout - milliseconds(silence.elapsed());
        if (left <= 0ms)
            break;
        if (!m_port.waitForReadyRead(int(left.count())) && m_port.error() != QSerialPort::NoError
            && m_port.error() != QSerialPort::TimeoutError)
            break;
    }
    m_port.clearError();
    --m_directReads;
    return got;
}

bool TCommPortDriver::ReadOneByte(char &byte)
{
    return readDirect(&byte, 1) == 1;
}
