#include "draw/context.h"

#include "core/routines.h"

DrawContext DrawState;

namespace {

bool LendsDc(int32_t kind) { return kind == 2 || kind == 5 || kind == kDrawTargetSurface; }

void CopyTarget(const DrawTarget& from, DrawTarget& to) {
    to.kind = from.kind;
    to.window = from.window;
    to.release = from.release;
    if (from.kind != kDrawTargetSurface) return;
    to.pixels = from.pixels;
    to.pitch = from.pitch;
    to.width = from.width;
    to.height = from.height;
    to.depth = from.depth;
    to.pixelFormat = from.pixelFormat;
    to.reacquire = from.reacquire;
    to.lockPixels = from.lockPixels;
}

void GiveDcBack() {
    const DrawTarget& target = DrawState.target;
    if (target.kind == kDrawTargetWindow) {
        ReleaseDC(target.window, DrawState.dc);
    } else if (LendsDc(target.kind)) {
        if (target.release) target.release();
    } else {
        DeleteDC(DrawState.dc);
    }
}

// The raster operation, brush and background mode of `mode` on the bound dc.
void ApplyMode(uint32_t mode) {
    SetROP2(DrawState.dc, (mode & kDrawInvert) ? R2_NOT : R2_COPYPEN);
    // The brush displaced is the default brush, fillBrush or the stock null
    // brush, all owned elsewhere: it is not deleted.
    SelectObject(DrawState.dc, (mode & kDrawOutline) ? GetStockObject(NULL_BRUSH) : DrawState.fillBrush);
    SetBkMode(DrawState.dc, (mode & kDrawTransparent) ? TRANSPARENT : OPAQUE);
}

}  // namespace

void DrawSetUp() {
    ZeroFill(&DrawState, sizeof(DrawState));
    DrawState.defaultBrush = CreateSolidBrush(0);
    DrawState.defaultPen = CreatePen(PS_SOLID, 0, 0);
}

HDC DrawBegin(const DrawTarget* target) {
    DrawEnd();
    if (!target) return DrawState.dc;
    CopyTarget(*target, DrawState.target);
    DrawState.mode = 0;
    DrawState.dc = target->kind == kDrawTargetWindow ? GetDC(target->window) : target->dc;
    DrawState.dcMarker = 1;
    if (!DrawState.dc) return nullptr;

    SetTextAlign(DrawState.dc, TA_UPDATECP);
    DrawState.savedBrush = static_cast<HBRUSH>(SelectObject(DrawState.dc, DrawState.defaultBrush));
    DrawState.savedPen = static_cast<HPEN>(SelectObject(DrawState.dc, DrawState.defaultPen));
    DrawState.frontColour = 0;
    DrawState.backColour = 0xFFFFFF;
    DrawState.fillBrush = CreateSolidBrush(0);
    SetTextColor(DrawState.dc, 0);
    return DrawState.dc;
}

void DrawForget() {
    DrawEnd();
    DeleteObject(DrawState.defaultBrush);
    DeleteObject(DrawState.defaultPen);
    DrawState = {};
}

void DrawEnd() {
    if (!DrawState.dc) return;
    SelectObject(DrawState.dc, DrawState.savedBrush);
    SelectObject(DrawState.dc, DrawState.savedPen);
    if (DrawState.fillBrush) {
        DeleteObject(DrawState.fillBrush);
        DrawState.fillBrush = nullptr;
    }
    GiveDcBack();
    DrawState.dc = nullptr;
}

void DrawModeSet(uint32_t flags) {
    if (!DrawState.dc) return;
    DrawDcReacquire();
    if (!DrawState.dc) return;
    DrawState.mode = flags;
    ApplyMode(flags);
}

void DrawDcReacquire() {
    if (DrawState.target.kind != kDrawTargetSurface || DrawState.dcMarker != -1) return;
    DrawState.dcMarker = 1;
    DrawState.dc = DrawState.target.reacquire ? DrawState.target.reacquire() : nullptr;
    if (!DrawState.dc) {
        // Nothing is held any more, so nothing is owed back: the context is idle.
        DeleteObject(DrawState.fillBrush);
        DrawState.fillBrush = nullptr;
        return;
    }
    // A device context got again is a fresh one: put back what DrawBegin and
    // DrawModeSet had established on the one given up.
    SetTextColor(DrawState.dc, DrawState.frontColour);
    SetTextAlign(DrawState.dc, TA_UPDATECP);
    SetBkColor(DrawState.dc, DrawState.backColour);
    DrawState.savedBrush = static_cast<HBRUSH>(SelectObject(DrawState.dc, DrawState.defaultBrush));
    DrawState.savedPen = static_cast<HPEN>(SelectObject(DrawState.dc, DrawState.defaultPen));
    if (DrawState.mode != 0) ApplyMode(DrawState.mode);
}
