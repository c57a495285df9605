// The headless host: a virtual clock, desktops, a display whose frames are
// kept in memory, scripted events and fault injection. The smallest complete
// host.
//
// Limits: no real time passes; the clock moves only by sleeps and the waits
// for the vertical blank. Nothing is shown anywhere.
//
// Depends on the C++ library only.
#include "platform/host/headless.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "platform/host/blank_clock.h"
#include "platform/host/kit.h"

namespace {

struct Fault {
    std::string operation;
    int callsToSkip;
    int64_t result;
    int timesLeft;  // -1: never runs out
};

struct ScriptedEvent {
    int frame;
    HostEvent event;
};

HostDesktop PrimaryDesktop(HostDesktopMode mode) { return HostDesktopOf(0, true, mode); }

HeadlessDisplayState ClosedDisplay() {
    HeadlessDisplayState display = {};
    display.cursorVisible = true;
    HostIdentityRamp(display.gamma);
    return display;
}

struct WindowSize {
    int frame;
    int width;
    int height;
};

// A window of another program's, offered by a test.
struct HeadlessWindow {
    uint64_t id = 0;
    int width = 0;  // 0 x 0: none, or gone
    int height = 0;
    bool attached = false;
    bool refused = false;          // the last attach found no such window
    std::deque<WindowSize> sizes;  // scripted, in order of frame
};

struct HeadlessHostState {
    int64_t ticks = 0;
    int64_t counterStep = 0;
    std::vector<HostDesktop> desktops = {PrimaryDesktop({1024, 768, 32, 60})};
    std::string noDisplayReason;
    HeadlessDisplayState display = ClosedDisplay();
    bool keepPixels = false;
    // Benchmarks: presents copy into `shown` and record nothing.
    bool copyPresents = false;
    // The display's own copy of the picture it shows, width x height, as a
    // real display holds one: every present copies what changed into it.
    // Empty until the first present after the mode is set.
    std::vector<uint32_t> shown;
    FrameMirror mirror;
    int stopAfterFrames = 0;
    std::vector<HeadlessFrame> frames;
    std::deque<ScriptedEvent> script;  // in order of frame, then of scripting
    // The keys down now, as the keyboard itself has them: those held from the
    // start, then as scripted key events press and release them.
    std::vector<int32_t> keysDown;
    std::vector<Fault> faults;
    HeadlessWindow window;
};

HeadlessHostState HeadlessHost;

HostDesktopMode PrimaryMode() {
    for (const HostDesktop& desktop : HeadlessHost.desktops) {
        if (desktop.primary) return desktop.mode;
    }
    return HeadlessHost.desktops.empty() ? HostDesktopMode{0, 0, 0, 0} : HeadlessHost.desktops[0].mode;
}

int RefreshRate() {
    int refresh = PrimaryMode().refresh;
    return refresh > 1 ? refresh : 60;
}

// The vertical blanks come at whole refresh periods of the clock.
BlankClock Clock() { return {0, RefreshRate()}; }

// The keys down, given out next, as the SDL host does when the display is
// taken and when the focus comes back.
void ReportKeysDown() {
    const std::vector<int32_t>& down = HeadlessHost.keysDown;
    for (auto code = down.rbegin(); code != down.rend(); ++code) {
        HeadlessHost.script.push_front({0, {HostEventType::KeyHeld, *code, 0, 0}});
    }
}

}  // namespace

// ---- clock and process ----------------------------------------------------

int64_t HostTicks() {
    HeadlessHost.ticks += HeadlessHost.counterStep;
    return HeadlessHost.ticks;
}

void HeadlessCounterStep(int64_t ticks) { HeadlessHost.counterStep = ticks; }

int64_t HostTicksPerSecond() { return kHeadlessTicksPerSecond; }

void HostSleep(uint32_t milliseconds) {
    HeadlessHost.ticks += int64_t{milliseconds} * (kHeadlessTicksPerSecond / 1000);
}

void HostExit(uint32_t code) { throw HeadlessExit{code}; }

// ---- desktops -------------------------------------------------------------

int HostDesktopCount() { return static_cast<int>(HeadlessHost.desktops.size()); }

HostDesktop HostDesktopAt(int index) {
    if (index < 0 || index >= HostDesktopCount()) return HostDesktop{};
    return HeadlessHost.desktops[size_t(index)];
}

HostDesktopMode HostPrimaryDesktop() { return PrimaryMode(); }

void HeadlessSetDesktop(HostDesktopMode mode) { HeadlessHost.desktops = {PrimaryDesktop(mode)}; }

void HeadlessSetDesktops(const std::vector<HostDesktop>& desktops) { HeadlessHost.desktops = desktops; }

const char* HostNoDisplayReason() {
    const bool failed = HeadlessHost.desktops.empty() || HeadlessHost.display.refused || HeadlessHost.window.refused;
    return failed ? HeadlessHost.noDisplayReason.c_str() : "";
}

void HeadlessSetNoDisplayReason(const std::string& words) { HeadlessHost.noDisplayReason = words; }

void HeadlessRefuseDisplay(const std::string& words) {
    HeadlessHost.display.refused = true;
    HeadlessHost.noDisplayReason = words;
}

// ---- the display ----------------------------------------------------------

bool HostDisplayOpen(int width, int height, int depth) {
    HeadlessDisplayState& display = HeadlessHost.display;
    if (width <= 0 || height <= 0 || display.refused) return false;
    display.open = true;
    display.width = width;
    display.height = height;
    display.depth = depth;
    ++display.opens;
    HeadlessHost.shown.clear();  // the next present shows a whole frame
    ReportKeysDown();
    return true;
}

void HostDisplayClose() { HeadlessHost.display.open = false; }

uint64_t HeadlessHash(const uint8_t* pixels, int width, int height, int pitch) {
    uint64_t hash = 14695981039346656037ull;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + int64_t{y} * pitch;
        for (int i = 0; i < width * 4; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
    }
    return hash;
}

namespace {

void WaitForVerticalBlank() { HeadlessHost.ticks = Clock().BlankAfter(HeadlessHost.ticks); }

// What a real display's present costs: a copy of what changed into memory of
// its own, allocated once per mode, where the whole first frame goes.
void CopyToShown(const uint8_t* pixels, int width, int height, int pitch, HostRect changed) {
    std::vector<uint32_t>& shown = HeadlessHost.shown;
    if (shown.size() != size_t(width) * height) {
        shown.assign(size_t(width) * height, 0);
        HeadlessHost.mirror.Invalidate();
    }
    HostCopyArea(reinterpret_cast<uint8_t*>(shown.data()), int64_t{width} * 4, pixels, pitch,
                 HeadlessHost.mirror.AreaToShow(changed, width, height), width);
    HeadlessHost.mirror.Shown();
}

void StopIfDue() {
    if (HeadlessHost.stopAfterFrames > 0 && int(HeadlessHost.frames.size()) >= HeadlessHost.stopAfterFrames) {
        throw HeadlessStopped{};
    }
}

// What the display (or the window) shows now, width x height, as a frame.
void RecordShown(int width, int height) {
    const std::vector<uint32_t>& shown = HeadlessHost.shown;
    HeadlessFrame frame = {width,
                           height,
                           HeadlessHash(reinterpret_cast<const uint8_t*>(shown.data()), width, height, width * 4),
                           {},
                           HeadlessHost.ticks};
    if (HeadlessHost.keepPixels) frame.pixels = shown;
    HeadlessHost.frames.push_back(std::move(frame));
}

}  // namespace

// A test's frame is what the display shows after the present, so that what
// did not reach it counts.
void HostDisplayPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                        bool atVerticalBlank) {
    StopIfDue();
    if (atVerticalBlank) WaitForVerticalBlank();
    CopyToShown(pixels, width, height, pitch, changed);
    if (!HeadlessHost.copyPresents) RecordShown(width, height);
}

int64_t HeadlessRefreshTicks() { return Clock().Period(); }

int HostDisplayScanLine() {
    int lines = HeadlessHost.display.open ? HeadlessHost.display.height : PrimaryMode().height;
    return Clock().ScanLine(HeadlessHost.ticks, lines);
}

int HostDisplayRefreshRate() { return RefreshRate(); }

bool HostGammaRead(uint16_t ramp[768]) {
    std::memcpy(ramp, HeadlessHost.display.gamma, sizeof(HeadlessHost.display.gamma));
    return true;
}

bool HostGammaWrite(const uint16_t ramp[768]) {
    std::memcpy(HeadlessHost.display.gamma, ramp, sizeof(HeadlessHost.display.gamma));
    return true;
}

void HostCursorShow(bool visible) { HeadlessHost.display.cursorVisible = visible; }

void HeadlessKeepPixels(bool keep) { HeadlessHost.keepPixels = keep; }

void HeadlessCopyPresents(bool copy) { HeadlessHost.copyPresents = copy; }

const std::vector<uint32_t>& HeadlessShown() { return HeadlessHost.shown; }

void HeadlessStopAfterFrames(int frames) { HeadlessHost.stopAfterFrames = frames; }

const std::vector<HeadlessFrame>& HeadlessFrames() { return HeadlessHost.frames; }

const HeadlessDisplayState& HeadlessDisplay() { return HeadlessHost.display; }

// ---- a window of another program's ----------------------------------------

void HeadlessOfferWindow(uint64_t window, int width, int height) {
    HeadlessHost.window = {window, width, height, false, false, {}};
}

void HeadlessScriptWindowSize(int frame, int width, int height) {
    HeadlessHost.window.sizes.push_back({frame, width, height});
}

bool HeadlessWindowAttached() { return HeadlessHost.window.attached; }

bool HostWindowAttach(uint64_t window) {
    HeadlessWindow& offered = HeadlessHost.window;
    offered.attached = offered.width > 0 && offered.id == window;
    offered.refused = !offered.attached;
    if (offered.refused) HeadlessHost.noDisplayReason = "there is no window " + std::to_string(window);
    return offered.attached;
}

bool HostWindowSize(int* width, int* height) {
    HeadlessWindow& window = HeadlessHost.window;
    while (!window.sizes.empty() && window.sizes.front().frame <= int(HeadlessHost.frames.size())) {
        window.width = window.sizes.front().width;
        window.height = window.sizes.front().height;
        window.sizes.pop_front();
    }
    *width = window.width;
    *height = window.height;
    return window.attached && window.width > 0;
}

// The window's picture: the frame from its top-left corner, over what the
// window showed before.
void HostWindowPresent(const uint8_t* pixels, int width, int height, int pitch) {
    StopIfDue();
    int shownWidth = 0;
    int shownHeight = 0;
    if (!HostWindowSize(&shownWidth, &shownHeight)) return;
    std::vector<uint32_t>& shown = HeadlessHost.shown;
    if (shown.size() != size_t(shownWidth) * shownHeight) shown.assign(size_t(shownWidth) * shownHeight, 0);
    const HostRect area = {0, 0, std::min(width, shownWidth), std::min(height, shownHeight)};
    HostCopyArea(reinterpret_cast<uint8_t*>(shown.data()), int64_t{shownWidth} * 4, pixels, pitch, area, shownWidth);
    RecordShown(shownWidth, shownHeight);
}

void HostWaitForVerticalBlank() { WaitForVerticalBlank(); }

// ---- events ---------------------------------------------------------------

void HeadlessScript(int frame, HostEvent event) {
    auto later = std::upper_bound(HeadlessHost.script.begin(), HeadlessHost.script.end(), frame,
                                  [](int f, const ScriptedEvent& scripted) { return f < scripted.frame; });
    HeadlessHost.script.insert(later, ScriptedEvent{frame, event});
}

void HeadlessHoldKeys(const std::vector<int32_t>& codes) { HeadlessHost.keysDown = codes; }

bool HostNextEvent(HostEvent* event) {
    if (HeadlessHost.script.empty()) return false;
    const ScriptedEvent& next = HeadlessHost.script.front();
    if (next.frame > static_cast<int>(HeadlessHost.frames.size())) return false;
    *event = next.event;
    HeadlessHost.script.pop_front();
    std::vector<int32_t>& down = HeadlessHost.keysDown;
    switch (event->type) {
        case HostEventType::KeyDown:
            if (std::find(down.begin(), down.end(), event->code) == down.end()) down.push_back(event->code);
            break;
        case HostEventType::KeyUp:
            std::erase(down, event->code);
            break;
        case HostEventType::FocusGained:
            ReportKeysDown();
            break;
        default:
            break;
    }
    return true;
}

// ---- faults ---------------------------------------------------------------

bool HostFault(const char* operation, int64_t* result) {
    if (HeadlessHost.faults.empty()) return false;
    // Every armed fault of this operation counts the call; the first one due fires.
    bool fired = false;
    for (auto it = HeadlessHost.faults.begin(); it != HeadlessHost.faults.end(); ++it) {
        if (it->operation != operation) continue;
        if (it->callsToSkip > 0) {
            --it->callsToSkip;
            continue;
        }
        if (fired) continue;
        fired = true;
        *result = it->result;
        if (it->timesLeft > 0) --it->timesLeft;
    }
    // Spent faults go once the walk is over.
    std::erase_if(HeadlessHost.faults, [](const Fault& fault) { return fault.timesLeft == 0; });
    return fired;
}

void HeadlessFailOn(const char* operation, int nth, int64_t result, int times) {
    HeadlessHost.faults.push_back({operation, nth > 1 ? nth - 1 : 0, result, times});
}

int HeadlessFaultsPending() { return static_cast<int>(HeadlessHost.faults.size()); }

void HeadlessReset() {
    int64_t ticks = HeadlessHost.ticks;
    HeadlessHost = HeadlessHostState{};
    HeadlessHost.ticks = ticks;
}
