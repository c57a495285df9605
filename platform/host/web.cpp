// The web host: the program in a browser page, built with Emscripten and
// Asyncify. The program's loop runs as it is: Sleep and the flip's wait for
// the vertical blank suspend the program and give the browser its turn.
//
// - The clock is the page's performance.now().
// - The one desktop is the page's viewport in device pixels.
// - The exclusive display is the page's canvas: a present converts the
//   changed rectangle to RGBA and puts it into the canvas with putImageData,
//   which the browser shows at its next animation frame.
// - The vertical blanks are the host's own clock of them, as on a display
//   without vertical sync: an animation frame is no blank, since a browser
//   may give one at once after a pause. The page measures the gap between a
//   few animation frames in a row while the program already runs; until
//   then the clock runs at 60 a second.
// - Events come from the page's listeners, which this host adds when it
//   starts and removes at the end: keys by KeyboardEvent.code, the mouse's
//   movementX/movementY, a finger as the mouse (its moves in device pixels),
//   focus and visibility. The first key, click or tap asks for full screen
//   and the first click for Pointer Lock.
//
// The page's half of the host, in web_page.js, is the object Module.webHost,
// made by WebPageStart: the canvas, its context and the events not yet taken.
//
// Limits: gamma reads as the identity and cannot be set; full screen and
// Pointer Lock only where the browser grants them; keys only while the page
// has the focus.
//
// Depends on Emscripten (Asyncify) and a browser with canvas 2D.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/host/blank_clock.h"
#include "platform/host/host.h"
#include "platform/host/kit.h"
#include "platform/host/web_keys.h"

// The page's half of the host, in web_page.js beside this file.
extern "C" {
void WebPageStart();
void WebKeyCode(const char* name, int code);
double WebNow();
int WebViewportWidth();
int WebViewportHeight();
double WebMeasuredFrameGap(double* lastFrame);
void WebCanvasOpen(int width, int height);
void WebCanvasCursor(bool visible);
void WebCanvasPut(const uint32_t* rgba, int width, int height, int left, int top, int right, int bottom);
void WebFrameReport(double workMs, double presentMs);
int WebTakeEvent(int32_t* out);
void WebPageEnd();
}

namespace {

constexpr double kTicksPerMillisecond = kHostTicksPerSecond / 1000.0;

struct WebHostState {
    bool pageStarted = false;
    double start = 0;  // performance.now() when the host started, in ms
    // The clock of vertical blanks; `measured` once it runs at the page's
    // measure of the refresh.
    BlankClock clock;
    bool measured = false;
    bool displayOpen = false;
    int width = 0;  // the open mode: the canvas's size
    int height = 0;
    FrameMirror mirror;  // the canvas holds no whole earlier frame after a new mode
    // The canvas's picture as RGBA, which putImageData takes.
    std::vector<uint32_t> rgba;
    // What the page reads for its frame report: the time the program ran
    // since the last present, not counting sleeps, and where that began.
    double workMs = 0;
    double workSince = 0;
};

WebHostState WebHost;

// The page's events are [type, code, x, y], the type numbered as here.
static_assert(int(HostEventType::FocusLost) == 0 && int(HostEventType::FocusGained) == 1 &&
              int(HostEventType::KeyDown) == 3 && int(HostEventType::KeyUp) == 4 && int(HostEventType::KeyHeld) == 5 &&
              int(HostEventType::MouseMove) == 6 && int(HostEventType::MouseButton) == 7 &&
              int(HostEventType::MouseWheel) == 8);

// ---- the page's half ------------------------------------------------------

// Tells the page of the end, and leaves the program suspended for good: its
// stack is never unwound by a throw, which would reach the page as an
// uncaught error. Asyncify suspends the program at an EM_ASYNC_JS function.
// clang-format off
EM_ASYNC_JS(void, WebEnd, (int code), {
    if (Module.onExit) Module.onExit(code);
    await new Promise(() => {});
});
// clang-format on

// The page's listeners and key table, the first time the host is asked anything.
void StartPage() {
    if (WebHost.pageStarted) return;
    WebHost.pageStarted = true;
    WebPageStart();
    for (const WebKey& key : WebKeys()) WebKeyCode(key.name, key.code);
    WebHost.start = WebNow();
    WebHost.workSince = WebHost.start;
}

int64_t TicksAt(double ms) { return static_cast<int64_t>((ms - WebHost.start) * kTicksPerMillisecond); }

// The page's measure of the refresh, once it has one: the clock runs at that
// rate from the last animation frame measured.
void TakeMeasuredRefresh() {
    if (WebHost.measured) return;
    double lastFrame = 0;
    const double gap = WebMeasuredFrameGap(&lastFrame);
    if (gap <= 0) return;
    WebHost.measured = true;
    WebHost.clock = {TicksAt(lastFrame), RefreshOfFrameGap(gap)};
}

// Sleeps until the clock's first blank after now. A browser's timer may
// wake a little early, so the wait goes on until the blank has come.
void WaitForVerticalBlank() {
    TakeMeasuredRefresh();
    const int64_t blank = WebHost.clock.BlankAfter(HostTicks());
    for (int64_t now = HostTicks(); now < blank; now = HostTicks()) {
        emscripten_sleep(static_cast<unsigned>(std::ceil(double(blank - now) / kTicksPerMillisecond)));
    }
}

}  // namespace

// ---- clock and process ----------------------------------------------------

int64_t HostTicks() {
    StartPage();
    return TicksAt(WebNow());
}

int64_t HostTicksPerSecond() { return kHostTicksPerSecond; }

// The time asleep is not the program's work.
void HostSleep(uint32_t milliseconds) {
    StartPage();
    WebHost.workMs += WebNow() - WebHost.workSince;
    emscripten_sleep(milliseconds);
    WebHost.workSince = WebNow();
}

// The page hears of the end through Module.onExit, with the code. The
// program is not unwound: nothing of it runs again.
void HostExit(uint32_t code) {
    StartPage();
    WebPageEnd();
    WebEnd(static_cast<int>(code));
    std::abort();  // not reached: the program is never resumed
}

// ---- desktops -------------------------------------------------------------

int HostDesktopCount() { return 1; }

HostDesktop HostDesktopAt(int index) {
    return index == 0 ? HostDesktopOf(0, true, HostPrimaryDesktop()) : HostDesktop{};
}

HostDesktopMode HostPrimaryDesktop() {
    StartPage();
    TakeMeasuredRefresh();
    return {WebViewportWidth(), WebViewportHeight(), 32, WebHost.clock.refresh};
}

// The page is always the one desktop.
const char* HostNoDisplayReason() { return ""; }

// ---- the exclusive display ------------------------------------------------

bool HostDisplayOpen(int width, int height, int depth) {
    (void)depth;  // frames arrive as 32-bit pixels whatever the depth
    if (width <= 0 || height <= 0) return false;
    StartPage();
    if (!WebHost.displayOpen || width != WebHost.width || height != WebHost.height) {
        WebHost.rgba.assign(size_t(width) * height, 0xFF000000u);
        WebHost.width = width;
        WebHost.height = height;
        WebHost.mirror.Invalidate();
        WebCanvasOpen(width, height);
    }
    WebHost.displayOpen = true;
    WebHost.workSince = WebNow();
    return true;
}

void HostDisplayClose() { WebHost.displayOpen = false; }

namespace {

// X8R8G8B8 to the canvas's RGBA, opaque, for the rectangle given.
void ConvertToRgba(const uint8_t* pixels, int pitch, const HostRect& area) {
    for (int y = area.top; y < area.bottom; ++y) {
        const auto* from = reinterpret_cast<const uint32_t*>(pixels + int64_t{y} * pitch);
        uint32_t* to = WebHost.rgba.data() + size_t(y) * WebHost.width;
        for (int x = area.left; x < area.right; ++x) {
            const uint32_t p = from[x];
            to[x] = 0xFF000000u | (p & 0x0000FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        }
    }
}

}  // namespace

// A present at the vertical blank waits for the clock's next one. The
// picture reaches the screen at the browser's next animation frame.
void HostDisplayPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                        bool atVerticalBlank) {
    if (!WebHost.displayOpen) return;
    const double begin = WebNow();
    WebHost.workMs += begin - WebHost.workSince;
    const HostRect area =
        WebHost.mirror.AreaToShow(changed, std::min(width, WebHost.width), std::min(height, WebHost.height));
    const bool any = !HostAreaEmpty(area);
    if (any) ConvertToRgba(pixels, pitch, area);
    double waited = 0;
    if (atVerticalBlank) {
        const double beforeWait = WebNow();
        WaitForVerticalBlank();
        waited = WebNow() - beforeWait;
    }
    if (any) {
        WebCanvasPut(WebHost.rgba.data(), WebHost.width, WebHost.height, area.left, area.top, area.right, area.bottom);
    }
    WebHost.mirror.Shown();
    const double end = WebNow();
    WebFrameReport(WebHost.workMs, end - begin - waited);
    WebHost.workMs = 0;
    WebHost.workSince = end;
}

// Refresh intervals begin at the clock's blanks.
int HostDisplayScanLine() {
    const int lines = WebHost.displayOpen ? WebHost.height : HostPrimaryDesktop().height;
    return WebHost.clock.ScanLine(HostTicks(), lines);
}

int HostDisplayRefreshRate() {
    StartPage();
    TakeMeasuredRefresh();
    return WebHost.clock.refresh;
}

// A page cannot change the display's gamma: it reads as the identity ramp,
// and writing it fails.
bool HostGammaRead(uint16_t ramp[768]) {
    HostIdentityRamp(ramp);
    return true;
}

bool HostGammaWrite(const uint16_t ramp[768]) {
    (void)ramp;
    return false;
}

void HostCursorShow(bool visible) {
    StartPage();
    WebCanvasCursor(visible);
}

// ---- a window of another program's ----------------------------------------

// A page has none: the canvas is its only display.
bool HostWindowAttach(uint64_t window) {
    (void)window;
    return false;
}

bool HostWindowSize(int* width, int* height) {
    *width = 0;
    *height = 0;
    return false;
}

void HostWindowPresent(const uint8_t* pixels, int width, int height, int pitch) {
    (void)pixels, (void)width, (void)height, (void)pitch;
}

void HostWaitForVerticalBlank() { WaitForVerticalBlank(); }

// ---- events ---------------------------------------------------------------

// Events in the order the page heard them; after a focus loss the page has
// forgotten the keys down, as it hears nothing of them while away.
bool HostNextEvent(HostEvent* event) {
    StartPage();
    int32_t fields[4] = {};
    if (!WebTakeEvent(fields)) return false;
    *event = {static_cast<HostEventType>(fields[0]), fields[1], fields[2], fields[3]};
    return true;
}
