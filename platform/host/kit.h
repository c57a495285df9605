// What every host needs alike: the clock's rate, the record of a desktop, the
// identity gamma ramp, and the part of a frame that a present must show.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>

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

// The part of a width x height frame to show: what changed, or all of it
// where the display holds no whole earlier frame, within the frame's edges.
inline HostRect HostAreaToShow(HostRect changed, int width, int height, bool wholeFrameDue) {
    if (wholeFrameDue) changed = {0, 0, width, height};
    return {std::max(changed.left, 0), std::max(changed.top, 0), std::min(changed.right, width),
            std::min(changed.bottom, height)};
}

inline bool HostAreaEmpty(const HostRect& area) { return area.left >= area.right || area.top >= area.bottom; }
