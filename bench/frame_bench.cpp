// The cost of one frame on the headless host — clear, scene, flip with its
// present copy — against what memory bandwidth allows for a clear and a
// present, and the scene's circles against cairo filling the same circles.
#include <cairo.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "app/orbit.h"
#include "bench/bench.h"
#include "display/screen.h"
#include "draw/context.h"
#include "draw/screen_target.h"
#include "input/input.h"
#include "platform/host/headless.h"
#include "platform/soft/internal.h"

namespace {

// The frame's pixels at the screen's size, and a second buffer standing for
// the display's memory.
struct FrameBuffers {
    explicit FrameBuffers(BenchSize size) : frame(size_t(size.width) * size.height), shown(frame.size()) {}
    std::vector<uint32_t> frame;
    std::vector<uint32_t> shown;
};

// The limit for a clear and a present: one fill of the frame and one copy of it.
void BandwidthBaseline(benchmark::State& state, BenchSize size, float) {
    FrameBuffers buffers(size);
    const size_t bytes = buffers.frame.size() * 4;
    for (auto _ : state) {
        std::memset(buffers.frame.data(), 0, bytes);
        benchmark::ClobberMemory();
        std::memcpy(buffers.shown.data(), buffers.frame.data(), bytes);
        benchmark::DoNotOptimize(buffers.shown.data());
        benchmark::ClobberMemory();
    }
}

// The parts of that limit alone, to set the clear and the flip against.
void MemsetBaseline(benchmark::State& state, BenchSize size, float) {
    FrameBuffers buffers(size);
    for (auto _ : state) {
        std::memset(buffers.frame.data(), 0, buffers.frame.size() * 4);
        benchmark::DoNotOptimize(buffers.frame.data());
        benchmark::ClobberMemory();
    }
}

void MemcpyBaseline(benchmark::State& state, BenchSize size, float) {
    FrameBuffers buffers(size);
    for (auto _ : state) {
        std::memcpy(buffers.shown.data(), buffers.frame.data(), buffers.frame.size() * 4);
        benchmark::DoNotOptimize(buffers.shown.data());
        benchmark::ClobberMemory();
    }
}

// The limit again with the flip's three buffers: the two of the flip chain,
// drawn on in turn, and the display's.
void SwappedBandwidthBaseline(benchmark::State& state, BenchSize size, float) {
    FrameBuffers buffers(size);
    std::vector<uint32_t> other(buffers.frame.size());
    const size_t bytes = buffers.frame.size() * 4;
    for (auto _ : state) {
        std::memset(buffers.frame.data(), 0, bytes);
        benchmark::ClobberMemory();
        std::memcpy(buffers.shown.data(), buffers.frame.data(), bytes);
        benchmark::DoNotOptimize(buffers.shown.data());
        benchmark::ClobberMemory();
        buffers.frame.swap(other);
    }
}

void Clear(benchmark::State& state, BenchSize size, float) {
    if (!BenchScreenOpen(size, true)) {
        state.SkipWithError("the screen did not open");
        return;
    }
    for (auto _ : state) ScreenClear(0);
}

void Flip(benchmark::State& state, BenchSize size, float) {
    if (!BenchScreenOpen(size, true)) {
        state.SkipWithError("the screen did not open");
        return;
    }
    for (auto _ : state) ScreenFlip(0);
}

// One frame as the program draws it, flipped without waiting for the blank.
void DrawFrames(benchmark::State& state, BenchSize size, float scale, bool copyPresents) {
    if (!BenchScreenOpen(size, copyPresents)) {
        state.SkipWithError("the screen did not open");
        return;
    }
    int64_t frame = 0;
    for (auto _ : state) {
        ScreenClear(0);
        DrawBegin(ScreenDrawTarget());
        OrbitSceneDraw(BenchClock(frame++), scale, size.width / 2, size.height / 2);
        DrawEnd();
        ScreenFlip(0);
    }
    if (copyPresents && HeadlessShown().size() != size_t(size.width) * size.height) {
        state.SkipWithError("no frame reached the display");
    }
}

void Frame(benchmark::State& state, BenchSize size, float scale) { DrawFrames(state, size, scale, true); }

// The frame as the program's loop runs it and as tools/web-bench times the
// page: after the loop's 40 ms wait, which is not timed, the input polls and
// the frame. What the wait lets go cold (the caches, the processor's
// predictions, a virtual processor left idle) is paid again in every frame,
// as in the program; Frame, run back to back, never pays it.
void FramePaced(benchmark::State& state, BenchSize size, float scale) {
    if (!BenchScreenOpen(size, true)) {
        state.SkipWithError("the screen did not open");
        return;
    }
    int64_t frame = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        const auto begin = std::chrono::steady_clock::now();
        KeyboardPoll();
        MousePoll();
        ScreenClear(0);
        DrawBegin(ScreenDrawTarget());
        OrbitSceneDraw(BenchClock(frame++), scale, size.width / 2, size.height / 2);
        DrawEnd();
        ScreenFlip(0);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
}

// The same frame with the display knowing nothing of what changed: the clear
// fills the whole frame and the present copies all of it.
void FrameUntracked(benchmark::State& state, BenchSize size, float scale) {
    SoftDamageTracking(false);
    DrawFrames(state, size, scale, true);
    SoftDamageTracking(true);
}

// The same frame with the host's test-time present: hashed and recorded.
void FrameHashed(benchmark::State& state, BenchSize size, float scale) { DrawFrames(state, size, scale, false); }

// The hash the headless host takes of every frame in tests.
void Hash(benchmark::State& state, BenchSize size, float) {
    FrameBuffers buffers(size);
    for (auto _ : state) {
        uint64_t hash = HeadlessHash(reinterpret_cast<const uint8_t*>(buffers.frame.data()), size.width, size.height,
                                     size.width * 4);
        benchmark::DoNotOptimize(hash);
    }
}

// The scene's circles alone, through the runtime and the software GDI.
void SceneCircles(benchmark::State& state, BenchSize size, float scale) {
    if (!BenchScreenOpen(size, true)) {
        state.SkipWithError("the screen did not open");
        return;
    }
    ScreenClear(0);
    int64_t frame = 0;
    for (auto _ : state) {
        DrawBegin(ScreenDrawTarget());
        OrbitSceneDraw(BenchClock(frame++), scale, size.width / 2, size.height / 2);
        DrawEnd();
    }
}

struct CairoRecord {
    cairo_t* context = nullptr;
};

CairoRecord Cairo;

// GDI's ellipse in the box (x - r, y - r) to (x + r, y + r) covers the pixels
// whose centres lie inside the circle of radius r around the pixel corner
// (x, y); a radius of 1 is the program's 2 x 2 box and 0 draws nothing.
void CairoCircle(int32_t x, int32_t y, int32_t radius, ColorValue colour) {
    cairo_t* cr = Cairo.context;
    cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, (colour >> 8 & 0xFF) / 255.0, (colour >> 16 & 0xFF) / 255.0);
    if (radius == 1) {
        cairo_rectangle(cr, x, y, 2, 2);
    } else if (radius != 0) {
        cairo_arc(cr, x, y, std::abs(double(radius)), 0, 2 * M_PI);
    }
    cairo_fill(cr);
}

void CairoCircles(benchmark::State& state, BenchSize size, float scale) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height);
    Cairo.context = cairo_create(surface);
    cairo_set_antialias(Cairo.context, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(Cairo.context, 0, 0, 0);
    cairo_paint(Cairo.context);
    int64_t frame = 0;
    for (auto _ : state) {
        OrbitSceneVisit(BenchClock(frame++), scale, size.width / 2, size.height / 2, CairoCircle);
        cairo_surface_flush(surface);
    }
    if (cairo_status(Cairo.context) != CAIRO_STATUS_SUCCESS) state.SkipWithError("cairo failed");
    cairo_destroy(Cairo.context);
    Cairo.context = nullptr;
    cairo_surface_destroy(surface);
}

}  // namespace

bool BenchScreenOpen(BenchSize size, bool copyPresents) {
    HeadlessReset();
    HeadlessCopyPresents(copyPresents);
    HeadlessSetDesktop({size.width, size.height, 32, 60});
    return ScreenOpen(size.width, size.height, 32, "ravlin") != 0;
}

void RegisterFrameBenchmarks() {
    for (BenchSize size : kBenchSizes) {
        // Appended, not "/" + SizeName(...): g++ 12 warns falsely of overlap
        // (-Wrestrict) in the insert that operator+ does there.
        const std::string at = std::string("/").append(SizeName(size));
        const std::string bandwidth = "Bandwidth/memset+memcpy" + at;
        BenchAdd(bandwidth, BandwidthBaseline, size);
        BenchAdd("Memset" + at, MemsetBaseline, size);
        BenchAdd("Memcpy" + at, MemcpyBaseline, size);
        BenchAdd("Bandwidth/swapped" + at, SwappedBandwidthBaseline, size);
        BenchAdd("Clear" + at, Clear, size);
        BenchAdd("Flip" + at, Flip, size);
        BenchRatio("clear / memset" + at, "Clear" + at, "Memset" + at, 0);
        BenchRatio("flip / memcpy" + at, "Flip" + at, "Memcpy" + at, 0);
        BenchRatio("bandwidth, three buffers / two" + at, "Bandwidth/swapped" + at, bandwidth, 0);
        BenchAdd("Hash" + at, Hash, size);
        BenchRatio("hash of a frame / bandwidth" + at, "Hash" + at, bandwidth, 0);
        for (float scale : kBenchScales) {
            const std::string name = at + "/" + ScaleName(scale);
            BenchAdd("Frame" + name, Frame, size, scale);
            BenchAdd("FrameHashed" + name, FrameHashed, size, scale);
            BenchAdd("FrameUntracked" + name, FrameUntracked, size, scale);
            BenchAdd("SceneCircles" + name, SceneCircles, size, scale);
            BenchAdd("CairoCircles" + name, CairoCircles, size, scale);
            BenchRatio("frame / bandwidth" + name, "Frame" + name, bandwidth, scale == 1.0f ? 0.25 : 1.5);
            BenchRatio("frame / frame not knowing what changed" + name, "Frame" + name, "FrameUntracked" + name, 0);
            BenchRatio("frame / bandwidth, three buffers" + name, "Frame" + name, "Bandwidth/swapped" + at, 0);
            BenchRatio("frame, hashed present / bandwidth" + name, "FrameHashed" + name, bandwidth, 0);
            BenchRatio("scene circles / cairo" + name, "SceneCircles" + name, "CairoCircles" + name, 1.0);
        }
    }
    // The paced frame sleeps 40 ms an iteration, so it runs a fixed count, and
    // only where the page is measured (tools/web-bench). It times itself, the
    // wait left out.
    const std::string paced = std::string("/").append(SizeName(kBenchSizes[0])).append("/").append(ScaleName(1.0f));
    benchmark::RegisterBenchmark(("FramePaced" + paced).c_str(), FramePaced, kBenchSizes[0], 1.0f)
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(40)
        ->UseManualTime();
    BenchRatio("frame after the program's wait / frame back to back" + paced, "FramePaced" + paced, "Frame" + paced, 0);
}
