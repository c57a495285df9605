// Setting the display up, opening a full-screen mode with its flipping pair of
// surfaces, clearing, and closing it again.
#include "display/screen.h"

#include <cstring>

#include "core/guids.h"
#include "core/routines.h"
#include "draw/context.h"
#include "draw/screen_target.h"
#include "input/input.h"
#include "sprite/store.h"

ScreenRecord ScreenState;

namespace {

typedef HRESULT(WINAPI* DirectDrawCreateExRoutine)(GUID* device, LPVOID* object, REFIID iid, IUnknown* outer);

constexpr DWORD kExclusiveFullScreen = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE;

void LoadDisplayObject() {
    ScreenState.displayLibrary = LoadLibraryA("DDRAW.DLL");
    if (ScreenState.displayLibrary) {
        FARPROC entry = GetProcAddress(ScreenState.displayLibrary, "DirectDrawCreateEx");
        if (entry) {
            auto create = reinterpret_cast<DirectDrawCreateExRoutine>(reinterpret_cast<void (*)()>(entry));
            create(nullptr, reinterpret_cast<LPVOID*>(&ScreenState.displayObject), kIidDirectDraw7, nullptr);
        }
    }
    if (!ScreenState.displayObject && ScreenState.displayLibrary) {
        FreeLibrary(ScreenState.displayLibrary);
        ScreenState.displayLibrary = nullptr;
    }
}

void FreeEverySprite() {
    ObjectTable* sprites = ScreenState.spriteTable;
    intptr_t id = 0;
    ObjectTableIterStart(sprites);
    while (ObjectTableIterNext(sprites, &id)) SpriteFree(id);
}

PixelFormatCode FormatCode(int32_t depth, DWORD redMask, DWORD greenMask) {
    if (depth == 32) return redMask == 0xFF ? 6 : 7;
    if (depth == 24) return redMask == 0xFF ? 4 : 5;
    if (depth == 16) return greenMask == 0x07E0 ? 3 : 2;
    return 1;
}

ObjectTable* SetUpFailed(ScreenFailure failure) {
    ScreenState.failure = failure;
    return nullptr;
}

// An open that failed keeps the system's reason and lets go of what it
// made. A set-up that failed left no window or no display object: its step
// is the reason.
int32_t OpenFailed(HWND window) {
    ScreenState.failureReason = GetLastError();
    ScreenRelease();
    if (ScreenState.failure == kScreenFailureNone) ScreenState.failure = window ? kScreenNoMode : kScreenNoWindow;
    return 0;
}

// What every open does once its picture is black: its frames go through
// `present`, and the 1 ms timer period begins.
int32_t Opened(ScreenPresentRoutine present) {
    ScreenState.failure = kScreenFailureNone;
    ScreenState.failureReason = ERROR_SUCCESS;
    ScreenState.displayObject->GetMonitorFrequency(&ScreenState.monitorFrequency);
    PixelFormatDetect();
    ScreenState.active = 1;
    ScreenState.presentRoutine = present;
    timeBeginPeriod(1);
    ScreenState.timerPeriodHeld = 1;
    return 1;
}

}  // namespace

ObjectTable* ScreenSetUp() {
    ScreenState.spriteColourKey.dwColorSpaceLowValue = 0;
    ScreenState.spriteColourKey.dwColorSpaceHighValue = 0;
    ZeroWithSize(ScreenState.fillEffects);
    ZeroWithSize(ScreenState.lockDescription);
    ScreenState.refreshRate = 0;
    ScreenState.frameRateLimit = 0;
    ScreenState.backBufferAccess = 0;
    ScreenState.spriteTable = ObjectTableCreate(sizeof(SpriteRecord), 64, SpriteFree);
    if (!DisplayWindowCreate()) return SetUpFailed(kScreenNoWindow);
    // The start-up chain sets the keyboard up once more; each call is a use.
    if (!KeyboardSetUp()) return SetUpFailed(InputSystem.object ? kScreenNoKeyboard : kScreenNoInputSystem);
    ScreenState.setUp = 1;
    if (!DisplaySystemAcquire()) return SetUpFailed(kScreenNoDisplaySystem);
    return ScreenState.spriteTable;
}

void ScreenShutDown() {
    if (!ScreenState.setUp) return;
    ScreenRelease();
    DisplaySystemRelease();
}

void ScreenForget() {
    ScreenClose();
    ScreenRelease();
    if (ScreenState.displayObject) {
        ScreenState.displayUseCount = 1;
        DisplaySystemRelease();
    }
    ScreenState = {};
}

IDirectDraw7* DisplaySystemAcquire() {
    if (!ScreenState.displayObject) LoadDisplayObject();
    ++ScreenState.displayUseCount;
    return ScreenState.displayObject;
}

void DisplaySystemRelease() {
    --ScreenState.displayUseCount;
    if (ScreenState.displayObject && ScreenState.displayUseCount == 0) {
        ScreenState.displayObject->Release();
        FreeLibrary(ScreenState.displayLibrary);
        ScreenState.displayObject = nullptr;
        ScreenState.displayLibrary = nullptr;
    }
}

int32_t ScreenOpen(int32_t width, int32_t height, int32_t depth, const char* title) {
    if (ScreenState.parentWindow) return ScreenOpenInWindow(width, height, depth, title);
    // Sizes and depth are 16-bit values throughout.
    width = static_cast<int16_t>(width);
    height = static_cast<int16_t>(height);
    depth = static_cast<int16_t>(depth);
    ScreenClose();
    ScreenState.focusLossHook = SpriteBackupAll;

    HWND window = DisplayWindowPlace(0, 0, width, height, title);
    bool opened = false;
    if (window) {
        ScreenState.screenWidth = ScreenState.drawWidth = width;
        ScreenState.screenHeight = ScreenState.drawHeight = height;
        ScreenState.depth = depth;
        ShowCursor(FALSE);
        IDirectDraw7* display = ScreenState.displayObject;
        SetLastError(ERROR_SUCCESS);
        opened = display && display->SetCooperativeLevel(window, kExclusiveFullScreen) == DD_OK &&
                 display->SetDisplayMode(DWORD(width), DWORD(height), DWORD(depth), DWORD(ScreenState.refreshRate),
                                         0) == DD_OK &&
                 ScreenSurfacesCreate();
    }
    if (!opened) return OpenFailed(window);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    ScreenBuffersClear();
    return Opened(ScreenPresent);
}

void ScreenClose() {
    if (ScreenState.screenWidth == 0) return;
    if (ScreenState.timerPeriodHeld) timeEndPeriod(1);
    ScreenState.timerPeriodHeld = 0;
    ScreenRelease();
    ScreenState.screenWidth = 0;
    ScreenState.screenHeight = 0;
}

// Drawing on the back buffer, and any access to it still held, end with it:
// a device context or a lock of a buffer that is gone would keep the next
// screen's target from being given out, and a drawing context still bound to
// it would give that target's device context back when it next begins.
void ScreenRelease() {
    if (DrawState.dc && DrawState.target.release == ScreenDcRelease) DrawEnd();
    ScreenDcRelease();
    FreeEverySprite();
    if (ScreenState.displayObject) ScreenState.displayObject->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    if (ScreenState.backBuffer) ScreenState.backBuffer->Release();
    ScreenState.backBuffer = nullptr;
    if (ScreenState.frontSurface) ScreenState.frontSurface->Release();
    ScreenState.frontSurface = nullptr;
    if (ScreenState.clipper) ScreenState.clipper->Release();
    ScreenState.clipper = nullptr;
    ScreenState.drawSurface = nullptr;
    // Only the exclusive display hides the cursor.
    if (ScreenState.window && !ScreenState.parentWindow) ShowCursor(TRUE);
    ShowWindow(ScreenState.window, SW_HIDE);
}

HWND DisplayWindowPlace(int32_t x, int32_t y, int32_t width, int32_t height, const char* title) {
    if (!ScreenState.window) return nullptr;
    SetWindowTextA(ScreenState.window, title);
    MoveWindow(ScreenState.window, x, y, width, height, TRUE);
    return ScreenState.window;
}

int32_t ScreenSurfacesCreate() {
    DDSURFACEDESC2 primary;
    ZeroWithSize(primary);
    primary.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    primary.dwBackBufferCount = 1;
    primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    if (ScreenState.displayObject->CreateSurface(&primary, &ScreenState.frontSurface, nullptr) != DD_OK) return 0;

    DDSCAPS2 back;
    std::memset(&back, 0, sizeof(back));
    back.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE;
    // On failure the front surface stays, for ScreenRelease to release.
    if (ScreenState.frontSurface->GetAttachedSurface(&back, &ScreenState.backBuffer) != DD_OK) return 0;
    return 1;
}

void ScreenBuffersClear() {
    SurfaceClearBlack(ScreenState.backBuffer);
    SurfaceClearBlack(ScreenState.frontSurface);
    ScreenState.drawSurface = ScreenState.backBuffer;
}

void SurfaceClearBlack(IDirectDrawSurface7* surface) {
    HDC dc = nullptr;
    if (surface->GetDC(&dc) != DD_OK) return;
    RECT whole = {0, 0, ScreenState.drawWidth, ScreenState.drawHeight};
    FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    surface->ReleaseDC(dc);
}

// In another program's window the back buffer is read: its primary surface
// is the whole desktop's.
void PixelFormatDetect() {
    IDirectDrawSurface7* surface = ScreenState.parentWindow ? ScreenState.backBuffer : ScreenState.frontSurface;
    if (!surface) return;
    DDSURFACEDESC2& locked = ScreenState.lockDescription;
    if (surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK) return;
    surface->Unlock(nullptr);
    ScreenState.pixelFormat =
        FormatCode(ScreenState.depth, locked.ddpfPixelFormat.dwRBitMask, locked.ddpfPixelFormat.dwGBitMask);
}

// Components are 0 to 255; others are packed all the same, in 64 bits so
// that no product overflows, and cut to the pixel's 32.
uint32_t PixelFromColor(int32_t red, int32_t green, int32_t blue) {
    const int64_t r = red, g = green, b = blue;
    int32_t code = ScreenState.pixelFormat;
    switch (ScreenState.depth) {
        case 15:
            return uint32_t(b / 8 + (g / 8) * 32 + (r / 8) * 1024);
        case 16:
            // 5-6-5, whatever the mode's own layout.
            return uint32_t(b / 8 + (g / 4) * 32 + (r / 8) * 2048);
        case 24:
        case 32:
            if (code == 4 || code == 6) return uint32_t(r + g * 256 + b * 65536);
            return uint32_t(b + g * 256 + r * 65536);
        default:
            return 0;
    }
}

void ScreenClear(ColorValue colour) {
    DWORD fill = colour;
    if (ScreenState.depth > 8) {
        fill = PixelFromColor(int32_t(colour & 0xFF), int32_t(colour >> 8 & 0xFF), int32_t(colour >> 16 & 0xFF));
    }
    ScreenState.fillEffects.dwFillColor = fill;
    if (ScreenState.drawSurface) {
        ScreenState.drawSurface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &ScreenState.fillEffects);
    }
}

// ---- in another program's window ------------------------------------------

namespace {

// An off-screen back buffer of the window's size, in the desktop's format.
bool WindowBackBufferCreate(int32_t width, int32_t height) {
    DDSURFACEDESC2 back;
    ZeroWithSize(back);
    back.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    back.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    back.dwWidth = DWORD(width);
    back.dwHeight = DWORD(height);
    return ScreenState.displayObject->CreateSurface(&back, &ScreenState.backBuffer, nullptr) == DD_OK;
}

// The primary surface alone, its clipper on the display window, and the
// back buffer; what is made stays for ScreenRelease where a step fails.
bool WindowSurfacesCreate(int32_t width, int32_t height) {
    IDirectDraw7* display = ScreenState.displayObject;
    DDSURFACEDESC2 primary;
    ZeroWithSize(primary);
    primary.dwFlags = DDSD_CAPS;
    primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    return display->CreateSurface(&primary, &ScreenState.frontSurface, nullptr) == DD_OK &&
           display->CreateClipper(0, &ScreenState.clipper, nullptr) == DD_OK &&
           ScreenState.clipper->SetHWnd(0, ScreenState.window) == DD_OK &&
           ScreenState.frontSurface->SetClipper(ScreenState.clipper) == DD_OK && WindowBackBufferCreate(width, height);
}

void SetScreenSize(int32_t width, int32_t height) {
    ScreenState.screenWidth = ScreenState.drawWidth = width;
    ScreenState.screenHeight = ScreenState.drawHeight = height;
}

}  // namespace

void ScreenUseWindow(HWND parent) { ScreenState.parentWindow = parent; }

// No mode is set, the cursor is not hidden and the focus does not matter:
// the window and the screen are the other program's. The normal level takes
// no window: DirectDraw wants a top-level one of this process's, and the
// display window is a child of another's.
int32_t ScreenOpenInWindow(int32_t width, int32_t height, int32_t depth, const char* title) {
    ScreenClose();
    ScreenState.focusLossHook = SpriteBackupAll;
    HWND window = DisplayWindowPlace(0, 0, width, height, title);
    IDirectDraw7* display = ScreenState.displayObject;
    SetScreenSize(width, height);
    ScreenState.depth = depth;
    SetLastError(ERROR_SUCCESS);
    const bool opened = window && display && width > 0 && height > 0 &&
                        display->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK &&
                        WindowSurfacesCreate(width, height);
    if (!opened) return OpenFailed(window);
    ShowWindow(window, SW_SHOW);
    SurfaceClearBlack(ScreenState.backBuffer);
    ScreenState.drawSurface = ScreenState.backBuffer;
    return Opened(ScreenPresentInWindow);
}

// Where no back buffer of the new size can be had, the old one stays, and
// the next present tries again.
void ScreenFollowWindowSize() {
    RECT client = {};
    if (!GetClientRect(ScreenState.parentWindow, &client)) return;
    const int32_t width = client.right;
    const int32_t height = client.bottom;
    if (width <= 0 || height <= 0 || (width == ScreenState.screenWidth && height == ScreenState.screenHeight)) return;
    IDirectDrawSurface7* old = ScreenState.backBuffer;
    if (!WindowBackBufferCreate(width, height)) {
        ScreenState.backBuffer = old;
        return;
    }
    old->Release();
    MoveWindow(ScreenState.window, 0, 0, width, height, TRUE);
    SetScreenSize(width, height);
    SurfaceClearBlack(ScreenState.backBuffer);
    ScreenState.drawSurface = ScreenState.backBuffer;
}

int32_t ScreenWindowGone() { return ScreenState.windowGone; }
