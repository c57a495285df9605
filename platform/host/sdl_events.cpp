// The SDL host's events: SDL's window, keyboard and mouse events as the
// host's, and the keys found held (by X, or on Wayland by the host's own
// keyboard) with their releases.
//
// Limits: relative mouse counts only while the window has the focus; no
// touch (a touch screen is the mouse, as SDL makes it).
//
// Depends on SDL2; X's and Wayland's keys come from sdl_x11.cpp and
// sdl_wayland.cpp.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/host/sdl_host.h"
#include "platform/host/sdl_keys.h"

namespace {

bool XKeyDown(const char (&keys)[32], int keycode) { return (keys[keycode / 8] >> (keycode % 8)) & 1; }

// The keys down, as X lays them out: from X, or on native Wayland from the
// host's own keyboard; false where neither can tell.
bool KeysDown(char (&keys)[32]) { return SdlX11KeysDown(keys) || SdlWaylandKeysDown(keys); }

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
            SdlX11TakeFocusLeftToNoWindow();
            [[fallthrough]];
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // What the window showed may be gone: the next present shows all.
            SdlHost.mirror.Invalidate();
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
            SdlX11SystemEvent(*sdl.syswm.msg);
            return false;
        default:
            return false;
    }
}

}  // namespace

// A signal to end while frames go into another program's window comes
// first, as a close request. The host's own events come next: the keys held when the focus came come
// after the focus, and, once SDL has nothing more, the keys of the host's
// own keyboard on Wayland and the releases of keys held.
bool HostNextEvent(HostEvent* event) {
    if (SdlHost.closeAsked) {
        SdlHost.closeAsked = 0;
        *event = {HostEventType::Close, 0, 0, 0};
        return true;
    }
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
