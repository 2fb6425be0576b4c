#include "receive.h"

#include "PortNames.h"
#include "store/AppTitle.h"
#include "ui/Notifier.h"
#include "store/Error.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
const QString kDefaultPort = QStringLiteral("\\\\.\\COM2");
const QString kIdlePort = QStringLiteral("\\\\.\\COM1");
constexpr std::chrono::milliseconds kCheckInterval{3000};
constexpr std::chrono::milliseconds kPauseInterval{1000};
// The port settings of the dialog.
constexpr std::chrono::milliseconds kPollingDelay{50};
constexpr std::chrono::milliseconds kOutputTimeout{500};
constexpr std::chrono::milliseconds kInputTimeout{200};
constexpr int kFirstSearchedPort = 4;
} // namespace

template <typename F>
void TForm2::guarded(F &&handler)
{
    kve::runGuarded(std::forward<F>(handler), [this](const QString &text) { emit errorOccurred(text); });
}

TForm2::TForm2(QWidget *mainWindow, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_mainWindow(mainWindow)
    , m_checkInterval(kCheckInterval)
    , m_pauseInterval(kPauseInterval)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Прием данных"));
    setModal(true);
    setFixedSize(490, 245);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(6);

    StaticText2 = new QLabel(this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    QFont bold = StaticText2->font();
    bold.setBold(true);
    StaticText2->setFont(bold);
    layout->addWidget(StaticText2);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(QStringLiteral("Ход приема"));
    layout->addWidget(ProgressBar1);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label1);

    GroupBox1 = new QGroupBox(QStringLiteral("Информация"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setAccessibleName(GroupBox1->title());
    auto *grid = new QGridLayout(GroupBox1);
    auto makeLabel = [this](const char *name, const QString &text) {
        auto *l = new QLabel(GroupBox1);
        l->setObjectName(QLatin1String(name));
        setLabelText(l, text);
        return l;
    };
    StaticText4 = makeLabel("StaticText4", QStringLiteral("Тип прибора:"));
    StaticText5 = makeLabel("StaticText5", QString());
    StaticText3 = makeLabel("StaticText3", QStringLiteral("Версия ПО:"));
    StaticText1 = makeLabel("StaticText1", QString());
    StaticText6 = makeLabel("StaticText6", QStringLiteral("Серийный №:"));
    StaticText7 = makeLabel("StaticText7", QString());
    grid->addWidget(StaticText4, 0, 0);
    grid->addWidget(StaticText5, 0, 1);
    grid->addWidget(StaticText3, 1, 0);
    grid->addWidget(StaticText1, 1, 1);
    grid->addWidget(StaticText6, 2, 0);
    grid->addWidget(StaticText7, 2, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(GroupBox1);

    auto *bottom = new QHBoxLayout;
    CheckBox1 = new QCheckBox(QStringLiteral("Сохранить двоичный файл"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setAccessibleName(CheckBox1->text());
    bottom->addWidget(CheckBox1);
    bottom->addStretch(1);
    Button1 = new QPushButton(QStringLiteral("Отмена"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(Button1->text());
    Button1->setAutoDefault(false);
    bottom->addWidget(Button1);
    layout->addLayout(bottom);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer1.setSingleShot(false);
    Timer2.setSingleShot(false);
    // A coarse timer may fire up to 5 % early; the instrument needs the full time.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer2.setTimerType(Qt::PreciseTimer);
    // Every handler entered from the event loop is an edge: see guarded().
    connect(&Timer1, &QTimer::timeout, this, [this] { guarded([&] { Timer1Timer(); }); });
    connect(&Timer2, &QTimer::timeout, this, [this] { guarded([&] { Timer2Timer(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([&] { Button1Click(); }); });

    CommPortDriver1.setObjectName(QStringLiteral("CommPortDriver1"));
    CommPortDriver1.setPortName(kIdlePort);
    CommPortDriver1.setBaudRateValue(57600);
    CommPortDriver1.setEnableDTROnOpen(false);
    CommPortDriver1.setInBufSize(4096);
    CommPortDriver1.setOutBufSize(4096);
    CommPortDriver1.setPollingDelay(kPollingDelay);
    CommPortDriver1.setOutputTimeout(kOutputTimeout);
    CommPortDriver1.setInputTimeout(kInputTimeout);
    CommPortDriver1.setOnReceiveData([this](TCommPortDriver *, const char *data, quint32 size) {
        guarded([&] { CommPortDriver1ReceiveData(data, size); });
    });
    connect(&CommPortDriver1, &TCommPortDriver::linkLost, this, [this] { guarded([&] { CommPortDriver1LinkLost(); }); });
    connect(&CommPortDriver1, &TCommPortDriver::errorOccurred, this, &TForm2::errorOccurred);

    FormCreate();
}

TForm2::~TForm2()
{
    CommPortDriver1.setOnReceiveData(nullptr);
}

void TForm2::setWaits(std::chrono::milliseconds check, std::chrono::milliseconds pause)
{
    m_checkInterval = check;
    m_pauseInterval = pause;
}

void TForm2::setLabelText(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setAccessibleName(text);
}

void TForm2::FormCreate()
{
    CheckBox1->hide();
}

void TForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    guarded([&] { FormShow(); });
}

void TForm2::FormShow()
{
    Timer2.setInterval(m_pauseInterval);
    CheckBox1->setChecked(false);
    CommPortDriver1.setPortName(kDefaultPort);
    const char request = m_protocol.requestIdentification();
    setLabelText(StaticText5, QString());
    setLabelText(StaticText1, QString());
    setLabelText(StaticText7, QString());
    setWindowTitle(QStringLiteral("Прием данных"));
    CommPortDriver1.OpenPort();
    CommPortDriver1.WriteOneByte(request);
    enterState(State::Waiting);
}

bool TForm2::talking() const
{
    switch (m_state) {
    case State::Waiting:
    case State::Searching:
    case State::Pausing:
    case State::Receiving:
        return true;
    case State::Idle:
    case State::Ending:
    case State::LinkLost:
        break;
    }
    return false;
}

void TForm2::enterState(State next)
{
    const State previous = m_state;
    m_state = next;
    if (previous == State::Idle && next != State::Idle)
        m_savedTitle = kve::applicationTitle();
    // Only the state's own timer may run.
    if (next != State::Waiting)
        Timer1.stop();
    if (next != State::Pausing)
        Timer2.stop();

    switch (next) {
    case State::Idle:
        if (previous != State::Idle)
            kve::setApplicationTitle(m_savedTitle);
        // Every ending has closed the port already; make sure of it.
        CommPortDriver1.ClosePort();
        break;
    case State::Waiting:
        ProgressBar1->setValue(0);
        setLabelText(StaticText2, QStringLiteral("Ожидание готовности прибора ..."));
        Timer1.start(m_checkInterval);
        break;
    case State::Searching:
    case State::Receiving:
        break;
    case State::Pausing:
        setLabelText(StaticText2, QStringLiteral("Идет прием информации ..."));
        Timer2.start(m_pauseInterval);
        break;
    case State::Ending:
        // Nothing more may arrive while the operator reads the box.
        CommPortDriver1.ClosePort();
        break;
    case State::LinkLost:
        // Nothing more can arrive, so no timer may go on; "Отмена" ends the dialog.
        setLabelText(StaticText2, QStringLiteral("Связь с прибором прервана"));
        break;
    }
    if (next != previous)
        emit stateChanged(next);
}

void TForm2::Timer1Timer()
{
    Timer1.stop();
    if (m_state != State::Waiting)
        return;
    const bool wasOpen = CommPortDriver1.connected();
    if (CommPortDriver1.OpenPort()) {
        // A port that appeared only now never got the request sent when the dialog showed.
        if (!wasOpen)
            CommPortDriver1.WriteOneByte(m_protocol.requestIdentification());
        return;
    }

    enterState(State::Searching);
    const QStringList &names = kve::portNames();
    for (int i = kFirstSearchedPort; i <= kve::kPortNameCount; ++i) {
        const QString &name = names.at(i - 1);
        CommPortDriver1.ClosePort();
        CommPortDriver1.setPortName(name);
        setLabelText(Label1, QStringLiteral("Поиск прибора....ComPort №") + name);
        repaint();
        CommPortDriver1.OpenPort();
        m_protocol.reset();
        ProgressBar1->setValue(0);
        if (CommPortDriver1.OpenPort() && Com_Connect()) {
            setLabelText(Label1, QStringLiteral("Прибор найден ComPort №") + name);
            repaint();
            CommPortDriver1.WriteOneByte(m_protocol.requestIdentification());
            enterState(State::Waiting);
            return;
        }
    }

    CommPortDriver1.ClosePort();
    CommPortDriver1.setPortName(kIdlePort);
    m_protocol.reset();
    ProgressBar1->setValue(0);
    enterState(State::Ending);
    kve::notifier().show(kve::Message(QMessageBox::Critical, QStringLiteral("Ошибка"),
                                      QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"),
                                      this));
    done(2);
    setLabelText(Label1, QString());
}

bool TForm2::Com_Connect()
{
    CommPortDriver1.WriteOneByte('Z');
    char answer = 0;
    return CommPortDriver1.ReadOneByte(answer) && answer == 'Z';
}

void TForm2::Timer2Timer()
{
    Timer2.stop();
    if (m_state != State::Pausing)
        return;
    enterState(State::Receiving);
    CommPortDriver1.WriteOneByte(m_protocol.requestArchive());
}

void TForm2::send(const QByteArray &bytes)
{
    for (char c : bytes)
        CommPortDriver1.WriteOneByte(c);
}

void TForm2::CommPortDriver1ReceiveData(const char *data, quint32 size)
{
    if (!talking())
        return;
    const DownloadProtocol::Step step = m_protocol.feed(data, size);
    // The instrument answered: the check that would start a search is over.
    if (step.stopCheckTimer)
        Timer1.stop();
    send(step.send);
    if (step.identified) {
        const ArchiveHeader &h = m_protocol.header();
        setLabelText(StaticText5, kve::kDeviceType);
        setLabelText(StaticText1, h.softwareVersion);
        setLabelText(StaticText7, QString::number(h.serialNumber));
        if (m_mainWindow)
            m_mainWindow->setWindowTitle(StaticText5->text());
        // A pause under way is not started again.
        if (m_state != State::Pausing)
            enterState(State::Pausing);
    }
    ProgressBar1->setValue(m_protocol.progress());

    switch (step.result) {
    case DownloadProtocol::Result::None:
        break;
    case DownloadProtocol::Result::Success:
        CommPortDriver1.ClosePort();
        done(1);
        break;
    case DownloadProtocol::Result::WrongInstrument:
        endWithBox(QStringLiteral("Error"), QStringLiteral("Вы подключили не тот прибор !"));
        break;
    case DownloadProtocol::Result::BadData:
        endWithBox(QStringLiteral("Ошибка"), step.errorText);
        break;
    }
}

void TForm2::endWithBox(const QString &caption, const QString &text)
{
    enterState(State::Ending);
    kve::notifier().show(kve::Message(QMessageBox::Critical, caption, text, this));
    done(2);
}

void TForm2::CommPortDriver1LinkLost()
{
    // The line went away (cable pulled, adapter gone).
    if (talking())
        enterState(State::LinkLost);
}

void TForm2::Button1Click()
{
    m_protocol.cancel();
    ProgressBar1->setValue(0);
    CommPortDriver1.ClosePort();
    done(2);
}

void TForm2::reject()
{
    // Escape and the window manager's close are the operator's cancel.
    guarded([&] { Button1Click(); });
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm2::FormClose()
{
    enterState(State::Idle);
}
