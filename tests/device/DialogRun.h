#pragma once

// Showing the real download dialog modally in a test, and waiting inside its loop.

#include "device/receive.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace dialogrun {

inline QPushButton *cancelButton(TForm2 &dlg)
{
    return dlg.findChild<QPushButton *>(QStringLiteral("Button1"));
}

inline QString labelText(TForm2 &dlg, const char *name)
{
    auto *l = dlg.findChild<QLabel *>(QLatin1String(name));
    return l ? l->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

inline int progress(TForm2 &dlg)
{
    auto *bar = dlg.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
    return bar ? bar->value() : -1;
}

// Waits, handling events, until `condition` holds or `ms` passed.
inline bool waitFor(const std::function<bool()> &condition, int ms)
{
    return QTest::qWaitFor(condition, ms);
}

// Shows the dialog modally; `during` runs once the dialog is up; a guard cancels after
// `limitMs` so that a fault cannot hang the test.
inline int run(TForm2 &dlg, const std::function<void()> &during = {}, int limitMs = 30000)
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dlg, [&dlg] {
        qWarning("download dialog still open: cancelling");
        cancelButton(dlg)->click();
    });
    guard.start(limitMs);
    if (during)
        QTimer::singleShot(0, &dlg, during);
    return dlg.exec();
}

} // namespace dialogrun
