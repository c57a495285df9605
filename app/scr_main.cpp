// The screen saver's entry on Windows (ravlin.scr), the same program as
// ravlin.exe: /s runs it as ravlin.exe does; /p HWND draws it in the Screen
// Saver Settings' preview, a child of that window, until the window goes,
// reading no key or mouse; /c, or nothing, says that it has no settings.
#include <cstdint>

#include "app/options.h"
#include "app/program.h"
#include "display/screen.h"
#include "platform/win32.h"
#include "runtime/lifecycle.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    uint64_t window = 0;
    const ScreenSaverCall call = ScreenSaverOptions(commandLine, &window);
    HWND given = reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
    switch (call) {
        case ScreenSaverCall::Preview:
            ScreenUseWindow(given);
            [[fallthrough]];
        case ScreenSaverCall::Run:
            RuntimeStart();
            ProgramMain();
        case ScreenSaverCall::Settings:
            MessageBoxA(given, "ravlin has no settings.", "ravlin", MB_OK);
            return 0;
        default:
            MessageBoxA(nullptr, "ravlin.scr takes /s, /p HWND or /c.", "ravlin", MB_OK | MB_ICONERROR);
            return 2;
    }
}
