// The program's command line, on the builds whose entry acts on it (app/main.cpp).
#pragma once

#include <cstdint>

// Where the program shows its frames: the whole screen, or a window of
// another program's, as a screen saver (an X window's id; 0 for the root).
struct ProgramTarget {
    bool inWindow = false;
    uint64_t window = 0;
};

// Handles the options before anything else starts: --help and --version
// print to standard output; --root and --window-id ID, or else the variable
// XSCREENSAVER_WINDOW, name a window to draw in (`target`); anything else is
// an error of one line on standard error. Returns the exit code to end with,
// or -1 when the program is to run.
int ProgramOptions(int argc, const char* const* argv, ProgramTarget* target);
