// The hosts' clock of vertical blanks, on the host's clock: one blank at
// `origin`, the others 1/refresh of a second apart, before it and after. On
// native Wayland the compositor's repaints, where they keep the refresh's
// beat, move it onto them. In a browser, the refresh is learnt from the gaps
// between animation frames.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "platform/host/kit.h"

// a / b rounded down, for b > 0.
inline int64_t FloorDivide(int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

// The nth blank after `origin` (before it, for n < 0), and the number of the
// last one at or before `ticks`.
inline int64_t NthBlank(int64_t origin, int refresh, int64_t n) {
    return origin + FloorDivide(n * kHostTicksPerSecond, refresh);
}

inline int64_t LastBlankNumber(int64_t origin, int refresh, int64_t ticks) {
    return FloorDivide((ticks - origin + 1) * refresh - 1, kHostTicksPerSecond);
}

// The first blank after `ticks`.
inline int64_t BlankAfter(int64_t origin, int refresh, int64_t ticks) {
    return NthBlank(origin, refresh, LastBlankNumber(origin, refresh, ticks) + 1);
}

// Ticks from the nearest blank to `ticks`: negative before it.
inline int64_t OffsetFromBlank(int64_t origin, int refresh, int64_t ticks) {
    const int64_t last = NthBlank(origin, refresh, LastBlankNumber(origin, refresh, ticks));
    const int64_t next = BlankAfter(origin, refresh, ticks);
    return ticks - last <= next - ticks ? ticks - last : ticks - next;
}

// The compositor's last repaint heard as it came, a refresh after its frame
// rather than at once: its offset from the nearest blank (as moved after
// it), and whether it kept the beat of the one before.
struct RepaintBeat {
    bool heard = false;
    int64_t offset = 0;
    bool kept = false;
};

// How long past a blank a present waits for the compositor's repaint: an
// eighth of a refresh while the compositor keeps the beat, since a repaint
// comes a little early or late; not at all otherwise.
inline int64_t RepaintGrace(const RepaintBeat& beat, int refresh) {
    return beat.kept ? kHostTicksPerSecond / refresh / 8 : 0;
}

// A compositor that repaints at the display's refresh repaints at one offset
// from the blanks, give or take its lateness; and a frame shown at a blank is
// repainted a refresh later, not at once. Where the repaint heard at `heard`
// comes more than half a refresh after its frame was shown (at `shown`), and
// within an eighth of a refresh of the offset of the one before, the clock
// moves towards it, by at most that eighth, so that no present comes a
// refresh early or late for it; the move of the origin is answered. A
// repaint that came sooner was made for that frame as it came, whenever it
// came, and following it would only make every frame later. Nor does a
// compositor that repaints at a pace of its own (on a timer of another
// period, or painting in software slower than the refresh) move the clock:
// the display's refresh holds, and the compositor shows what it can.
inline int64_t FollowRepaint(RepaintBeat& beat, int64_t origin, int refresh, int64_t heard, int64_t shown) {
    const int64_t period = kHostTicksPerSecond / refresh;
    const int64_t tolerance = period / 8;
    const int64_t offset = OffsetFromBlank(origin, refresh, heard);
    const bool onBeat = heard - shown > period / 2;
    beat.kept = onBeat && beat.heard && std::abs(offset - beat.offset) <= tolerance;
    const int64_t move = beat.kept ? std::clamp(offset, -tolerance, tolerance) : 0;
    beat.offset = offset - move;
    beat.heard = onBeat;
    return move;
}

// The refresh rate of a display whose frames come `gap` ms apart. Displays
// run at one of a few standard rates, and a browser whose frames follow a
// timer of its own gives them a little late: a rate within 5% of a standard
// one is that one, any other is rounded to whole frames a second.
inline int RefreshOfFrameGap(double gap) {
    constexpr int kStandardRates[] = {24, 25, 30, 48, 50, 60, 72, 75, 85, 90, 100, 120, 144, 165, 240, 360};
    if (!(gap > 0)) return 60;
    const double rate = 1000 / gap;
    const int nearest = *std::min_element(std::begin(kStandardRates), std::end(kStandardRates), [rate](int a, int b) {
        return std::abs(rate - a) / a < std::abs(rate - b) / b;
    });
    if (std::abs(rate - nearest) <= nearest * 0.05) return nearest;
    return std::max(1, static_cast<int>(std::lround(rate)));
}
