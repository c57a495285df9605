// The SDL host's events: SDL's window, keyboard and mouse events as the
// host's, the keys that X finds held, new sizes of the X screen, and the
// focus taken back from no window.
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/host/sdl_host.h"
#include "platform/host/sdl_keys.h"

// Last: Xlib's macros would rename names of the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

// The X display SDL draws on and the window's X window, or a null display
// under another video driver.
Display* XDisplayOfWindow(Window* xWindow = nullptr) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SdlHost.window || !SDL_GetWindowWMInfo(SdlHost.window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return nullptr;
    }
    if (xWindow) *xWindow = info.info.x11.window;
    return info.info.x11.display;
}

bool XKeyDown(const char (&keys)[32], int keycode) { return (keys[keycode / 8] >> (keycode % 8)) & 1; }

// The keys down, as X lays them out: from X, or on native Wayland from the
// host's own keyboard; false where neither can tell.
bool KeysDown(char (&keys)[32]) {
    Display* display = XDisplayOfWindow();
    if (!display) return SdlWaylandKeysDown(keys);
    XQueryKeymap(display, keys);
    return true;
}

// The releases of the keys reported held, while SDL knows nothing of them.
void ReportReleasesOfKeysHeld() {
    std::vector<int>& unseen = SdlHost.keysHeldUnseen;
    char keys[32] = {};
    if (unseen.empty() || !KeysDown(keys)) return;
    std::erase_if(unseen, [&keys](int keycode) {
        if (XKeyDown(keys, keycode)) return false;
        SdlHost.pending.push_back({HostEventType::KeyUp, KeyCodeOfX(keycode), 0, 0});
        return true;
    });
}

// An event of SDL's for a key reported held: SDL knows of the key from now on.
void ForgetKeyHeld(int code) {
    std::erase_if(SdlHost.keysHeldUnseen, [code](int keycode) { return KeyCodeOfX(keycode) == code; });
}

// The screen's new size is the desktop's, where the screen is one desktop.
// The full-screen window follows it: with no window manager to resize it,
// the host does, and the present then scales the mode to the new size.
void FollowScreenSize(XEvent& event) {
    if (event.type != SdlHost.screenChangeEvent || SDL_GetNumVideoDisplays() != 1) return;
    XRRUpdateConfiguration(&event);  // the size, turned as the screen is
    Display* display = event.xany.display;
    SdlHost.screenWidth = DisplayWidth(display, DefaultScreen(display));
    SdlHost.screenHeight = DisplayHeight(display, DefaultScreen(display));
    Window xWindow = 0;
    if (XDisplayOfWindow(&xWindow) == display) {
        XResizeWindow(display, xWindow, unsigned(SdlHost.screenWidth), unsigned(SdlHost.screenHeight));
    }
}

// Once another program's window that took the focus has gone, X gives the
// focus to no window (or the root), and with no window manager nothing gives
// it back. Shown again while no window has the focus, the window takes it.
void TakeFocusLeftToNoWindow() {
    Display* display = SdlHost.focused ? nullptr : XDisplayOfWindow();
    if (!display) return;
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(display)) {
        SDL_SetWindowInputFocus(SdlHost.window);
    }
}

bool TakePending(HostEvent* event) {
    if (SdlHost.pending.empty()) return false;
    *event = SdlHost.pending.front();
    SdlHost.pending.erase(SdlHost.pending.begin());
    return true;
}

}  // namespace

// Keys already down when the display is taken or the focus comes back are
// down for the program too, as DirectInput reads the keyboard's state, not
// its events. X tells a window of such keys only when asked, and SDL passes
// on the modifiers alone (on X and on Wayland); it would also drop their
// releases.
void SdlReportKeysHeld() {
    char keys[32] = {};
    if (!KeysDown(keys)) return;
    for (int keycode = 8; keycode < 256; ++keycode) {
        const int code = KeyCodeOfX(keycode);
        if (code == 0 || !XKeyDown(keys, keycode)) continue;
        SdlHost.pending.push_back({HostEventType::KeyHeld, code, 0, 0});
        std::vector<int>& unseen = SdlHost.keysHeldUnseen;
        if (std::find(unseen.begin(), unseen.end(), keycode) == unseen.end()) unseen.push_back(keycode);
    }
}

// SDL has no event for a new size of the X screen: RandR's reaches the host
// as an X event that SDL passes on. SDL has already asked RandR for changes
// of outputs, and the X server keeps a client's first choice of RandR events
// for a window until it is cleared; so it is cleared, and those are asked for
// again with the screen's changes.
void SdlWatchScreenSize() {
    Display* display = XDisplayOfWindow();
    int errorBase = 0;
    if (SdlHost.screenChangeEvent || !display || !XRRQueryExtension(display, &SdlHost.screenChangeEvent, &errorBase)) {
        return;
    }
    SdlHost.screenChangeEvent += RRScreenChangeNotify;
    XRRSelectInput(display, DefaultRootWindow(display), 0);
    XRRSelectInput(display, DefaultRootWindow(display), RRScreenChangeNotifyMask | RROutputChangeNotifyMask);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool SdlWindowManagerMissing() {
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
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
    XCloseDisplay(display);
    return count == 0;
}

// The mouse reports relative counts only while the display is ours.
void SdlFollowFocus(bool focused) {
    SdlHost.focused = focused;
    SDL_SetRelativeMouseMode(SdlHost.window && focused ? SDL_TRUE : SDL_FALSE);
}

// ---- events ---------------------------------------------------------------

namespace {

bool WindowEvent(const SDL_WindowEvent& window, HostEvent* event) {
    // What a window given back to the desktop still reports is not news.
    if (!SdlHost.window || window.windowID != SDL_GetWindowID(SdlHost.window)) return false;
    switch (window.event) {
        case SDL_WINDOWEVENT_FOCUS_LOST:
            SdlFollowFocus(false);
            *event = {HostEventType::FocusLost, 0, 0, 0};
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            SdlFollowFocus(true);
            *event = {HostEventType::FocusGained, 0, 0, 0};
            SdlReportKeysHeld();
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            *event = {HostEventType::Close, 0, 0, 0};
            return true;
        case SDL_WINDOWEVENT_EXPOSED:
            TakeFocusLeftToNoWindow();
            [[fallthrough]];
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // What the window showed may be gone: the next present shows all.
            SdlHost.wholeFrameDue = true;
            return false;
        default:
            return false;
    }
}

bool KeyEvent(const SDL_KeyboardEvent& key, HostEvent* event) {
    int code = KeyCodeOf(key.keysym.scancode);
    // A held key's repeats are not new presses.
    if (code == 0 || key.repeat) return false;
    ForgetKeyHeld(code);
    *event = {key.type == SDL_KEYDOWN ? HostEventType::KeyDown : HostEventType::KeyUp, code, 0, 0};
    return true;
}

bool ButtonEvent(const SDL_MouseButtonEvent& button, HostEvent* event) {
    int number = button.button == SDL_BUTTON_LEFT     ? 1
                 : button.button == SDL_BUTTON_RIGHT  ? 2
                 : button.button == SDL_BUTTON_MIDDLE ? 3
                                                      : 0;
    if (number == 0) return false;
    *event = {HostEventType::MouseButton, number, button.state == SDL_PRESSED ? 1 : 0, 0};
    return true;
}

bool WheelEvent(const SDL_MouseWheelEvent& wheel, HostEvent* event) {
    int notches = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -wheel.y : wheel.y;
    if (notches == 0) return false;
    *event = {HostEventType::MouseWheel, notches * 120, 0, 0};
    return true;
}

// Turns one of SDL's events into the host's; false for those it has no use for.
bool HostEventFrom(const SDL_Event& sdl, HostEvent* event) {
    switch (sdl.type) {
        case SDL_WINDOWEVENT:
            return WindowEvent(sdl.window, event);
        case SDL_QUIT:
            *event = {HostEventType::Close, 0, 0, 0};
            return true;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return KeyEvent(sdl.key, event);
        case SDL_MOUSEMOTION:
            if (sdl.motion.xrel == 0 && sdl.motion.yrel == 0) return false;
            *event = {HostEventType::MouseMove, 0, sdl.motion.xrel, sdl.motion.yrel};
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return ButtonEvent(sdl.button, event);
        case SDL_MOUSEWHEEL:
            return WheelEvent(sdl.wheel, event);
        case SDL_SYSWMEVENT:
            if (sdl.syswm.msg->subsystem == SDL_SYSWM_X11) FollowScreenSize(sdl.syswm.msg->msg.x11.event);
            return false;
        default:
            return false;
    }
}

}  // namespace

// The host's own events come first: the keys held when the focus came come
// after the focus, and, once SDL has nothing more, the keys of the host's
// own keyboard on Wayland and the releases of keys held.
bool HostNextEvent(HostEvent* event) {
    if (!SdlReady()) return false;
    if (TakePending(event)) return true;
    SDL_Event sdl;
    while (SDL_PollEvent(&sdl)) {
        if (HostEventFrom(sdl, event)) return true;
    }
    SdlWaylandPump();
    ReportReleasesOfKeysHeld();
    return TakePending(event);
}
