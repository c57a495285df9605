// The exclusive full-screen display: its one record, opening and closing a
// mode with a flipping pair of surfaces, clearing, presenting frames, the
// popup window that owns the display and its focus.
#pragma once

#include <cstdint>

#include "core/object_table.h"
#include "core/types.h"
#include "platform/win32.h"

typedef void (*ScreenHookRoutine)();

typedef void (*ScreenPresentRoutine)(int32_t mode);

// The step that kept the screen from being shown: of the set-up, or of the
// last ScreenOpen.
enum ScreenFailure : int32_t {
    kScreenFailureNone,
    kScreenNoWindow,
    kScreenNoInputSystem,  // DirectInput could not be loaded
    kScreenNoKeyboard,
    kScreenNoDisplaySystem,  // DirectDraw could not be loaded
    kScreenNoMode,           // the exclusive mode, the display mode or the surfaces were refused
};

struct ScreenRecord {
    int32_t setUp;  // 1 once set-up got past the window and the keyboard
    HWND window;
    int32_t windowCreated;
    IDirectDraw7* displayObject;
    int32_t displayUseCount;
    HMODULE displayLibrary;
    IDirectDrawSurface7* frontSurface;
    IDirectDrawSurface7* backBuffer;
    IDirectDrawSurface7* drawSurface;  // borrowed: the back buffer or a sprite's surface
    int32_t screenWidth;               // 0: no screen open
    int32_t screenHeight;
    int32_t drawWidth;
    int32_t drawHeight;
    int32_t depth;
    PixelFormatCode pixelFormat;
    int32_t refreshRate;  // 0: the adapter's default
    DWORD monitorFrequency;
    int32_t active;
    ScreenHookRoutine focusLossHook;
    int32_t backedUp;
    ScreenPresentRoutine presentRoutine;
    int32_t frameRateLimit;
    int32_t ticksPerFrame;
    int32_t lastCounter;
    ObjectTable* spriteTable;
    DDBLTFX fillEffects;
    DDSURFACEDESC2 lockDescription;
    // 0: nothing held; -1: the back buffer is locked; otherwise the back
    // buffer's device context, held.
    intptr_t backBufferAccess;
    DDCOLORKEY spriteColourKey;
    // 1 while the 1 ms timer period that an open begins is held, so that a
    // close after a failed open ends none.
    int32_t timerPeriodHeld;
    // Why the screen cannot be shown; none once an open succeeds. For a mode
    // that cannot be set, the system's reason where it gave one (the last
    // error), or ERROR_SUCCESS.
    ScreenFailure failure;
    DWORD failureReason;
};

extern ScreenRecord ScreenState;

constexpr intptr_t kBackBufferLocked = -1;

// ---- set-up, open and close -----------------------------------------------

ObjectTable* ScreenSetUp();
void ScreenShutDown();
int32_t ScreenOpen(int32_t width, int32_t height, int32_t depth, const char* title);
void ScreenClose();
void ScreenClear(ColorValue colour);
uint32_t PixelFromColor(int32_t red, int32_t green, int32_t blue);
void PixelFormatDetect();
IDirectDraw7* DisplaySystemAcquire();
void DisplaySystemRelease();
void ScreenRelease();
HWND DisplayWindowPlace(int32_t x, int32_t y, int32_t width, int32_t height, const char* title);
int32_t ScreenSurfacesCreate();
void ScreenBuffersClear();
void SurfaceClearBlack(IDirectDrawSurface7* surface);

// ---- flip and pacing ------------------------------------------------------

// Flip mode bits: 1 waits for the vertical blank, 2 first waits for the beam
// to reach the lower part of the screen.
constexpr int32_t kFlipWaitVerticalBlank = 1;
constexpr int32_t kFlipWaitScanLine = 2;

void ScreenFlip(int32_t mode = kFlipWaitVerticalBlank);
void ScreenPresent(int32_t mode);
IDirectDrawSurface7* ScreenBufferSelect(intptr_t number);
int32_t ScreenFrameRateSet(int32_t rate);
int32_t ScreenFramePace();

// ---- window and focus -----------------------------------------------------

int32_t DisplayWindowCreate();
LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM first, LPARAM second);
int32_t ScreenHasFocus();
