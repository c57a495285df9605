// The exclusive full-screen display: its one record, opening and closing a
// mode with a flipping pair of surfaces, clearing, presenting frames, the
// popup window that owns the display and its focus; or, for a screen saver,
// the same in a window of another program's.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/object_table.h"
#include "core/types.h"
#include "platform/win32.h"

// Run when the display loses the focus (the sprites' backup).
typedef void (*ScreenHookRoutine)();

// Shows the finished frame: ScreenPresent once a screen is open.
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
    HWND window;    // the display's popup window
    int32_t windowCreated;
    IDirectDraw7* displayObject;  // null until DirectDraw is loaded
    int32_t displayUseCount;      // DisplaySystemAcquire's uses not yet released
    HMODULE displayLibrary;       // DDRAW.DLL, while displayObject lives
    IDirectDrawSurface7* frontSurface;
    IDirectDrawSurface7* backBuffer;
    IDirectDrawSurface7* drawSurface;  // borrowed: the back buffer or a sprite's surface
    int32_t screenWidth;               // 0: no screen open
    int32_t screenHeight;
    int32_t drawWidth;  // the draw surface's size
    int32_t drawHeight;
    int32_t depth;                // bits a pixel of the open mode
    PixelFormatCode pixelFormat;  // the mode's channel order, as PixelFormatDetect read it
    int32_t refreshRate;          // 0: the adapter's default
    DWORD monitorFrequency;       // what DirectDraw reported once the mode was set
    int32_t active;               // 1 while the display window has the focus
    ScreenHookRoutine focusLossHook;
    int32_t backedUp;                     // 1 once the hook ran for this focus loss
    ScreenPresentRoutine presentRoutine;  // set when a screen opens
    int32_t frameRateLimit;               // frames a second; 0: none
    int32_t ticksPerFrame;                // of the performance counter, at that limit
    int32_t lastCounter;                  // the counter's low 32 bits at the last paced frame
    ObjectTable* spriteTable;
    DDBLTFX fillEffects;             // ScreenClear's fill
    DDSURFACEDESC2 lockDescription;  // the last lock of a screen surface
    // 0: nothing held; -1: the back buffer is locked; otherwise the back
    // buffer's device context, held.
    intptr_t backBufferAccess;
    DDCOLORKEY spriteColourKey;  // black: a grabbed sprite's transparent colour
    // 1 while the 1 ms timer period that an open begins is held, so that a
    // close after a failed open ends none.
    int32_t timerPeriodHeld;
    // Why the screen cannot be shown; none once an open succeeds. For a mode
    // that cannot be set, the system's reason where it gave one (the last
    // error), or ERROR_SUCCESS.
    ScreenFailure failure;
    DWORD failureReason;
    // Another program's window to show in instead of the exclusive display
    // (a screen saver's), or null; the display window is then its child.
    HWND parentWindow;
    IDirectDrawClipper* clipper;  // the primary surface's, in that window
    int32_t windowGone;           // 1 once that window went, or a close came
};

// The display library's one record.
extern ScreenRecord ScreenState;

// backBufferAccess while the back buffer is locked.
constexpr intptr_t kBackBufferLocked = -1;

// ---- set-up, open and close -----------------------------------------------

// Clears a DirectDraw record and sets its dwSize, as DirectDraw asks.
template <typename Record>
void ZeroWithSize(Record& record) {
    std::memset(&record, 0, sizeof(record));
    record.dwSize = sizeof(record);
}

// The window, the keyboard and DirectDraw, once: the sprite table, or null
// with the step that failed in `failure`.
ObjectTable* ScreenSetUp();
// Releases the screen and DirectDraw again, if set-up got that far.
void ScreenShutDown();
// Closes the screen, lets DirectDraw go whatever uses are left, and puts the
// record back as a new process has it.
void ScreenForget();
// Takes the display exclusively in that mode with a front surface and a back
// buffer, both black; 1, or 0 with `failure` and `failureReason` set.
int32_t ScreenOpen(int32_t width, int32_t height, int32_t depth, const char* title);
// Gives the mode back, and the 1 ms timer period its open began.
void ScreenClose();

// ---- in another program's window ------------------------------------------

// Shows the screen in `parent`, a window of another program's, instead of
// taking the display: called before the set-up, which makes the display
// window its child.
void ScreenUseWindow(HWND parent);
// The open in `parent`: the display window covers it, and DirectDraw, at the
// normal cooperative level, copies the back buffer into it through a clipper.
int32_t ScreenOpenInWindow(int32_t width, int32_t height, int32_t depth, const char* title);
// A new size of `parent` gets a back buffer of that size, black.
void ScreenFollowWindowSize();
// The present in `parent`, at the vertical blank; nothing once it has gone.
void ScreenPresentInWindow(int32_t mode);
// 1 once `parent` has gone, or the display window was asked to close.
int32_t ScreenWindowGone();
// Fills the draw surface with a 0x00BBGGRR colour (a palette index at 8 bits).
void ScreenClear(ColorValue colour);
// Packs 8-bit components as the open mode's pixels hold them.
uint32_t PixelFromColor(int32_t red, int32_t green, int32_t blue);
// Reads the front surface's channel masks into `pixelFormat`.
void PixelFormatDetect();
// The DirectDraw object, loaded on first use, with one use more counted.
IDirectDraw7* DisplaySystemAcquire();
// Counts a use less; the last one frees DirectDraw and its library.
void DisplaySystemRelease();
// Frees the sprites and surfaces, ends any access to the back buffer, gives
// up the exclusive level and hides the window.
void ScreenRelease();
// Titles, moves and sizes the display window; null where there is none.
HWND DisplayWindowPlace(int32_t x, int32_t y, int32_t width, int32_t height, const char* title);
// The flipping pair: the primary surface with one attached back buffer.
int32_t ScreenSurfacesCreate();
// Both surfaces black; drawing goes to the back buffer.
void ScreenBuffersClear();
// Fills the surface black through its device context.
void SurfaceClearBlack(IDirectDrawSurface7* surface);

// ---- flip and pacing ------------------------------------------------------

// Flip mode bits: 1 waits for the vertical blank, 2 first waits for the beam
// to reach the lower part of the screen.
constexpr int32_t kFlipWaitVerticalBlank = 1;
constexpr int32_t kFlipWaitScanLine = 2;

// Ends drawing on the frame and shows it through `presentRoutine`; drawing
// then goes to the back buffer.
void ScreenFlip(int32_t mode = kFlipWaitVerticalBlank);
// Pumps the window's messages, flips while the display is active (bringing a
// lost display back), then keeps to the frame-rate limit, if any.
void ScreenPresent(int32_t mode);
// Draws on the back buffer (-1) or on sprite `number`'s surface.
IDirectDrawSurface7* ScreenBufferSelect(intptr_t number);
// Limits the frames a second by the performance counter (0: no limit).
int32_t ScreenFrameRateSet(int32_t rate);
// Waits for the frame-rate limit's next frame; the counter's polls.
int32_t ScreenFramePace();

// ---- window and focus -----------------------------------------------------

// The display's popup window, registered and made once; 1 once it exists.
int32_t DisplayWindowCreate();
// Tracks the focus (running the focus-loss hook) and keeps the window as it is.
LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM first, LPARAM second);
// 1 while the display window is active.
int32_t ScreenHasFocus();
