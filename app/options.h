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

// What Windows asks of a screen saver (ravlin.scr) on its command line: to
// run (/s), to draw the preview in a window (/p HWND), or to show its
// settings (/c, /c:HWND, or nothing). The letter's case does not matter, nor
// '-' for '/'; the window's handle, in decimal, may follow a ':' or spaces.
enum class ScreenSaverCall { Run, Preview, Settings, Unknown };
ScreenSaverCall ScreenSaverOptions(const char* commandLine, uint64_t* window);
