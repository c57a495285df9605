// The mouse in buffered mode: each frame the movement and button events since
// the last one, summed, and a pointer of the library's own kept on the screen.
// The mouse is read only while the display has the focus.
#include "core/guids.h"
#include "core/routines.h"
#include "display/screen.h"
#include "input/input.h"

MouseRecord MouseState;

namespace {

// The standard mouse format: three axes, the wheel optional, four buttons.
DIOBJECTDATAFORMAT kMouseObjects[] = {
    {&kGuidXAxis, 0, 0x00FFFF03, 0}, {&kGuidYAxis, 4, 0x00FFFF03, 0}, {&kGuidZAxis, 8, 0x80FFFF03, 0},
    {nullptr, 12, 0x00FFFF0C, 0},    {nullptr, 13, 0x00FFFF0C, 0},    {nullptr, 14, 0x80FFFF0C, 0},
    {nullptr, 15, 0x80FFFF0C, 0},
};

const DIDATAFORMAT kMouseFormat = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 16, 7,
                                   kMouseObjects};

constexpr DWORD kMouseCooperation = DISCL_EXCLUSIVE | DISCL_FOREGROUND;
constexpr DWORD kWheelOffset = 8;

DIPROPDWORD DwordProperty(DWORD object, DWORD how, DWORD value) {
    DIPROPDWORD property = {};
    property.diph.dwSize = sizeof(DIPROPDWORD);
    property.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    property.diph.dwObj = object;
    property.diph.dwHow = how;
    property.dwData = value;
    return property;
}

// Cooperative level, buffer size and acquisition, each only after the one
// before was accepted; then the wheel's step. A device acquired since an
// earlier try failed (the poll's read acquires it again) takes neither a
// cooperative level nor a buffer size, so it is let go first.
void Prepare() {
    IDirectInputDevice7A* device = MouseState.device;
    device->Unacquire();
    DIPROPDWORD bufferSize = DwordProperty(0, DIPH_DEVICE, kMouseEvents);
    if (device->SetCooperativeLevel(ScreenState.window, kMouseCooperation) != DI_OK) return;
    if (device->SetProperty(DIPROP_BUFFERSIZE, &bufferSize.diph) != DI_OK) return;
    if (device->Acquire() != DI_OK) return;
    MouseState.deviceState = kInputReading;
    DIPROPDWORD wheel = DwordProperty(kWheelOffset, DIPH_BYOFFSET, 0);
    MouseState.wheelStep = device->GetProperty(DIPROP_GRANULARITY, &wheel.diph) == DI_OK ? int32_t(wheel.dwData) : 1;
}

// Sums hold at the ends of 32 bits rather than wrap.
void Apply(const DIDEVICEOBJECTDATA& event) {
    auto counts = static_cast<int32_t>(event.dwData);
    switch (event.dwOfs) {
        case 0:
            MouseState.moveX = SaturatedSum(MouseState.moveX, counts);
            break;
        case 4:
            MouseState.moveY = SaturatedSum(MouseState.moveY, counts);
            break;
        case 8:
            MouseState.moveWheel = SaturatedSum(MouseState.moveWheel, counts);
            break;
        case 12:
        case 13:
        case 14:
            MouseState.buttons[event.dwOfs - 12] = (event.dwData & 0x80) ? 1 : 0;
            break;
        default:
            break;  // the fourth button and anything else
    }
}

int32_t Clamped(int32_t position, int32_t size) {
    if (position < 0) return 0;
    if (position >= size) return size - 1;
    return position;
}

}  // namespace

int32_t MouseSetUp() {
    IDirectInput7A* input = InputSystemAcquire();
    MouseState.setUpCalled = 1;
    if (!input) return 0;
    // A device left by an earlier set-up is not kept twice.
    if (MouseState.device) {
        MouseState.device->Release();
        MouseState.device = nullptr;
        MouseState.deviceState = kInputNoDevice;
    }
    if (input->CreateDeviceEx(kGuidSysMouse, kIidDirectInputDevice7A, reinterpret_cast<LPVOID*>(&MouseState.device),
                              nullptr) != DI_OK ||
        !MouseState.device) {
        return 0;
    }
    if (MouseState.device->SetDataFormat(&kMouseFormat) != DI_OK) return 0;
    MouseState.deviceState = kInputPrepared;
    MouseState.suspended = 0;
    return 1;
}

int32_t MousePoll() {
    MouseState.moveX = MouseState.moveY = MouseState.moveWheel = 0;
    // Without a device nothing is read and the moves stay 0.
    if (MouseState.deviceState == kInputNoDevice || !MouseState.device) return 0;
    if (MouseState.suspended || !ScreenHasFocus()) {
        MouseRelease();
        return 0;
    }
    if (MouseState.deviceState == kInputPrepared) Prepare();

    DWORD count = kMouseEvents;
    HRESULT read = MouseState.device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), MouseState.events, &count, 0);
    if (read == DI_OK) {
        for (DWORD i = 0; i < count && i < DWORD(kMouseEvents); ++i) Apply(MouseState.events[i]);
        MouseState.x = Clamped(SaturatedSum(MouseState.x, MouseState.moveX), ScreenState.screenWidth);
        MouseState.y = Clamped(SaturatedSum(MouseState.y, MouseState.moveY), ScreenState.screenHeight);
        return 1;
    }
    if (read == DI_BUFFEROVERFLOW) {
        // What was delivered is not applied; the buttons held may have been let go.
        MouseState.buttons[0] = MouseState.buttons[1] = 0;
    } else if ((read == DIERR_INPUTLOST || read == DIERR_NOTACQUIRED) && ScreenHasFocus()) {
        MouseState.device->Acquire();
    }
    return 0;
}

int32_t MouseMoveX() { return MouseState.moveX; }

int32_t MouseMoveY() { return MouseState.moveY; }

void MouseMoveTo(int32_t x, int32_t y) {
    MouseState.x = x;
    MouseState.y = y;
}

int32_t MousePosX() { return MouseState.x; }

int32_t MousePosY() { return MouseState.y; }

int32_t MouseWheelSteps() {
    if (MouseState.wheelStep == 0) MouseState.wheelStep = 1;
    return MouseState.moveWheel / MouseState.wheelStep;
}

int32_t MouseButtonDown(int32_t button) {
    // Only buttons 1 to 3 exist.
    if (button < 1 || button > 3) return 0;
    return MouseState.buttons[button - 1];
}

void MouseRelease() {
    if (MouseState.device) MouseState.device->Unacquire();
}

void MouseSuspend(int32_t flag) {
    if (flag == 1) {
        if (MouseState.deviceState != kInputNoDevice) MouseState.deviceState = kInputPrepared;
        MouseState.suspended = 1;
        MouseRelease();
    } else {
        MouseState.suspended = 0;
    }
}

void MouseShutDown() {
    if (!MouseState.setUpCalled) return;
    ClipCursor(nullptr);
    if (MouseState.device) {
        MouseState.device->Release();
        MouseState.device = nullptr;
    }
    InputSystemRelease();
}
