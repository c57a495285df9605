// The process entry on Linux and the web: the options, then the runtime's
// start, then the program. Windows' entry is app/win_main.cpp.
#include "app/options.h"
#include "app/program.h"
#include "runtime/lifecycle.h"

int main(int argc, char** argv) {
    const int code = ProgramOptions(argc, argv);
    if (code >= 0) return code;
    RuntimeStart();
    ProgramMain();
}
