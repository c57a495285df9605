// Opening and closing the display, its failure paths, clearing and the
// pixel layout.
#include "display/screen.h"

#include <gtest/gtest.h>

#include "core/object_table.h"
#include "core/runtime.h"
#include "draw/context.h"
#include "draw/screen_target.h"
#include "input/input.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "sprite/store.h"
#include "support/display.h"

TEST_F(DisplayTest, OpenGivesAFlippingPairClearedBlack) {
    ASSERT_EQ(Open(), 1);
    EXPECT_TRUE(HeadlessDisplay().open);
    EXPECT_EQ(HeadlessDisplay().width, 640);
    EXPECT_EQ(HeadlessDisplay().height, 480);
    EXPECT_FALSE(HeadlessDisplay().cursorVisible);
    EXPECT_EQ(ScreenState.drawSurface, ScreenState.backBuffer);
    EXPECT_EQ(ScreenState.active, 1);
    EXPECT_EQ(ScreenState.pixelFormat, 7);  // X8R8G8B8: blue in the lowest byte
    EXPECT_EQ(ScreenState.monitorFrequency, 60u);
    EXPECT_TRUE(WindowShown());
    EXPECT_EQ(BackBufferPixel(0, 0), 0u);
    EXPECT_EQ(BackBufferPixel(639, 479), 0u);
}

TEST_F(DisplayTest, SizesAreCutTo16BitsBeforeAnyUse) {
    ASSERT_EQ(ScreenOpen(65536 + 800, 600, 32, "cut"), 1);
    EXPECT_EQ(ScreenState.screenWidth, 800);
    EXPECT_EQ(HeadlessDisplay().width, 800);
    EXPECT_EQ(ScreenOpen(32768 + 100, 600, 32, "negative"), 0);
    EXPECT_EQ(ScreenState.screenWidth, 100 - 32768);
    ExpectNothingLeft();
}

TEST_F(DisplayTest, SecondOpenClosesTheFirstAndFreesItsSprites) {
    ASSERT_EQ(Open(), 1);
    auto* sprite = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, 3));
    ASSERT_NE(SpriteSurfaceCreate(sprite, 16, 16, 0, 0), nullptr);
    int surfaces = SurfaceCount();
    ASSERT_EQ(ScreenOpen(800, 600, 32, "second"), 1);
    EXPECT_EQ(ObjectTableGet(ScreenState.spriteTable, 3), nullptr);
    EXPECT_EQ(SurfaceCount(), surfaces - 1);
    EXPECT_EQ(HeadlessDisplay().width, 800);
    EXPECT_EQ(CursorCount(), -1);  // hidden once, not twice
}

// A screen closed while drawing on it had not ended (with the back buffer's
// device context held, or its pixels locked) lends the next screen's back
// buffer all the same, and drawing on it begins and holds it.
TEST_F(DisplayTest, AScreenClosedWhileItsBufferIsLentLendsTheNextOne) {
    for (bool locked : {false, true}) {
        SCOPED_TRACE(locked ? "locked" : "device context held");
        ASSERT_EQ(Open(), 1);
        ASSERT_NE(DrawBegin(ScreenDrawTarget()), nullptr);
        if (locked) {
            ASSERT_NE(ScreenPixelsLock(), nullptr);
        }
        ScreenClose();
        EXPECT_EQ(ScreenState.backBufferAccess, 0);
        ASSERT_EQ(Open(), 1);
        EXPECT_NE(DrawBegin(ScreenDrawTarget()), nullptr);
        EXPECT_NE(ScreenState.backBufferAccess, 0);
        DrawEnd();
        ScreenClose();
    }
}

// Every refusal on the way to an open display leaves nothing behind.
class DisplayOpenFailure : public DisplayTest, public testing::WithParamInterface<SoftOp> {};

TEST_P(DisplayOpenFailure, LeavesNoSurfaceNormalLevelCursorShownWindowHidden) {
    FailOn(GetParam(), 1, DDERR_GENERIC);
    EXPECT_EQ(Open(), 0);
    ExpectNothingLeft();
    // And the next attempt, with nothing failing, opens.
    EXPECT_EQ(Open(), 1);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, DisplayOpenFailure,
                         testing::Values(SoftOp::IDirectDraw7_SetCooperativeLevel, SoftOp::IDirectDraw7_SetDisplayMode,
                                         SoftOp::IDirectDraw7_CreateSurface,
                                         SoftOp::IDirectDrawSurface7_GetAttachedSurface));

TEST_F(DisplayTest, WithoutDirectDrawSetUpFailsButCountsTheUse) {
    for (const Fault& missing :
         {Fault{SoftOp::LoadLibraryA, "DDRAW.DLL"}, Fault{SoftOp::GetProcAddress, "DirectDrawCreateEx"},
          Fault{SoftOp::DirectDrawCreateEx}}) {
        SCOPED_TRACE(missing);
        Restart([&] { FailOn(missing, 1, 0); });
        EXPECT_EQ(ScreenState.displayObject, nullptr);
        EXPECT_EQ(ScreenState.displayUseCount, 1);
        EXPECT_EQ(ScreenState.setUp, 1);
        EXPECT_EQ(SoftModuleLoadCount("DDRAW.DLL"), 0);
        EXPECT_EQ(Open(), 0);
        ExpectNothingLeft();
        DisplaySystemRelease();
        EXPECT_EQ(ScreenState.displayUseCount, 0);
    }
}

// Set-up stopped at the window or at the keyboard gives no table and is not
// marked set up. It has taken no use of the display, so the shut-down at the
// end releases nothing. The sprite table it made first stays, its one table
// (the main heap holds that and, once it was built, the keyboard's format),
// and a later open fails leaving nothing behind.
TEST_F(DisplayTest, SetUpStoppedAtTheWindowOrTheKeyboardTakesNoDisplay) {
    struct {
        Fault operation;
        int64_t result;
        int32_t inputUses;  // the keyboard's set-up takes one, whatever its outcome
        size_t blocks;
    } cases[] = {
        {SoftOp::RegisterClassExA, 0, 0, 2},
        {SoftOp::CreateWindowExA, 0, 0, 2},
        {Fault{SoftOp::LoadLibraryA, "DINPUT.DLL"}, 0, 1, 2},
        {SoftOp::IDirectInput7_CreateDeviceEx, DIERR_OUTOFMEMORY, 1, 3},
        {SoftOp::IDirectInputDevice7_SetDataFormat, DIERR_INVALIDPARAM, 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation);
        ForgetTheRuntime();
        Runtime.mainHeap = HeapCreate(0, 4096, 0);
        FailOn(c.operation, 1, c.result);
        EXPECT_EQ(ScreenSetUp(), nullptr);
        EXPECT_EQ(HeadlessFaultsPending(), 0);
        ObjectTable* sprites = ScreenState.spriteTable;
        EXPECT_NE(sprites, nullptr);
        EXPECT_EQ(SoftHeapBlockCount(Runtime.mainHeap), c.blocks);
        EXPECT_EQ(ScreenState.setUp, 0);
        EXPECT_EQ(ScreenState.displayUseCount, 0);
        EXPECT_EQ(SoftModuleLoadCount("DDRAW.DLL"), 0);
        EXPECT_EQ(InputSystem.useCount, c.inputUses);

        EXPECT_EQ(Open(), 0);
        ExpectNothingLeft();
        ScreenShutDown();
        EXPECT_EQ(ScreenState.displayUseCount, 0);
        EXPECT_EQ(ScreenState.spriteTable, sprites);
    }
}

TEST_F(DisplayTest, FailedClearOrFormatReadStillOpens) {
    FailOn(SoftOp::IDirectDrawSurface7_GetDC, 1, DDERR_GENERIC, 2);
    FailOn(SoftOp::IDirectDrawSurface7_Lock, 1, DDERR_GENERIC);
    EXPECT_EQ(Open(), 1);
    EXPECT_EQ(ScreenState.pixelFormat, 0);  // the format stays as it was
}

// The 1 ms timer period is held from each open that succeeds to its close: a
// failed open begins none, and a second open ends the first one's period
// before it begins its own.
TEST_F(DisplayTest, EachOpenHoldsOneTimerPeriodUntilItsClose) {
    int periods = SoftTimerPeriodsBegun();
    FailOn(SoftOp::IDirectDraw7_SetDisplayMode, 1, DDERR_UNSUPPORTEDMODE);
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(SoftTimerPeriodsBegun(), periods);
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(SoftTimerPeriodsBegun(), periods + 1);
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(SoftTimerPeriodsBegun(), periods + 1);
    ScreenClose();
    EXPECT_EQ(SoftTimerPeriodsBegun(), periods);
    // An open that fails over an open screen has ended that screen's period.
    ASSERT_EQ(Open(), 1);
    FailOn(SoftOp::IDirectDraw7_CreateSurface, 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(SoftTimerPeriodsBegun(), periods);
    // The failed open keeps its size, but the close after it ends no period
    // it never began, nor does the next open's.
    timeBeginPeriod(1);
    ScreenClose();
    EXPECT_EQ(SoftTimerPeriodsBegun(), periods + 1);
    timeEndPeriod(1);
}

TEST_F(DisplayTest, ShutDownReleasesTheDisplayOnlyWhenSetUp) {
    ASSERT_EQ(Open(), 1);
    ScreenShutDown();
    EXPECT_EQ(ScreenState.frontSurface, nullptr);
    EXPECT_EQ(ScreenState.displayObject, nullptr);
    EXPECT_EQ(SoftModuleLoadCount("DDRAW.DLL"), 0);
    EXPECT_EQ(ScreenState.screenWidth, 640);  // kept: shut-down does not close

    ScreenState.setUp = 0;
    ScreenState.displayUseCount = 5;
    ScreenShutDown();
    EXPECT_EQ(ScreenState.displayUseCount, 5);
}

TEST_F(DisplayTest, PixelFromColorForEveryDepthAndLayout) {
    struct Case {
        int32_t depth;
        PixelFormatCode code;
        uint32_t pixel;
    } cases[] = {
        {32, 7, 0x00FF8000}, {32, 6, 0x000080FF}, {24, 5, 0x00FF8000}, {24, 4, 0x000080FF},
        {16, 3, 31u << 11 | 32u << 5}, {16, 2, 31u << 11 | 32u << 5},  // 5-6-5 even for the 5-5-5 code
        {15, 1, 31u << 10 | 16u << 5}, {8, 1, 0},
    };
    for (const Case& c : cases) {
        ScreenState.depth = c.depth;
        ScreenState.pixelFormat = c.code;
        EXPECT_EQ(PixelFromColor(255, 128, 0), c.pixel) << c.depth << "/" << c.code;
        // Components out of range pack without overflow (the sanitizers would stop here).
        PixelFromColor(INT32_MAX, INT32_MIN, INT32_MAX);
    }
}

TEST_F(DisplayTest, ClearFillsTheDrawSurfaceWithTheModesPixel) {
    ScreenClear(0x0000FF);  // before any open: nothing to fill, nothing breaks
    ASSERT_EQ(Open(), 1);
    ScreenClear(0x336699);
    EXPECT_EQ(BackBufferPixel(10, 10), 0x00996633u);
    // At 8 bits or less the colour is a palette index, filled as it is.
    ScreenState.depth = 8;
    ScreenClear(0x000012);
    EXPECT_EQ(BackBufferPixel(10, 10), 0x12u);
}
