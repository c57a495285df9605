#include "draw/shapes.h"

#include "draw/context.h"

namespace {

// Sums as the 32-bit processor forms them: wrapping, never undefined.
int32_t Plus(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }

int32_t Minus(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

bool Outlined() { return (DrawState.mode & kDrawOutline) != 0; }

// Selects `object` and deletes the temporary one it displaces.
void RestoreAndDelete(HGDIOBJ object) { DeleteObject(SelectObject(DrawState.dc, object)); }

}  // namespace

void DrawCircle(int32_t x, int32_t y, int32_t radius, ColorValue colour) {
    if (radius == 1) {
        DrawBox(x, y, 2, 2, colour);
    } else {
        DrawEllipse(x, y, radius, radius, colour);
    }
}

void DrawBox(int32_t x, int32_t y, int32_t width, int32_t height, ColorValue colour) {
    if (!DrawState.dc) return;
    DrawDcReacquire();
    if (!DrawState.dc) return;
    if (width == 1 && height == 1) {
        SetPixelV(DrawState.dc, x, y, colour);
        return;
    }
    const bool ownColour = colour != DrawState.frontColour;
    HGDIOBJ keptPen = nullptr;
    HGDIOBJ keptBrush = nullptr;
    if (ownColour) {
        keptPen = SelectObject(DrawState.dc, CreatePen(PS_SOLID, 0, colour));
        if (!Outlined()) keptBrush = SelectObject(DrawState.dc, CreateSolidBrush(colour));
    }
    Rectangle(DrawState.dc, x, y, Plus(x, width), Plus(y, height));
    if (ownColour) {
        if (!Outlined()) RestoreAndDelete(keptBrush);
        RestoreAndDelete(keptPen);
    }
}

void DrawEllipse(int32_t x, int32_t y, int32_t radiusX, int32_t radiusY, ColorValue colour) {
    if (!DrawState.dc) return;
    DrawDcReacquire();
    if (!DrawState.dc) return;
    HGDIOBJ keptBrush = nullptr;
    HGDIOBJ keptPen = nullptr;
    if (colour != DrawState.frontColour) {
        if (!Outlined()) keptBrush = SelectObject(DrawState.dc, CreateSolidBrush(colour));
        keptPen = SelectObject(DrawState.dc, CreatePen(PS_SOLID, 0, colour));
    }
    Ellipse(DrawState.dc, Minus(x, radiusX), Minus(y, radiusY), Plus(x, radiusX), Plus(y, radiusY));
    if (keptPen) RestoreAndDelete(keptPen);
    if (keptBrush) RestoreAndDelete(keptBrush);
}
