// The headless host's own controls, for tests and benchmarks: the virtual
// clock, the desktops it reports, the frames presented, scripted events,
// fault injection and the end of the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/kit.h"

// HostExit does not end the process here: it throws this, so that a test can
// run the program to its end and read the exit code.
struct HeadlessExit {
    uint32_t code;
};

// Thrown by the present of the frame HeadlessStopAfterFrames names, so that
// a test can end a program that runs until it is stopped.
struct HeadlessStopped {};

// The virtual clock runs at this many ticks per second; only sleeping and
// waiting for the vertical blank move it.
constexpr int64_t kHeadlessTicksPerSecond = kHostTicksPerSecond;

// Time that passes with each reading of the counter (0 unless set), so that
// a busy wait on the counter comes to an end.
void HeadlessCounterStep(int64_t ticks);

// ---- desktops -------------------------------------------------------------

// One primary desktop of this mode, named "\\.\DISPLAY1".
void HeadlessSetDesktop(HostDesktopMode mode);
// Any list of display devices, in enumeration order.
void HeadlessSetDesktops(const std::vector<HostDesktop>& desktops);
// The words HostNoDisplayReason gives while there are no desktops, or the
// display is refused ("" at first).
void HeadlessSetNoDisplayReason(const std::string& words);
// From now on no mode can be set on the display, for the reason given.
void HeadlessRefuseDisplay(const std::string& words);

// ---- the display ----------------------------------------------------------

struct HeadlessFrame {
    int width;
    int height;
    uint64_t hash;                 // HeadlessHash of the pixels
    std::vector<uint32_t> pixels;  // kept only while HeadlessKeepPixels is on
    int64_t ticks;                 // the clock when it was presented
};

struct HeadlessDisplayState {
    bool open;
    int width;
    int height;
    int depth;
    int opens;  // how often the display was taken
    bool cursorVisible;
    // Refused to every mode (HeadlessRefuseDisplay), for the reason given.
    bool refused;
    uint16_t gamma[768];
};

// FNV-1a over the rows' pixels, padding left out.
uint64_t HeadlessHash(const uint8_t* pixels, int width, int height, int pitch);
void HeadlessKeepPixels(bool keep);
const std::vector<HeadlessFrame>& HeadlessFrames();
const HeadlessDisplayState& HeadlessDisplay();
// Every present copies what changed into the display's own copy of its
// picture (HeadlessShown), and a test's frame is taken from there. For
// benchmarks, presents only copy and record nothing, so frames are neither
// hashed nor counted, and the frame-scripted events and
// HeadlessStopAfterFrames stand still.
void HeadlessCopyPresents(bool copy);
const std::vector<uint32_t>& HeadlessShown();
// After `frames` frames in all have been presented, the next present throws
// HeadlessStopped (0: never).
void HeadlessStopAfterFrames(int frames);
// The refresh interval in ticks of the open mode (of the primary desktop).
int64_t HeadlessRefreshTicks();

// ---- a window of another program's ----------------------------------------

// A window of this id and size that HostWindowAttach can take (one at a time).
void HeadlessOfferWindow(uint64_t window, int width, int height);
// From the present of frame `frame` on (0: at once), the window offered has
// this size; 0 x 0: it has gone.
void HeadlessScriptWindowSize(int frame, int width, int height);
// Whether a window was taken.
bool HeadlessWindowAttached();

// ---- events ---------------------------------------------------------------

// Delivers `event` once `frame` frames have been presented (0: at once).
void HeadlessScript(int frame, HostEvent event);
// Keys held down before the program starts. The host reports the keys down
// (these, and those scripted down and not yet up) as KeyHeld events when the
// display is taken and after each FocusGained, as the SDL host does.
void HeadlessHoldKeys(const std::vector<int32_t>& codes);

// ---- faults ---------------------------------------------------------------

// Makes `operation` fail on its nth call from now (1: the next call) with
// `result`, and on the `times` - 1 calls after that too (times -1: for ever).
void HeadlessFailOn(const char* operation, int nth, int64_t result, int times = 1);
// Faults armed and not yet spent.
int HeadlessFaultsPending();

// Forgets faults, frames, windows and scripted events, closes the display and puts
// back one desktop of 1024 x 768 x 32 at 60 Hz. The clock runs on.
void HeadlessReset();
