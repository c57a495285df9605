// The software user library: device contexts of windows.
#include <algorithm>
#include <vector>

#include "platform/soft/soft.h"

namespace {

struct UserLibraryState {
    // Device contexts handed out by GetDC and not yet released.
    std::vector<HDC> windowDcs;
};

UserLibraryState User;

}  // namespace

HDC WINAPI GetDC(HWND hWnd) {
    // Without a window GetDC gives the whole screen's device context.
    if (hWnd) return nullptr;
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (dc) User.windowDcs.push_back(dc);
    return dc;
}

int WINAPI ReleaseDC(HWND, HDC hDC) {
    auto found = std::find(User.windowDcs.begin(), User.windowDcs.end(), hDC);
    if (found == User.windowDcs.end()) return 0;
    User.windowDcs.erase(found);
    DeleteDC(hDC);
    return 1;
}
