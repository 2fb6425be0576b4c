#include "DialogHelpers.h"
#include "FakeNotifier.h"
#include "DialogRun.h"
#include "HeldLine.h"
#include "WireFormat.h"
#include "device/receive.h"

#include <QWidget>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <poll.h>
#include <thread>
#include <vector>

using namespace dialogrun;
using Clock = std::chrono::steady_clock;

namespace {

// Plays the instrument on the master side of a line, in its own thread so that the moment
// a request arrives is seen even while the program's thread is blocked: waits for each
// expected byte in turn, notes when it came and sends the answer.
class Instrument {
public:
    struct Step {
        char expect;
        QByteArray answer;
    };

    Instrument(int master, std::vector<Step> steps)
        : m_master(master), m_steps(std::move(steps)), m_arrivals(m_steps.size())
    {
        m_thread = std::thread([this] { run(); });
    }
    ~Instrument() { stop(); }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool done() const { return m_next == m_steps.size(); }
    std::optional<Clock::time_point> arrival(size_t step) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrivals[step];
    }

private:
    void run()
    {
        while (!m_stop && !done()) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0)
                continue;
            char buf[256];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            for (ssize_t i = 0; i < n && !done(); ++i) {
                const Step &step = m_steps[m_next];
                if (buf[i] != step.expect)
                    continue;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_arrivals[m_next] = Clock::now();
                }
                qsizetype sent = 0;
                while (sent < step.answer.size() && !m_stop) {
                    const ssize_t w = ::write(m_master, step.answer.constData() + sent, size_t(step.answer.size() - sent));
                    if (w > 0) {
                        sent += w;
                    } else {
                        // The line is full: wait until it takes more (or the test stops).
                        pollfd out{m_master, POLLOUT, 0};
                        ::poll(&out, 1, 50);
                    }
                }
                ++m_next;
            }
        }
    }

    int m_master;
    std::vector<Step> m_steps;
    std::vector<std::optional<Clock::time_point>> m_arrivals;
    mutable std::mutex m_mutex;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

qint64 msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

wire::Identity oneRecord()
{
    wire::Identity id;
    id.series = 1;
    id.counts[0] = 1;
    return id;
}

} // namespace

class TestDownloadFaults : public QObject {
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
    void cleanup()
    {
        removePortLinks();
    }

    void timersArePrecise()
    {
        TForm2 dlg(nullptr);
        QCOMPARE(dlg.checkTimer().timerType(), Qt::PreciseTimer);
        QCOMPARE(dlg.pauseTimer().timerType(), Qt::PreciseTimer);
    }

    // From the moment the instrument is identified until "N" goes out: never less than
    // the full second.
    void pauseBeforeArchiveRequestIsWhole()
    {
        HeldLine line;
        QVERIFY(line.linkAs(2));
        Instrument instrument(line.master, {{'V', wire::identification(oneRecord())}, {'N', {}}});
        QWidget mainWindow;
        mainWindow.setWindowTitle(QStringLiteral("KVE"));
        std::optional<Clock::time_point> identified;
        // The caption changes right before the pause is started.
        connect(&mainWindow, &QWidget::windowTitleChanged, &mainWindow, [&identified] {
            if (!identified)
                identified = Clock::now();
        });
        TForm2 dlg(&mainWindow);
        bool requested = false;
        const int result = run(dlg, [&] {
            requested = waitFor([&] { return instrument.done(); }, 15000);
            cancelButton(dlg)->click();
        });
        instrument.stop();
        QCOMPARE(result, 2);
        QVERIFY(requested);
        QVERIFY(identified.has_value());
        const qint64 pause = msBetween(*identified, *instrument.arrival(1));
        QVERIFY2(pause >= 1000, qPrintable(QString::number(pause)));
        QVERIFY2(pause < 10000, qPrintable(QString::number(pause)));
    }

    // The default port cannot be opened: the search begins no earlier than 3000 ms after
    // the dialog was shown.
    void checkBeforeSearchIsWhole()
    {
        HeldLine line;
        QVERIFY(line.linkAs(4));
        Instrument instrument(line.master, {{'Z', "Z"}, {'V', {}}});
        TForm2 dlg(nullptr);
        const Clock::time_point shown = Clock::now();
        bool found = false;
        const int result = run(dlg, [&] {
            found = waitFor([&] { return instrument.done(); }, 15000);
            cancelButton(dlg)->click();
        });
        instrument.stop();
        QCOMPARE(result, 2);
        QVERIFY(found);
        QCOMPARE(labelText(dlg, "Label1"), QStringLiteral("Прибор найден ComPort №\\\\.\\COM4"));
        const qint64 wait = msBetween(shown, *instrument.arrival(0));
        QVERIFY2(wait >= 3000, qPrintable(QString::number(wait)));
        QVERIFY2(wait < 15000, qPrintable(QString::number(wait)));
    }

    // A later download starts from 0, also when its first piece is "Z".
    void progressStartsFromZeroAtEveryShowing()
    {
        HeldLine line;
        QVERIFY(line.linkAs(2));
        TForm2 dlg(nullptr);
        {
            Instrument instrument(line.master, {{'V', wire::identification(oneRecord())},
                                                {'N', wire::archive(wire::image(1))}});
            QCOMPARE(run(dlg), 1);
            QCOMPARE(progress(dlg), 100);
        }
        Instrument instrument(line.master, {{'V', "Z"}, {'V', {}}});
        int atShow = -1;
        bool answered = false;
        int afterZ = -1;
        const int result = run(dlg, [&] {
            atShow = progress(dlg);
            answered = waitFor([&] { return instrument.done(); }, 15000);
            afterZ = progress(dlg);
            cancelButton(dlg)->click();
        });
        QCOMPARE(result, 2);
        QCOMPARE(atShow, 0);
        QVERIFY(answered);
        QCOMPARE(afterZ, 0);
    }

    // The cable pulled in the middle of the archive: the port closes itself, the operator
    // is told, and the dialog waits for "Отмена" with nothing left armed.
    void cablePulledMidArchive()
    {
        auto emu = std::make_unique<EmulatorProcess>(
            QStringList{QStringLiteral("--verbose"), QStringLiteral("--records"), QStringLiteral("2730")});
        QVERIFY2(emu->ready(), qPrintable(emu->errors()));
        TForm2 dlg(nullptr);
        bool archiveRequested = false;
        bool told = false;
        bool visible = false, portOpen = true, checkArmed = true, pauseArmed = true;
        int progressWhenTold = -1;
        const int result = run(dlg, [&] {
            archiveRequested = waitFor([&] { return emu->log().contains("got 'N'"); }, 15000);
            emu->kill();
            told = waitFor([&] { return labelText(dlg, "StaticText2") == QStringLiteral("Связь с прибором прервана"); }, 15000);
            visible = dlg.isVisible();
            portOpen = dlg.commPort().connected();
            checkArmed = dlg.checkTimer().isActive();
            pauseArmed = dlg.pauseTimer().isActive();
            progressWhenTold = progress(dlg);
            cancelButton(dlg)->click();
        });
        QVERIFY(archiveRequested);
        QVERIFY(told);
        QVERIFY(visible);
        QVERIFY(!portOpen);
        QVERIFY(!checkArmed);
        QVERIFY(!pauseArmed);
        QCOMPARE(progressWhenTold, 95);
        QCOMPARE(result, 2);
        QCOMPARE(progress(dlg), 0);
    }

    // Pulled before the instrument answered: no search follows when the check comes due.
    void linePulledWhileWaiting()
    {
        HeldLine line;
        QVERIFY(line.linkAs(2));
        TForm2 dlg(nullptr);
        testing::FakeNotifier answerer(testing::pressing(QMessageBox::Ok));
        bool told = false;
        bool checkArmed = true;
        const int result = run(dlg, [&] {
            QByteArray got;
            waitFor([&] {
                char c = 0;
                if (::read(line.master, &c, 1) == 1)
                    got.append(c);
                return got.contains('V');
            }, 10000);
            line.closeAll();
            told = waitFor([&] { return labelText(dlg, "StaticText2") == QStringLiteral("Связь с прибором прервана"); }, 10000);
            checkArmed = dlg.checkTimer().isActive();
            cancelButton(dlg)->click();
        });
        QCOMPARE(result, 2);
        QVERIFY(told);
        QVERIFY(!checkArmed);
        QVERIFY(answerer.messages.isEmpty());
    }
};

QTEST_MAIN(TestDownloadFaults)
#include "tst_DownloadFaults.moc"
