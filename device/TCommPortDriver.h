#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>

// The serial port object of the download dialog: one port, opened by its COM name,
// polled every 50 ms on the GUI thread, handing what arrived to OnReceiveData.
class TCommPortDriver : public QObject {
    Q_OBJECT
public:
    // Sender, the object's own receive buffer, and the count (at least 1). The bytes are
    // valid only during the call.
    using TReceiveDataEvent = std::function<void(TCommPortDriver *sender, const char *data, quint32 size)>;

    // The property defaults of a new port object.
    static constexpr std::chrono::milliseconds kDefaultPollingDelay{50};
    static constexpr std::chrono::milliseconds kDefaultOutputTimeout{500};
    static constexpr std::chrono::milliseconds kDefaultInputTimeout{200};

    explicit TCommPortDriver(QObject *parent = nullptr);
    ~TCommPortDriver() override;

    // Takes effect only while the port is closed.
    void setPortName(const QString &name);
    QString portName() const { return m_portName; }

    qint32 baudRateValue() const { return m_baudRate; }
    void setBaudRateValue(qint32 value) { m_baudRate = value; }
    bool enableDTROnOpen() const { return m_dtrOnOpen; }
    void setEnableDTROnOpen(bool on) { m_dtrOnOpen = on; }
    int inBufSize() const { return m_inBufSize; }
    void setInBufSize(int size);
    int outBufSize() const { return m_outBufSize; }
    void setOutBufSize(int size) { m_outBufSize = size > 0 ? size : 1; }
    std::chrono::milliseconds pollingDelay() const { return m_pollingDelay; }
    void setPollingDelay(std::chrono::milliseconds delay);
    std::chrono::milliseconds outputTimeout() const { return m_outputTimeout; }
    void setOutputTimeout(std::chrono::milliseconds limit) { m_outputTimeout = limit; }
    std::chrono::milliseconds inputTimeout() const { return m_inputTimeout; }
    void setInputTimeout(std::chrono::milliseconds limit) { m_inputTimeout = limit; }

    void setOnReceiveData(TReceiveDataEvent handler) { m_onReceiveData = std::move(handler); }

    bool OpenPort();
    void ClosePort();
    bool connected() const { return m_port.isOpen(); }

    // True when the byte was handed to the driver within OutputTimeout.
    bool WriteOneByte(char byte);
    // True when one byte arrived before InputTimeout of silence; polling deliveries are
    // held back meanwhile, and bytes not read stay for the next poll.
    bool ReadOneByte(char &byte);

    // Sends a block: as much as the output queue takes, again and again, until all is
    // written or OutputTimeout passes without progress. Returns the bytes written.
    qint64 SendData(const char *data, qint64 size);

    // The device actually opened (after the COM name mapping); empty when closed.
    QString openDevice() const { return m_port.isOpen() ? m_openDevice : QString(); }

signals:
    // The port closed itself after a read error (the line went away); not raised by
    // ClosePort.
    void linkLost();
    // An error of the port's own timer or signal handlers, with its text for the operator.
    void errorOccurred(const QString &text);

private:
    // Runs a handler entered from the event loop; an error goes out by errorOccurred.
    template <typename F>
    void guarded(F &&handler);
    void poll();
    bool passReceiveErrorsOn();
    void onError(QSerialPort::SerialPortError error);
    qint64 readDirect(char *data, qint64 size);

    QSerialPort m_port;
    QTimer m_pollTimer;
    QString m_portName = QStringLiteral("\\\\.\\COM2");
    QString m_openDevice;
    qint32 m_baudRate = 9600;
    bool m_dtrOnOpen = true;
    int m_inBufSize = 2048;
    int m_outBufSize = 2048;
    std::chrono::milliseconds m_pollingDelay = kDefaultPollingDelay;
    std::chrono::milliseconds m_outputTimeout = kDefaultOutputTimeout;
    std::chrono::milliseconds m_inputTimeout = kDefaultInputTimeout;
    QByteArray m_receiveBuffer;     // reused for every delivery
    int m_directReads = 0;          // deliveries are held back while > 0
    bool m_closePending = false;
    TReceiveDataEvent m_onReceiveData;
};
