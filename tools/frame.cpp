// Renders frames of the orbit scene with the software GDI:
//   ravlin_frame FILE [WIDTH HEIGHT CLOCK SCALE]   (default 1024 768 0.1 1)
//     writes one frame as a 24-bit BMP, so that a person can look at it, as
//     the program writes its screenshot;
//   ravlin_frame --find SCREENSHOT [FRAMES [WIDTH HEIGHT]]   (default 3000)
//     finds which of the program's first FRAMES frames a 24-bit BMP screenshot
//     shows (the frames of the animation, before any key, at its size, or in a
//     mode of WIDTH x HEIGHT scaled to its size as the SDL host scales it), and
//     says how many of its pixels differ from that frame. Exit code 0 when a
//     frame matches it pixel for pixel, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/orbit.h"
#include "display/screen.h"
#include "draw/context.h"
#include "draw/screen_target.h"
#include "platform/host/headless.h"
#include "platform/host/viewport.h"
#include "platform/soft/internal.h"
#include "runtime/lifecycle.h"
#include "sprite/grab.h"

namespace {

// X8R8G8B8 pixels, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

constexpr int kMaxSide = 16384;
constexpr int kScreenDepth = 32;      // the program's, which the software display draws
constexpr intptr_t kFrameSprite = 0;  // the sprite the frame is grabbed into

uint32_t LittleEndian(const std::vector<uint8_t>& in, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint32_t(in[at + i]) << (8 * i);
    return value;
}

// An uncompressed bottom-up 24-bit BMP, as the program's screenshot is; false
// for anything else.
bool ReadBmp(const char* path, Image* image) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return false;
    const uint32_t offset = LittleEndian(file, 10, 4);
    const auto width = int32_t(LittleEndian(file, 18, 4));
    const auto height = int32_t(LittleEndian(file, 22, 4));
    if (LittleEndian(file, 28, 2) != 24 || LittleEndian(file, 30, 4) != 0) return false;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
    const size_t rowBytes = (3 * size_t(width) + 3) & ~size_t(3);
    if (offset > file.size() || file.size() - offset < rowBytes * size_t(height)) return false;
    image->width = width;
    image->height = height;
    image->pixels.assign(size_t(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        const size_t row = offset + rowBytes * size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) image->pixels[size_t(y) * width + x] = LittleEndian(file, row + 3 * x, 3);
    }
    return true;
}

// The scene at this clock and scale on a black screen, as the program's
// frame draws it on its cleared back buffer.
void Render(double clock, float scale, Image* image) {
    std::fill(image->pixels.begin(), image->pixels.end(), 0);
    DrawTarget target = {};
    target.kind = 0;  // a device context of our own, deleted when drawing ends
    target.dc = SoftSurfaceDcCreate(image->pixels.data(), image->width, image->height, image->width * 4);
    DrawBegin(&target);
    OrbitSceneDraw(clock, scale, image->width / 2, image->height / 2);
    DrawEnd();
}

int64_t CountDifferences(const Image& a, const Image& b) {
    int64_t count = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) count += a.pixels[i] != b.pixels[i];
    return count;
}

// The frame as the program's F2 screenshot makes it: the scene drawn on the
// cleared back buffer of a screen of the frame's size, grabbed into a sprite
// and written by the runtime's own BMP writer. The headless host's display is
// in memory; its one desktop is given the frame's size, as the program's
// screen has the size of its desktop.
int WriteFrame(const char* path, int width, int height, double clock, float scale) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        std::fprintf(stderr, "ravlin_frame: the size must be 1 to %d pixels each way\n", kMaxSide);
        return 2;
    }
    HeadlessSetDesktop({width, height, kScreenDepth, 60});
    if (!ScreenOpen(width, height, kScreenDepth, "ravlin_frame")) {
        std::fprintf(stderr, "ravlin_frame: cannot open a %d x %d x %d screen\n", width, height, kScreenDepth);
        return 1;
    }
    ScreenClear(0);
    DrawBegin(ScreenDrawTarget());
    OrbitSceneDraw(clock, scale, width / 2, height / 2);
    DrawEnd();
    const bool written = SpriteGrab(kFrameSprite, 0, 0, width, height) && SpriteSave(kFrameSprite, path);
    ScreenClose();
    if (!written) {
        std::fprintf(stderr, "ravlin_frame: cannot write %s\n", path);
        return 1;
    }
    std::printf("%s\n", path);
    return 0;
}

// The frame as a screen of `shown`'s size shows a mode of the frame's size:
// scaled to fill it, centred, black beside it (viewport.h).
void ShowScaled(const Image& frame, Image* shown) {
    const HostViewport view = ViewportFor(frame.width, frame.height, shown->width, shown->height);
    std::fill(shown->pixels.begin(), shown->pixels.end(), 0);
    for (int y = 0; y < view.height; ++y) {
        const uint32_t* row = &frame.pixels[size_t(ModePixelOf(y, frame.height, view.height)) * frame.width];
        uint32_t* to = &shown->pixels[size_t(view.y + y) * shown->width + view.x];
        for (int x = 0; x < view.width; ++x) to[x] = row[ModePixelOf(x, frame.width, view.width)];
    }
}

int FindFrame(const char* path, int frames, int modeWidth, int modeHeight) {
    Image screenshot;
    if (!ReadBmp(path, &screenshot)) {
        std::fprintf(stderr, "ravlin_frame: %s is not an uncompressed 24-bit BMP\n", path);
        return 2;
    }
    if (modeWidth < 1 || modeHeight < 1 || modeWidth > kMaxSide || modeHeight > kMaxSide) {
        modeWidth = screenshot.width;
        modeHeight = screenshot.height;
    }
    Image frame{modeWidth, modeHeight, std::vector<uint32_t>(size_t(modeWidth) * modeHeight)};
    Image shown{screenshot.width, screenshot.height, std::vector<uint32_t>(screenshot.pixels.size())};
    const bool scaled = modeWidth != screenshot.width || modeHeight != screenshot.height;
    int best = 0;
    double bestClock = 0;
    int64_t fewest = INT64_MAX;
    double clock = 0;
    for (int n = 1; n <= frames && fewest > 0; ++n) {
        clock += 0.1;  // as the program's frame loop advances it
        Render(clock, 1.0f, &frame);
        if (scaled) ShowScaled(frame, &shown);
        int64_t differences = CountDifferences(screenshot, scaled ? shown : frame);
        if (differences < fewest) best = n, bestClock = clock, fewest = differences;
    }
    std::printf("%s: frame %d (clock %.17g) of the %dx%d animation, %lld of %zu pixels differ\n", path, best, bestClock,
                modeWidth, modeHeight, static_cast<long long>(fewest), screenshot.pixels.size());
    return fewest == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    RuntimeStart();
    if ((argc == 3 || argc == 4 || argc == 6) && std::strcmp(argv[1], "--find") == 0) {
        return FindFrame(argv[2], argc >= 4 ? std::atoi(argv[3]) : 3000, argc == 6 ? std::atoi(argv[4]) : 0,
                         argc == 6 ? std::atoi(argv[5]) : 0);
    }
    if (argc == 2) return WriteFrame(argv[1], 1024, 768, 0.1, 1.0f);
    if (argc == 6) {
        return WriteFrame(argv[1], std::atoi(argv[2]), std::atoi(argv[3]), std::atof(argv[4]),
                          float(std::atof(argv[5])));
    }
    std::fprintf(stderr,
                 "usage: %s FILE [WIDTH HEIGHT CLOCK SCALE]\n       %s --find SCREENSHOT [FRAMES [WIDTH HEIGHT]]\n",
                 argv[0], argv[0]);
    return 2;
}
