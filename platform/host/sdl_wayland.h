// What the SDL host keeps of Wayland where SDL's driver is Wayland's, and
// the calls into sdl_wayland.cpp (the seat, the keyboard, the compositor's
// presence) and sdl_wayland_buffers.cpp (frames in buffers of the host's own,
// and their present).
#pragma once

#include <SDL.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "platform/host/blank_clock.h"
#include "platform/host/host.h"

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

struct SdlWaylandState {
    // The host's own event queue on SDL's connection, with a keyboard of its
    // own and the keys it has down, as XQueryKeymap lays them out.
    wl_display* display = nullptr;  // SDL's connection, once joined
    // The host's own connection, which tells when the compositor has gone,
    // and its file.
    wl_display* watch = nullptr;
    wl_event_queue* queue = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    std::array<char, 32> keys = {};
    // Whether the seat has a keyboard now, and whether the host's keyboard
    // left the window since the host's events were last made.
    bool seatHasKeyboard = false;
    bool left = false;
    // The keyboard's keymap, and whether a program made it (its keys are then
    // known by their keysyms, with the X key codes they have on a standard
    // keyboard).
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    bool keymapVirtual = false;
    std::unordered_map<uint32_t, uint32_t> standardKeycodes;
    // Where no GPU draws, frames go into buffers of the host's own, shown on
    // a surface of its own above the window's (SDL's surface, as a proxy on
    // the host's queue), which holds a black buffer; with the frame callback
    // of the last commit while its repaint is awaited. Frames go there while
    // the frame surface exists.
    wl_shm* shm = nullptr;
    wl_compositor* compositor = nullptr;
    wl_subcompositor* subcompositor = nullptr;
    wl_surface* surface = nullptr;
    wl_surface* frameSurface = nullptr;
    wl_subsurface* subsurface = nullptr;
    wl_callback* frame = nullptr;
    // The compositor's repaints, as they move the host's clock of blanks.
    RepaintBeat beat;
    SdlWaylandBuffer windowBuffer;
    std::array<SdlWaylandBuffer, kWaylandBuffersMost> buffers = {};
    uint64_t shows = 0;      // frames shown in them
    int64_t shownTicks = 0;  // when the last was
};

// Once a window is made: joins SDL's
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
// Frames in buffers of the host's own: whether they can be had.
bool SdlWaylandUseBuffers();
// Lets all of those buffers and the surfaces that show them go.
void SdlWaylandLetBuffersGo();
// The present into those buffers: what changed goes into a free one, which
// is shown at the clock's next blank, or at the compositor's repaint.
void SdlWaylandPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed, bool atVerticalBlank);
// Waits up to `ticks` of the host's clock for events on the host's queue and
// dispatches what came: false if none came in time.
bool SdlWaylandDispatchWithin(wl_display* display, int64_t ticks);
// Destroys an object of the host's, if there is one, and forgets it.
template <typename Object, typename Destroy>
void SdlWaylandRelease(Object*& object, Destroy destroy) {
    if (object) destroy(object);
    object = nullptr;
}

// SDL's Wayland driver, started under the host's watch.
// First, whether the compositor announces no seat: SDL 2.26 then fails to
// start by crashing (it needs one for its mouse), so the host does not let it
// try; a compositor that cannot be reached is left for SDL to find so. Then
// SDL's start, where a compositor that goes in the middle ends the program
// as a lost display. Once SDL has started, where its driver is Wayland's,
// the host watches the compositor and ends the program when it goes.
bool SdlWaylandSeatMissing();
bool SdlWaylandStart();
void SdlWaylandWatch(bool used);
