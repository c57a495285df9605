// The SDL host: the Linux program's real machine. A steady clock, SDL's
// displays as the desktops, a full-screen window as the exclusive display,
// and SDL's window, keyboard and mouse events.
//
// A frame reaches the window by the cheapest honest path: through a renderer
// and a streaming texture where a GPU draws them, or else straight into the
// window's framebuffer (on X11, shared memory with the X server), since an
// OpenGL that rasterises in software costs more than the copy it replaces.
// Either way only the rectangle that changed is uploaded.
//
// SDL starts on first use. Where it cannot (no display), the host answers as a
// machine without one: no desktops, and the display cannot be taken.
#include <SDL.h>
#include <SDL_syswm.h>

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

#include "platform/host/host.h"
#include "platform/host/kit.h"
#include "platform/host/scan_line.h"
#include "platform/host/sdl_keys.h"
#include "platform/host/viewport.h"

// Last: Xlib's macros would rename names of the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

using SteadyClock = std::chrono::steady_clock;
using Ticks = std::chrono::duration<int64_t, std::ratio<1, kHostTicksPerSecond>>;

constexpr int kDefaultRefresh = 60;
// Presents with vsync made back to back when the display is taken, to learn
// whether the renderer's vsync is the display's, and how many of the first
// ones are not counted.
constexpr int kVsyncProbeFrames = 14;
constexpr int kVsyncProbeSettling = 3;

struct SdlHostState {
    SteadyClock::time_point start = SteadyClock::now();
    bool sdlTried = false;
    bool sdlReady = false;

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
};

SdlHostState SdlHost;

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

// The first of SDL's video drivers, in its order, that reaches a display.
// Those that draw nowhere are not tried, nor is Wayland without
// XDG_RUNTIME_DIR: its display cannot be found then, and its library would
// say so on standard error. A driver named by SDL_VIDEODRIVER is the only one
// SDL tries, whatever is asked here.
bool StartVideo() {
    const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
    const bool waylandReachable = runtimeDirectory && *runtimeDirectory;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (DrawsNowhere(driver) || (std::strcmp(driver, "wayland") == 0 && !waylandReachable)) continue;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) continue;
        if (!DrawsNowhere(SDL_GetCurrentVideoDriver())) return true;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    return false;
}

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
    if (SDL_Init(SDL_INIT_EVENTS) != 0 || !StartVideo()) {
        SDL_Quit();
        return false;
    }
    SdlHost.sdlReady = true;
    // Keys arrive as key events only, never through an input method.
    SDL_StopTextInput();
    return true;
}

HostDesktopMode ModeOf(const SDL_DisplayMode& mode) {
    int depth = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    // A 24-bit desktop stored in 4 bytes a pixel is what Windows calls 32 bits.
    if (SDL_BYTESPERPIXEL(mode.format) == 4) depth = 32;
    return {mode.w, mode.h, depth, mode.refresh_rate > 0 ? mode.refresh_rate : kDefaultRefresh};
}

}  // namespace

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

// ---- desktops -------------------------------------------------------------

int HostDesktopCount() { return SdlReady() ? std::max(SDL_GetNumVideoDisplays(), 0) : 0; }

HostDesktop HostDesktopAt(int index) {
    if (index < 0 || index >= HostDesktopCount()) return HostDesktop{};
    SDL_DisplayMode mode = {};
    const bool readable = SDL_GetDesktopDisplayMode(index, &mode) == 0;
    HostDesktop desktop = HostDesktopOf(index, index == 0, ModeOf(mode), readable);
    if (readable && SdlHost.screenWidth > 0) {
        desktop.mode.width = SdlHost.screenWidth;
        desktop.mode.height = SdlHost.screenHeight;
    }
    return desktop;
}

HostDesktopMode HostPrimaryDesktop() { return HostDesktopAt(0).mode; }

// ---- the exclusive display ------------------------------------------------

namespace {

int64_t RefreshTicks() { return kHostTicksPerSecond / SdlHost.refresh; }

// The first vertical blank after `ticks` on the host's clock of blanks.
int64_t VerticalBlankAfter(int64_t ticks) {
    int64_t refresh = SdlHost.refresh;
    int64_t since = std::max<int64_t>(ticks - SdlHost.blankOrigin, 0);
    int64_t blank = since * refresh / kHostTicksPerSecond + 1;
    return SdlHost.blankOrigin + (blank * kHostTicksPerSecond + refresh - 1) / refresh;
}

void WaitForVerticalBlank() {
    int64_t blank = VerticalBlankAfter(HostTicks());
    std::this_thread::sleep_until(SdlHost.start + Ticks(blank));
}

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
    return std::abs(*middle - RefreshTicks()) * 50 <= RefreshTicks();
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
bool UseFramebuffer() {
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
    SdlHost.vsyncFollowsDisplay = false;
    SdlHost.framebuffer = SDL_GetWindowSurface(SdlHost.window);
    SdlHost.wholeFrameDue = true;
    return SdlHost.framebuffer != nullptr;
}

bool MakePresenter() {
    SDL_Renderer* renderer =
        SDL_CreateRenderer(SdlHost.window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    bool gpu = renderer && DrawsOnGpu(renderer);
    if (gpu) {
        UseRenderer(renderer);
    } else if (renderer) {
        SDL_DestroyRenderer(renderer);
    }
    SdlHost.blankOrigin = HostTicks();
    return gpu || UseFramebuffer();
}

bool MakeWindow() {
    int display = 0;
    SDL_DisplayMode desktop = {};
    if (SDL_GetDesktopDisplayMode(display, &desktop) != 0) return false;
    SdlHost.refresh = ModeOf(desktop).refresh;
    SdlHost.window =
        SDL_CreateWindow("ravlin", SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                         desktop.w, desktop.h, SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (!SdlHost.window) return false;
    SDL_RaiseWindow(SdlHost.window);
    SdlHost.focused = (SDL_GetWindowFlags(SdlHost.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
    return MakePresenter();
}

// A mode smaller than the desktop is scaled up to fill it: by the renderer,
// or by the host where frames go into the framebuffer.
bool SetMode(int width, int height) {
    SdlHost.wholeFrameDue = true;
    if (!SdlHost.renderer) {
        SdlHost.sourceColumns.clear();
        SdlHost.width = width;
        SdlHost.height = height;
        return true;
    }
    if (SdlHost.texture) SDL_DestroyTexture(SdlHost.texture);
    SdlHost.texture =
        SDL_CreateTexture(SdlHost.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!SdlHost.texture) return false;
    SDL_SetTextureBlendMode(SdlHost.texture, SDL_BLENDMODE_NONE);
    SDL_RenderSetLogicalSize(SdlHost.renderer, width, height);
    SdlHost.width = width;
    SdlHost.height = height;
    return true;
}

// The X display SDL draws on and the window's X window, or a null display
// under another video driver.
Display* XDisplayOfWindow(Window* xWindow = nullptr) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SdlHost.window || !SDL_GetWindowWMInfo(SdlHost.window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return nullptr;
    }
    if (xWindow) *xWindow = info.info.x11.window;
    return info.info.x11.display;
}

bool XKeyDown(const char (&keys)[32], int keycode) { return (keys[keycode / 8] >> (keycode % 8)) & 1; }

// Keys already down when the display is taken or the focus comes back are
// down for the program too, as DirectInput reads the keyboard's state, not
// its events. X tells a window of such keys only when asked, and SDL passes
// on the modifiers alone; it would also drop their releases.
void ReportKeysHeld() {
    Display* display = XDisplayOfWindow();
    if (!display) return;
    char keys[32] = {};
    XQueryKeymap(display, keys);
    for (int keycode = 8; keycode < 256; ++keycode) {
        const int code = KeyCodeOfX(keycode);
        if (code == 0 || !XKeyDown(keys, keycode)) continue;
        SdlHost.pending.push_back({HostEventType::KeyHeld, code, 0, 0});
        std::vector<int>& unseen = SdlHost.keysHeldUnseen;
        if (std::find(unseen.begin(), unseen.end(), keycode) == unseen.end()) unseen.push_back(keycode);
    }
}

// The releases of the keys reported held, while SDL knows nothing of them.
void ReportReleasesOfKeysHeld() {
    std::vector<int>& unseen = SdlHost.keysHeldUnseen;
    Display* display = unseen.empty() ? nullptr : XDisplayOfWindow();
    if (!display) return;
    char keys[32] = {};
    XQueryKeymap(display, keys);
    std::erase_if(unseen, [&keys](int keycode) {
        if (XKeyDown(keys, keycode)) return false;
        SdlHost.pending.push_back({HostEventType::KeyUp, KeyCodeOfX(keycode), 0, 0});
        return true;
    });
}

// An event of SDL's for a key reported held: SDL knows of the key from now on.
void ForgetKeyHeld(int code) {
    std::erase_if(SdlHost.keysHeldUnseen, [code](int keycode) { return KeyCodeOfX(keycode) == code; });
}

// SDL has no event for a new size of the X screen: RandR's reaches the host
// as an X event that SDL passes on. SDL has already asked RandR for changes
// of outputs, and the X server keeps a client's first choice of RandR events
// for a window until it is cleared; so it is cleared, and those are asked for
// again with the screen's changes.
void WatchScreenSize() {
    Display* display = XDisplayOfWindow();
    int errorBase = 0;
    if (SdlHost.screenChangeEvent || !display || !XRRQueryExtension(display, &SdlHost.screenChangeEvent, &errorBase)) {
        return;
    }
    SdlHost.screenChangeEvent += RRScreenChangeNotify;
    XRRSelectInput(display, DefaultRootWindow(display), 0);
    XRRSelectInput(display, DefaultRootWindow(display), RRScreenChangeNotifyMask | RROutputChangeNotifyMask);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

// The screen's new size is the desktop's, where the screen is one desktop.
// The full-screen window follows it: with no window manager to resize it,
// the host does, and the present then scales the mode to the new size.
void FollowScreenSize(XEvent& event) {
    if (event.type != SdlHost.screenChangeEvent || SDL_GetNumVideoDisplays() != 1) return;
    XRRUpdateConfiguration(&event);  // the size, turned as the screen is
    Display* display = event.xany.display;
    SdlHost.screenWidth = DisplayWidth(display, DefaultScreen(display));
    SdlHost.screenHeight = DisplayHeight(display, DefaultScreen(display));
    Window xWindow = 0;
    if (XDisplayOfWindow(&xWindow) == display) {
        XResizeWindow(display, xWindow, unsigned(SdlHost.screenWidth), unsigned(SdlHost.screenHeight));
    }
}

// Once another program's window that took the focus has gone, X gives the
// focus to no window (or the root), and with no window manager nothing gives
// it back. Shown again while no window has the focus, the window takes it.
void TakeFocusLeftToNoWindow() {
    Display* display = SdlHost.focused ? nullptr : XDisplayOfWindow();
    if (!display) return;
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(display)) {
        SDL_SetWindowInputFocus(SdlHost.window);
    }
}

bool TakePending(HostEvent* event) {
    if (SdlHost.pending.empty()) return false;
    *event = SdlHost.pending.front();
    SdlHost.pending.erase(SdlHost.pending.begin());
    return true;
}

// The mouse reports relative counts only while the display is ours.
void FollowFocus(bool focused) {
    SdlHost.focused = focused;
    SDL_SetRelativeMouseMode(SdlHost.window && focused ? SDL_TRUE : SDL_FALSE);
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
        ReportKeysHeld();
        WatchScreenSize();
    }
    bool sameMode = width == SdlHost.width && height == SdlHost.height;
    if (!sameMode && !SetMode(width, height)) {
        HostDisplayClose();
        return false;
    }
    FollowFocus(SdlHost.focused);
    return true;
}

void HostDisplayClose() {
    if (!SdlHost.window) return;
    SDL_SetRelativeMouseMode(SDL_FALSE);
    SDL_HideWindow(SdlHost.window);
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
    const HostRect area = HostAreaToShow(changed, width, height, SdlHost.wholeFrameDue);
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
// columns [first, last), in the framebuffer's pixel format.
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
        SdlHost.wholeFrameDue = true;
    }
    if (surface && SdlHost.wholeFrameDue) SDL_FillRect(surface, nullptr, 0);
    return surface;
}

void PresentToFramebuffer(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                          bool atVerticalBlank) {
    SDL_Surface* surface = CurrentFramebuffer();
    if (!surface) return;
    bool whole = SdlHost.wholeFrameDue;
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
    if (SDL_UpdateWindowSurfaceRects(SdlHost.window, &updated, count) == 0) SdlHost.wholeFrameDue = false;
}

void PresentThroughRenderer(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                            bool atVerticalBlank) {
    if (!SdlHost.texture) return;
    SDL_Rect area = UploadArea(changed, std::min(width, SdlHost.width), std::min(height, SdlHost.height));
    if (area.w > 0) SDL_UpdateTexture(SdlHost.texture, &area, pixels + int64_t{area.y} * pitch + area.x * 4, pitch);
    SdlHost.wholeFrameDue = false;
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
    if (atVerticalBlank && after - before >= RefreshTicks() / 4) SdlHost.blankOrigin = after;
}

}  // namespace

void HostDisplayPresent(const uint8_t* pixels, int width, int height, int pitch, HostRect changed,
                        bool atVerticalBlank) {
    if (!SdlHost.window) return;
    if (SdlHost.renderer) {
        PresentThroughRenderer(pixels, width, height, pitch, changed, atVerticalBlank);
    } else {
        PresentToFramebuffer(pixels, width, height, pitch, changed, atVerticalBlank);
    }
}

// Refresh intervals follow the host's clock of vertical blanks.
int HostDisplayScanLine() {
    int lines = SdlHost.window ? SdlHost.height : HostPrimaryDesktop().height;
    int64_t since = std::max<int64_t>(HostTicks() - SdlHost.blankOrigin, 0);
    return ScanLineAt(since * SdlHost.refresh % kHostTicksPerSecond, kHostTicksPerSecond, lines);
}

int HostDisplayRefreshRate() {
    if (SdlHost.window) return SdlHost.refresh;
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

// ---- events ---------------------------------------------------------------

namespace {

bool WindowEvent(const SDL_WindowEvent& window, HostEvent* event) {
    // What a window given back to the desktop still reports is not news.
    if (!SdlHost.window || window.windowID != SDL_GetWindowID(SdlHost.window)) return false;
    switch (window.event) {
        case SDL_WINDOWEVENT_FOCUS_LOST:
            FollowFocus(false);
            *event = {HostEventType::FocusLost, 0, 0, 0};
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            FollowFocus(true);
            *event = {HostEventType::FocusGained, 0, 0, 0};
            ReportKeysHeld();
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            *event = {HostEventType::Close, 0, 0, 0};
            return true;
        case SDL_WINDOWEVENT_EXPOSED:
            TakeFocusLeftToNoWindow();
            [[fallthrough]];
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // What the window showed may be gone: the next present shows all.
            SdlHost.wholeFrameDue = true;
            return false;
        default:
            return false;
    }
}

bool KeyEvent(const SDL_KeyboardEvent& key, HostEvent* event) {
    int code = KeyCodeOf(key.keysym.scancode);
    // A held key's repeats are not new presses.
    if (code == 0 || key.repeat) return false;
    ForgetKeyHeld(code);
    *event = {key.type == SDL_KEYDOWN ? HostEventType::KeyDown : HostEventType::KeyUp, code, 0, 0};
    return true;
}

bool ButtonEvent(const SDL_MouseButtonEvent& button, HostEvent* event) {
    int number = button.button == SDL_BUTTON_LEFT     ? 1
                 : button.button == SDL_BUTTON_RIGHT  ? 2
                 : button.button == SDL_BUTTON_MIDDLE ? 3
                                                      : 0;
    if (number == 0) return false;
    *event = {HostEventType::MouseButton, number, button.state == SDL_PRESSED ? 1 : 0, 0};
    return true;
}

bool WheelEvent(const SDL_MouseWheelEvent& wheel, HostEvent* event) {
    int notches = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -wheel.y : wheel.y;
    if (notches == 0) return false;
    *event = {HostEventType::MouseWheel, notches * 120, 0, 0};
    return true;
}

// Turns one of SDL's events into the host's; false for those it has no use for.
bool HostEventFrom(const SDL_Event& sdl, HostEvent* event) {
    switch (sdl.type) {
        case SDL_WINDOWEVENT:
            return WindowEvent(sdl.window, event);
        case SDL_QUIT:
            *event = {HostEventType::Close, 0, 0, 0};
            return true;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return KeyEvent(sdl.key, event);
        case SDL_MOUSEMOTION:
            if (sdl.motion.xrel == 0 && sdl.motion.yrel == 0) return false;
            *event = {HostEventType::MouseMove, 0, sdl.motion.xrel, sdl.motion.yrel};
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return ButtonEvent(sdl.button, event);
        case SDL_MOUSEWHEEL:
            return WheelEvent(sdl.wheel, event);
        case SDL_SYSWMEVENT:
            if (sdl.syswm.msg->subsystem == SDL_SYSWM_X11) FollowScreenSize(sdl.syswm.msg->msg.x11.event);
            return false;
        default:
            return false;
    }
}

}  // namespace

// The host's own events come first: the keys held when the focus came come
// after the focus, and the releases of such keys once SDL has nothing more.
bool HostNextEvent(HostEvent* event) {
    if (!SdlReady()) return false;
    if (TakePending(event)) return true;
    SDL_Event sdl;
    while (SDL_PollEvent(&sdl)) {
        if (HostEventFrom(sdl, event)) return true;
    }
    ReportReleasesOfKeysHeld();
    return TakePending(event);
}
