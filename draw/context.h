// The one drawing context: bound to a place to draw on between DrawBegin and
// DrawEnd, it keeps a known pen, brush, colour and mode, so that each shape
// changes only what differs for its own colour.
#pragma once

#include <cstdint>

#include "core/types.h"
#include "platform/win32.h"

typedef void (*DrawReleaseRoutine)();
typedef HDC (*DrawReacquireRoutine)();
typedef uint8_t* (*DrawLockRoutine)();

// Kinds of target. 1: a window, drawn through GetDC and ReleaseDC. 2, 5 and
// 7: a device context lent with the routine that gives it back; 7 carries
// the surface's pixel information too. Any other kind: a device context that
// the drawing context owns and DrawEnd deletes.
constexpr int32_t kDrawTargetWindow = 1;
constexpr int32_t kDrawTargetSurface = 7;

// A place to draw on, filled by its producer. DrawBegin copies what it keeps.
struct DrawTarget {
    int32_t kind;
    HWND window;
    HDC dc;
    DrawReleaseRoutine release;
    uint8_t* pixels;
    int32_t pitch;
    int32_t width;
    int32_t height;
    int32_t depth;
    PixelFormatCode pixelFormat;
    DrawReacquireRoutine reacquire;
    DrawLockRoutine lockPixels;
};

// Mode flags of DrawModeSet.
enum DrawModeFlags : uint32_t {
    kDrawTransparent = 1,  // transparent background
    kDrawInvert = 2,       // every pixel drawn is inverted
    kDrawOutline = 4,      // shapes are not filled
};

struct DrawContext {
    HDC dc;  // 0: idle
    ColorValue frontColour;
    uint32_t mode;
    int32_t dcMarker;  // 1: dc held; -1: given back for direct pixel access
    ColorValue backColour;
    HBRUSH fillBrush;
    HBRUSH defaultBrush;
    HPEN defaultPen;
    HBRUSH savedBrush;
    HPEN savedPen;
    // What DrawEnd and DrawDcReacquire need of the bound target: its kind,
    // window and release, and for kind 7 its pixel information and routines.
    DrawTarget target;
};

extern DrawContext DrawState;

// Once, before any other drawing operation: the default black pen and brush.
void DrawSetUp();

// Binds the context to `target` (which may be null), ending any drawing
// first. Gives the bound device context, or 0 when nothing is bound.
HDC DrawBegin(const DrawTarget* target);

// Unbinds the context and gives the device context back.
void DrawEnd();
// Ends any drawing and deletes the default pen and brush: the context as a
// new process has it.
void DrawForget();

void DrawModeSet(uint32_t flags);

// Gets the device context back after it was given up for direct pixel
// access; the first step of every drawing call.
void DrawDcReacquire();
