// Keyboard and mouse through one shared, use-counted DirectInput object.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// ---- the shared object ----------------------------------------------------

struct InputSystemRecord {
    HMODULE library;
    IDirectInput7A* object;
    int32_t useCount;  // uses taken and not given back, successful or not
};

extern InputSystemRecord InputSystem;

// Takes one use; the object, or null without DirectInput.
IDirectInput7A* InputSystemAcquire();
// Gives one use back; the object goes with the last.
void InputSystemRelease();
// Lets both devices and the object go, whatever uses are left, and puts the
// three records back as a new process has them.
void InputForget();

// ---- keyboard -------------------------------------------------------------

// Device states of both devices.
constexpr int32_t kInputNoDevice = 0;
constexpr int32_t kInputPrepared = 1;  // created and formatted, not acquired
constexpr int32_t kInputReading = 2;   // acquired

constexpr int32_t kAnyKey = -1;

// The keyboard's cooperative level.
constexpr DWORD kKeyboardLevel = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY;

struct KeyboardRecord {
    int32_t setUpCalled;
    IDirectInputDevice7A* device;
    int32_t deviceState;
    DWORD cooperativeLevel;
    BYTE keys[256];     // the last snapshot; bit 7 set while a key is down
    BYTE latches[256];  // 1: seen down, its release not yet reported
    DIDATAFORMAT dataFormat;
};

extern KeyboardRecord KeyboardState;

int32_t KeyboardSetUp();
int32_t KeyboardPoll();
// 1 when `key` (a scan code 0-255, or kAnyKey) went from down to up since it
// was last seen down; each report consumes the releases it reports.
int32_t KeyReleased(int32_t key);
void KeyboardShutDown();
void KeyboardFormatBuild();

// ---- mouse ----------------------------------------------------------------

constexpr int32_t kMouseEvents = 24;

struct MouseRecord {
    int32_t x;
    int32_t y;
    int32_t moveX;
    int32_t moveY;
    int32_t moveWheel;
    int32_t buttons[3];
    int32_t wheelStep;
    int32_t setUpCalled;
    IDirectInputDevice7A* device;
    int32_t deviceState;
    int32_t suspended;
    DIDEVICEOBJECTDATA events[kMouseEvents];
};

extern MouseRecord MouseState;

int32_t MouseSetUp();
int32_t MousePoll();
int32_t MouseMoveX();
int32_t MouseMoveY();
void MouseMoveTo(int32_t x, int32_t y);
int32_t MousePosX();
int32_t MousePosY();
int32_t MouseWheelSteps();
int32_t MouseButtonDown(int32_t button);
void MouseRelease();
void MouseSuspend(int32_t flag);
void MouseShutDown();
