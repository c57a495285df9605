// What the benchmarks share: the ratios printed after the run, the screen
// they open on the headless host, and the scene's clock.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>


struct BenchSize {
    int width;
    int height;
};

inline constexpr BenchSize kBenchSizes[] = {{1920, 1080}, {3840, 2160}};
// Scale 1 draws the small glow; 0.2035 is the smallest scale the shrinking
// end draws, with the largest glow.
inline constexpr float kBenchScales[] = {1.0f, 0.2035f};

std::string SizeName(BenchSize size);
std::string ScaleName(float scale);

// A ratio of two benchmarks' medians, printed after the run; `goal` is the
// largest ratio that meets the goal (0: no goal, only a figure).
void BenchRatio(const std::string& label, const std::string& subject, const std::string& baseline, double goal);

// Registers a benchmark by its full name, timed in real microseconds.
benchmark::internal::Benchmark* BenchAdd(const std::string& name, void (*run)(benchmark::State&, BenchSize, float),
                                         BenchSize size, float scale = 1.0f);

// Opens the screen at this size on the headless host, with presents copied
// (true) or hashed and recorded (false). False when the runtime refuses.
bool BenchScreenOpen(BenchSize size, bool copyPresents);

// The animation clock of the nth frame, cycling through 64 frames so that
// every benchmark of a scene draws the same pictures.
double BenchClock(int64_t frame);

void RegisterFrameBenchmarks();
void RegisterScreenshotBenchmarks();
