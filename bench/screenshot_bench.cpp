// F2's screenshot — the grab into a sprite, the conversion to 24-bit rows and
// the file write — against a plain write of as many bytes to the same file
// system.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/orbit.h"
#include "bench/bench.h"
#include "display/screen.h"
#include "draw/context.h"
#include "draw/screen_target.h"
#include "sprite/grab.h"

namespace {

namespace fs = std::filesystem;

// Both kinds of write go to one fresh directory under the current one.
struct ScratchDirectory {
    ScratchDirectory() {
        std::string pattern = (fs::current_path() / "ravlin-bench-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
    fs::path path;
};

// What SpriteSave writes: 54 bytes of headers, then rows of 3 bytes a pixel
// padded as BMP pads them.
size_t BmpFileBytes(BenchSize size) { return 54 + size_t(3 * size.width + (size.width & 3)) * size.height; }

bool PlainWrite(const std::string& file, const std::vector<char>& bytes) {
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) break;
        written += size_t(n);
    }
    return close(fd) == 0 && written == bytes.size();
}

void PlainWriteBaseline(benchmark::State& state, BenchSize size, float) {
    ScratchDirectory scratch;
    std::vector<char> bytes(BmpFileBytes(size), 1);
    const std::string file = (scratch.path / "plain.bin").string();
    for (auto _ : state) {
        if (!PlainWrite(file, bytes)) {
            state.SkipWithError("the plain write failed");
            return;
        }
    }
}

// Which steps of the screenshot an iteration takes: the grab, the save of
// sprite 0 (grabbed once before), or both.
enum class Steps { kGrab = 1, kSave = 2, kBoth = 3 };

template <Steps steps>
void Screenshot(benchmark::State& state, BenchSize size, float) {
    ScratchDirectory scratch;
    if (!BenchScreenOpen(size, true)) {
        state.SkipWithError("the screen did not open");
        return;
    }
    ScreenClear(0);
    DrawBegin(ScreenDrawTarget());
    OrbitSceneDraw(BenchClock(0), 1.0f, size.width / 2, size.height / 2);
    DrawEnd();
    const std::string file = (scratch.path / "ravlin.bmp").string();
    const bool grab = int(steps) & int(Steps::kGrab);
    const bool save = int(steps) & int(Steps::kSave);
    if (!grab && !SpriteGrab(0, 0, 0, size.width, size.height)) {
        state.SkipWithError("the grab failed");
        return;
    }
    for (auto _ : state) {
        if ((grab && !SpriteGrab(0, 0, 0, size.width, size.height)) || (save && !SpriteSave(0, file.c_str()))) {
            state.SkipWithError("the screenshot failed");
            return;
        }
    }
    if (save && fs::file_size(file) != BmpFileBytes(size)) state.SkipWithError("the screenshot has the wrong size");
}

}  // namespace

void RegisterScreenshotBenchmarks() {
    for (BenchSize size : kBenchSizes) {
        // Appended, not "/" + SizeName(...): g++ 12 warns falsely of overlap
        // (-Wrestrict) in the insert that operator+ does there.
        const std::string at = std::string("/").append(SizeName(size));
        BenchAdd("PlainWrite" + at, PlainWriteBaseline, size);
        BenchAdd("Screenshot" + at, Screenshot<Steps::kBoth>, size);
        BenchAdd("ScreenshotGrab" + at, Screenshot<Steps::kGrab>, size);
        BenchAdd("ScreenshotSave" + at, Screenshot<Steps::kSave>, size);
        BenchRatio("screenshot / plain write" + at, "Screenshot" + at, "PlainWrite" + at, 1.2);
        BenchRatio("screenshot's save / plain write" + at, "ScreenshotSave" + at, "PlainWrite" + at, 0);
        // The grab zeroes a new surface and copies the screen into it.
        BenchRatio("screenshot's grab / bandwidth" + at, "ScreenshotGrab" + at, "Bandwidth/memset+memcpy" + at, 0);
    }
}
