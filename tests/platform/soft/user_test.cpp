// The software user library: classes, windows, the focus as Windows sends it,
// messages made from host events, painting, the cursor and the desktops.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/guids.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "support/fixture.h"

namespace {

// A scan code that no key of the keyboard sends.
constexpr int kNoKey = 0x54;

struct Delivery {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Delivery&) const = default;
};

// What the test window procedures received, in order.
std::vector<Delivery> deliveries;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    deliveries.push_back({hwnd, message, wParam, lParam});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Paints as the runtime's window does: BeginPaint and EndPaint, nothing drawn.
LRESULT PaintingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    deliveries.push_back({hwnd, message, wParam, lParam});
    if (message != WM_PAINT) return DefWindowProcA(hwnd, message, wParam, lParam);
    PAINTSTRUCT paint;
    BeginPaint(hwnd, &paint);
    EndPaint(hwnd, &paint);
    return 1;
}

WNDCLASSEXA ClassRecord(const char* name, WNDPROC procedure = RecordingProc) {
    WNDCLASSEXA record = {};
    record.cbSize = sizeof(record);
    record.style = CS_DBLCLKS;
    record.lpfnWndProc = procedure;
    record.lpszClassName = name;
    return record;
}

// Classes live as long as the process, so each test registers names of its
// own.
std::string FreshClassName() {
    static int made = 0;
    return "SoftUserTest Class " + std::to_string(++made);
}

HWND NewWindow(DWORD style = WS_POPUP, WNDPROC procedure = RecordingProc) { return TestWindow(procedure, style); }

std::vector<MSG> DrainQueue() {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        taken.push_back(msg);
        DispatchMessageA(&msg);
        if (taken.size() > 100) break;  // a queue that never empties
    }
    return taken;
}

std::vector<LONG> RectOf(HWND window) {
    RECT rect = {};
    SoftWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

LPARAM Activation(HWND other) { return reinterpret_cast<LPARAM>(other); }

HostEvent Event(HostEventType type, int32_t code = 0) { return HostEvent{type, code, 0, 0}; }

// The fixture starts each test with the user library as a process has it,
// but for the runtime's own hidden display window.
class SoftUserTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        deliveries.clear();
    }
};

// ---- classes and windows --------------------------------------------------

using SoftUserWindowTest = SoftUserTest;

TEST_F(SoftUserWindowTest, ClassNeedsItsSizeAndANameThatIsNotTakenInAnyCase) {
    std::string name = FreshClassName();
    WNDCLASSEXA record = ClassRecord(name.c_str());
    record.cbSize = sizeof(record) - 4;
    EXPECT_EQ(RegisterClassExA(&record), 0);
    record.cbSize = sizeof(record);
    record.lpszClassName = nullptr;
    EXPECT_EQ(RegisterClassExA(&record), 0);
    EXPECT_EQ(RegisterClassExA(nullptr), 0);

    record.lpszClassName = name.c_str();
    ATOM atom = RegisterClassExA(&record);
    EXPECT_NE(atom, 0);
    std::string shouted = name;
    for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    record.lpszClassName = shouted.c_str();
    EXPECT_EQ(RegisterClassExA(&record), 0);

    // The class is found by its name in any case, or by its atom.
    EXPECT_NE(CreateWindowExA(0, shouted.c_str(), "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_NE(CreateWindowExA(0, MAKEINTRESOURCEA(atom), "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(
        CreateWindowExA(0, "SoftUserTest No Such Class", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST_F(SoftUserWindowTest, WindowKeepsWhatItWasMadeWithAndStartsHidden) {
    std::string name = FreshClassName();
    WNDCLASSEXA record = ClassRecord(name.c_str());
    ASSERT_NE(RegisterClassExA(&record), 0);
    HWND window =
        CreateWindowExA(0, name.c_str(), "first", WS_POPUP, 10, 20, 30, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(SoftWindowVisible(window));
    EXPECT_EQ(SoftActiveWindow(), nullptr);
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(RectOf(window), (std::vector<LONG>{10, 20, 40, 60}));
    EXPECT_EQ(SoftWindowTitle(window), "first");

    EXPECT_TRUE(SetWindowTextA(window, "second"));
    EXPECT_TRUE(MoveWindow(window, 5, 5, -3, 480, TRUE));  // a negative size is none
    EXPECT_EQ(SoftWindowTitle(window), "second");
    EXPECT_EQ(RectOf(window), (std::vector<LONG>{5, 5, 5, 485}));
}

TEST_F(SoftUserWindowTest, StaleAndForeignHandlesAreRefused) {
    HWND stale = NewWindow();
    ShowWindow(stale, SW_SHOW);
    SoftUserReset();
    EXPECT_FALSE(ShowWindow(stale, SW_HIDE));
    EXPECT_FALSE(SoftWindowVisible(stale));
    EXPECT_NE(NewWindow(), stale);  // handles are not handed out again
    HWND foreign = reinterpret_cast<HWND>(uintptr_t{0x12343});
    MSG msg;
    EXPECT_FALSE(ShowWindow(foreign, SW_SHOWMAXIMIZED));
    EXPECT_FALSE(MoveWindow(foreign, 0, 0, 1, 1, TRUE));
    EXPECT_FALSE(SetWindowTextA(foreign, "x"));
    EXPECT_FALSE(PeekMessageA(&msg, foreign, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetDC(foreign), nullptr);
    EXPECT_EQ(SoftActiveWindow(), nullptr);
}

TEST_F(SoftUserWindowTest, VisibleStyleShowsAndActivatesOnCreation) {
    HWND window = NewWindow(WS_POPUP | WS_VISIBLE);
    EXPECT_TRUE(SoftWindowVisible(window));
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{window, WM_ACTIVATE, WA_ACTIVE, 0}}));
}

// ---- focus ----------------------------------------------------------------

using SoftUserFocusTest = SoftUserTest;

TEST_F(SoftUserFocusTest, ShowWindowActivatesBeforeItReturns) {
    HeadlessSetDesktop({800, 600, 32, 60});
    HWND window = NewWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(ShowWindow(window, SW_SHOWMAXIMIZED));  // it was hidden
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{window, WM_ACTIVATE, WA_ACTIVE, 0}}));
    EXPECT_EQ(SoftActiveWindow(), window);
    EXPECT_EQ(RectOf(window), (std::vector<LONG>{0, 0, 800, 600}));

    // Already active: shown again without a second activation.
    EXPECT_TRUE(ShowWindow(window, SW_SHOWMAXIMIZED));
    EXPECT_EQ(deliveries.size(), 1u);
}

TEST_F(SoftUserFocusTest, ActivationMovesFromOneWindowToTheNext) {
    HWND first = NewWindow();
    HWND second = NewWindow();
    ShowWindow(first, SW_SHOW);
    deliveries.clear();
    ShowWindow(second, SW_SHOW);
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{first, WM_ACTIVATE, WA_INACTIVE, Activation(second)},
                                                 {second, WM_ACTIVATE, WA_ACTIVE, Activation(first)}}));
    EXPECT_EQ(SoftActiveWindow(), second);

    // Shown without activation: the focus stays where it is.
    HWND third = NewWindow();
    deliveries.clear();
    EXPECT_FALSE(ShowWindow(third, SW_SHOWNA));
    EXPECT_TRUE(SoftWindowVisible(third));
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(SoftActiveWindow(), second);
}

TEST_F(SoftUserFocusTest, HidingTheActiveWindowDeactivatesItAtOnce) {
    HWND window = NewWindow();
    ShowWindow(window, SW_SHOWMAXIMIZED);
    deliveries.clear();
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{window, WM_ACTIVATE, WA_INACTIVE, 0}}));
    EXPECT_EQ(SoftActiveWindow(), nullptr);
    EXPECT_FALSE(SoftWindowVisible(window));

    EXPECT_FALSE(ShowWindow(window, SW_HIDE));
    EXPECT_EQ(deliveries.size(), 1u);
}

TEST_F(SoftUserFocusTest, HostFocusChangesArriveThroughPeekMessage) {
    HWND window = NewWindow();
    ShowWindow(window, SW_SHOWMAXIMIZED);
    deliveries.clear();
    HeadlessScript(0, Event(HostEventType::FocusLost));
    HeadlessScript(0, Event(HostEventType::FocusGained));
    HeadlessScript(0, Event(HostEventType::FocusGained));  // no second activation
    EXPECT_TRUE(deliveries.empty());                       // nothing before the queue is looked at

    // Sent from inside PeekMessageA, never queued.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_ACTIVATE, WM_ACTIVATE, PM_REMOVE));
    EXPECT_EQ(deliveries,
              (std::vector<Delivery>{{window, WM_ACTIVATE, WA_INACTIVE, 0}, {window, WM_ACTIVATE, WA_ACTIVE, 0}}));
    EXPECT_EQ(SoftActiveWindow(), window);
}

// The display's front surface, as the window procedure below finds it.
IDirectDrawSurface7* displaySurface = nullptr;
HRESULT lostWhenDeactivated = DDERR_GENERIC;

LRESULT DisplayOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) lostWhenDeactivated = displaySurface->IsLost();
    return RecordingProc(hwnd, message, wParam, lParam);
}

TEST_F(SoftUserFocusTest, WindowIsToldOfTheFocusLossBeforeTheDisplayGoes) {
    HWND window = NewWindow(WS_POPUP, DisplayOwnerProc);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    IDirectDraw7* ddraw = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&ddraw), kIidDirectDraw7, nullptr), DD_OK);
    ASSERT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
    ASSERT_EQ(ddraw->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    DDSURFACEDESC2 description = PrimaryDescription();
    ASSERT_EQ(ddraw->CreateSurface(&description, &displaySurface, nullptr), DD_OK);

    HeadlessScript(0, Event(HostEventType::FocusLost));
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(lostWhenDeactivated, DD_OK);  // the surface was still there
    EXPECT_EQ(displaySurface->IsLost(), DDERR_SURFACELOST);

    HeadlessScript(0, Event(HostEventType::FocusGained));
    SoftPumpHostEvents();
    displaySurface->Release();
    ddraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    ddraw->Release();
}

void HostFocus(HostEventType change) {
    HeadlessScript(0, Event(change));
    SoftPumpHostEvents();
}

TEST_F(SoftUserFocusTest, WhatIsShownWhileAwayIsActivatedWhenTheFocusComesBack) {
    HostFocus(HostEventType::FocusLost);
    HWND window = NewWindow();
    ShowWindow(window, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(SoftWindowVisible(window));
    EXPECT_EQ(SoftActiveWindow(), nullptr);
    EXPECT_TRUE(deliveries.empty());
    HostFocus(HostEventType::FocusGained);
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{window, WM_ACTIVATE, WA_ACTIVE, 0}}));

    // Hidden while away, it is not activated again.
    HostFocus(HostEventType::FocusLost);
    ShowWindow(window, SW_HIDE);
    deliveries.clear();
    HostFocus(HostEventType::FocusGained);
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(SoftActiveWindow(), nullptr);
}

// ---- messages from the host -----------------------------------------------

using SoftUserMessageTest = SoftUserTest;

TEST_F(SoftUserMessageTest, CloseRequestIsPostedToTheActiveWindow) {
    HWND shown = NewWindow();
    HWND active = NewWindow();
    ShowWindow(shown, SW_SHOWNA);
    ShowWindow(active, SW_SHOW);
    ASSERT_EQ(SoftActiveWindow(), active);
    HeadlessScript(0, Event(HostEventType::Close));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, active);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));

    // Without an active window it goes to the first visible one.
    ShowWindow(active, SW_HIDE);
    HeadlessScript(0, Event(HostEventType::Close));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, shown);
    deliveries.clear();
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{shown, WM_CLOSE, 0, 0}}));
    EXPECT_TRUE(SoftWindowVisible(shown));  // closing is the procedure's business
}

std::vector<MSG> KeyMessages() {
    std::vector<MSG> keys;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_SYSKEYUP, PM_REMOVE)) {
        EXPECT_TRUE(TranslateMessage(&msg));
        keys.push_back(msg);
    }
    return keys;
}

void ExpectKey(const MSG& msg, UINT message, WPARAM virtualKey, uint32_t lParam) {
    EXPECT_EQ(msg.message, message);
    EXPECT_EQ(msg.wParam, virtualKey);
    EXPECT_EQ(static_cast<uint32_t>(msg.lParam), lParam);
}

TEST_F(SoftUserMessageTest, TabAndAltBecomeKeyAndSystemKeyMessages) {
    HWND window = NewWindow();
    ShowWindow(window, SW_SHOW);
    constexpr int kTab = DIK_TAB;
    constexpr int kAlt = DIK_LMENU;
    const std::vector<std::pair<HostEventType, int>> presses = {
        {HostEventType::KeyDown, kTab}, {HostEventType::KeyUp, kTab}, {HostEventType::KeyDown, kAlt},
        {HostEventType::KeyDown, kTab}, {HostEventType::KeyUp, kTab}, {HostEventType::KeyUp, kAlt}};
    for (auto [type, code] : presses) HeadlessScript(0, Event(type, code));
    std::vector<MSG> keys = KeyMessages();
    ASSERT_EQ(keys.size(), 6u);
    for (const MSG& msg : keys) EXPECT_EQ(msg.hwnd, window);
    ExpectKey(keys[0], WM_KEYDOWN, VK_TAB, 0x000F0001);
    ExpectKey(keys[1], WM_KEYUP, VK_TAB, 0xC00F0001);
    ExpectKey(keys[2], WM_SYSKEYDOWN, VK_MENU, 0x20380001);
    ExpectKey(keys[3], WM_SYSKEYDOWN, VK_TAB, 0x200F0001);
    ExpectKey(keys[4], WM_SYSKEYUP, VK_TAB, 0xE00F0001);
    ExpectKey(keys[5], WM_SYSKEYUP, VK_MENU, 0xC0380001);
}

TEST_F(SoftUserMessageTest, KeyMessagesCarryExtendedAndRepeatBits) {
    HWND window = NewWindow();
    ShowWindow(window, SW_SHOW);
    // Right Alt, Up, keypad Enter and right Control are extended keys;
    // NumLock is reported extended and Pause not, against their codes.
    for (int code : {DIK_RMENU, DIK_UP, DIK_NUMPADENTER, DIK_RCONTROL, DIK_NUMLOCK, DIK_PAUSE}) {
        HeadlessScript(0, Event(HostEventType::KeyDown, code));
        HeadlessScript(0, Event(HostEventType::KeyUp, code));
    }
    HeadlessScript(0, Event(HostEventType::KeyDown, DIK_A));  // A, then held
    HeadlessScript(0, Event(HostEventType::KeyDown, DIK_A));
    HeadlessScript(0, Event(HostEventType::KeyDown, kNoKey));
    std::vector<MSG> keys = KeyMessages();
    ASSERT_EQ(keys.size(), 14u);
    ExpectKey(keys[0], WM_SYSKEYDOWN, VK_MENU, 0x21380001);
    ExpectKey(keys[1], WM_SYSKEYUP, VK_MENU, 0xC1380001);
    ExpectKey(keys[2], WM_KEYDOWN, VK_UP, 0x01480001);
    ExpectKey(keys[4], WM_KEYDOWN, VK_RETURN, 0x011C0001);
    ExpectKey(keys[6], WM_KEYDOWN, VK_CONTROL, 0x011D0001);
    ExpectKey(keys[8], WM_KEYDOWN, VK_NUMLOCK, 0x01450001);
    ExpectKey(keys[10], WM_KEYDOWN, VK_PAUSE, 0x00450001);
    ExpectKey(keys[12], WM_KEYDOWN, 'A', 0x001E0001);
    ExpectKey(keys[13], WM_KEYDOWN, 'A', 0x401E0001);
}

TEST_F(SoftUserMessageTest, AltHeldWhenTheFocusWentIsForgotten) {
    HWND window = NewWindow();
    ShowWindow(window, SW_SHOW);
    HeadlessScript(0, Event(HostEventType::KeyDown, DIK_LMENU));
    HeadlessScript(0, Event(HostEventType::FocusLost));
    HeadlessScript(0, Event(HostEventType::FocusGained));
    HeadlessScript(0, Event(HostEventType::KeyDown, DIK_TAB));
    HeadlessScript(0, Event(HostEventType::KeyUp, DIK_LMENU));
    std::vector<MSG> keys = KeyMessages();
    ASSERT_EQ(keys.size(), 3u);
    ExpectKey(keys[1], WM_KEYDOWN, VK_TAB, 0x000F0001);
    // A key-up always says the key was down before.
    ExpectKey(keys[2], WM_SYSKEYUP, VK_MENU, 0xC0380001);
}

TEST_F(SoftUserMessageTest, KeysWithoutAnActiveWindowAreDropped) {
    ShowWindow(NewWindow(), SW_SHOWNA);
    HeadlessScript(0, Event(HostEventType::KeyDown, DIK_TAB));
    EXPECT_TRUE(KeyMessages().empty());
}

// ---- painting -------------------------------------------------------------

using SoftUserPaintTest = SoftUserTest;

int PaintsOf(HWND window) {
    int paints = 0;
    for (const MSG& msg : DrainQueue()) paints += msg.hwnd == window && msg.message == WM_PAINT;
    return paints;
}

TEST_F(SoftUserPaintTest, ShownWindowIsPaintedOnceAfterThePostedMessages) {
    HWND window = NewWindow(WS_POPUP, PaintingProc);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // hidden: nothing to paint
    ShowWindow(window, SW_SHOW);
    HeadlessScript(0, Event(HostEventType::Close));

    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    // WM_PAINT stays until the window is validated, removed or not.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    deliveries.clear();
    DispatchMessageA(&msg);
    // BeginPaint has the background erased before the procedure paints.
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(deliveries[1].message, static_cast<UINT>(WM_ERASEBKGND));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(SoftUserPaintTest, DefaultProcedureValidatesSoTheQueueEmpties) {
    HWND window = NewWindow();
    ShowWindow(window, SW_SHOWMAXIMIZED);
    EXPECT_EQ(PaintsOf(window), 1);
    EXPECT_EQ(PaintsOf(window), 0);

    // Moving with repaint asks for a paint; without, or to the same place, not.
    EXPECT_TRUE(MoveWindow(window, 0, 0, 320, 200, FALSE));
    EXPECT_EQ(PaintsOf(window), 0);
    EXPECT_TRUE(MoveWindow(window, 0, 0, 320, 200, TRUE));
    EXPECT_EQ(PaintsOf(window), 0);
    EXPECT_TRUE(MoveWindow(window, 0, 0, 640, 480, TRUE));
    EXPECT_EQ(PaintsOf(window), 1);

    // A failing BeginPaint cannot keep the default procedure from validating.
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOW);
    FailOn(SoftOp::BeginPaint, 1, 0, -1);
    EXPECT_EQ(PaintsOf(window), 1);
}

TEST_F(SoftUserPaintTest, BeginPaintGivesAContextThatEndPaintReleases) {
    HWND window = NewWindow(WS_POPUP, PaintingProc);
    MoveWindow(window, 0, 0, 64, 48, FALSE);
    ShowWindow(window, SW_SHOWNA);
    int contexts = SoftGdiDcCount();
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(paint.hdc, dc);
    EXPECT_EQ(paint.rcPaint.right, 64);
    EXPECT_EQ(paint.rcPaint.bottom, 48);
    EXPECT_FALSE(paint.fErase);  // the procedure erased it
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(SoftGdiDcCount(), contexts + 1);
    EXPECT_TRUE(EndPaint(window, &paint));
    EXPECT_EQ(SoftGdiDcCount(), contexts);

    // Nothing is left to paint.
    ASSERT_NE(BeginPaint(window, &paint), nullptr);
    EXPECT_EQ(paint.rcPaint.right, 0);
    EndPaint(window, &paint);
    EXPECT_EQ(SoftGdiDcCount(), contexts);
}

TEST_F(SoftUserPaintTest, DeviceContextsOfWindowsAndTheScreen) {
    HWND window = NewWindow();
    int contexts = SoftGdiDcCount();
    HDC screen = GetDC(nullptr);
    HDC own = GetDC(window);
    ASSERT_NE(screen, nullptr);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(SoftGdiDcCount(), contexts + 2);
    EXPECT_EQ(SetPixelV(own, 0, 0, 0xFFFFFF), FALSE);  // no pixels behind it

    HDC other = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_EQ(ReleaseDC(nullptr, other), 0);  // not one GetDC gave out
    EXPECT_EQ(ReleaseDC(window, own), 1);
    EXPECT_EQ(ReleaseDC(window, own), 0);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    DeleteDC(other);
    EXPECT_EQ(SoftGdiDcCount(), contexts);
}

// ---- cursor ---------------------------------------------------------------

TEST_F(SoftUserTest, ShowCursorCountsAndTellsTheHostOnlyWhenVisibilityChanges) {
    EXPECT_EQ(SoftCursorCount(), 0);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_FALSE(HeadlessDisplay().cursorVisible);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_FALSE(HeadlessDisplay().cursorVisible);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(HeadlessDisplay().cursorVisible);
    EXPECT_EQ(ShowCursor(TRUE), 1);
    EXPECT_EQ(ShowCursor(FALSE), 0);
    EXPECT_TRUE(HeadlessDisplay().cursorVisible);
}

// ---- desktops -------------------------------------------------------------

class SoftUserDesktopTest : public SoftUserTest {
protected:
    void SetUp() override {
        SoftUserTest::SetUp();
        // The primary comes second; the third has no readable mode.
        HeadlessSetDesktops({HostDesktopOf(0, false, {1024, 768, 32, 75}), HostDesktopOf(1, true, {1920, 1080, 32, 60}),
                             HostDesktopOf(2, false, {800, 600, 16, 60}, false)});
        user32 = LoadLibraryA("User32.DLL");
        FARPROC entry = GetProcAddress(user32, "EnumDisplayDevicesA");
        enumDevices = reinterpret_cast<decltype(enumDevices)>(reinterpret_cast<void (*)()>(entry));
    }
    void TearDown() override {
        FreeLibrary(user32);
        SoftUserTest::TearDown();
    }

    BOOL Device(DWORD number, DISPLAY_DEVICEA* device) {
        std::memset(device, 0xCC, sizeof(*device));
        device->cb = sizeof(*device);
        return enumDevices(nullptr, number, device, 0);
    }

    HMODULE user32 = nullptr;
    BOOL (*enumDevices)(LPCSTR, DWORD, PDISPLAY_DEVICEA, DWORD) = nullptr;
};

TEST_F(SoftUserDesktopTest, DevicesAreEnumeratedInTheHostsOrder) {
    ASSERT_NE(enumDevices, nullptr);
    DISPLAY_DEVICEA device;
    ASSERT_TRUE(Device(0, &device));
    EXPECT_STREQ(device.DeviceName, "\\\\.\\DISPLAY1");
    EXPECT_EQ(device.StateFlags, static_cast<DWORD>(DISPLAY_DEVICE_ATTACHED_TO_DESKTOP));
    EXPECT_EQ(device.DeviceID[0], 0);
    ASSERT_TRUE(Device(1, &device));
    EXPECT_STREQ(device.DeviceName, "\\\\.\\DISPLAY2");
    EXPECT_EQ(device.StateFlags,
              static_cast<DWORD>(DISPLAY_DEVICE_ATTACHED_TO_DESKTOP | DISPLAY_DEVICE_PRIMARY_DEVICE));
    ASSERT_TRUE(Device(2, &device));
    EXPECT_FALSE(Device(3, &device));

    // Monitors of a device are not described, and the record must be whole.
    EXPECT_FALSE(enumDevices("\\\\.\\DISPLAY1", 0, &device, 0));
    device.cb = sizeof(device) - 256;
    EXPECT_FALSE(enumDevices(nullptr, 0, &device, 0));
}

TEST_F(SoftUserDesktopTest, CurrentModesByDeviceNameAndForThePrimary) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    ASSERT_TRUE(EnumDisplaySettingsA("\\\\.\\display1", ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 1024u);
    EXPECT_EQ(mode.dmPelsHeight, 768u);
    EXPECT_EQ(mode.dmBitsPerPel, 32u);
    EXPECT_EQ(mode.dmDisplayFrequency, 75u);
    EXPECT_EQ(mode.dmFields, static_cast<DWORD>(DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY));
    EXPECT_STREQ(reinterpret_cast<const char*>(mode.dmDeviceName), "\\\\.\\DISPLAY1");

    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 1920u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);

    EXPECT_FALSE(EnumDisplaySettingsA("\\\\.\\DISPLAY3", ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_FALSE(EnumDisplaySettingsA("\\\\.\\DISPLAY9", ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_FALSE(EnumDisplaySettingsA("\\\\.\\DISPLAY1", 0, &mode));

    // A host that marks no device primary has its first one answer for it.
    HeadlessSetDesktops({HostDesktopOf(3, false, {640, 480, 32, 60})});
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 640u);
}

TEST_F(SoftUserDesktopTest, FaultsOnTheEnumerationAndOnOneDevice) {
    DISPLAY_DEVICEA device;
    FailOn(SoftOp::EnumDisplayDevicesA, 2, 0);
    EXPECT_TRUE(Device(0, &device));
    EXPECT_FALSE(Device(1, &device));
    EXPECT_TRUE(Device(1, &device));

    DEVMODEA mode = {};
    mode.dmSize = sizeof(mode);
    FailOn(Fault{SoftOp::EnumDisplaySettingsA, "\\\\.\\DISPLAY2"}, 1, 0, 2);
    EXPECT_TRUE(EnumDisplaySettingsA("\\\\.\\DISPLAY1", ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_FALSE(EnumDisplaySettingsA("\\\\.\\display2", ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));  // the primary
    EXPECT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
}

}  // namespace
