// Runs every benchmark with repetitions and prints, after Google Benchmark's
// own table, each ratio of medians with its goal.
//   ravlin_bench [benchmark flags]   (default: 9 repetitions, interleaved)
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "platform/host/headless.h"
#include "runtime/lifecycle.h"

namespace {

struct Ratio {
    std::string label;
    std::string subject;
    std::string baseline;
    double goal;
};

struct BenchRecord {
    std::vector<Ratio> ratios;
    std::map<std::string, double> medians;  // microseconds, by benchmark name
};

BenchRecord Bench;

// Keeps the median of every benchmark while the console shows the runs.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !run.error_occurred) {
                Bench.medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

void PrintRatios() {
    std::printf("\n%-58s %12s %12s %8s %6s\n", "ratio of medians", "subject us", "baseline us", "ratio", "goal");
    for (const Ratio& ratio : Bench.ratios) {
        auto subject = Bench.medians.find(ratio.subject);
        auto baseline = Bench.medians.find(ratio.baseline);
        if (subject == Bench.medians.end() || baseline == Bench.medians.end()) continue;
        double value = subject->second / baseline->second;
        std::printf("%-58s %12.1f %12.1f %8.2f", ratio.label.c_str(), subject->second, baseline->second, value);
        if (ratio.goal > 0) {
            std::printf(" %6.2f %s\n", ratio.goal, value <= ratio.goal ? "met" : "NOT MET");
        } else {
            std::printf("\n");
        }
    }
}

}  // namespace

std::string SizeName(BenchSize size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

std::string ScaleName(float scale) {
    char text[32];
    std::snprintf(text, sizeof(text), "scale:%g", double(scale));
    return text;
}

void BenchRatio(const std::string& label, const std::string& subject, const std::string& baseline, double goal) {
    Bench.ratios.push_back({label, subject, baseline, goal});
}

benchmark::internal::Benchmark* BenchAdd(const std::string& name, void (*run)(benchmark::State&, BenchSize, float),
                                         BenchSize size, float scale) {
    return benchmark::RegisterBenchmark(name.c_str(), run, size, scale)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

double BenchClock(int64_t frame) { return 0.1 * double(frame % 64 + 1); }

int main(int argc, char** argv) {
    // Defaults that the command line can override: later flags win.
    std::vector<char*> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=9";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions, interleave, aggregates});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    RuntimeStart();
    RegisterFrameBenchmarks();
    RegisterScreenshotBenchmarks();
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios();
    benchmark::Shutdown();
    return 0;
}
