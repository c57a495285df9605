// The SDL host's own use of X, where SDL draws on an X display: what SDL does
// not pass on, or does otherwise than a full-screen program needs.
//
// - A connection of the host's own, made once SDL's video has started and
//   before its window exists: whether a window manager runs, who has the
//   input focus, and the monitors RandR declares, which are the desktops,
//   the primary first. SDL 2.26 lists RandR's outputs instead, so a monitor
//   declared on part of an output (a split ultra-wide screen) would be missed.
// - The window's place: where no window manager would act on a request for
//   full screen, or SDL's display is not the monitor, the window is made at
//   the monitor's place and size, and a window manager is asked for full
//   screen there.
// - The focus: with no window manager, X leaves the focus with no window
//   once the window that had it goes. The host takes it back when shown
//   again, and gives it back, at the end, to what had it before.
// - A display whose own pixel format SDL cannot draw (10 bits a channel):
//   SDL's windows take a visual of 8 bits a channel that X converts.
// - The keys held (XQueryKeymap) and new sizes of the screen (RandR).
// - The X server's loss ends the program with one line and code 1, as a
//   display that cannot be opened does; Xlib would end it with several.
// - A window of another program's (a screen saver's, or the root window)
//   that frames go into instead, on a connection of its own, whatever SDL's
//   video driver: its size, its going, and the frames put into it as they
//   are. SIGTERM and SIGINT then ask the program to close, as the screen
//   saver ends it so.
//
// Limits: another program's window must have a visual of 24 bits with 8-bit
// red, green and blue where the frame has them.
//
// Depends on Xlib and its RandR extension.
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "platform/host/sdl_host.h"

// Last: Xlib's macros would rename names of the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

namespace {

// The X display SDL draws a window on and its X window, or a null display
// under another video driver.
Display* XDisplayOf(SDL_Window* window, Window* xWindow = nullptr) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    if (xWindow) *xWindow = info.info.x11.window;
    return info.info.x11.display;
}

// The same for the host's window.
Display* XDisplayOfWindow(Window* xWindow = nullptr) { return XDisplayOf(SdlHost.window, xWindow); }

bool OnX11() { return std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0; }

// Xlib calls this when a connection breaks, and ends the process if it
// returns; it does not return.
int EndForLostDisplay(Display* display) {
    const std::string words = std::string("the connection to X server ") + DisplayString(display) + " was broken";
    SdlEndForLostDisplay(words.c_str());
}

// An X error on a request made for the host alone: the window it named is
// gone. Xlib's own handler, and SDL's before it, would end the program.
int CatchError(Display*, XErrorEvent*) {
    SdlHost.x11.errorCaught = true;
    return 0;
}

// Runs the requests of `call` on `display` and waits for their answers;
// false if X refused one.
template <typename Call>
bool Answered(Display* display, Call call) {
    XSync(display, False);
    SdlHost.x11.errorCaught = false;
    auto* previous = XSetErrorHandler(CatchError);
    call();
    XSync(display, False);
    XSetErrorHandler(previous);
    return !SdlHost.x11.errorCaught;
}

bool WindowManagerRuns(Display* display) {
    // A window manager of today names its check window on the root.
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* value = nullptr;
    if (check != None) {
        XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &value);
    }
    if (value) XFree(value);
    return count != 0;
}

// The monitors RandR declares (version 1.5 on), the primary first; or, where
// it declares none, the screen as one.
std::vector<SDL_Rect> MonitorsOf(Display* display) {
    std::vector<SDL_Rect> monitors;
    int count = 0;
    XRRMonitorInfo* declared = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& monitor = declared[i];
        if (monitor.width <= 0 || monitor.height <= 0) continue;
        const SDL_Rect place = {monitor.x, monitor.y, monitor.width, monitor.height};
        monitors.insert(monitor.primary ? monitors.begin() : monitors.end(), place);
    }
    if (declared) XRRFreeMonitors(declared);
    if (monitors.empty()) {
        const int screen = DefaultScreen(display);
        monitors.push_back({0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)});
    }
    return monitors;
}

// Where SDL knows no pixel format for the screen's own visual (10 bits a
// channel, say), its framebuffer cannot be had. A TrueColor visual of 8 bits
// a channel in 32-bit pixels can: X converts what such a window shows.
void ChooseVisualSdlCanDraw(Display* display) {
    SDL_DisplayMode desktop = {};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0 || desktop.format != SDL_PIXELFORMAT_UNKNOWN) return;
    XVisualInfo wanted = {};
    wanted.screen = DefaultScreen(display);
    wanted.c_class = TrueColor;
    wanted.red_mask = 0xFF0000;
    wanted.green_mask = 0x00FF00;
    wanted.blue_mask = 0x0000FF;
    const long mask = VisualScreenMask | VisualClassMask | VisualRedMaskMask | VisualGreenMaskMask | VisualBlueMaskMask;
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display, mask, &wanted, &count);
    const XVisualInfo* chosen = nullptr;
    for (int i = 0; i < count; ++i) {
        // Depth 24 draws as it is; 32 (with alpha) only where nothing else does.
        if (visuals[i].depth == 24 || (visuals[i].depth == 32 && !chosen)) chosen = &visuals[i];
    }
    if (chosen) SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, std::to_string(chosen->visualid).c_str());
    if (visuals) XFree(visuals);
}

}  // namespace

void SdlX11EndOnLoss() { XSetIOErrorHandler(EndForLostDisplay); }

void SdlX11Start() {
    SdlX11State& x11 = SdlHost.x11;
    if (x11.display || !OnX11()) return;
    x11.display = XOpenDisplay(nullptr);
    if (!x11.display) return;
    x11.windowManager = WindowManagerRuns(x11.display);
    x11.monitors = MonitorsOf(x11.display);
    ChooseVisualSdlCanDraw(x11.display);
}

// ---- the focus ------------------------------------------------------------

void SdlX11NoteFocus() {
    Display* display = SdlHost.x11.display;
    if (!display) return;
    Window focus = None;
    XGetInputFocus(display, &focus, &SdlHost.x11.focusRevertBefore);
    SdlHost.x11.focusBefore = focus;
}

// Once another program's window that took the focus has gone, X gives the
// focus to no window (or the root), and with no window manager nothing gives
// it back. Shown again while no window has the focus, the window takes it.
void SdlX11TakeFocusLeftToNoWindow() {
    Display* display = SdlHost.focused ? nullptr : XDisplayOfWindow();
    if (!display) return;
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(display)) {
        SDL_SetWindowInputFocus(SdlHost.window);
    }
}

namespace {

// Gives `window` the focus, if it is still shown; false where it is not, or
// has gone.
bool FocusShownWindow(Display* display, Window window, int revertTo) {
    return Answered(display, [&] {
        XWindowAttributes attributes = {};
        if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) {
            SdlHost.x11.errorCaught = true;
            return;
        }
        XSetInputFocus(display, window, revertTo, CurrentTime);
    });
}

}  // namespace

// SDL takes the focus for its window where no window manager gives it, to
// revert to nothing: once the window went, no window would have the focus
// and no key would reach anyone. So the focus goes back to the window that
// had it, if it is still shown, or else to the window under the pointer.
void SdlX11GiveFocusBack() {
    Window window = None;
    Display* display = XDisplayOfWindow(&window);
    if (!display || SdlHost.x11.windowManager) return;
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus != window) return;
    const Window before = SdlHost.x11.focusBefore;
    const bool toWindow = before != None && before != PointerRoot;
    if (!toWindow || !FocusShownWindow(display, before, SdlHost.x11.focusRevertBefore)) {
        XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
    }
    XFlush(display);
}

// ---- the window's place ---------------------------------------------------

// A window manager of today covers a window's monitor with it when the
// window asks, before it is shown, with _NET_WM_STATE.
void SdlX11AskFullScreen(SDL_Window* sdlWindow) {
    Window window = None;
    Display* display = XDisplayOf(sdlWindow, &window);
    if (!display || !SdlHost.x11.windowManager) return;
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&fullScreen), 1);
}

namespace {

// The desktop's monitors changed (RandR's event): they are read again, and
// the window moves to the first.
void ReadMonitors() {
    if (!SdlHost.x11.display) return;
    SdlHost.x11.monitors = MonitorsOf(SdlHost.x11.display);
    Window window = None;
    Display* display = XDisplayOfWindow(&window);
    if (!display) return;
    const SDL_Rect& monitor = SdlHost.x11.monitors.front();
    XMoveResizeWindow(display, window, monitor.x, monitor.y, unsigned(monitor.w), unsigned(monitor.h));
}

}  // namespace

// The window's pixel format in X's words: its depth and its visual's class.
std::string SdlX11PixelFormat() {
    Window window = None;
    Display* display = XDisplayOfWindow(&window);
    XWindowAttributes attributes = {};
    if (!display || !XGetWindowAttributes(display, window, &attributes) || !attributes.visual) return "";
    constexpr const char* kClasses[] = {"StaticGray",  "GrayScale", "StaticColor",
                                        "PseudoColor", "TrueColor", "DirectColor"};
    const int visualClass = attributes.visual->c_class;
    const bool named = visualClass >= 0 && visualClass < int(std::size(kClasses));
    return "depth " + std::to_string(attributes.depth) + ", " + (named ? kClasses[visualClass] : "unknown class");
}

// ---- what SDL does not pass on --------------------------------------------

bool SdlX11KeysDown(char (&keys)[32]) {
    Display* display = XDisplayOfWindow();
    if (!display) return false;
    XQueryKeymap(display, keys);
    return true;
}

// SDL has no event for new monitors or a new size of the X screen: RandR's
// reaches the host as an X event that SDL passes on. SDL has already asked
// RandR for changes of outputs, and the X server keeps a client's first
// choice of RandR events for a window until it is cleared; so it is cleared,
// and those are asked for again with the screen's changes.
void SdlWatchScreenSize() {
    Display* display = XDisplayOfWindow();
    int errorBase = 0;
    int& screenChange = SdlHost.x11.screenChangeEvent;
    if (screenChange || !display || !XRRQueryExtension(display, &screenChange, &errorBase)) return;
    screenChange += RRScreenChangeNotify;
    XRRSelectInput(display, DefaultRootWindow(display), 0);
    XRRSelectInput(display, DefaultRootWindow(display), RRScreenChangeNotifyMask | RROutputChangeNotifyMask);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

// The screen's new size changes the monitors: the window follows the first.
// With no window manager to resize it the host does, and the present then
// scales the mode to the new size.
void SdlX11SystemEvent(const SDL_SysWMmsg& message) {
    if (message.subsystem != SDL_SYSWM_X11) return;
    XEvent event = message.msg.x11.event;
    if (event.type != SdlHost.x11.screenChangeEvent) return;
    XRRUpdateConfiguration(&event);  // the size, turned as the screen is
    ReadMonitors();
}

// ---- a window of another program's ----------------------------------------

namespace {

// The frame's pixels go into the window as they are.
bool TakesFramePixels(const XWindowAttributes& attributes) {
    const Visual* visual = attributes.visual;
    return attributes.depth == 24 && visual && visual->c_class == TrueColor && visual->red_mask == 0xFF0000 &&
           visual->green_mask == 0x00FF00 && visual->blue_mask == 0x0000FF;
}

void AskToClose(int) { SdlHost.closeAsked = 1; }

}  // namespace

bool HostWindowAttach(uint64_t window) {
    SdlX11State& x11 = SdlHost.x11;
    if (x11.foreignDisplay) return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        SdlHost.displayRefusal = "there is no X display to find the window on";
        return false;
    }
    XSetIOErrorHandler(EndForLostDisplay);
    const Window target = window ? Window(window) : DefaultRootWindow(display);
    XWindowAttributes attributes = {};
    const bool found = Answered(display, [&] { XGetWindowAttributes(display, target, &attributes); });
    if (!found || !TakesFramePixels(attributes)) {
        SdlHost.displayRefusal = found ? "the window's visual is not 24-bit TrueColor" : "there is no such X window";
        XCloseDisplay(display);
        return false;
    }
    x11.foreignDisplay = display;
    x11.foreignWindow = target;
    x11.foreignContext = XCreateGC(display, target, 0, nullptr);
    std::signal(SIGTERM, AskToClose);
    std::signal(SIGINT, AskToClose);
    return true;
}

bool HostWindowSize(int* width, int* height) {
    Display* display = SdlHost.x11.foreignDisplay;
    const Window window = SdlHost.x11.foreignWindow;
    XWindowAttributes attributes = {};
    const bool found = display && Answered(display, [&] { XGetWindowAttributes(display, window, &attributes); });
    *width = found ? attributes.width : 0;
    *height = found ? attributes.height : 0;
    return found;
}

// The frame's memory is the image X takes: no copy is made. A window gone
// meanwhile refuses it, and that is all.
void HostWindowPresent(const uint8_t* pixels, int width, int height, int pitch) {
    Display* display = SdlHost.x11.foreignDisplay;
    const Window window = SdlHost.x11.foreignWindow;
    GC context = SdlHost.x11.foreignContext;
    if (!display || width <= 0 || height <= 0) return;
    XImage image = {};
    image.width = width;
    image.height = height;
    image.format = ZPixmap;
    image.data = reinterpret_cast<char*>(const_cast<uint8_t*>(pixels));
    image.byte_order = LSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = LSBFirst;
    image.bitmap_pad = 32;
    image.depth = 24;
    image.bytes_per_line = pitch;
    image.bits_per_pixel = 32;
    image.red_mask = 0xFF0000;
    image.green_mask = 0x00FF00;
    image.blue_mask = 0x0000FF;
    if (!XInitImage(&image)) return;
    Answered(display,
             [&] { XPutImage(display, window, context, &image, 0, 0, 0, 0, unsigned(width), unsigned(height)); });
}
