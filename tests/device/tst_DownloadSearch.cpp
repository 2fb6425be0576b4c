#include "DialogHelpers.h"
#include "FakeNotifier.h"
#include "PtyPair.h"
#include "device/receive.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <chrono>
#include <atomic>
#include <memory>
#include <thread>

namespace {

// Waits these cases do not measure: COM2 is absent, so the check only delays the search.
constexpr std::chrono::milliseconds kShortCheckMs{200};
constexpr std::chrono::milliseconds kShortPauseMs{100};

// Notes every text the label is painted with.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(QLabel *label) : m_label(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint
            && (texts.isEmpty() || texts.last() != m_label->text()))
            texts.append(m_label->text());
        return false;
    }

private:
    QLabel *m_label;
};

} // namespace

class TestDownloadSearch : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        removePortLinks();
        hidePorts(1, 38);
    }

    void findsInstrumentOnCom9()
    {
        QFile::remove(kve::portLinkDirectory() + QStringLiteral("/com9"));
        EmulatorProcess emu({QStringLiteral("--fast"), QStringLiteral("--port"), QStringLiteral("\\\\.\\COM9")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        QWidget mainWindow;
        TForm2 dlg(&mainWindow);
        dlg.setWaits(kShortCheckMs, kShortPauseMs);
        auto *label = dlg.findChild<QLabel *>(QStringLiteral("Label1"));
        QVERIFY(label);
        PaintedTexts painted(label);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &dlg, [&] { dlg.findChild<QPushButton *>(QStringLiteral("Button1"))->click(); });
        guard.start(20000);
        QCOMPARE(dlg.exec(), 1);
        QStringList expected;
        for (int n = 4; n <= 9; ++n)
            expected << QStringLiteral("Поиск прибора....ComPort №\\\\.\\COM%1").arg(n);
        expected << QStringLiteral("Прибор найден ComPort №\\\\.\\COM9");
        QStringList seen = painted.texts;
        seen.removeAll(QString());
        QCOMPARE(seen, expected);
        QCOMPARE(label->text(), expected.last());
        QCOMPARE(mainWindow.windowTitle(), QStringLiteral("ЖОРД-ЗР7"));
        QVERIFY(!dlg.commPort().connected());
        QVERIFY(dlg.archiveHeader().seriesCount > 0);
    }

    void findsInstrumentOnCom38()
    {
        QFile::remove(kve::portLinkDirectory() + QStringLiteral("/com38"));
        EmulatorProcess emu({QStringLiteral("--fast"), QStringLiteral("--port"), QStringLiteral("\\\\.\\COM38")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        TForm2 dlg(nullptr);
        dlg.setWaits(kShortCheckMs, kShortPauseMs);
        testing::FakeNotifier answerer(testing::pressing(QMessageBox::Ok));
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &dlg, [&] { dlg.findChild<QPushButton *>(QStringLiteral("Button1"))->click(); });
        guard.start(20000);
        QCOMPARE(dlg.exec(), 1);
        QCOMPARE(answerer.messages.size(), 0);
        QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Прибор найден ComPort №\\\\.\\COM38"));
        QVERIFY(dlg.archiveHeader().seriesCount > 0);
    }

    void nothingAnswersAnywhere()
    {
        // Devices on COM3 and COM39 would answer the probe; the search never goes there.
        PtyPair below;
        PtyPair beyond;
        QVERIFY(below.linkAs(kve::portLinkDirectory(), 3));
        QVERIFY(beyond.linkAs(kve::portLinkDirectory(), 39));
        TForm2 dlg(nullptr);
        dlg.setWaits(kShortCheckMs, kShortPauseMs);
        testing::FakeNotifier answerer(testing::pressing(QMessageBox::Ok));
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &dlg, [&] { dlg.findChild<QPushButton *>(QStringLiteral("Button1"))->click(); });
        guard.start(20000);
        QCOMPARE(dlg.exec(), 2);
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(answerer.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(answerer.messages[0].text,
                 QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"));
        QCOMPARE(answerer.messages[0].icon, QMessageBox::Critical);
        QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QString());
        QCOMPARE(dlg.commPort().portName(), QStringLiteral("\\\\.\\COM1"));
        QVERIFY(!dlg.commPort().connected());
        QCOMPARE(below.read(0), QByteArray());
        QCOMPARE(beyond.read(0), QByteArray());
    }

    // The adapter is plugged in after the dialog showed: the request sent then went nowhere,
    // so the check that finds COM2 open asks again, and the download completes.
    void com2AppearingBeforeTheCheckIsAsked()
    {
        // Long enough for the emulator to come up first; it is checked below.
        constexpr std::chrono::milliseconds check{8000};
        TForm2 dlg(nullptr);
        dlg.setWaits(check, kShortPauseMs);
        std::unique_ptr<EmulatorProcess> emu;
        bool upBeforeCheck = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &dlg, [&] { dlg.findChild<QPushButton *>(QStringLiteral("Button1"))->click(); });
        QTimer::singleShot(0, &dlg, [&] {
            QVERIFY(!dlg.commPort().connected());
            QFile::remove(kve::portLinkDirectory() + QStringLiteral("/com2"));
            emu = std::make_unique<EmulatorProcess>(QStringList{QStringLiteral("--fast"), QStringLiteral("--verbose")});
            upBeforeCheck = emu->ready() && dlg.checkTimer().isActive() && !dlg.commPort().connected();
            guard.start(30000);
        });
        const int result = dlg.exec();
        QVERIFY2(emu && emu->ready(), emu ? qPrintable(emu->errors()) : "no emulator");
        QVERIFY2(upBeforeCheck, "the emulator came up only after the check");
        QCOMPARE(result, 1);
        QVERIFY2(emu->log().contains("got 'V'"), qPrintable(emu->errors()));
        QVERIFY2(emu->log().contains("got 'N'"), qPrintable(emu->errors()));
        QVERIFY(dlg.archiveHeader().seriesCount > 0);
        // No search took place.
        QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QString());
    }

    void probeAnswerOtherThanZIsNoInstrument()
    {
        // COM4 echoes something else; the search goes on to COM5 where the instrument is.
        QFile::remove(kve::portLinkDirectory() + QStringLiteral("/com5"));
        EmulatorProcess emu({QStringLiteral("--fast"), QStringLiteral("--port"), QStringLiteral("COM5")});
        QVERIFY2(emu.ready(), qPrintable(emu.errors()));
        PtyPair other;
        QVERIFY(other.linkAs(kve::portLinkDirectory(), 4));
        // The search blocks the GUI thread, so the other device answers from its own.
        std::atomic<bool> stop{false};
        std::atomic<int> probes{0};
        std::thread echo([&] {
            while (!stop) {
                if (other.read(5).contains('Z')) {
                    ++probes;
                    other.write("Q");
                }
            }
        });
        TForm2 dlg(nullptr);
        dlg.setWaits(kShortCheckMs, kShortPauseMs);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &dlg, [&] { dlg.findChild<QPushButton *>(QStringLiteral("Button1"))->click(); });
        guard.start(20000);
        const int result = dlg.exec();
        stop = true;
        echo.join();
        QCOMPARE(result, 1);
        QCOMPARE(probes.load(), 1);
        QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Прибор найден ComPort №\\\\.\\COM5"));
    }
};

QTEST_MAIN(TestDownloadSearch)
#include "tst_DownloadSearch.moc"
