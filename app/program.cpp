#include "main.h"

int main(int argc, char *argv[])
{
    return kve::runProgram(argc, argv);
}
