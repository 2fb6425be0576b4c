#pragma once

#include "DownloadProtocol.h"
#include "TCommPortDriver.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <chrono>

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The download dialog: finds the instrument, identifies it and receives its archive.
// Ends with 1 after a complete archive, 2 on every other ending.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    // Where the dialog stands; every change goes through enterState().
    enum class State {
        Idle,        // not shown, or closed
        Waiting,     // identification requested; the check runs until the first answer
        Searching,   // the port did not open: the other ports are probed
        Pausing,     // identified; the pause runs before the archive is requested
        Receiving,   // the archive is requested and arriving
        Ending,      // a box tells why it ends; nothing more is received
        LinkLost,    // the port closed itself; only "Отмена" is left
    };
    Q_ENUM(State)

    explicit TForm2(QWidget *mainWindow, QWidget *parent = nullptr);
    ~TForm2() override;

    const ArchiveHeader &archiveHeader() const { return m_protocol.header(); }
    // The instrument's memory image (195,001 bytes); bytes past the last transfer keep
    // what they held.
    const QByteArray &memoryImage() const { return m_protocol.image(); }
    int memoryImageLength() const { return m_protocol.imageLength(); }

    const TCommPortDriver &commPort() const { return CommPortDriver1; }
    const QTimer &checkTimer() const { return Timer1; }
    const QTimer &pauseTimer() const { return Timer2; }
    State state() const { return m_state; }

    // The 3000 ms check and the 1000 ms pause, shortened by tests that do not measure them.
    void setWaits(std::chrono::milliseconds check, std::chrono::milliseconds pause);

    void done(int result) override;
    void reject() override;

signals:
    void stateChanged(TForm2::State state);
    // An error of the dialog's own handlers (timers, port, buttons) for the application's
    // error box; the dialog stays in the state it reached.
    void errorOccurred(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void Timer1Timer();
    bool Com_Connect();
    void Timer2Timer();
    void CommPortDriver1ReceiveData(const char *data, quint32 size);
    void Button1Click();
    void FormClose();
    void CommPortDriver1LinkLost();

    // Runs a handler entered from the event loop; an error goes out by errorOccurred.
    template <typename F>
    void guarded(F &&handler);
    void send(const QByteArray &bytes);
    void endWithBox(const QString &caption, const QString &text);
    void setLabelText(QLabel *label, const QString &text);
    // Arms the timer of the state and stops the other, sets what the state shows.
    void enterState(State next);
    // The port and the protocol drive the dialog.
    bool talking() const;

    QPointer<QWidget> m_mainWindow;
    QString m_savedTitle;
    State m_state = State::Idle;
    std::chrono::milliseconds m_checkInterval;
    std::chrono::milliseconds m_pauseInterval;

    QLabel *StaticText2 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *Label1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *StaticText4 = nullptr;
    QLabel *StaticText5 = nullptr;
    QLabel *StaticText3 = nullptr;
    QLabel *StaticText1 = nullptr;
    QLabel *StaticText6 = nullptr;
    QLabel *StaticText7 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QTimer Timer1;
    QTimer Timer2;
    TCommPortDriver CommPortDriver1;
    DownloadProtocol m_protocol;
};
