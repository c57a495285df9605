// The inspectors of the software layer (inspect.h), over each library's
// accessor: a library of their own, which tests and tools link and the
// program does not.
#include "platform/soft/inspect.h"

#include "platform/soft/internal.h"
#include "platform/soft/modules.h"

size_t SoftHeapCount() { return SoftKernelViewNow().heapBlocks.size(); }

bool SoftHeapAlive(HANDLE heap) { return SoftKernelViewNow().heapBlocks.count(heap) > 0; }

size_t SoftHeapBlockCount(HANDLE heap) {
    const std::map<HANDLE, size_t> heaps = SoftKernelViewNow().heapBlocks;
    const auto found = heaps.find(heap);
    return found != heaps.end() ? found->second : 0;
}

int SoftModuleLoadCount(const char* name) {
    int module = SoftModuleNamed(name);
    return module >= 0 ? SoftKernelViewNow().moduleLoads[module] : 0;
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
    SoftGdiView gdi = SoftGdiViewNow(hdc);
    return type == OBJ_PEN ? gdi.pen : type == OBJ_BRUSH ? gdi.brush : nullptr;
}

int SoftGdiObjectCount() { return SoftGdiViewNow(nullptr).objects; }

int SoftGdiDcCount() { return SoftGdiViewNow(nullptr).dcs; }

int SoftCursorCount() { return SoftUserViewNow(nullptr).cursorCount; }

bool SoftCursorClip(RECT* clip) {
    SoftUserView user = SoftUserViewNow(nullptr);
    if (clip) *clip = user.cursorClip;
    return user.cursorClipped;
}

bool SoftWindowVisible(HWND hwnd) { return SoftUserViewNow(hwnd).visible; }

bool SoftWindowRect(HWND hwnd, RECT* rect) {
    SoftUserView user = SoftUserViewNow(hwnd);
    if (user.known && rect) *rect = user.rect;
    return user.known && rect;
}

std::string SoftWindowTitle(HWND hwnd) { return SoftUserViewNow(hwnd).title; }

int SoftDirectDrawObjectCount() { return SoftDirectDrawViewNow().objects; }

int SoftDirectDrawSurfaceCount() { return SoftDirectDrawViewNow().surfaces; }

int SoftDirectDrawClipperCount() { return SoftDirectDrawViewNow().clippers; }

DWORD SoftDirectDrawCooperativeLevel() { return SoftDirectDrawViewNow().level; }

int SoftTimerPeriodsBegun() { return static_cast<int>(SoftTimerPeriodsNow().size()); }

int SoftDirectInputObjectCount() { return SoftDirectInputViewNow().objects; }

int SoftDirectInputDeviceCount() { return SoftDirectInputViewNow().devices; }
