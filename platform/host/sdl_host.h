// The SDL host's record, with a sub-record for X and one for Wayland in
// their own headers, and the calls between its files (each says at its top
// what it holds).
#pragma once

#include <SDL.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/blank_clock.h"
#include "platform/host/host.h"
#include "platform/host/kit.h"
#include "platform/host/sdl_wayland.h"
#include "platform/host/sdl_x11.h"

using SteadyClock = std::chrono::steady_clock;

constexpr int kDefaultRefresh = 60;

// How frames reach the window, chosen once, when the window is made: through
// a GPU's renderer, into the window's framebuffer, or on native Wayland into
// buffers of the host's own. `open` takes a new mode of width x height
// (false where it cannot), `present` shows a frame as HostDisplayPresent
// does, and `close` lets go of what the presenter holds before the window
// goes.
struct SdlPresenter {
    bool (*open)(int width, int height) = nullptr;
    void (*present)(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                    bool atVerticalBlank) = nullptr;
    void (*close)() = nullptr;
};

struct SdlHostState {
    SteadyClock::time_point start = SteadyClock::now();
    bool sdlTried = false;
    bool sdlReady = false;
    // Why SDL reached no display: the drivers tried and SDL's words; and why
    // the display could not be taken for the last mode asked, or "".
    std::string noDisplayReason;
    std::string displayRefusal;

    SDL_Window* window = nullptr;
    SdlPresenter presenter;
    // A GPU's renderer and the texture it shows, or neither: then frames go
    // into the window's framebuffer, as last got.
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    SDL_Surface* framebuffer = nullptr;
    // For each column of the framebuffer's viewport, the mode's column it shows.
    std::vector<int> sourceColumns;
    // A row of the frame scaled, for a framebuffer of another pixel format.
    std::vector<uint32_t> scaledRow;
    // What the window holds of the frames presented.
    FrameMirror mirror;
    int width = 0;  // the open mode; the texture's size
    int height = 0;
    bool focused = false;

    SdlX11State x11;
    SdlWaylandState wayland;

    // Whether the renderer's vsync waits for the display's own vertical blank.
    // Where it does not, presents at the vertical blank wait on the host's
    // clock of vertical blanks instead.
    bool vsyncFollowsDisplay = false;
    bool vsyncOn = false;
    // The clock of vertical blanks, at the desktop's refresh.
    BlankClock clock = {0, kDefaultRefresh};

    // Events made by the host itself, given out before SDL's.
    std::vector<HostEvent> pending;
    // Set by SIGTERM or SIGINT while frames go into another program's
    // window: a Close event is due.
    volatile std::sig_atomic_t closeAsked = 0;
    // X key codes reported down by the host that SDL knows nothing of; their
    // releases are the host's to report too.
    std::vector<int> keysHeldUnseen;
};

extern SdlHostState SdlHost;

// Starts SDL on first use; false where no display can be reached. Whether
// the driver it started is Wayland's.
bool SdlReady();
bool SdlOnWayland();
// Notes why the display could not be taken, with SDL's words; false.
bool SdlRefused(const std::string& what);
// Sleeps until the host's clock reads `ticks`.
void SdlSleepUntil(int64_t ticks);

// The presenters (sdl_present.cpp): chooses one for the window just made;
// false, with the reason noted, where there is none. The part of a frame to
// upload, from what changed and the window's mirror (empty when nothing
// changed); and the copy of a frame's `area` into a framebuffer of the
// window's size, scaled, which answers the framebuffer's rectangle it covers.
bool SdlMakePresenter();
SDL_Rect SdlUploadArea(HostRect changed, int width, int height);
SDL_Rect SdlCopyIntoFramebuffer(SDL_Surface* surface, const uint8_t* pixels, int pitch, const SDL_Rect& area);

// Reports the keys already down when the display is taken or the focus
// comes back, as KeyHeld events.
void SdlReportKeysHeld();
// Asks to hear of new sizes of the screen, once a window is made.
void SdlWatchScreenSize();
// Ends the program where the display went away: one line saying so, and code
// 1, as where it could not be opened.
[[noreturn]] void SdlEndForLostDisplay(const char* words);
// The mouse reports relative counts only while the display is ours.
void SdlFollowFocus(bool focused);
