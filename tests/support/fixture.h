// What most tests start from: a fresh runtime on the headless host.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/soft/operations.h"
#include "platform/win32.h"
#include "support/forget.h"

// A fault of the software layer: an operation, and the target it is aimed at
// ("DDRAW.DLL" for LoadLibraryA), if any.
struct Fault {
    Fault(SoftOp operation, const char* target = nullptr) : operation(operation), target(target) {}
    // The name the host's fault injection knows it by.
    std::string Name() const;

    SoftOp operation;
    const char* target;
};

std::ostream& operator<<(std::ostream& out, const Fault& fault);

// Makes the fault's operation fail on its nth call from now with `result`
// (HeadlessFailOn under its name).
void FailOn(const Fault& fault, int nth, int64_t result, int times = 1);

// Starts the runtime afresh and forgets every armed fault, before and after
// each test.
class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A window of a class of its own, which `procedure` serves.
HWND TestWindow(WNDPROC procedure = DefWindowProcA, DWORD style = WS_POPUP);

// DirectDraw surface descriptions: sized only, or with these flags and caps;
// an off-screen surface; the primary surface of a flip chain of two.
DDSURFACEDESC2 Described(DWORD flags = 0, DWORD caps = 0);
DDSURFACEDESC2 PlainDescription(DWORD width, DWORD height, DWORD caps = DDSCAPS_OFFSCREENPLAIN);
DDSURFACEDESC2 PrimaryDescription();
// A colour fill of the surface, or of `area`.
HRESULT Fill(IDirectDrawSurface7* surface, uint32_t pixel, RECT* area = nullptr);

// Calls `visit` on every pixel of a 32-bit surface under a lock, and gives the
// locked address (null when the lock fails).
void* ForEachPixel(IDirectDrawSurface7* surface, const std::function<void(int x, int y, uint32_t& pixel)>& visit);

// A directory of its own under the test's temporary one, removed with all it
// holds at the end; while it lives, the current one if `enter`.
struct FreshDirectory {
    explicit FreshDirectory(bool enter = false);
    ~FreshDirectory();
    std::filesystem::path path;
    std::filesystem::path previous;  // the current directory before, when entered
};

// A file's bytes, and the names in a directory in the order it lists them.
std::vector<uint8_t> Contents(const std::filesystem::path& file);
std::vector<std::string> Entries(const std::filesystem::path& directory);

// 32-bit pixel memory with a device context of the software GDI over it.
struct TestSurface {
    TestSurface(int width, int height, uint32_t fill = 0);
    ~TestSurface();
    TestSurface(const TestSurface&) = delete;
    TestSurface& operator=(const TestSurface&) = delete;

    uint32_t& At(int x, int y) { return pixels[size_t(y) * width + x]; }
    // Pixels that differ from `background`.
    int CountNot(uint32_t background) const;

    int width;
    int height;
    std::vector<uint32_t> pixels;
    HDC dc;
};
