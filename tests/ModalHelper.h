#pragma once

// Answers the next modal window of a test: a timer polls for it while the code under test
// runs its modal loop.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace testing {

struct ModalRecord {
    QString className;
    QString title;
    QString text;
    bool answered = false;
};

// Calls `answer` with the first modal widget that is not `ignore`, within `timeoutMs`.
inline std::shared_ptr<ModalRecord> whenModal(std::function<void(QWidget *)> answer, int timeoutMs = 5000,
                                              QWidget *ignore = nullptr)
{
    auto record = std::make_shared<ModalRecord>();
    auto *timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QPointer<QWidget> skip(ignore);
    QObject::connect(timer, &QTimer::timeout, [=]() {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal != skip.data() && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            record->className = QString::fromLatin1(modal->metaObject()->className());
            record->title = modal->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                record->text = box->text();
            record->answered = true;
            answer(modal);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
    return record;
}

// Presses a message box button.
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

// Types a file name into a Qt file dialog and accepts it.
inline std::function<void(QWidget *)> chooseFile(const QString &path)
{
    return [path](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog) {
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            return;
        }
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            edit->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    };
}

inline std::function<void(QWidget *)> reject()
{
    return [](QWidget *w) {
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
    };
}

} // namespace testing
