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
#include "platform/soft/soft.h"
#include "support/display.h"

namespace {

// The scene as the software GDI draws it on a black screen of this size.
std::vector<uint32_t> SceneAt(double clock, float scale, int width, int height) {
    TestSurface surface(width, height, 0);
    DrawTarget target = {};
    target.kind = 2;
    target.dc = surface.dc;
    target.release = [] {};
    DrawBegin(&target);
    OrbitSceneDraw(clock, scale, width / 2, height / 2);
    DrawEnd();
    return surface.pixels;
}

// Runs the program until `frames` frames have been presented.
void RunFrames(int frames) {
    HeadlessStopAfterFrames(frames);
    EXPECT_THROW(ProgramMain(), HeadlessStopped);
}

}  // namespace

TEST_F(DisplayTest, ProgramShowsTheSceneFrameByFrame) {
    HeadlessKeepPixels(true);
    RunFrames(4);
    const std::vector<HeadlessFrame>& frames = HeadlessFrames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].width, 640);
    EXPECT_EQ(frames[0].height, 480);
    EXPECT_TRUE(frames[0].pixels == SceneAt(0.1, 1.0f, 640, 480));
    EXPECT_TRUE(frames[1].pixels == SceneAt(0.2, 1.0f, 640, 480));
    EXPECT_TRUE(frames[3].pixels == SceneAt(0.1 + 0.1 + 0.1 + 0.1, 1.0f, 640, 480));
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

TEST_F(DisplayTest, ProgramWithoutADisplayEndsWithCodeOneAndSaysWhy) {
    struct Case {
        std::function<void()> breakIt;
        const char* says;
    } cases[] = {
        {[] { HeadlessFailOn("LoadLibraryA DDRAW.DLL", 1, 0); }, "ravlin: cannot load DirectDraw (DDRAW.DLL)\n"},
        {[] { HeadlessFailOn("IDirectDraw7::SetDisplayMode", 1, DDERR_UNSUPPORTEDMODE); },
         "ravlin: cannot open a 640 x 480 x 32 full-screen display\n"},
        {[] { HeadlessFailOn("CreateWindowExA", 1, 0); }, "ravlin: cannot create the display window\n"},
        {[] { HeadlessSetDesktops({}); }, "ravlin: no desktop to take the size of\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        Restart(c.breakIt);
        testing::internal::CaptureStderr();
        uint32_t code = 99;
        try {
            ProgramMain();
        } catch (const HeadlessExit& exit) {
            code = exit.code;
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.says);
        EXPECT_EQ(code, 1u);
        EXPECT_TRUE(HeadlessFrames().empty());
    }
}
