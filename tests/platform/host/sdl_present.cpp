// The SDL host's present on a real X server (CTest runs this under a
// virtual one of 1024 x 768): a frame, and then only the part of the next
// one that changed, must leave the screen as a whole present of that frame
// does, also for a mode that the host scales to fill the screen.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/host.h"

// Last: Xlib's macros would rename GoogleTest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

struct CloseDisplay {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// The X screen's pixels as 0x00RRGGBB, row by row.
std::vector<uint32_t> ScreenPixels() {
    std::unique_ptr<Display, CloseDisplay> display(XOpenDisplay(nullptr));
    if (!display) return {};
    Window root = DefaultRootWindow(display.get());
    XWindowAttributes attributes = {};
    XGetWindowAttributes(display.get(), root, &attributes);
    XImage* image = XGetImage(display.get(), root, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                              AllPlanes, ZPixmap);
    if (!image) return {};
    std::vector<uint32_t> pixels;
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) pixels.push_back(uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF);
    }
    XDestroyImage(image);
    return pixels;
}

// A frame of the mode's size: a pattern, never black, that differs from
// pixel to pixel, with `mark` painted over the rectangle `area`.
std::vector<uint32_t> Frame(int width, int height, HostRect area = {}, uint32_t mark = 0) {
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool marked = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
            pixels[size_t(y) * width + x] = marked ? mark : (uint32_t(x * 0x010301 + y * 0x030107) & 0x7F7F7F) | 0x808080;
        }
    }
    return pixels;
}

void Present(const std::vector<uint32_t>& frame, int width, int height, HostRect changed) {
    HostEvent event;
    while (HostNextEvent(&event)) {
    }
    HostDisplayPresent(reinterpret_cast<const uint8_t*>(frame.data()), width, height, width * 4, changed, true);
}

struct Mode {
    int width;
    int height;
};

}  // namespace

TEST(SdlHostPresent, OnlyTheChangedPartIsNeededForTheWholeNewFrame) {
    ASSERT_GT(HostDesktopCount(), 0) << "no X display to present on";
    // The screen's own size, one of another shape (bars above and below),
    // and one it is scaled up to fill by a factor that is not whole.
    for (Mode mode : {Mode{1024, 768}, Mode{800, 400}, Mode{300, 250}}) {
        SCOPED_TRACE(std::to_string(mode.width) + "x" + std::to_string(mode.height));
        ASSERT_TRUE(HostDisplayOpen(mode.width, mode.height, 32));
        const HostRect whole = {0, 0, mode.width, mode.height};
        const HostRect changed = {mode.width / 3, mode.height / 4, mode.width / 3 + 37, mode.height / 4 + 29};
        const std::vector<uint32_t> next = Frame(mode.width, mode.height, changed, 0x00FF8000);

        Present(next, mode.width, mode.height, whole);
        const std::vector<uint32_t> expected = ScreenPixels();
        ASSERT_FALSE(expected.empty());
        // The picture reaches the screen's left and right edges, or its top
        // and bottom; a mode of another shape has black bars beside it.
        auto at = [&expected](int x, int y) { return expected[size_t(y) * 1024 + size_t(x)]; };
        bool fillsWidth = at(0, 384) != 0 && at(1023, 384) != 0;
        bool fillsHeight = at(512, 0) != 0 && at(512, 767) != 0;
        EXPECT_TRUE(fillsWidth || fillsHeight);
        EXPECT_EQ(at(0, 0) == 0, mode.width * 768 != mode.height * 1024);

        Present(Frame(mode.width, mode.height), mode.width, mode.height, whole);
        EXPECT_NE(ScreenPixels(), expected);
        Present(next, mode.width, mode.height, changed);
        EXPECT_EQ(ScreenPixels(), expected);
        // Nothing changed: nothing to upload, and the screen stays.
        Present(next, mode.width, mode.height, {0, 0, 0, 0});
        EXPECT_EQ(ScreenPixels(), expected);
    }
    HostDisplayClose();
}
