#include "KveApplication.h"
#include "ProgramWindows.h"
#include "logo.h"
#include "main.h"

#include "store/AppTitle.h"

namespace kve {

int runProgram(int argc, char *argv[])
{
    KveApplication app(argc, argv);
    setApplicationTitle(QStringLiteral("ЮЛМ-ЗР7 \"Zizez\""));
    ProgramWindows windows;
    windows.form5->exec();
    windows.form5.reset();
    windows.form1->showMaximized();
    return app.exec();
}

} // namespace kve
