#include "core/runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/routines.h"
#include "platform/host/headless.h"
#include "platform/soft/soft.h"
#include "support/fixture.h"

namespace {

using RuntimeStartTest = RuntimeTest;

// The exit code ProgramEnd ends the program with; -1 when it returned.
int64_t ExitCodeOf(uint32_t code) {
    try {
        ProgramEnd(code);
    } catch (const HeadlessExit& exit) {
        return exit.code;
    }
    return -1;
}

TEST_F(RuntimeStartTest, ZeroesTheProgramStateAndMakesThreeHeaps) {
    ForgetTheRuntime();
    Runtime.program = {640, 480, 320, 240, 0.5f, 12.5, 1};
    Runtime.module = reinterpret_cast<HMODULE>(uintptr_t{0x1234});
    Runtime.mainHeap = reinterpret_cast<HANDLE>(uintptr_t{0x5678});
    size_t heaps = SoftHeapCount();

    RuntimeStart();

    const ProgramState& program = Runtime.program;
    EXPECT_EQ(program.screenWidth, 0);
    EXPECT_EQ(program.screenHeight, 0);
    EXPECT_EQ(program.centreX, 0);
    EXPECT_EQ(program.centreY, 0);
    EXPECT_EQ(program.scale, 0.0f);
    EXPECT_EQ(program.clock, 0.0);
    EXPECT_EQ(program.quitting, 0);
    EXPECT_EQ(Runtime.module, GetModuleHandleA(nullptr));

    EXPECT_EQ(SoftHeapCount(), heaps + 3);
    ASSERT_NE(Runtime.mainHeap, nullptr);
    ASSERT_NE(Runtime.listHeap, nullptr);
    ASSERT_NE(Runtime.scratchHeap, nullptr);
    EXPECT_NE(Runtime.mainHeap, reinterpret_cast<HANDLE>(uintptr_t{0x5678}));
    EXPECT_NE(Runtime.mainHeap, Runtime.listHeap);
    EXPECT_NE(Runtime.mainHeap, Runtime.scratchHeap);
    EXPECT_NE(Runtime.listHeap, Runtime.scratchHeap);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.listHeap), 0u);

    // The scratch buffer is the scratch heap's one block, 16 bytes long (the
    // sanitizer build catches a shorter one).
    ASSERT_NE(Runtime.scratchBuffer, nullptr);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.scratchHeap), 1u);
    std::memset(Runtime.scratchBuffer, 0x5A, 16);
}

TEST_F(RuntimeStartTest, ProgramEndDestroysOnlyTheMainHeapAndExitsWithItsCode) {
    for (int i = 0; i < 5; ++i) ASSERT_NE(HeapAlloc(Runtime.mainHeap, HEAP_ZERO_MEMORY, 100), nullptr);
    size_t heaps = SoftHeapCount();

    EXPECT_EQ(ExitCodeOf(0), 0);

    EXPECT_EQ(SoftHeapCount(), heaps - 1);
    EXPECT_EQ(HeapAlloc(Runtime.mainHeap, 0, 8), nullptr);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.mainHeap), 0u);
    // The list and scratch heaps are left to the process's exit.
    EXPECT_EQ(SoftHeapBlockCount(Runtime.scratchHeap), 1u);
    void* block = HeapAlloc(Runtime.listHeap, 0, 8);
    EXPECT_NE(block, nullptr);
    HeapFree(Runtime.listHeap, 0, block);
}

TEST_F(RuntimeStartTest, ProgramEndPassesItsExitCodeOn) {
    EXPECT_EQ(ExitCodeOf(3), 3);
    ForgetTheRuntime();
    RuntimeStart();
    EXPECT_EQ(ExitCodeOf(0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST(FloatToInt, TruncatesTowardZero) {
    EXPECT_EQ(FloatToInt(199.9), 199);
    EXPECT_EQ(FloatToInt(200.0), 200);
    EXPECT_EQ(FloatToInt(-0.5), 0);
    EXPECT_EQ(FloatToInt(-199.9), -199);
    EXPECT_EQ(FloatToInt(0.999999), 0);
    EXPECT_EQ(FloatToInt(2147483647.9), INT32_MAX);
    EXPECT_EQ(FloatToInt(-2147483648.9), INT32_MIN);
}

TEST(FloatToInt, KeepsTheLow32BitsAndGivesZeroWithoutA64BitValue) {
    EXPECT_EQ(FloatToInt(4294967297.0), 1);
    EXPECT_EQ(FloatToInt(2147483648.0), INT32_MIN);
    EXPECT_EQ(FloatToInt(-2147483649.0), INT32_MAX);
    EXPECT_EQ(FloatToInt(3.0 * 4294967296.0 + 7.5), 7);
    EXPECT_EQ(FloatToInt(-4294967296.0 - 5.0), -5);

    EXPECT_EQ(FloatToInt(9223372036854775808.0), 0);  // 2^63
    EXPECT_EQ(FloatToInt(-9223372036854775808.0), 0);
    EXPECT_EQ(FloatToInt(1e300), 0);
    EXPECT_EQ(FloatToInt(-1e300), 0);
    EXPECT_EQ(FloatToInt(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(FloatToInt(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(FloatToInt(std::nan("")), 0);
}

TEST(NearestInt, RoundsHalvesToEvenAndMarksValuesOutside32Bits) {
    EXPECT_EQ(NearestInt(0.5), 0);
    EXPECT_EQ(NearestInt(1.5), 2);
    EXPECT_EQ(NearestInt(2.5), 2);
    EXPECT_EQ(NearestInt(-0.5), 0);
    EXPECT_EQ(NearestInt(-1.5), -2);
    EXPECT_EQ(NearestInt(-2.5), -2);
    EXPECT_EQ(NearestInt(2.4999), 2);
    EXPECT_EQ(NearestInt(-2.5001), -3);

    EXPECT_EQ(NearestInt(2147483647.4), INT32_MAX);
    EXPECT_EQ(NearestInt(-2147483648.4), INT32_MIN);
    EXPECT_EQ(NearestInt(2147483647.5), INT32_MIN);  // rounds to 2^31
    EXPECT_EQ(NearestInt(4294967297.0), INT32_MIN);
    EXPECT_EQ(NearestInt(-3e9), INT32_MIN);
    EXPECT_EQ(NearestInt(std::nan("")), INT32_MIN);
}

TEST(WaitMilliseconds, AdvancesTheClockByExactlyThatLong) {
    LARGE_INTEGER frequency, before, after;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    WaitMilliseconds(40);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_EQ(after.QuadPart - before.QuadPart, 40 * frequency.QuadPart / 1000);

    WaitMilliseconds(0);
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    EXPECT_EQ(before.QuadPart, after.QuadPart);
}

TEST(ZeroFill, ZeroesExactlyTheGivenBytes) {
    unsigned char bytes[8];
    std::memset(bytes, 0xEE, sizeof bytes);
    ZeroFill(bytes, 0);
    ZeroFill(bytes, -1);
    ZeroFill(bytes, INT32_MIN);
    for (unsigned char b : bytes) EXPECT_EQ(b, 0xEE);

    ZeroFill(bytes + 2, 3);
    const unsigned char expected[8] = {0xEE, 0xEE, 0, 0, 0, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
}

}  // namespace
