// The software GDI: device contexts over 32-bit X8R8G8B8 memory, solid pens
// and brushes, and the shapes the runtime draws.
//
// All drawing reduces to one primitive: a horizontal span of pixels combined
// with one colour under the raster operation, dest = (dest & and) ^ xor. A
// shape is its inside filled by the brush, then the pen's line drawn over it,
// as Windows' GDI draws them: under an inverting raster operation, a pixel
// that both paint, or that the line passes twice, comes back as it was.
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
#include "platform/soft/internal.h"

namespace {

enum class GdiKind : uint8_t { Free, Pen, Brush, Dc };

// Where a device context draws: 32-bit pixels, or nothing (the display's
// context, which answers questions but holds no pixels here), and the record
// of what was drawn on them, where their owner keeps one.
struct DcSurface {
    uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    SoftDamage* damage = nullptr;
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

// A pixel of an ellipse's outline, relative to the top-left corner of its box.
struct OutlinePoint {
    int32_t x, y;
    bool operator==(const OutlinePoint&) const = default;
};

constexpr int kWhiteBrush = 0;
constexpr int kBlackPen = 7;
constexpr int kStockIndices[] = {kWhiteBrush, BLACK_BRUSH, NULL_BRUSH, kBlackPen};

// Ellipses wider or taller than this are refused: their outline walk costs a
// step per pixel of their size and its error terms must stay within 64 bits.
constexpr int64_t kMaxEllipseExtent = 1 << 16;

struct GdiLibraryState {
    // Entry 0 is never used, so no handle is null. Empty until the library is
    // first used; the stock objects come first.
    std::vector<GdiEntry> entries;
    std::vector<uint32_t> freeSlots;
    int liveObjects = 0;  // pens and brushes, stock objects not counted
    int liveDcs = 0;
    // Scratch for the ellipse outline walk.
    std::vector<OutlinePoint> quarter;
    std::vector<OutlinePoint> outline;
};

GdiLibraryState Gdi;

uint32_t HandleValue(uint32_t slot, uint16_t generation) { return uint32_t{generation} << 16 | slot; }

// The stock objects' handles, by stock number: slots 1 to 4, which they
// hold for ever.
constexpr uint32_t kStockHandles[8] = {1, 0, 0, 0, 2, 3, 0, 4};

void MakeStock(int number, GdiKind kind, COLORREF colour, bool hollow) {
    GdiEntry& entry = Gdi.entries[kStockHandles[number]];
    entry.kind = kind;
    entry.stock = true;
    entry.colour = colour;
    entry.hollow = hollow;
}

// The table, with the stock objects put in at its first use: nothing is
// allocated before the program starts.
std::vector<GdiEntry>& Entries() {
    if (!Gdi.entries.empty()) return Gdi.entries;
    Gdi.entries.resize(5);
    MakeStock(kWhiteBrush, GdiKind::Brush, 0xFFFFFF, false);
    MakeStock(BLACK_BRUSH, GdiKind::Brush, 0, false);
    MakeStock(NULL_BRUSH, GdiKind::Brush, 0, true);
    MakeStock(kBlackPen, GdiKind::Pen, 0, false);
    return Gdi.entries;
}

uint32_t NewEntry(GdiKind kind) {
    uint32_t slot;
    if (!Gdi.freeSlots.empty()) {
        slot = Gdi.freeSlots.back();
        Gdi.freeSlots.pop_back();
    } else {
        std::vector<GdiEntry>& entries = Entries();
        if (entries.size() > 0xFFFF) return 0;  // the table is full, as a process's GDI quota
        slot = static_cast<uint32_t>(entries.size());
        entries.emplace_back();
    }
    GdiEntry& entry = Gdi.entries[slot];
    uint16_t generation = entry.generation;
    entry = GdiEntry{};
    entry.generation = generation;
    entry.kind = kind;
    return HandleValue(slot, generation);
}

// The live entry that a handle names, of any kind, or null.
GdiEntry* Live(uint32_t handle) {
    uint32_t slot = handle & 0xFFFF;
    std::vector<GdiEntry>& entries = Entries();
    if (slot == 0 || slot >= entries.size()) return nullptr;
    GdiEntry& entry = entries[slot];
    if (entry.kind == GdiKind::Free || HandleValue(slot, entry.generation) != handle) return nullptr;
    return &entry;
}

GdiEntry* Lookup(uint32_t handle, GdiKind kind) {
    GdiEntry* entry = Live(handle);
    return entry && entry->kind == kind ? entry : nullptr;
}

bool IsPenOrBrush(const GdiEntry* entry) {
    return entry && (entry->kind == GdiKind::Pen || entry->kind == GdiKind::Brush);
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

// The pen or brush a handle names, looked up once: the calls that take
// either are made for every shape the runtime draws.
GdiEntry* PenOrBrush(HGDIOBJ handle) {
    if (reinterpret_cast<uintptr_t>(handle) > 0xFFFFFFFFu) return nullptr;
    GdiEntry* entry = Live(ValueOf(handle));
    return IsPenOrBrush(entry) ? entry : nullptr;
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
    GdiEntry* entry = Live(handle);
    if (IsPenOrBrush(entry)) --entry->selections;
}

uint32_t NewDc(const DcSurface& surface, bool display) {
    uint32_t handle = NewEntry(GdiKind::Dc);
    if (!handle) return 0;
    DcAttributes& dc = Gdi.entries[handle & 0xFFFF].dc;
    dc.surface = surface;
    dc.display = display;
    // A new device context has the stock white brush and black pen, as on Windows.
    dc.brush = kStockHandles[kWhiteBrush];
    dc.pen = kStockHandles[kBlackPen];
    ++Lookup(dc.brush, GdiKind::Brush)->selections;
    ++Lookup(dc.pen, GdiKind::Pen)->selections;
    ++Gdi.liveDcs;
    return handle;
}

// ---- pixels and spans -----------------------------------------------------

// COLORREF holds red in its low byte; the pixel holds red in bits 16-23.
uint32_t PixelOf(COLORREF colour) { return (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF); }

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
    if (surface.damage) surface.damage->Add(LONG(x0), LONG(y), LONG(x1), LONG(y + 1));
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

// Rectangles and ellipses draw nothing in an empty box or a box of one pixel.
bool DrawsNothing(const Box& box) {
    return box.Width() == 0 || box.Height() == 0 || (box.Width() == 1 && box.Height() == 1);
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

// Every pixel of a box, row by row (nothing for an empty box).
void PaintArea(const DcSurface& surface, const Box& box, Paint paint) {
    int64_t endRow = std::min<int64_t>(box.bottom, surface.height);
    for (int64_t y = std::max<int64_t>(box.top, 0); y < endRow; ++y) FillSpan(surface, y, box.left, box.right, paint);
}

// The pen's line around a box: from corner pixel to corner pixel, clockwise
// from the top left, each side from its first pixel up to the next corner.
// Around a box one pixel across, the line goes out and back, so the pixels
// between its ends are painted twice, which an inverting raster operation
// undoes.
void PaintBoxOutline(const DcSurface& surface, const Box& box, Paint pen) {
    const int64_t right = box.right - 1;
    const int64_t bottom = box.bottom - 1;
    FillSpan(surface, box.top, box.left, right, pen);                            // top, rightwards
    PaintArea(surface, {right, box.top, right + 1, bottom}, pen);                // right side, downwards
    FillSpan(surface, bottom, box.left + 1, right + 1, pen);                     // bottom, leftwards
    PaintArea(surface, {box.left, box.top + 1, box.left + 1, bottom + 1}, pen);  // left side, upwards
}

// The outline of the lower right quarter of an ellipse filling a w x h box,
// walked pixel by pixel with an integer error term: Bresenham's midpoint
// method in the form, for boxes of any size, odd or even, and with these
// error increments, that Alois Zingl gives for an ellipse in a rectangle ("A
// Rasterizing Algorithm for Drawing Curves", 2012). The walk runs from the
// right-hand end of the row just below the middle (the middle row itself when
// h is odd) towards the bottom, stepping x before y, and ends once x passes
// the middle column; in thin, tall ellipses that happens before it reaches
// the bottom row, and the rows left over stay empty, as in Windows' GDI under
// Wine.
void EllipseQuarter(int64_t w, int64_t h, std::vector<OutlinePoint>& quarter) {
    const int64_t a = w - 1;
    const int64_t b = h - 1;
    const int64_t oddB = b & 1;
    int64_t dx = 4 * (1 - a) * b * b;
    int64_t dy = 4 * (oddB + 1) * a * a;
    int64_t err = dx + dy + oddB * a * a;
    const int64_t stepX = 8 * b * b;
    const int64_t stepY = 8 * a * a;

    quarter.clear();
    int64_t x = a;
    int64_t y = h / 2;
    while (x >= w / 2 && y <= b) {
        quarter.push_back({int32_t(x), int32_t(y)});
        int64_t e2 = 2 * err;
        if (e2 >= dx) {
            --x;
            dx += stepX;
            err += dx;
        }
        if (e2 <= dy) {
            ++y;
            dy += stepY;
            err += dy;
        }
    }
}

// The closed outline that the pen draws: the four quarters in turn, clockwise
// from the top, each the lower right one mirrored, with no point twice in a
// row. Where quarters share pixels (the middle row when h is odd, the middle
// column when w is odd, the whole of a box one pixel wide) the outline passes
// them twice.
void EllipseOutline(int64_t w, int64_t h, const std::vector<OutlinePoint>& quarter,
                    std::vector<OutlinePoint>& outline) {
    const auto a = int32_t(w - 1);
    const auto b = int32_t(h - 1);
    outline.clear();
    auto add = [&outline](OutlinePoint p) {
        if (outline.empty() || !(outline.back() == p)) outline.push_back(p);
    };
    for (auto p = quarter.rbegin(); p != quarter.rend(); ++p) add({p->x, b - p->y});    // top right
    for (auto p = quarter.begin(); p != quarter.end(); ++p) add(*p);                    // bottom right
    for (auto p = quarter.rbegin(); p != quarter.rend(); ++p) add({a - p->x, p->y});    // bottom left
    for (auto p = quarter.begin(); p != quarter.end(); ++p) add({a - p->x, b - p->y});  // top left
    while (outline.size() > 1 && outline.back() == outline.front()) outline.pop_back();
}

// Paints the outline run by run: points next to each other in one row, going
// one way, make one span. A point the outline passes twice is painted twice,
// which an inverting raster operation undoes.
void PaintOutline(const DcSurface& surface, const Box& box, const std::vector<OutlinePoint>& outline, Paint pen) {
    for (size_t first = 0; first < outline.size();) {
        const OutlinePoint start = outline[first];
        size_t last = first;
        int step = 0;
        while (last + 1 < outline.size() && outline[last + 1].y == start.y) {
            int next = outline[last + 1].x - outline[last].x;
            if ((next != 1 && next != -1) || (step != 0 && next != step)) break;
            step = next;
            ++last;
        }
        int64_t x0 = std::min(start.x, outline[last].x);
        int64_t x1 = std::max(start.x, outline[last].x) + 1;
        FillSpan(surface, box.top + start.y, box.left + x0, box.left + x1, pen);
        first = last + 1;
    }
}

// The brush fills every row of the ellipse from one end of its outline to the
// other, outline included.
void PaintEllipseInside(const DcSurface& surface, const Box& box, const std::vector<OutlinePoint>& quarter,
                        Paint brush) {
    const int64_t w = box.Width();
    const int64_t h = box.Height();
    for (size_t i = 0; i < quarter.size(); ++i) {
        if (i > 0 && quarter[i - 1].y == quarter[i].y) continue;  // the row's first point is its outermost
        const int64_t outer = quarter[i].x;
        const int64_t rows[2] = {quarter[i].y, h - 1 - quarter[i].y};
        for (int k = 0; k < (rows[0] == rows[1] ? 1 : 2); ++k) {
            FillSpan(surface, box.top + rows[k], box.left + (w - 1 - outer), box.left + outer + 1, brush);
        }
    }
}

void DrawEllipse(const DcAttributes& dc, const Box& box, const ShapePaint& paint) {
    EllipseQuarter(box.Width(), box.Height(), Gdi.quarter);
    if (paint.fills) PaintEllipseInside(dc.surface, box, Gdi.quarter, paint.brush);
    // The inside takes in the line: where the brush paints as the pen does,
    // and painting a pixel again changes nothing, the line is drawn already.
    if (paint.fills && paint.brush == paint.pen && paint.pen.andMask == 0) return;
    EllipseOutline(box.Width(), box.Height(), Gdi.quarter, Gdi.outline);
    PaintOutline(dc.surface, box, Gdi.outline, paint.pen);
}

}  // namespace

// ---- objects --------------------------------------------------------------

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
    // Only the solid one-pixel pen: width 0 and 1 both draw one pixel wide.
    if (SoftFaulted(SoftOp::CreatePen) || iStyle != PS_SOLID || cWidth < 0 || cWidth > 1) return nullptr;
    return HandleOf<HPEN>(NewPenOrBrush(GdiKind::Pen, color));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    if (SoftFaulted(SoftOp::CreateSolidBrush)) return nullptr;
    return HandleOf<HBRUSH>(NewPenOrBrush(GdiKind::Brush, color));
}

HGDIOBJ WINAPI GetStockObject(int i) {
    for (int stock : kStockIndices) {
        if (stock == i) return HandleOf<HGDIOBJ>(kStockHandles[i]);
    }
    return nullptr;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    DcAttributes* dc = Dc(hdc);
    if (!dc) return nullptr;
    GdiEntry* entry = PenOrBrush(h);
    if (!entry) return nullptr;
    uint32_t* slot = entry->kind == GdiKind::Pen ? &dc->pen : &dc->brush;
    uint32_t displaced = *slot;
    ++entry->selections;
    *slot = ValueOf(h);
    Deselect(displaced);
    return HandleOf<HGDIOBJ>(displaced);
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    GdiEntry* entry = PenOrBrush(ho);
    if (!entry) return FALSE;
    if (entry->stock) return TRUE;  // stock objects are never destroyed
    // Windows refuses to delete an object that is still selected into a device
    // context; it stays until it is deselected and deleted again.
    if (entry->selections > 0) return FALSE;
    FreeEntry(ValueOf(ho));
    --Gdi.liveObjects;
    return TRUE;
}

SoftGdiView SoftGdiViewNow(HDC hdc) {
    DcAttributes* dc = hdc ? Dc(hdc) : nullptr;
    if (!dc) return {Gdi.liveObjects, Gdi.liveDcs, nullptr, nullptr};
    return {Gdi.liveObjects, Gdi.liveDcs, HandleOf<HGDIOBJ>(dc->pen), HandleOf<HGDIOBJ>(dc->brush)};
}

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
    if (!dc || SoftFaulted(SoftOp::Rectangle) || !ShapePaintFor(*dc, &paint)) return FALSE;
    Box box = Ordered(left, top, right, bottom);
    if (DrawsNothing(box)) return TRUE;
    // The brush fills the inside of the pen's line.
    if (paint.fills) PaintArea(dc->surface, {box.left + 1, box.top + 1, box.right - 1, box.bottom - 1}, paint.brush);
    PaintBoxOutline(dc->surface, box, paint.pen);
    return TRUE;
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    DcAttributes* dc = Dc(hdc);
    ShapePaint paint;
    if (!dc || SoftFaulted(SoftOp::Ellipse) || !ShapePaintFor(*dc, &paint)) return FALSE;
    Box box = Ordered(left, top, right, bottom);
    if (DrawsNothing(box)) return TRUE;
    // An ellipse two pixels across or less is the pen's line around its box,
    // with no inside to fill.
    if (box.Width() <= 2 || box.Height() <= 2) {
        PaintBoxOutline(dc->surface, box, paint.pen);
        return TRUE;
    }
    if (box.Width() > kMaxEllipseExtent || box.Height() > kMaxEllipseExtent) return FALSE;
    DrawEllipse(*dc, box, paint);
    return TRUE;
}

BOOL WINAPI SetPixelV(HDC hdc, int x, int y, COLORREF color) {
    DcAttributes* dc = Dc(hdc);
    if (!dc || SoftFaulted(SoftOp::SetPixelV)) return FALSE;
    const DcSurface& surface = dc->surface;
    // A pixel outside the surface is not set, and the call says so, as
    // Windows documents (Wine answers TRUE).
    if (x < 0 || y < 0 || x >= surface.width || y >= surface.height || !surface.pixels) return FALSE;
    // The pixel goes through the raster operation, as the pen's pixels do.
    FillSpan(surface, y, x, x + 1, PaintFor(*dc, color));
    return TRUE;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    DcAttributes* dc = Dc(hdc);
    if (!dc || SoftFaulted(SoftOp::GetPixel)) return CLR_INVALID;
    const DcSurface& surface = dc->surface;
    if (x < 0 || y < 0 || x >= surface.width || y >= surface.height || !surface.pixels) return CLR_INVALID;
    return ColourOf(Row(surface, y)[x]);
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    DcAttributes* dc = Dc(hDC);
    GdiEntry* brush = Object(hbr, GdiKind::Brush);
    if (!dc || !lprc || !brush || SoftFaulted(SoftOp::FillRect)) return 0;
    if (brush->hollow) return 1;
    // FillRect paints with the brush alone and ignores the raster operation.
    // A rectangle given right to left (or bottom to top) reaches from its
    // left (top) edge back to just past its right (bottom) one: its first
    // corner is inside and the other outside, as for one given in order.
    auto span = [](int64_t from, int64_t to) { return from <= to ? std::pair{from, to} : std::pair{to + 1, from + 1}; };
    auto [left, right] = span(lprc->left, lprc->right);
    auto [top, bottom] = span(lprc->top, lprc->bottom);
    const DcSurface& surface = dc->surface;
    PaintArea(surface, {left, top, right, bottom}, {0, PixelOf(brush->colour)});
    // A fill of the whole surface leaves it all one colour.
    bool whole = left <= 0 && top <= 0 && right >= surface.width && bottom >= surface.height;
    if (whole && surface.damage) surface.damage->Clear(PixelOf(brush->colour));
    return 1;
}

// ---- device contexts ------------------------------------------------------

HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR, LPCSTR, const DEVMODEA*) {
    if (!pwszDriver || !SoftSameNameIgnoringCase(pwszDriver, "DISPLAY") || SoftFaulted(SoftOp::CreateDCA)) {
        return nullptr;
    }
    return HandleOf<HDC>(NewDc(DcSurface{}, true));
}

HDC SoftSurfaceDcCreate(void* pixels, int width, int height, int pitch, SoftDamage* damage) {
    if (!pixels || width < 0 || height < 0 || pitch < width * 4 || SoftFaulted(SoftOp::SoftSurfaceDcCreate)) {
        return nullptr;
    }
    return HandleOf<HDC>(NewDc(DcSurface{static_cast<uint8_t*>(pixels), width, height, pitch, damage}, false));
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
