#pragma once

// Running the real download dialog against the emulator program in tests.

#include "EmulatorProcess.h"
#include "device/PortNames.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QtTest>

using testing::EmulatorProcess;

// Answers every modal message box that appears, noting what it said.
class BoxAnswerer : public QObject {
public:
    struct Box {
        QString caption, text;
        QMessageBox::Icon icon;
    };

    BoxAnswerer()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            // A later box may come at the address of an earlier one: remember them by guard.
            if (!box || !box->isVisible() || m_seen.contains(box))
                return;
            m_seen.append(box);
            boxes.append({box->windowTitle(), box->text(), box->icon()});
            QPointer<QMessageBox> target(box);
            QTimer::singleShot(0, box, [target] {
                if (!target)
                    return;
                if (QAbstractButton *ok = target->button(QMessageBox::Ok))
                    ok->click();
                else
                    target->accept();
            });
        });
        m_timer.start();
    }

    QList<Box> boxes;

private:
    QTimer m_timer;
    QList<QPointer<QMessageBox>> m_seen;
};

// Makes COM names lead nowhere, so that no real device of the machine takes part.
inline void hidePorts(int from, int to)
{
    const QString dir = kve::portLinkDirectory();
    QDir().mkpath(dir);
    for (int n = from; n <= to; ++n) {
        const QString link = dir + QStringLiteral("/com%1").arg(n);
        QFile::remove(link);
        QFile::link(dir + QStringLiteral("/no-such-device"), link);
    }
}

inline void removePortLinks()
{
    QDir dir(kve::portLinkDirectory());
    for (const QString &name : dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        QFile::remove(dir.filePath(name));
}
