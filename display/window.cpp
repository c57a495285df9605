// The hidden popup window that owns the exclusive display (or, in another
// program's window, a child of that window), and its messages: the display
// learns here that it lost or regained the focus, or is to close.
#include <cstring>

#include "core/runtime.h"
#include "display/screen.h"
#include "input/input.h"

namespace {

const char kWindowClass[] = "MultimediaBase Class";

// Once per absence: the hook backs the sprites up before their surfaces go.
void RunFocusLossHook() {
    if (ScreenState.focusLossHook && !ScreenState.backedUp) {
        ScreenState.focusLossHook();
        ScreenState.backedUp = 1;
    }
}

bool IsTabOrAlt(WPARAM key) { return key == VK_TAB || key == VK_MENU; }

}  // namespace

int32_t DisplayWindowCreate() {
    if (ScreenState.windowCreated || ScreenState.window) return ScreenState.windowCreated;
    WNDCLASSEXA windowClass;
    std::memset(&windowClass, 0, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = DisplayWindowProc;
    windowClass.hInstance = Runtime.module;
    windowClass.hIcon = LoadIconA(Runtime.module, MAKEINTRESOURCEA(1));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    if (LOWORD(RegisterClassExA(&windowClass)) == 0) return 0;
    // A child of another program's window where the screen shows in one.
    HWND parent = ScreenState.parentWindow;
    ScreenState.window = CreateWindowExA(0, kWindowClass, "", parent ? WS_CHILD : WS_POPUP, 0, 0, 1, 1, parent, nullptr,
                                         Runtime.module, nullptr);
    if (ScreenState.window) ScreenState.windowCreated = 1;
    return ScreenState.windowCreated;
}

LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM first, LPARAM second) {
    switch (message) {
        case WM_ACTIVATE:
            if (LOWORD(first) != WA_INACTIVE) {
                ScreenState.active = 1;
                ScreenState.backedUp = 0;
            } else {
                RunFocusLossHook();
                ScreenState.active = 0;
                if (MouseState.device) MouseState.device->Unacquire();
            }
            return 0;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            if (IsTabOrAlt(first)) RunFocusLossHook();
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 1;
        }
        case WM_CLOSE:
            // The window stays: the program ends only by its own exit, which
            // in another program's window the close asks for.
            if (ScreenState.parentWindow) ScreenState.windowGone = 1;
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            return 0;
        default:
            return DefWindowProcA(window, message, first, second);
    }
}

int32_t ScreenHasFocus() { return ScreenState.active; }
