// The software GDI: objects as Windows keeps them, and shapes pixel by pixel.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "support/fixture.h"

namespace {

constexpr uint32_t kBackground = 0x00123456;
constexpr COLORREF kPenColour = 0x0000FF;    // red
constexpr COLORREF kBrushColour = 0xFF0000;  // blue
constexpr uint32_t kPenPixel = 0x00FF0000;
constexpr uint32_t kBrushPixel = 0x000000FF;

// Selects a pen and a brush of their own colours into a surface's context
// and removes them again at the end.
struct Painted {
    Painted(HDC dc, COLORREF pen, COLORREF brush) : dc(dc) {
        oldPen = SelectObject(dc, CreatePen(PS_SOLID, 0, pen));
        oldBrush = SelectObject(dc, CreateSolidBrush(brush));
    }
    ~Painted() {
        DeleteObject(SelectObject(dc, oldPen));
        DeleteObject(SelectObject(dc, oldBrush));
    }
    HDC dc;
    HGDIOBJ oldPen, oldBrush;
};

bool Drawn(TestSurface& s, int x, int y) { return s.At(x, y) != kBackground; }

// An ellipse drawn on its own surface, one pixel of margin all round.
struct EllipseShape {
    EllipseShape(int w, int h) : surface(w + 2, h + 2, kBackground), paint(surface.dc, kPenColour, kBrushColour) {
        Ellipse(surface.dc, 1, 1, 1 + w, 1 + h);
    }
    TestSurface surface;
    Painted paint;
};

}  // namespace

class SoftGdiTest : public RuntimeTest {};

TEST_F(SoftGdiTest, ColourRefsBecomeXrgbPixelsAndBack) {
    TestSurface s(4, 4);
    EXPECT_TRUE(SetPixelV(s.dc, 1, 2, 0x00332211));
    EXPECT_EQ(s.At(1, 2), 0x00112233u);
    EXPECT_EQ(GetPixel(s.dc, 1, 2), 0x00332211u);
    EXPECT_FALSE(SetPixelV(s.dc, 4, 0, 0));
    EXPECT_FALSE(SetPixelV(s.dc, -1, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 0, 4), CLR_INVALID);
}

TEST_F(SoftGdiTest, StockAndSelectedObjectsAreNotDestroyed) {
    int before = SoftGdiObjectCount();
    TestSurface s(4, 4);
    HPEN pen = CreatePen(PS_SOLID, 0, 0x00FF00);
    EXPECT_EQ(SoftGdiObjectCount(), before + 1);
    HGDIOBJ original = SelectObject(s.dc, pen);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(SelectObject(s.dc, s.dc), nullptr);  // a device context is neither a pen nor a brush
    EXPECT_FALSE(DeleteObject(s.dc));

    EXPECT_FALSE(DeleteObject(pen));  // still selected: refused
    EXPECT_EQ(SoftGdiObjectCount(), before + 1);
    EXPECT_TRUE(Rectangle(s.dc, 0, 0, 4, 4));
    EXPECT_EQ(s.At(0, 0), 0x0000FF00u);  // the pen still draws

    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(SelectObject(s.dc, GetStockObject(BLACK_BRUSH)) != nullptr, true);  // still alive

    EXPECT_EQ(SelectObject(s.dc, original), pen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(SoftGdiObjectCount(), before);
    // A handle that was deleted is refused, even once its slot is reused.
    HBRUSH reuse = CreateSolidBrush(0);
    EXPECT_EQ(SelectObject(s.dc, pen), nullptr);
    EXPECT_FALSE(DeleteObject(pen));
    DeleteObject(reuse);
}

TEST_F(SoftGdiTest, DeletingADcDeselectsItsObjectsWithoutDeletingThem) {
    int before = SoftGdiObjectCount();
    HPEN pen = CreatePen(PS_SOLID, 0, 0);
    {
        TestSurface s(2, 2);
        SelectObject(s.dc, pen);
    }
    EXPECT_EQ(SoftGdiObjectCount(), before + 1);
    EXPECT_TRUE(DeleteObject(pen));  // no longer selected anywhere
}

TEST_F(SoftGdiTest, DisplayContextReportsTheDesktop) {
    HeadlessSetDesktop({800, 600, 32, 75});
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(GetDeviceCaps(display, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(display, VREFRESH), 75);
    EXPECT_TRUE(DeleteDC(display));
    EXPECT_FALSE(DeleteDC(display));
    EXPECT_EQ(CreateDCA("PRINTER", nullptr, nullptr, nullptr), nullptr);
}

// ---- rectangles -----------------------------------------------------------

TEST_F(SoftGdiTest, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    TestSurface s(7, 6, kBackground);
    Painted paint(s.dc, kPenColour, kBrushColour);
    EXPECT_TRUE(Rectangle(s.dc, 1, 1, 6, 5));  // 5 x 4, right and bottom edges excluded
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 7; ++x) {
            bool inBox = x >= 1 && x < 6 && y >= 1 && y < 5;
            bool edge = x == 1 || x == 5 || y == 1 || y == 4;
            uint32_t expected = !inBox ? kBackground : edge ? kPenPixel : kBrushPixel;
            EXPECT_EQ(s.At(x, y), expected) << x << "," << y;
        }
    }
}

// A box's corners may come in any order: all four orders draw the same shape.
TEST_F(SoftGdiTest, CornersInAnyOrderMakeTheSameShape) {
    for (auto draw : {&Rectangle, &Ellipse}) {
        std::vector<std::vector<uint32_t>> drawn;
        for (auto [l, t, r, b] : {std::array{3, 5, 26, 20}, {26, 5, 3, 20}, {3, 20, 26, 5}, {26, 20, 3, 5}}) {
            TestSurface s(30, 30, kBackground);
            Painted paint(s.dc, kPenColour, kBrushColour);
            draw(s.dc, l, t, r, b);
            drawn.push_back(s.pixels);
        }
        for (const auto& pixels : drawn) EXPECT_EQ(pixels, drawn[0]);
    }
}

TEST_F(SoftGdiTest, TinyAndEmptyRectangles) {
    TestSurface s(4, 4, kBackground);
    Painted paint(s.dc, kPenColour, kBrushColour);
    Rectangle(s.dc, 1, 1, 1, 3);  // no width: nothing
    Rectangle(s.dc, 1, 1, 3, 1);  // no height: nothing
    EXPECT_EQ(s.CountNot(kBackground), 0);
    Rectangle(s.dc, 2, 2, 3, 3);  // 1 x 1: nothing either, as in Windows' GDI
    EXPECT_EQ(s.CountNot(kBackground), 0);
    Rectangle(s.dc, 2, 1, 3, 3);  // 1 x 2: two pixels of the pen
    EXPECT_EQ(s.CountNot(kBackground), 2);
    EXPECT_EQ(s.At(2, 2), kPenPixel);
}

TEST_F(SoftGdiTest, NullBrushLeavesTheInsideAlone) {
    TestSurface s(5, 5, kBackground);
    HGDIOBJ pen = SelectObject(s.dc, CreatePen(PS_SOLID, 0, kPenColour));
    SelectObject(s.dc, GetStockObject(NULL_BRUSH));
    Rectangle(s.dc, 0, 0, 5, 5);
    EXPECT_EQ(s.At(2, 2), kBackground);
    EXPECT_EQ(s.CountNot(kBackground), 16);
    DeleteObject(SelectObject(s.dc, pen));
}

TEST_F(SoftGdiTest, RectangleIsClippedToTheSurface) {
    TestSurface s(6, 6, kBackground);
    Painted paint(s.dc, kPenColour, kBrushColour);
    Rectangle(s.dc, -3, -3, 3, 3);
    Rectangle(s.dc, 4, 4, 1000000, 1000000);
    EXPECT_EQ(s.At(0, 0), kBrushPixel);
    EXPECT_EQ(s.At(2, 2), kPenPixel);
    EXPECT_EQ(s.At(4, 4), kPenPixel);
    EXPECT_EQ(s.At(5, 5), kBrushPixel);
    EXPECT_EQ(s.At(3, 3), kBackground);
}

TEST_F(SoftGdiTest, FillRectUsesTheBrushAloneAndIgnoresTheRasterOperation) {
    TestSurface s(4, 4, kBackground);
    SetROP2(s.dc, R2_NOT);
    HBRUSH brush = CreateSolidBrush(kBrushColour);
    RECT r = {0, 1, 2, 3};
    EXPECT_EQ(FillRect(s.dc, &r, brush), 1);
    EXPECT_EQ(s.At(1, 2), kBrushPixel);
    EXPECT_EQ(s.CountNot(kBackground), 4);
    // Reversed, it reaches from its first corner back to just past the other.
    RECT reversed = {3, 3, 1, 1};
    EXPECT_EQ(FillRect(s.dc, &reversed, brush), 1);
    EXPECT_EQ(s.At(3, 3), kBrushPixel);
    EXPECT_EQ(s.At(1, 3), kBackground);
    EXPECT_EQ(s.At(2, 2), kBrushPixel);
    EXPECT_EQ(s.CountNot(kBackground), 8);
    DeleteObject(brush);
}

// ---- ellipses -------------------------------------------------------------

// Thin, tall ellipses stop short of their tips, as in Windows' GDI under
// Wine, so only the left and right sides are sure to be touched.
TEST_F(SoftGdiTest, EllipsesOfEverySmallSizeAreInscribedSymmetricAndConvex) {
    for (int w = 1; w <= 40; ++w) {
        for (int h = w == 1 ? 2 : 1; h <= 40; ++h) {
            EllipseShape e(w, h);
            TestSurface& s = e.surface;
            SCOPED_TRACE(testing::Message() << w << " x " << h);
            bool left = false, right = false;
            for (int y = 0; y < h + 2; ++y) {
                int first = -1, last = -1;
                for (int x = 0; x < w + 2; ++x) {
                    if (!Drawn(s, x, y)) continue;
                    ASSERT_TRUE(x >= 1 && x <= w && y >= 1 && y <= h) << "outside its box at " << x << "," << y;
                    ASSERT_EQ(s.At(x, y), s.At(w + 1 - x, y)) << "not mirrored left to right";
                    ASSERT_EQ(s.At(x, y), s.At(x, h + 1 - y)) << "not mirrored top to bottom";
                    if (first < 0) first = x;
                    ASSERT_TRUE(last < 0 || last == x - 1) << "a gap in row " << y;
                    last = x;
                    left |= x == 1, right |= x == w;
                }
            }
            ASSERT_TRUE(left && right) << "does not touch both sides of its box";
        }
    }
}

// The brush never reaches the edge of the shape, and the pen draws a thin
// line: every outline pixel has a neighbour outside.
TEST_F(SoftGdiTest, EllipseInsideIsSurroundedByItsOutline) {
    for (int d : {3, 4, 5, 9, 16, 29, 64, 101}) {
        for (int h : {d, d / 2 + 3, 2 * d}) {
            EllipseShape e(d, h);
            TestSurface& s = e.surface;
            SCOPED_TRACE(testing::Message() << d << " x " << h);
            int inside = 0;
            for (int y = 1; y <= h; ++y) {
                for (int x = 1; x <= d; ++x) {
                    bool allNeighboursDrawn =
                        Drawn(s, x - 1, y) && Drawn(s, x + 1, y) && Drawn(s, x, y - 1) && Drawn(s, x, y + 1);
                    if (s.At(x, y) == kBrushPixel) {
                        ++inside;
                        ASSERT_TRUE(allNeighboursDrawn) << x << "," << y;
                    }
                }
            }
            if (d >= 9 && h >= 9) {
                EXPECT_GT(inside, 0);
            }
        }
    }
}

TEST_F(SoftGdiTest, SmallEllipsesAreTheirBoxes) {
    TestSurface s(8, 8, kBackground);
    Painted paint(s.dc, kPenColour, kBrushColour);
    Ellipse(s.dc, 3, 3, 3, 3);  // radius 0
    EXPECT_EQ(s.CountNot(kBackground), 0);
    Ellipse(s.dc, 1, 1, 3, 3);  // radius 1: the 2 x 2 block, all pen
    EXPECT_EQ(s.CountNot(kBackground), 4);
    EXPECT_EQ(s.At(1, 1), kPenPixel);
    EXPECT_EQ(s.At(2, 2), kPenPixel);
}

// An ellipse across the edges of a small surface is the matching window of
// the same ellipse drawn whole on a large one.
TEST_F(SoftGdiTest, EllipseIsClippedNotDeformed) {
    TestSurface whole(200, 200, kBackground), window(40, 30, kBackground);
    Painted pw(whole.dc, kPenColour, kBrushColour), pc(window.dc, kPenColour, kBrushColour);
    Ellipse(whole.dc, 50, 60, 150, 130);
    Ellipse(window.dc, 50 - 90, 60 - 110, 150 - 90, 130 - 110);  // the window sits at (90, 110)
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) ASSERT_EQ(window.At(x, y), whole.At(x + 90, y + 110)) << x << "," << y;
    }
}

TEST_F(SoftGdiTest, EllipseTooLargeIsRefusedAndDrawsNothing) {
    TestSurface s(10, 10, kBackground);
    Painted paint(s.dc, kPenColour, kBrushColour);
    EXPECT_FALSE(Ellipse(s.dc, -100000, -10, 100000, 10));
    EXPECT_EQ(s.CountNot(kBackground), 0);
}

// Inverting paints every pixel of a shape exactly once: twice restores.
TEST_F(SoftGdiTest, InvertingTwiceRestoresThePicture) {
    TestSurface s(64, 48);
    std::mt19937 random(7);
    for (uint32_t& p : s.pixels) p = random();
    std::vector<uint32_t> original = s.pixels;
    Painted paint(s.dc, kPenColour, kBrushColour);
    SetROP2(s.dc, R2_NOT);
    for (int pass = 0; pass < 2; ++pass) {
        Ellipse(s.dc, 5, 4, 60, 45);
        Ellipse(s.dc, 10, 10, 13, 40);
        Rectangle(s.dc, 1, 1, 2, 30);
        Rectangle(s.dc, 30, 2, 50, 3);
        Rectangle(s.dc, 20, 20, 40, 40);
        if (pass == 0) {
            EXPECT_NE(s.pixels, original);
        }
    }
    EXPECT_EQ(s.pixels, original);
    EXPECT_EQ(SetROP2(s.dc, 99), 0);  // raster operations other than copy and invert are refused
}
