#include "support/forget.h"

#include "core/runtime.h"
#include "display/screen.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "runtime/lifecycle.h"

void ForgetTheRuntime() {
    // After ProgramEnd the main heap, and the sprite table in it, are gone.
    if (!SoftHeapAlive(Runtime.mainHeap)) ScreenState.spriteTable = nullptr;
    RuntimeForget();
    SoftUserReset();
}
