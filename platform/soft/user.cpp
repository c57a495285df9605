// The software user library: window classes, windows and their procedures,
// the message queue, the focus, the cursor, system metrics and the desktops.
//
// Messages that Windows sends at once, such as WM_ACTIVATE when ShowWindow
// changes the focus, call the window procedure from inside the call. Events
// from the host (focus, close, keys) become messages when PeekMessageA drains
// them. Windows have no pixels of their own here: the display is DirectDraw's,
// so a window's device context is one over no pixels, like the screen's.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/soft/internal.h"

namespace {

struct WindowClass {
    std::string name;
    ATOM atom;
    UINT style;
    WNDPROC procedure;
    HINSTANCE instance;
    HBRUSH background;
};

struct Window {
    HWND handle;
    ATOM classAtom;
    DWORD style;
    DWORD exStyle;
    RECT rect;
    std::string title;
    HINSTANCE instance;
    WNDPROC procedure;
    bool visible;
    bool needsPaint;
    HWND parent;   // a child window's; null for one of the desktop's
    bool foreign;  // another program's, shown by the host (SoftForeignWindow)
};

struct UserLibraryState {
    std::vector<WindowClass> classes;
    std::vector<Window> windows;  // in creation order
    std::vector<MSG> posted;      // a few at a time, taken from the front
    // Window handles are never reused, not even across SoftUserReset, so a
    // stale handle stays refused.
    uintptr_t handlesIssued = 0;
    HWND active = nullptr;
    // The window that was last made active: it becomes active again when the
    // host gets the focus back.
    HWND lastActive = nullptr;
    bool hostFocused = true;
    bool keysDown[256] = {};  // by DirectInput scan code
    int cursorCount = 0;      // the cursor shows while this is 0 or more
    bool cursorClipped = false;
    RECT cursorClip = {};
    std::vector<HDC> windowDcs;  // given out by GetDC
    std::vector<HDC> paintDcs;   // given out by BeginPaint
};

UserLibraryState User;

constexpr ATOM kFirstClassAtom = 0xC000;
constexpr uintptr_t kFirstWindowHandle = 0x10000;

// MAKEINTATOM puts an atom in the low word of a name pointer.
bool IsAtom(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) <= 0xFFFF; }

const WindowClass* ClassNamed(LPCSTR name) {
    if (!name) return nullptr;
    for (const WindowClass& windowClass : User.classes) {
        if (IsAtom(name) ? windowClass.atom == reinterpret_cast<uintptr_t>(name)
                         : SoftSameNameIgnoringCase(windowClass.name.c_str(), name)) {
            return &windowClass;
        }
    }
    return nullptr;
}

Window* WindowOf(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (Window& window : User.windows) {
        if (window.handle == hwnd) return &window;
    }
    return nullptr;
}

// Whether the window, and every window it is a child of, exists still: a
// window of another program's exists while the host still has it.
bool Alive(const Window* window) {
    int width = 0;
    int height = 0;
    while (window && window->parent) window = WindowOf(window->parent);
    return window && (!window->foreign || HostWindowSize(&width, &height));
}

HWND NewWindowHandle() { return reinterpret_cast<HWND>(kFirstWindowHandle + 4 * ++User.handlesIssued); }

LONG Saturated(int64_t value) { return static_cast<LONG>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

// A rectangle at (x, y) of the given size; a negative size counts as none.
RECT RectAt(int x, int y, int width, int height) {
    return {x, y, Saturated(int64_t{x} + std::max(width, 0)), Saturated(int64_t{y} + std::max(height, 0))};
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// ---- messages -------------------------------------------------------------

// The window procedure may create windows, so no reference into the window
// list is held across the call.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = WindowOf(hwnd);
    if (!window || !window->procedure) return 0;
    WNDPROC procedure = window->procedure;
    return procedure(hwnd, message, wParam, lParam);
}

void Queue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    User.posted.push_back(MSG{hwnd, message, wParam, lParam, SoftTickCount(), {0, 0}});
}

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd) Queue(hwnd, message, wParam, lParam);
}

struct MessageFilter {
    HWND hwnd;  // null: every window
    UINT first;
    UINT last;  // 0 and 0: every message

    bool Matches(HWND target, UINT message) const {
        if (hwnd && target != hwnd) return false;
        return (first == 0 && last == 0) || (message >= first && message <= last);
    }
};

bool TakePosted(const MessageFilter& filter, MSG* msg, bool remove) {
    for (auto it = User.posted.begin(); it != User.posted.end(); ++it) {
        if (!filter.Matches(it->hwnd, it->message)) continue;
        *msg = *it;
        if (remove) User.posted.erase(it);
        return true;
    }
    return false;
}

// WM_PAINT is never queued: it is made when the queue is empty, for as long
// as a visible window needs painting, whether or not PM_REMOVE is given.
bool TakePaint(const MessageFilter& filter, MSG* msg) {
    for (const Window& window : User.windows) {
        if (!window.visible || !window.needsPaint || !filter.Matches(window.handle, WM_PAINT)) continue;
        *msg = MSG{window.handle, WM_PAINT, 0, 0, SoftTickCount(), {0, 0}};
        return true;
    }
    return false;
}

// ---- focus ----------------------------------------------------------------

// WM_ACTIVATE goes first to the window losing the focus, then to the one
// gaining it; each learns the other from lParam.
void Activate(HWND hwnd) {
    User.lastActive = hwnd;
    // Without the host's focus the window waits to be activated when it comes.
    if (!User.hostFocused || User.active == hwnd) return;
    HWND previous = User.active;
    User.active = hwnd;
    if (previous) Send(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    Send(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
}

void Deactivate() {
    HWND previous = User.active;
    if (!previous) return;
    User.active = nullptr;
    Send(previous, WM_ACTIVATE, WA_INACTIVE, 0);
}

enum class ShowFocus { Activate, Keep, Deactivate };

ShowFocus FocusOfShow(int command) {
    switch (command) {
        case SW_SHOWNOACTIVATE:
        case SW_SHOWMINNOACTIVE:
        case SW_SHOWNA:
            return ShowFocus::Keep;
        // Minimising gives the focus to the next window; this layer has none.
        case SW_MINIMIZE:
        case SW_FORCEMINIMIZE:
            return ShowFocus::Deactivate;
        default:
            return ShowFocus::Activate;
    }
}

void Maximize(Window& window) {
    HostDesktopMode desktop = HostPrimaryDesktop();
    RECT screen = RectAt(0, 0, desktop.width, desktop.height);
    if (!SameRect(window.rect, screen)) window.needsPaint = true;
    window.rect = screen;
}

void Hide(Window& window) {
    window.visible = false;
    window.needsPaint = false;
    if (User.active == window.handle) Deactivate();
}

// ---- keys -----------------------------------------------------------------

struct KeyMapping {
    uint8_t code;  // DirectInput scan code
    uint8_t virtualKey;
};

// The whole keyboard, by DirectInput scan code, as a US layout with NumLock on
// reports it. Left and right modifiers share one virtual key, as in key
// messages.
constexpr KeyMapping kKeyMap[] = {
    {DIK_ESCAPE, VK_ESCAPE},
    {DIK_1, '1'},
    {DIK_2, '2'},
    {DIK_3, '3'},
    {DIK_4, '4'},
    {DIK_5, '5'},
    {DIK_6, '6'},
    {DIK_7, '7'},
    {DIK_8, '8'},
    {DIK_9, '9'},
    {DIK_0, '0'},
    {DIK_MINUS, VK_OEM_MINUS},
    {DIK_EQUALS, VK_OEM_PLUS},
    {DIK_BACK, VK_BACK},
    {DIK_TAB, VK_TAB},
    {DIK_Q, 'Q'},
    {DIK_W, 'W'},
    {DIK_E, 'E'},
    {DIK_R, 'R'},
    {DIK_T, 'T'},
    {DIK_Y, 'Y'},
    {DIK_U, 'U'},
    {DIK_I, 'I'},
    {DIK_O, 'O'},
    {DIK_P, 'P'},
    {DIK_LBRACKET, VK_OEM_4},
    {DIK_RBRACKET, VK_OEM_6},
    {DIK_RETURN, VK_RETURN},
    {DIK_LCONTROL, VK_CONTROL},
    {DIK_A, 'A'},
    {DIK_S, 'S'},
    {DIK_D, 'D'},
    {DIK_F, 'F'},
    {DIK_G, 'G'},
    {DIK_H, 'H'},
    {DIK_J, 'J'},
    {DIK_K, 'K'},
    {DIK_L, 'L'},
    {DIK_SEMICOLON, VK_OEM_1},
    {DIK_APOSTROPHE, VK_OEM_7},
    {DIK_GRAVE, VK_OEM_3},
    {DIK_LSHIFT, VK_SHIFT},
    {DIK_BACKSLASH, VK_OEM_5},
    {DIK_Z, 'Z'},
    {DIK_X, 'X'},
    {DIK_C, 'C'},
    {DIK_V, 'V'},
    {DIK_B, 'B'},
    {DIK_N, 'N'},
    {DIK_M, 'M'},
    {DIK_COMMA, VK_OEM_COMMA},
    {DIK_PERIOD, VK_OEM_PERIOD},
    {DIK_SLASH, VK_OEM_2},
    {DIK_RSHIFT, VK_SHIFT},
    {DIK_MULTIPLY, VK_MULTIPLY},
    {DIK_LMENU, VK_MENU},
    {DIK_SPACE, VK_SPACE},
    {DIK_CAPITAL, VK_CAPITAL},
    {DIK_F1, VK_F1},
    {DIK_F2, VK_F2},
    {DIK_F3, VK_F3},
    {DIK_F4, VK_F4},
    {DIK_F5, VK_F5},
    {DIK_F6, VK_F6},
    {DIK_F7, VK_F7},
    {DIK_F8, VK_F8},
    {DIK_F9, VK_F9},
    {DIK_F10, VK_F10},
    {DIK_NUMLOCK, VK_NUMLOCK},
    {DIK_SCROLL, VK_SCROLL},
    {DIK_NUMPAD7, VK_NUMPAD7},
    {DIK_NUMPAD8, VK_NUMPAD8},
    {DIK_NUMPAD9, VK_NUMPAD9},
    {DIK_SUBTRACT, VK_SUBTRACT},
    {DIK_NUMPAD4, VK_NUMPAD4},
    {DIK_NUMPAD5, VK_NUMPAD5},
    {DIK_NUMPAD6, VK_NUMPAD6},
    {DIK_ADD, VK_ADD},
    {DIK_NUMPAD1, VK_NUMPAD1},
    {DIK_NUMPAD2, VK_NUMPAD2},
    {DIK_NUMPAD3, VK_NUMPAD3},
    {DIK_NUMPAD0, VK_NUMPAD0},
    {DIK_DECIMAL, VK_DECIMAL},
    {DIK_OEM_102, VK_OEM_102},
    {DIK_F11, VK_F11},
    {DIK_F12, VK_F12},
    {DIK_NUMPADENTER, VK_RETURN},
    {DIK_RCONTROL, VK_CONTROL},
    {DIK_DIVIDE, VK_DIVIDE},
    {DIK_SYSRQ, VK_SNAPSHOT},
    {DIK_RMENU, VK_MENU},
    {DIK_PAUSE, VK_PAUSE},
    {DIK_HOME, VK_HOME},
    {DIK_UP, VK_UP},
    {DIK_PRIOR, VK_PRIOR},
    {DIK_LEFT, VK_LEFT},
    {DIK_RIGHT, VK_RIGHT},
    {DIK_END, VK_END},
    {DIK_DOWN, VK_DOWN},
    {DIK_NEXT, VK_NEXT},
    {DIK_INSERT, VK_INSERT},
    {DIK_DELETE, VK_DELETE},
    {DIK_LWIN, VK_LWIN},
    {DIK_RWIN, VK_RWIN},
    {DIK_APPS, VK_APPS},
};

// 0 for a code that is no key.
UINT VirtualKeyOf(int code) {
    for (const KeyMapping& key : kKeyMap) {
        if (key.code == code) return key.virtualKey;
    }
    return 0;
}

bool AltHeld() { return User.keysDown[DIK_LMENU] || User.keysDown[DIK_RMENU]; }

// DirectInput numbers an extended key as its scan code plus 0x80. NumLock and
// Pause swap that: key messages report NumLock as extended, and Pause (code
// 0xC5) as the plain scan code 0x45.
DWORD ScanFlags(int code) {
    if (code == DIK_NUMLOCK) return DIK_NUMLOCK | KF_EXTENDED;
    if (code == DIK_PAUSE) return DIK_NUMLOCK;
    return (code & 0x7F) | ((code & 0x80) ? KF_EXTENDED : 0);
}

// A repeat count of 1 in the low word; the high word holds the scan code and
// the KF_ flags. A key-up always has its previous state down.
LPARAM KeyParam(int code, bool down, bool wasDown) {
    DWORD flags = ScanFlags(code);
    if (AltHeld()) flags |= KF_ALTDOWN;
    if (wasDown || !down) flags |= KF_REPEAT;
    if (!down) flags |= KF_UP;
    return static_cast<LPARAM>(flags << 16 | 1);
}

// Alt, every key while Alt is held, and F10 (the menu key) make system key
// messages.
bool IsSystemKey(int code, UINT virtualKey) {
    return code == DIK_LMENU || code == DIK_RMENU || AltHeld() || virtualKey == VK_F10;
}

void KeyEvent(int32_t code, bool down) {
    if (code < 0 || code > 255) return;
    bool wasDown = User.keysDown[code];
    User.keysDown[code] = down;
    UINT virtualKey = VirtualKeyOf(code);
    if (!virtualKey || !User.active) return;
    bool system = IsSystemKey(code, virtualKey);
    UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    Post(User.active, message, virtualKey, KeyParam(code, down, wasDown));
}

// ---- host events ----------------------------------------------------------

void FocusLost() {
    User.hostFocused = false;
    Deactivate();
    // Keys released elsewhere never come back as key-ups.
    std::fill(std::begin(User.keysDown), std::end(User.keysDown), false);
}

void FocusGained() {
    User.hostFocused = true;
    Window* last = WindowOf(User.lastActive);
    if (last && last->visible) Activate(last->handle);
}

HWND FirstVisibleWindow() {
    for (const Window& window : User.windows) {
        if (window.visible) return window.handle;
    }
    return nullptr;
}

void CloseRequested() { Post(User.active ? User.active : FirstVisibleWindow(), WM_CLOSE, 0, 0); }

// What the window is told of a host event.
void TellTheWindow(const HostEvent& event) {
    switch (event.type) {
        case HostEventType::FocusLost:
            FocusLost();
            break;
        case HostEventType::FocusGained:
            FocusGained();
            break;
        case HostEventType::Close:
            CloseRequested();
            break;
        case HostEventType::KeyDown:
            KeyEvent(event.code, true);
            break;
        case HostEventType::KeyUp:
            KeyEvent(event.code, false);
            break;
        // Neither a key that was down already nor the mouse makes window messages.
        case HostEventType::KeyHeld:
        case HostEventType::MouseMove:
        case HostEventType::MouseButton:
        case HostEventType::MouseWheel:
            break;
    }
}

// The one place that host events go into the layer, and the order of their
// three destinations:
//  1. the display, for a focus that comes back: its surfaces can be restored
//     again before the window, told next, tries to;
//  2. the window: focus changes become WM_ACTIVATE, sent at once; keys become
//     key messages; the close request becomes WM_CLOSE;
//  3. the display, for a focus lost: every surface is lost once the window,
//     told first, could still save what the display held;
//  4. DirectInput, last, once the window has had its messages and a lost
//     display is gone: keys and the mouse feed its devices, a focus loss
//     unacquires the foreground devices.
void HostEventArrived(const HostEvent& event) {
    if (event.type == HostEventType::FocusGained) SoftDisplayFocus(true);
    TellTheWindow(event);
    if (event.type == HostEventType::FocusLost) SoftDisplayFocus(false);
    if (event.type != HostEventType::Close) SoftInputEvent(event);
}

// ---- painting and device contexts -----------------------------------------

RECT ClientRect(const Window& window) {
    const RECT& rect = window.rect;
    return {0, 0, Saturated(int64_t{rect.right} - rect.left), Saturated(int64_t{rect.bottom} - rect.top)};
}

HDC PixellessDc() { return CreateDCA("DISPLAY", nullptr, nullptr, nullptr); }

bool ReleaseFrom(std::vector<HDC>& given, HDC dc) {
    auto found = std::find(given.begin(), given.end(), dc);
    if (found == given.end()) return false;
    given.erase(found);
    DeleteDC(dc);
    return true;
}

// ---- desktops -------------------------------------------------------------

template <size_t Size, typename Char>
void CopyText(Char (&to)[Size], const char* from) {
    size_t length = strnlen(from, Size - 1);
    std::memcpy(to, from, length);
    to[length] = 0;
}

// The desktop a device name picks, null for the primary one; -1 for none.
int DesktopNamed(LPCSTR name) {
    int count = HostDesktopCount();
    for (int i = 0; i < count; ++i) {
        HostDesktop desktop = HostDesktopAt(i);
        desktop.name[sizeof(desktop.name) - 1] = 0;
        if (name ? SoftSameNameIgnoringCase(desktop.name, name) : desktop.primary) return i;
    }
    return !name && count > 0 ? 0 : -1;
}

void FillMode(const HostDesktop& desktop, DEVMODEA* mode) {
    CopyText(mode->dmDeviceName, desktop.name);
    mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode->dmBitsPerPel = static_cast<DWORD>(desktop.mode.depth);
    mode->dmPelsWidth = static_cast<DWORD>(desktop.mode.width);
    mode->dmPelsHeight = static_cast<DWORD>(desktop.mode.height);
    mode->dmDisplayFrequency = static_cast<DWORD>(desktop.mode.refresh);
}

}  // namespace

// ---- window classes and windows -------------------------------------------

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpwcx) {
    if (int64_t failed; SoftFault(SoftOp::RegisterClassExA, &failed)) return static_cast<ATOM>(failed);
    if (!lpwcx || lpwcx->cbSize != sizeof(WNDCLASSEXA) || lpwcx->cbClsExtra < 0 || lpwcx->cbWndExtra < 0) return 0;
    LPCSTR name = lpwcx->lpszClassName;
    // Class names are compared without regard to case, as on Windows.
    if (IsAtom(name) || ClassNamed(name)) return 0;
    if (User.classes.size() >= 0x10000u - kFirstClassAtom) return 0;
    ATOM atom = static_cast<ATOM>(kFirstClassAtom + User.classes.size());
    User.classes.push_back({name, atom, lpwcx->style, lpwcx->lpfnWndProc, lpwcx->hInstance, lpwcx->hbrBackground});
    return atom;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU, HINSTANCE hInstance, LPVOID) {
    if (int64_t failed; SoftFault(SoftOp::CreateWindowExA, &failed)) return reinterpret_cast<HWND>(failed);
    const WindowClass* windowClass = ClassNamed(lpClassName);
    if (!windowClass || (hWndParent && !WindowOf(hWndParent))) return nullptr;
    Window window = {};
    window.handle = NewWindowHandle();
    window.classAtom = windowClass->atom;
    window.style = dwStyle & ~WS_VISIBLE;
    window.exStyle = dwExStyle;
    window.rect = RectAt(X, Y, nWidth, nHeight);
    window.title = lpWindowName ? lpWindowName : "";
    window.instance = hInstance;
    window.procedure = windowClass->procedure;
    window.parent = (dwStyle & WS_CHILD) ? hWndParent : nullptr;
    User.windows.push_back(window);
    // A window made visible is shown as ShowWindow shows it, focus and all.
    if (dwStyle & WS_VISIBLE) ShowWindow(window.handle, SW_SHOW);
    return window.handle;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    Window* window = WindowOf(hWnd);
    if (!window || nCmdShow < SW_HIDE || nCmdShow > SW_FORCEMINIMIZE) return FALSE;
    BOOL wasVisible = window->visible;
    if (nCmdShow == SW_HIDE) {
        if (wasVisible) Hide(*window);
        return wasVisible;
    }
    if (!wasVisible) {
        window->visible = true;
        window->needsPaint = true;
    }
    if (nCmdShow == SW_SHOWMAXIMIZED) Maximize(*window);
    switch (FocusOfShow(nCmdShow)) {
        case ShowFocus::Activate:
            Activate(hWnd);
            break;
        case ShowFocus::Deactivate:
            if (User.active == hWnd) Deactivate();
            break;
        case ShowFocus::Keep:
            break;
    }
    return wasVisible;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    if (int64_t failed; SoftFault(SoftOp::MoveWindow, &failed)) return static_cast<BOOL>(failed);
    Window* window = WindowOf(hWnd);
    if (!window) return FALSE;
    RECT moved = RectAt(X, Y, nWidth, nHeight);
    if (bRepaint && !SameRect(moved, window->rect)) window->needsPaint = true;
    window->rect = moved;
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) { return Alive(WindowOf(hWnd)); }

// A window of another program's is as large as the host says it is now.
BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    if (int64_t failed; SoftFault(SoftOp::GetClientRect, &failed)) return static_cast<BOOL>(failed);
    Window* window = WindowOf(hWnd);
    if (!window || !lpRect) return FALSE;
    int width = window->rect.right - window->rect.left;
    int height = window->rect.bottom - window->rect.top;
    if (window->foreign && !HostWindowSize(&width, &height)) return FALSE;
    *lpRect = RectAt(0, 0, width, height);
    return TRUE;
}

// Windows have no borders here: a client area is its window's rectangle, a
// child's within its parent's client area. Another program's window is at
// the origin.
BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    Window* window = WindowOf(hWnd);
    if (!window || !lpPoint) return FALSE;
    for (; window && !window->foreign; window = WindowOf(window->parent)) {
        lpPoint->x += window->rect.left;
        lpPoint->y += window->rect.top;
    }
    return TRUE;
}

HWND SoftForeignWindow(uint64_t window) {
    int width = 0;
    int height = 0;
    if (!HostWindowAttach(window) || !HostWindowSize(&width, &height)) {
        SetLastError(SOFT_ERROR_NO_DISPLAY);
        return nullptr;
    }
    Window foreign = {};
    foreign.handle = NewWindowHandle();
    foreign.rect = RectAt(0, 0, width, height);
    foreign.foreign = true;
    User.windows.push_back(foreign);
    return foreign.handle;
}

// Whether the window is shown in a window of another program's, and which:
// null for one that is not.
HWND SoftForeignWindowOf(HWND hwnd) {
    for (Window* window = WindowOf(hwnd); window; window = WindowOf(window->parent)) {
        if (window->foreign) return window->handle;
    }
    return nullptr;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    if (int64_t failed; SoftFault(SoftOp::SetWindowTextA, &failed)) return static_cast<BOOL>(failed);
    Window* window = WindowOf(hWnd);
    if (!window) return FALSE;
    window->title = lpString ? lpString : "";
    return TRUE;
}

// ---- messages -------------------------------------------------------------

void SoftPumpHostEvents() {
    HostEvent event;
    while (HostNextEvent(&event)) HostEventArrived(event);
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg || (hWnd && !WindowOf(hWnd))) return FALSE;
    SoftPumpHostEvents();
    MessageFilter filter = {hWnd, wMsgFilterMin, wMsgFilterMax};
    return TakePosted(filter, lpMsg, (wRemoveMsg & PM_REMOVE) != 0) || TakePaint(filter, lpMsg);
}

// Key messages would be turned into character messages; nothing here reads
// those, so only the answer is kept.
BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg) return FALSE;
    UINT message = lpMsg->message;
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg) return 0;
    return Send(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

// WM_CLOSE gives 0 and leaves the window: DestroyWindow is not part of this
// layer.
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM, LPARAM) {
    switch (Msg) {
        case WM_PAINT:
            // Validated directly, so that a failing BeginPaint cannot keep
            // the queue making WM_PAINT for ever.
            if (Window* window = WindowOf(hWnd)) window->needsPaint = false;
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return 0;
    }
}

HWND SoftActiveWindow() { return User.active; }

void SoftPostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) { Queue(nullptr, message, wParam, lParam); }

// ---- painting and device contexts -----------------------------------------

// BeginPaint validates the window and, when it needed painting, has its
// procedure erase the background first: fErase tells whether it did not.
HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    if (int64_t failed; SoftFault(SoftOp::BeginPaint, &failed)) return reinterpret_cast<HDC>(failed);
    Window* window = WindowOf(hWnd);
    if (!window || !lpPaint) return nullptr;
    HDC dc = PixellessDc();
    if (!dc) return nullptr;
    User.paintDcs.push_back(dc);
    bool invalid = window->needsPaint;
    window->needsPaint = false;
    *lpPaint = {};
    lpPaint->hdc = dc;
    if (invalid) {
        lpPaint->rcPaint = ClientRect(*window);
        lpPaint->fErase = Send(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* lpPaint) {
    if (lpPaint) ReleaseFrom(User.paintDcs, lpPaint->hdc);
    return TRUE;
}

// A window's context and the screen's (no window) are alike here.
HDC WINAPI GetDC(HWND hWnd) {
    if (int64_t failed; SoftFault(SoftOp::GetDC, &failed)) return reinterpret_cast<HDC>(failed);
    if (hWnd && !WindowOf(hWnd)) return nullptr;
    HDC dc = PixellessDc();
    if (dc) User.windowDcs.push_back(dc);
    return dc;
}

int WINAPI ReleaseDC(HWND, HDC hDC) { return ReleaseFrom(User.windowDcs, hDC) ? 1 : 0; }

// ---- message boxes ----------------------------------------------------------

// The Linux and web builds run from a terminal or a page, whose user reads a
// program's words on standard error or the console: a program that puts up a
// box gives its line there too (OutputDebugStringA), so the box shows
// nothing more and is answered at once, as if its one button were pressed.
int WINAPI MessageBoxA(HWND, LPCSTR, LPCSTR, UINT) { return IDOK; }

// ---- cursor, metrics, icons -----------------------------------------------

int WINAPI ShowCursor(BOOL bShow) {
    bool wasVisible = User.cursorCount >= 0;
    User.cursorCount += bShow ? 1 : -1;
    bool visible = User.cursorCount >= 0;
    if (visible != wasVisible) HostCursorShow(visible);
    return User.cursorCount;
}

BOOL WINAPI ClipCursor(const RECT* lpRect) {
    if (int64_t failed; SoftFault(SoftOp::ClipCursor, &failed)) return static_cast<BOOL>(failed);
    User.cursorClipped = lpRect != nullptr;
    User.cursorClip = lpRect ? *lpRect : RECT{};
    return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex) {
    HostDesktopMode desktop = HostPrimaryDesktop();
    switch (nIndex) {
        case SM_CXSCREEN:
            return desktop.width;
        case SM_CYSCREEN:
            return desktop.height;
        default:
            return 0;
    }
}

// No module carries resources in this layer.
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }

// ---- desktops -------------------------------------------------------------

// Naming a device asks for its monitors, which this layer does not describe.
BOOL WINAPI EnumDisplayDevicesA(LPCSTR lpDevice, DWORD iDevNum, PDISPLAY_DEVICEA lpDisplayDevice, DWORD) {
    if (int64_t failed; SoftFault(SoftOp::EnumDisplayDevicesA, &failed)) return static_cast<BOOL>(failed);
    if (lpDevice || !lpDisplayDevice || lpDisplayDevice->cb != sizeof(DISPLAY_DEVICEA)) return FALSE;
    const int count = HostDesktopCount();
    if (iDevNum >= static_cast<DWORD>(count)) {
        // Past the last device is no failure; a host without any says why.
        if (count == 0 && *HostNoDisplayReason()) SetLastError(SOFT_ERROR_NO_DISPLAY);
        return FALSE;
    }
    HostDesktop desktop = HostDesktopAt(static_cast<int>(iDevNum));
    desktop.name[sizeof(desktop.name) - 1] = 0;
    *lpDisplayDevice = {};
    lpDisplayDevice->cb = sizeof(DISPLAY_DEVICEA);
    CopyText(lpDisplayDevice->DeviceName, desktop.name);
    CopyText(lpDisplayDevice->DeviceString, "Software Display Adapter");
    if (desktop.attached) lpDisplayDevice->StateFlags |= DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
    if (desktop.primary) lpDisplayDevice->StateFlags |= DISPLAY_DEVICE_PRIMARY_DEVICE;
    return TRUE;
}

// Only the current mode is known: the host lists no other modes.
BOOL WINAPI EnumDisplaySettingsA(LPCSTR lpszDeviceName, DWORD iModeNum, DEVMODEA* lpDevMode) {
    int found = DesktopNamed(lpszDeviceName);
    HostDesktop desktop = found >= 0 ? HostDesktopAt(found) : HostDesktop{};
    desktop.name[sizeof(desktop.name) - 1] = 0;
    // A fault aimed at one device names it as the host does, however the
    // caller spelt it; the primary answers for a null name.
    int64_t failed;
    const char* faultName = found >= 0 ? desktop.name : lpszDeviceName ? lpszDeviceName : "";
    if (SoftFault(SoftOp::EnumDisplaySettingsA, faultName, &failed)) return static_cast<BOOL>(failed);
    if (found < 0 || !lpDevMode || iModeNum != ENUM_CURRENT_SETTINGS || !desktop.modeReadable) return FALSE;
    FillMode(desktop, lpDevMode);
    return TRUE;
}

// ---- for tests and the inspectors ---------------------------------------

void SoftUserReset() {
    for (HDC dc : User.windowDcs) DeleteDC(dc);
    for (HDC dc : User.paintDcs) DeleteDC(dc);
    if (User.cursorCount < 0) HostCursorShow(true);
    uintptr_t handlesIssued = User.handlesIssued;
    User = UserLibraryState{};
    User.handlesIssued = handlesIssued;
    // No key is down for DirectInput either.
    SoftInputReset();
}

SoftUserView SoftUserViewNow(HWND hwnd) {
    SoftUserView view{User.cursorCount, User.cursorClipped, false, false, User.cursorClip, {}, {}};
    if (Window* window = WindowOf(hwnd)) {
        view.known = true;
        view.visible = window->visible;
        view.rect = window->rect;
        view.title = window->title;
    }
    return view;
}

bool SoftWindowExists(HWND hwnd) { return WindowOf(hwnd) != nullptr; }
