// A second process for the sharing tests, on every platform: it holds a table open the way
// the program does, until its standard input closes.
//   table_holder <path>    prints "held" once the table is open, or "failed: <text>"
#include "store/MeasurementTable.h"
#include "store/TableError.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2)
        return 2;
    kve::MeasurementTable table;
    table.setFilePath(args.at(1));
    QTextStream out(stdout);
    try {
        table.open();
    } catch (const kve::Error &e) {
        out << "failed: " << e.text() << Qt::endl;
        return 1;
    }
    out << "held" << Qt::endl;
    // Until the test closes the pipe.
    while (std::fgetc(stdin) != EOF) {
    }
    table.close();
    return 0;
}
