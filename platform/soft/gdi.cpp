// The software GDI: device contexts over 32-bit X8R8G8B8 memory, solid pens
// and brushes, and the shapes the runtime draws.
//
// All drawing reduces to one primitive: a horizontal span of pixels combined
// with one colour under the raster operation, dest = (dest & and) ^ xor. A
// shape is a list of such spans, each pixel of the shape painted exactly once,
// so that an inverting raster operation inverts every pixel once.
//
// Handles index a table of objects, as Windows' own GDI handles do: the low 16
// bits are the slot, the high bits a generation that changes when the slot is
// reused, so a stale or foreign handle is refused instead of followed.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

#include "platform/host/host.h"
#include "platform/soft/soft.h"

namespace {

enum class GdiKind : uint8_t { Free, Pen, Brush, Dc };

// Where a device context draws: 32-bit pixels, or nothing (the display's
// context, which answers questions but holds no pixels here).
struct DcSurface {
    uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
};

struct DcAttributes {
    DcSurface surface;
    bool display = false;
    uint32_t pen = 0;  // handles of the selected pen and brush
    uint32_t brush = 0;
    int rop2 = R2_COPYPEN;
    int bkMode = OPAQUE;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textColor = 0;
    UINT textAlign = 0;
};

struct GdiEntry {
    uint16_t generation = 0;
    GdiKind kind = GdiKind::Free;
    bool stock = false;
    bool hollow = false;  // the null brush: fills nothing
    int selections = 0;   // device contexts that have this pen or brush selected
    COLORREF colour = 0;
    DcAttributes dc;
};

// A run of pixels [x0, x1) on row y, and how it combines with them.
struct Paint {
    uint32_t andMask;
    uint32_t xorMask;
    bool operator==(const Paint&) const = default;
};

constexpr int kWhiteBrush = 0;
constexpr int kBlackPen = 7;
constexpr int kStockIndices[] = {kWhiteBrush, BLACK_BRUSH, NULL_BRUSH, kBlackPen};

// Ellipses wider or taller than this are refused: their outline walk costs a
// step per pixel of their size and its error terms must stay within 64 bits.
constexpr int64_t kMaxEllipseExtent = 1 << 16;

struct GdiLibraryState {
    GdiLibraryState();

    std::vector<GdiEntry> entries;  // entry 0 is never used, so no handle is null
    std::vector<uint32_t> freeSlots;
    uint32_t stock[8] = {};  // handles of the stock objects, by stock number
    int liveObjects = 0;     // pens and brushes, stock objects not counted
    int liveDcs = 0;
    std::vector<int32_t> rowExtents;  // scratch for the ellipse outline walk
};

uint32_t HandleValue(uint32_t slot, uint16_t generation) { return uint32_t{generation} << 16 | slot; }

// The stock objects take the first slots and live for ever.
GdiLibraryState::GdiLibraryState() : entries(1) {
    auto makeStock = [this](int number, GdiKind kind, COLORREF colour, bool hollow) {
        GdiEntry& entry = entries.emplace_back();
        entry.kind = kind;
        entry.stock = true;
        entry.colour = colour;
        entry.hollow = hollow;
        stock[number] = HandleValue(static_cast<uint32_t>(entries.size() - 1), 0);
    };
    makeStock(kWhiteBrush, GdiKind::Brush, 0xFFFFFF, false);
    makeStock(BLACK_BRUSH, GdiKind::Brush, 0, false);
    makeStock(NULL_BRUSH, GdiKind::Brush, 0, true);
    makeStock(kBlackPen, GdiKind::Pen, 0, false);
}

GdiLibraryState Gdi;

uint32_t NewEntry(GdiKind kind) {
    uint32_t slot;
    if (!Gdi.freeSlots.empty()) {
        slot = Gdi.freeSlots.back();
        Gdi.freeSlots.pop_back();
    } else {
        if (Gdi.entries.size() > 0xFFFF) return 0;  // the table is full, as a process's GDI quota
        slot = static_cast<uint32_t>(Gdi.entries.size());
        Gdi.entries.emplace_back();
    }
    GdiEntry& entry = Gdi.entries[slot];
    uint16_t generation = entry.generation;
    entry = GdiEntry{};
    entry.generation = generation;
    entry.kind = kind;
    return HandleValue(slot, generation);
}

GdiEntry* Lookup(uint32_t handle, GdiKind kind) {
    uint32_t slot = handle & 0xFFFF;
    if (slot == 0 || slot >= Gdi.entries.size()) return nullptr;
    GdiEntry& entry = Gdi.entries[slot];
    if (entry.kind != kind || HandleValue(slot, entry.generation) != handle) return nullptr;
    return &entry;
}

uint32_t ValueOf(const void* handle) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)); }

template <typename Handle>
Handle HandleOf(uint32_t value) {
    return reinterpret_cast<Handle>(static_cast<uintptr_t>(value));
}

GdiEntry* Object(HGDIOBJ handle, GdiKind kind) {
    // A handle from this table fits in 32 bits; anything wider is foreign.
    if (reinterpret_cast<uintptr_t>(handle) > 0xFFFFFFFFu) return nullptr;
    return Lookup(ValueOf(handle), kind);
}

DcAttributes* Dc(HDC hdc) {
    GdiEntry* entry = Object(hdc, GdiKind::Dc);
    return entry ? &entry->dc : nullptr;
}

void FreeEntry(uint32_t handle) {
    uint32_t slot = handle & 0xFFFF;
    GdiEntry& entry = Gdi.entries[slot];
    entry.kind = GdiKind::Free;
    ++entry.generation;
    Gdi.freeSlots.push_back(slot);
}

uint32_t NewPenOrBrush(GdiKind kind, COLORREF colour) {
    uint32_t handle = NewEntry(kind);
    if (!handle) return 0;
    Gdi.entries[handle & 0xFFFF].colour = colour;
    ++Gdi.liveObjects;
    return handle;
}

// Drops one selection of a pen or brush.
void Deselect(uint32_t handle) {
    for (GdiKind kind : {GdiKind::Pen, GdiKind::Brush}) {
        if (GdiEntry* entry = Lookup(handle, kind)) --entry->selections;
    }
}

uint32_t NewDc(const DcSurface& surface, bool display) {
    uint32_t handle = NewEntry(GdiKind::Dc);
    if (!handle) return 0;
    DcAttributes& dc = Gdi.entries[handle & 0xFFFF].dc;
    dc.surface = surface;
    dc.display = display;
    // A new device context has the stock white brush and black pen, as on Windows.
    dc.brush = Gdi.stock[kWhiteBrush];
    dc.pen = Gdi.stock[kBlackPen];
    ++Lookup(dc.brush, GdiKind::Brush)->selections;
    ++Lookup(dc.pen, GdiKind::Pen)->selections;
    ++Gdi.liveDcs;
    return handle;
}

// ---- pixels and spans -----------------------------------------------------

// COLORREF holds red in its low byte; the pixel holds red in bits 16-23.
uint32_t PixelOf(COLORREF colour) {
    return (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

COLORREF ColourOf(uint32_t pixel) { return (pixel >> 16 & 0xFF) | (pixel & 0xFF00) | (pixel & 0xFF) << 16; }

Paint PaintFor(const DcAttributes& dc, COLORREF colour) {
    if (dc.rop2 == R2_NOT) return {~0u, ~0u};
    return {0, PixelOf(colour)};
}

uint32_t* Row(const DcSurface& surface, int64_t y) {
    return reinterpret_cast<uint32_t*>(surface.pixels + y * surface.pitch);
}

// The one drawing primitive: pixels x0 <= x < x1 of row y, clipped.
void FillSpan(const DcSurface& surface, int64_t y, int64_t x0, int64_t x1, Paint paint) {
    if (y < 0 || y >= surface.height || !surface.pixels) return;
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min<int64_t>(x1, surface.width);
    if (x0 >= x1) return;
    uint32_t* row = Row(surface, y);
    if (paint.andMask == 0) {
        SoftFillPixels(row + x0, size_t(x1 - x0), paint.xorMask);
    } else {
        for (int64_t x = x0; x < x1; ++x) row[x] = (row[x] & paint.andMask) ^ paint.xorMask;
    }
}

struct ShapePaint {
    Paint pen;
    Paint brush;
    bool fills;  // false for the null brush
};

// One row of a shape: outline [a, b), inside [b, c), outline [c, d); runs
// that would overlap are cut so that no pixel is painted twice. Where pen
// and brush paint alike the row is one span.
void FillShapeRow(const DcSurface& surface, int64_t y, int64_t a, int64_t b, int64_t c, int64_t d,
                  const ShapePaint& paint) {
    c = std::max(c, b);
    d = std::max(d, c);
    if (paint.fills && paint.brush == paint.pen) {
        FillSpan(surface, y, a, d, paint.pen);
        return;
    }
    FillSpan(surface, y, a, b, paint.pen);
    if (paint.fills) FillSpan(surface, y, b, c, paint.brush);
    FillSpan(surface, y, c, d, paint.pen);
}

// A box normalised as GDI does: corners in any order, right and bottom
// edges excluded.
struct Box {
    int64_t left, top, right, bottom;
    int64_t Width() const { return right - left; }
    int64_t Height() const { return bottom - top; }
};

Box Ordered(int left, int top, int right, int bottom) {
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

bool ShapePaintFor(const DcAttributes& dc, ShapePaint* paint) {
    GdiEntry* pen = Lookup(dc.pen, GdiKind::Pen);
    GdiEntry* brush = Lookup(dc.brush, GdiKind::Brush);
    if (!pen || !brush) return false;
    paint->pen = PaintFor(dc, pen->colour);
    paint->brush = PaintFor(dc, brush->colour);
    paint->fills = !brush->hollow;
    return true;
}

void FillBox(const DcSurface& surface, const Box& box, const ShapePaint& paint) {
    int64_t firstRow = std::max<int64_t>(box.top, 0);
    int64_t endRow = std::min<int64_t>(box.bottom, surface.height);
    for (int64_t y = firstRow; y < endRow; ++y) {
        if (y == box.top || y == box.bottom - 1) {
            FillSpan(surface, y, box.left, box.right, paint.pen);
        } else {
            FillShapeRow(surface, y, box.left, box.left + 1, box.right - 1, box.right, paint);
        }
    }
}

// The outline of the lower right quarter of an ellipse filling a w x h box,
// walked pixel by pixel with an integer error term (the midpoint method for
// ellipses with a diameter of any parity). Gives, for each row y from
// (h - 1 + 1) / 2 down to h - 1, the rightmost and leftmost outline pixel x
// in that row, as pairs in `extents`; the other three quarters mirror it.
void EllipseQuarter(int64_t w, int64_t h, std::vector<int32_t>& extents) {
    const int64_t a = w - 1;
    const int64_t b = h - 1;
    const int64_t oddB = b & 1;
    int64_t dx = 4 * (1 - a) * b * b;
    int64_t dy = 4 * (oddB + 1) * a * a;
    int64_t err = dx + dy + oddB * a * a;
    const int64_t stepX = 8 * b * b;
    const int64_t stepY = 8 * a * a;
    const int64_t firstRow = (b + 1) / 2;

    extents.assign(static_cast<size_t>(2 * (b - firstRow + 1)), -1);
    auto plot = [&](int64_t x, int64_t y) {
        if (y > b) return;
        int32_t* row = &extents[static_cast<size_t>(2 * (y - firstRow))];
        if (row[0] < 0 || x > row[0]) row[0] = static_cast<int32_t>(x);
        if (row[1] < 0 || x < row[1]) row[1] = static_cast<int32_t>(x);
    };

    int64_t x = a;         // right-hand outline column
    int64_t y = firstRow;  // lower-half outline row
    while (a - x <= x) {
        plot(x, y);
        int64_t e2 = 2 * err;
        if (e2 <= dy) {
            ++y;
            dy += stepY;
            err += dy;
        }
        if (e2 >= dx || 2 * err > dy) {
            --x;
            dx += stepX;
            err += dx;
        }
    }
    // Thin ellipses stop short of their tips: finish them straight down.
    for (; y <= b; ++y) plot(x + 1, y);
}

bool DrawEllipse(const DcAttributes& dc, const Box& box, const ShapePaint& paint, std::vector<int32_t>& extents) {
    const int64_t w = box.Width();
    const int64_t h = box.Height();
    const int64_t a = w - 1;
    const int64_t b = h - 1;
    EllipseQuarter(w, h, extents);
    const int64_t firstRow = (b + 1) / 2;
    for (int64_t y = firstRow; y <= b; ++y) {
        const int32_t* row = &extents[static_cast<size_t>(2 * (y - firstRow))];
        const int64_t outer = row[0];  // rightmost outline pixel of the row
        const int64_t inner = row[1];  // leftmost outline pixel of its right-hand run
        const int64_t rows[2] = {box.top + y, box.top + b - y};
        for (int i = 0; i < (rows[0] == rows[1] ? 1 : 2); ++i) {
            if (a - inner + 1 >= inner) {
                // The two outline runs meet: the whole row is outline.
                FillSpan(dc.surface, rows[i], box.left + a - outer, box.left + outer + 1, paint.pen);
            } else {
                FillShapeRow(dc.surface, rows[i], box.left + a - outer, box.left + a - inner + 1, box.left + inner,
                             box.left + outer + 1, paint);
            }
        }
    }
    return true;
}

bool Faulted(const char* operation) {
    int64_t ignored;
    return SoftFault(operation, &ignored);
}

}  // namespace

// ---- objects --------------------------------------------------------------

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
    // Only the solid one-pixel pen: width 0 and 1 both draw one pixel wide.
    if (Faulted("CreatePen") || iStyle != PS_SOLID || cWidth < 0 || cWidth > 1) return nullptr;
    return HandleOf<HPEN>(NewPenOrBrush(GdiKind::Pen, color));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    if (Faulted("CreateSolidBrush")) return nullptr;
    return HandleOf<HBRUSH>(NewPenOrBrush(GdiKind::Brush, color));
}

HGDIOBJ WINAPI GetStockObject(int i) {
    for (int stock : kStockIndices) {
        if (stock == i) return HandleOf<HGDIOBJ>(Gdi.stock[i]);
    }
    return nullptr;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    DcAttributes* dc = Dc(hdc);
    if (!dc) return nullptr;
    uint32_t* slot = nullptr;
    GdiEntry* entry = nullptr;
    if ((entry = Object(h, GdiKind::Pen))) slot = &dc->pen;
    else if ((entry = Object(h, GdiKind::Brush))) slot = &dc->brush;
    else return nullptr;
    uint32_t displaced = *slot;
    ++entry->selections;
    *slot = ValueOf(h);
    Deselect(displaced);
    return HandleOf<HGDIOBJ>(displaced);
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    GdiEntry* entry = Object(ho, GdiKind::Pen);
    if (!entry) entry = Object(ho, GdiKind::Brush);
    if (!entry) return FALSE;
    if (entry->stock) return TRUE;  // stock objects are never destroyed
    // Windows refuses to delete an object that is still selected into a device
    // context; it stays until it is deselected and deleted again.
    if (entry->selections > 0) return FALSE;
    FreeEntry(ValueOf(ho));
    --Gdi.liveObjects;
    return TRUE;
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
    DcAttributes* dc = Dc(hdc);
    if (!dc) return nullptr;
    if (type == OBJ_PEN) return HandleOf<HGDIOBJ>(dc->pen);
    if (type == OBJ_BRUSH) return HandleOf<HGDIOBJ>(dc->brush);
    return nullptr;
}

int SoftGdiObjectCount() { return Gdi.liveObjects; }

int SoftGdiDcCount() { return Gdi.liveDcs; }

// ---- attributes -----------------------------------------------------------

int WINAPI SetROP2(HDC hdc, int rop2) {
    DcAttributes* dc = Dc(hdc);
    if (!dc || (rop2 != R2_COPYPEN && rop2 != R2_NOT)) return 0;
    return std::exchange(dc->rop2, rop2);
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    DcAttributes* dc = Dc(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    return std::exchange(dc->bkMode, mode);
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    DcAttributes* dc = Dc(hdc);
    return dc ? std::exchange(dc->bkColor, color) : CLR_INVALID;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    DcAttributes* dc = Dc(hdc);
    return dc ? std::exchange(dc->textColor, color) : CLR_INVALID;
}

UINT WINAPI SetTextAlign(HDC hdc, UINT align) {
    DcAttributes* dc = Dc(hdc);
    return dc ? std::exchange(dc->textAlign, align) : 0xFFFFFFFF;  // GDI_ERROR
}

// ---- shapes ---------------------------------------------------------------

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    DcAttributes* dc = Dc(hdc);
    ShapePaint paint;
    if (!dc || Faulted("Rectangle") || !ShapePaintFor(*dc, &paint)) return FALSE;
    Box box = Ordered(left, top, right, bottom);
    if (box.Width() > 0 && box.Height() > 0) FillBox(dc->surface, box, paint);
    return TRUE;
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    DcAttributes* dc = Dc(hdc);
    ShapePaint paint;
    if (!dc || Faulted("Ellipse") || !ShapePaintFor(*dc, &paint)) return FALSE;
    Box box = Ordered(left, top, right, bottom);
    if (box.Width() == 0 || box.Height() == 0) return TRUE;
    // An ellipse two pixels across or less is its box.
    if (box.Width() <= 2 || box.Height() <= 2) {
        FillBox(dc->surface, box, paint);
        return TRUE;
    }
    if (box.Width() > kMaxEllipseExtent || box.Height() > kMaxEllipseExtent) return FALSE;
    return DrawEllipse(*dc, box, paint, Gdi.rowExtents);
}

BOOL WINAPI SetPixelV(HDC hdc, int x, int y, COLORREF color) {
    DcAttributes* dc = Dc(hdc);
    if (!dc || Faulted("SetPixelV")) return FALSE;
    const DcSurface& surface = dc->surface;
    if (x < 0 || y < 0 || x >= surface.width || y >= surface.height || !surface.pixels) return FALSE;
    Row(surface, y)[x] = PixelOf(color);
    return TRUE;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    DcAttributes* dc = Dc(hdc);
    if (!dc || Faulted("GetPixel")) return CLR_INVALID;
    const DcSurface& surface = dc->surface;
    if (x < 0 || y < 0 || x >= surface.width || y >= surface.height || !surface.pixels) return CLR_INVALID;
    return ColourOf(Row(surface, y)[x]);
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    DcAttributes* dc = Dc(hDC);
    GdiEntry* brush = Object(hbr, GdiKind::Brush);
    if (!dc || !lprc || !brush || Faulted("FillRect")) return 0;
    if (brush->hollow) return 1;
    // FillRect paints with the brush alone and ignores the raster operation.
    Paint paint = {0, PixelOf(brush->colour)};
    Box box = Ordered(lprc->left, lprc->top, lprc->right, lprc->bottom);
    int64_t endRow = std::min<int64_t>(box.bottom, dc->surface.height);
    for (int64_t y = std::max<int64_t>(box.top, 0); y < endRow; ++y) {
        FillSpan(dc->surface, y, box.left, box.right, paint);
    }
    return 1;
}

// ---- device contexts ------------------------------------------------------

HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR, LPCSTR, const DEVMODEA*) {
    if (!pwszDriver || !SoftSameNameIgnoringCase(pwszDriver, "DISPLAY") || Faulted("CreateDCA")) return nullptr;
    return HandleOf<HDC>(NewDc(DcSurface{}, true));
}

HDC SoftSurfaceDcCreate(void* pixels, int width, int height, int pitch) {
    if (!pixels || width < 0 || height < 0 || pitch < width * 4 || Faulted("SoftSurfaceDcCreate")) return nullptr;
    return HandleOf<HDC>(NewDc(DcSurface{static_cast<uint8_t*>(pixels), width, height, pitch}, false));
}

BOOL WINAPI DeleteDC(HDC hdc) {
    DcAttributes* dc = Dc(hdc);
    if (!dc) return FALSE;
    // The pen and brush it had selected are deselected, not deleted.
    Deselect(dc->pen);
    Deselect(dc->brush);
    FreeEntry(ValueOf(hdc));
    --Gdi.liveDcs;
    return TRUE;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
    DcAttributes* dc = Dc(hdc);
    if (!dc) return 0;
    HostDesktopMode desktop = HostPrimaryDesktop();
    switch (index) {
        case BITSPIXEL:
            return dc->display ? desktop.depth : 32;
        case VREFRESH:
            return desktop.refresh;
        default:
            return 0;
    }
}

// A run of pixels of one value, through the C library's vector fills: a
// value of four equal bytes (black above all, the clear of every frame) is
// memset's, which streams large runs past the cache; any other value is a
// wide character's fill, since a wide character is a 32-bit unit here.
static_assert(sizeof(wchar_t) == sizeof(uint32_t), "a pixel fill is a wide-character fill");

void SoftFillPixels(uint32_t* run, size_t count, uint32_t pixel) {
    if (pixel == (pixel & 0xFF) * 0x01010101u) {
        std::memset(run, static_cast<int>(pixel & 0xFF), count * 4);
        return;
    }
    std::wmemset(reinterpret_cast<wchar_t*>(run), static_cast<wchar_t>(pixel), count);
}
