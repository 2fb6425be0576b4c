#include "InterruptedCreate.h"
#include "KveApplication.h"
#include "ProgramWindows.h"
#include "logo.h"
#include "main.h"

#include "store/AppTitle.h"

#include <QLibraryInfo>
#include <QTranslator>

#include <csignal>

namespace kve {

int runProgram(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // Past a file size limit a write must fail with EFBIG, so that the table is put back
    // and the operator told, instead of the process being killed mid-write.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    KveApplication app(argc, argv);
    // The program speaks Russian: Qt's own dialogs and buttons too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);
    setApplicationTitle(QStringLiteral("ЮЛМ-ЗР7 \"Zizez\""));
    ProgramWindows windows;
    windows.form5->exec();
    windows.form5.reset();
    windows.form1->showMaximized();
    // A table a killed copy was writing over an old one: the operator learns where it is.
    runCommand([&] { recoverInterruptedCreates(windows.form1.get()); });
    return app.exec();
}

} // namespace kve
