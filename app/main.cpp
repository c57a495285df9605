// The process entry on Linux and the web: the options, then the runtime's
// start, then the program. Windows' entry is app/win_main.cpp.
#include <cinttypes>
#include <cstdio>

#include "app/options.h"
#include "app/program.h"
#include "display/screen.h"
#include "runtime/lifecycle.h"

namespace {

// The window named to draw in, as the screen's parent; false, with one line
// saying why, where there is none to draw in.
bool UseWindow(uint64_t window) {
    HWND parent = SoftForeignWindow(window);
    if (parent) {
        ScreenUseWindow(parent);
        return true;
    }
    char reason[300] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, reason,
                   sizeof(reason), nullptr);
    char name[40] = "the root window";
    if (window) std::snprintf(name, sizeof(name), "window 0x%" PRIx64, window);
    std::fprintf(stderr, "ravlin: cannot draw in %s: %s\n", name, reason);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    ProgramTarget target;
    const int code = ProgramOptions(argc, argv, &target);
    if (code >= 0) return code;
    if (target.inWindow && !UseWindow(target.window)) return 1;
    RuntimeStart();
    ProgramMain();
}
