// Every operation of the software layer that can be faulted, from the SoftOp
// list: with a fault armed, one call answers the fault's result, spends the
// fault and changes nothing that the call would have changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/guids.h"
#include "core/runtime.h"
#include "display/screen.h"
#include "input/input.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "support/display.h"

namespace {

// Injected into every operation: a result that no real call gives.
constexpr int64_t kInjected = 0x8876ABCD;
constexpr uint32_t kBackground = 0x00123456;

// A call's result, and what it answers a fault with; handles and pointers
// count by their address.
using Outcome = std::pair<int64_t, int64_t>;

// For operations that answer any fault with a failure of their own.
template <typename Result>
Outcome Failing(Result result, Result failure) {
    return {(int64_t)result, (int64_t)failure};
}

// For the others: they answer with the injected value, cast as they cast it.
template <typename Result>
Outcome Injected(Result result) {
    return Failing(result, (Result)kInjected);
}
Outcome Injected(Outcome outcome) { return outcome; }

template <typename... Values>
std::vector<int64_t> Numbers(Values... values) {
    return {(int64_t)values...};
}

// The runtime's open screen, window and input devices (the mouse acquired, the
// keyboard not), and what else the rows need: a plain surface, a mouse event,
// a window class, files, a heap block and a memory device context.
class SoftFaultTest : public OpenDisplayTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        OpenDisplayTest::SetUp();
        if (HasFatalFailure()) return;
        device.cb = sizeof(device), mode.dmSize = sizeof(mode);
        windowClass.cbSize = sizeof(windowClass), windowClass.lpfnWndProc = DefWindowProcA, ticks.QuadPart = -1;
        windowClass.lpszClassName = "SoftFaultTest";
        dd = ScreenState.displayObject, front = ScreenState.frontSurface, back = ScreenState.backBuffer;
        window = ScreenState.window, input = InputSystem.object, keyboard = KeyboardState.device;
        ASSERT_EQ(dd->CreateSurface(&plainSize, &plain, nullptr), DD_OK);
        ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
        ASSERT_EQ(Fill(plain, 0x00FF0000), DD_OK);
        ASSERT_EQ(front->QueryInterface(kIidDirectDrawGammaControl, reinterpret_cast<void**>(&gamma)), S_OK);
        ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        MousePoll();
        HeadlessScript(0, {HostEventType::MouseMove, 0, 3, 0});
        SoftPumpHostEvents();
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        windowClass.lpszClassName = "SoftFaultTest other";
        mouse = MouseState.device, block = HeapAlloc(Runtime.mainHeap, 0, 8), file = Create(".open");
        ASSERT_TRUE(CloseHandle(Create(".made")));
    }
    void TearDown() override {
        if (clipper) clipper->Release();
        CloseHandle(file), DeleteFileA(Path(".open").c_str()), DeleteFileA(Path(".made").c_str());
        OpenDisplayTest::TearDown();
    }

    std::string Path(const char* name) const { return (directory.path / name).string(); }
    static HWND Window(const char* windowClass) {
        return CreateWindowExA(0, windowClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    HANDLE Create(const char* name) {
        return CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    // Everything a row could change: the layer's objects, the display, whether
    // the plain surface is locked and the keyboard can be acquired, the mouse's
    // events, the window, the files, and what the calls write back (where a
    // row sets an output first, a failed call clears it).
    std::vector<int64_t> State() {
        HDC probe = nullptr;
        HRESULT busy = plain->GetDC(&probe);
        if (busy == DD_OK) plain->ReleaseDC(probe);
        HRESULT acquirable = keyboard->Acquire();
        if (acquirable == DI_OK) keyboard->Unacquire();
        DIPROPDWORD size = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 0};
        keyboard->GetProperty(DIPROP_BUFFERSIZE, &size.diph);
        DWORD waiting = 8;
        HRESULT peeked = mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &waiting, DIGDD_PEEK);
        bool registered = SoftWindowExists(Window(windowClass.lpszClassName));  // the class named, registered
        RECT clip = {}, rect = {};
        bool clipped = SoftCursorClip(&clip);
        SoftWindowRect(window, &rect);
        std::error_code error;
        const ULONG clipperRefs = (clipper->AddRef(), clipper->Release());
        return Numbers(clipperRefs, SoftDirectDrawClipperCount(), gotClipper, clientRect.right, HostTicks(),
                       SoftHeapCount(), SoftHeapBlockCount(Runtime.mainHeap), SoftModuleLoadCount("USER32.DLL"),
                       SoftTimerPeriodsBegun(), SoftGdiObjectCount(), SoftGdiDcCount(), surface.CountNot(kBackground),
                       SoftDirectDrawObjectCount(), SoftDirectDrawSurfaceCount(), SoftDirectDrawCooperativeLevel(),
                       HeadlessDisplay().width, HeadlessDisplay().gamma[1], HeadlessFrames().size(),
                       BackBufferPixel(0, 0), busy, SoftDirectInputObjectCount(), SoftDirectInputDeviceCount(),
                       acquirable, size.dwData, peeked, waiting, clipped, clip.right, rect.right,
                       SoftWindowTitle(window).size(), registered, std::filesystem::exists(Path(".new")),
                       std::filesystem::file_size(Path(".open"), error), std::filesystem::exists(Path(".made")),
                       std::filesystem::exists(Path(".moved")), got, gotSurface, number, taken, written, ticks.QuadPart,
                       ramp.red[1], device.DeviceName[0], mode.dmPelsWidth, property.dwData, mouseState[0]);
    }

    // Calls the operation once: a row for each SoftOp (the compiler warns of a missing one).
    Outcome Call(SoftOp operation) {
#define ROW(operation, ...) \
    case SoftOp::operation: \
        return Injected(__VA_ARGS__)
        switch (operation) {
            ROW(BeginPaint, BeginPaint(window, &paint));
            ROW(ClipCursor, ClipCursor(&clipTo));
            ROW(CloseHandle, CloseHandle(file));
            ROW(CreateDCA, Failing(CreateDCA("DISPLAY", nullptr, nullptr, nullptr), HDC{}));
            ROW(CreateFileA, Create(".new"));
            ROW(CreatePen, Failing(CreatePen(PS_SOLID, 0, 0), HPEN{}));
            ROW(CreateSolidBrush, Failing(CreateSolidBrush(0), HBRUSH{}));
            ROW(CreateWindowExA, Window("SoftFaultTest"));
            ROW(DeleteFileA, DeleteFileA(Path(".made").c_str()));
            ROW(DirectDrawCreateEx, DirectDrawCreateEx(nullptr, &got, kIidDirectDraw7, nullptr));
            ROW(DirectInputCreateEx,
                DirectInputCreateEx(Runtime.module, 0x0700, kIidDirectInput7A, &(got = this), nullptr));
            ROW(Ellipse, Failing(Ellipse(surface.dc, 0, 0, 4, 4), FALSE));
            ROW(EnumDisplayDevicesA, EnumDisplayDevicesA(nullptr, 0, &device, 0));
            ROW(EnumDisplaySettingsA, EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
            ROW(FillRect, Failing(FillRect(surface.dc, &clipTo, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0));
            ROW(GetClientRect, GetClientRect(window, &clientRect));
            ROW(GetDC, GetDC(window));
            ROW(GetPixel, Failing(GetPixel(surface.dc, 1, 1), COLORREF{CLR_INVALID}));
            ROW(GetProcAddress, GetProcAddress(GetModuleHandleA("USER32.DLL"), "EnumDisplayDevicesA"));
            ROW(HeapAlloc, HeapAlloc(Runtime.mainHeap, 0, 8));
            ROW(HeapCreate, HeapCreate(0, 0, 0));
            ROW(HeapReAlloc, HeapReAlloc(Runtime.mainHeap, 0, block, 64));
            ROW(IDirectDraw7_CreateClipper, dd->CreateClipper(0, &gotClipper, nullptr));
            ROW(IDirectDraw7_CreateSurface, dd->CreateSurface(&plainSize, &gotSurface, nullptr));
            ROW(IDirectDraw7_GetMonitorFrequency, dd->GetMonitorFrequency(&number));
            ROW(IDirectDraw7_GetScanLine, dd->GetScanLine(&number));
            ROW(IDirectDraw7_QueryInterface, dd->QueryInterface(kSoftIidUnknown, &got));
            ROW(IDirectDraw7_RestoreAllSurfaces, dd->RestoreAllSurfaces());
            ROW(IDirectDraw7_SetCooperativeLevel, dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL));
            ROW(IDirectDraw7_SetDisplayMode, dd->SetDisplayMode(320, 240, 32, 0, 0));
            ROW(IDirectDraw7_WaitForVerticalBlank, dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr));
            ROW(IDirectDrawClipper_QueryInterface, clipper->QueryInterface(kSoftIidUnknown, &got));
            ROW(IDirectDrawClipper_SetHWnd, clipper->SetHWnd(0, window));
            ROW(IDirectDrawGammaControl_GetGammaRamp, gamma->GetGammaRamp(0, &ramp));
            ROW(IDirectDrawGammaControl_SetGammaRamp, gamma->SetGammaRamp(0, &ramp));
            ROW(IDirectDrawSurface7_Blt, Fill(back, 0x00FF0000));
            ROW(IDirectDrawSurface7_BltFast, back->BltFast(0, 0, plain, nullptr, DDBLTFAST_WAIT));
            ROW(IDirectDrawSurface7_Flip, front->Flip(nullptr, DDFLIP_WAIT));
            ROW(IDirectDrawSurface7_GetAttachedSurface, front->GetAttachedSurface(&backCaps, &gotSurface));
            ROW(IDirectDrawSurface7_GetDC, plain->GetDC(&surfaceDc));
            ROW(IDirectDrawSurface7_GetPalette, plain->GetPalette(&palette));
            ROW(IDirectDrawSurface7_IsLost, plain->IsLost());
            ROW(IDirectDrawSurface7_Lock, plain->Lock(nullptr, &description, DDLOCK_WAIT, nullptr));
            ROW(IDirectDrawSurface7_QueryInterface, front->QueryInterface(kSoftIidUnknown, &got));
            ROW(IDirectDrawSurface7_ReleaseDC, plain->ReleaseDC(surfaceDc));
            ROW(IDirectDrawSurface7_Restore, plain->Restore());
            ROW(IDirectDrawSurface7_SetClipper, plain->SetClipper(clipper));
            ROW(IDirectDrawSurface7_SetColorKey, plain->SetColorKey(DDCKEY_SRCBLT, nullptr));
            ROW(IDirectDrawSurface7_SetPalette, plain->SetPalette(nullptr));
            ROW(IDirectDrawSurface7_Unlock, plain->Unlock(nullptr));
            ROW(IDirectInput7_CreateDeviceEx,
                input->CreateDeviceEx(kGuidSysMouse, kIidDirectInputDevice7A, &(got = this), nullptr));
            ROW(IDirectInput7_QueryInterface, input->QueryInterface(kSoftIidUnknown, &(got = this)));
            ROW(IDirectInputDevice7_Acquire, keyboard->Acquire());
            ROW(IDirectInputDevice7_GetDeviceData,
                mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &(taken = 8), 0));
            ROW(IDirectInputDevice7_GetDeviceState, mouse->GetDeviceState(sizeof(mouseState), mouseState));
            ROW(IDirectInputDevice7_GetProperty, keyboard->GetProperty(DIPROP_BUFFERSIZE, &property.diph));
            ROW(IDirectInputDevice7_QueryInterface, keyboard->QueryInterface(kSoftIidUnknown, &(got = this)));
            ROW(IDirectInputDevice7_SetCooperativeLevel,
                keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
            ROW(IDirectInputDevice7_SetDataFormat, keyboard->SetDataFormat(&KeyboardState.dataFormat));
            ROW(IDirectInputDevice7_SetProperty, keyboard->SetProperty(DIPROP_BUFFERSIZE, &property.diph));
            ROW(IDirectInputDevice7_Unacquire, mouse->Unacquire());
            ROW(LoadLibraryA, LoadLibraryA("USER32.DLL"));
            ROW(MoveFileExA, MoveFileExA(Path(".made").c_str(), Path(".moved").c_str(), MOVEFILE_REPLACE_EXISTING));
            ROW(MoveWindow, MoveWindow(window, 1, 2, 30, 40, FALSE));
            ROW(QueryPerformanceCounter, Failing(QueryPerformanceCounter(&ticks), FALSE));
            ROW(QueryPerformanceFrequency, Failing(QueryPerformanceFrequency(&ticks), FALSE));
            ROW(Rectangle, Failing(Rectangle(surface.dc, 0, 0, 4, 4), FALSE));
            ROW(RegisterClassExA, RegisterClassExA(&windowClass));
            ROW(SetPixelV, Failing(SetPixelV(surface.dc, 1, 1, 0), FALSE));
            ROW(SetWindowTextA, SetWindowTextA(window, "fault"));
            ROW(SoftSurfaceDcCreate, Failing(SoftSurfaceDcCreate(surface.pixels.data(), 4, 4, 16), HDC{}));
            ROW(WriteFile, WriteFile(file, "x", 1, &(written = 99), nullptr));
            ROW(timeBeginPeriod, timeBeginPeriod(1));
            ROW(timeEndPeriod, timeEndPeriod(1));
        }
#undef ROW
        return {};
    }

    IDirectDraw7* dd = nullptr;
    IDirectDrawSurface7 *front = nullptr, *back = nullptr, *plain = nullptr, *gotSurface = nullptr;
    IDirectDrawGammaControl* gamma = nullptr;
    IDirectDrawPalette* palette = nullptr;
    IDirectDrawClipper *clipper = nullptr, *gotClipper = nullptr;
    HWND window = nullptr;
    IDirectInput7A* input = nullptr;
    IDirectInputDevice7A *keyboard = nullptr, *mouse = nullptr;
    void *got = nullptr, *block = nullptr;
    DDSURFACEDESC2 plainSize = PlainDescription(4, 4), description = Described();
    DDSCAPS2 backCaps = {DDSCAPS_BACKBUFFER, 0, 0, {0}};
    DDGAMMARAMP ramp = {};
    HDC surfaceDc = nullptr;
    DWORD number = 0, taken = 0, written = 0;
    DIPROPDWORD property = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 7};
    BYTE mouseState[16] = {};
    WNDCLASSEXA windowClass = {};
    PAINTSTRUCT paint = {};
    RECT clipTo = {1, 1, 3, 3}, clientRect = {};
    DISPLAY_DEVICEA device = {};
    DEVMODEA mode = {};
    TestSurface surface{4, 4, kBackground};
    FreshDirectory directory;
    HANDLE file = nullptr;
    LARGE_INTEGER ticks = {};
};

TEST_P(SoftFaultTest, AnswersTheInjectedResultAndDoesNothingElse) {
    const auto operation = static_cast<SoftOp>(GetParam());
    const std::vector<int64_t> before = State();
    FailOn(operation, 1, kInjected);
    const auto [result, answer] = Call(operation);
    EXPECT_EQ(result, answer);
    EXPECT_EQ(HeadlessFaultsPending(), 0);
    EXPECT_EQ(State(), before);
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, SoftFaultTest, testing::Range(0, int(kSoftOpCount)),
                         [](const testing::TestParamInfo<int>& info) {
                             std::string name = kSoftOpNames[info.param];
                             std::erase(name, ':');
                             return name;
                         });

}  // namespace
