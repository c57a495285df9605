// The SDL host's presenters, one chosen when the window is made: a GPU's
// renderer with a streaming texture, or the window's own framebuffer, or on
// native Wayland (where SDL has no framebuffer of its own) buffers of the
// host's own (sdl_wayland_buffers.cpp). An OpenGL that rasterises in software
// costs more than the copy it would replace, so a renderer is used only where
// it draws on a GPU. Either way only the rectangle that changed is uploaded,
// and a mode smaller than the window is scaled up to fill it, keeping its
// shape: by the renderer, or by the host's copy into the framebuffer.
//
// Limits: the framebuffer and the host's buffers have no vertical sync of
// their own; their presents wait on the host's clock of blanks. A renderer's
// vsync is trusted only where it keeps the display's refresh.
//
// Depends on SDL2 (and, to tell a software OpenGL, on OpenGL's glGetString).
#include <SDL.h>
#include <fcntl.h>
#include <glob.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host/blank_clock.h"
#include "platform/host/sdl_host.h"
#include "platform/host/viewport.h"

namespace {

// Presents with vsync made back to back when the display is taken, to learn
// whether the renderer's vsync is the display's, and how many of the first
// ones are not counted.
constexpr int kVsyncProbeFrames = 14;
constexpr int kVsyncProbeSettling = 3;

void WaitForVerticalBlank() { SdlSleepUntil(SdlHost.clock.BlankAfter(HostTicks())); }

// ---- the window's framebuffer, or buffers of the host's own ----------------

// The mode is scaled by the host's copy: the columns are mapped anew.
bool OpenScaledMode(int width, int height) {
    SdlHost.sourceColumns.clear();
    SdlHost.width = width;
    SdlHost.height = height;
    return true;
}

// The columns of a framebuffer's viewport, each with the mode's column it
// shows, worked out again whenever the framebuffer or the mode changes.
void MapColumns(const HostViewport& view) {
    SdlHost.sourceColumns.resize(size_t(view.width));
    for (int x = 0; x < view.width; ++x) SdlHost.sourceColumns[size_t(x)] = ModePixelOf(x, SdlHost.width, view.width);
}

bool SameLayout(const SDL_PixelFormat& format) {
    return format.BytesPerPixel == 4 && format.Rmask == 0x00FF0000 && format.Gmask == 0x0000FF00 &&
           format.Bmask == 0x000000FF;
}

// A row of the frame, scaled into the framebuffer at `to`: the viewport's
// columns [first, last), in the framebuffer's pixel format: opaque, where
// that has alpha.
void ScaleRow(const uint32_t* row, int first, int last, uint8_t* to, const SDL_PixelFormat& format) {
    const int count = last - first;
    const bool direct = SameLayout(format);
    uint32_t* out = reinterpret_cast<uint32_t*>(to);
    if (!direct) {
        SdlHost.scaledRow.resize(size_t(count));
        out = SdlHost.scaledRow.data();
    }
    if (SdlHost.sourceColumns.size() == size_t(SdlHost.width)) {
        std::memcpy(out, row + first, size_t(count) * 4);  // one to one
    } else {
        const int* columns = SdlHost.sourceColumns.data() + first;
        for (int x = 0; x < count; ++x) out[x] = row[columns[x]];
    }
    if (direct && format.Amask) {
        for (int x = 0; x < count; ++x) out[x] |= format.Amask;
    }
    if (!direct) {
        const int bytes = count * format.BytesPerPixel;
        SDL_ConvertPixels(count, 1, SDL_PIXELFORMAT_XRGB8888, out, count * 4, format.format, to, bytes);
    }
}

}  // namespace

SDL_Rect SdlUploadArea(HostRect changed, int width, int height) {
    const HostRect area = SdlHost.mirror.AreaToShow(changed, width, height);
    if (HostAreaEmpty(area)) return {0, 0, 0, 0};
    return {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

SDL_Rect SdlCopyIntoFramebuffer(SDL_Surface* surface, const uint8_t* pixels, int pitch, const SDL_Rect& area) {
    const HostViewport view = ViewportFor(SdlHost.width, SdlHost.height, surface->w, surface->h);
    if (SdlHost.sourceColumns.size() != size_t(view.width)) MapColumns(view);
    const int first = ViewPixelOf(area.x, SdlHost.width, view.width);
    const int last = ViewPixelOf(area.x + area.w, SdlHost.width, view.width);
    const int top = ViewPixelOf(area.y, SdlHost.height, view.height);
    const int bottom = ViewPixelOf(area.y + area.h, SdlHost.height, view.height);
    auto* target = static_cast<uint8_t*>(surface->pixels);
    const int bytes = surface->format->BytesPerPixel;
    for (int y = top; y < bottom; ++y) {
        const int source = ModePixelOf(y, SdlHost.height, view.height);
        auto* row = reinterpret_cast<const uint32_t*>(pixels + int64_t{source} * pitch);
        uint8_t* to = target + int64_t{view.y + y} * surface->pitch + int64_t{view.x + first} * bytes;
        ScaleRow(row, first, last, to, *surface->format);
    }
    return {view.x + first, view.y + top, last - first, bottom - top};
}

namespace {

// A new framebuffer (the first, or one SDL made again after the window
// changed) starts black, for the bars beside a mode of another shape.
SDL_Surface* CurrentFramebuffer() {
    SDL_Surface* surface = SDL_GetWindowSurface(SdlHost.window);
    if (surface != SdlHost.framebuffer) {
        SdlHost.framebuffer = surface;
        SdlHost.sourceColumns.clear();
        SdlHost.mirror.Invalidate();
    }
    if (surface && SdlHost.mirror.wholeFrameDue) SDL_FillRect(surface, nullptr, 0);
    return surface;
}

void PresentToFramebuffer(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                          bool atVerticalBlank) {
    SDL_Surface* surface = CurrentFramebuffer();
    if (!surface) return;
    bool whole = SdlHost.mirror.wholeFrameDue;
    SDL_Rect area = SdlUploadArea(changed, std::min(width, SdlHost.width), std::min(height, SdlHost.height));
    SDL_Rect updated = {0, 0, 0, 0};
    if (area.w > 0) {
        if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
        updated = SdlCopyIntoFramebuffer(surface, pixels, pitch, area);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    }
    if (whole) updated = {0, 0, surface->w, surface->h};
    if (atVerticalBlank) WaitForVerticalBlank();
    int count = updated.w > 0 && updated.h > 0 ? 1 : 0;
    if (SDL_UpdateWindowSurfaceRects(SdlHost.window, &updated, count) == 0) SdlHost.mirror.Shown();
}

// ---- a GPU's renderer -----------------------------------------------------

void SetVsync(bool on) {
    if (SdlHost.vsyncOn == on) return;
    SDL_RenderSetVSync(SdlHost.renderer, on ? 1 : 0);
    SdlHost.vsyncOn = on;
}

// X8R8G8B8: the frame's top byte is no alpha, and a compositor that blends
// windows (Wayland's) would show a window of alpha 0 as nothing.
bool OpenRendererMode(int width, int height) {
    if (SdlHost.texture) SDL_DestroyTexture(SdlHost.texture);
    SdlHost.texture =
        SDL_CreateTexture(SdlHost.renderer, SDL_PIXELFORMAT_XRGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!SdlHost.texture) return false;
    SDL_SetTextureBlendMode(SdlHost.texture, SDL_BLENDMODE_NONE);
    SDL_RenderSetLogicalSize(SdlHost.renderer, width, height);
    SdlHost.width = width;
    SdlHost.height = height;
    return true;
}

void CloseRenderer() {
    if (SdlHost.texture) SDL_DestroyTexture(SdlHost.texture);
    if (SdlHost.renderer) SDL_DestroyRenderer(SdlHost.renderer);
    SdlHost.texture = nullptr;
    SdlHost.renderer = nullptr;
}

void PresentThroughRenderer(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                            bool atVerticalBlank) {
    if (!SdlHost.texture) return;
    SDL_Rect area = SdlUploadArea(changed, std::min(width, SdlHost.width), std::min(height, SdlHost.height));
    if (area.w > 0) SDL_UpdateTexture(SdlHost.texture, &area, pixels + int64_t{area.y} * pitch + area.x * 4, pitch);
    SdlHost.mirror.Shown();
    // The clear keeps the bars black where the mode's shape is not the desktop's.
    SDL_RenderClear(SdlHost.renderer);
    SDL_RenderCopy(SdlHost.renderer, SdlHost.texture, nullptr, nullptr);
    if (!SdlHost.vsyncFollowsDisplay) {
        if (atVerticalBlank) WaitForVerticalBlank();
        SDL_RenderPresent(SdlHost.renderer);
        return;
    }
    SetVsync(atVerticalBlank);
    int64_t before = HostTicks();
    SDL_RenderPresent(SdlHost.renderer);
    int64_t after = HostTicks();
    // A present that waited returned at the vertical blank: the host's clock
    // of blanks follows the display's from there.
    if (atVerticalBlank && after - before >= SdlHost.clock.Period() / 4) SdlHost.clock.Restart(after);
}

// ---- the choice -----------------------------------------------------------

// The renderer's vsync is the display's vertical blank only if presents made
// back to back with it come 1/refresh apart. Where they return at once, or
// follow a timer of their own (a virtual X server does either), the host keeps
// the display's time itself.
bool VsyncFollowsDisplay() {
    SDL_SetRenderDrawColor(SdlHost.renderer, 0, 0, 0, 255);
    std::array<int64_t, kVsyncProbeFrames> gaps = {};
    int64_t last = HostTicks();
    for (int64_t& gap : gaps) {
        SDL_RenderClear(SdlHost.renderer);
        SDL_RenderPresent(SdlHost.renderer);
        int64_t now = HostTicks();
        gap = now - last;
        last = now;
    }
    // The first presents fill the driver's queue and return early.
    auto steady = gaps.begin() + kVsyncProbeSettling;
    auto middle = steady + (gaps.end() - steady) / 2;
    std::nth_element(steady, middle, gaps.end());
    return std::abs(*middle - SdlHost.clock.Period()) * 50 <= SdlHost.clock.Period();
}

// Mesa's rasterisers that run on the processor, by the names OpenGL gives them.
bool IsSoftwareRasteriser(std::string renderer) {
    for (char& c : renderer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
        if (renderer.find(name) != std::string::npos) return true;
    }
    return false;
}

// An accelerated renderer that draws on a GPU. SDL's OpenGL renderers count
// as accelerated even where OpenGL itself rasterises on the processor; their
// context is current once they are made, so OpenGL can be asked.
bool DrawsOnGpu(SDL_Renderer* renderer) {
    SDL_RendererInfo info = {};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || !(info.flags & SDL_RENDERER_ACCELERATED)) return false;
    if (std::strncmp(info.name, "opengl", 6) != 0) return true;
    using GetString = const unsigned char* (*)(unsigned int);
    constexpr unsigned int kGlRenderer = 0x1F01;
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name = getString ? getString(kGlRenderer) : nullptr;
    return name && !IsSoftwareRasteriser(reinterpret_cast<const char*>(name));
}

void UseRenderer(SDL_Renderer* renderer) {
    SdlHost.renderer = renderer;
    SdlHost.presenter = {OpenRendererMode, PresentThroughRenderer, CloseRenderer};
    SDL_RendererInfo info = {};
    SdlHost.vsyncOn = SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC);
    SdlHost.vsyncFollowsDisplay = SdlHost.vsyncOn && VsyncFollowsDisplay();
    if (!SdlHost.vsyncFollowsDisplay) SetVsync(false);
}

// The window's own framebuffer, not one that SDL emulates with a texture.
// It has no vertical sync of its own: the host's clock keeps the display's time.
//
// The window shows black at once, whether or not it has the focus yet: a
// compositor (sway's, through Xwayland) shows a window, and gives it the
// focus, only once it has been drawn, and the program draws nothing while it
// lacks the focus.
bool UseFramebuffer() {
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
    SdlHost.vsyncFollowsDisplay = false;
    SdlHost.framebuffer = SDL_GetWindowSurface(SdlHost.window);
    SdlHost.mirror.Invalidate();
    if (!SdlHost.framebuffer) {
        std::string format = SdlX11PixelFormat();
        if (format.empty()) format = SDL_GetPixelFormatName(SDL_GetWindowPixelFormat(SdlHost.window));
        return SdlRefused("SDL cannot draw in the display's pixel format (" + format + ")");
    }
    SDL_FillRect(SdlHost.framebuffer, nullptr, 0);
    SDL_UpdateWindowSurface(SdlHost.window);
    SdlHost.presenter = {OpenScaledMode, PresentToFramebuffer, [] { SdlHost.framebuffer = nullptr; }};
    return true;
}

// Whether this process can open a GPU: a DRM device, or NVIDIA's own. Without
// one, OpenGL could only rasterise in software, which the framebuffer beats,
// and loading it to learn so is a large part of the start.
bool GpuReachable() {
    glob_t devices = {};
    bool reachable = false;
    for (const char* pattern : {"/dev/dri/renderD*", "/dev/dri/card*", "/dev/nvidia[0-9]*"}) {
        glob(pattern, devices.gl_pathc ? GLOB_APPEND : 0, nullptr, &devices);
    }
    for (size_t i = 0; i < devices.gl_pathc && !reachable; ++i) {
        const int device = open(devices.gl_pathv[i], O_RDWR | O_CLOEXEC);
        reachable = device >= 0;
        if (reachable) close(device);
    }
    globfree(&devices);
    return reachable;
}

}  // namespace

// A renderer is tried only where a GPU may draw. Elsewhere frames go into the
// window's framebuffer; on Wayland, where SDL has none of its own, into
// buffers of the host's (or, where those cannot be had, SDL's renderer).
bool SdlMakePresenter() {
    SDL_Renderer* renderer =
        GpuReachable() ? SDL_CreateRenderer(SdlHost.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC)
                       : nullptr;
    SdlHost.clock.Restart(HostTicks());
    if (renderer && DrawsOnGpu(renderer)) {
        UseRenderer(renderer);
        return true;
    }
    if (renderer) SDL_DestroyRenderer(renderer);
    if (!SdlOnWayland()) return UseFramebuffer();
    if (SdlWaylandJoin() && SdlWaylandUseBuffers()) {
        SdlHost.presenter = {OpenScaledMode, SdlWaylandPresent, [] {}};
        return true;
    }
    // SDL makes the window anew for its renderer; the host joins it again
    // once the display is open.
    SdlWaylandLeave();
    renderer = SDL_CreateRenderer(SdlHost.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) return SdlRefused("SDL has no renderer for the window");
    UseRenderer(renderer);
    return true;
}
