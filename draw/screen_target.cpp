#include "draw/screen_target.h"

#include "display/screen.h"

namespace {

// Refilled by every ScreenDrawTarget that succeeds; its window stays 0.
DrawTarget ScreenTarget;

HDC HeldDc() { return reinterpret_cast<HDC>(ScreenState.backBufferAccess); }

void Hold(HDC dc) { ScreenState.backBufferAccess = reinterpret_cast<intptr_t>(dc); }

// Gives the held device context back and locks the whole back buffer in its
// place, with these lock flags.
uint8_t* LockInPlaceOfDc(DWORD flags) {
    if (!ScreenState.backBuffer) return nullptr;
    ScreenState.backBuffer->ReleaseDC(HeldDc());
    HRESULT locked = ScreenState.backBuffer->Lock(nullptr, &ScreenState.lockDescription, flags, nullptr);
    ScreenState.backBufferAccess = kBackBufferLocked;
    // A refused lock leaves the last lock's description behind: forget its
    // address, so that no target carries pixels it was never given.
    if (locked != DD_OK) ScreenState.lockDescription.lpSurface = nullptr;
    return static_cast<uint8_t*>(ScreenState.lockDescription.lpSurface);
}

}  // namespace

DrawTarget* ScreenDrawTarget() {
    if (ScreenState.backBufferAccess != 0 || !ScreenState.backBuffer) return nullptr;
    HDC dc = nullptr;
    if (ScreenState.backBuffer->GetDC(&dc) != DD_OK) return nullptr;
    Hold(dc);
    // Locking once records the pixel address, pitch and size for the target;
    // the lock has ended again by the time the target is given out. Nothing
    // is written under it, and the lock says so: a display then need not
    // count the whole buffer as drawn on in every frame.
    LockInPlaceOfDc(DDLOCK_WAIT | DDLOCK_READONLY);
    Hold(ScreenDcAcquire());
    ScreenPixelInfoFill(&ScreenTarget);
    ScreenTarget.dc = HeldDc();
    ScreenTarget.release = ScreenDcRelease;
    ScreenTarget.reacquire = ScreenDcAcquire;
    ScreenTarget.lockPixels = ScreenPixelsLock;
    return &ScreenTarget;
}

// Direct pixel access, which writes.
uint8_t* ScreenPixelsLock() { return LockInPlaceOfDc(DDLOCK_WAIT); }

HDC ScreenDcAcquire() {
    if (ScreenState.backBufferAccess != kBackBufferLocked || !ScreenState.backBuffer) return HeldDc();
    ScreenState.backBuffer->Unlock(nullptr);
    HDC dc = nullptr;
    if (ScreenState.backBuffer->GetDC(&dc) != DD_OK) dc = nullptr;
    Hold(dc);
    return dc;
}

void ScreenDcRelease() {
    if (!ScreenState.backBuffer) {
        // The screen closed while the buffer was held: nothing is left to give back.
    } else if (ScreenState.backBufferAccess == kBackBufferLocked) {
        ScreenState.backBuffer->Unlock(nullptr);
    } else if (ScreenState.backBufferAccess != 0) {
        ScreenState.backBuffer->ReleaseDC(HeldDc());
    }
    ScreenState.backBufferAccess = 0;
}

void ScreenPixelInfoFill(DrawTarget* target) {
    const DDSURFACEDESC2& locked = ScreenState.lockDescription;
    target->kind = kDrawTargetSurface;
    target->pixels = static_cast<uint8_t*>(locked.lpSurface);
    target->pitch = locked.lPitch;
    target->width = static_cast<int32_t>(locked.dwWidth);
    target->height = static_cast<int32_t>(locked.dwHeight);
    target->depth = ScreenState.depth;
    target->pixelFormat = ScreenState.pixelFormat;
}
