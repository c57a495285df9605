// Where the software layer meets the machine. A host provides everything
// below; which host runs is decided when linking: `sdl` for the program,
// `headless` for tests and benchmarks, `web` for the program in a web page.
// Nothing outside platform/ includes this.
//
// A host must provide:
//   - a clock: a tick counter and its rate, and a sleep that moves it on;
//   - the end of the process;
//   - the desktops and their current modes;
//   - the exclusive display: a mode of a given size, frames presented to it,
//     its vertical blank and scan line, its gamma ramp, the cursor;
//   - or a window of another program's that frames are shown in;
//   - events: focus lost and gained, the close request, keys and the mouse;
//   - fault injection: whether a named platform operation is to fail now.
#pragma once

#include <cstdint>

struct HostDesktopMode {
    int width;
    int height;
    int depth;
    int refresh;
};

// Pixels left <= x < right, top <= y < bottom.
struct HostRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct HostDesktop {
    char name[32];  // the device name, as "\\.\DISPLAY1"
    bool attached;  // part of the desktop
    bool primary;
    bool modeReadable;  // whether its current mode can be read
    HostDesktopMode mode;
};

// ---- clock and process ----------------------------------------------------

// Performance-counter ticks since the host started, and ticks per second.
int64_t HostTicks();
int64_t HostTicksPerSecond();
void HostSleep(uint32_t milliseconds);

// Ends the process (or, headless, the program under test) with this code.
[[noreturn]] void HostExit(uint32_t code);

// ---- desktops -------------------------------------------------------------

// The display devices in the system's order; the primary one need not be first.
int HostDesktopCount();
HostDesktop HostDesktopAt(int index);
// The primary desktop's current mode.
HostDesktopMode HostPrimaryDesktop();
// Where the host has no desktops, or could not take the display for the
// last mode asked: its own words for why (what it tried and what that
// answered), for the program's line; "" where it has nothing to say.
const char* HostNoDisplayReason();

// ---- the exclusive display ------------------------------------------------

// Takes the primary display for a mode of this size and depth (32 bits per
// pixel is what the software layer draws), or changes the mode of the display
// already taken; false when it cannot.
bool HostDisplayOpen(int width, int height, int depth);
// Gives the display back to the desktop.
void HostDisplayClose();
// Shows a frame of 32-bit X8R8G8B8 pixels at the open mode's size: at the
// display's next vertical blank, or at once. Only the pixels inside `changed`
// differ from the frame presented before, so only they need to reach the
// display (none, when it is empty); the host shows the whole frame wherever
// it holds no earlier one, as after the mode is set.
void HostDisplayPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                        bool atVerticalBlank);
// The line the display is scanning now, or -1 during the vertical blank.
int HostDisplayScanLine();
// The open mode's refresh rate in hertz.
int HostDisplayRefreshRate();
// The gamma ramp: 256 red, 256 green, then 256 blue entries.
bool HostGammaRead(uint16_t ramp[768]);
bool HostGammaWrite(const uint16_t ramp[768]);

void HostCursorShow(bool visible);

// ---- a window of another program's ----------------------------------------

// Frames can go, instead of to the exclusive display, into a window another
// program made for this one to draw in (a screen saver's, on X: the window by
// its id, or 0 for the screen's root window). Takes that window, one at a
// time; false where there is none, or it cannot be drawn in (then
// HostNoDisplayReason says why). The window stays as its program made it.
bool HostWindowAttach(uint64_t window);
// The window's size now, in pixels; false once it has gone.
bool HostWindowSize(int* width, int* height);
// Shows a frame of 32-bit X8R8G8B8 pixels in the window from its top-left
// corner; what falls outside the window is cut off.
void HostWindowPresent(const uint8_t* pixels, int width, int height, int pitch);
// Waits for the display's next vertical blank.
void HostWaitForVerticalBlank();

// ---- events ---------------------------------------------------------------

enum class HostEventType {
    FocusLost,
    FocusGained,
    Close,
    KeyDown,      // code: the keyboard scan code (as DirectInput numbers keys)
    KeyUp,        // likewise
    KeyHeld,      // likewise: a key found down, pressed before it could be seen
    MouseMove,    // x, y: relative counts
    MouseButton,  // code: button 1-3; x: 1 down, 0 up
    MouseWheel,   // code: wheel counts, 120 a notch
};

struct HostEvent {
    HostEventType type;
    int32_t code;
    int32_t x;
    int32_t y;
};

// The next event that has arrived, if any. Keys already down when the
// display is taken, or when the focus comes back, arrive as KeyHeld then, so
// that a key held since before counts as DirectInput, which reads the
// keyboard's state, counts it; the window is sent nothing for them, as
// Windows sends it nothing. Their releases are KeyUp, as any other.
bool HostNextEvent(HostEvent* event);

// ---- faults ---------------------------------------------------------------

// True when the named operation is to fail on this call; *result is then the
// value the operation returns. Every fallible software operation asks first.
bool HostFault(const char* operation, int64_t* result);
