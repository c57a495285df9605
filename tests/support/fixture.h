// What most tests start from: a fresh runtime on the headless host.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
