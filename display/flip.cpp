// Presenting a finished frame: ending access to the back buffer, pumping the
// window's messages, flipping at the vertical blank, and bringing a lost
// display back. Also the choice of draw surface and an optional frame-rate
// limit on the performance counter.
#include "display/screen.h"
#include "draw/screen_target.h"
#include "sprite/store.h"

namespace {

constexpr DWORD kExclusiveFullScreen = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE;

void PumpMessages() {
    MSG message;
    // Every message is dispatched, a quit request included: nothing here ends.
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Waits, at raised priority, until the beam has reached the last 150 lines.
void WaitForScanLine() {
    HANDLE thread = GetCurrentThread();
    int priority = GetThreadPriority(thread);
    SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
    // A draw height below 150 wraps the threshold to a huge unsigned number.
    DWORD threshold = DWORD(ScreenState.drawHeight) - 150;
    DWORD line = 0;
    while (ScreenState.displayObject->GetScanLine(&line) == DD_OK && line < threshold) Sleep(1);
    SetThreadPriority(thread, priority);
}

void RecoverLostDisplay() {
    IDirectDraw7* display = ScreenState.displayObject;
    display->SetCooperativeLevel(ScreenState.window, kExclusiveFullScreen);
    display->SetDisplayMode(DWORD(ScreenState.drawWidth), DWORD(ScreenState.drawHeight), DWORD(ScreenState.depth),
                            DWORD(ScreenState.refreshRate), 0);
    display->RestoreAllSurfaces();
    ShowWindow(ScreenState.window, SW_SHOWMAXIMIZED);
    SpriteRestoreAll();
    if (ScreenState.depth == 8) {
        LPDIRECTDRAWPALETTE palette = nullptr;
        if (ScreenState.frontSurface->GetPalette(&palette) == DD_OK) {
            ScreenState.frontSurface->SetPalette(palette);
            palette->Release();
        }
    }
}

}  // namespace

void ScreenFlip(int32_t mode) {
    ScreenDcRelease();
    ScreenBufferSelect(-1);
    if (ScreenState.presentRoutine) ScreenState.presentRoutine(mode);
    ScreenState.drawSurface = ScreenState.backBuffer;
}

IDirectDrawSurface7* ScreenBufferSelect(intptr_t number) {
    if (number == -1) {
        ScreenState.drawSurface = ScreenState.backBuffer;
        ScreenState.drawWidth = ScreenState.screenWidth;
        ScreenState.drawHeight = ScreenState.screenHeight;
        return ScreenState.drawSurface;
    }
    auto* sprite = static_cast<SpriteRecord*>(ObjectTableGet(ScreenState.spriteTable, number));
    if (sprite && sprite->depth != kSpriteInMemory) {
        ScreenState.drawSurface = SpriteSurface(sprite);
        ScreenState.drawWidth = sprite->bufferWidth;
        ScreenState.drawHeight = sprite->bufferHeight;
    }
    return ScreenState.drawSurface;
}

void ScreenPresent(int32_t mode) {
    PumpMessages();
    if (ScreenState.active && ScreenState.frontSurface) {
        DWORD flags = (mode & kFlipWaitVerticalBlank) ? DDFLIP_WAIT : DDFLIP_WAIT | DDFLIP_NOVSYNC;
        if (mode & kFlipWaitScanLine) WaitForScanLine();
        // The frame that met the lost display is not flipped again.
        if (ScreenState.frontSurface->Flip(nullptr, flags) == DDERR_SURFACELOST) RecoverLostDisplay();
    }
    if (ScreenState.frameRateLimit != 0 && ScreenState.monitorFrequency != DWORD(ScreenState.refreshRate)) {
        ScreenFramePace();
    }
}

// A copy does not wait for the vertical blank, so the present asks
// DirectDraw to wait first. The window's size is then followed.
void ScreenPresentInWindow(int32_t mode) {
    PumpMessages();
    if (!IsWindow(ScreenState.parentWindow)) ScreenState.windowGone = 1;
    if (ScreenState.windowGone || !ScreenState.frontSurface) return;
    IDirectDraw7* display = ScreenState.displayObject;
    if (mode & kFlipWaitVerticalBlank) display->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    POINT origin = {0, 0};
    ClientToScreen(ScreenState.window, &origin);
    RECT target = {origin.x, origin.y, origin.x + ScreenState.screenWidth, origin.y + ScreenState.screenHeight};
    if (ScreenState.frontSurface->Blt(&target, ScreenState.backBuffer, nullptr, DDBLT_WAIT, nullptr) ==
        DDERR_SURFACELOST) {
        display->RestoreAllSurfaces();
    }
    ScreenFollowWindowSize();
}

// A rate below 0 is refused (0, nothing changed): there is no such limit.
int32_t ScreenFrameRateSet(int32_t rate) {
    if (rate < 0) return 0;
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency)) return 0;
    ScreenState.frameRateLimit = rate;
    ScreenState.ticksPerFrame = static_cast<int32_t>(frequency.QuadPart / (int64_t{rate} + 1));
    ScreenState.lastCounter = 0;
    return 1;
}

// A busy wait on the counter's low 32 bits, without sleeping.
int32_t ScreenFramePace() {
    int32_t polls = 0;
    for (;;) {
        LARGE_INTEGER counter;
        while (!QueryPerformanceCounter(&counter)) {
        }
        auto now = static_cast<int32_t>(static_cast<uint32_t>(counter.QuadPart));
        int32_t& last = ScreenState.lastCounter;
        // Where the low 32 bits wrapped since the last reading, start afresh.
        if ((now < 0 && last >= 0) || (now > 0 && last <= 0)) last = now;
        if (static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(last)) > ScreenState.ticksPerFrame) {
            last = now;
            return polls;
        }
        ++polls;
    }
}
