#include "core/runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "core/object_table.h"
#include "core/routines.h"
#include "display/desktop.h"
#include "display/screen.h"
#include "input/input.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "runtime/lifecycle.h"
#include "sprite/store.h"
#include "support/fixture.h"
#include "support/program.h"

namespace {

using RuntimeStartTest = RuntimeTest;

TEST_F(RuntimeStartTest, ZeroesTheProgramStateAndMakesThreeHeaps) {
    ForgetTheRuntime();
    std::memset(&Runtime.program, 0x5A, sizeof(Runtime.program));
    Runtime.module = reinterpret_cast<HMODULE>(uintptr_t{0x1234});
    Runtime.mainHeap = reinterpret_cast<HANDLE>(uintptr_t{0x5678});
    size_t heaps = SoftHeapCount();

    RuntimeStart();

    static const ProgramState kZero = {};  // every byte zero, the padding too
    EXPECT_EQ(std::memcmp(&Runtime.program, &kZero, sizeof(kZero)), 0);
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

    EXPECT_EQ(RunProgram([] { ProgramEnd(0); }), Exited(0));

    EXPECT_EQ(SoftHeapCount(), heaps - 1);
    EXPECT_EQ(HeapAlloc(Runtime.mainHeap, 0, 8), nullptr);
    EXPECT_EQ(SoftHeapBlockCount(Runtime.mainHeap), 0u);
    // The list and scratch heaps are left to the process's exit.
    EXPECT_EQ(SoftHeapBlockCount(Runtime.scratchHeap), 1u);
    void* block = HeapAlloc(Runtime.listHeap, 0, 8);
    EXPECT_NE(block, nullptr);
    HeapFree(Runtime.listHeap, 0, block);
}

// The start loads DirectInput for the keyboard inside the screen's set-up,
// then DirectDraw, then User32 for the desktops, and nothing more: refusing
// its nth load shows which set-up asked. The keyboard's second set-up and the
// mouse's ask for DirectInput again, and have their devices whatever was
// refused.
TEST_F(RuntimeStartTest, TheStartLoadsDirectInputThenDirectDrawThenUser32) {
    struct {
        int nth;
        int32_t screenSetUp;
        bool directDraw;
        bool user32;
    } cases[] = {{1, 0, false, true}, {2, 1, false, true}, {3, 1, true, false}, {4, 1, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nth);
        ForgetTheRuntime();
        HeadlessReset();
        FailOn(SoftOp::LoadLibraryA, c.nth, 0);
        RuntimeStart();
        EXPECT_EQ(HeadlessFaultsPending(), c.nth == 4 ? 1 : 0);
        EXPECT_EQ(ScreenState.setUp, c.screenSetUp);
        EXPECT_EQ(ScreenState.displayObject != nullptr, c.directDraw);
        EXPECT_EQ(SoftModuleLoadCount("USER32.DLL"), c.user32 ? 1 : 0);
        EXPECT_EQ(DesktopList.count, 1);
        EXPECT_EQ(InputSystem.useCount, 3);
        EXPECT_EQ(KeyboardState.deviceState, kInputPrepared);
        EXPECT_EQ(MouseState.deviceState, kInputPrepared);
    }
}

// The end gives back the devices, the surfaces and the display, and frees the
// sprites before the main heap that holds them goes (the sanitizer build sees
// the order). Left to the process's exit: the hidden window, the list and
// scratch heaps, and the DirectInput object while a use of it is left (the
// keyboard's set-up inside the screen's takes one that no shut-down gives
// back; without a window that set-up never ran).
TEST_F(RuntimeStartTest, ProgramEndGivesBackTheDevicesAndTheDisplayBeforeTheMainHeap) {
    struct {
        std::optional<Fault> refused;
        int32_t usesLeft;
    } cases[] = {{std::nullopt, 1}, {SoftOp::CreateWindowExA, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused ? c.refused->Name() : "nothing refused");
        ForgetTheRuntime();
        size_t heaps = SoftHeapCount();
        int inputObjects = SoftDirectInputObjectCount();
        int devices = SoftDirectInputDeviceCount();
        int displays = SoftDirectDrawObjectCount();
        if (c.refused) FailOn(*c.refused, 1, 0);
        RuntimeStart();
        HWND window = ScreenState.window;
        if (window) {
            ASSERT_EQ(ScreenOpen(640, 480, 32, "end"), 1);
            auto* surface = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, 0));
            ASSERT_NE(SpriteSurfaceCreate(surface, 8, 8, 0, 0), nullptr);
            auto* memory = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, 1));
            ASSERT_NE(SpriteSurfaceCreate(memory, 8, 8, 0, kSpriteMemoryOnly), nullptr);
        }
        EXPECT_EQ(SoftDirectInputDeviceCount(), devices + 2);

        EXPECT_EQ(RunProgram([] { ProgramEnd(0); }), Exited(0));

        EXPECT_EQ(SoftDirectInputDeviceCount(), devices);
        EXPECT_EQ(SoftDirectDrawSurfaceCount(), 0);
        EXPECT_EQ(SoftDirectDrawObjectCount(), displays);
        EXPECT_EQ(SoftModuleLoadCount("DDRAW.DLL"), 0);
        EXPECT_EQ(SoftModuleLoadCount("USER32.DLL"), 0);
        EXPECT_FALSE(HeadlessDisplay().open);
        EXPECT_EQ(SoftHeapCount(), heaps + 2);
        EXPECT_FALSE(SoftHeapAlive(Runtime.mainHeap));
        EXPECT_EQ(InputSystem.useCount, c.usesLeft);
        EXPECT_EQ(SoftDirectInputObjectCount(), inputObjects + c.usesLeft);
        EXPECT_EQ(SoftModuleLoadCount("DINPUT.DLL"), c.usesLeft);
        EXPECT_EQ(SoftWindowExists(window), window != nullptr);
        EXPECT_FALSE(SoftWindowVisible(window));
    }
}

TEST_F(RuntimeStartTest, ProgramEndPassesItsExitCodeOn) {
    EXPECT_EQ(RunProgram([] { ProgramEnd(3); }), Exited(3));
    ForgetTheRuntime();
    RuntimeStart();
    EXPECT_EQ(RunProgram([] { ProgramEnd(0xFFFFFFFFu); }), Exited(0xFFFFFFFFu));
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
