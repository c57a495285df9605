// The one DirectInput object, loaded at run time on first demand.
#include "core/guids.h"
#include "core/runtime.h"
#include "input/input.h"

InputSystemRecord InputSystem;

namespace {

typedef HRESULT(WINAPI* DirectInputCreateExRoutine)(HINSTANCE instance, DWORD version, REFIID iid, LPVOID* object,
                                                    IUnknown* outer);

constexpr DWORD kDirectInputVersion = 0x0700;

void LoadInputObject() {
    InputSystem.library = LoadLibraryA("DINPUT.DLL");
    if (!InputSystem.library) return;
    FARPROC entry = GetProcAddress(InputSystem.library, "DirectInputCreateEx");
    if (entry) {
        auto create = reinterpret_cast<DirectInputCreateExRoutine>(reinterpret_cast<void (*)()>(entry));
        // Whether the object field is filled is the only test of success.
        create(Runtime.module, kDirectInputVersion, kIidDirectInput7A, reinterpret_cast<LPVOID*>(&InputSystem.object),
               nullptr);
    }
    // Without an object the library is of no use: the next demand loads it afresh.
    if (!InputSystem.object) {
        FreeLibrary(InputSystem.library);
        InputSystem.library = nullptr;
    }
}

}  // namespace

IDirectInput7A* InputSystemAcquire() {
    if (!InputSystem.object) LoadInputObject();
    ++InputSystem.useCount;
    return InputSystem.object;
}

void InputSystemRelease() {
    --InputSystem.useCount;
    if (InputSystem.object && InputSystem.useCount == 0) {
        InputSystem.object->Release();
        FreeLibrary(InputSystem.library);
        InputSystem.object = nullptr;
        InputSystem.library = nullptr;
    }
}

void InputForget() {
    MouseShutDown();
    KeyboardShutDown();
    if (InputSystem.object) {
        InputSystem.useCount = 1;
        InputSystemRelease();
    }
    KeyboardState = {0, nullptr, kInputNoDevice, kKeyboardLevel, {}, {}, {}};
    MouseState = {};
    InputSystem = {};
}
