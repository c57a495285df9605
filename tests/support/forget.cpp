#include "support/forget.h"

#include "core/routines.h"
#include "core/runtime.h"
#include "display/desktop.h"
#include "display/screen.h"
#include "draw/context.h"
#include "input/input.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "sprite/grab.h"

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
    // A process's end takes the drawing context's pen and brush with it.
    DeleteObject(DrawState.defaultBrush);
    DeleteObject(DrawState.defaultPen);
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

