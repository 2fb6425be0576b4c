#include "DialogHelpers.h"
#include "FakeNotifier.h"
#include "DialogRun.h"
#include "HeldLine.h"
#include "PtyPair.h"
#include "device/receive.h"
#include "store/AppTitle.h"

#include <QWidget>
#include <QtTest>
#include <chrono>
#include <memory>
#include <utility>

using namespace std::chrono_literals;

using namespace dialogrun;
using State = TForm2::State;

namespace {

// The check as it is where the instrument sits on the first port (a slow reply must not
// start a search), short where the search is what is looked at; the pause short.
constexpr std::chrono::milliseconds kCheckMs{3000};
constexpr std::chrono::milliseconds kSearchCheckMs{200};
constexpr std::chrono::milliseconds kShortPauseMs{100};

// Notes every state the dialog enters, with what is armed and shown at that moment.
class StateLog : public QObject {
public:
    struct Entry {
        State state;
        bool checkArmed, pauseArmed, portOpen;
        QString status;
    };

    explicit StateLog(TForm2 &dlg) : m_dlg(dlg)
    {
        connect(&dlg, &TForm2::stateChanged, this, [this](State s) {
            entries.append({s, m_dlg.checkTimer().isActive(), m_dlg.pauseTimer().isActive(),
                            m_dlg.commPort().connected(), labelText(m_dlg, "StaticText2")});
        });
    }

    QList<State> states() const
    {
        QList<State> out;
        for (const Entry &e : entries)
            out.append(e.state);
        return out;
    }

    QList<Entry> entries;

private:
    TForm2 &m_dlg;
};

// Which timer each state may have running: the check only while waiting, the pause only
// while pausing.
bool checkArmedIn(State s) { return s == State::Waiting; }
bool pauseArmedIn(State s) { return s == State::Pausing; }

} // namespace

class TestDownloadStates : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
    }
    void init()
    {
        removePortLinks();
        hidePorts(1, 38);
    }

    void endings_data()
    {
        QTest::addColumn<QStringList>("args");   // the emulator's; none: no instrument at all
        QTest::addColumn<int>("com");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<QList<State>>("states");
        const QStringList fast{QStringLiteral("--fast")};
        QTest::newRow("whole archive") << fast << 2 << 1 << 0
            << QList<State>{State::Waiting, State::Pausing, State::Receiving, State::Idle};
        QTest::newRow("found by the search on COM9") << fast << 9 << 1 << 0
            << QList<State>{State::Waiting, State::Searching, State::Waiting, State::Pausing, State::Receiving,
                            State::Idle};
        QTest::newRow("found by the search on COM38") << fast << 38 << 1 << 0
            << QList<State>{State::Waiting, State::Searching, State::Waiting, State::Pausing, State::Receiving,
                            State::Idle};
        QTest::newRow("instrument starts over mid-archive") << fast + QStringList{"--z-mid-archive"} << 2 << 1 << 0
            << QList<State>{State::Waiting, State::Pausing, State::Receiving, State::Pausing, State::Receiving,
                            State::Idle};
        QTest::newRow("no instrument anywhere") << QStringList() << 0 << 2 << 1
            << QList<State>{State::Waiting, State::Searching, State::Ending, State::Idle};
        QTest::newRow("wrong instrument") << fast + QStringList{"--type-code", "5"} << 2 << 2 << 1
            << QList<State>{State::Waiting, State::Ending, State::Idle};
        QTest::newRow("wrong instrument, short reply")
            << fast + QStringList{"--check-code", "15", "--short-identification", "9"} << 2 << 2 << 1
            << QList<State>{State::Waiting, State::Ending, State::Idle};
        QTest::newRow("identification refused") << fast + QStringList{"--serial", "300"} << 2 << 2 << 1
            << QList<State>{State::Waiting, State::Ending, State::Idle};
        QTest::newRow("archive refused") << fast + QStringList{"--odd-data"} << 2 << 2 << 1
            << QList<State>{State::Waiting, State::Pausing, State::Receiving, State::Ending, State::Idle};
    }
    void endings()
    {
        QFETCH(QStringList, args);
        QFETCH(int, com);
        QFETCH(int, result);
        QFETCH(int, boxes);
        QFETCH(QList<State>, states);
        std::unique_ptr<EmulatorProcess> emu;
        if (com > 0) {
            QFile::remove(kve::portLinkDirectory() + QStringLiteral("/com%1").arg(com));
            emu = std::make_unique<EmulatorProcess>(args + QStringList{QStringLiteral("--port"),
                                                                       QStringLiteral("\\\\.\\COM%1").arg(com)});
            QVERIFY2(emu->ready(), qPrintable(emu->errors()));
        }
        kve::setApplicationTitle(QStringLiteral("Программа КВЭ"));
        QWidget mainWindow;
        TForm2 dlg(&mainWindow);
        dlg.setWaits(com == 2 ? kCheckMs : kSearchCheckMs, kShortPauseMs);
        QCOMPARE(dlg.state(), State::Idle);
        StateLog log(dlg);
        testing::FakeNotifier answerer(testing::pressing(QMessageBox::Ok));
        QCOMPARE(run(dlg), result);
        QCOMPARE(log.states(), states);
        QCOMPARE(answerer.messages.size(), boxes);
        QCOMPARE(dlg.state(), State::Idle);
        QCOMPARE(kve::applicationTitle(), QStringLiteral("Программа КВЭ"));
        for (const StateLog::Entry &e : std::as_const(log.entries)) {
            QCOMPARE(e.checkArmed, checkArmedIn(e.state));
            QCOMPARE(e.pauseArmed, pauseArmedIn(e.state));
            if (e.state == State::Ending || e.state == State::Idle)
                QVERIFY(!e.portOpen);
            if (e.state == State::Waiting)
                QCOMPARE(e.status, QStringLiteral("Ожидание готовности прибора ..."));
            if (e.state == State::Pausing || e.state == State::Receiving)
                QCOMPARE(e.status, QStringLiteral("Идет прием информации ..."));
        }
    }

    // The check ends with the first port open but silent: no search, the dialog keeps
    // waiting until "Отмена".
    void silentInstrumentKeepsWaiting()
    {
        PtyPair pty;
        QVERIFY(pty.linkAs(kve::portLinkDirectory(), 2));
        TForm2 dlg(nullptr);
        dlg.setWaits(300ms, kShortPauseMs);
        StateLog log(dlg);
        bool checked = false;
        State afterCheck = State::Idle;
        const int result = run(dlg, [&] {
            checked = waitFor([&] { return !dlg.checkTimer().isActive(); }, 10000);
            afterCheck = dlg.state();
            cancelButton(dlg)->click();
        });
        QCOMPARE(result, 2);
        QVERIFY(checked);
        QCOMPARE(afterCheck, State::Waiting);
        QCOMPARE(log.states(), (QList<State>{State::Waiting, State::Idle}));
        QCOMPARE(pty.read(50), QByteArray("V"));
    }

    // The line pulled before the instrument answered: the check that would start a search
    // ends with it.
    void pulledLineWhileWaiting()
    {
        HeldLine line;
        QVERIFY(line.linkAs(2));
        TForm2 dlg(nullptr);
        StateLog log(dlg);
        testing::FakeNotifier answerer(testing::pressing(QMessageBox::Ok));
        bool lost = false;
        const int result = run(dlg, [&] {
            QByteArray got;
            waitFor([&] {
                char c = 0;
                if (::read(line.master, &c, 1) == 1)
                    got.append(c);
                return got.contains('V');
            }, 10000);
            line.closeAll();
            lost = waitFor([&] { return dlg.state() == State::LinkLost; }, 10000);
            cancelButton(dlg)->click();
        });
        QCOMPARE(result, 2);
        QVERIFY(lost);
        QVERIFY(answerer.messages.isEmpty());
        QCOMPARE(log.states(), (QList<State>{State::Waiting, State::LinkLost, State::Idle}));
        const StateLog::Entry &told = log.entries.at(1);
        QVERIFY(!told.checkArmed);
        QVERIFY(!told.pauseArmed);
        QVERIFY(!told.portOpen);
        QCOMPARE(told.status, QStringLiteral("Связь с прибором прервана"));
    }

    // The cable pulled while the archive arrives: the dialog stays until "Отмена".
    void pulledLine()
    {
        auto emu = std::make_unique<EmulatorProcess>(QStringList{QStringLiteral("--records"), QStringLiteral("2730")});
        QVERIFY2(emu->ready(), qPrintable(emu->errors()));
        TForm2 dlg(nullptr);
        StateLog log(dlg);
        bool receiving = false, lost = false, visible = false;
        const int result = run(dlg, [&] {
            receiving = waitFor([&] { return dlg.state() == State::Receiving; }, 15000);
            emu->kill();
            lost = waitFor([&] { return dlg.state() == State::LinkLost; }, 15000);
            visible = dlg.isVisible();
            cancelButton(dlg)->click();
        });
        QCOMPARE(result, 2);
        QVERIFY(receiving);
        QVERIFY(lost);
        QVERIFY(visible);
        QCOMPARE(log.states(), (QList<State>{State::Waiting, State::Pausing, State::Receiving, State::LinkLost,
                                             State::Idle}));
        const StateLog::Entry &told = log.entries.at(3);
        QVERIFY(!told.checkArmed);
        QVERIFY(!told.pauseArmed);
        QVERIFY(!told.portOpen);
        QCOMPARE(told.status, QStringLiteral("Связь с прибором прервана"));
    }
};

QTEST_MAIN(TestDownloadStates)
#include "tst_DownloadStates.moc"
