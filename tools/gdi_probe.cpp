// Draws every reference case with the system's GDI and writes the pixels:
//   ravlin_gdi_probe FILE
// Bitmap cases draw into a 32-bit top-down DIB section selected into a memory
// device context; DirectDraw cases into an off-screen surface's device context.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/platform/soft/reference/gdi_cases.h"

namespace {

bool RenderBitmap(const GdiCase& c, GdiPicture* picture) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = c.width;
    info.bmiHeader.biHeight = -c.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!bitmap || !dc) {
        std::fprintf(stderr, "gdi probe: no %dx%d DIB section\n", c.width, c.height);
        return false;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    auto* pixels = static_cast<uint32_t*>(bits);
    size_t count = size_t(c.width) * c.height;
    for (size_t i = 0; i < count; ++i) pixels[i] = kGdiBackground;
    picture->result = GdiCaseDraw(dc, c);
    GdiFlush();
    picture->pixels.assign(pixels, pixels + count);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return true;
}

bool Render(const GdiDirectDraw& directDraw, const GdiCase& c, GdiPicture* picture) {
    return c.target == GdiTarget::Bitmap ? RenderBitmap(c, picture) : GdiCaseRenderDirectDraw(directDraw, c, picture);
}

// Wine fills the rows that its ellipse outline walk never reaches (the tips
// of thin, tall ellipses) from span memory it never wrote: brush runs that
// change from run to run and can land outside the box. Such a row holds no
// outline pixel, which no row of an ellipse lacks, and is taken as empty, as
// it comes out in most runs. The outline alone, drawn whole with the null
// brush on a surface of the box's size, tells which rows those are.
bool ClearRowsWithoutOutline(const GdiCase& c, GdiPicture* picture) {
    const int top = std::min(c.top, c.bottom);
    GdiCase outlineOnly = c;
    outlineOnly.target = GdiTarget::Bitmap;
    outlineOnly.colours = GdiColours::NullBrush;
    outlineOnly.rop2 = R2_COPYPEN;
    outlineOnly.width = std::abs(c.right - c.left) + 2;
    outlineOnly.height = std::abs(c.bottom - c.top) + 2;
    outlineOnly.left = c.left - std::min(c.left, c.right) + 1;
    outlineOnly.right = c.right - std::min(c.left, c.right) + 1;
    outlineOnly.top = c.top - top + 1;
    outlineOnly.bottom = c.bottom - top + 1;
    GdiPicture outline;
    if (!RenderBitmap(outlineOnly, &outline)) return false;
    auto hasOutline = [&](int boxRow) {
        if (boxRow < 0 || boxRow >= outlineOnly.height) return false;
        auto row = outline.pixels.begin() + ptrdiff_t(boxRow) * outlineOnly.width;
        return std::any_of(row, row + outlineOnly.width, [](uint32_t p) { return p != kGdiBackground; });
    };
    for (int y = 0; y < c.height; ++y) {
        if (!hasOutline(y - top + 1))
            std::fill_n(picture->pixels.begin() + ptrdiff_t(y) * c.width, c.width, kGdiBackground);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ravlin_gdi_probe FILE\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::fprintf(stderr, "gdi probe: cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(file, "%s\n", kGdiReferenceHeader);
    std::vector<GdiCase> cases = GdiReferenceCases();
    GdiDirectDraw directDraw;
    bool drawn = GdiDirectDrawOpen(&directDraw);
    GdiPicture picture;
    for (size_t i = 0; drawn && i < cases.size(); ++i) {
        const GdiCase& c = cases[i];
        drawn = Render(directDraw, c, &picture) &&
                (c.operation != GdiOperation::Ellipse || ClearRowsWithoutOutline(c, &picture));
        if (drawn) GdiPictureWrite(file, c, picture);
    }
    GdiDirectDrawClose(&directDraw);
    if (std::fclose(file) != 0 || !drawn) {
        if (drawn) std::fprintf(stderr, "gdi probe: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("gdi probe: %zu cases\n", cases.size());
    return 0;
}
