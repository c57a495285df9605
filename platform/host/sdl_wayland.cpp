// The host's own use of SDL's Wayland connection, on an event queue of its
// own.
//
// The keys held. SDL 2.26's Wayland driver takes from wl_keyboard.enter only
// the modifiers held when the window gets the keyboard, and X's XQueryKeymap
// is not there to ask. So the host binds a keyboard of its own to the seat:
// the keys its enter lists, and those pressed and released since, are the
// keys down, in X's layout (key codes are the evdev codes plus 8).
//
// The present where no GPU draws. SDL's Wayland driver has no framebuffer of
// its own; the one it emulates through OpenGL in software uploads and draws
// the whole window each frame. Instead frames go into buffers of the host's
// in shared memory, shown on a surface of its own over the window's with only
// the changed part as damage; the compositor's frame callback tells when it
// repainted.
#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "platform/host/sdl_host.h"

namespace {

constexpr int kXKeyCodeOffset = 8;

void SetKey(uint32_t key, bool down) {
    const uint32_t keycode = key + kXKeyCodeOffset;
    if (keycode >= SdlHost.waylandKeys.size() * 8) return;
    char& bits = SdlHost.waylandKeys[keycode / 8];
    const char bit = static_cast<char>(1 << (keycode % 8));
    bits = static_cast<char>(down ? (bits | bit) : (bits & ~bit));
}

void OnKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }

void OnEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array* keys) {
    SdlHost.waylandKeys = {};
    const auto* key = static_cast<const uint32_t*>(keys->data);
    for (size_t i = 0; i < keys->size / sizeof(uint32_t); ++i) SetKey(key[i], true);
}

void OnLeave(void*, wl_keyboard*, uint32_t, wl_surface*) { SdlHost.waylandKeys = {}; }

void OnKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    SetKey(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
}

void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}

void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

constexpr wl_keyboard_listener kKeyboardListener = {OnKeymap, OnEnter, OnLeave, OnKey, OnModifiers, OnRepeatInfo};

void OnCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
    if (!SdlHost.waylandKeyboard && (capabilities & WL_SEAT_CAPABILITY_KEYBOARD)) {
        SdlHost.waylandKeyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(SdlHost.waylandKeyboard, &kKeyboardListener, nullptr);
    }
}

void OnSeatName(void*, wl_seat*, const char*) {}

constexpr wl_seat_listener kSeatListener = {OnCapabilities, OnSeatName};

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (!SdlHost.waylandSeat && std::strcmp(interface, wl_seat_interface.name) == 0) {
        const uint32_t bound = std::min(version, 4u);
        SdlHost.waylandSeat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, bound));
        wl_seat_add_listener(SdlHost.waylandSeat, &kSeatListener, nullptr);
    } else if (!SdlHost.waylandShm && std::strcmp(interface, wl_shm_interface.name) == 0) {
        SdlHost.waylandShm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (!SdlHost.waylandCompositor && std::strcmp(interface, wl_compositor_interface.name) == 0 &&
               version >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
        SdlHost.waylandCompositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION));
    } else if (!SdlHost.waylandSubcompositor && std::strcmp(interface, wl_subcompositor_interface.name) == 0) {
        SdlHost.waylandSubcompositor =
            static_cast<wl_subcompositor*>(wl_registry_bind(registry, name, &wl_subcompositor_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

constexpr wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

bool WaylandInfoOfWindow(SDL_SysWMinfo* info) {
    SDL_VERSION(&info->version);
    return SdlHost.window && SDL_GetWindowWMInfo(SdlHost.window, info) && info->subsystem == SDL_SYSWM_WAYLAND;
}

// A proxy of SDL's whose events, and those of the objects made through it,
// come to the host's queue.
template <typename Proxy>
Proxy* OnHostQueue(Proxy* proxy) {
    auto* wrapper = static_cast<Proxy*>(wl_proxy_create_wrapper(proxy));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), SdlHost.waylandQueue);
    return wrapper;
}

}  // namespace

bool SdlWaylandJoin() {
    SDL_SysWMinfo info;
    if (!WaylandInfoOfWindow(&info)) return false;
    if (SdlHost.waylandQueue) return true;
    wl_display* display = info.info.wl.display;
    SdlHost.waylandDisplay = display;
    SdlHost.waylandKeys = {};
    SdlHost.waylandQueue = wl_display_create_queue(display);
    auto* wrapper = OnHostQueue(display);
    SdlHost.waylandRegistry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    wl_registry_add_listener(SdlHost.waylandRegistry, &kRegistryListener, nullptr);
    SdlHost.waylandSurface = OnHostQueue(info.info.wl.surface);
    // The globals, then the seat's capabilities and keyboard, then its enter.
    for (int i = 0; i < 3; ++i) wl_display_roundtrip_queue(display, SdlHost.waylandQueue);
    return true;
}

bool SdlWaylandKeysDown(char (&keys)[32]) {
    if (!SdlHost.waylandDisplay) return false;
    // SDL reads the connection as it pumps its events; what came for this
    // queue waits here until dispatched.
    wl_display_dispatch_queue_pending(SdlHost.waylandDisplay, SdlHost.waylandQueue);
    std::memcpy(keys, SdlHost.waylandKeys.data(), sizeof(keys));
    return true;
}

// ---- buffers of the host's own --------------------------------------------
//
// Frames are shown on a surface of the host's, a subsurface of SDL's window
// that covers it and lets its input through to it. SDL damages all of its
// own surface at each repaint it has asked to hear of, so frames shown there
// would be repainted whole; SDL's surface instead holds one black buffer of
// its size, committed when that size changes and by SDL itself.

namespace {

// Destroys an object of the host's, if there is one, and forgets it.
template <typename Object, typename Destroy>
void Release(Object*& object, Destroy destroy) {
    if (object) destroy(object);
    object = nullptr;
}

void OnRelease(void* data, wl_buffer*) { static_cast<SdlWaylandBuffer*>(data)->busy = false; }

constexpr wl_buffer_listener kBufferListener = {OnRelease};

void OnFrameDone(void*, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    SdlHost.waylandFrame = nullptr;
}

constexpr wl_callback_listener kFrameListener = {OnFrameDone};

void ForgetBuffer(SdlWaylandBuffer& buffer) {
    if (buffer.surface) SDL_FreeSurface(buffer.surface);
    if (buffer.buffer) wl_buffer_destroy(buffer.buffer);
    if (buffer.memory) munmap(buffer.memory, buffer.bytes);
    buffer = SdlWaylandBuffer{};
}

// A buffer of width x height pixels in memory shared with the compositor,
// black; false where the memory or the buffer cannot be had. The compositor
// takes the pixels as XRGB8888, and the host writes them with the top byte
// set, as ARGB8888: a compositor shows the byte as nothing, but some keep it
// in their screenshots, where 0 would be transparent.
bool MakeBuffer(SdlWaylandBuffer& buffer, int width, int height) {
    const int pitch = width * 4;
    const size_t bytes = size_t(pitch) * size_t(height);
    const int file = memfd_create("ravlin-frame", MFD_CLOEXEC);
    if (file < 0) return false;
    void* memory = ftruncate(file, off_t(bytes)) == 0
                       ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0)
                       : MAP_FAILED;
    if (memory == MAP_FAILED) {
        close(file);
        return false;
    }
    buffer.memory = memory;
    buffer.bytes = bytes;
    wl_shm_pool* pool = wl_shm_create_pool(SdlHost.waylandShm, file, int32_t(bytes));
    buffer.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, pitch, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(file);
    wl_buffer_add_listener(buffer.buffer, &kBufferListener, &buffer);
    buffer.surface = SDL_CreateRGBSurfaceWithFormatFrom(memory, width, height, 32, pitch, SDL_PIXELFORMAT_ARGB8888);
    if (!buffer.surface) ForgetBuffer(buffer);
    return buffer.surface != nullptr;
}

bool Fits(const SdlWaylandBuffer& buffer, int width, int height) {
    return buffer.surface && buffer.surface->w == width && buffer.surface->h == height;
}

// SDL's surface, black at the window's size in pixels, and the host's at the
// same scale; false where its buffer cannot be had.
bool FitWindowSurface(int width, int height) {
    SdlWaylandBuffer& black = SdlHost.waylandWindowBuffer;
    if (Fits(black, width, height)) return true;
    ForgetBuffer(black);
    if (!MakeBuffer(black, width, height)) return false;
    int points = 0;
    SDL_GetWindowSize(SdlHost.window, &points, nullptr);
    wl_surface_set_buffer_scale(SdlHost.waylandFrameSurface, points > 0 ? std::max(width / points, 1) : 1);
    wl_surface_attach(SdlHost.waylandSurface, black.buffer, 0, 0);
    wl_surface_damage_buffer(SdlHost.waylandSurface, 0, 0, width, height);
    wl_surface_commit(SdlHost.waylandSurface);
    return true;
}

void WindowSizeInPixels(int* width, int* height) {
    *width = 0;
    *height = 0;
    SDL_GetWindowSizeInPixels(SdlHost.window, width, height);
}

// Waits up to `ticks` of the host's clock for events on the host's queue and
// dispatches what came: false if none came in time. What was asked is already
// sent: the host flushes the connection after each frame it shows, and only
// then. The wait is to the tick, not rounded to milliseconds, since it ends
// at a vertical blank.
bool DispatchWithin(wl_display* display, int64_t ticks) {
    if (wl_display_dispatch_queue_pending(display, SdlHost.waylandQueue) > 0) return true;
    while (wl_display_prepare_read_queue(display, SdlHost.waylandQueue) != 0) {
        if (wl_display_dispatch_queue_pending(display, SdlHost.waylandQueue) > 0) return true;
    }
    constexpr int64_t kNanosecondsPerTick = 1'000'000'000 / kHostTicksPerSecond;
    const int64_t wait = std::max<int64_t>(ticks, 0);
    const timespec limit = {time_t(wait / kHostTicksPerSecond), long(wait % kHostTicksPerSecond * kNanosecondsPerTick)};
    pollfd readable = {wl_display_get_fd(display), POLLIN, 0};
    if (ppoll(&readable, 1, &limit, nullptr) <= 0) {
        wl_display_cancel_read(display);
        return false;
    }
    wl_display_read_events(display);
    return wl_display_dispatch_queue_pending(display, SdlHost.waylandQueue) > 0;
}

// The free buffer to fill next: one not made yet, or else the one shown
// longest ago. So all of them are made, and kept up to date, while frames
// come slowly; a buffer made and filled whole costs a refresh or two, which a
// run of frames at the refresh cannot spare.
SdlWaylandBuffer* NextToFill(int width, int height) {
    SdlWaylandBuffer* oldest = nullptr;
    for (SdlWaylandBuffer& buffer : SdlHost.waylandBuffers) {
        if (buffer.busy) continue;
        if (!buffer.surface && MakeBuffer(buffer, width, height)) return &buffer;
        if (buffer.surface && (!oldest || buffer.shown < oldest->shown)) oldest = &buffer;
    }
    return oldest;
}

}  // namespace

bool SdlWaylandUseBuffers() {
    if (!SdlHost.waylandShm || !SdlHost.waylandCompositor || !SdlHost.waylandSubcompositor) return false;
    int width = 0;
    int height = 0;
    WindowSizeInPixels(&width, &height);
    if (width <= 0 || height <= 0) return false;
    SdlHost.waylandFrameSurface = wl_compositor_create_surface(SdlHost.waylandCompositor);
    wl_region* nowhere = wl_compositor_create_region(SdlHost.waylandCompositor);
    wl_surface_set_input_region(SdlHost.waylandFrameSurface, nowhere);
    wl_region_destroy(nowhere);
    SdlHost.waylandSubsurface = wl_subcompositor_get_subsurface(SdlHost.waylandSubcompositor,
                                                                SdlHost.waylandFrameSurface, SdlHost.waylandSurface);
    wl_subsurface_set_desync(SdlHost.waylandSubsurface);
    return FitWindowSurface(width, height);
}

SdlWaylandBuffer* SdlWaylandFreeBuffer() {
    wl_display* display = SdlHost.waylandDisplay;
    int width = 0;
    int height = 0;
    WindowSizeInPixels(&width, &height);
    if (!display || !FitWindowSurface(width, height)) return nullptr;
    // The buffers the compositor has let go of since are read first. None is
    // waited for: a compositor slow to take in frames would hold the present
    // up past its blank.
    DispatchWithin(display, 0);
    for (SdlWaylandBuffer& buffer : SdlHost.waylandBuffers) {
        if (!buffer.busy && buffer.surface && !Fits(buffer, width, height)) ForgetBuffer(buffer);
    }
    return NextToFill(width, height);
}

void SdlWaylandShow(SdlWaylandBuffer& buffer, const SDL_Rect& changed) {
    wl_surface* surface = SdlHost.waylandFrameSurface;
    wl_surface_attach(surface, buffer.buffer, 0, 0);
    wl_surface_damage_buffer(surface, changed.x, changed.y, changed.w, changed.h);
    // Only the repaint that shows this commit is of interest now: one still
    // awaited for an earlier commit would tell of a frame already replaced.
    Release(SdlHost.waylandFrame, wl_callback_destroy);
    SdlHost.waylandFrame = wl_surface_frame(surface);
    wl_callback_add_listener(SdlHost.waylandFrame, &kFrameListener, nullptr);
    wl_surface_commit(surface);
    wl_display_flush(SdlHost.waylandDisplay);
    buffer.busy = true;
    buffer.shown = ++SdlHost.waylandShows;
    SdlHost.waylandShownTicks = HostTicks();
}

// A repaint that came while the host was not waiting for it (SDL read it
// from the connection as it pumped its events) came at a time nobody knows:
// it is taken, and no repaint is then awaited.
bool SdlWaylandAwaitRepaint(int64_t untilTicks, int64_t* heardTicks) {
    wl_display* display = SdlHost.waylandDisplay;
    if (!display) return false;
    DispatchWithin(display, 0);
    if (!SdlHost.waylandFrame) return false;
    for (int64_t now = HostTicks(); SdlHost.waylandFrame && now < untilTicks; now = HostTicks()) {
        DispatchWithin(display, untilTicks - now);
    }
    if (SdlHost.waylandFrame) return false;
    *heardTicks = HostTicks();
    return true;
}

void SdlWaylandLeave() {
    for (SdlWaylandBuffer& buffer : SdlHost.waylandBuffers) ForgetBuffer(buffer);
    ForgetBuffer(SdlHost.waylandWindowBuffer);
    Release(SdlHost.waylandFrame, wl_callback_destroy);
    Release(SdlHost.waylandSubsurface, wl_subsurface_destroy);
    Release(SdlHost.waylandFrameSurface, wl_surface_destroy);
    Release(SdlHost.waylandSurface, [](wl_surface* wrapper) { wl_proxy_wrapper_destroy(wrapper); });
    Release(SdlHost.waylandSubcompositor, wl_subcompositor_destroy);
    Release(SdlHost.waylandCompositor, wl_compositor_destroy);
    Release(SdlHost.waylandShm, wl_shm_destroy);
    Release(SdlHost.waylandKeyboard, wl_keyboard_destroy);
    Release(SdlHost.waylandSeat, wl_seat_destroy);
    Release(SdlHost.waylandRegistry, wl_registry_destroy);
    Release(SdlHost.waylandQueue, wl_event_queue_destroy);
    SdlHost.waylandDisplay = nullptr;
    SdlHost.waylandKeys = {};
    SdlHost.waylandRepaintHeard = false;
    SdlHost.waylandBeatKept = false;
}
