#include "runtime/lifecycle.h"

#include "core/runtime.h"
#include "display/desktop.h"
#include "display/screen.h"
#include "draw/context.h"
#include "input/input.h"
#include "sprite/grab.h"

// No result is looked at: the program goes on whatever a set-up gave, and
// ScreenOpen says whether there is a display.
void RuntimeStart() {
    RuntimeHeapsCreate();
    DrawSetUp();
    ImageHandlerReset();
    ScreenSetUp();
    KeyboardSetUp();
    MouseSetUp();
    DesktopScan();
}

void ProgramEnd(uint32_t exitCode) {
    MouseShutDown();
    ScreenShutDown();
    KeyboardShutDown();
    DesktopShutDown();
    HeapDestroy(Runtime.mainHeap);
    ExitProcess(exitCode);
}

void RuntimeForget() {
    DrawForget();
    InputForget();
    GrabForget();
    ScreenForget();
    DesktopForget();
    RuntimeHeapsDestroy();
}
