// The runtime's whole API as a hostile caller, an unlucky user and a failing
// platform would use it, for libFuzzer. An input is a sequence of steps: a
// runtime operation with arguments taken from the input (the extremes, -1
// and numbers never made among them), an event of the headless host (keys,
// the mouse, the focus going and coming back, a close request) or a platform
// operation armed to fail. After the sequence the runtime must still open
// the screen, draw and present a frame; then it is put back as a new process
// has it, for the next input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/object_table.h"
#include "display/desktop.h"
#include "display/gamma.h"
#include "display/screen.h"
#include "draw/context.h"
#include "draw/screen_target.h"
#include "draw/shapes.h"
#include "input/input.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "platform/soft/internal.h"
#include "runtime/lifecycle.h"
#include "sprite/grab.h"
#include "sprite/store.h"
#include "support/forget.h"
#include "support/program.h"

namespace {

// The loads and look-ups aimed at one module or entry point; with them, every
// operation of the software layer that can fail (kSoftOpNames).
const char* const kTargetedOperations[] = {
    "LoadLibraryA DDRAW.DLL",
    "LoadLibraryA DINPUT.DLL",
    "LoadLibraryA USER32.DLL",
    "GetProcAddress DirectDrawCreateEx",
    "GetProcAddress DirectInputCreateEx",
    "GetProcAddress EnumDisplayDevicesA",
};

template <typename T, size_t N>
T Pick(FuzzedDataProvider& input, const T (&values)[N]) {
    return values[input.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

// What a failed COM method or entry point answers: an error, or a warning
// that a read may give.
const int64_t kErrors[] = {int64_t(DDERR_GENERIC),     int64_t(DDERR_SURFACELOST), int64_t(DDERR_SURFACEBUSY),
                           int64_t(DDERR_OUTOFMEMORY), int64_t(DIERR_INPUTLOST),   int64_t(DIERR_NOTACQUIRED),
                           int64_t(E_OUTOFMEMORY),     int64_t(DI_BUFFEROVERFLOW)};

// What a failing operation answers, as the system's own would fail: COM
// methods and the entry points that make the objects an error; CreateFileA
// INVALID_HANDLE_VALUE, the timer TIMERR_NOCANDO, GetPixel CLR_INVALID; the
// rest null or FALSE. WriteFile may also claim success for a short write.
int64_t FailureOf(FuzzedDataProvider& input, const std::string& operation) {
    if (operation.find("::") != std::string::npos || operation.starts_with("Direct")) return Pick(input, kErrors);
    if (operation == "CreateFileA") return -1;
    if (operation.starts_with("time")) return 97;
    if (operation == "GetPixel") return int64_t(CLR_INVALID);
    if (operation == "WriteFile") return input.ConsumeIntegralInRange(0, 1);
    return 0;
}

// Screen sizes and depths, small enough for thousands of runs a minute, and
// the extremes that must be refused.
const int32_t kSides[] = {0, 1, 2, 16, 97, 320, 641, -1, -640, 16385, 32767, 32768, 65535, INT32_MAX, INT32_MIN};
const int32_t kDepths[] = {32, 0, 8, 15, 16, 24, 33, -32, INT32_MAX};

// Sprite numbers and handles: made ones, never made ones and the extremes.
const intptr_t kNumbers[] = {0, 1, 2, 63, 64, 65, 1000, 12345, -1, -2, -7, INTPTR_MAX, INTPTR_MIN};

// Screenshot names, under the fuzzer's own folder but for the empty one and
// one in a folder that does not exist.
const char* const kFileNames[] = {"/ravlin.bmp", "", "/missing/ravlin.bmp", "/nonexistent/ravlin.bmp",
                                  "/ravlin.bmp.tmp"};

// A busy wait on the counter (the frame-rate limit) needs the counter to move.
constexpr int64_t kCounterStep = 1000;

struct FuzzState {
    std::vector<intptr_t> handles;  // given out by numberless grabs
    bool trace = false;             // RAVLIN_FUZZ_TRACE set: each step is printed
};

// Where the screenshots go: a folder of the fuzzer's own, made at its start.
std::string Folder;

FuzzState Fuzz;

void Trace(const char* kind, int step) {
    if (Fuzz.trace) std::fprintf(stderr, "%s %d\n", kind, step);
}

// A number from the table, or any at all, or a handle made in this sequence.
intptr_t SpriteNumber(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return Pick(input, kNumbers);
        case 1:
            return Fuzz.handles.empty()
                       ? -1
                       : Fuzz.handles[input.ConsumeIntegralInRange<size_t>(0, Fuzz.handles.size() - 1)];
        default:
            return input.ConsumeIntegralInRange<intptr_t>(-8, 200);
    }
}

std::string FileName(FuzzedDataProvider& input) {
    std::string name = Pick(input, kFileNames);
    if (name.empty() || name.starts_with("/nonexistent")) return name;
    return Folder + name;
}

int32_t Coordinate(FuzzedDataProvider& input) {
    return input.ConsumeBool() ? input.ConsumeIntegralInRange(-100, 2100) : input.ConsumeIntegral<int32_t>();
}

void HostEventStep(FuzzedDataProvider& input) {
    auto type = static_cast<HostEventType>(input.ConsumeIntegralInRange(0, int(HostEventType::MouseWheel)));
    int32_t code = input.ConsumeBool() ? input.ConsumeIntegralInRange(-1, 256) : input.ConsumeIntegral<int32_t>();
    HeadlessScript(0, {type, code, input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>()});
}

void FaultStep(FuzzedDataProvider& input) {
    const char* operation = input.ConsumeBool() ? Pick(input, kSoftOpNames) : Pick(input, kTargetedOperations);
    int nth = input.ConsumeIntegralInRange(1, 4);
    HeadlessFailOn(operation, nth, FailureOf(input, operation), input.ConsumeIntegralInRange(1, 3));
}

void DrawStep(FuzzedDataProvider& input) {
    ColorValue colour = input.ConsumeIntegral<uint32_t>();
    const int step = input.ConsumeIntegralInRange(0, 6);
    Trace("DrawStep", step);
    switch (step) {
        case 0:
            DrawBegin(input.ConsumeBool() ? ScreenDrawTarget() : nullptr);
            break;
        case 1:
            DrawEnd();
            break;
        case 2:
            DrawModeSet(input.ConsumeIntegral<uint32_t>());
            break;
        case 3:
            DrawCircle(Coordinate(input), Coordinate(input), Coordinate(input), colour);
            break;
        case 4:
            DrawBox(Coordinate(input), Coordinate(input), Coordinate(input), Coordinate(input), colour);
            break;
        case 5:
            DrawEllipse(Coordinate(input), Coordinate(input), Coordinate(input), Coordinate(input), colour);
            break;
        default:
            DrawDcReacquire();
            break;
    }
}

// Writes a few bytes through the back buffer's lock, inside what it lends.
void WriteLockedPixels(FuzzedDataProvider& input) {
    uint8_t* pixels = ScreenPixelsLock();
    const DDSURFACEDESC2& locked = ScreenState.lockDescription;
    if (pixels && locked.dwHeight > 0 && locked.lPitch > 0) {
        uint32_t row = input.ConsumeIntegralInRange<uint32_t>(0, locked.dwHeight - 1);
        pixels[size_t(row) * size_t(locked.lPitch)] = input.ConsumeIntegral<uint8_t>();
    }
    ScreenDcAcquire();
}

void SpriteStep(FuzzedDataProvider& input) {
    const int step = input.ConsumeIntegralInRange(0, 5);
    Trace("SpriteStep", step);
    switch (step) {
        case 0: {
            intptr_t number = SpriteNumber(input);
            int32_t x = Coordinate(input), y = Coordinate(input), width = Coordinate(input);
            intptr_t made = SpriteGrab(number, x, y, width, Coordinate(input), input.ConsumeIntegralInRange(0, 15));
            if (number == -1 && made) Fuzz.handles.push_back(made);
            break;
        }
        case 1:
            SpriteSave(SpriteNumber(input), FileName(input).c_str(), input.ConsumeIntegralInRange(-1, 2),
                       input.ConsumeIntegral<int32_t>());
            break;
        case 2:
            SpriteFree(SpriteNumber(input));
            break;
        case 3:
            ScreenBufferSelect(SpriteNumber(input));
            break;
        case 4:
            SpriteBackupAll();
            break;
        default:
            SpriteRestoreAll();
            break;
    }
}

void ScreenStep(FuzzedDataProvider& input) {
    const int step = input.ConsumeIntegralInRange(0, 10);
    Trace("ScreenStep", step);
    switch (step) {
        case 0:
            ScreenOpen(Pick(input, kSides), Pick(input, kSides), Pick(input, kDepths), "fuzz");
            break;
        case 1:
            ScreenClose();
            break;
        case 2:
            ScreenClear(input.ConsumeIntegral<uint32_t>());
            break;
        case 3:
            ScreenFlip(input.ConsumeIntegralInRange(-1, 4));
            break;
        case 4:
            ScreenFrameRateSet(input.ConsumeBool() ? input.ConsumeIntegralInRange(-2, 200)
                                                   : input.ConsumeIntegral<int32_t>());
            break;
        case 5:
            GammaRampSet(input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>(),
                         input.ConsumeIntegral<int32_t>(), input.ConsumeIntegralInRange(0, 1));
            break;
        case 6:
            DesktopScan();
            DesktopPixelWidth(input.ConsumeIntegral<int32_t>());
            DesktopPixelHeight(input.ConsumeIntegral<int32_t>());
            break;
        case 7:
            WriteLockedPixels(input);
            break;
        case 8:
            ScreenDcRelease();
            break;
        case 9:
            PixelFromColor(input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>(),
                           input.ConsumeIntegral<int32_t>());
            break;
        default:
            ObjectTableGet(ScreenState.spriteTable, SpriteNumber(input));
            break;
    }
}

void InputStep(FuzzedDataProvider& input) {
    const int step = input.ConsumeIntegralInRange(0, 6);
    Trace("InputStep", step);
    switch (step) {
        case 0:
            KeyboardPoll();
            break;
        case 1:
            KeyReleased(input.ConsumeBool() ? input.ConsumeIntegralInRange(-2, 257) : input.ConsumeIntegral<int32_t>());
            break;
        case 2:
            MousePoll();
            MouseMoveX();
            MouseMoveY();
            MouseWheelSteps();
            break;
        case 3:
            MouseMoveTo(input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>());
            break;
        case 4:
            MouseButtonDown(input.ConsumeIntegral<int32_t>());
            break;
        case 5:
            MouseSuspend(input.ConsumeIntegralInRange(-1, 2));
            break;
        default:
            MouseRelease();
            break;
    }
}

void Step(FuzzedDataProvider& input) {
    const int step = input.ConsumeIntegralInRange(0, 5);
    Trace("Step", step);
    switch (step) {
        case 0:
            ScreenStep(input);
            break;
        case 1:
            DrawStep(input);
            break;
        case 2:
            SpriteStep(input);
            break;
        case 3:
            InputStep(input);
            break;
        case 4:
            HostEventStep(input);
            break;
        default:
            FaultStep(input);
            break;
    }
}

// With no fault armed and the focus back, the screen opens and the frame
// drawn on it is presented within a few flips (the first flip after a focus
// loss recovers the display and shows nothing). Null when it does, else what
// went wrong.
const char* FrameNotDrawn() {
    HeadlessReset();
    HeadlessCounterStep(kCounterStep);
    HeadlessSetDesktop({64, 48, 32, 60});
    HeadlessScript(0, {HostEventType::FocusGained, 0, 0, 0});
    HeadlessKeepPixels(true);
    if (!ScreenOpen(64, 48, 32, "fuzz")) return "the screen does not open";
    for (int flip = 0; flip < 3 && HeadlessFrames().empty(); ++flip) {
        ScreenClear(0);
        DrawBegin(ScreenDrawTarget());
        DrawCircle(32, 24, 5, 0x00FFFFFF);
        DrawEnd();
        ScreenFlip(0);
    }
    if (HeadlessFrames().empty()) return "no frame is presented";
    const std::vector<uint32_t>& shown = HeadlessFrames().back().pixels;
    if (shown.size() != 64u * 48u) return "the frame has another size";
    if (shown[24 * 64 + 32] != 0x00FFFFFF) return "the circle is not drawn";
    if (shown[0] != 0) return "the clear is not shown";
    return nullptr;
}

// The runtime's end gives back every DirectDraw object and surface, every
// DirectInput device and every device context it made. Null when it does, else what is left.
const char* NotAllGivenBack() {
    if (RunProgram([] { ProgramEnd(0); }) != Exited(0)) return "the end reports another exit code";
    if (SoftDirectDrawObjectCount() != 0 || SoftDirectDrawSurfaceCount() != 0) return "DirectDraw is left";
    // The DirectInput object itself stays: the start takes one use of it more
    // than the end gives back.
    if (SoftDirectInputDeviceCount() != 0) return "a DirectInput device is left";
    if (SoftGdiDcCount() != 0) return "a device context is left";
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Folder = (std::filesystem::temp_directory_path() / "ravlin_fuzz_XXXXXX").string();
    if (!mkdtemp(Folder.data())) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HeadlessReset();
    HeadlessCounterStep(kCounterStep);
    HeadlessSetDesktop({320, 240, 32, 60});
    // Presents are copied, not hashed and kept: the check after the sequence
    // is what looks at a frame.
    HeadlessCopyPresents(true);
    RuntimeStart();
    Fuzz = FuzzState{};
    Fuzz.trace = std::getenv("RAVLIN_FUZZ_TRACE") != nullptr;
    FuzzedDataProvider input(data, size);
    auto steps = [&] {
        for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) Step(input);
    };
    if (RunProgram(steps).end != ProgramRun::kReturned) std::abort();  // no step ends the process
    const char* fault = FrameNotDrawn();
    if (!fault) fault = NotAllGivenBack();
    if (fault) {
        std::fprintf(stderr, "ravlin_fuzz: after the sequence, %s\n", fault);
        std::abort();
    }
    ForgetTheRuntime();
    return 0;
}
