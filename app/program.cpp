#include "main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    return kve::runProgram(argc, argv);
}
