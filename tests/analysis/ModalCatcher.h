#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers the message boxes that a command shows while the test drives it, and keeps
// their texts.
class ModalCatcher : public QObject {
public:
    ModalCatcher()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                captions << box->windowTitle();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start();
    }

    QStringList texts;
    QStringList captions;

private:
    QTimer m_timer;
};
