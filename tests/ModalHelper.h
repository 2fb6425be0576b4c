#pragma once

// Answers the next modal window of a test: a timer polls for it while the code under test
// runs its modal loop. Message boxes are answered by testing::FakeNotifier instead.
//
// Every watcher belongs to the test function that started it: it ends by itself when
// another test function runs, and stopWatchers() (call it in cleanup()) ends them all, so a
// watcher of a failed function never presses a button of the next one.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace testing {

struct ModalRecord {
    QString className;
    QString title;
    bool answered = false;   // the window was found and the answer did its job
    QString problem;         // why an answer could not do its job
    QPointer<QTimer> watcher;   // while it still looks for its window
};

using Answer = std::function<void(QWidget *, ModalRecord &)>;

// The watchers still running in this process.
inline QList<QPointer<QTimer>> &runningWatchers()
{
    static QList<QPointer<QTimer>> list;
    return list;
}

// Ends every watcher still running. Not for use inside an answer.
inline void stopWatchers()
{
    const QList<QPointer<QTimer>> running = std::exchange(runningWatchers(), {});
    for (const QPointer<QTimer> &timer : running) {
        if (timer) {
            timer->stop();
            delete timer.data();
        }
    }
}

// Ends one watcher that has not found its window (yet). Not for use inside an answer.
inline void stopWatcher(const std::shared_ptr<ModalRecord> &record)
{
    if (QTimer *timer = record->watcher.data()) {
        runningWatchers().removeAll(timer);
        timer->stop();
        delete timer;
    }
}

// The test function (and data row) now running; empty outside QTest::qExec.
inline QString currentTestName()
{
    const char *function = QTest::currentTestFunction();
    const char *tag = QTest::currentDataTag();
    return QString::fromLatin1(function ? function : "") + QLatin1Char('/') + QString::fromLatin1(tag ? tag : "");
}

// Calls `answer` with the first visible modal widget that is not `ignore`, within `timeoutMs`.
// `answer` takes the widget, or the widget and the record (to tell a problem).
template <typename F>
std::shared_ptr<ModalRecord> whenModal(F answer, int timeoutMs = 10000, QWidget *ignore = nullptr)
{
    Answer act;
    if constexpr (std::is_invocable_v<F, QWidget *, ModalRecord &>)
        act = std::move(answer);
    else
        act = [answer = std::move(answer)](QWidget *w, ModalRecord &) { answer(w); };

    auto record = std::make_shared<ModalRecord>();
    auto *timer = new QTimer;
    record->watcher = timer;
    runningWatchers().append(timer);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QPointer<QWidget> skip(ignore);
    const QString owner = currentTestName();
    QObject::connect(timer, &QTimer::timeout, [=]() {
        const auto finish = [timer] {
            timer->stop();
            runningWatchers().removeAll(timer);
            timer->deleteLater();
        };
        if (currentTestName() != owner || clock->elapsed() > timeoutMs) {
            finish();
            return;
        }
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == skip.data() || !modal->isVisible())
            return;
        // The timer may be deleted while the answer runs its own waits: keep what it needs.
        const Answer run = act;
        const std::shared_ptr<ModalRecord> into = record;
        finish();
        into->className = QString::fromLatin1(modal->metaObject()->className());
        into->title = modal->windowTitle();
        into->answered = true;
        run(modal, *into);
    });
    timer->start(20);
    return record;
}

// Presses a button of a real message box: the one way to answer one, for a test about the
// box itself. Other tests put a testing::FakeNotifier in place of the boxes.
inline std::function<void(QWidget *)> press(QMessageBox::StandardButton button)
{
    return [button](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            if (QAbstractButton *b = box->button(button)) {
                b->click();
                return;
            }
        }
        if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
    };
}

// Chooses a file in a Qt file dialog and accepts it. The file is selected explicitly (the
// dialog may still hold the selection of its previous use, and typing alone replaces that
// only while the name field has the focus); the dialog is accepted only once it reports
// exactly that file as chosen. Otherwise it is cancelled and the record tells why.
inline Answer chooseFile(const QString &path)
{
    return [path](QWidget *w, ModalRecord &record) {
        QPointer<QFileDialog> dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog) {
            record.answered = false;
            record.problem = QStringLiteral("a %1 came instead of a file dialog").arg(record.className);
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            return;
        }
        const QString wanted = QFileInfo(path).absoluteFilePath();
        // The dialog adds its default suffix to a name without one.
        const QString suffixed = QFileInfo(path).fileName().contains(QLatin1Char('.')) || dialog->defaultSuffix().isEmpty()
            ? wanted
            : wanted + QLatin1Char('.') + dialog->defaultSuffix();
        const auto chosen = [&] {
            const QStringList files = dialog->selectedFiles();
            return files.size() == 1 && QFileInfo(files.first()).absoluteFilePath() == suffixed;
        };
        // Where the platform activates it at all; selecting below does not depend on it.
        (void)QTest::qWaitFor([&] { return !dialog || dialog->isActiveWindow(); }, 5000);
        QStringList seen;
        // Select until the dialog reports exactly that choice (it may still be settling).
        const bool taken = QTest::qWaitFor([&] {
            if (!dialog || !dialog->isVisible())
                return true;
            dialog->selectFile(wanted);   // drops the old selection
            if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                edit->setText(wanted);
            seen = dialog->selectedFiles();
            return chosen();
        }, 20000);
        if (taken && dialog && dialog->isVisible()) {
            static_cast<QDialog *>(dialog.data())->accept();   // the file dialog checks the choice
            if (dialog && dialog->isVisible()) {
                record.answered = false;
                record.problem = QStringLiteral("the file dialog did not take %1").arg(wanted);
                dialog->reject();
            }
            return;
        }
        record.answered = false;
        record.problem = QStringLiteral("the file dialog chose [%1] instead of %2").arg(seen.join(QStringLiteral(", ")), wanted);
        if (dialog)
            dialog->reject();
    };
}

// While it lives, notes and closes every modal window that comes up: a test that expects
// none fails on one instead of hanging in it.
class ModalCloser {
public:
    ModalCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                shown << QString::fromLatin1(w->metaObject()->className());
                w->close();
            }
        });
        m_timer.start(10);
    }
    QStringList shown;

private:
    QTimer m_timer;
};

inline std::function<void(QWidget *)> reject()
{
    return [](QWidget *w) {
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
    };
}

} // namespace testing
