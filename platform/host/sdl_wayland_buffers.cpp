// Frames in buffers of the host's own on native Wayland, where no GPU draws.
// SDL's Wayland driver has no framebuffer of its own; the one it emulates
// through OpenGL in software uploads and draws the whole window each frame.
// Instead frames go into buffers of the host's in shared memory, shown on a
// surface of its own over the window's with only the changed part as damage;
// the compositor's frame callback tells when it repainted, and moves the
// host's clock of blanks onto the compositor's beat where it keeps one.
//
// Limits: at most three buffers; where the compositor holds them all, a
// frame is not shown and what changed in it goes to the next.
//
// Depends on SDL2 and Wayland's client library.
#include <SDL.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "platform/host/sdl_host.h"

// Frames are shown on a surface of the host's, a subsurface of SDL's window
// that covers it and lets its input through to it. SDL damages all of its
// own surface at each repaint it has asked to hear of, so frames shown there
// would be repainted whole; SDL's surface instead holds one black buffer of
// its size, committed when that size changes and by SDL itself.

namespace {

void OnRelease(void* data, wl_buffer*) { static_cast<SdlWaylandBuffer*>(data)->busy = false; }

constexpr wl_buffer_listener kBufferListener = {OnRelease};

void OnFrameDone(void*, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    SdlHost.wayland.frame = nullptr;
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
    wl_shm_pool* pool = wl_shm_create_pool(SdlHost.wayland.shm, file, int32_t(bytes));
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
    SdlWaylandBuffer& black = SdlHost.wayland.windowBuffer;
    if (Fits(black, width, height)) return true;
    ForgetBuffer(black);
    if (!MakeBuffer(black, width, height)) return false;
    int points = 0;
    SDL_GetWindowSize(SdlHost.window, &points, nullptr);
    wl_surface_set_buffer_scale(SdlHost.wayland.frameSurface, points > 0 ? std::max(width / points, 1) : 1);
    wl_surface_attach(SdlHost.wayland.surface, black.buffer, 0, 0);
    wl_surface_damage_buffer(SdlHost.wayland.surface, 0, 0, width, height);
    wl_surface_commit(SdlHost.wayland.surface);
    return true;
}

void WindowSizeInPixels(int* width, int* height) {
    *width = 0;
    *height = 0;
    SDL_GetWindowSizeInPixels(SdlHost.window, width, height);
}

// The free buffer to fill next: one not made yet, or else the one shown
// longest ago. So all of them are made, and kept up to date, while frames
// come slowly; a buffer made and filled whole costs a refresh or two, which a
// run of frames at the refresh cannot spare.
SdlWaylandBuffer* NextToFill(int width, int height) {
    SdlWaylandBuffer* oldest = nullptr;
    for (SdlWaylandBuffer& buffer : SdlHost.wayland.buffers) {
        if (buffer.busy) continue;
        if (!buffer.surface && MakeBuffer(buffer, width, height)) return &buffer;
        if (buffer.surface && (!oldest || buffer.shown < oldest->shown)) oldest = &buffer;
    }
    return oldest;
}

}  // namespace

bool SdlWaylandUseBuffers() {
    if (!SdlHost.wayland.shm || !SdlHost.wayland.compositor || !SdlHost.wayland.subcompositor) return false;
    int width = 0;
    int height = 0;
    WindowSizeInPixels(&width, &height);
    if (width <= 0 || height <= 0) return false;
    SdlHost.wayland.frameSurface = wl_compositor_create_surface(SdlHost.wayland.compositor);
    wl_region* nowhere = wl_compositor_create_region(SdlHost.wayland.compositor);
    wl_surface_set_input_region(SdlHost.wayland.frameSurface, nowhere);
    wl_region_destroy(nowhere);
    SdlHost.wayland.subsurface = wl_subcompositor_get_subsurface(SdlHost.wayland.subcompositor,
                                                                 SdlHost.wayland.frameSurface, SdlHost.wayland.surface);
    wl_subsurface_set_desync(SdlHost.wayland.subsurface);
    return FitWindowSurface(width, height);
}

void SdlWaylandLetBuffersGo() {
    for (SdlWaylandBuffer& buffer : SdlHost.wayland.buffers) ForgetBuffer(buffer);
    ForgetBuffer(SdlHost.wayland.windowBuffer);
    SdlWaylandRelease(SdlHost.wayland.frame, wl_callback_destroy);
    SdlWaylandRelease(SdlHost.wayland.subsurface, wl_subsurface_destroy);
    SdlWaylandRelease(SdlHost.wayland.frameSurface, wl_surface_destroy);
    SdlWaylandRelease(SdlHost.wayland.surface, [](wl_surface* wrapper) { wl_proxy_wrapper_destroy(wrapper); });
    SdlWaylandRelease(SdlHost.wayland.subcompositor, wl_subcompositor_destroy);
    SdlWaylandRelease(SdlHost.wayland.compositor, wl_compositor_destroy);
    SdlWaylandRelease(SdlHost.wayland.shm, wl_shm_destroy);
    SdlHost.wayland.beat = RepaintBeat{};
}

// ---- the present ------------------------------------------------------------

namespace {

// A buffer the compositor has let go of, at the window's size in pixels;
// null where none is free now.
SdlWaylandBuffer* FreeBuffer() {
    wl_display* display = SdlHost.wayland.display;
    int width = 0;
    int height = 0;
    WindowSizeInPixels(&width, &height);
    if (!display || !FitWindowSurface(width, height)) return nullptr;
    // The buffers the compositor has let go of since are read first. None is
    // waited for: a compositor slow to take in frames would hold the present
    // up past its blank.
    SdlWaylandDispatchWithin(display, 0);
    for (SdlWaylandBuffer& buffer : SdlHost.wayland.buffers) {
        if (!buffer.busy && buffer.surface && !Fits(buffer, width, height)) ForgetBuffer(buffer);
    }
    return NextToFill(width, height);
}

// Shows the buffer with the part of it that changed as damage.
void Show(SdlWaylandBuffer& buffer, const SDL_Rect& changed) {
    wl_surface* surface = SdlHost.wayland.frameSurface;
    wl_surface_attach(surface, buffer.buffer, 0, 0);
    wl_surface_damage_buffer(surface, changed.x, changed.y, changed.w, changed.h);
    // Only the repaint that shows this commit is of interest now: one still
    // awaited for an earlier commit would tell of a frame already replaced.
    SdlWaylandRelease(SdlHost.wayland.frame, wl_callback_destroy);
    SdlHost.wayland.frame = wl_surface_frame(surface);
    wl_callback_add_listener(SdlHost.wayland.frame, &kFrameListener, nullptr);
    wl_surface_commit(surface);
    wl_display_flush(SdlHost.wayland.display);
    buffer.busy = true;
    buffer.shown = ++SdlHost.wayland.shows;
    SdlHost.wayland.shownTicks = HostTicks();
}

// Waits, until the host's clock reads `untilTicks`, for the compositor's
// repaint that shows the last frame: true if it came meanwhile, with the time
// it was heard. A repaint that came while the host was not waiting for it
// (SDL read it from the connection as it pumped its events) came at a time
// nobody knows: it is taken, and no repaint is then awaited.
bool AwaitRepaint(int64_t untilTicks, int64_t* heardTicks) {
    wl_display* display = SdlHost.wayland.display;
    if (!display) return false;
    SdlWaylandDispatchWithin(display, 0);
    if (!SdlHost.wayland.frame) return false;
    for (int64_t now = HostTicks(); SdlHost.wayland.frame && now < untilTicks; now = HostTicks()) {
        SdlWaylandDispatchWithin(display, untilTicks - now);
    }
    if (SdlHost.wayland.frame) return false;
    *heardTicks = HostTicks();
    return true;
}

// A present at the vertical blank goes at the next blank on the host's clock.
// Meanwhile the compositor's repaint of the frame shown last may be heard,
// and moves the clock (and so this blank) onto the compositor's beat; where
// the last one kept it, the wait for it goes on an eighth of a refresh past
// the blank, as a repaint comes a little early or late. A repaint that never
// comes (a window not on screen), or came unheard, leaves the clock as it is.
void WaitForRepaint() {
    int64_t blank = SdlHost.clock.BlankAfter(HostTicks());
    int64_t heard = 0;
    if (AwaitRepaint(blank + RepaintGrace(SdlHost.wayland.beat, SdlHost.clock), &heard)) {
        blank += FollowRepaint(SdlHost.wayland.beat, SdlHost.clock, heard, SdlHost.wayland.shownTicks);
    }
    SdlSleepUntil(blank);
}

}  // namespace

// Each buffer of the host's is brought up to date when it is next used: with
// what changed in this frame and in those presented while it was elsewhere.
// The compositor is told of the part of it that differs from the last shown.
// Where the compositor holds them all, the present waits for its blank and
// then takes one let go of meanwhile; with none, the frame is not shown, and
// what changed in it goes to the next.
void SdlWaylandPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                       bool atVerticalBlank) {
    const int shownWidth = std::min(width, SdlHost.width);
    const int shownHeight = std::min(height, SdlHost.height);
    const SDL_Rect area = SdlUploadArea(changed, shownWidth, shownHeight);
    if (SdlHost.mirror.wholeFrameDue) {
        for (SdlWaylandBuffer& buffer : SdlHost.wayland.buffers) buffer.whole = true;
        SdlHost.mirror.Shown();
    }
    SdlWaylandBuffer* next = FreeBuffer();
    bool blankDue = atVerticalBlank;
    if (!next && blankDue) {
        WaitForRepaint();
        blankDue = false;
        next = FreeBuffer();
    }
    for (SdlWaylandBuffer& buffer : SdlHost.wayland.buffers) {
        if (&buffer != next) SDL_UnionRect(&buffer.stale, &area, &buffer.stale);
    }
    if (!next) return;
    SDL_Rect copy = {0, 0, shownWidth, shownHeight};
    if (next->whole) {
        SDL_FillRect(next->surface, nullptr, SDL_MapRGB(next->surface->format, 0, 0, 0));
    } else {
        SDL_UnionRect(&area, &next->stale, &copy);
    }
    SDL_Rect updated = {0, 0, 0, 0};
    if (copy.w > 0 && copy.h > 0) updated = SdlCopyIntoFramebuffer(next->surface, pixels, pitch, copy);
    if (next->whole) updated = {0, 0, next->surface->w, next->surface->h};
    next->whole = false;
    next->stale = {0, 0, 0, 0};
    if (blankDue) WaitForRepaint();
    if (updated.w > 0 && updated.h > 0) Show(*next, updated);
}
