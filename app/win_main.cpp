// The process entry on Windows, a GUI program with no console to print on:
// the runtime's start, then the program. It takes no command line.
#include "app/program.h"
#include "platform/win32.h"
#include "runtime/lifecycle.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RuntimeStart();
    ProgramMain();
}
