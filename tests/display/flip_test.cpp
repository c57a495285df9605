// Presenting frames: flip modes, the scan-line wait, focus loss and the
// display's recovery, and frame pacing.
#include <gtest/gtest.h>

#include "display/screen.h"
#include "platform/host/headless.h"
#include "platform/soft/internal.h"
#include "sprite/store.h"
#include "support/display.h"

namespace {

int hookRuns = 0;
void CountHook() { ++hookRuns; }

int64_t PhaseOf(int64_t ticks) { return ticks % HeadlessRefreshTicks(); }

}  // namespace

TEST_F(DisplayTest, ModeOneWaitsForTheVerticalBlankAndModeZeroDoesNot) {
    ASSERT_EQ(Open(), 1);
    Sleep(3);
    ScreenFlip(0);
    ASSERT_EQ(HeadlessFrames().size(), 1u);
    EXPECT_NE(PhaseOf(HeadlessFrames()[0].ticks), 0);
    ScreenFlip();  // mode 1
    ASSERT_EQ(HeadlessFrames().size(), 2u);
    EXPECT_EQ(PhaseOf(HeadlessFrames()[1].ticks), 0);
    EXPECT_GT(HeadlessFrames()[1].ticks, HeadlessFrames()[0].ticks);
}

TEST_F(DisplayTest, ScanLineModesWaitForTheLowerScreenFirst) {
    ASSERT_EQ(Open(), 1);
    for (int32_t mode : {2, 3}) {
        ScreenFlip(mode);
        // The beam had passed line 480 - 150 when the flip came.
        int64_t ticks = HeadlessFrames().back().ticks;
        if (mode == 2) {
            int64_t lines = 480 + 480 / 20 + 1;
            EXPECT_GE(PhaseOf(ticks) * lines / HeadlessRefreshTicks(), 480 - 150);
        } else {
            EXPECT_EQ(PhaseOf(ticks), 0);
        }
    }
}

TEST_F(DisplayTest, ScanLineWaitOnAShortScreenEndsOnlyWhenTheReadFails) {
    HeadlessSetDesktop({320, 100, 32, 60});
    ASSERT_EQ(ScreenOpen(320, 100, 32, "short"), 1);
    FailOn(SoftOp::IDirectDraw7_GetScanLine, 5, DDERR_GENERIC);
    ScreenFlip(2);
    EXPECT_EQ(HeadlessFaultsPending(), 0);  // the fifth read ended the wait
    EXPECT_EQ(HeadlessFrames().size(), 1u);
}

TEST_F(DisplayTest, FlipBeforeAnyOpenOnlySelectsTheBackBuffer) {
    ScreenFlip();
    EXPECT_TRUE(HeadlessFrames().empty());
    EXPECT_EQ(ScreenState.drawSurface, nullptr);
}

TEST_F(DisplayTest, BufferSelectKeepsTheDrawSurfaceForMissingAndMemorySprites) {
    ASSERT_EQ(Open(), 1);
    auto* memory = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, 1));
    ASSERT_NE(SpriteSurfaceCreate(memory, 8, 8, 0, kSpriteMemoryOnly), nullptr);
    auto* surface = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, 2));
    ASSERT_NE(SpriteSurfaceCreate(surface, 20, 10, 0, 0), nullptr);

    // Numbers that were never made, inside the table, beyond it and below -1.
    for (intptr_t missing : {intptr_t{9}, intptr_t{1000}, intptr_t{-7}, INTPTR_MAX, INTPTR_MIN}) {
        EXPECT_EQ(ScreenBufferSelect(missing), ScreenState.backBuffer) << missing;
    }
    EXPECT_EQ(ScreenBufferSelect(1), ScreenState.backBuffer);
    EXPECT_EQ(ScreenBufferSelect(2), SpriteSurface(surface));
    EXPECT_EQ(ScreenState.drawWidth, 20);
    EXPECT_EQ(ScreenState.drawHeight, 10);
    ScreenFlip();
    EXPECT_EQ(ScreenState.drawSurface, ScreenState.backBuffer);
    EXPECT_EQ(ScreenState.drawWidth, 640);

    // Freeing the sprite that is the draw surface gives the back buffer back.
    ScreenBufferSelect(2);
    SpriteFree(2);
    EXPECT_EQ(ScreenState.drawSurface, ScreenState.backBuffer);
    EXPECT_EQ(ScreenState.drawWidth, 640);
}

// Focus goes at frame 1 and comes back at frame 1 too (nothing is presented
// meanwhile): nothing flips while inactive, the hook runs once, the first
// flip back meets the lost surfaces and restores them, the next is shown.
TEST_F(DisplayTest, FocusLossStopsFlipsAndTheFirstFlipBackRecovers) {
    ASSERT_EQ(Open(), 1);
    hookRuns = 0;
    ScreenState.focusLossHook = CountHook;
    ScreenFlip();
    HeadlessScript(1, {HostEventType::FocusLost, 0, 0, 0});
    ScreenFlip();
    EXPECT_EQ(ScreenState.active, 0);
    EXPECT_EQ(ScreenHasFocus(), 0);
    ScreenFlip();
    EXPECT_EQ(HeadlessFrames().size(), 1u);
    EXPECT_EQ(hookRuns, 1);

    int opens = HeadlessDisplay().opens;
    HeadlessScript(1, {HostEventType::FocusGained, 0, 0, 0});
    ScreenFlip();  // meets the lost surfaces: restores, shows nothing
    EXPECT_EQ(ScreenState.active, 1);
    EXPECT_EQ(HeadlessFrames().size(), 1u);
    EXPECT_EQ(HeadlessDisplay().opens, opens + 1);  // the mode was set again
    ScreenFlip();
    EXPECT_EQ(HeadlessFrames().size(), 2u);
}

// A recovery step refused after the focus comes back stops nothing: the
// program flips on, and a later flip shows its frame. Surfaces left lost (the
// restore refused) meet the next flip, which recovers again.
TEST_F(DisplayTest, ARefusedRecoveryStepIsMadeGoodByALaterFlip) {
    struct {
        Fault operation;
        int flipsUntilShown;
    } cases[] = {{SoftOp::IDirectDraw7_SetCooperativeLevel, 1},
                 {SoftOp::IDirectDraw7_SetDisplayMode, 1},
                 {SoftOp::IDirectDraw7_RestoreAllSurfaces, 2}};
    HeadlessKeepPixels(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation);
        ASSERT_EQ(Open(), 1);
        HeadlessScript(int(HeadlessFrames().size()), {HostEventType::FocusLost, 0, 0, 0});
        ScreenFlip();
        ASSERT_EQ(ScreenState.active, 0);
        HeadlessScript(int(HeadlessFrames().size()), {HostEventType::FocusGained, 0, 0, 0});
        FailOn(c.operation, 1, DDERR_GENERIC);
        size_t shown = HeadlessFrames().size();
        ScreenFlip();  // meets the lost surfaces
        EXPECT_EQ(HeadlessFaultsPending(), 0);
        EXPECT_EQ(ScreenState.active, 1);
        int flips = 0;
        while (HeadlessFrames().size() == shown && flips < 3) {
            ScreenClear(0x336699);
            ScreenFlip();
            ++flips;
        }
        EXPECT_EQ(flips, c.flipsUntilShown);
        ASSERT_EQ(HeadlessFrames().size(), shown + 1);
        EXPECT_EQ(HeadlessFrames().back().pixels[0], 0x00996633u);
    }
}

TEST_F(DisplayTest, TheHookRunsOncePerAbsence) {
    ASSERT_EQ(Open(), 1);
    hookRuns = 0;
    ScreenState.focusLossHook = CountHook;
    // Alt released, then the focus goes: one backup.
    HeadlessScript(0, {HostEventType::KeyDown, DIK_LMENU, 0, 0});
    HeadlessScript(0, {HostEventType::KeyUp, DIK_LMENU, 0, 0});
    HeadlessScript(0, {HostEventType::FocusLost, 0, 0, 0});
    ScreenFlip();
    EXPECT_EQ(hookRuns, 1);
    EXPECT_EQ(ScreenState.active, 0);
    // A second deactivation without an activation between: none.
    DisplayWindowProc(ScreenState.window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(hookRuns, 1);
    // After an activation the next absence backs up again; Tab counts as Alt.
    DisplayWindowProc(ScreenState.window, WM_ACTIVATE, WA_ACTIVE, 0);
    DisplayWindowProc(ScreenState.window, WM_KEYUP, VK_TAB, 0);
    EXPECT_EQ(hookRuns, 2);
    EXPECT_EQ(ScreenState.active, 1);  // a key leaves the focus alone
    DisplayWindowProc(ScreenState.window, WM_KEYUP, 'A', 0);
    EXPECT_EQ(hookRuns, 2);
}

TEST_F(DisplayTest, DeactivationBeforeAnyOpenBacksNothingUp) {
    EXPECT_EQ(ScreenHasFocus(), 0);
    EXPECT_EQ(DisplayWindowProc(ScreenState.window, WM_ACTIVATE, WA_INACTIVE, 0), 0);
    EXPECT_EQ(ScreenState.backedUp, 0);
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(ScreenHasFocus(), 1);
}

TEST_F(DisplayTest, WindowMessagesAnswerAsTheirTableSays) {
    HWND w = ScreenState.window;
    EXPECT_EQ(DisplayWindowProc(w, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(DisplayWindowProc(w, WM_ERASEBKGND, 0, 0), 1);
    EXPECT_EQ(DisplayWindowProc(w, WM_PAINT, 0, 0), 1);
    EXPECT_EQ(DisplayWindowProc(w, WM_LBUTTONDOWN, 0, 0), 0);
    HeadlessScript(0, {HostEventType::Close, 0, 0, 0});
    ASSERT_EQ(Open(), 1);
    // A quit request is dispatched like any other message: the pump goes on
    // past it, and neither it nor a close request ends anything.
    constexpr UINT kQuit = 0x0012;  // WM_QUIT, which the runtime never names
    SoftPostThreadMessage(kQuit, 0, 0);
    SoftPostThreadMessage(0x0400, 0, 0);  // WM_USER, the first of a program's own
    ScreenFlip();
    EXPECT_EQ(ScreenState.active, 1);
    EXPECT_EQ(HeadlessFrames().size(), 1u);
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE)) << "message " << left.message << " left behind";
    ScreenFlip();
    EXPECT_EQ(HeadlessFrames().size(), 2u);
}

TEST_F(DisplayTest, PacingWaitsMoreThanOnePeriodOfTheCounter) {
    ASSERT_EQ(ScreenFrameRateSet(99), 1);
    EXPECT_EQ(ScreenState.ticksPerFrame, int32_t(kHeadlessTicksPerSecond / 100));
    HeadlessCounterStep(1000);
    // The first paced frame starts its period at its own first reading.
    int32_t first = ScreenFramePace();
    EXPECT_TRUE(first == 100 || first == 101) << first;
    // Then each ends at the first reading more than 100000 ticks after the last.
    EXPECT_EQ(ScreenFramePace(), 100);

    FailOn(SoftOp::QueryPerformanceFrequency, 1, 0);
    EXPECT_EQ(ScreenFrameRateSet(50), 0);
    EXPECT_EQ(ScreenState.frameRateLimit, 99);
    // No rate below 0 exists (-1 would divide by zero); the limit stays.
    for (int32_t rate : {-1, -2, INT32_MIN}) EXPECT_EQ(ScreenFrameRateSet(rate), 0) << rate;
    EXPECT_EQ(ScreenState.frameRateLimit, 99);
    EXPECT_EQ(ScreenFrameRateSet(INT32_MAX), 1);
    EXPECT_EQ(ScreenState.ticksPerFrame, 0);
}

// With the monitor running at the rate asked for, no pacing is done: with a
// counter that stands still it would never end.
TEST_F(DisplayTest, NoPacingWhileTheMonitorRunsAtTheRefreshRateAsked) {
    ASSERT_EQ(Open(), 1);
    ScreenFrameRateSet(30);
    ScreenState.monitorFrequency = DWORD(ScreenState.refreshRate);
    ScreenFlip(0);
    EXPECT_EQ(HeadlessFrames().size(), 1u);
}
