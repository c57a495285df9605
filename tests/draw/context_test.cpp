// The drawing context and the shapes drawn through it.
#include "draw/context.h"

#include <gtest/gtest.h>

#include <climits>

#include "draw/shapes.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "support/fixture.h"

namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;

int releases = 0;
void CountRelease() { ++releases; }

// A surface lent to the drawing context, given back through CountRelease.
struct LentSurface : TestSurface {
    LentSurface(int w, int h, uint32_t fill = kWhite) : TestSurface(w, h, fill) {
        target.kind = 2;
        target.dc = dc;
        target.release = CountRelease;
    }
    DrawTarget target = {};
};

}  // namespace

class DrawTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        releases = 0;
    }
    void TearDown() override {
        DrawEnd();
        RuntimeTest::TearDown();
    }
};

TEST_F(DrawTest, WithoutATargetNothingIsDrawnOrMade) {
    LentSurface s(8, 8);
    int objects = SoftGdiObjectCount();
    EXPECT_EQ(DrawBegin(nullptr), nullptr);
    DrawCircle(4, 4, 3, 0xFF);
    DrawBox(0, 0, 4, 4, 0xFF);
    DrawModeSet(kDrawInvert);
    DrawEnd();
    DrawEnd();
    EXPECT_EQ(s.CountNot(kWhite), 0);
    EXPECT_EQ(SoftGdiObjectCount(), objects);
    EXPECT_EQ(releases, 0);
}

TEST_F(DrawTest, ShapesLeaveTheContextsOwnPenAndBrushAndNoObjectsBehind) {
    LentSurface s(64, 64);
    HGDIOBJ ownPen = GetCurrentObject(s.dc, OBJ_PEN);
    HGDIOBJ ownBrush = GetCurrentObject(s.dc, OBJ_BRUSH);
    int objects = SoftGdiObjectCount();

    ASSERT_EQ(DrawBegin(&s.target), s.dc);
    for (uint32_t mode : {0u, uint32_t{kDrawOutline}, uint32_t{kDrawInvert | kDrawTransparent}, 0u}) {
        DrawModeSet(mode);
        for (ColorValue colour : {0x000000u, 0x0000FFu, 0x123456u}) {
            DrawCircle(20, 20, 10, colour);
            DrawCircle(5, 5, 1, colour);
            DrawEllipse(40, 40, 8, 3, colour);
            DrawBox(50, 2, 7, 4, colour);
            DrawBox(60, 60, 1, 1, colour);
        }
    }
    DrawEnd();

    EXPECT_EQ(GetCurrentObject(s.dc, OBJ_PEN), ownPen);
    EXPECT_EQ(GetCurrentObject(s.dc, OBJ_BRUSH), ownBrush);
    EXPECT_EQ(SoftGdiObjectCount(), objects);
    EXPECT_EQ(releases, 1);
}

TEST_F(DrawTest, ShapesInTheFrontColourMakeNoPenOrBrush) {
    LentSurface s(16, 16);
    DrawBegin(&s.target);
    FailOn(SoftOp::CreatePen, 1, 0);
    FailOn(SoftOp::CreateSolidBrush, 1, 0);
    DrawCircle(8, 8, 5, 0);
    DrawBox(0, 0, 3, 3, 0);
    EXPECT_EQ(HeadlessFaultsPending(), 2);  // neither was asked for
    EXPECT_EQ(s.At(8, 8), 0u);
    EXPECT_EQ(s.At(1, 1), 0u);
}

TEST_F(DrawTest, CircleOfRadiusOneIsTheTwoByTwoBoxFromItsCentre) {
    LentSurface s(8, 8);
    DrawBegin(&s.target);
    DrawCircle(3, 4, 1, 0x0000FF);
    EXPECT_EQ(s.CountNot(kWhite), 4);
    for (int y : {4, 5}) {
        for (int x : {3, 4}) EXPECT_EQ(s.At(x, y), 0x00FF0000u);
    }
}

TEST_F(DrawTest, CircleOfRadiusZeroDrawsNothingAndANegativeRadiusDrawsTheMirroredBox) {
    LentSurface s(40, 40), t(40, 40);
    DrawBegin(&s.target);
    DrawCircle(20, 20, 0, 0);
    EXPECT_EQ(s.CountNot(kWhite), 0);
    DrawCircle(20, 20, -7, 0x00FF00);
    DrawBegin(&t.target);
    DrawCircle(20, 20, 7, 0x00FF00);
    DrawEnd();
    EXPECT_GT(t.CountNot(kWhite), 100);
    EXPECT_EQ(s.pixels, t.pixels);
}

TEST_F(DrawTest, OneByOneBoxIsOnePixelAndOneByTwoIsARectangle) {
    LentSurface s(8, 8);
    DrawBegin(&s.target);
    DrawBox(2, 3, 1, 1, 0x0000FF);
    EXPECT_EQ(s.CountNot(kWhite), 1);
    EXPECT_EQ(s.At(2, 3), 0x00FF0000u);
    DrawBox(5, 5, 1, 2, 0xFF0000);
    EXPECT_EQ(s.CountNot(kWhite), 3);
    EXPECT_EQ(s.At(5, 6), 0x000000FFu);
}

TEST_F(DrawTest, OutlineModeDrawsTheFrontColourWithTheDefaultPenOnly) {
    LentSurface s(30, 30);
    DrawBegin(&s.target);
    DrawModeSet(kDrawOutline);
    DrawEllipse(15, 15, 10, 10, 0);
    EXPECT_EQ(s.At(15, 15), kWhite);  // not filled
    EXPECT_EQ(s.At(15, 5), 0u);       // outlined in black
    DrawEllipse(15, 15, 5, 5, 0x0000FF);
    EXPECT_EQ(s.At(15, 15), kWhite);
    EXPECT_EQ(s.At(15, 10), 0x00FF0000u);
}

TEST_F(DrawTest, InvertModeInvertsAndDoesNotOutliveTheDrawing) {
    LentSurface s(10, 10, 0x00102030);
    DrawBegin(&s.target);
    DrawModeSet(kDrawInvert);
    DrawBox(0, 0, 4, 4, 0x0000FF);
    EXPECT_EQ(s.At(1, 1), ~0x00102030u);
    DrawBegin(&s.target);  // ends the first drawing, which restored nothing of the mode itself
    EXPECT_EQ(DrawState.mode, 0u);
    DrawModeSet(0);
    DrawBox(6, 6, 2, 2, 0x0000FF);
    EXPECT_EQ(s.At(6, 6), 0x00FF0000u);
    EXPECT_EQ(releases, 1);
}

TEST_F(DrawTest, TheTargetIsCopied) {
    LentSurface s(8, 8);
    DrawTarget target = s.target;
    DrawBegin(&target);
    target.release = nullptr;
    target.kind = 99;
    DrawEnd();
    EXPECT_EQ(releases, 1);
}

TEST_F(DrawTest, EveryKindGivesItsContextBackItsOwnWay) {
    int dcs = SoftGdiDcCount();
    DrawTarget window = {};
    window.kind = kDrawTargetWindow;  // no window: the screen's context
    ASSERT_NE(DrawBegin(&window), nullptr);
    EXPECT_EQ(SoftGdiDcCount(), dcs + 1);
    DrawEnd();
    EXPECT_EQ(SoftGdiDcCount(), dcs);

    std::vector<uint32_t> pixels(16);
    DrawTarget owned = {};
    owned.kind = 0;
    owned.dc = SoftSurfaceDcCreate(pixels.data(), 4, 4, 16);
    ASSERT_EQ(DrawBegin(&owned), owned.dc);
    DrawEnd();
    EXPECT_EQ(SoftGdiDcCount(), dcs);  // deleted by the drawing context

    DrawTarget none = {};
    none.kind = 2;
    none.release = CountRelease;
    EXPECT_EQ(DrawBegin(&none), nullptr);
    DrawEnd();
    EXPECT_EQ(releases, 0);  // nothing was held, so nothing is given back
}

TEST_F(DrawTest, SecondBeginEndsTheFirstDrawing) {
    LentSurface a(4, 4), b(4, 4);
    DrawBegin(&a.target);
    DrawBegin(&b.target);
    EXPECT_EQ(releases, 1);
    DrawBox(0, 0, 4, 4, 0x0000FF);
    EXPECT_EQ(a.CountNot(kWhite), 0);
    EXPECT_EQ(b.CountNot(kWhite), 16);
}

// A context given up for direct pixel access is got again, with the pen,
// brush and mode it had, before the next shape.
TEST_F(DrawTest, ReacquiredContextGetsBackItsPenBrushAndMode) {
    static TestSurface* surface;
    LentSurface s(12, 12);
    surface = &s;
    s.target.kind = kDrawTargetSurface;
    s.target.reacquire = [] { return surface->dc; };
    DrawBegin(&s.target);
    DrawModeSet(kDrawOutline);
    DrawEnd();
    releases = 0;

    DrawBegin(&s.target);
    DrawModeSet(kDrawOutline);
    // As an operation with direct pixel access would: the context is given up.
    SelectObject(s.dc, DrawState.savedPen);
    SelectObject(s.dc, DrawState.savedBrush);
    DrawState.dcMarker = -1;
    DrawEllipse(6, 6, 5, 5, 0);
    EXPECT_EQ(DrawState.dcMarker, 1);
    EXPECT_EQ(GetCurrentObject(s.dc, OBJ_PEN), DrawState.defaultPen);
    EXPECT_EQ(GetCurrentObject(s.dc, OBJ_BRUSH), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(s.At(6, 6), kWhite);  // still outline only
    EXPECT_EQ(s.At(6, 1), 0u);
}

TEST_F(DrawTest, CoordinatesAtTheEdgeOfThe32BitRangeWrapAsOnTheProcessor) {
    LentSurface s(8, 8);
    DrawBegin(&s.target);
    DrawEllipse(INT_MAX, INT_MIN, 10, 10, 0x0000FF);
    DrawBox(INT_MAX, INT_MAX, 10, 10, 0x0000FF);
    DrawCircle(INT_MIN, 0, INT_MAX, 0x0000FF);
    SUCCEED();  // the sanitizer build fails here on any undefined overflow
}
