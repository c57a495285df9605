// The hosts' clock of vertical blanks: on native Wayland against model
// compositors (presents go at the refresh whatever the compositor's pace, and
// follow the beat of one that keeps it), and the refresh a browser's frames
// tell.
#include "platform/host/blank_clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr int kRefresh = 60;
constexpr int64_t kPeriod = kHostTicksPerSecond / kRefresh;
constexpr int64_t kMillisecond = kHostTicksPerSecond / 1000;

// When the repaint that shows a frame committed at `shown` is heard.
using Compositor = std::function<int64_t(int64_t shown)>;

// A compositor that repaints every `period` ticks from `first`, taking in the
// frames committed up to a millisecond before, and is heard a little after.
Compositor OnBeat(int64_t first, int64_t period) {
    return [=](int64_t shown) {
        int64_t beat = first + FloorDivide(shown + kMillisecond - first, period) * period + period;
        return beat + kMillisecond / 4;
    };
}

// The presents of a run of frames drawn half a millisecond apart, each at
// the vertical blank, as WaitForRepaint makes them: the wait ends at the
// clock's next blank, or an eighth later where the beat holds, and a repaint
// heard meanwhile may move the clock.
std::vector<int64_t> Presents(const Compositor& compositor, int frames, int64_t origin = 0) {
    RepaintBeat beat;
    std::vector<int64_t> presents = {origin};
    for (int i = 0; i < frames; ++i) {
        const int64_t shown = presents.back();
        const int64_t start = shown + kMillisecond / 2;
        int64_t blank = BlankAfter(origin, kRefresh, start);
        const int64_t until = blank + RepaintGrace(beat, kRefresh);
        const int64_t heard = compositor(shown);
        int64_t present = blank;
        if (heard > start && heard <= until) {
            const int64_t move = FollowRepaint(beat, origin, kRefresh, heard, shown);
            origin += move;
            present = std::max(blank + move, heard);
        } else if (heard > until) {
            present = until;
        }
        presents.push_back(present);
    }
    return presents;
}

std::vector<int64_t> Gaps(const std::vector<int64_t>& presents) {
    std::vector<int64_t> gaps;
    for (size_t i = 1; i < presents.size(); ++i) gaps.push_back(presents[i] - presents[i - 1]);
    return gaps;
}

// Compositors that do not repaint at the refresh's beat leave the clock as
// it is: every present comes one refresh after the one before.
TEST(BlankClock, KeepsTheRefreshWhereTheCompositorHasAPaceOfItsOwn) {
    const struct {
        const char* name;
        Compositor compositor;
    } compositors[] = {
        // weston's X11 backend: a repaint 10 ms after the last, less its 7 ms
        // window, after a refresh: every 19.7 ms.
        {"every 19.7 ms", OnBeat(3 * kMillisecond, 197 * kMillisecond / 10)},
        // One that repaints as soon as a frame comes (sway with no frame due).
        {"at once", [](int64_t shown) { return shown + kMillisecond; }},
        // One painting in software, slower than the refresh and unevenly.
        {"slowly", [](int64_t shown) { return shown + (shown / kPeriod % 3 + 2) * 11 * kMillisecond; }},
    };
    for (const auto& [name, compositor] : compositors) {
        for (int64_t gap : Gaps(Presents(compositor, 300))) {
            ASSERT_NEAR(gap, kPeriod, 1) << name;
        }
    }
}

// One that repaints at the refresh (59.94 Hz), showing each frame a refresh
// after the clock's blank less a third, draws the clock onto its beat: in a
// few frames each frame is committed just after the repaint of the one
// before, and stays so as the beats drift apart; no gap is ever more than an
// eighth of a refresh off.
TEST(BlankClock, FollowsACompositorThatKeepsTheBeat) {
    const int64_t period = kHostTicksPerSecond * 1000 / 59940;
    const Compositor compositor = OnBeat(12 * kMillisecond, period);
    const std::vector<int64_t> presents = Presents(compositor, 600);
    for (int64_t gap : Gaps(presents)) {
        ASSERT_GE(gap, kPeriod - kPeriod / 8);
        ASSERT_LE(gap, kPeriod + kPeriod / 8);
    }
    for (size_t i = 10; i < presents.size(); ++i) {
        const int64_t repaint = compositor(presents[i - 1]);
        ASSERT_GE(presents[i], repaint) << i;
        ASSERT_LE(presents[i] - repaint, kMillisecond) << i;
    }
}

TEST(BlankClock, NumbersTheBlanksBeforeItsOriginOnTheSameBeat) {
    const int64_t origin = 10 * kPeriod + 123;
    EXPECT_EQ(BlankAfter(origin, kRefresh, origin), NthBlank(origin, kRefresh, 1));
    EXPECT_EQ(BlankAfter(origin, kRefresh, origin - 1), origin);
    EXPECT_EQ(BlankAfter(origin, kRefresh, 0), NthBlank(origin, kRefresh, -10));
    EXPECT_EQ(OffsetFromBlank(origin, kRefresh, origin - 5), -5);
    EXPECT_EQ(OffsetFromBlank(origin, kRefresh, NthBlank(origin, kRefresh, -3) + 7), 7);
}

// Firefox's timer-driven frames come a little more than a refresh apart.
TEST(BlankClock, TakesTheStandardRefreshNearestTheGapBetweenFrames) {
    const struct {
        double gap;
        int refresh;
    } rows[] = {{16.67, 60}, {17.2, 60}, {16.0, 60}, {6.94, 144}, {8.33, 120}, {20.0, 50},
                {40.0, 25},  {13.3, 75}, {9.0, 111}, {1000.0, 1}, {0.0, 60},   {-3.0, 60}};
    for (const auto& row : rows) EXPECT_EQ(RefreshOfFrameGap(row.gap), row.refresh) << row.gap;
}

}  // namespace
