// The keyboard's release latches, the mouse's sums and focus rules, and the
// use-counted DirectInput object behind both.
#include "input/input.h"

#include <gtest/gtest.h>

#include "core/runtime.h"
#include "display/screen.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "support/display.h"

namespace {

constexpr int32_t kKeyA = DIK_A;
constexpr int32_t kKeyB = DIK_B;

void Script(HostEventType type, int32_t code, int32_t x = 0, int32_t y = 0) {
    HeadlessScript(0, HostEvent{type, code, x, y});
}

void Key(int32_t code, bool down) { Script(down ? HostEventType::KeyDown : HostEventType::KeyUp, code); }

// Delivers what was scripted, then reads the keyboard as a frame does.
int32_t Poll() {
    SoftPumpHostEvents();
    return KeyboardPoll();
}

int32_t MouseFrame() {
    SoftPumpHostEvents();
    return MousePoll();
}

using InputTest = OpenDisplayTest;

using InputSetUpTest = RuntimeTest;

}  // namespace

TEST_F(InputTest, StartUpTakesThreeUsesAndTheEndGivesTwoBack) {
    EXPECT_EQ(InputSystem.useCount, 3);
    ASSERT_NE(InputSystem.object, nullptr);
    MouseShutDown();
    KeyboardShutDown();
    EXPECT_EQ(InputSystem.useCount, 1);
    EXPECT_NE(InputSystem.object, nullptr);  // stays until the process ends
    EXPECT_EQ(SoftModuleLoadCount("DINPUT.DLL"), 1);
}

TEST_F(InputTest, LastUseGivenBackReleasesAndTheNextLoadsAgain) {
    InputSystemRelease();
    InputSystemRelease();
    InputSystemRelease();
    EXPECT_EQ(InputSystem.object, nullptr);
    EXPECT_EQ(SoftModuleLoadCount("DINPUT.DLL"), 0);
    EXPECT_NE(InputSystemAcquire(), nullptr);
    EXPECT_EQ(SoftModuleLoadCount("DINPUT.DLL"), 1);
}

TEST_F(InputTest, WithoutDirectInputTheUseIsCountedAndNothingIsLoaded) {
    InputSystem.useCount = 1;
    InputSystemRelease();
    FailOn(Fault{SoftOp::GetProcAddress, "DirectInputCreateEx"}, 1, 0);
    EXPECT_EQ(InputSystemAcquire(), nullptr);
    EXPECT_EQ(InputSystem.useCount, 1);
    EXPECT_EQ(SoftModuleLoadCount("DINPUT.DLL"), 0);
    InputSystemRelease();
    EXPECT_EQ(InputSystem.useCount, 0);
}

// Whichever step of a set-up is refused, it gives 0 and leaves no device to
// read, and its use is counted all the same. The next set-up (the start sets
// the keyboard up twice) tries again from the loading on and keeps one
// device. Each shut-down gives back what its set-up made, and the last use
// given back takes the object and its library.
TEST_F(InputSetUpTest, ARefusedSetUpKeepsNoDeviceAndGivesEverythingBack) {
    struct {
        Fault operation;
        int64_t result;
        bool objectMade;
        bool keyboardOnly;
    } steps[] = {
        {Fault{SoftOp::LoadLibraryA, "DINPUT.DLL"}, 0, false, false},
        {Fault{SoftOp::GetProcAddress, "DirectInputCreateEx"}, 0, false, false},
        {SoftOp::DirectInputCreateEx, DIERR_OUTOFMEMORY, false, false},
        {SoftOp::IDirectInput7_CreateDeviceEx, DIERR_OUTOFMEMORY, true, false},
        {SoftOp::HeapAlloc, 0, true, true},  // the keyboard format's object array
        {SoftOp::IDirectInputDevice7_SetDataFormat, DIERR_INVALIDPARAM, true, false},
    };
    struct {
        bool keyboard;
        int32_t (*setUp)();
        int32_t (*poll)();
        void (*shutDown)();
        const int32_t* state;
    } devices[] = {{true, KeyboardSetUp, KeyboardPoll, KeyboardShutDown, &KeyboardState.deviceState},
                   {false, MouseSetUp, MousePoll, MouseShutDown, &MouseState.deviceState}};
    for (const auto& device : devices) {
        for (const auto& step : steps) {
            if (step.keyboardOnly && !device.keyboard) continue;
            SCOPED_TRACE(testing::Message() << (device.keyboard ? "keyboard, " : "mouse, ") << step.operation);
            ForgetTheRuntime();
            Runtime.mainHeap = HeapCreate(0, 4096, 0);
            int objects = SoftDirectInputObjectCount();
            int made = SoftDirectInputDeviceCount();
            FailOn(step.operation, 1, step.result);
            EXPECT_EQ(device.setUp(), 0);
            EXPECT_EQ(HeadlessFaultsPending(), 0);
            EXPECT_EQ(*device.state, kInputNoDevice);
            EXPECT_EQ(device.poll(), 0);
            EXPECT_EQ(InputSystem.useCount, 1);
            EXPECT_EQ(InputSystem.object != nullptr, step.objectMade);
            EXPECT_EQ(SoftModuleLoadCount("DINPUT.DLL"), step.objectMade ? 1 : 0);
            // The next set-up makes one device, whatever the refused one left.
            EXPECT_EQ(device.setUp(), 1);
            EXPECT_EQ(*device.state, kInputPrepared);
            EXPECT_EQ(SoftDirectInputDeviceCount(), made + 1);
            InputSystemRelease();  // the first set-up's use
            device.shutDown();
            EXPECT_EQ(InputSystem.useCount, 0);
            EXPECT_EQ(SoftDirectInputDeviceCount(), made);
            EXPECT_EQ(SoftDirectInputObjectCount(), objects);
            EXPECT_EQ(SoftModuleLoadCount("DINPUT.DLL"), 0);
        }
    }
}

TEST_F(InputTest, AHeldKeyIsReportedOnceOnItsRelease) {
    Key(kKeyA, true);
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(Poll(), 1);
        EXPECT_EQ(KeyReleased(kKeyA), 0);
    }
    Key(kKeyA, false);
    Poll();
    EXPECT_EQ(KeyReleased(kKeyA), 1);
    EXPECT_EQ(KeyReleased(kKeyA), 0);
    Poll();
    EXPECT_EQ(KeyReleased(kKeyA), 0);
}

TEST_F(InputTest, AnyKeyTakesEveryReleaseOfTheFrameAtOnce) {
    Key(kKeyA, true);
    Key(kKeyB, true);
    Poll();
    EXPECT_EQ(KeyReleased(kAnyKey), 0);  // sees both down
    Key(kKeyA, false);
    Key(kKeyB, false);
    Poll();
    EXPECT_EQ(KeyReleased(kAnyKey), 1);
    EXPECT_EQ(KeyReleased(kAnyKey), 0);
    EXPECT_EQ(KeyReleased(kKeyA), 0);
    EXPECT_EQ(KeyReleased(kKeyB), 0);
}

TEST_F(InputTest, AKeyDownDuringTheAnyKeyQuestionIsReportedByWhicheverAsksFirst) {
    Key(kKeyA, true);
    Poll();
    EXPECT_EQ(KeyReleased(kAnyKey), 0);
    Key(kKeyA, false);
    Poll();
    EXPECT_EQ(KeyReleased(kKeyA), 1);
    EXPECT_EQ(KeyReleased(kAnyKey), 0);
}

TEST_F(InputTest, CodeTwoFiftyFiveIsNeverAnyKey) {
    Key(255, true);
    Poll();
    KeyReleased(255);
    Key(255, false);
    Poll();
    EXPECT_EQ(KeyReleased(kAnyKey), 0);
    EXPECT_EQ(KeyReleased(255), 1);
    EXPECT_EQ(KeyReleased(256), 0);  // no such key: nothing is read past the table
    EXPECT_EQ(KeyReleased(-2), 0);
}

TEST_F(InputTest, AFailedPollKeepsTheLatches) {
    Key(kKeyA, true);
    Poll();
    KeyReleased(kKeyA);
    Key(kKeyA, false);
    FailOn(SoftOp::IDirectInputDevice7_GetDeviceState, 1, DIERR_INPUTLOST);
    EXPECT_EQ(Poll(), 0);
    EXPECT_EQ(KeyboardState.deviceState, kInputPrepared);
    EXPECT_EQ(KeyReleased(kKeyA), 0);
    EXPECT_EQ(KeyReleased(kAnyKey), 0);
    EXPECT_EQ(Poll(), 1);  // acquired again: the release is still owed
    EXPECT_EQ(KeyReleased(kKeyA), 1);
}

TEST_F(InputTest, ASecondKeyboardSetUpMakesNoSecondDevice) {
    IDirectInputDevice7A* device = KeyboardState.device;
    int32_t uses = InputSystem.useCount;
    EXPECT_NE(KeyboardSetUp(), 0);
    EXPECT_EQ(KeyboardState.device, device);
    EXPECT_EQ(InputSystem.useCount, uses + 1);
}

TEST_F(InputTest, MouseMovesAreSummedPerFrame) {
    ASSERT_EQ(MouseFrame(), 1);  // the first poll acquires
    Script(HostEventType::MouseMove, 0, 30, 0);
    Script(HostEventType::MouseMove, 0, -10, 5);
    Script(HostEventType::MouseMove, 0, 40, 0);
    EXPECT_EQ(MouseFrame(), 1);
    EXPECT_EQ(MouseMoveX(), 60);
    EXPECT_EQ(MouseMoveY(), 5);
    EXPECT_EQ(MouseFrame(), 1);
    EXPECT_EQ(MouseMoveX(), 0);
    EXPECT_EQ(MouseState.wheelStep, 120);
    Script(HostEventType::MouseWheel, -240);
    MouseFrame();
    EXPECT_EQ(MouseWheelSteps(), -2);
}

TEST_F(InputTest, ThePointerStaysOnTheScreen) {
    MouseFrame();
    MouseMoveTo(5, 5);
    Script(HostEventType::MouseMove, 0, -20, -20);
    MouseFrame();
    EXPECT_EQ(MousePosX(), 0);
    EXPECT_EQ(MousePosY(), 0);
    MouseMoveTo(640 - 3, 480 - 3);
    Script(HostEventType::MouseMove, 0, 10, 10);
    MouseFrame();
    EXPECT_EQ(MousePosX(), 639);
    EXPECT_EQ(MousePosY(), 479);
    MouseMoveTo(-50, 9999);  // stored as it is, clamped by the next poll
    EXPECT_EQ(MousePosX(), -50);
    // Positions and sums near the ends of 32 bits hold there, never wrap.
    MouseMoveTo(INT32_MAX - 1, INT32_MIN + 1);
    Script(HostEventType::MouseMove, 0, INT32_MAX, INT32_MIN);
    Script(HostEventType::MouseMove, 0, INT32_MAX, INT32_MIN);
    MouseFrame();
    EXPECT_EQ(MouseMoveX(), INT32_MAX);
    EXPECT_EQ(MouseMoveY(), INT32_MIN);
    EXPECT_EQ(MousePosX(), 639);
    EXPECT_EQ(MousePosY(), 0);
}

// Whichever step of preparing the mouse is refused, the next poll prepares
// it again and reads: the read in between must not leave it acquired and so
// unable to take its settings.
TEST_F(InputTest, AMouseRefusedWhileBeingPreparedReadsFromTheNextPoll) {
    for (SoftOp step : {SoftOp::IDirectInputDevice7_SetCooperativeLevel, SoftOp::IDirectInputDevice7_SetProperty,
                        SoftOp::IDirectInputDevice7_Acquire}) {
        SCOPED_TRACE(SoftOpName(step));
        MouseSuspend(1);
        MouseSuspend(0);
        FailOn(step, 1, DIERR_NOTINITIALIZED);
        EXPECT_EQ(MouseFrame(), 0);
        EXPECT_EQ(MouseState.deviceState, kInputPrepared);
        EXPECT_EQ(MouseFrame(), 1);
        Script(HostEventType::MouseMove, 0, 7, 0);
        EXPECT_EQ(MouseFrame(), 1);
        EXPECT_EQ(MouseMoveX(), 7);
    }
}

TEST_F(InputTest, ButtonsFollowTheirLatestEvent) {
    MouseFrame();
    Script(HostEventType::MouseButton, 1, 1);
    Script(HostEventType::MouseButton, 1, 0);
    Script(HostEventType::MouseButton, 3, 1);
    MouseFrame();
    EXPECT_EQ(MouseButtonDown(1), 0);
    EXPECT_EQ(MouseButtonDown(3), 1);
    EXPECT_EQ(MouseButtonDown(4), 0);
    EXPECT_EQ(MouseButtonDown(0), 0);
}

TEST_F(InputTest, AnOverflowClearsTheFirstTwoButtonsAndMovesNothing) {
    MouseFrame();
    Script(HostEventType::MouseButton, 1, 1);
    Script(HostEventType::MouseButton, 2, 1);
    Script(HostEventType::MouseButton, 3, 1);
    MouseFrame();
    for (int i = 0; i < kMouseEvents + 5; ++i) Script(HostEventType::MouseMove, 0, 1, 0);
    int32_t x = MousePosX();
    EXPECT_EQ(MouseFrame(), 0);
    EXPECT_EQ(MouseMoveX(), 0);
    EXPECT_EQ(MousePosX(), x);
    EXPECT_EQ(MouseButtonDown(1), 0);
    EXPECT_EQ(MouseButtonDown(2), 0);
    EXPECT_EQ(MouseButtonDown(3), 1);
}

// While the display is away nothing moves; the first poll back acquires the
// mouse again and reads nothing; the next reads again.
TEST_F(InputTest, MouseFollowsTheDisplaysFocus) {
    MouseFrame();
    Script(HostEventType::FocusLost, 0);
    SoftPumpHostEvents();
    for (int frame = 0; frame < 3; ++frame) {
        Script(HostEventType::MouseMove, 0, 100, 0);
        EXPECT_EQ(MouseFrame(), 0);
        EXPECT_EQ(MouseMoveX(), 0);
    }
    Script(HostEventType::FocusGained, 0);
    EXPECT_EQ(MouseFrame(), 0);
    Script(HostEventType::MouseMove, 0, 7, 0);
    EXPECT_EQ(MouseFrame(), 1);
    EXPECT_EQ(MouseMoveX(), 7);
}

TEST_F(InputTest, ASuspendedMouseReadsNothingAndIsPreparedAgainAfter) {
    MouseFrame();
    MouseSuspend(1);
    EXPECT_EQ(MouseState.deviceState, kInputPrepared);
    Script(HostEventType::MouseMove, 0, 9, 0);
    EXPECT_EQ(MouseFrame(), 0);
    MouseSuspend(0);
    EXPECT_EQ(MouseFrame(), 1);
    EXPECT_EQ(MouseState.deviceState, kInputReading);
}

TEST_F(InputTest, MouseWheelStepsTreatAMissingStepAsOne) {
    MouseState.wheelStep = 0;
    MouseState.moveWheel = -7;
    EXPECT_EQ(MouseWheelSteps(), -7);
    EXPECT_EQ(MouseState.wheelStep, 1);
}
