// The software DirectInput: made through its module, one standard format per
// device, acquisition and the foreground, the keyboard's state and the mouse's
// buffered events, all fed by scripted host events.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "core/guids.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "support/fixture.h"

namespace {

typedef HRESULT(WINAPI* CreateRoutine)(HINSTANCE, DWORD, REFIID, LPVOID*, IUnknown*);

constexpr DWORD kInfinite = 0xFFFFFFFF;
constexpr DWORD kKeyboardLevel = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY;
constexpr DWORD kMouseLevel = DISCL_EXCLUSIVE | DISCL_FOREGROUND;
constexpr intptr_t kBufferSize = 1;  // the numbers behind DIPROP_BUFFERSIZE and DIPROP_GRANULARITY
constexpr intptr_t kGranularity = 3;

struct MouseStateRecord {
    LONG x, y, z;
    BYTE buttons[4];
};

// The standard formats, built as the runtime builds them.
struct Formats {
    DIOBJECTDATAFORMAT keys[256];
    DIOBJECTDATAFORMAT mouseObjects[7] = {
        {&kGuidXAxis, 0, 0x00FFFF03, 0}, {&kGuidYAxis, 4, 0x00FFFF03, 0}, {&kGuidZAxis, 8, 0x80FFFF03, 0},
        {nullptr, 12, 0x00FFFF0C, 0},    {nullptr, 13, 0x00FFFF0C, 0},    {nullptr, 14, 0x80FFFF0C, 0},
        {nullptr, 15, 0x80FFFF0C, 0},
    };
    DIDATAFORMAT keyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, keys};
    DIDATAFORMAT mouse = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 16, 7, mouseObjects};

    Formats() {
        for (DWORD i = 0; i < 256; ++i) keys[i] = {&kGuidKey, i, 0x8000000C | (i << 8), 0};
    }
};

// A DIPROP_ value is a small number made into a GUID reference, as on
// Windows. The sanitizer refuses such a reference, so only this helper makes
// one.
HRESULT Property(IDirectInputDevice7A* device, bool set, intptr_t name, DIPROPDWORD* record) {
    const GUID& property = MAKEDIPROP(name);
    return set ? device->SetProperty(property, &record->diph) : device->GetProperty(property, &record->diph);
}

DIPROPDWORD Record(DWORD object, DWORD how, DWORD value = 0) {
    return {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), object, how}, value};
}

HRESULT SetBufferSize(IDirectInputDevice7A* device, DWORD events) {
    DIPROPDWORD record = Record(0, DIPH_DEVICE, events);
    return Property(device, true, kBufferSize, &record);
}

HostEvent Key(int32_t code, bool down) { return {down ? HostEventType::KeyDown : HostEventType::KeyUp, code, 0, 0}; }
HostEvent Move(int32_t x, int32_t y) { return {HostEventType::MouseMove, 0, x, y}; }
HostEvent Button(int32_t button, bool down) { return {HostEventType::MouseButton, button, down ? 1 : 0, 0}; }
HostEvent Wheel(int32_t counts) { return {HostEventType::MouseWheel, counts, 0, 0}; }
HostEvent Focus(HostEventType type) { return {type, 0, 0, 0}; }

void Arrive(std::initializer_list<HostEvent> events) {
    for (const HostEvent& event : events) HeadlessScript(0, event);
    SoftPumpHostEvents();
}

std::vector<std::pair<DWORD, LONG>> Read(IDirectInputDevice7A* device, DWORD room, HRESULT expected = DI_OK,
                                         std::vector<DIDEVICEOBJECTDATA>* events = nullptr) {
    std::vector<DIDEVICEOBJECTDATA> taken(room + 1);
    DWORD count = room;
    EXPECT_EQ(device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), taken.data(), &count, 0), expected);
    taken.resize(count);
    std::vector<std::pair<DWORD, LONG>> read;
    for (const DIDEVICEOBJECTDATA& event : taken) read.emplace_back(event.dwOfs, LONG(event.dwData));
    if (events) *events = taken;
    return read;
}

}  // namespace

// Each test starts with a DirectInput object of its own, made as the runtime
// makes it, and an active window.
class SoftDirectInputTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        module = LoadLibraryA("dinput.dll");
        FARPROC entry = GetProcAddress(module, "DirectInputCreateEx");
        create = reinterpret_cast<CreateRoutine>(reinterpret_cast<void (*)()>(entry));
        ASSERT_NE(create, nullptr);
        objectsBefore = SoftDirectInputObjectCount();
        devicesBefore = SoftDirectInputDeviceCount();
        input = Create(0x0700);
        ASSERT_NE(input, nullptr);
        window = TestWindow(DefWindowProcA, WS_POPUP | WS_VISIBLE);
        ASSERT_EQ(SoftActiveWindow(), window);
    }
    void TearDown() override {
        for (IDirectInputDevice7A* device : devices) device->Release();
        if (input) input->Release();
        FreeLibrary(module);
        RuntimeTest::TearDown();
    }
    IDirectInput7A* Create(DWORD version, HRESULT expected = DI_OK) {
        void* made = reinterpret_cast<void*>(1);
        EXPECT_EQ(create(GetModuleHandleA(nullptr), version, kIidDirectInput7A, &made, nullptr), expected);
        return static_cast<IDirectInput7A*>(made);
    }
    IDirectInputDevice7A* Device(const GUID& kind) {
        void* made = nullptr;
        EXPECT_EQ(input->CreateDeviceEx(kind, kIidDirectInputDevice7A, &made, nullptr), DI_OK);
        devices.push_back(static_cast<IDirectInputDevice7A*>(made));
        return devices.back();
    }
    // Formatted and at its level, as the runtime's first poll leaves it.
    IDirectInputDevice7A* Keyboard(DWORD level = kKeyboardLevel, bool acquire = true) {
        IDirectInputDevice7A* keyboard = Device(kGuidSysKeyboard);
        EXPECT_EQ(keyboard->SetDataFormat(&formats.keyboard), DI_OK);
        EXPECT_EQ(keyboard->SetCooperativeLevel(window, level), DI_OK);
        EXPECT_EQ(acquire ? keyboard->Acquire() : DI_OK, DI_OK);
        return keyboard;
    }
    IDirectInputDevice7A* Mouse(DWORD events = 24, bool acquire = true) {
        IDirectInputDevice7A* mouse = Device(kGuidSysMouse);
        EXPECT_EQ(mouse->SetDataFormat(&formats.mouse), DI_OK);
        EXPECT_EQ(mouse->SetCooperativeLevel(window, kMouseLevel), DI_OK);
        EXPECT_EQ(SetBufferSize(mouse, events), DI_OK);
        EXPECT_EQ(acquire ? mouse->Acquire() : DI_OK, DI_OK);
        return mouse;
    }

    HMODULE module = nullptr;
    CreateRoutine create = nullptr;
    int objectsBefore = 0;
    int devicesBefore = 0;
    IDirectInput7A* input = nullptr;
    HWND window = nullptr;
    std::vector<IDirectInputDevice7A*> devices;
    Formats formats;
};

TEST_F(SoftDirectInputTest, IsMadeForReleasedVersionsOfItsOneInterfaceAndCountsReferences) {
    void* made = nullptr;
    EXPECT_EQ(create(nullptr, 0x0700, kIidDirectInput7A, &made, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(create(GetModuleHandleA(nullptr), 0x0700, kIidDirectInputDevice7A, &made, nullptr), DIERR_NOINTERFACE);
    EXPECT_EQ(create(GetModuleHandleA(nullptr), 0x0700, kIidDirectInput7A, &made, input), DIERR_NOAGGREGATION);
    EXPECT_EQ(Create(0x0800, DIERR_OLDDIRECTINPUTVERSION), nullptr);
    EXPECT_EQ(Create(0x0400, DIERR_BETADIRECTINPUTVERSION), nullptr);
    EXPECT_EQ(Create(0, DIERR_NOTINITIALIZED), nullptr);
    EXPECT_EQ(SoftDirectInputObjectCount(), objectsBefore + 1);

    IDirectInput7A* older = Create(0x0500);
    ASSERT_NE(older, nullptr);
    EXPECT_EQ(older->AddRef(), 2u);
    EXPECT_EQ(older->Release(), 1u);
    EXPECT_EQ(older->Release(), 0u);
    EXPECT_EQ(SoftDirectInputObjectCount(), objectsBefore + 1);
}

TEST_F(SoftDirectInputTest, MakesOnlyTheSystemKeyboardAndMouse) {
    void* made = reinterpret_cast<void*>(1);
    EXPECT_EQ(input->CreateDeviceEx(kGuidKey, kIidDirectInputDevice7A, &made, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(input->CreateDeviceEx(kGuidSysMouse, kIidDirectInput7A, &made, nullptr), DIERR_NOINTERFACE);
    EXPECT_EQ(input->CreateDeviceEx(kGuidSysMouse, kIidDirectInputDevice7A, &made, input), DIERR_NOAGGREGATION);
    EXPECT_EQ(SoftDirectInputDeviceCount(), devicesBefore);

    IDirectInputDevice7A* mouse = Device(kGuidSysMouse);
    EXPECT_EQ(SoftDirectInputDeviceCount(), devicesBefore + 1);
    // A device outlives the object that made it.
    input->Release();
    input = nullptr;
    EXPECT_EQ(mouse->AddRef(), 2u);
    EXPECT_EQ(mouse->Release(), 1u);
    EXPECT_EQ(mouse->SetDataFormat(&formats.mouse), DI_OK);
}

TEST_F(SoftDirectInputTest, EachDeviceTakesOnlyItsStandardFormatFieldByField) {
    IDirectInputDevice7A* keyboard = Device(kGuidSysKeyboard);
    IDirectInputDevice7A* mouse = Device(kGuidSysMouse);
    EXPECT_EQ(keyboard->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetDataFormat(&formats.mouse), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetDataFormat(&formats.keyboard), DIERR_INVALIDPARAM);

    const GUID otherKey = kGuidKey;  // GUIDs count by value, wherever they live
    const std::vector<std::function<void(Formats&)>> wrongKeyboard = {
        [](Formats& f) { f.keyboard.dwSize -= 4; },
        [](Formats& f) { f.keyboard.dwObjSize += 4; },
        [](Formats& f) { f.keyboard.dwFlags = DIDF_ABSAXIS; },
        [](Formats& f) { f.keyboard.dwDataSize = 255; },
        [](Formats& f) { f.keyboard.dwNumObjs = 255; },
        [](Formats& f) { f.keys[255].pguid = &kGuidXAxis; },
        [](Formats& f) { f.keys[17].dwOfs = 18; },
        [](Formats& f) { f.keys[0].dwType &= ~DIDFT_OPTIONAL; },
        [](Formats& f) { f.keys[9].dwFlags = 1; },
    };
    const std::vector<std::function<void(Formats&)>> wrongMouse = {
        [](Formats& f) { f.mouse.dwDataSize = 20; },
        [](Formats& f) { f.mouseObjects[1].pguid = &kGuidZAxis; },
        [](Formats& f) { f.mouseObjects[2].dwType = 0x00FFFF03; },  // the wheel is optional
        [](Formats& f) { f.mouseObjects[3].pguid = &kGuidKey; },    // buttons have no GUID
        [](Formats& f) { f.mouseObjects[6].dwOfs = 16; },
    };
    for (size_t i = 0; i < wrongKeyboard.size() + wrongMouse.size(); ++i) {
        Formats wrong;
        bool forKeyboard = i < wrongKeyboard.size();
        (forKeyboard ? wrongKeyboard[i] : wrongMouse[i - wrongKeyboard.size()])(wrong);
        IDirectInputDevice7A* device = forKeyboard ? keyboard : mouse;
        EXPECT_EQ(device->SetDataFormat(forKeyboard ? &wrong.keyboard : &wrong.mouse), DIERR_INVALIDPARAM) << i;
    }
    formats.keys[40].pguid = &otherKey;
    EXPECT_EQ(keyboard->SetDataFormat(&formats.keyboard), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->SetDataFormat(&formats.keyboard), DIERR_ACQUIRED);
}

TEST_F(SoftDirectInputTest, CooperativeLevelNeedsAKnownWindowAndOneChoiceOfEach) {
    IDirectInputDevice7A* keyboard = Device(kGuidSysKeyboard);
    IDirectInputDevice7A* mouse = Device(kGuidSysMouse);
    EXPECT_EQ(keyboard->SetCooperativeLevel(reinterpret_cast<HWND>(uintptr_t{0x40}), kKeyboardLevel),
              DIERR_INVALIDPARAM);
    for (DWORD flags : {DWORD{DISCL_NONEXCLUSIVE}, DWORD{DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_EXCLUSIVE},
                        DWORD{DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND}, DWORD{kMouseLevel | 0x20}}) {
        EXPECT_EQ(keyboard->SetCooperativeLevel(window, flags), DIERR_INVALIDPARAM) << flags;
    }
    EXPECT_EQ(mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
    EXPECT_EQ(mouse->SetCooperativeLevel(window, kKeyboardLevel), DIERR_INVALIDPARAM);  // no Windows key on a mouse
    EXPECT_EQ(mouse->SetCooperativeLevel(window, kMouseLevel), DI_OK);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window, kKeyboardLevel), DI_OK);
}

TEST_F(SoftDirectInputTest, ForegroundDevicesAreAcquiredOnlyThroughTheActiveWindow) {
    IDirectInputDevice7A* keyboard = Device(kGuidSysKeyboard);
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM);  // no format yet
    ASSERT_EQ(keyboard->SetDataFormat(&formats.keyboard), DI_OK);
    HWND hidden = TestWindow();
    ASSERT_EQ(keyboard->SetCooperativeLevel(hidden, kKeyboardLevel), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    ASSERT_EQ(keyboard->SetCooperativeLevel(hidden, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), S_FALSE);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window, kKeyboardLevel), DIERR_ACQUIRED);

    // The mouse is held exclusively by one device at a time.
    IDirectInputDevice7A* mouse = Mouse();
    IDirectInputDevice7A* other = Mouse(24, false);
    EXPECT_EQ(other->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_EQ(mouse->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(other->Acquire(), DI_OK);
    EXPECT_EQ(Read(mouse, 24, DIERR_NOTACQUIRED).size(), 0u);
}

TEST_F(SoftDirectInputTest, FocusLossTakesForegroundDevicesAndTheirNextReadSaysSo) {
    IDirectInputDevice7A* keyboard = Keyboard();
    IDirectInputDevice7A* background = Keyboard(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    IDirectInputDevice7A* mouse = Mouse();
    IDirectInputDevice7A* givenBack = Keyboard();
    ASSERT_EQ(givenBack->Unacquire(), DI_OK);
    Arrive({Key(DIK_A, true), Button(1, true)});

    HeadlessScript(0, Focus(HostEventType::FocusLost));
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    BYTE keys[256] = {};
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(givenBack->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(Read(mouse, 24, DIERR_INPUTLOST).size(), 0u);
    // Keys released elsewhere are up.
    EXPECT_EQ(background->GetDeviceState(256, keys), DI_OK);
    EXPECT_EQ(keys[DIK_A], 0);
    EXPECT_EQ(mouse->Acquire(), DIERR_OTHERAPPHASPRIO);

    Arrive({Focus(HostEventType::FocusGained)});
    EXPECT_EQ(Read(mouse, 24, DIERR_NOTACQUIRED).size(), 0u);
    EXPECT_EQ(mouse->Acquire(), DI_OK);
    Arrive({Button(1, true)});
    EXPECT_EQ(Read(mouse, 24), (std::vector<std::pair<DWORD, LONG>>{{12, 0x80}}));
}

std::vector<int> KeysDown(IDirectInputDevice7A* keyboard) {
    BYTE keys[256] = {};
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
    std::vector<int> down;
    for (int i = 0; i < 256; ++i) {
        if (keys[i]) down.push_back(i * 1000 + keys[i]);
    }
    return down;
}

TEST_F(SoftDirectInputTest, KeyboardStateShowsTheKeysHeldDownByScanCode) {
    IDirectInputDevice7A* keyboard = Keyboard(kKeyboardLevel, false);
    Arrive({Key(DIK_F2, true), Key(DIK_B, true), Key(DIK_B, false)});  // F2 still down after the acquisition
    BYTE keys[256] = {};
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    Arrive({Key(DIK_A, true), Key(DIK_UP, true), Key(DIK_UP, true), Key(DIK_A, false), Key(300, true)});
    EXPECT_EQ(keyboard->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceState(256, nullptr), DIERR_INVALIDPARAM);
    // A tapped between the reads is down at the first and up at the next.
    EXPECT_EQ(KeysDown(keyboard), (std::vector<int>{DIK_A * 1000 + 0x80, DIK_F2 * 1000 + 0x80, DIK_UP * 1000 + 0x80}));
    EXPECT_EQ(KeysDown(keyboard), (std::vector<int>{DIK_F2 * 1000 + 0x80, DIK_UP * 1000 + 0x80}));
    Arrive({Key(DIK_UP, false), Key(DIK_UP, true), Key(DIK_UP, false)});
    EXPECT_EQ(KeysDown(keyboard), (std::vector<int>{DIK_F2 * 1000 + 0x80, DIK_UP * 1000 + 0x80}));
    EXPECT_EQ(KeysDown(keyboard), (std::vector<int>{DIK_F2 * 1000 + 0x80}));
}

TEST_F(SoftDirectInputTest, MouseEventsComeInOrderOfArrivalWithOffsetsCountsTimesAndSequence) {
    IDirectInputDevice7A* mouse = Mouse();
    Arrive({Move(30, -10), Button(1, true), Wheel(-240)});
    Sleep(7);
    Arrive({Button(1, false), Move(0, 5), Button(3, true), Button(3, true), Move(0, 0)});
    std::vector<DIDEVICEOBJECTDATA> events;
    EXPECT_EQ(
        Read(mouse, 24, DI_OK, &events),
        (std::vector<std::pair<DWORD, LONG>>{{0, 30}, {4, -10}, {12, 0x80}, {8, -240}, {12, 0}, {4, 5}, {14, 0x80}}));
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[4].dwTimeStamp - events[0].dwTimeStamp, 7u);
    // One movement's axes share a number; every later event has a higher one.
    EXPECT_EQ(events[1].dwSequence, events[0].dwSequence);
    for (size_t i = 2; i < events.size(); ++i) EXPECT_GT(events[i].dwSequence, events[i - 1].dwSequence) << i;
    EXPECT_TRUE(Read(mouse, 24).empty());

    // The state counts the movement since it was last read, and holds the buttons.
    Arrive({Move(3, 4), Move(5, 0), Wheel(120), Button(2, true)});
    MouseStateRecord state = {};
    EXPECT_EQ(mouse->GetDeviceState(20, &state), DIERR_INVALIDPARAM);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(std::vector<LONG>({state.x, state.y, state.z}), (std::vector<LONG>{8 + 30, 4 - 10 + 5, 120 - 240}));
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(std::vector<int>({state.x, state.buttons[0], state.buttons[1], state.buttons[2]}),
              (std::vector<int>{0, 0, 0x80, 0x80}));
    // A click between two reads is down at the first and up at the next.
    Arrive({Button(1, true), Button(1, false)});
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.buttons[0], 0x80);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.buttons[0], 0);
}

TEST_F(SoftDirectInputTest, ReadsTakeNoMoreThanAskedAndTheBufferKeepsNoMoreThanItsSize) {
    IDirectInputDevice7A* mouse = Mouse(3);
    Arrive({Move(1, 0), Move(2, 0), Move(3, 0), Move(4, 0), Move(5, 0)});
    EXPECT_EQ(Read(mouse, 2, DI_BUFFEROVERFLOW), (std::vector<std::pair<DWORD, LONG>>{{0, 1}, {0, 2}}));
    EXPECT_EQ(Read(mouse, 24), (std::vector<std::pair<DWORD, LONG>>{{0, 3}}));

    // A peek leaves the events; a null array with no flags takes them.
    Arrive({Move(6, 0), Move(7, 0)});
    DWORD count = 24;
    DIDEVICEOBJECTDATA peeked[24];
    EXPECT_EQ(mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), peeked, &count, DIGDD_PEEK), DI_OK);
    EXPECT_EQ(count, 2u);
    count = kInfinite;
    EXPECT_EQ(mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &count, 0), DI_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(Read(mouse, 24).empty());
    EXPECT_EQ(mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA) - 4, peeked, &count, 0), DIERR_INVALIDPARAM);

    // A device without a buffer has no events to give.
    ASSERT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_EQ(SetBufferSize(mouse, 0), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(Read(mouse, 24, DIERR_NOTBUFFERED).size(), 0u);
    EXPECT_EQ(SetBufferSize(mouse, 24), DIERR_ACQUIRED);
}

TEST_F(SoftDirectInputTest, PropertiesAreTheBufferSizeAndTheAxesGranularity) {
    IDirectInputDevice7A* mouse = Mouse(24, false);
    auto granularity = [&](IDirectInputDevice7A* device, DWORD offset, DWORD how = DIPH_BYOFFSET) {
        DIPROPDWORD record = Record(offset, how, 0xDEAD);
        HRESULT result = Property(device, false, kGranularity, &record);
        return std::make_pair(result, record.dwData);
    };
    EXPECT_EQ(granularity(mouse, 8), std::make_pair(DI_OK, DWORD{120}));
    EXPECT_EQ(granularity(mouse, 4), std::make_pair(DI_OK, DWORD{1}));
    EXPECT_EQ(granularity(mouse, 12).first, DIERR_OBJECTNOTFOUND);
    EXPECT_EQ(granularity(mouse, 8, DIPH_DEVICE).first, DIERR_INVALIDPARAM);
    EXPECT_EQ(granularity(Keyboard(), 8).first, DIERR_OBJECTNOTFOUND);

    DIPROPDWORD size = Record(0, DIPH_DEVICE);
    ASSERT_EQ(Property(mouse, false, kBufferSize, &size), DI_OK);
    EXPECT_EQ(size.dwData, 24u);
    size = Record(8, DIPH_BYOFFSET, 5);
    EXPECT_EQ(Property(mouse, true, kBufferSize, &size), DIERR_INVALIDPARAM);
    EXPECT_EQ(Property(mouse, true, 2, &size), DIERR_UNSUPPORTED);
}
