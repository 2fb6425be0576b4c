// The application's last resort still catches what an event handler outside every edge
// lets out: the error box shows it, the log line with the marker makes it visible, and the
// program goes on. (A command's own edge: tst_note_write_failure.)

#include "AppTestMain.h"
#include "FakeNotifier.h"
#include "ProgramHarness.h"
#include "app/KveApplication.h"

#include <QProcess>
#include <QtTest>

namespace {

// An object whose event handler fails, outside every command.
class FailingReceiver : public QObject {
public:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            throw kve::Error(QStringLiteral("Ошибка вне команды"), QStringLiteral("test event"));
        return QObject::event(event);
    }
};

// The child run: one failing event, its box answered; prints what it saw.
int runBackstopChild(kve::KveApplication &app)
{
    testing::FakeNotifier boxes(testing::pressing(QMessageBox::Ok));
    FailingReceiver receiver;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    const bool shown = QTest::qWaitFor([&] { return !boxes.messages.isEmpty(); }, 30000);
    // The program goes on: a later event is delivered as usual.
    bool later = false;
    QTimer::singleShot(0, &receiver, [&] { later = true; });
    QTest::qWaitFor([&] { return later; }, 30000);
    std::printf("shown=%d\nbox=%s\ncount=%d\nlater=%d\n", int(shown),
                qUtf8Printable(boxes.texts().join(QLatin1Char(';'))), app.backstopCount(), int(later));
    std::fflush(stdout);
    return 0;
}

} // namespace

class ErrorEdgesTest : public QObject {
    Q_OBJECT

private slots:
    void lastResortCatchesHandlerOutsideEveryEdge()
    {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--backstop-child")});
        child.start();
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        const QString err = QString::fromUtf8(child.readAllStandardError());
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({QStringLiteral("shown=1"), QStringLiteral("box=Ошибка вне команды"), QStringLiteral("count=1"),
                              QStringLiteral("later=1")}));
        // Reaching it is visible: one log line with the marker and the developer's cause.
        QCOMPARE(err.count(QStringLiteral("KVE-BACKSTOP")), 1);
        QVERIFY2(err.contains(QStringLiteral("Ошибка вне команды [test event]")), qPrintable(err));
    }
};

int main(int argc, char *argv[])
{
    kve::KveApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--backstop-child") == 0)
        return runBackstopChild(app);
    ErrorEdgesTest test;
    return runUnderProgramApplication(app, test, argc, argv);
}

#include "tst_error_edges.moc"
