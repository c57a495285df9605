// Every host's clock of vertical blanks, on the host's clock: one blank at
// `origin`, the others a refresh period apart, before it and after. A host
// restarts it where the platform reports a real blank (an X vsync, an
// animation frame it can trust); on native Wayland the compositor's repaints,
// where they keep the refresh's beat, move it onto them. In a browser the
// refresh is learnt from the gaps between animation frames.
//
// The beam, for GetScanLine, sweeps the mode's lines and then a vertical
// blank of a twentieth as many lines (one at least), once a period; a period
// begins with the first line.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "platform/host/kit.h"

// a / b rounded down, for b > 0.
inline int64_t FloorDivide(int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

// The line under the beam `phase` into a period `period` long (in any one
// unit), on a display of `lines` lines; -1 during the vertical blank.
inline int ScanLineAt(int64_t phase, int64_t period, int lines) {
    const int64_t total = lines + std::max(lines / 20, 1);
    const int64_t line = phase * total / period;
    return line < lines ? static_cast<int>(line) : -1;
}

struct BlankClock {
    int64_t origin = 0;
    int refresh = 60;

    // Ticks from one blank to the next.
    int64_t Period() const { return kHostTicksPerSecond / refresh; }
    // The last blank at or before `ticks`, and the first after it.
    int64_t BlankAtOrBefore(int64_t ticks) const { return origin + FloorDivide(ticks - origin, Period()) * Period(); }
    int64_t BlankAfter(int64_t ticks) const { return BlankAtOrBefore(ticks) + Period(); }
    // Ticks from the nearest blank to `ticks`: negative before it.
    int64_t OffsetFromBlank(int64_t ticks) const {
        const int64_t since = ticks - BlankAtOrBefore(ticks);
        return since <= Period() - since ? since : since - Period();
    }
    int ScanLine(int64_t ticks, int lines) const { return ScanLineAt(ticks - BlankAtOrBefore(ticks), Period(), lines); }
    // A real blank at `ticks`: the clock's blanks fall on it from now on.
    void Restart(int64_t ticks) { origin = ticks; }
};

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
inline int64_t RepaintGrace(const RepaintBeat& beat, const BlankClock& clock) {
    return beat.kept ? clock.Period() / 8 : 0;
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
inline int64_t FollowRepaint(RepaintBeat& beat, BlankClock& clock, int64_t heard, int64_t shown) {
    const int64_t period = clock.Period();
    const int64_t tolerance = period / 8;
    const int64_t offset = clock.OffsetFromBlank(heard);
    const bool onBeat = heard - shown > period / 2;
    beat.kept = onBeat && beat.heard && std::abs(offset - beat.offset) <= tolerance;
    const int64_t move = beat.kept ? std::clamp(offset, -tolerance, tolerance) : 0;
    beat.offset = offset - move;
    beat.heard = onBeat;
    clock.origin += move;
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
