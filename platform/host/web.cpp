// The web host: the program in a browser page, built with Emscripten and
// Asyncify. The program's loop runs as it is: Sleep and the flip's wait for
// the vertical blank suspend the program and give the browser its turn.
//
// - The clock is the page's performance.now().
// - The one desktop is the page's viewport in device pixels.
// - The exclusive display is the page's canvas: a present converts the
//   changed rectangle to RGBA and puts it into the canvas with putImageData.
//   The vertical blank is the browser's next animation frame.
// - Events come from the page's listeners, which this host adds when it
//   starts and removes at the end: keys by KeyboardEvent.code, the mouse's
//   movementX/movementY, a finger as the mouse (its moves in device pixels),
//   focus and visibility. The first key, click or tap asks for full screen
//   and the first click for Pointer Lock.
//
// The page's half of the host, in web_page.js, is the object Module.webHost,
// made by WebPageStart: the canvas, its context and the events not yet taken.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/kit.h"
#include "platform/host/scan_line.h"
#include "platform/host/web_keys.h"

// The page's half of the host, in web_page.js beside this file.
extern "C" {
void WebPageStart();
void WebKeyCode(const char* name, int code);
double WebNow();
int WebViewportWidth();
int WebViewportHeight();
int WebRefreshRate();
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
    int refresh = 60;  // the page's animation frames a second, as it measured them
    bool displayOpen = false;
    int width = 0;  // the open mode: the canvas's size
    int height = 0;
    // True while the canvas holds no whole earlier frame: after a new mode.
    bool wholeFrameDue = true;
    // The canvas's picture as RGBA, which putImageData takes.
    std::vector<uint32_t> rgba;
    // The last animation frame's time (ms): the vertical blanks follow it.
    double blankOrigin = 0;
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

// Waits for the browser's next animation frame and answers its time in ms.
// It suspends the program: Asyncify waits for an EM_ASYNC_JS function.
// clang-format off
EM_ASYNC_JS(double, WebAnimationFrame, (), { return await new Promise((resolve) => requestAnimationFrame(resolve)); });
// clang-format on

// The page's listeners and key table, the first time the host is asked anything.
void StartPage() {
    if (WebHost.pageStarted) return;
    WebHost.pageStarted = true;
    WebPageStart();
    for (const WebKey& key : WebKeys()) WebKeyCode(key.name, key.code);
    WebHost.start = WebNow();
    WebHost.workSince = WebHost.start;
    WebHost.refresh = std::max(WebRefreshRate(), 1);
}

}  // namespace

// ---- clock and process ----------------------------------------------------

int64_t HostTicks() {
    StartPage();
    return static_cast<int64_t>((WebNow() - WebHost.start) * kTicksPerMillisecond);
}

int64_t HostTicksPerSecond() { return kHostTicksPerSecond; }

void HostSleep(uint32_t milliseconds) {
    const double before = WebNow();
    WebHost.workMs += before - WebHost.workSince;
    emscripten_sleep(milliseconds);
    WebHost.workSince = WebNow();
}

// The page hears of the end through Module.onExit, with the code.
void HostExit(uint32_t code) {
    StartPage();
    WebPageEnd();
    emscripten_force_exit(static_cast<int>(code));
}

// ---- desktops -------------------------------------------------------------

int HostDesktopCount() { return 1; }

HostDesktop HostDesktopAt(int index) {
    return index == 0 ? HostDesktopOf(0, true, HostPrimaryDesktop()) : HostDesktop{};
}

HostDesktopMode HostPrimaryDesktop() {
    StartPage();
    return {WebViewportWidth(), WebViewportHeight(), 32, WebHost.refresh};
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
        WebHost.wholeFrameDue = true;
        WebCanvasOpen(width, height);
    }
    WebHost.displayOpen = true;
    WebHost.blankOrigin = WebNow();
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

// The picture reaches the canvas at the animation frame that follows, as a
// display shows a flipped buffer at its next vertical blank.
void HostDisplayPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                        bool atVerticalBlank) {
    if (!WebHost.displayOpen) return;
    const double begin = WebNow();
    WebHost.workMs += begin - WebHost.workSince;
    const HostRect area = HostAreaToShow(changed, std::min(width, WebHost.width), std::min(height, WebHost.height),
                                         WebHost.wholeFrameDue);
    const bool any = !HostAreaEmpty(area);
    if (any) ConvertToRgba(pixels, pitch, area);
    double waited = 0;
    if (atVerticalBlank) {
        const double beforeWait = WebNow();
        WebHost.blankOrigin = WebAnimationFrame();
        waited = WebNow() - beforeWait;
    }
    if (any) {
        WebCanvasPut(WebHost.rgba.data(), WebHost.width, WebHost.height, area.left, area.top, area.right, area.bottom);
    }
    WebHost.wholeFrameDue = false;
    const double end = WebNow();
    WebFrameReport(WebHost.workMs, end - begin - waited);
    WebHost.workMs = 0;
    WebHost.workSince = end;
}

// Refresh intervals begin at the animation frames.
int HostDisplayScanLine() {
    const int lines = WebHost.displayOpen ? WebHost.height : HostPrimaryDesktop().height;
    const double period = 1000.0 / WebHost.refresh;
    const double since = std::max(WebNow() - WebHost.blankOrigin, 0.0);
    const auto phase = static_cast<int64_t>(std::fmod(since, period) * kTicksPerMillisecond);
    return ScanLineAt(phase, static_cast<int64_t>(period * kTicksPerMillisecond), lines);
}

int HostDisplayRefreshRate() {
    StartPage();
    return WebHost.refresh;
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
