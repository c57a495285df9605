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

}  // namespace
