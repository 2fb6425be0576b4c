#pragma once

#include "app/KveApplication.h"

#include <QtTest>
#include <cstdio>

// Runs a test object under the program's application object. Every command, slot and
// event handler has an edge of its own, so no error may reach the application's last
// resort: the run fails when one did (its log line, with the marker, shows where).
inline int runUnderProgramApplication(kve::KveApplication &app, QObject &test, int argc, char **argv)
{
    const int failed = QTest::qExec(&test, argc, argv);
    if (app.backstopCount() == 0)
        return failed;
    std::fprintf(stderr, "FAIL!  : %d error(s) reached the application's last resort (log lines %s)\n",
                 app.backstopCount(), kve::kBackstopMarker);
    return failed + app.backstopCount();
}

// The exit code of a child run of a test program: a child in which an error reached the
// last resort fails too, whatever it did otherwise.
inline int childExitCode(const kve::KveApplication &app, int code)
{
    if (app.backstopCount() == 0)
        return code;
    std::fprintf(stderr, "%d error(s) reached the application's last resort in the child run\n", app.backstopCount());
    return code != 0 ? code : 70;
}
