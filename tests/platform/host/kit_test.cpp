// The host kit: the clock of vertical blanks (its blanks and beam, on native
// Wayland against model compositors, and the refresh a browser's frames
// tell) and the frame mirror (what a present shows, and its copy).
#include "platform/host/kit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/host/blank_clock.h"

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
std::vector<int64_t> Presents(const Compositor& compositor, int frames) {
    RepaintBeat beat;
    BlankClock clock = {0, kRefresh};
    std::vector<int64_t> presents = {0};
    for (int i = 0; i < frames; ++i) {
        const int64_t shown = presents.back();
        const int64_t start = shown + kMillisecond / 2;
        int64_t blank = clock.BlankAfter(start);
        const int64_t until = blank + RepaintGrace(beat, clock);
        const int64_t heard = compositor(shown);
        int64_t present = blank;
        if (heard > start && heard <= until) {
            const int64_t move = FollowRepaint(beat, clock, heard, shown);
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

// At each rate, from an origin that is no whole period: the blanks before the
// origin keep its beat, the beam sweeps the lines and then the blank, and a
// real blank heard late (a vsync or an animation frame) restarts the clock
// there.
TEST(BlankClock, KeepsItsBeatAndItsBeamAtEveryRateUntilARealBlankRestartsIt) {
    for (int refresh : {50, 60, 144}) {
        SCOPED_TRACE(refresh);
        const int64_t period = kHostTicksPerSecond / refresh;
        const int64_t origin = 10 * period + 123;
        BlankClock clock = {origin, refresh};
        EXPECT_EQ(clock.Period(), period);
        EXPECT_EQ(clock.BlankAfter(origin), origin + period);
        EXPECT_EQ(clock.BlankAfter(origin - 1), origin);
        EXPECT_EQ(clock.BlankAfter(0), origin - 10 * period);
        EXPECT_EQ(clock.OffsetFromBlank(origin - 5), -5);
        EXPECT_EQ(clock.OffsetFromBlank(origin - 3 * period + 7), 7);
        // 480 lines and 24 of blank.
        const struct {
            int64_t phase;
            int line;
        } beam[] = {
            {0, 0}, {period / 2, 504 / 2}, {period * 479 / 504, 478}, {period * 481 / 504, -1}, {period - 1, -1}};
        for (const auto& [phase, line] : beam)
            EXPECT_EQ(clock.ScanLine(origin - 4 * period + phase, 480), line) << phase;
        const int64_t late = origin + 2 * period + period / 3;
        clock.Restart(late);
        EXPECT_EQ(clock.BlankAfter(late - 1), late);
        EXPECT_EQ(clock.BlankAfter(late), late + period);
        EXPECT_EQ(clock.ScanLine(late, 480), 0);
    }
}

// What a present shows: a whole frame after a new mode or a lost picture (a
// resize, the focus regained), then only what changed, within the frame.
TEST(FrameMirror, ShowsTheWholeFrameUntilOneIsShownThenWhatChanged) {
    FrameMirror mirror;
    const HostRect changed = {10, 20, 30, 40};
    const struct {
        void (*before)(FrameMirror&);
        HostRect changed;
        HostRect shown;
    } rows[] = {
        {[](FrameMirror&) {}, changed, {0, 0, 64, 48}},                     // a new mode
        {[](FrameMirror& m) { m.Shown(); }, changed, changed},              // then what changed
        {[](FrameMirror&) {}, {-5, -5, 100, 10}, {0, 0, 64, 10}},           // within the frame
        {[](FrameMirror&) {}, {0, 0, 0, 0}, {0, 0, 0, 0}},                  // nothing
        {[](FrameMirror& m) { m.Invalidate(); }, changed, {0, 0, 64, 48}},  // the window lost its picture
    };
    for (const auto& row : rows) {
        row.before(mirror);
        const HostRect area = mirror.AreaToShow(row.changed, 64, 48);
        EXPECT_EQ(std::vector<int>({area.left, area.top, area.right, area.bottom}),
                  std::vector<int>({row.shown.left, row.shown.top, row.shown.right, row.shown.bottom}));
    }
}

// The copy takes exactly the area, whether its rows run on in memory (the
// whole width, no padding) or not.
TEST(FrameMirror, CopiesExactlyTheAreaWithOrWithoutPadding) {
    const int width = 8, height = 6;
    for (int padding : {0, 4}) {
        for (HostRect area : {HostRect{0, 1, width, 4}, HostRect{2, 1, 5, 4}}) {
            const int pitch = width * 4 + padding;
            std::vector<uint8_t> from(size_t(pitch) * height), to(size_t(pitch) * height, 0);
            for (size_t i = 0; i < from.size(); ++i) from[i] = uint8_t(i * 7 + 1);
            HostCopyArea(to.data(), pitch, from.data(), pitch, area, width);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < pitch; ++x) {
                    const bool inside = y >= area.top && y < area.bottom && x >= area.left * 4 && x < area.right * 4;
                    ASSERT_EQ(to[size_t(y) * pitch + x], inside ? from[size_t(y) * pitch + x] : 0) << x << "," << y;
                }
            }
        }
    }
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
