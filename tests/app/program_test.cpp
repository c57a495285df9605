// The whole program on the headless host, from the runtime's start.
#include "app/program.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "app/orbit.h"
#include "core/runtime.h"
#include "display/gamma.h"
#include "display/screen.h"
#include "draw/context.h"
#include "platform/host/headless.h"
#include "platform/soft/win32_soft.h"
#include "support/display.h"
#include "support/program.h"

TEST_F(DisplayTest, ProgramShowsTheSceneFrameByFrame) {
    HeadlessKeepPixels(true);
    EXPECT_EQ(RunProgram(ProgramMain, 4), kStoppedAtTheCap);
    const std::vector<HeadlessFrame>& frames = HeadlessFrames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].width, 640);
    EXPECT_EQ(frames[0].height, 480);
    EXPECT_TRUE(frames[0].pixels == SceneAt(0.1, 1.0f, 640, 480));
    EXPECT_TRUE(frames[1].pixels == SceneAt(0.2, 1.0f, 640, 480));
    EXPECT_TRUE(frames[3].pixels == SceneAt(0.1 + 0.1 + 0.1 + 0.1, 1.0f, 640, 480));  // summed, as the clock is
    // Each frame waits 40 ms and then for the next vertical blank.
    for (size_t i = 1; i < frames.size(); ++i) {
        int64_t gap = frames[i].ticks - frames[i - 1].ticks;
        EXPECT_GE(gap, 40 * kHeadlessTicksPerSecond / 1000);
        EXPECT_LE(gap, 40 * kHeadlessTicksPerSecond / 1000 + HeadlessRefreshTicks());
        EXPECT_EQ(frames[i].ticks % HeadlessRefreshTicks(), 0);
    }
    // The display's gamma ramp was saved once the screen was open.
    EXPECT_EQ(std::memcmp(&GammaSavedRamp, HeadlessDisplay().gamma, sizeof(GammaSavedRamp)), 0);
}

namespace {

// The screen in a window of another program's, of `width` x `height`.
void UseWindow(int width, int height) {
    HeadlessOfferWindow(7, width, height);
    ScreenUseWindow(SoftForeignWindow(7));
}

}  // namespace

// In another program's window (a screen saver's) the frames are those of the
// full screen at the window's size, at the same pace, a new size is followed
// from the next frame, no key is read, and the window's going or a close
// request ends the program with 0.
TEST_F(DisplayTest, ProgramInAWindowShowsTheFullScreenFramesAtItsSize) {
    struct Case {
        const char* what;
        std::function<void()> script;
        size_t frames;
    } cases[] = {
        {"a key released, then the window gone",
         [] {
             HeadlessScript(1, {HostEventType::KeyDown, DIK_ESCAPE, 0, 0});
             HeadlessScript(2, {HostEventType::KeyUp, DIK_ESCAPE, 0, 0});
             HeadlessScriptWindowSize(5, 0, 0);
         },
         5},
        {"a close request",
         [] {
             HeadlessScript(3, {HostEventType::Close, 0, 0, 0});
         },
         3},
        {"made 200 x 100 before the fourth frame, then gone",
         [] {
             HeadlessScriptWindowSize(3, 200, 100);
             HeadlessScriptWindowSize(6, 0, 0);
         },
         6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Restart([&] {
            HeadlessKeepPixels(true);
            UseWindow(320, 240);
            c.script();
        });
        ASSERT_EQ(RunProgram(), Exited(0));
        const std::vector<HeadlessFrame>& frames = HeadlessFrames();
        ASSERT_EQ(frames.size(), c.frames);
        double clock = 0;
        for (size_t i = 0; i < frames.size(); ++i) {
            clock += 0.1;
            // The frame shown as the window changed size is the old one, cut.
            if (i == 3 && frames[i].width == 200) continue;
            EXPECT_TRUE(frames[i].pixels == SceneAt(clock, 1.0f, frames[i].width, frames[i].height)) << i;
            EXPECT_EQ(frames[i].ticks % HeadlessRefreshTicks(), 0);
        }
        EXPECT_EQ(frames.back().width, c.frames == 6 ? 200 : 320);
        EXPECT_EQ(HeadlessDisplay().opens, 0);  // the display was never taken
    }
}

TEST_F(DisplayTest, ProgramWithoutADisplayEndsWithCodeOneAndSaysWhy) {
    struct Case {
        std::function<void()> breakIt;
        const char* says;
    } cases[] = {
        {[] {
             FailOn(Fault{SoftOp::LoadLibraryA, "DDRAW.DLL"}, 1, 0);
         },
         "ravlin: cannot load DirectDraw (DDRAW.DLL)\n"},
        {[] { FailOn(SoftOp::IDirectDraw7_SetDisplayMode, 1, DDERR_UNSUPPORTEDMODE); },
         "ravlin: cannot open a 640 x 480 x 32 full-screen display\n"},
        {[] { HeadlessRefuseDisplay("its pixel format (INDEX8) cannot be drawn"); },
         "ravlin: cannot open a 640 x 480 x 32 full-screen display: its pixel format (INDEX8) cannot be drawn\n"},
        {[] { FailOn(SoftOp::CreateWindowExA, 1, 0); }, "ravlin: cannot create the display window\n"},
        {[] { HeadlessSetDesktops({}); }, "ravlin: looked for a display to show on and found none\n"},
        {[] {
             HeadlessSetDesktops({});
             HeadlessSetNoDisplayReason("driver \"x\": not here");
         },
         "ravlin: looked for a display to show on and found none: driver \"x\": not here\n"},
        // Each set-up of the keyboard or the mouse asks again.
        {[] {
             FailOn(Fault{SoftOp::LoadLibraryA, "DINPUT.DLL"}, 1, 0, -1);
         },
         "ravlin: cannot load DirectInput (DINPUT.DLL)\n"},
        {[] { FailOn(SoftOp::IDirectInput7_CreateDeviceEx, 1, DIERR_NOTINITIALIZED, -1); },
         "ravlin: cannot set up the keyboard\n"},
        {[] {
             UseWindow(320, 240);
             FailOn(SoftOp::IDirectDraw7_CreateClipper, 1, DDERR_OUTOFMEMORY);
         },
         "ravlin: cannot draw in the window given\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        Restart(c.breakIt);
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunProgram(), Exited(1));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.says);
        EXPECT_TRUE(HeadlessFrames().empty());
    }
}

namespace {

constexpr int32_t kKeyEscape = DIK_ESCAPE;

void KeyAt(int frame, int32_t code, bool down) {
    HeadlessScript(frame, {down ? HostEventType::KeyDown : HostEventType::KeyUp, code, 0, 0});
}

// The clock as the program forms it: 0.1 added once per frame.
double ClockOfFrame(size_t index) {
    double clock = 0;
    for (size_t i = 0; i <= index; ++i) clock += 0.1;
    return clock;
}

}  // namespace

// A key released after the third frame fires the exit test in the fourth;
// 39 more frames shrink the picture, then one black frame, then exit code 0.
TEST_F(DisplayTest, AReleasedKeyEndsTheProgramAfterThirtyNineShrinkingFrames) {
    HeadlessKeepPixels(true);
    KeyAt(0, kKeyEscape, true);  // held from the first frame: its release counts
    KeyAt(3, kKeyEscape, false);
    EXPECT_EQ(RunProgram(), Exited(0));

    const std::vector<HeadlessFrame>& frames = HeadlessFrames();
    ASSERT_EQ(frames.size(), 4u + 39u + 1u);
    float scale = 1.0f;
    std::vector<float> scales(4, 1.0f);
    for (int i = 0; i < 39; ++i) scales.push_back(scale *= 0.96f);
    for (size_t i : {size_t(0), size_t(3), size_t(4), size_t(5), size_t(6), size_t(42)}) {
        EXPECT_TRUE(frames[i].pixels == SceneAt(ClockOfFrame(i), scales[i], 640, 480))
            << "frame " << i << " at scale " << scales[i];
    }
    EXPECT_TRUE(frames.back().pixels == std::vector<uint32_t>(640 * 480, 0u));
    // The first two shrinking frames still wait 40 ms; from the third on none does.
    int64_t wait = 40 * kHeadlessTicksPerSecond / 1000;
    EXPECT_GE(frames[5].ticks - frames[4].ticks, wait);
    EXPECT_LT(frames[7].ticks - frames[6].ticks, wait);
}

// A key pressed and released between two frames is seen down at the first
// read and up at the next: it ends the program a frame later than a release
// of a key held from the start.
TEST_F(DisplayTest, AKeyTappedBetweenTwoFramesEndsTheProgramAFrameLater) {
    KeyAt(3, DIK_F5, true);
    KeyAt(3, DIK_F5, false);
    EXPECT_EQ(RunProgram(), Exited(0));
    EXPECT_EQ(HeadlessFrames().size(), 5u + 39u + 1u);
}

TEST_F(DisplayTest, OnlyAMoveOfMoreThanFiftyRightOrDownEndsTheProgram) {
    for (int32_t x : {50, -500}) {
        for (bool downward : {false, true}) {
            SCOPED_TRACE(testing::Message() << x << (downward ? " down" : " right"));
            Restart([] {});
            HeadlessScript(2, {HostEventType::MouseMove, 0, downward ? 0 : x, downward ? x : 0});
            EXPECT_EQ(RunProgram(ProgramMain, 8), kStoppedAtTheCap);
            EXPECT_EQ(Runtime.program.quitting, 0);
        }
    }
    Restart([] {});
    HeadlessScript(2, {HostEventType::MouseMove, 0, 0, 51});
    EXPECT_EQ(RunProgram(), Exited(0));
    EXPECT_EQ(HeadlessFrames().size(), 3u + 39u + 1u);
}
