// What tests and tools read of the software layer: how many of its objects
// exist, and what a window, the cursor or a device context holds now. The
// library ravlin_soft_inspect (inspect.cpp) defines it over each library's
// accessor (internal.h). Tests, the fuzzer and tools that inspect the layer
// include it and link that library; the program does neither.
#pragma once

#include <cstddef>
#include <string>

#include "platform/soft/win32_soft.h"

// ---- kernel ---------------------------------------------------------------

// Live heaps, and the blocks a heap holds.
size_t SoftHeapCount();
size_t SoftHeapBlockCount(HANDLE heap);
bool SoftHeapAlive(HANDLE heap);

// How many times a built-in module is loaded now (0: not loaded).
int SoftModuleLoadCount(const char* name);

// ---- gdi ------------------------------------------------------------------

#define OBJ_PEN 1
#define OBJ_BRUSH 2

// The pen or brush selected into a device context, as on Windows.
HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type);

// Pens and brushes that exist now, stock objects not counted.
int SoftGdiObjectCount();
// Device contexts that exist now.
int SoftGdiDcCount();

// ---- user -----------------------------------------------------------------

// ShowCursor's display count (the cursor shows while it is 0 or more).
int SoftCursorCount();
// Whether ClipCursor confines the cursor now, and to which rectangle.
bool SoftCursorClip(RECT* clip);

// What the user library holds of a window: false, or empty, for a handle it
// does not know.
bool SoftWindowVisible(HWND hwnd);
bool SoftWindowRect(HWND hwnd, RECT* rect);
std::string SoftWindowTitle(HWND hwnd);

// ---- ddraw ----------------------------------------------------------------

// DirectDraw objects, surfaces of all of them (back buffers included) and
// clippers that exist now.
int SoftDirectDrawObjectCount();
int SoftDirectDrawSurfaceCount();
int SoftDirectDrawClipperCount();
// DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE while an object holds the display
// exclusively, DDSCL_NORMAL otherwise.
DWORD SoftDirectDrawCooperativeLevel();

// ---- winmm ----------------------------------------------------------------

// Timer periods begun with timeBeginPeriod and not yet ended.
int SoftTimerPeriodsBegun();

// ---- dinput ---------------------------------------------------------------

// DirectInput objects, and devices of all of them, that exist now.
int SoftDirectInputObjectCount();
int SoftDirectInputDeviceCount();
