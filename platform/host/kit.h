// What every host needs alike: the clock's rate, the record of a desktop, the
// identity gamma ramp, and the frame mirror: what a present must show of a
// frame, and its copy. The clock of vertical blanks is in blank_clock.h.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/host/host.h"

// Every host's clock runs at this many ticks a second.
constexpr int64_t kHostTicksPerSecond = 10'000'000;

// An attached desktop, named as Windows names its nth display device:
// "\\.\DISPLAY1" for index 0.
inline HostDesktop HostDesktopOf(int index, bool primary, HostDesktopMode mode, bool modeReadable = true) {
    HostDesktop desktop = {};
    std::snprintf(desktop.name, sizeof(desktop.name), "\\\\.\\DISPLAY%d", index + 1);
    desktop.attached = true;
    desktop.primary = primary;
    desktop.modeReadable = modeReadable;
    if (modeReadable) desktop.mode = mode;
    return desktop;
}

// A display's ramp before anyone sets one: entry i of each channel is i in
// 16 bits.
inline void HostIdentityRamp(uint16_t ramp[768]) {
    for (int i = 0; i < 768; ++i) ramp[i] = uint16_t((i % 256) * 257);
}

inline bool HostAreaEmpty(const HostRect& area) { return area.left >= area.right || area.top >= area.bottom; }

// What the display holds of the frames presented: a whole earlier frame, or
// not (after a new mode, a new framebuffer, or a window the desktop painted
// over), so that the next present shows all of the frame.
struct FrameMirror {
    bool wholeFrameDue = true;

    // The part of a width x height frame to show: what changed, or all of it
    // while a whole frame is due, within the frame's edges.
    HostRect AreaToShow(HostRect changed, int width, int height) const {
        if (wholeFrameDue) changed = {0, 0, width, height};
        return {std::max(changed.left, 0), std::max(changed.top, 0), std::min(changed.right, width),
                std::min(changed.bottom, height)};
    }
    // The display lost what it showed: the next present shows all of a frame.
    void Invalidate() { wholeFrameDue = true; }
    // A present showed its area.
    void Shown() { wholeFrameDue = false; }
};

// Copies `area` of 32-bit pixels from one picture to another, each with its
// own bytes from row to row. Whole rows without padding are one copy, which
// for a large frame streams past the cache as copies of single rows do not.
inline void HostCopyArea(uint8_t* to, int64_t toPitch, const uint8_t* from, int64_t fromPitch, const HostRect& area,
                         int width) {
    if (HostAreaEmpty(area)) return;
    const auto [left, top, right, bottom] = area;
    if (left == 0 && right == width && toPitch == fromPitch && fromPitch == int64_t{width} * 4) {
        std::memcpy(to + top * toPitch, from + top * fromPitch, size_t(bottom - top) * size_t(fromPitch));
        return;
    }
    for (int64_t y = top; y < bottom; ++y) {
        std::memcpy(to + y * toPitch + left * 4, from + y * fromPitch + left * 4, size_t(right - left) * 4);
    }
}
