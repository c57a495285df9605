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
//   movementX/movementY, focus and visibility. The first key or click asks
//   for full screen and the first click for Pointer Lock.
//
// The page's half of the host is the object Module.webHost, made by
// WebPageStart: the canvas, its context and the events not yet taken.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/kit.h"
#include "platform/host/scan_line.h"
#include "platform/host/web_keys.h"

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

// Makes Module.webHost and adds the page's listeners. Key codes are added by
// WebKeyCode; the events wait in `events` as [type, code, x, y].
// clang-format off
EM_JS(void, WebPageStart, (), {
    const host = Module.webHost = {
        canvas: Module.canvas || document.querySelector("canvas"),
        events: [], keyCodes: new Map(), keysDown: new Set(), active: true, asked: false,
        refresh: Module.refreshRate || 60, listeners: [],
    };
    host.context = host.canvas.getContext("2d", {alpha: false});
    const push = (type, code, x, y) => host.events.push([type, code, x, y]);
    const focus = (active) => {
        if (active === host.active) return;
        host.active = active;
        if (!active) host.keysDown.clear();  // the page hears nothing of keys while away
        push(active ? 1 : 0, 0, 0, 0);
    };
    // Full screen on the first key or click, Pointer Lock on the first click:
    // where the browser allows them, which is only inside such an event.
    const ask = (click) => {
        if (!host.asked && document.documentElement.requestFullscreen) {
            host.asked = true;
            document.documentElement.requestFullscreen().catch(() => {});
        }
        if (click && document.pointerLockElement !== host.canvas && host.canvas.requestPointerLock) {
            try { const lock = host.canvas.requestPointerLock(); if (lock && lock.catch) lock.catch(() => {}); } catch (e) {}
        }
    };
    const key = (down) => (event) => {
        const code = host.keyCodes.get(event.code);
        if (!code) return;
        event.preventDefault();
        if (down) ask(false);
        // Repeats are not presses, and a release is news only of a key seen down.
        if (down === host.keysDown.has(code)) return;
        if (down) host.keysDown.add(code); else host.keysDown.delete(code);
        push(down ? 3 : 4, code, 0, 0);
    };
    const buttons = [1, 3, 2];  // left, middle, right as the host numbers them
    const button = (down) => (event) => {
        if (down) ask(true);
        if (event.button < 3) push(7, buttons[event.button], down ? 1 : 0, 0);
    };
    const listen = (target, name, handler) => {
        target.addEventListener(name, handler, {passive: false});
        host.listeners.push([target, name, handler]);
    };
    listen(window, "keydown", key(true));
    listen(window, "keyup", key(false));
    listen(window, "mousedown", button(true));
    listen(window, "mouseup", button(false));
    listen(window, "mousemove", (event) => {
        if (host.active && (event.movementX || event.movementY)) push(6, 0, event.movementX | 0, event.movementY | 0);
    });
    // A notch a wheel event, away from the user counting up.
    listen(window, "wheel", (event) => { if (event.deltaY) push(8, event.deltaY < 0 ? 120 : -120, 0, 0); });
    listen(window, "contextmenu", (event) => event.preventDefault());
    listen(window, "blur", () => focus(false));
    listen(window, "focus", () => focus(true));
    listen(document, "visibilitychange", () => focus(document.visibilityState === "visible"));
});

EM_JS(void, WebKeyCode, (const char* name, int code), { Module.webHost.keyCodes.set(UTF8ToString(name), code); });

EM_JS(double, WebNow, (), { return performance.now(); });

EM_JS(int, WebViewportWidth, (), { return Math.round(window.innerWidth * (window.devicePixelRatio || 1)); });
EM_JS(int, WebViewportHeight, (), { return Math.round(window.innerHeight * (window.devicePixelRatio || 1)); });
EM_JS(int, WebRefreshRate, (), { return Module.webHost.refresh; });

// Sizes the canvas for a mode; the keys down now come back as KeyHeld.
EM_JS(void, WebCanvasOpen, (int width, int height), {
    const host = Module.webHost;
    host.canvas.width = width;
    host.canvas.height = height;
    host.image = null;
    for (const code of host.keysDown) host.events.push([5, code, 0, 0]);
});

EM_JS(void, WebCanvasCursor, (bool visible), { Module.webHost.canvas.style.cursor = visible ? "" : "none"; });

// Puts the RGBA picture's rectangle into the canvas. The ImageData lies over
// the program's memory and is made again when that memory grows.
EM_JS(void, WebCanvasPut, (const uint32_t* rgba, int width, int height, int left, int top, int right, int bottom), {
    const host = Module.webHost;
    if (!host.image || host.image.data.buffer !== HEAPU8.buffer || host.imageAt !== rgba) {
        host.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
        host.imageAt = rgba;
    }
    host.context.putImageData(host.image, 0, 0, left, top, right - left, bottom - top);
});

// Waits for the browser's next animation frame; its time in ms.
EM_ASYNC_JS(double, WebAnimationFrame, (), { return await new Promise((resolve) => requestAnimationFrame(resolve)); });

// Tells the page of a present: its number is the page's to count.
EM_JS(void, WebFrameReport, (double workMs, double presentMs), {
    if (Module.onRavlinFrame) Module.onRavlinFrame(workMs, presentMs);
});

// The next event, into out[4]; false when none is waiting.
EM_JS(bool, WebTakeEvent, (int32_t* out), {
    const event = Module.webHost.events.shift();
    if (!event) return false;
    HEAP32.set(event, out >> 2);
    return true;
});

EM_JS(void, WebPageEnd, (), {
    const host = Module.webHost;
    for (const listener of host.listeners) listener[0].removeEventListener(listener[1], listener[2]);
    if (document.pointerLockElement && document.exitPointerLock) document.exitPointerLock();
    host.canvas.style.cursor = "";
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
