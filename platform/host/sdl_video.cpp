// The SDL host: the Linux program's real machine. A steady clock, SDL's
// displays as the desktops and a full-screen window as the exclusive display;
// its events are in sdl_events.cpp.
//
// A frame reaches the window by the cheapest honest path: through a renderer
// and a streaming texture where a GPU draws them, or else straight into the
// window's framebuffer (on X11, shared memory with the X server; on Wayland,
// buffers of the host's own in memory shared with the compositor, in
// sdl_wayland.cpp), since an OpenGL that rasterises in software costs more
// than the copy it replaces. Either way only the rectangle that changed is
// uploaded.
//
// SDL starts on first use. Where it cannot (no display), the host answers as a
// machine without one: no desktops, and the display cannot be taken.
#include <SDL.h>
#include <fcntl.h>
#include <glob.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAVLIN_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(RAVLIN_HAS_ADDRESS_SANITIZER)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/blank_clock.h"
#include "platform/host/sdl_host.h"
#include "platform/host/viewport.h"

SdlHostState SdlHost;

namespace {

using Ticks = std::chrono::duration<int64_t, std::ratio<1, kHostTicksPerSecond>>;

// Presents with vsync made back to back when the display is taken, to learn
// whether the renderer's vsync is the display's, and how many of the first
// ones are not counted.
constexpr int kVsyncProbeFrames = 14;
constexpr int kVsyncProbeSettling = 3;

// ---- start-up -------------------------------------------------------------

// SDL's video drivers that draw nowhere: where only they start, the host has
// no display. "evdev" is the dummy driver with the console's input devices.
bool DrawsNowhere(const char* driver) {
    if (!driver) return true;
    for (const char* nowhere : {"offscreen", "dummy", "evdev"}) {
        if (std::strcmp(driver, nowhere) == 0) return true;
    }
    return false;
}

// Whether Wayland's library can find a display to connect to: a socket named
// by an absolute WAYLAND_DISPLAY, or one in XDG_RUNTIME_DIR. Without either it
// cannot, and would say so on standard error.
bool WaylandReachable() {
    const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return (runtimeDirectory && *runtimeDirectory) || (display && display[0] == '/');
}

// Adds a driver SDL tried, and its words for what went wrong, to the reason
// the host gives for having no display.
void NoteFailure(const char* driver, const char* words) {
    std::string& reason = SdlHost.noDisplayReason;
    if (!reason.empty()) reason += "; ";
    reason += std::string("SDL's video driver \"") + (driver ? driver : "") + "\": " + words;
}

bool OnWayland() { return std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0; }

// The first of SDL's video drivers, in its order, that reaches a display.
// Those that draw nowhere are not tried, nor is a Wayland that cannot be
// found. Drivers named by SDL_VIDEODRIVER are the only ones SDL tries,
// whatever is asked here, so then one try is all.
bool StartVideo() {
    const char* named = std::getenv("SDL_VIDEODRIVER");
    const bool chosen = named && *named;
    const bool waylandReachable = WaylandReachable();
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (!chosen && (DrawsNowhere(driver) || (std::strcmp(driver, "wayland") == 0 && !waylandReachable))) continue;
        const char* tried = chosen ? named : driver;
        const bool wayland = std::strcmp(tried, "wayland") == 0;
        if (wayland && SdlWaylandSeatMissing()) {
            NoteFailure(tried, "the compositor offers no seat (no keyboard or mouse)");
            if (chosen) return false;
            continue;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        if (!(wayland ? SdlWaylandStart() : SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)) {
            NoteFailure(tried, SDL_GetError());
            if (chosen) return false;
            continue;
        }
        if (!DrawsNowhere(SDL_GetCurrentVideoDriver())) {
            SdlWaylandWatch(OnWayland());
            return true;
        }
        NoteFailure(SDL_GetCurrentVideoDriver(), "it draws nowhere");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (chosen) return false;
    }
    if (SdlHost.noDisplayReason.empty()) NoteFailure(named, "none to try reaches a display");
    SdlWaylandWatch(false);
    return false;
}

// A desktop's current mode in the output's own pixels. SDL 2.26's Wayland
// driver gives it in the compositor's units, the pixels divided by the
// output's scale; the output's own mode is the first and largest of its list.
bool DesktopMode(int index, SDL_DisplayMode* mode) {
    if (SDL_GetDesktopDisplayMode(index, mode) != 0) return false;
    SDL_DisplayMode native = {};
    if (OnWayland() && SDL_GetDisplayMode(index, 0, &native) == 0 && native.w >= mode->w && native.h >= mode->h) {
        mode->w = native.w;
        mode->h = native.h;
    }
    return true;
}

HostDesktopMode ModeOf(const SDL_DisplayMode& mode) {
    int depth = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    // A 24-bit desktop stored in 4 bytes a pixel is what Windows calls 32
    // bits; so is one of 10 bits a channel, whose format SDL does not know.
    if (SDL_BYTESPERPIXEL(mode.format) == 4 || mode.format == SDL_PIXELFORMAT_UNKNOWN) depth = 32;
    return {mode.w, mode.h, depth, mode.refresh_rate > 0 ? mode.refresh_rate : kDefaultRefresh};
}

}  // namespace

bool SdlReady() {
    if (SdlHost.sdlTried) return SdlHost.sdlReady;
    SdlHost.sdlTried = true;
    // SIGINT keeps its default action, so that the program can always be
    // stopped from a terminal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A close request for the window is one Close event, not also a quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The mouse counts as it moves, whatever the scale of a mode smaller than
    // the desktop.
    SDL_SetHint(SDL_HINT_MOUSE_RELATIVE_SCALING, "0");
    // A window that covers its output needs no decorations: on Wayland, no
    // library to draw them (which would say on standard error that it found
    // no plugin to).
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    SdlX11EndOnLoss();
    if (SDL_Init(SDL_INIT_EVENTS) != 0) {
        SdlHost.noDisplayReason = std::string("SDL cannot start: ") + SDL_GetError();
        SDL_Quit();
        return false;
    }
    if (!StartVideo()) {
        SDL_Quit();
        return false;
    }
    SdlHost.sdlReady = true;
    SdlX11Start();
    // Keys arrive as key events only, never through an input method.
    SDL_StopTextInput();
    return true;
}

// ---- clock and process ----------------------------------------------------

#if defined(__SANITIZE_ADDRESS__) || defined(RAVLIN_HAS_ADDRESS_SANITIZER)
// The one leak outside this program's code: the D-Bus library that SDL starts
// keeps a block it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
// Which suppressions were used is no news to the user at every exit.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

namespace {

// Ends the process with LeakSanitizer's report where memory was lost.
void CheckForLeaks() {
#if defined(__SANITIZE_ADDRESS__) || defined(RAVLIN_HAS_ADDRESS_SANITIZER)
    __lsan_do_leak_check();
#endif
}

}  // namespace

int64_t HostTicks() { return std::chrono::duration_cast<Ticks>(SteadyClock::now() - SdlHost.start).count(); }

int64_t HostTicksPerSecond() { return kHostTicksPerSecond; }

void HostSleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// Like ExitProcess, this runs no static destructors or exit handlers: the
// software layer's records stay as they are to the end. Nor does it run the
// leak check of a build with AddressSanitizer, which is therefore run here,
// before SDL lets go of libraries whose memory would then look lost.
void HostExit(uint32_t code) {
    std::fflush(nullptr);
    CheckForLeaks();
    if (SdlHost.sdlReady) SDL_Quit();
    std::_Exit(static_cast<int>(code));
}

// No leak check: what SDL holds of a broken connection would look lost.
void SdlEndForLostDisplay(const char* words) {
    std::fprintf(stderr, "%s: lost the display: %s\n", program_invocation_short_name, words);
    std::fflush(nullptr);
    std::_Exit(1);
}

// ---- desktops -------------------------------------------------------------

namespace {

// SDL's display that shows a point of the X screen; the first where none does.
int DisplayShowing(int x, int y) {
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds = {};
        const SDL_Point point = {x, y};
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && SDL_PointInRect(&point, &bounds)) return i;
    }
    return 0;
}

}  // namespace

// On X the desktops are its monitors, each at the refresh rate of SDL's
// display that shows it; elsewhere SDL's displays.
int HostDesktopCount() {
    if (!SdlReady()) return 0;
    if (SdlHost.x11.display) return static_cast<int>(SdlHost.x11.monitors.size());
    return std::max(SDL_GetNumVideoDisplays(), 0);
}

HostDesktop HostDesktopAt(int index) {
    if (index < 0 || index >= HostDesktopCount()) return HostDesktop{};
    const SdlX11Monitor* monitor = SdlHost.x11.display ? &SdlHost.x11.monitors[size_t(index)] : nullptr;
    SDL_DisplayMode mode = {};
    const bool readable = DesktopMode(monitor ? DisplayShowing(monitor->x, monitor->y) : index, &mode);
    HostDesktop desktop = HostDesktopOf(index, index == 0, ModeOf(mode), readable);
    if (readable && monitor) {
        desktop.mode.width = monitor->width;
        desktop.mode.height = monitor->height;
    }
    return desktop;
}

HostDesktopMode HostPrimaryDesktop() { return HostDesktopAt(0).mode; }

const char* HostNoDisplayReason() {
    if (HostDesktopCount() > 0) return SdlHost.displayRefusal.c_str();
    if (SdlHost.noDisplayReason.empty()) {
        SdlHost.noDisplayReason = std::string("SDL lists no displays: ") + SDL_GetError();
    }
    return SdlHost.noDisplayReason.c_str();
}

// ---- the exclusive display ------------------------------------------------

namespace {

// Notes why the display could not be taken, with SDL's words; false.
bool Refused(const std::string& what) {
    SdlHost.displayRefusal = what + ": " + SDL_GetError();
    return false;
}

void SleepUntil(int64_t ticks) { std::this_thread::sleep_until(SdlHost.start + Ticks(ticks)); }

void WaitForVerticalBlank() { SleepUntil(SdlHost.clock.BlankAfter(HostTicks())); }

void SetVsync(bool on) {
    if (SdlHost.vsyncOn == on) return;
    SDL_RenderSetVSync(SdlHost.renderer, on ? 1 : 0);
    SdlHost.vsyncOn = on;
}

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
        return Refused("SDL cannot draw in the display's pixel format (" + format + ")");
    }
    SDL_FillRect(SdlHost.framebuffer, nullptr, 0);
    SDL_UpdateWindowSurface(SdlHost.window);
    return true;
}

// Whether this process can open a GPU: a DRM device, or NVIDIA's own. Without
// one, OpenGL could only rasterise in software, which the framebuffer beats,
// and loading it to learn so takes a third of the start.
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

// A renderer is tried only where a GPU may draw. Elsewhere frames go into the
// window's framebuffer; on Wayland, where SDL has none of its own, into
// buffers of the host's (or, where those cannot be had, SDL's renderer).
bool MakePresenter() {
    SDL_Renderer* renderer =
        GpuReachable() ? SDL_CreateRenderer(SdlHost.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC)
                       : nullptr;
    SdlHost.clock.Restart(HostTicks());
    if (renderer && DrawsOnGpu(renderer)) {
        UseRenderer(renderer);
        return true;
    }
    if (renderer) SDL_DestroyRenderer(renderer);
    if (!OnWayland()) return UseFramebuffer();
    if (SdlWaylandJoin() && SdlWaylandUseBuffers()) return true;
    // SDL makes the window anew for its renderer; the host joins it again
    // once the display is open.
    SdlWaylandLeave();
    renderer = SDL_CreateRenderer(SdlHost.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) return Refused("SDL has no renderer for the window");
    UseRenderer(renderer);
    return true;
}

// SDL's full-screen window covers SDL's display. On X the first desktop is a
// monitor, which can be a part of SDL's display (RandR's monitors on one
// output); and where no window manager would act on a request for full
// screen, SDL would wait a tenth of a second to see it taken. There the
// window is made without borders at the monitor's place and size, and a
// window manager is asked to cover the monitor with it.
SDL_Window* CoveringWindow(const SDL_DisplayMode& desktop) {
    constexpr Uint32 kFlags = SDL_WINDOW_ALLOW_HIGHDPI;
    if (!SdlHost.x11.display) {
        return SDL_CreateWindow("ravlin", SDL_WINDOWPOS_CENTERED_DISPLAY(0), SDL_WINDOWPOS_CENTERED_DISPLAY(0),
                                desktop.w, desktop.h, SDL_WINDOW_FULLSCREEN_DESKTOP | kFlags);
    }
    const SdlX11Monitor& monitor = SdlHost.x11.monitors.front();
    const SDL_Rect place = {monitor.x, monitor.y, monitor.width, monitor.height};
    SDL_Rect bounds = {};
    SDL_GetDisplayBounds(0, &bounds);
    SdlX11NoteFocus();
    if (SdlHost.x11.windowManager && SDL_RectEquals(&place, &bounds)) {
        return SDL_CreateWindow("ravlin", place.x, place.y, place.w, place.h, SDL_WINDOW_FULLSCREEN_DESKTOP | kFlags);
    }
    SDL_Window* window = SDL_CreateWindow("ravlin", place.x, place.y, place.w, place.h,
                                          SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN | kFlags);
    if (!window) return nullptr;
    SdlX11AskFullScreen(window);
    SDL_ShowWindow(window);
    return window;
}

bool MakeWindow() {
    SDL_DisplayMode desktop = {};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return Refused("SDL cannot read the desktop's mode");
    SdlHost.clock.refresh = ModeOf(desktop).refresh;
    // The window's pixels are the output's own, on an output the compositor
    // scales as on any other.
    SdlHost.window = CoveringWindow(desktop);
    if (!SdlHost.window) return Refused("SDL cannot make the window");
    SDL_RaiseWindow(SdlHost.window);
    SdlHost.focused = (SDL_GetWindowFlags(SdlHost.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
    return MakePresenter();
}

// A mode smaller than the desktop is scaled up to fill it: by the renderer,
// or by the host where frames go into the framebuffer.
bool SetMode(int width, int height) {
    SdlHost.mirror.Invalidate();
    if (!SdlHost.renderer) {
        SdlHost.sourceColumns.clear();
        SdlHost.width = width;
        SdlHost.height = height;
        return true;
    }
    if (SdlHost.texture) SDL_DestroyTexture(SdlHost.texture);
    // X8R8G8B8: the frame's top byte is no alpha, and a compositor that
    // blends windows (Wayland's) would show a window of alpha 0 as nothing.
    SdlHost.texture =
        SDL_CreateTexture(SdlHost.renderer, SDL_PIXELFORMAT_XRGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!SdlHost.texture) return false;
    SDL_SetTextureBlendMode(SdlHost.texture, SDL_BLENDMODE_NONE);
    SDL_RenderSetLogicalSize(SdlHost.renderer, width, height);
    SdlHost.width = width;
    SdlHost.height = height;
    return true;
}

}  // namespace

bool HostDisplayOpen(int width, int height, int depth) {
    // Frames arrive as 32-bit pixels whatever the depth; the texture takes them as they are.
    (void)depth;
    if (width <= 0 || height <= 0 || !SdlReady()) return false;
    if (!SdlHost.window) {
        if (!MakeWindow()) {
            HostDisplayClose();
            return false;
        }
        SdlWaylandJoin();
        SdlReportKeysHeld();
        SdlWatchScreenSize();
    }
    bool sameMode = width == SdlHost.width && height == SdlHost.height;
    if (!sameMode && !SetMode(width, height)) {
        Refused("SDL cannot make the mode's texture");
        HostDisplayClose();
        return false;
    }
    SdlHost.displayRefusal.clear();
    SdlFollowFocus(SdlHost.focused);
    return true;
}

void HostDisplayClose() {
    if (!SdlHost.window) return;
    SDL_SetRelativeMouseMode(SDL_FALSE);
    SdlX11GiveFocusBack();
    SDL_HideWindow(SdlHost.window);
    SdlWaylandLeave();
    if (SdlHost.texture) SDL_DestroyTexture(SdlHost.texture);
    if (SdlHost.renderer) SDL_DestroyRenderer(SdlHost.renderer);
    SDL_DestroyWindow(SdlHost.window);
    SdlHost.texture = nullptr;
    SdlHost.renderer = nullptr;
    SdlHost.framebuffer = nullptr;
    SdlHost.window = nullptr;
    SdlHost.width = 0;
    SdlHost.height = 0;
    SdlHost.focused = false;
    SdlHost.keysHeldUnseen.clear();
}

namespace {

// The part of the frame to upload: what changed, or all of it where the
// window holds no whole earlier frame. Empty when nothing changed.
SDL_Rect UploadArea(HostRect changed, int width, int height) {
    const HostRect area = SdlHost.mirror.AreaToShow(changed, width, height);
    if (HostAreaEmpty(area)) return {0, 0, 0, 0};
    return {area.left, area.top, area.right - area.left, area.bottom - area.top};
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

// Copies the frame's `area` into the framebuffer, scaled, and answers the
// framebuffer's rectangle it covers.
SDL_Rect CopyIntoFramebuffer(SDL_Surface* surface, const uint8_t* pixels, int pitch, const SDL_Rect& area) {
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
    SDL_Rect area = UploadArea(changed, std::min(width, SdlHost.width), std::min(height, SdlHost.height));
    SDL_Rect updated = {0, 0, 0, 0};
    if (area.w > 0) {
        if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
        updated = CopyIntoFramebuffer(surface, pixels, pitch, area);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    }
    if (whole) updated = {0, 0, surface->w, surface->h};
    if (atVerticalBlank) WaitForVerticalBlank();
    int count = updated.w > 0 && updated.h > 0 ? 1 : 0;
    if (SDL_UpdateWindowSurfaceRects(SdlHost.window, &updated, count) == 0) SdlHost.mirror.Shown();
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
    if (SdlWaylandAwaitRepaint(blank + RepaintGrace(SdlHost.waylandBeat, SdlHost.clock), &heard)) {
        blank += FollowRepaint(SdlHost.waylandBeat, SdlHost.clock, heard, SdlHost.waylandShownTicks);
    }
    SleepUntil(blank);
}

// Each buffer of the host's is brought up to date when it is next used: with
// what changed in this frame and in those presented while it was elsewhere.
// The compositor is told of the part of it that differs from the last shown.
// Where the compositor holds them all, the present waits for its blank and
// then takes one let go of meanwhile; with none, the frame is not shown, and
// what changed in it goes to the next.
void PresentToWaylandBuffer(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                            bool atVerticalBlank) {
    const int shownWidth = std::min(width, SdlHost.width);
    const int shownHeight = std::min(height, SdlHost.height);
    const SDL_Rect area = UploadArea(changed, shownWidth, shownHeight);
    if (SdlHost.mirror.wholeFrameDue) {
        for (SdlWaylandBuffer& buffer : SdlHost.waylandBuffers) buffer.whole = true;
        SdlHost.mirror.Shown();
    }
    SdlWaylandBuffer* next = SdlWaylandFreeBuffer();
    bool blankDue = atVerticalBlank;
    if (!next && blankDue) {
        WaitForRepaint();
        blankDue = false;
        next = SdlWaylandFreeBuffer();
    }
    for (SdlWaylandBuffer& buffer : SdlHost.waylandBuffers) {
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
    if (copy.w > 0 && copy.h > 0) updated = CopyIntoFramebuffer(next->surface, pixels, pitch, copy);
    if (next->whole) updated = {0, 0, next->surface->w, next->surface->h};
    next->whole = false;
    next->stale = {0, 0, 0, 0};
    if (blankDue) WaitForRepaint();
    if (updated.w > 0 && updated.h > 0) SdlWaylandShow(*next, updated);
}

void PresentThroughRenderer(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                            bool atVerticalBlank) {
    if (!SdlHost.texture) return;
    SDL_Rect area = UploadArea(changed, std::min(width, SdlHost.width), std::min(height, SdlHost.height));
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

}  // namespace

void HostDisplayPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                        bool atVerticalBlank) {
    if (!SdlHost.window) return;
    if (SdlHost.renderer) {
        PresentThroughRenderer(pixels, width, height, pitch, changed, atVerticalBlank);
    } else if (SdlHost.waylandFrameSurface) {
        PresentToWaylandBuffer(pixels, width, height, pitch, changed, atVerticalBlank);
    } else {
        PresentToFramebuffer(pixels, width, height, pitch, changed, atVerticalBlank);
    }
}

// Refresh intervals follow the host's clock of vertical blanks.
int HostDisplayScanLine() {
    int lines = SdlHost.window ? SdlHost.height : HostPrimaryDesktop().height;
    return SdlHost.clock.ScanLine(HostTicks(), lines);
}

int HostDisplayRefreshRate() {
    if (SdlHost.window) return SdlHost.clock.refresh;
    int refresh = HostPrimaryDesktop().refresh;
    return refresh > 0 ? refresh : kDefaultRefresh;
}

bool HostGammaRead(uint16_t ramp[768]) {
    return SdlHost.window && SDL_GetWindowGammaRamp(SdlHost.window, ramp, ramp + 256, ramp + 512) == 0;
}

bool HostGammaWrite(const uint16_t ramp[768]) {
    return SdlHost.window && SDL_SetWindowGammaRamp(SdlHost.window, ramp, ramp + 256, ramp + 512) == 0;
}

void HostCursorShow(bool visible) {
    if (SdlReady()) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}
