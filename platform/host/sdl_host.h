// The SDL host's record, and the calls between its files: sdl_video.cpp
// (SDL's start, the clock, the desktops, the display and its present),
// sdl_events.cpp (SDL's and X's events, the keys held, the focus) and
// sdl_keys.cpp (the key table).
#pragma once

#include <SDL.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/kit.h"

struct wl_event_queue;
struct wl_registry;
struct wl_seat;
struct wl_keyboard;

using SteadyClock = std::chrono::steady_clock;

constexpr int kDefaultRefresh = 60;

struct SdlHostState {
    SteadyClock::time_point start = SteadyClock::now();
    bool sdlTried = false;
    bool sdlReady = false;
    // Why SDL reached no display: the drivers tried and SDL's words.
    std::string noDisplayReason;

    SDL_Window* window = nullptr;
    // A GPU's renderer and the texture it shows, or neither: then frames go
    // into the window's framebuffer, as last got.
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    SDL_Surface* framebuffer = nullptr;
    // For each column of the framebuffer's viewport, the mode's column it shows.
    std::vector<int> sourceColumns;
    // A row of the frame scaled, for a framebuffer of another pixel format.
    std::vector<uint32_t> scaledRow;
    // True while the window holds no whole earlier frame (a new mode or
    // framebuffer, or a window the desktop painted over): the next present
    // shows all of the frame.
    bool wholeFrameDue = true;
    int width = 0;  // the open mode; the texture's size
    int height = 0;
    int refresh = kDefaultRefresh;
    bool focused = false;

    // SDL reads the desktops' sizes when it starts and never again. The X
    // screen's size as RandR last reported it, where the screen is one
    // desktop; 0 until it has reported one.
    int screenWidth = 0;
    int screenHeight = 0;
    // The type of RandR's event for a new size of the screen; 0 while unasked.
    int screenChangeEvent = 0;

    // Whether the renderer's vsync waits for the display's own vertical blank.
    // Where it does not, presents at the vertical blank wait on the host's
    // clock of vertical blanks instead.
    bool vsyncFollowsDisplay = false;
    bool vsyncOn = false;
    // A vertical blank on the host's clock; the others follow 1/refresh apart.
    int64_t blankOrigin = 0;

    // Events made by the host itself, given out before SDL's.
    std::vector<HostEvent> pending;
    // X key codes reported down by the host that SDL knows nothing of; their
    // releases are the host's to report too.
    std::vector<int> keysHeldUnseen;

    // On native Wayland, a keyboard of the host's own on a queue of its own,
    // and the keys it has down, as XQueryKeymap lays them out.
    wl_event_queue* waylandQueue = nullptr;
    wl_registry* waylandRegistry = nullptr;
    wl_seat* waylandSeat = nullptr;
    wl_keyboard* waylandKeyboard = nullptr;
    std::array<char, 32> waylandKeys = {};
};

extern SdlHostState SdlHost;

// Starts SDL on first use; false where no display can be reached.
bool SdlReady();

// Reports the keys already down when the display is taken or the focus
// comes back, as KeyHeld events.
void SdlReportKeysHeld();
// Asks to hear of new sizes of the screen, once a window is made.
void SdlWatchScreenSize();
// On native Wayland (sdl_wayland.cpp): watches the keys down through a
// keyboard of the host's own, once a window is made; fills `keys` as
// XQueryKeymap does, false where not watching; and stops watching.
void SdlWatchWaylandKeys();
bool SdlWaylandKeysDown(char (&keys)[32]);
void SdlForgetWaylandKeys();
// The mouse reports relative counts only while the display is ours.
void SdlFollowFocus(bool focused);
