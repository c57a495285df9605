// The keyboard as one snapshot of all 256 keys per frame, and the question
// whether a key has been released since it was last seen down.
#include <cstring>

#include "core/guids.h"
#include "core/routines.h"
#include "core/runtime.h"
#include "display/screen.h"
#include "input/input.h"

KeyboardRecord KeyboardState = {0, nullptr, kInputNoDevice, kKeyboardLevel, {}, {}, {}};

namespace {

constexpr int32_t kKeys = 256;
// The any-key question looks at codes 0 to 254.
constexpr int32_t kAnyKeyCodes = 255;

bool IsDown(int32_t key) { return (KeyboardState.keys[key] & 0x80) != 0; }

// Down: remember it. Up after being seen down: a release, reported once.
bool TakeRelease(int32_t key) {
    if (IsDown(key)) {
        KeyboardState.latches[key] = 1;
        return false;
    }
    if (!KeyboardState.latches[key]) return false;
    KeyboardState.latches[key] = 0;
    return true;
}

}  // namespace

// The standard 256-key format, built here: one optional button per key code.
void KeyboardFormatBuild() {
    DIDATAFORMAT& format = KeyboardState.dataFormat;
    format.dwSize = sizeof(DIDATAFORMAT);
    format.dwObjSize = sizeof(DIOBJECTDATAFORMAT);
    format.dwFlags = DIDF_RELAXIS;
    format.dwDataSize = kKeys;
    format.dwNumObjs = kKeys;
    format.rgodf = static_cast<LPDIOBJECTDATAFORMAT>(
        HeapAlloc(Runtime.mainHeap, 0, sizeof(DIOBJECTDATAFORMAT) * static_cast<size_t>(kKeys)));
    if (!format.rgodf) return;
    for (DWORD key = 0; key < DWORD(kKeys); ++key) {
        DIOBJECTDATAFORMAT& object = format.rgodf[key];
        object.pguid = &kGuidKey;
        object.dwOfs = key;
        object.dwType = 0x8000000C + key * 256;  // optional button, instance `key`
        object.dwFlags = 0;
    }
}

int32_t KeyboardSetUp() {
    IDirectInput7A* input = InputSystemAcquire();
    KeyboardState.setUpCalled = 1;
    if (!input) return 0;
    if (KeyboardState.deviceState != kInputNoDevice) return 1;
    KeyboardFormatBuild();
    // A device left by an attempt whose format was refused is not kept twice.
    if (KeyboardState.device) {
        KeyboardState.device->Release();
        KeyboardState.device = nullptr;
    }
    if (input->CreateDeviceEx(kGuidSysKeyboard, kIidDirectInputDevice7A,
                              reinterpret_cast<LPVOID*>(&KeyboardState.device), nullptr) != DI_OK) {
        return 0;
    }
    // Without its object array the format is refused along with the rest.
    if (!KeyboardState.dataFormat.rgodf || KeyboardState.device->SetDataFormat(&KeyboardState.dataFormat) != DI_OK) {
        return 0;
    }
    KeyboardState.deviceState = kInputPrepared;
    return 1;
}

int32_t KeyboardPoll() {
    // Without a device there is nothing to ask.
    if (KeyboardState.deviceState == kInputNoDevice || !KeyboardState.device) return 0;
    if (KeyboardState.deviceState == kInputPrepared) {
        KeyboardState.device->SetCooperativeLevel(ScreenState.window, KeyboardState.cooperativeLevel);
        KeyboardState.device->Acquire();
        KeyboardState.deviceState = kInputReading;
    }
    if (KeyboardState.device->GetDeviceState(sizeof(KeyboardState.keys), KeyboardState.keys) != DI_OK) {
        KeyboardState.deviceState = kInputPrepared;
        return 0;
    }
    return 1;
}

int32_t KeyReleased(int32_t key) {
    if (KeyboardState.deviceState != kInputReading) return 0;
    // Codes outside the table are no key at all.
    if (key < kAnyKey || key >= kKeys) return 0;
    if (key != kAnyKey) return TakeRelease(key);
    bool released = false;
    for (int32_t code = 0; code < kAnyKeyCodes; ++code) released |= TakeRelease(code);
    return released;
}

void KeyboardShutDown() {
    if (!KeyboardState.setUpCalled) return;
    if (KeyboardState.device) {
        KeyboardState.device->Unacquire();
        KeyboardState.device->Release();
        KeyboardState.device = nullptr;
    }
    InputSystemRelease();
}
