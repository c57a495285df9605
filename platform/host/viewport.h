// How a display mode fills a window of another size: scaled by one factor
// both ways until it meets two opposite edges, centred, each window pixel
// showing the mode's pixel nearest to it. A host that scales frames itself
// uses this, so that an update of part of a frame lands on exactly the
// window pixels a whole frame would give it.
#pragma once

#include <cstdint>

// The part of the window the mode's pixels cover; the rest stays black.
struct HostViewport {
    int x;
    int y;
    int width;
    int height;
};

inline HostViewport ViewportFor(int modeWidth, int modeHeight, int windowWidth, int windowHeight) {
    // A window wider in shape than the mode has bars left and right.
    if (int64_t{windowWidth} * modeHeight >= int64_t{windowHeight} * modeWidth) {
        auto width = static_cast<int>(int64_t{modeWidth} * windowHeight / modeHeight);
        return {(windowWidth - width) / 2, 0, width, windowHeight};
    }
    auto height = static_cast<int>(int64_t{modeHeight} * windowWidth / modeWidth);
    return {0, (windowHeight - height) / 2, windowWidth, height};
}

// The mode's pixel that the viewport's pixel `at` (counted from the
// viewport's edge) shows, along one axis of `mode` pixels shown on `view`.
inline int ModePixelOf(int at, int mode, int view) { return static_cast<int>(int64_t{at} * mode / view); }

// The viewport's first pixel that shows mode pixel `from` or one after it:
// the pixels showing mode pixels [from, to) are [ViewPixelOf(from),
// ViewPixelOf(to)).
inline int ViewPixelOf(int from, int mode, int view) {
    return static_cast<int>((int64_t{from} * view + mode - 1) / mode);
}
