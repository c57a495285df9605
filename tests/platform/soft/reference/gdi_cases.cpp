#include "tests/platform/soft/reference/gdi_cases.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "core/guids.h"

namespace {

constexpr COLORREF kPenColour = 0x0000FF;    // red
constexpr COLORREF kBrushColour = 0xFF0000;  // blue
constexpr COLORREF kSameColour = 0x40C020;

// ---- the list ---------------------------------------------------------------

struct CaseList {
    std::vector<GdiCase> cases;

    void Add(GdiOperation operation, GdiTarget target, int rop2, GdiColours colours, int left, int top, int right,
             int bottom, int width, int height) {
        cases.push_back({operation, target, rop2, colours, left, top, right, bottom, width, height});
    }

    // A w x h box one pixel in from the top-left corner of a surface with one
    // pixel to spare all round.
    void Boxed(GdiOperation operation, GdiTarget target, int rop2, GdiColours colours, int w, int h) {
        Add(operation, target, rop2, colours, 1, 1, 1 + w, 1 + h, w + 2, h + 2);
    }

    // Every box from 0 x 0 to n x n.
    void Grid(GdiOperation operation, GdiTarget target, int rop2, GdiColours colours, int n) {
        for (int w = 0; w <= n; ++w) {
            for (int h = 0; h <= n; ++h) Boxed(operation, target, rop2, colours, w, h);
        }
    }

    // Boxes given with their corners in every other order, as a negative
    // radius or width gives them.
    void Reversed(GdiOperation operation, GdiTarget target, int rop2, GdiColours colours, int w, int h) {
        Add(operation, target, rop2, colours, 1 + w, 1 + h, 1, 1, w + 2, h + 2);
        Add(operation, target, rop2, colours, 1 + w, 1, 1, 1 + h, w + 2, h + 2);
        Add(operation, target, rop2, colours, 1, 1 + h, 1 + w, 1, w + 2, h + 2);
    }

    // Boxes that cross one, two or all four edges of a 40 x 30 surface, or
    // miss it.
    void AcrossEdges(GdiOperation operation, GdiTarget target, int rop2, GdiColours colours) {
        const int boxes[][4] = {{-10, 5, 17, 22}, {25, -6, 52, 13},   {-9, -7, 14, 12},      {22, 14, 51, 39},
                                {-3, 4, 3, 26},   {-20, -25, 61, 56}, {-5, 27, 44, 33},      {40, 0, 50, 30},
                                {0, 30, 40, 40},  {-90, -60, 45, 37}, {-300, -280, 330, 300}};
        for (const auto& b : boxes) Add(operation, target, rop2, colours, b[0], b[1], b[2], b[3], 40, 30);
    }

    // Pixels inside, on each edge and corner, and outside a 7 x 5 surface.
    void Pixels(GdiTarget target, int rop2, GdiColours colours) {
        const int points[][2] = {{3, 2}, {0, 0}, {6, 4}, {6, 0}, {0, 4}, {-1, 2}, {3, -1}, {7, 2}, {3, 5}};
        for (const auto& p : points) Add(GdiOperation::SetPixelV, target, rop2, colours, p[0], p[1], 0, 0, 7, 5);
    }
};

// Ellipses larger than the full grid: every even square up to 700 (each
// circle of the scene, whose boxes are 2r wide), odd squares, and other
// shapes, from the very thin to the nearly square.
void LargeEllipses(CaseList& list, GdiTarget target, int rop2, GdiColours colours, int evenStep) {
    for (int side = 66; side <= 700; side += evenStep) {
        list.Boxed(GdiOperation::Ellipse, target, rop2, colours, side, side);
    }
    const int odd[] = {65, 67, 99, 101, 127, 129, 255, 257, 299, 301, 511, 513, 627, 699};
    for (int side : odd) list.Boxed(GdiOperation::Ellipse, target, rop2, colours, side, side);
    const int shapes[][2] = {{65, 64}, {64, 65},   {100, 37},  {37, 100},  {129, 64},  {300, 7},
                             {7, 300}, {640, 480}, {480, 640}, {700, 699}, {699, 700}, {700, 3},
                             {3, 700}, {700, 4},   {4, 700},   {700, 1},   {1, 700},   {700, 2},
                             {2, 700}, {5, 333},   {333, 6},   {200, 199}, {87, 300},  {301, 86}};
    for (const auto& s : shapes) list.Boxed(GdiOperation::Ellipse, target, rop2, colours, s[0], s[1]);
}

void EllipseCases(CaseList& list) {
    constexpr auto kEllipse = GdiOperation::Ellipse;
    using enum GdiTarget;
    using enum GdiColours;
    // The full grid and the large sizes, in memory and on a DirectDraw surface.
    list.Grid(kEllipse, Bitmap, R2_COPYPEN, PenAndBrush, 64);
    LargeEllipses(list, Bitmap, R2_COPYPEN, PenAndBrush, 2);
    list.Grid(kEllipse, DirectDraw, R2_COPYPEN, PenAndBrush, 32);
    LargeEllipses(list, DirectDraw, R2_COPYPEN, PenAndBrush, 24);
    // Inverting, and the other pens and brushes.
    list.Grid(kEllipse, Bitmap, R2_NOT, PenAndBrush, 24);
    LargeEllipses(list, Bitmap, R2_NOT, PenAndBrush, 60);
    list.Grid(kEllipse, Bitmap, R2_COPYPEN, SameColour, 16);
    list.Grid(kEllipse, Bitmap, R2_COPYPEN, Black, 16);
    list.Grid(kEllipse, Bitmap, R2_COPYPEN, NullBrush, 24);
    list.Grid(kEllipse, Bitmap, R2_NOT, NullBrush, 12);
    list.Grid(kEllipse, DirectDraw, R2_NOT, SameColour, 12);
    // Corners in other orders, and boxes across the surface's edges.
    for (int side : {0, 1, 2, 3, 4, 5, 8, 13, 30}) {
        for (int other : {0, 3, 4, 7, 30}) list.Reversed(kEllipse, Bitmap, R2_COPYPEN, PenAndBrush, side, other);
    }
    list.Reversed(kEllipse, Bitmap, R2_NOT, PenAndBrush, 9, 6);
    list.Reversed(kEllipse, DirectDraw, R2_COPYPEN, PenAndBrush, 11, 17);
    list.AcrossEdges(kEllipse, Bitmap, R2_COPYPEN, PenAndBrush);
    list.AcrossEdges(kEllipse, Bitmap, R2_NOT, NullBrush);
    list.AcrossEdges(kEllipse, DirectDraw, R2_COPYPEN, PenAndBrush);
}

void RectangleCases(CaseList& list) {
    constexpr auto kRectangle = GdiOperation::Rectangle;
    using enum GdiTarget;
    using enum GdiColours;
    for (GdiColours colours : {PenAndBrush, SameColour, Black, NullBrush}) {
        list.Grid(kRectangle, Bitmap, R2_COPYPEN, colours, 4);
    }
    list.Grid(kRectangle, Bitmap, R2_NOT, PenAndBrush, 4);
    list.Grid(kRectangle, Bitmap, R2_NOT, NullBrush, 4);
    list.Grid(kRectangle, DirectDraw, R2_COPYPEN, PenAndBrush, 4);
    for (int w : {5, 6, 9, 30, 257}) {
        for (int h : {1, 2, 5, 8, 31}) {
            list.Boxed(kRectangle, Bitmap, R2_COPYPEN, PenAndBrush, w, h);
            list.Boxed(kRectangle, Bitmap, R2_NOT, PenAndBrush, h, w);
        }
    }
    list.Reversed(kRectangle, Bitmap, R2_COPYPEN, PenAndBrush, 6, 4);
    list.Reversed(kRectangle, Bitmap, R2_COPYPEN, PenAndBrush, 1, 3);
    list.AcrossEdges(kRectangle, Bitmap, R2_COPYPEN, PenAndBrush);
    list.AcrossEdges(kRectangle, Bitmap, R2_NOT, PenAndBrush);
    list.AcrossEdges(kRectangle, DirectDraw, R2_COPYPEN, NullBrush);
}

void PixelAndFillCases(CaseList& list) {
    using enum GdiTarget;
    using enum GdiColours;
    list.Pixels(Bitmap, R2_COPYPEN, PenAndBrush);
    list.Pixels(Bitmap, R2_NOT, PenAndBrush);
    list.Pixels(DirectDraw, R2_COPYPEN, PenAndBrush);
    list.Pixels(Bitmap, R2_COPYPEN, Black);
    constexpr auto kFill = GdiOperation::FillRect;
    for (GdiColours colours : {PenAndBrush, Black, NullBrush}) {
        list.Grid(kFill, Bitmap, R2_COPYPEN, colours, 3);
    }
    list.Grid(kFill, Bitmap, R2_NOT, PenAndBrush, 3);
    list.Grid(kFill, DirectDraw, R2_COPYPEN, PenAndBrush, 3);
    list.Boxed(kFill, Bitmap, R2_COPYPEN, PenAndBrush, 31, 17);
    list.Reversed(kFill, Bitmap, R2_COPYPEN, PenAndBrush, 5, 3);
    list.AcrossEdges(kFill, Bitmap, R2_COPYPEN, PenAndBrush);
    list.AcrossEdges(kFill, DirectDraw, R2_NOT, PenAndBrush);
}

// The names of the operations and of the pen and brush choices, in the order
// of their enumerations.
constexpr const char* kOperationNames[] = {"ellipse", "rectangle", "pixel", "fill"};
constexpr const char* kColoursNames[] = {"red-pen-blue-brush", "green-pen-and-brush", "black-pen-and-brush",
                                         "red-pen-null-brush"};

// ---- drawing ----------------------------------------------------------------

COLORREF PenColourOf(GdiColours colours) {
    switch (colours) {
        case GdiColours::SameColour:
            return kSameColour;
        case GdiColours::Black:
            return 0;
        default:
            return kPenColour;
    }
}

// The brush of a case, and whether it is the case's own to delete.
HBRUSH BrushOf(GdiColours colours, bool* owned) {
    *owned = colours == GdiColours::PenAndBrush || colours == GdiColours::SameColour;
    switch (colours) {
        case GdiColours::PenAndBrush:
            return CreateSolidBrush(kBrushColour);
        case GdiColours::SameColour:
            return CreateSolidBrush(kSameColour);
        case GdiColours::Black:
            return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        case GdiColours::NullBrush:
            return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    return nullptr;
}

int DrawOperation(HDC dc, const GdiCase& c, HBRUSH brush) {
    switch (c.operation) {
        case GdiOperation::Ellipse:
            return Ellipse(dc, c.left, c.top, c.right, c.bottom);
        case GdiOperation::Rectangle:
            return Rectangle(dc, c.left, c.top, c.right, c.bottom);
        case GdiOperation::SetPixelV:
            return SetPixelV(dc, c.left, c.top, PenColourOf(c.colours));
        case GdiOperation::FillRect: {
            RECT area = {c.left, c.top, c.right, c.bottom};
            return FillRect(dc, &area, brush);
        }
    }
    return 0;
}

// ---- the DirectDraw target --------------------------------------------------

typedef HRESULT(WINAPI* DirectDrawCreateExRoutine)(GUID*, LPVOID*, REFIID, IUnknown*);

bool Failed(const char* step, HRESULT result) {
    std::fprintf(stderr, "gdi reference: %s failed (0x%08" PRIx32 ")\n", step, static_cast<uint32_t>(result));
    return false;
}

// The pixels of a locked 32-bit surface, row by row.
uint32_t* LockedRow(const DDSURFACEDESC2& locked, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch);
}

bool FillSurface(IDirectDrawSurface7* surface, const GdiCase& c) {
    DDSURFACEDESC2 locked = {};
    locked.dwSize = sizeof(locked);
    if (HRESULT r = surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr); r != DD_OK) return Failed("Lock", r);
    const DDPIXELFORMAT& format = locked.ddpfPixelFormat;
    bool xrgb = format.dwRGBBitCount == 32 && format.dwRBitMask == 0xFF0000 && format.dwGBitMask == 0xFF00 &&
                format.dwBBitMask == 0xFF;
    for (int y = 0; xrgb && y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) LockedRow(locked, y)[x] = kGdiBackground;
    }
    surface->Unlock(nullptr);
    if (!xrgb) std::fprintf(stderr, "gdi reference: the display's surfaces are not 32-bit X8R8G8B8\n");
    return xrgb;
}

bool ReadSurface(IDirectDrawSurface7* surface, const GdiCase& c, std::vector<uint32_t>* pixels) {
    DDSURFACEDESC2 locked = {};
    locked.dwSize = sizeof(locked);
    if (HRESULT r = surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr); r != DD_OK) return Failed("Lock", r);
    pixels->resize(size_t(c.width) * c.height);
    for (int y = 0; y < c.height; ++y) {
        std::memcpy(&(*pixels)[size_t(y) * c.width], LockedRow(locked, y), size_t(c.width) * 4);
    }
    surface->Unlock(nullptr);
    return true;
}

bool DrawOnSurface(IDirectDraw7* directDraw, const GdiCase& c, GdiPicture* picture) {
    DDSURFACEDESC2 description = {};
    description.dwSize = sizeof(description);
    description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    description.dwWidth = DWORD(c.width);
    description.dwHeight = DWORD(c.height);
    IDirectDrawSurface7* surface = nullptr;
    if (HRESULT r = directDraw->CreateSurface(&description, &surface, nullptr); r != DD_OK) {
        return Failed("CreateSurface", r);
    }
    bool drawn = FillSurface(surface, c);
    HDC dc = nullptr;
    if (drawn) {
        HRESULT r = surface->GetDC(&dc);
        drawn = r == DD_OK || Failed("GetDC", r);
    }
    if (drawn) {
        picture->result = GdiCaseDraw(dc, c);
        surface->ReleaseDC(dc);
        drawn = ReadSurface(surface, c, &picture->pixels);
    }
    surface->Release();
    return drawn;
}

char PaletteLetter(size_t index) { return index < 26 ? char('a' + index) : char('A' + (index - 26)); }

int PaletteIndex(char letter) {
    if (letter >= 'a' && letter <= 'z') return letter - 'a';
    if (letter >= 'A' && letter <= 'Z') return 26 + (letter - 'A');
    return -1;
}

bool ReadLine(std::FILE* file, std::string* line) {
    line->clear();
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c == '\n') return true;
        line->push_back(char(c));
    }
    return !line->empty();
}

// One row of runs, "<count><letter>", that must make exactly `width` pixels.
bool ReadRow(const std::string& line, const std::vector<uint32_t>& palette, uint32_t* row, int width) {
    int x = 0;
    for (const char* p = line.c_str(); *p;) {
        char* end = nullptr;
        long run = std::strtol(p, &end, 10);
        int index = PaletteIndex(*end);
        if (run <= 0 || run > width - x || index < 0 || size_t(index) >= palette.size()) return false;
        std::fill_n(row + x, run, palette[size_t(index)]);
        x += int(run);
        p = end + 1;
    }
    return x == width;
}

}  // namespace

std::vector<GdiCase> GdiReferenceCases() {
    CaseList list;
    EllipseCases(list);
    RectangleCases(list);
    PixelAndFillCases(list);
    return list.cases;
}

std::string GdiCaseName(const GdiCase& c) {
    char name[200];
    std::snprintf(name, sizeof(name), "%s %s %s %s %d %d %d %d on %dx%d", kOperationNames[int(c.operation)],
                  c.target == GdiTarget::Bitmap ? "bitmap" : "directdraw", c.rop2 == R2_NOT ? "not" : "copy",
                  kColoursNames[int(c.colours)], c.left, c.top, c.right, c.bottom, c.width, c.height);
    return name;
}

int GdiCaseDraw(HDC dc, const GdiCase& c) {
    int oldRop2 = SetROP2(dc, c.rop2);
    HPEN pen = CreatePen(PS_SOLID, 0, PenColourOf(c.colours));
    bool ownBrush = false;
    HBRUSH brush = BrushOf(c.colours, &ownBrush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    int result = DrawOperation(dc, c, brush);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    if (ownBrush) DeleteObject(brush);
    SetROP2(dc, oldRop2);
    return result;
}

bool GdiDirectDrawOpen(GdiDirectDraw* directDraw) {
    directDraw->library = LoadLibraryA("DDRAW.DLL");
    if (!directDraw->library) return Failed("LoadLibraryA DDRAW.DLL", 0);
    auto create = reinterpret_cast<DirectDrawCreateExRoutine>(
        reinterpret_cast<void (*)()>(GetProcAddress(directDraw->library, "DirectDrawCreateEx")));
    void* object = nullptr;
    HRESULT r = create ? create(nullptr, &object, kIidDirectDraw7, nullptr) : DDERR_GENERIC;
    directDraw->object = static_cast<IDirectDraw7*>(object);
    if (r == DD_OK) r = directDraw->object->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    if (r == DD_OK) return true;
    GdiDirectDrawClose(directDraw);
    return Failed("DirectDrawCreateEx", r);
}

void GdiDirectDrawClose(GdiDirectDraw* directDraw) {
    if (directDraw->object) directDraw->object->Release();
    if (directDraw->library) FreeLibrary(directDraw->library);
    *directDraw = {};
}

bool GdiCaseRenderDirectDraw(const GdiDirectDraw& directDraw, const GdiCase& c, GdiPicture* picture) {
    return DrawOnSurface(directDraw.object, c, picture);
}

void GdiPictureWrite(std::FILE* file, const GdiCase& c, const GdiPicture& picture) {
    std::vector<uint32_t> palette = {kGdiBackground};
    std::vector<uint8_t> letters(picture.pixels.size());
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        size_t index = 0;
        while (index < palette.size() && palette[index] != picture.pixels[i]) ++index;
        if (index == palette.size()) palette.push_back(picture.pixels[i]);
        letters[i] = uint8_t(index);
    }
    std::fprintf(file, "case %s -> %d\npalette", GdiCaseName(c).c_str(), picture.result);
    for (uint32_t value : palette) std::fprintf(file, " %08" PRIx32, value);
    std::fputc('\n', file);
    for (int y = 0; y < c.height; ++y) {
        const uint8_t* row = &letters[size_t(y) * c.width];
        for (int x = 0; x < c.width;) {
            int run = 1;
            while (x + run < c.width && row[x + run] == row[x]) ++run;
            std::fprintf(file, "%d%c", run, PaletteLetter(row[x]));
            x += run;
        }
        std::fputc('\n', file);
    }
}

bool GdiPictureRead(std::FILE* file, std::string* name, GdiPicture* picture, int width, int height,
                    std::string* error) {
    std::string line;
    if (!ReadLine(file, &line)) return false;
    size_t arrow = line.rfind(" -> ");
    if (line.rfind("case ", 0) != 0 || arrow == std::string::npos) {
        *error = "not a case line: " + line;
        return false;
    }
    *name = line.substr(5, arrow - 5);
    picture->result = std::atoi(line.c_str() + arrow + 4);

    std::vector<uint32_t> palette;
    if (!ReadLine(file, &line) || line.rfind("palette", 0) != 0) {
        *error = *name + ": no palette";
        return false;
    }
    for (const char* p = line.c_str() + 7; *p == ' ';) {
        char* end = nullptr;
        palette.push_back(uint32_t(std::strtoul(p + 1, &end, 16)));
        p = end;
    }
    picture->pixels.assign(size_t(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        if (!ReadLine(file, &line) || !ReadRow(line, palette, &picture->pixels[size_t(y) * width], width)) {
            *error = *name + ": row " + std::to_string(y) + " is not " + std::to_string(width) + " pixels";
            return false;
        }
    }
    return true;
}
