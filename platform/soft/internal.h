// What the software layer's libraries call between themselves beyond Win32:
// faults, the clock, names, damage, device contexts over memory, the host's
// events, the entry points the built-in modules hand out, and each library's
// accessor for the inspectors (inspect.cpp). The layer's .cpp files include
// it, and so do the tests and tools that make its objects or drive it
// directly; the runtime never does.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/soft/operations.h"
#include "platform/soft/win32_soft.h"

// The host has no desktops: a reason of the layer's own (with the bit Windows
// leaves to applications, beyond the POSIX numbers the kernel gives it),
// which FormatMessageA words as the host does (HostNoDisplayReason).
#define SOFT_ERROR_NO_DISPLAY 0x20010000

// ---- kernel ---------------------------------------------------------------

// A library's record, made in static storage without allocating, before the
// program starts, and never destroyed: what it holds at the process's end is
// still reachable from it.
template <typename Record>
union SoftLasting {
    SoftLasting() : record() {}
    ~SoftLasting() {}
    Record record;
};

// Asks for the whole 2 MiB pages inside a large block of memory to be huge
// pages, so that fresh memory is faulted in 2 MiB at a time, not 4 KiB (a
// screenshot's new surface at 3840 x 2160 takes thousands of faults as the
// grab first writes it; bench/README.md has the figures). Only advice: where
// the system will not, nothing changes. Heap blocks and surfaces' pixels ask
// it.
void SoftAdviseHugePages(void* memory, size_t bytes);

// Whether two names are the same but for case, as Windows compares module,
// class and device names.
bool SoftSameNameIgnoringCase(const char* a, const char* b);

// True when the operation is to fail now; *result is what it returns.
// Operations with an argument that picks a target also ask under
// "Operation argument", so a test can fail just that one: "LoadLibraryA
// DDRAW.DLL" (module names in capitals), "GetProcAddress DirectDrawCreateEx".
bool SoftFault(SoftOp operation, int64_t* result);
bool SoftFault(SoftOp operation, const char* argument, int64_t* result);

// The same, with the answer in the operation's own result type.
template <typename Result>
bool SoftFaulted(SoftOp operation, Result* result) {
    int64_t injected;
    if (!SoftFault(operation, &injected)) return false;
    *result = static_cast<Result>(injected);
    return true;
}

// For operations whose failure needs no particular answer.
inline bool SoftFaulted(SoftOp operation) {
    int64_t ignored;
    return SoftFault(operation, &ignored);
}

// Milliseconds of the host's clock, wrapping as Windows' tick count does:
// the time of messages and input events.
DWORD SoftTickCount();

// ---- COM ------------------------------------------------------------------

constexpr GUID kSoftIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline bool SoftSameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// QueryInterface of an object with one interface, `iid`: the object itself,
// with a reference more, for that or IUnknown; E_NOINTERFACE for any other.
template <typename Interface>
HRESULT SoftQueryInterface(Interface* object, SoftOp operation, const GUID& iid, REFIID riid, void** ppvObject) {
    if (ppvObject) *ppvObject = nullptr;
    if (HRESULT failed; SoftFaulted(operation, &failed)) return failed;
    if (!ppvObject) return E_POINTER;
    if (!SoftSameGuid(riid, kSoftIidUnknown) && !SoftSameGuid(riid, iid)) return E_NOINTERFACE;
    object->AddRef();
    *ppvObject = object;
    return S_OK;
}

// Release of an object that its library lists in `live`: the last reference
// takes it off the list and deletes it.
template <typename Object>
ULONG SoftRelease(Object* object, std::vector<Object*>& live) {
    if (--object->refs > 0) return object->refs;
    std::erase(live, object);
    delete object;
    return 0;
}

// ---- damage ---------------------------------------------------------------

// What may have been written to a surface since it was last entirely one
// colour: every pixel outside `area` holds `colour`. Every write through the
// GDI or DirectDraw widens the area to take it in; a fill of the whole surface
// empties it. Colour fills and presents use it to touch only what changed.
struct SoftDamage {
    // Empty: left and top above right and bottom, so that widening it needs
    // no test.
    RECT area = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    uint32_t colour = 0;

    bool Empty() const { return area.left >= area.right || area.top >= area.bottom; }
    void Add(LONG left, LONG top, LONG right, LONG bottom) {
        area.left = std::min(area.left, left);
        area.top = std::min(area.top, top);
        area.right = std::max(area.right, right);
        area.bottom = std::max(area.bottom, bottom);
    }
    void Add(const RECT& rect) { Add(rect.left, rect.top, rect.right, rect.bottom); }
    // The surface is now all `pixel`.
    void Clear(uint32_t pixel) {
        *this = SoftDamage{};
        colour = pixel;
    }
};

// Tests and benchmarks only: off, colour fills rewrite all they cover and
// every present copies the whole frame, as if nothing were known of what
// changed (on at start). The frames must come out the same either way.
void SoftDamageTracking(bool on);

// ---- gdi ------------------------------------------------------------------

// A device context over 32-bit X8R8G8B8 memory: `width` x `height` pixels,
// `pitch` bytes from one row to the next. DeleteDC ends it; the memory stays
// the caller's. Where `damage` is given, every pixel drawn widens it.
HDC SoftSurfaceDcCreate(void* pixels, int width, int height, int pitch, SoftDamage* damage = nullptr);

// Fills `count` 32-bit pixels with one value: the one fill of the layer's
// drawing, its clears and its spans.
void SoftFillPixels(uint32_t* run, size_t count, uint32_t pixel);

// ---- between the layer's libraries ----------------------------------------

// Drains the host's events into the layer, each to the display, the window
// and DirectInput in the order user.cpp's HostEventArrived gives. PeekMessageA
// runs it.
void SoftPumpHostEvents();

// The exclusive display loses the focus (every surface is lost: its pixels are
// gone) or gets it again (surfaces can be restored).
void SoftDisplayFocus(bool active);

// The window that has the focus, or null.
HWND SoftActiveWindow();

// Queues a message for no window, as a thread message is (WM_QUIT, which
// PostQuitMessage posts, is one): what other code in a process can put in
// the queue the runtime pumps.
void SoftPostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam);

// ---- user -----------------------------------------------------------------

// Display devices, as Windows enumerates them. The runtime reaches this
// through GetProcAddress on "User32.DLL", as it must on Windows.
BOOL WINAPI EnumDisplayDevicesA(LPCSTR lpDevice, DWORD iDevNum, PDISPLAY_DEVICEA lpDisplayDevice, DWORD dwFlags);

// Puts the user library back as a process starts: no window class, window or
// message, the host has the focus, no key is down, the cursor shows with a
// count of 0 and is not clipped, and the device contexts given out are
// released. Window handles given out before stay refused.
void SoftUserReset();

// Whether the user library knows this window.
bool SoftWindowExists(HWND hwnd);
// The window of another program's (SoftForeignWindow) that this window is,
// or is a child of; null for none.
HWND SoftForeignWindowOf(HWND hwnd);

// ---- ddraw ----------------------------------------------------------------

// The entry point that LoadLibraryA("DDRAW.DLL") and GetProcAddress give out.
HRESULT WINAPI DirectDrawCreateEx(GUID* lpGUID, LPVOID* lplpDD, REFIID iid, IUnknown* pUnkOuter);

// What every pixel of a lost surface holds once the loss has taken its picture.
constexpr uint32_t kSoftLostSurfacePixel = 0x00FF00FF;

// ---- input ----------------------------------------------------------------

struct HostEvent;
// Every host event but the close request, last (see SoftPumpHostEvents):
// keys and the mouse feed the DirectInput devices, focus changes unacquire the
// foreground devices.
void SoftInputEvent(const HostEvent& event);

// The entry point that LoadLibraryA("DINPUT.DLL") and GetProcAddress give out.
HRESULT WINAPI DirectInputCreateEx(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut,
                                   IUnknown* punkOuter);

// Forgets the keys and mouse buttons held down, as a process starts; devices
// and objects stay.
void SoftInputReset();

// ---- for the inspectors (inspect.cpp) -------------------------------------

// Each library's one accessor: a copy of what its record holds that only tests
// and tools read. The kernel: the live heaps with the blocks each holds, and
// how often each built-in module (kSoftModules) is loaded.
struct SoftKernelView {
    std::map<HANDLE, size_t> heapBlocks;
    const int* moduleLoads;
};
SoftKernelView SoftKernelViewNow();

// The GDI: pens and brushes (stock objects not counted) and device contexts,
// and the pen and brush selected into `dc` (null for one it does not know).
struct SoftGdiView {
    int objects, dcs;
    HGDIOBJ pen, brush;
};
SoftGdiView SoftGdiViewNow(HDC dc);

// The user library: ShowCursor's count, ClipCursor's rectangle while it
// confines the cursor, and `hwnd`'s state (known: whether it knows the window).
struct SoftUserView {
    int cursorCount;
    bool cursorClipped, known, visible;
    RECT cursorClip, rect;
    std::string title;
};
SoftUserView SoftUserViewNow(HWND hwnd);

// DirectDraw: objects, surfaces of all of them, clippers, and the display's
// cooperative level.
struct SoftDirectDrawView {
    int objects, surfaces, clippers;
    DWORD level;
};
SoftDirectDrawView SoftDirectDrawViewNow();

// WinMM: the timer periods begun and not yet ended.
std::vector<UINT> SoftTimerPeriodsNow();

// DirectInput: objects, and devices of all of them.
struct SoftDirectInputView {
    int objects, devices;
};
SoftDirectInputView SoftDirectInputViewNow();
