// F2's screenshot, end to end: the whole program on the headless host, and
// the file it writes read back by an independent decoder; and the whole
// program's frames with and without the display knowing what changed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/program.h"
#include "core/runtime.h"
#include "input/input.h"
#include "platform/host/headless.h"
#include "platform/soft/internal.h"
#include "support/display.h"
#include "support/program.h"

namespace {

// Pillow's reading of ravlin.bmp: "format mode width height", with the
// decoded pixels left as top-down RGB bytes in decoded.rgb.
std::string DecodeWithPillow() {
    const char* command =
        "/usr/bin/python3 -c 'from PIL import Image\n"
        "image = Image.open(\"ravlin.bmp\")\n"
        "print(image.format, image.mode, image.size[0], image.size[1])\n"
        "open(\"decoded.rgb\", \"wb\").write(image.tobytes())' > decoded.txt";
    if (std::system(command) != 0) return "python failed";
    std::ifstream in("decoded.txt");
    std::string line;
    std::getline(in, line);
    return line;
}

constexpr int32_t kF2 = DIK_F2;
constexpr int32_t kSpace = DIK_SPACE;

void Release(int frame, int32_t key) {
    HeadlessScript(frame - 1, {HostEventType::KeyDown, key, 0, 0});
    HeadlessScript(frame, {HostEventType::KeyUp, key, 0, 0});
}

std::vector<uint8_t> RgbOf(const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> rgb;
    for (uint32_t p : pixels) rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    return rgb;
}

}  // namespace

// An odd width gives the rows padding, which the decoder must skip. The grab
// comes after the flip of its frame, which exchanged the buffers: the file
// holds the frame before the last one presented.
TEST_F(DisplayTest, ReleasingF2WritesTheScreenAsABmpAndTheProgramEndsWithCodeZero) {
    Restart([] { HeadlessSetDesktop({321, 241, 32, 60}); });
    FreshDirectory directory(true);
    HeadlessKeepPixels(true);
    constexpr int kReleaseFrame = 5;
    Release(kReleaseFrame, kF2);
    // Without the release the program would never end.
    ASSERT_EQ(RunProgram(ProgramMain, kReleaseFrame + 100), Exited(0));

    // The firing frame was followed by 39 shrinking ones and the black one.
    const std::vector<HeadlessFrame>& frames = HeadlessFrames();
    ASSERT_GE(frames.size(), size_t(kReleaseFrame + 39 + 1));
    const size_t presentedAtGrab = frames.size() - 39 - 1;
    // The release comes once kReleaseFrame frames are shown; the next poll sees it.
    EXPECT_LE(presentedAtGrab, size_t(kReleaseFrame + 1));
    ASSERT_EQ(Entries("."), std::vector<std::string>{"ravlin.bmp"});
    EXPECT_EQ(Contents("ravlin.bmp").size(), 54u + (3 * 321 + 1) * 241);

    EXPECT_EQ(DecodeWithPillow(), "BMP RGB 321 241");
    std::vector<uint8_t> decoded = Contents("decoded.rgb");
    EXPECT_TRUE(decoded == RgbOf(frames[presentedAtGrab - 2].pixels));
    EXPECT_FALSE(decoded == RgbOf(frames[presentedAtGrab - 1].pixels));
}

// The whole program, once with the display told only what changed and once
// with every fill and present covering everything: running frames, a focus
// loss and its recovery, F2, the shrink and the black frame must all be the
// same, and so must the screenshot.
TEST_F(DisplayTest, FramesAreTheSameWhetherOrNotTheDisplayKnowsWhatChanged) {
    struct Run {
        std::vector<uint64_t> frames;
        std::vector<uint8_t> screenshot;
    } runs[2];
    for (bool tracking : {true, false}) {
        SCOPED_TRACE(tracking ? "tracking" : "not tracking");
        // Rows with padding, so that partial copies go row by row.
        Restart([] { HeadlessSetDesktop({321, 241, 32, 60}); });
        FreshDirectory directory(true);
        SoftDamageTracking(tracking);
        HeadlessScript(3, {HostEventType::FocusLost, 0, 0, 0});
        HeadlessScript(3, {HostEventType::FocusGained, 0, 0, 0});
        HeadlessScript(6, {HostEventType::KeyDown, DIK_F2, 0, 0});
        HeadlessScript(8, {HostEventType::KeyUp, DIK_F2, 0, 0});
        EXPECT_EQ(RunProgram(ProgramMain, 200), Exited(0));
        SoftDamageTracking(true);
        Run& run = runs[tracking ? 0 : 1];
        for (const HeadlessFrame& frame : HeadlessFrames()) run.frames.push_back(frame.hash);
        run.screenshot = Contents("ravlin.bmp");
    }
    EXPECT_GT(runs[0].frames.size(), 8u + 39u);
    EXPECT_EQ(runs[0].frames, runs[1].frames);
    EXPECT_FALSE(runs[0].screenshot.empty());
    EXPECT_TRUE(runs[0].screenshot == runs[1].screenshot);
}

// How the program ends, and what it writes on the way: each case scripts a
// run, which must end with code 0 after the shrink, leaving ravlin.bmp or
// nothing, and saying on standard error only why a save failed. A second F2
// during the shrink writes the picture of that moment.
TEST_F(DisplayTest, EveryEndOfTheProgramIsCodeZeroWithTheScreenshotItAskedFor) {
    struct Case {
        const char* name;
        std::function<void()> script;
        bool writes;
        const char* says = "";
    } cases[] = {
        {"another key writes nothing", [] { Release(3, kSpace); }, false},
        {"F2 writes", [] { Release(3, kF2); }, true},
        {"F2 again during the shrink writes again", [] { Release(3, kF2), Release(20, kF2); }, true},
        {"a key held since before the start counts when released",
         [] {
             HeadlessHoldKeys({kSpace});
             HeadlessScript(3, {HostEventType::KeyUp, kSpace, 0, 0});
         },
         false},
        {"F2 held since before the start writes when released",
         [] {
             HeadlessHoldKeys({kF2});
             HeadlessScript(3, {HostEventType::KeyUp, kF2, 0, 0});
         },
         true},
        {"a key held through a focus loss counts when released",
         [] {
             HeadlessScript(2, {HostEventType::KeyDown, kSpace, 0, 0});
             HeadlessScript(2, {HostEventType::FocusLost, 0, 0, 0});
             HeadlessScript(2, {HostEventType::FocusGained, 0, 0, 0});
             HeadlessScript(5, {HostEventType::KeyUp, kSpace, 0, 0});
         },
         false},
        // The screen's flip chain is the first surface made, the grab's the second.
        {"a failed grab still ends",
         [] {
             Release(3, kF2);
             FailOn(SoftOp::IDirectDraw7_CreateSurface, 2, DDERR_OUTOFMEMORY);
         },
         false, "ravlin: could not save ravlin.bmp: Cannot allocate memory\n"},
        {"a failed save still ends",
         [] {
             Release(3, kF2);
             FailOn(SoftOp::WriteFile, 1, FALSE, -1);
         },
         false, "ravlin: could not save ravlin.bmp: Input/output error\n"},
    };
    std::vector<std::vector<uint8_t>> files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restart([] {});
        FreshDirectory directory(true);
        c.script();
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunProgram(ProgramMain, 200), Exited(0));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.says);
        HeadlessHoldKeys({});
        EXPECT_LE(HeadlessFrames().size(), size_t(20 + 39 + 1));
        EXPECT_EQ(Entries("."), c.writes ? std::vector<std::string>{"ravlin.bmp"} : std::vector<std::string>{});
        files.push_back(Contents("ravlin.bmp"));
    }
    EXPECT_FALSE(files[1] == files[2]);
}

// The exit test asks for any key even when F2 fired: the frame's other
// releases are taken with it, not left for the next frame.
TEST_F(DisplayTest, TheExitTestTakesEveryReleaseOfItsFrameWhenF2Fires) {
    FreshDirectory directory(true);
    Release(3, kF2);
    Release(3, kSpace);
    EXPECT_EQ(RunProgram(ProgramMain, 4), kStoppedAtTheCap);
    EXPECT_EQ(Runtime.program.quitting, 1);
    EXPECT_EQ(KeyReleased(kAnyKey), 0);
}
