#pragma once

namespace kve {
int runProgram(int argc, char *argv[]);
}
