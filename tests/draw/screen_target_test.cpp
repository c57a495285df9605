// The back buffer as a drawing target, held one way at a time.
#include "draw/screen_target.h"

#include <gtest/gtest.h>

#include "display/screen.h"
#include "draw/shapes.h"
#include "platform/host/headless.h"
#include "support/display.h"

TEST_F(DisplayTest, TargetCarriesTheDcAndThePixelsTakenUnderALock) {
    ASSERT_EQ(Open(), 1);
    DrawTarget* target = ScreenDrawTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->kind, kDrawTargetSurface);
    EXPECT_NE(target->dc, nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(target->dc), ScreenState.backBufferAccess);
    EXPECT_NE(target->pixels, nullptr);
    EXPECT_EQ(target->width, 640);
    EXPECT_EQ(target->height, 480);
    EXPECT_GE(target->pitch, 640 * 4);
    EXPECT_EQ(target->depth, 32);
    EXPECT_EQ(target->pixelFormat, 7);
    EXPECT_EQ(target->window, nullptr);

    ASSERT_EQ(DrawBegin(target), target->dc);
    DrawBox(1, 1, 2, 2, 0x0000FF);
    DrawEnd();
    EXPECT_EQ(ScreenState.backBufferAccess, 0);
    EXPECT_EQ(BackBufferPixel(1, 1), 0x00FF0000u);
}

TEST_F(DisplayTest, SecondTargetWhileTheFirstIsHeldIsRefused) {
    ASSERT_EQ(Open(), 1);
    ASSERT_NE(DrawBegin(ScreenDrawTarget()), nullptr);
    EXPECT_EQ(ScreenDrawTarget(), nullptr);
    EXPECT_EQ(DrawBegin(ScreenDrawTarget()), nullptr);  // ends the first drawing
    EXPECT_EQ(ScreenState.backBufferAccess, 0);
    DrawBox(0, 0, 4, 4, 0x0000FF);  // nothing is bound: nothing is drawn
    EXPECT_EQ(BackBufferPixel(0, 0), 0u);
    EXPECT_NE(DrawBegin(ScreenDrawTarget()), nullptr);
}

TEST_F(DisplayTest, FailuresOnTheWayToATarget) {
    ASSERT_EQ(Open(), 1);
    FailOn(SoftOp::IDirectDrawSurface7_GetDC, 1, DDERR_GENERIC);
    EXPECT_EQ(ScreenDrawTarget(), nullptr);
    EXPECT_EQ(ScreenState.backBufferAccess, 0);

    // The lock fails: no pixels, but the device context still draws.
    FailOn(SoftOp::IDirectDrawSurface7_Lock, 1, DDERR_GENERIC);
    DrawTarget* target = ScreenDrawTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->pixels, nullptr);
    EXPECT_NE(DrawBegin(target), nullptr);
    DrawEnd();

    // The second device-context request fails: dc 0, nothing held.
    FailOn(SoftOp::IDirectDrawSurface7_GetDC, 2, DDERR_GENERIC);
    target = ScreenDrawTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->dc, nullptr);
    EXPECT_EQ(ScreenState.backBufferAccess, 0);
    EXPECT_EQ(DrawBegin(target), nullptr);
}

TEST_F(DisplayTest, FlipGivesTheDeviceContextBack) {
    ASSERT_EQ(Open(), 1);
    ASSERT_NE(ScreenDrawTarget(), nullptr);
    ScreenFlip();
    EXPECT_EQ(ScreenState.backBufferAccess, 0);
    EXPECT_EQ(HeadlessFrames().size(), 1u);
    // A release from the locked state unlocks.
    ScreenDrawTarget();
    ScreenPixelsLock();
    EXPECT_EQ(ScreenState.backBufferAccess, kBackBufferLocked);
    ScreenDcRelease();
    EXPECT_EQ(ScreenState.backBufferAccess, 0);
    EXPECT_NE(ScreenDrawTarget(), nullptr);  // neither locked nor held any more
}
