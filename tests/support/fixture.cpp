#include "support/fixture.h"

#include "core/routines.h"
#include "core/runtime.h"
#include "display/desktop.h"
#include "display/screen.h"
#include "draw/context.h"
#include "input/input.h"
#include "sprite/grab.h"
#include "platform/host/headless.h"
#include "platform/soft/soft.h"

namespace {

void DestroyHeap(HANDLE& heap) {
    if (heap) HeapDestroy(heap);
    heap = nullptr;
}

}  // namespace

void ForgetTheRuntime() {
    // After ProgramEnd the main heap, and the sprite table in it, are gone.
    if (!SoftHeapAlive(Runtime.mainHeap)) ScreenState.spriteTable = nullptr;
    DrawEnd();
    MouseShutDown();
    KeyboardShutDown();
    if (InputSystem.object) {
        InputSystem.useCount = 1;
        InputSystemRelease();
    }
    DWORD keyboardLevel = KeyboardState.cooperativeLevel;
    ZeroFill(&KeyboardState, sizeof(KeyboardState));
    KeyboardState.cooperativeLevel = keyboardLevel;
    ZeroFill(&MouseState, sizeof(MouseState));
    ZeroFill(&InputSystem, sizeof(InputSystem));
    ZeroFill(&ImageEncoderTable, sizeof(ImageEncoderTable));
    ZeroFill(&ImageHandlerList, sizeof(ImageHandlerList));
    ScreenClose();
    ScreenRelease();
    if (ScreenState.displayObject) {
        ScreenState.displayUseCount = 1;
        DisplaySystemRelease();
    }
    ZeroFill(&ScreenState, sizeof(ScreenState));
    SoftUserReset();
    DesktopShutDown();
    ZeroFill(&DesktopList, sizeof(DesktopList));
    DestroyHeap(Runtime.mainHeap);
    DestroyHeap(Runtime.listHeap);
    DestroyHeap(Runtime.scratchHeap);
}

void RuntimeTest::SetUp() {
    HeadlessReset();
    RuntimeStart();
}

void RuntimeTest::TearDown() {
    ForgetTheRuntime();
    HeadlessReset();
}

TestSurface::TestSurface(int width, int height, uint32_t fill)
    : width(width), height(height), pixels(size_t(width) * height, fill) {
    dc = SoftSurfaceDcCreate(pixels.data(), width, height, width * 4);
}

TestSurface::~TestSurface() { DeleteDC(dc); }

int TestSurface::CountNot(uint32_t background) const {
    int count = 0;
    for (uint32_t p : pixels) count += p != background;
    return count;
}
