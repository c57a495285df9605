// The SDL host's record, and the calls between its files: sdl_video.cpp
// (SDL's start, the clock, the desktops, the display and its present),
// sdl_events.cpp (SDL's events, the keys held, the focus), sdl_x11.cpp (what
// the host asks of X itself), sdl_wayland.cpp (what it asks of Wayland itself)
// and sdl_keys.cpp (the key table).
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/host/blank_clock.h"
#include "platform/host/host.h"
#include "platform/host/kit.h"

struct _XDisplay;
struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_event_queue;
struct wl_keyboard;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_subcompositor;
struct wl_subsurface;
struct wl_surface;
struct xkb_context;
struct xkb_keymap;

using SteadyClock = std::chrono::steady_clock;

constexpr int kDefaultRefresh = 60;

// A buffer in shared memory that frames go into on native Wayland, shown on
// the window's surface: the compositor's from a commit until it releases it.
struct SdlWaylandBuffer {
    wl_buffer* buffer = nullptr;
    void* memory = nullptr;
    size_t bytes = 0;
    SDL_Surface* surface = nullptr;  // the memory, as SDL's surface of XRGB8888
    bool busy = false;
    // Holds no whole earlier frame: it is filled anew when next used.
    bool whole = true;
    // The mode's pixels presented since it last held a frame.
    SDL_Rect stale = {0, 0, 0, 0};
    // When it was last shown: the count of frames shown then.
    uint64_t shown = 0;
};

constexpr int kWaylandBuffersMost = 3;

// A monitor of an X screen, as RandR declares it: a rectangle of the screen.
struct SdlX11Monitor {
    int x;
    int y;
    int width;
    int height;
};

// What the host keeps of X, where SDL draws on an X display.
struct SdlX11State {
    // The host's own connection to SDL's X display, made before SDL's window,
    // to ask X what SDL does not pass on.
    _XDisplay* display = nullptr;
    bool windowManager = false;
    // The monitors, the primary first: RandR's, or the screen where it
    // declares none. The first is the window's place.
    std::vector<SdlX11Monitor> monitors;
    // The window that had X's input focus before the host's window was made
    // (or PointerRoot, 1), and how X was to revert it; given back at the end.
    unsigned long focusBefore = 0;
    int focusRevertBefore = 0;
    // The type of RandR's event for a new size of the screen; 0 while unasked.
    int screenChangeEvent = 0;
    // Whether X refused a request the host made for itself (Xlib's error
    // handler takes no data of its own).
    bool errorCaught = false;
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

    // Whether the renderer's vsync waits for the display's own vertical blank.
    // Where it does not, presents at the vertical blank wait on the host's
    // clock of vertical blanks instead.
    bool vsyncFollowsDisplay = false;
    bool vsyncOn = false;
    // The clock of vertical blanks, at the desktop's refresh.
    BlankClock clock = {0, kDefaultRefresh};

    // Events made by the host itself, given out before SDL's.
    std::vector<HostEvent> pending;
    // X key codes reported down by the host that SDL knows nothing of; their
    // releases are the host's to report too.
    std::vector<int> keysHeldUnseen;

    // On native Wayland, the host's own event queue on SDL's connection, with
    // a keyboard of its own and the keys it has down, as XQueryKeymap lays
    // them out.
    wl_display* waylandDisplay = nullptr;  // SDL's connection, once joined
    // The host's own connection, which tells when the compositor has gone,
    // and its file.
    wl_display* waylandWatch = nullptr;
    wl_event_queue* waylandQueue = nullptr;
    wl_registry* waylandRegistry = nullptr;
    wl_seat* waylandSeat = nullptr;
    wl_keyboard* waylandKeyboard = nullptr;
    std::array<char, 32> waylandKeys = {};
    // Whether the seat has a keyboard now, and whether the host's keyboard
    // left the window since the host's events were last made.
    bool waylandSeatHasKeyboard = false;
    bool waylandLeft = false;
    // The keyboard's keymap, and whether a program made it (its keys are then
    // known by their keysyms, with the X key codes they have on a standard
    // keyboard).
    xkb_context* waylandXkb = nullptr;
    xkb_keymap* waylandKeymap = nullptr;
    bool waylandKeymapVirtual = false;
    std::unordered_map<uint32_t, uint32_t> waylandStandardKeycodes;
    // Where no GPU draws, frames go into buffers of the host's own, shown on
    // a surface of its own above the window's (SDL's surface, as a proxy on
    // the host's queue), which holds a black buffer; with the frame callback
    // of the last commit while its repaint is awaited. Frames go there while
    // the frame surface exists.
    wl_shm* waylandShm = nullptr;
    wl_compositor* waylandCompositor = nullptr;
    wl_subcompositor* waylandSubcompositor = nullptr;
    wl_surface* waylandSurface = nullptr;
    wl_surface* waylandFrameSurface = nullptr;
    wl_subsurface* waylandSubsurface = nullptr;
    wl_callback* waylandFrame = nullptr;
    // The compositor's repaints, as they move the host's clock of blanks.
    RepaintBeat waylandBeat;
    SdlWaylandBuffer waylandWindowBuffer;
    std::array<SdlWaylandBuffer, kWaylandBuffersMost> waylandBuffers = {};
    uint64_t waylandShows = 0;      // frames shown in them
    int64_t waylandShownTicks = 0;  // when the last was
};

extern SdlHostState SdlHost;

// Starts SDL on first use; false where no display can be reached.
bool SdlReady();

// Reports the keys already down when the display is taken or the focus
// comes back, as KeyHeld events.
void SdlReportKeysHeld();
// Asks to hear of new sizes of the screen, once a window is made.
void SdlWatchScreenSize();
// On native Wayland (sdl_wayland.cpp), once a window is made: joins SDL's
// connection on a queue of the host's own, binding the seat's keyboard and
// shared memory; false elsewhere. Leaving lets all of it go.
bool SdlWaylandJoin();
void SdlWaylandLeave();
// Fills `keys` with the keys down, as XQueryKeymap does; false where not
// joined.
bool SdlWaylandKeysDown(char (&keys)[32]);
// On native Wayland the host's keyboard, not SDL's, gives the keys: takes
// what came for it, as the host's events.
void SdlWaylandPump();
// Frames in buffers of the host's own: whether they can be had; a buffer the
// compositor has let go of, at the window's size in pixels (null where none
// is free now: none is waited for); showing it with the part of it that
// changed; and waiting, until the host's clock reads `untilTicks`, for the
// compositor's repaint that shows the last one: true if it came meanwhile,
// with the time it was heard.
bool SdlWaylandUseBuffers();
SdlWaylandBuffer* SdlWaylandFreeBuffer();
void SdlWaylandShow(SdlWaylandBuffer& buffer, const SDL_Rect& changed);
bool SdlWaylandAwaitRepaint(int64_t untilTicks, int64_t* heardTicks);
// On X (sdl_x11.cpp). Before SDL's video starts: the X display's loss ends
// the program with one line. Once it has started on X: the host's own
// connection, and what it reads there first (the window manager, the
// monitors), and where the display's own pixel format is one SDL cannot
// draw, a visual it can for SDL's windows; false elsewhere.
void SdlX11EndOnLoss();
void SdlX11Start();
// Just before the window is made: who has the focus, to give it back to at
// the end. Once it is made, hidden: asks the window manager, if any, for it
// to cover its monitor. Before it is given back: the focus, if the window
// has it, goes back to what had it.
void SdlX11NoteFocus();
void SdlX11AskFullScreen(SDL_Window* window);
void SdlX11GiveFocusBack();
// Shown again while no window has the focus (another program's window that
// had it went), the window takes it.
void SdlX11TakeFocusLeftToNoWindow();
// The window's pixel format in X's words (its depth and visual); "" off X.
std::string SdlX11PixelFormat();
// Fills `keys` with the keys down, as XQueryKeymap does; false off X.
bool SdlX11KeysDown(char (&keys)[32]);
// An X event SDL passed on: RandR's new size of the screen.
void SdlX11SystemEvent(const SDL_SysWMmsg& message);
// SDL's Wayland driver, started under the host's watch (sdl_wayland.cpp).
// First, whether the compositor announces no seat: SDL 2.26 then fails to
// start by crashing (it needs one for its mouse), so the host does not let it
// try; a compositor that cannot be reached is left for SDL to find so. Then
// SDL's start, where a compositor that goes in the middle ends the program
// as a lost display. Once SDL has started, where its driver is Wayland's,
// the host watches the compositor and ends the program when it goes.
bool SdlWaylandSeatMissing();
bool SdlWaylandStart();
void SdlWaylandWatch(bool used);
// Ends the program where the display went away: one line saying so, and code
// 1, as where it could not be opened.
[[noreturn]] void SdlEndForLostDisplay(const char* words);
// The mouse reports relative counts only while the display is ours.
void SdlFollowFocus(bool focused);
