#include "app/program.h"

#include <cctype>
#include <cstdio>

#include "app/orbit.h"
#include "core/routines.h"
#include "core/runtime.h"
#include "display/desktop.h"
#include "display/gamma.h"
#include "display/screen.h"
#include "draw/context.h"
#include "draw/screen_target.h"
#include "input/input.h"
#include "runtime/lifecycle.h"
#include "sprite/grab.h"

namespace {

constexpr int32_t kDesktop = 0;
constexpr int32_t kScreenDepth = 32;
constexpr char kWindowTitle[] = "ravlin";
constexpr double kClockStep = 0.1;
constexpr ColorValue kClearColour = 0;
constexpr float kWaitThreshold = 0.9f;
constexpr uint32_t kFrameWait = 40;
constexpr int32_t kMouseThreshold = 50;
constexpr int32_t kScreenshotKey = DIK_F2;
constexpr intptr_t kScreenshotSprite = 0;
constexpr char kScreenshotFile[] = "ravlin.bmp";
constexpr float kShrinkFactor = 0.96f;
constexpr float kEndThreshold = 0.2f;

// The words for a step of the screen's set-up that failed; none for the
// display mode, whose words name the mode.
const char* SetUpFailureWords(ScreenFailure failure) {
    switch (failure) {
        case kScreenNoWindow:
            return "cannot create the display window";
        case kScreenNoInputSystem:
            return "cannot load DirectInput (DINPUT.DLL)";
        case kScreenNoKeyboard:
            return "cannot set up the keyboard";
        case kScreenNoDisplaySystem:
            return "cannot load DirectDraw (DDRAW.DLL)";
        default:
            return nullptr;
    }
}

// The system's words for a reason, without the line end Windows adds; false
// where it has none.
bool ReasonWords(DWORD reason, char* words, DWORD size) {
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, reason, 0, words,
                                  size, nullptr);
    while (length > 0 && std::isspace(static_cast<unsigned char>(words[length - 1]))) words[--length] = 0;
    return length > 0;
}

// The words of a reason the system gave; false for none, or none it words.
bool Reason(DWORD number, char* words, DWORD size) {
    return number != ERROR_SUCCESS && ReasonWords(number, words, size);
}

// Says why the display could not be opened, then ends with code 1: a
// program that cannot show anything must not report success. The line goes
// to the debugger's output and a message box on Windows (a GUI program has no
// console), and to standard error on Linux. Where the desktops' scan found
// none, or the mode could not be set, the system's reason follows, if it
// gave one.
[[noreturn]] void EndForNoDisplay(const ProgramState& program) {
    char line[400];
    char reason[300] = {};
    const char* words = SetUpFailureWords(ScreenState.failure);
    if (ScreenState.parentWindow && !words) {
        const bool said = Reason(ScreenState.failureReason, reason, sizeof(reason));
        std::snprintf(line, sizeof(line), "ravlin: cannot draw in the window given%s%s\n", said ? ": " : "", reason);
    } else if (program.screenWidth <= 0 || program.screenHeight <= 0) {
        const bool said = Reason(DesktopNoneReason(), reason, sizeof(reason));
        std::snprintf(line, sizeof(line), "ravlin: looked for a display to show on and found none%s%s\n",
                      said ? ": " : "", reason);
    } else if (words) {
        std::snprintf(line, sizeof(line), "ravlin: %s\n", words);
    } else {
        const bool said = Reason(ScreenState.failureReason, reason, sizeof(reason));
        std::snprintf(line, sizeof(line), "ravlin: cannot open a %d x %d x %d full-screen display%s%s\n",
                      program.screenWidth, program.screenHeight, kScreenDepth, said ? ": " : "", reason);
    }
    OutputDebugStringA(line);
    MessageBoxA(nullptr, line, kWindowTitle, MB_OK | MB_ICONERROR);
    ProgramEnd(1);
}

void DrawFrame(const ProgramState& program) {
    ScreenClear(kClearColour);
    DrawBegin(ScreenDrawTarget());
    OrbitSceneDraw(program.clock, program.scale, program.centreX, program.centreY);
    DrawEnd();
    ScreenFlip();
}

// F2 is asked first, before the any-key question takes this frame's releases;
// then any key (asked whatever F2 gave, so that this frame's releases are
// taken either way), then a move of more than 50 counts right or down.
bool ExitTestFires(bool* screenshot) {
    *screenshot = KeyReleased(kScreenshotKey) != 0;
    bool anyKey = KeyReleased(kAnyKey) != 0;
    return *screenshot || anyKey || MouseMoveX() > kMouseThreshold || MouseMoveY() > kMouseThreshold;
}

// A save that failed leaves the earlier file as it was, and says why, as
// the system words the reason, in one line.
void ReportFailedSave() {
    const DWORD reason = GetLastError();
    char words[200] = {};
    if (!ReasonWords(reason, words, sizeof(words))) {
        std::snprintf(words, sizeof(words), "error %u", static_cast<unsigned>(reason));
    }
    char line[260];
    std::snprintf(line, sizeof(line), "ravlin: could not save %s: %s\n", kScreenshotFile, words);
    OutputDebugStringA(line);
}

// The draw buffer is the back buffer again after the flip: it is what is grabbed.
void SaveScreenshot(const ProgramState& program) {
    if (!SpriteGrab(kScreenshotSprite, 0, 0, program.screenWidth, program.screenHeight) ||
        !SpriteSave(kScreenshotSprite, kScreenshotFile)) {
        ReportFailedSave();
    }
}

// The scene takes its centre from the screen's size.
void FollowScreenSize(ProgramState& program) {
    program.screenWidth = ScreenState.screenWidth;
    program.screenHeight = ScreenState.screenHeight;
    program.centreX = program.screenWidth / 2;
    program.centreY = program.screenHeight / 2;
}

// In another program's window (a screen saver's) the scene follows the
// window's size at the same pace, and keys and the mouse are not asked: the
// program ends, with 0, once the window has gone or was asked to close.
[[noreturn]] void RunInWindow(ProgramState& program) {
    for (;;) {
        program.clock += kClockStep;
        FollowScreenSize(program);
        DrawFrame(program);
        if (ScreenWindowGone()) ProgramEnd(0);
        WaitMilliseconds(kFrameWait);
    }
}

}  // namespace

void ProgramMain() {
    ProgramState& program = Runtime.program;
    RECT window = {};
    const bool inWindow = ScreenState.parentWindow != nullptr;
    if (inWindow) GetClientRect(ScreenState.parentWindow, &window);
    program.screenWidth = inWindow ? window.right : DesktopPixelWidth(kDesktop);
    program.screenHeight = inWindow ? window.bottom : DesktopPixelHeight(kDesktop);
    if (!ScreenOpen(program.screenWidth, program.screenHeight, kScreenDepth, kWindowTitle)) {
        EndForNoDisplay(program);
    }
    program.centreX = program.screenWidth / 2;
    program.centreY = program.screenHeight / 2;
    program.scale = 1.0f;
    if (inWindow) RunInWindow(program);
    GammaRampSet(0, 0, 0, 1);

    for (;;) {
        program.clock += kClockStep;
        DrawFrame(program);
        if (program.scale > kWaitThreshold) WaitMilliseconds(kFrameWait);
        KeyboardPoll();
        MousePoll();
        bool screenshot = false;
        if (ExitTestFires(&screenshot)) {
            if (screenshot) SaveScreenshot(program);
            program.quitting = 1;
        }
        if (program.quitting) program.scale *= kShrinkFactor;
        if (program.scale < kEndThreshold) break;
    }

    ScreenClear(kClearColour);
    ScreenFlip();
    ProgramEnd(0);
}
