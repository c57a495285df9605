// The SDL host: the Linux program's real machine. A steady clock, SDL's
// displays (on X, its monitors) as the desktops and a full-screen window as
// the exclusive display, which shows frames through the presenter chosen
// when the window is made (sdl_present.cpp); its events are in
// sdl_events.cpp.
//
// SDL starts on first use, with the first of its video drivers that reaches a
// display. Where none does, the host answers as a machine without one: no
// desktops, and the display cannot be taken.
//
// Limits: one window, on the first desktop; gamma only where SDL's video
// driver sets it (not on Wayland).
//
// Depends on SDL2; what it asks of X and of Wayland itself is in
// sdl_x11.cpp and sdl_wayland*.cpp.
#include <SDL.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAVLIN_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(RAVLIN_HAS_ADDRESS_SANITIZER)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/blank_clock.h"
#include "platform/host/sdl_host.h"

SdlHostState SdlHost;

namespace {

using Ticks = std::chrono::duration<int64_t, std::ratio<1, kHostTicksPerSecond>>;

// ---- start-up -------------------------------------------------------------

// SDL's video drivers that draw nowhere: where only they start, the host has
// no display. "evdev" is the dummy driver with the console's input devices.
bool DrawsNowhere(const char* driver) {
    if (!driver) return true;
    for (const char* nowhere : {"offscreen", "dummy", "evdev"}) {
        if (std::strcmp(driver, nowhere) == 0) return true;
    }
    return false;
}

// Whether Wayland's library can find a display to connect to: a socket named
// by an absolute WAYLAND_DISPLAY, or one in XDG_RUNTIME_DIR. Without either it
// cannot, and would say so on standard error.
bool WaylandReachable() {
    const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return (runtimeDirectory && *runtimeDirectory) || (display && display[0] == '/');
}

// Adds a driver SDL tried, and its words for what went wrong, to the reason
// the host gives for having no display.
void NoteFailure(const char* driver, const char* words) {
    std::string& reason = SdlHost.noDisplayReason;
    if (!reason.empty()) reason += "; ";
    reason += std::string("SDL's video driver \"") + (driver ? driver : "") + "\": " + words;
}

// The first of SDL's video drivers, in its order, that reaches a display.
// Those that draw nowhere are not tried, nor is a Wayland that cannot be
// found. Drivers named by SDL_VIDEODRIVER are the only ones SDL tries,
// whatever is asked here, so then one try is all.
bool StartVideo() {
    const char* named = std::getenv("SDL_VIDEODRIVER");
    const bool chosen = named && *named;
    const bool waylandReachable = WaylandReachable();
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (!chosen && (DrawsNowhere(driver) || (std::strcmp(driver, "wayland") == 0 && !waylandReachable))) continue;
        const char* tried = chosen ? named : driver;
        const bool wayland = std::strcmp(tried, "wayland") == 0;
        if (wayland && SdlWaylandSeatMissing()) {
            NoteFailure(tried, "the compositor offers no seat (no keyboard or mouse)");
            if (chosen) return false;
            continue;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        if (!(wayland ? SdlWaylandStart() : SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)) {
            NoteFailure(tried, SDL_GetError());
            if (chosen) return false;
            continue;
        }
        if (!DrawsNowhere(SDL_GetCurrentVideoDriver())) {
            SdlWaylandWatch(SdlOnWayland());
            return true;
        }
        NoteFailure(SDL_GetCurrentVideoDriver(), "it draws nowhere");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (chosen) return false;
    }
    if (SdlHost.noDisplayReason.empty()) NoteFailure(named, "none to try reaches a display");
    SdlWaylandWatch(false);
    return false;
}

// A desktop's current mode in the output's own pixels. SDL 2.26's Wayland
// driver gives it in the compositor's units, the pixels divided by the
// output's scale; the output's own mode is the first and largest of its list.
bool DesktopMode(int index, SDL_DisplayMode* mode) {
    if (SDL_GetDesktopDisplayMode(index, mode) != 0) return false;
    SDL_DisplayMode native = {};
    if (SdlOnWayland() && SDL_GetDisplayMode(index, 0, &native) == 0 && native.w >= mode->w && native.h >= mode->h) {
        mode->w = native.w;
        mode->h = native.h;
    }
    return true;
}

HostDesktopMode ModeOf(const SDL_DisplayMode& mode) {
    int depth = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    // A 24-bit desktop stored in 4 bytes a pixel is what Windows calls 32
    // bits; so is one of 10 bits a channel, whose format SDL does not know.
    if (SDL_BYTESPERPIXEL(mode.format) == 4 || mode.format == SDL_PIXELFORMAT_UNKNOWN) depth = 32;
    return {mode.w, mode.h, depth, mode.refresh_rate > 0 ? mode.refresh_rate : kDefaultRefresh};
}

}  // namespace

bool SdlOnWayland() { return std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0; }

bool SdlReady() {
    if (SdlHost.sdlTried) return SdlHost.sdlReady;
    SdlHost.sdlTried = true;
    // SIGINT keeps its default action, so that the program can always be
    // stopped from a terminal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A close request for the window is one Close event, not also a quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The mouse counts as it moves, whatever the scale of a mode smaller than
    // the desktop.
    SDL_SetHint(SDL_HINT_MOUSE_RELATIVE_SCALING, "0");
    // A window that covers its output needs no decorations: on Wayland, no
    // library to draw them (which would say on standard error that it found
    // no plugin to).
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    SdlX11EndOnLoss();
    if (SDL_Init(SDL_INIT_EVENTS) != 0) {
        SdlHost.noDisplayReason = std::string("SDL cannot start: ") + SDL_GetError();
        SDL_Quit();
        return false;
    }
    if (!StartVideo()) {
        SDL_Quit();
        return false;
    }
    SdlHost.sdlReady = true;
    SdlX11Start();
    // Keys arrive as key events only, never through an input method.
    SDL_StopTextInput();
    return true;
}

// ---- clock and process ----------------------------------------------------

#if defined(__SANITIZE_ADDRESS__) || defined(RAVLIN_HAS_ADDRESS_SANITIZER)
// The one leak outside this program's code: the D-Bus library that SDL starts
// keeps a block it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
// Which suppressions were used is no news to the user at every exit.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

namespace {

// Ends the process with LeakSanitizer's report where memory was lost.
void CheckForLeaks() {
#if defined(__SANITIZE_ADDRESS__) || defined(RAVLIN_HAS_ADDRESS_SANITIZER)
    __lsan_do_leak_check();
#endif
}

}  // namespace

int64_t HostTicks() { return std::chrono::duration_cast<Ticks>(SteadyClock::now() - SdlHost.start).count(); }

int64_t HostTicksPerSecond() { return kHostTicksPerSecond; }

void HostSleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// Like ExitProcess, this runs no static destructors or exit handlers: the
// software layer's records stay as they are to the end. Nor does it run the
// leak check of a build with AddressSanitizer, which is therefore run here,
// before SDL lets go of libraries whose memory would then look lost.
void HostExit(uint32_t code) {
    std::fflush(nullptr);
    CheckForLeaks();
    if (SdlHost.sdlReady) SDL_Quit();
    std::_Exit(static_cast<int>(code));
}

// No leak check: what SDL holds of a broken connection would look lost.
void SdlEndForLostDisplay(const char* words) {
    std::fprintf(stderr, "%s: lost the display: %s\n", program_invocation_short_name, words);
    std::fflush(nullptr);
    std::_Exit(1);
}

// ---- desktops -------------------------------------------------------------

namespace {

// SDL's display that shows a point of the X screen; the first where none does.
int DisplayShowing(int x, int y) {
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds = {};
        const SDL_Point point = {x, y};
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && SDL_PointInRect(&point, &bounds)) return i;
    }
    return 0;
}

}  // namespace

// On X the desktops are its monitors, each at the refresh rate of SDL's
// display that shows it; elsewhere SDL's displays.
int HostDesktopCount() {
    if (!SdlReady()) return 0;
    if (SdlHost.x11.display) return static_cast<int>(SdlHost.x11.monitors.size());
    return std::max(SDL_GetNumVideoDisplays(), 0);
}

HostDesktop HostDesktopAt(int index) {
    if (index < 0 || index >= HostDesktopCount()) return HostDesktop{};
    const SDL_Rect* monitor = SdlHost.x11.display ? &SdlHost.x11.monitors[size_t(index)] : nullptr;
    SDL_DisplayMode mode = {};
    const bool readable = DesktopMode(monitor ? DisplayShowing(monitor->x, monitor->y) : index, &mode);
    HostDesktop desktop = HostDesktopOf(index, index == 0, ModeOf(mode), readable);
    if (readable && monitor) {
        desktop.mode.width = monitor->w;
        desktop.mode.height = monitor->h;
    }
    return desktop;
}

HostDesktopMode HostPrimaryDesktop() { return HostDesktopAt(0).mode; }

const char* HostNoDisplayReason() {
    if (!SdlHost.displayRefusal.empty() || HostDesktopCount() > 0) return SdlHost.displayRefusal.c_str();
    if (SdlHost.noDisplayReason.empty()) {
        SdlHost.noDisplayReason = std::string("SDL lists no displays: ") + SDL_GetError();
    }
    return SdlHost.noDisplayReason.c_str();
}

// ---- the exclusive display ------------------------------------------------

bool SdlRefused(const std::string& what) {
    SdlHost.displayRefusal = what + ": " + SDL_GetError();
    return false;
}

void SdlSleepUntil(int64_t ticks) { std::this_thread::sleep_until(SdlHost.start + Ticks(ticks)); }

namespace {

// SDL's full-screen window covers SDL's display. On X the first desktop is a
// monitor, which can be a part of SDL's display (RandR's monitors on one
// output); and where no window manager would act on a request for full
// screen, SDL would wait a tenth of a second to see it taken. There the
// window is made without borders at the monitor's place and size, and a
// window manager is asked to cover the monitor with it.
SDL_Window* CoveringWindow(const SDL_DisplayMode& desktop) {
    constexpr Uint32 kFlags = SDL_WINDOW_ALLOW_HIGHDPI;
    if (!SdlHost.x11.display) {
        return SDL_CreateWindow("ravlin", SDL_WINDOWPOS_CENTERED_DISPLAY(0), SDL_WINDOWPOS_CENTERED_DISPLAY(0),
                                desktop.w, desktop.h, SDL_WINDOW_FULLSCREEN_DESKTOP | kFlags);
    }
    const SDL_Rect place = SdlHost.x11.monitors.front();
    SDL_Rect bounds = {};
    SDL_GetDisplayBounds(0, &bounds);
    SdlX11NoteFocus();
    if (SdlHost.x11.windowManager && SDL_RectEquals(&place, &bounds)) {
        return SDL_CreateWindow("ravlin", place.x, place.y, place.w, place.h, SDL_WINDOW_FULLSCREEN_DESKTOP | kFlags);
    }
    SDL_Window* window = SDL_CreateWindow("ravlin", place.x, place.y, place.w, place.h,
                                          SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN | kFlags);
    if (!window) return nullptr;
    SdlX11AskFullScreen(window);
    SDL_ShowWindow(window);
    return window;
}

bool MakeWindow() {
    SDL_DisplayMode desktop = {};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return SdlRefused("SDL cannot read the desktop's mode");
    SdlHost.clock.refresh = ModeOf(desktop).refresh;
    // The window's pixels are the output's own, on an output the compositor
    // scales as on any other.
    SdlHost.window = CoveringWindow(desktop);
    if (!SdlHost.window) return SdlRefused("SDL cannot make the window");
    SDL_RaiseWindow(SdlHost.window);
    SdlHost.focused = (SDL_GetWindowFlags(SdlHost.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
    return SdlMakePresenter();
}

// A new mode: the window no longer holds a whole frame of it.
bool SetMode(int width, int height) {
    SdlHost.mirror.Invalidate();
    return SdlHost.presenter.open(width, height);
}

}  // namespace

bool HostDisplayOpen(int width, int height, int depth) {
    // Frames arrive as 32-bit pixels whatever the depth; the texture takes them as they are.
    (void)depth;
    if (width <= 0 || height <= 0 || !SdlReady()) return false;
    if (!SdlHost.window) {
        if (!MakeWindow()) {
            HostDisplayClose();
            return false;
        }
        SdlWaylandJoin();
        SdlReportKeysHeld();
        SdlWatchScreenSize();
    }
    bool sameMode = width == SdlHost.width && height == SdlHost.height;
    if (!sameMode && !SetMode(width, height)) {
        SdlRefused("SDL cannot make the mode's texture");
        HostDisplayClose();
        return false;
    }
    SdlHost.displayRefusal.clear();
    SdlFollowFocus(SdlHost.focused);
    return true;
}

void HostDisplayClose() {
    if (!SdlHost.window) return;
    SDL_SetRelativeMouseMode(SDL_FALSE);
    SdlX11GiveFocusBack();
    SDL_HideWindow(SdlHost.window);
    SdlWaylandLeave();
    if (SdlHost.presenter.close) SdlHost.presenter.close();
    SdlHost.presenter = {};
    SDL_DestroyWindow(SdlHost.window);
    SdlHost.window = nullptr;
    SdlHost.width = 0;
    SdlHost.height = 0;
    SdlHost.focused = false;
    SdlHost.keysHeldUnseen.clear();
}

void HostDisplayPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                        bool atVerticalBlank) {
    if (SdlHost.window && SdlHost.presenter.present) {
        SdlHost.presenter.present(pixels, width, height, pitch, changed, atVerticalBlank);
    }
}

// Refresh intervals follow the host's clock of vertical blanks.
int HostDisplayScanLine() {
    int lines = SdlHost.window ? SdlHost.height : HostPrimaryDesktop().height;
    return SdlHost.clock.ScanLine(HostTicks(), lines);
}

int HostDisplayRefreshRate() {
    if (SdlHost.window) return SdlHost.clock.refresh;
    int refresh = HostPrimaryDesktop().refresh;
    return refresh > 0 ? refresh : kDefaultRefresh;
}

void HostWaitForVerticalBlank() { SdlSleepUntil(SdlHost.clock.BlankAfter(HostTicks())); }

bool HostGammaRead(uint16_t ramp[768]) {
    return SdlHost.window && SDL_GetWindowGammaRamp(SdlHost.window, ramp, ramp + 256, ramp + 512) == 0;
}

bool HostGammaWrite(const uint16_t ramp[768]) {
    return SdlHost.window && SDL_SetWindowGammaRamp(SdlHost.window, ramp, ramp + 256, ramp + 512) == 0;
}

void HostCursorShow(bool visible) {
    if (SdlReady()) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}
