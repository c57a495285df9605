// The host's own use of SDL's Wayland connection, on an event queue of its
// own: the keys held, and the compositor's presence. Frames in buffers of
// the host's own are in sdl_wayland_buffers.cpp.
//
// The keys held. SDL 2.26's Wayland driver takes from wl_keyboard.enter only
// the modifiers held when the window gets the keyboard, and X's XQueryKeymap
// is not there to ask. So the host binds a keyboard of its own to the seat:
// the keys its enter lists, and those pressed and released since, are the
// keys down, in X's layout (key codes are the evdev codes plus 8).
//
// Depends on SDL2, Wayland's client library and libxkbcommon.
#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/host/sdl_host.h"
#include "platform/host/sdl_keys.h"

// SDL 2.26.5 crashes where a keyboard that a program makes appears after the
// window with a key already down (wtype, an on-screen or a remote desktop's
// keyboard): keyboard_handle_enter looks the keys it lists up through
// Wayland_get_scancode_from_key, whose xkb_keymap_key_get_syms_by_level
// gets the layout XKB_LAYOUT_INVALID until a wl_keyboard.modifiers has come,
// which comes after the enter; libxkbcommon indexes the key's layouts with it
// unchecked. This definition comes before libxkbcommon's for SDL, which is
// linked against it, and answers no keysyms for a layout the key has not.
extern "C" int xkb_keymap_key_get_syms_by_level(xkb_keymap* keymap, xkb_keycode_t key, xkb_layout_index_t layout,
                                                xkb_level_index_t level, const xkb_keysym_t** keysyms) {
    using Lookup = int (*)(xkb_keymap*, xkb_keycode_t, xkb_layout_index_t, xkb_level_index_t, const xkb_keysym_t**);
    static const auto next = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "xkb_keymap_key_get_syms_by_level"));
    if (!next || !keymap || layout >= xkb_keymap_num_layouts_for_key(keymap, key)) {
        *keysyms = nullptr;
        return 0;
    }
    return next(keymap, key, layout, level, keysyms);
}

namespace {

constexpr int kXKeyCodeOffset = 8;

void SetKey(uint32_t keycode, bool down) {
    if (keycode >= SdlHost.wayland.keys.size() * 8) return;
    char& bits = SdlHost.wayland.keys[keycode / 8];
    const char bit = static_cast<char>(1 << (keycode % 8));
    bits = static_cast<char>(down ? (bits | bit) : (bits & ~bit));
}

bool KeyDown(uint32_t keycode) {
    return keycode < SdlHost.wayland.keys.size() * 8 && ((SdlHost.wayland.keys[keycode / 8] >> (keycode % 8)) & 1);
}

// The first keysym of a key, unshifted, in a keymap's first layout.
xkb_keysym_t KeysymOf(xkb_keymap* keymap, xkb_keycode_t keycode) {
    const xkb_keysym_t* keysyms = nullptr;
    return xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, 0, &keysyms) > 0 ? keysyms[0] : XKB_KEY_NoSymbol;
}

// A keyboard that a program makes (an on-screen keyboard, a remote desktop's,
// a typing tool's) numbers its keys as it likes, in a keymap whose layout
// has no name: its keys are known by their keysyms, and take the key codes
// the same keysyms have on a standard keyboard (evdev, US layout).
bool KeymapIsVirtual(xkb_keymap* keymap) { return xkb_keymap_layout_get_name(keymap, 0) == nullptr; }

void MapStandardKeysyms() {
    const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    xkb_keymap* standard = xkb_keymap_new_from_names(SdlHost.wayland.xkb, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!standard) return;
    for (xkb_keycode_t keycode = xkb_keymap_max_keycode(standard); keycode >= xkb_keymap_min_keycode(standard);
         --keycode) {
        const xkb_keysym_t keysym = KeysymOf(standard, keycode);
        if (keysym != XKB_KEY_NoSymbol) SdlHost.wayland.standardKeycodes[keysym] = keycode;
        if (keycode == 0) break;
    }
    xkb_keymap_unref(standard);
}

// The X key code (the kernel's number plus 8) of a key of the keyboard: its
// own, or for a program's keyboard the standard one of its keysym; 0 for
// none.
uint32_t XKeycodeOf(uint32_t key) {
    const uint32_t keycode = key + kXKeyCodeOffset;
    if (!SdlHost.wayland.keymap || !SdlHost.wayland.keymapVirtual) return keycode;
    const auto standard = SdlHost.wayland.standardKeycodes.find(KeysymOf(SdlHost.wayland.keymap, keycode));
    return standard == SdlHost.wayland.standardKeycodes.end() ? 0 : standard->second;
}

void OnKeymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    void* text =
        format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED) return;
    if (!SdlHost.wayland.xkb) SdlHost.wayland.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = SdlHost.wayland.xkb
                             ? xkb_keymap_new_from_string(SdlHost.wayland.xkb, static_cast<char*>(text),
                                                          XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)
                             : nullptr;
    munmap(text, size);
    if (!keymap) return;
    if (SdlHost.wayland.keymap) xkb_keymap_unref(SdlHost.wayland.keymap);
    SdlHost.wayland.keymap = keymap;
    SdlHost.wayland.keymapVirtual = KeymapIsVirtual(keymap);
    if (SdlHost.wayland.keymapVirtual && SdlHost.wayland.standardKeycodes.empty()) MapStandardKeysyms();
}

bool ReportedHeld(uint32_t keycode) {
    const std::vector<int>& held = SdlHost.keysHeldUnseen;
    return std::find(held.begin(), held.end(), int(keycode)) != held.end();
}

// A key found down: KeyHeld, and its release is reported by sdl_events.cpp
// once the key is seen up, as for the keys held when the display is taken.
void ReportHeld(uint32_t keycode) {
    const int code = KeyCodeOfX(int(keycode));
    if (code == 0 || ReportedHeld(keycode)) return;
    SdlHost.pending.push_back({HostEventType::KeyHeld, code, 0, 0});
    SdlHost.keysHeldUnseen.push_back(int(keycode));
}

// The window has the keyboard, with these keys down: they are held, before
// the keys that follow. (SDL reports the focus, from its own keyboard.)
void OnEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array* keys) {
    SdlHost.wayland.left = false;
    SdlHost.wayland.keys = {};
    const auto* key = static_cast<const uint32_t*>(keys->data);
    for (size_t i = 0; i < keys->size / sizeof(uint32_t); ++i) {
        const uint32_t keycode = XKeycodeOf(key[i]);
        SetKey(keycode, true);
        ReportHeld(keycode);
    }
}

// Whether the leave is the window's loss of the focus, or the keyboard's
// going, is known once the events that came with it are taken.
void OnLeave(void*, wl_keyboard*, uint32_t, wl_surface*) { SdlHost.wayland.left = true; }

// A key pressed or released is the program's KeyDown or KeyUp, but for a key
// reported held: sdl_events.cpp reports its release, as on X.
void ReportKey(uint32_t keycode, bool down) {
    const int code = KeyCodeOfX(int(keycode));
    if (code == 0 || ReportedHeld(keycode)) return;
    SdlHost.pending.push_back({down ? HostEventType::KeyDown : HostEventType::KeyUp, code, 0, 0});
}

void OnKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    const uint32_t keycode = XKeycodeOf(key);
    const bool down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    if (keycode == 0 || KeyDown(keycode) == down) return;
    SetKey(keycode, down);
    ReportKey(keycode, down);
}

void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}

void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

constexpr wl_keyboard_listener kKeyboardListener = {OnKeymap, OnEnter, OnLeave, OnKey, OnModifiers, OnRepeatInfo};

// Keys still down when their keyboard goes are up: the ones reported held
// by sdl_events.cpp, which sees them gone, and the others here.
void ReleaseKeysOfKeyboardGone() {
    for (uint32_t keycode = 0; keycode < SdlHost.wayland.keys.size() * 8; ++keycode) {
        if (KeyDown(keycode)) ReportKey(keycode, false);
    }
    SdlHost.wayland.keys = {};
}

void ForgetKeyboard() {
    if (SdlHost.wayland.keyboard &&
        wl_keyboard_get_version(SdlHost.wayland.keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
        wl_keyboard_release(SdlHost.wayland.keyboard);
    } else if (SdlHost.wayland.keyboard) {
        wl_keyboard_destroy(SdlHost.wayland.keyboard);
    }
    SdlHost.wayland.keyboard = nullptr;
}

// A keyboard may come to the seat after the window (a program's, or one
// plugged in) and go again. A compositor stops sending to a wl_keyboard once
// its seat has no keyboard, and for good, so a new one is asked for each
// time a keyboard comes. A keyboard that goes leaves the window first: that
// leave takes no focus away.
void OnCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (keyboard == SdlHost.wayland.seatHasKeyboard && SdlHost.wayland.keyboard) return;
    SdlHost.wayland.seatHasKeyboard = keyboard;
    ForgetKeyboard();
    if (!keyboard) {
        SdlHost.wayland.left = false;
        ReleaseKeysOfKeyboardGone();
        return;
    }
    SdlHost.wayland.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(SdlHost.wayland.keyboard, &kKeyboardListener, nullptr);
}

void OnSeatName(void*, wl_seat*, const char*) {}

constexpr wl_seat_listener kSeatListener = {OnCapabilities, OnSeatName};

// A leave that no loss of the keyboard followed is the window's loss of
// the focus, which SDL reports: the keys are forgotten, as the program
// forgets them then.
void ForgetKeysOfFocusLost() {
    if (SdlHost.wayland.left) SdlHost.wayland.keys = {};
    SdlHost.wayland.left = false;
}

// SDL's own keyboard on Wayland is not heard: it forgets a keyboard that
// went and came back between two reads, and reads a program's keyboard
// through a keymap that may not be the one its keys come with. The host's
// keyboard gives the keys instead. SDL takes the window's focus from its
// keyboard's enter and leave; a leave because the seat's keyboard went
// (the host's queue, read with SDL's, has heard so by then) is no loss of
// the focus, since the window still has it and would stop showing frames
// until a keyboard came back.
int DropSdlKeyboardEvents(void*, SDL_Event* event) {
    if (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP) return 0;
    if (event->type != SDL_WINDOWEVENT || event->window.event != SDL_WINDOWEVENT_FOCUS_LOST) return 1;
    wl_display_dispatch_queue_pending(SdlHost.wayland.display, SdlHost.wayland.queue);
    return SdlHost.wayland.seatHasKeyboard ? 1 : 0;
}

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (!SdlHost.wayland.seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
        const uint32_t bound = std::min(version, 4u);
        SdlHost.wayland.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, bound));
        wl_seat_add_listener(SdlHost.wayland.seat, &kSeatListener, nullptr);
    } else if (!SdlHost.wayland.shm && std::strcmp(interface, wl_shm_interface.name) == 0) {
        SdlHost.wayland.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (!SdlHost.wayland.compositor && std::strcmp(interface, wl_compositor_interface.name) == 0 &&
               version >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
        SdlHost.wayland.compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION));
    } else if (!SdlHost.wayland.subcompositor && std::strcmp(interface, wl_subcompositor_interface.name) == 0) {
        SdlHost.wayland.subcompositor =
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
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), SdlHost.wayland.queue);
    return wrapper;
}

}  // namespace

// What was asked is already sent: the host flushes the connection after
// each frame it shows, and only then. The wait is to the tick, not rounded
// to milliseconds, since it ends at a vertical blank.
bool SdlWaylandDispatchWithin(wl_display* display, int64_t ticks) {
    if (wl_display_dispatch_queue_pending(display, SdlHost.wayland.queue) > 0) return true;
    while (wl_display_prepare_read_queue(display, SdlHost.wayland.queue) != 0) {
        if (wl_display_dispatch_queue_pending(display, SdlHost.wayland.queue) > 0) return true;
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
    return wl_display_dispatch_queue_pending(display, SdlHost.wayland.queue) > 0;
}

bool SdlWaylandJoin() {
    SDL_SysWMinfo info;
    if (!WaylandInfoOfWindow(&info)) return false;
    if (SdlHost.wayland.queue) return true;
    wl_display* display = info.info.wl.display;
    SdlHost.wayland.display = display;
    SdlHost.wayland.keys = {};
    SdlHost.wayland.queue = wl_display_create_queue(display);
    auto* wrapper = OnHostQueue(display);
    SdlHost.wayland.registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    wl_registry_add_listener(SdlHost.wayland.registry, &kRegistryListener, nullptr);
    SdlHost.wayland.surface = OnHostQueue(info.info.wl.surface);
    // The globals, then the seat's capabilities and keyboard, then its enter.
    // The display's opening reports the keys held itself.
    const size_t reported = SdlHost.pending.size();
    for (int i = 0; i < 3; ++i) wl_display_roundtrip_queue(display, SdlHost.wayland.queue);
    SdlHost.pending.resize(reported);
    SdlHost.wayland.left = false;
    SDL_SetEventFilter(DropSdlKeyboardEvents, nullptr);
    return true;
}

bool SdlWaylandKeysDown(char (&keys)[32]) {
    if (!SdlHost.wayland.display) return false;
    // SDL reads the connection as it pumps its events; what came for this
    // queue waits here until dispatched.
    wl_display_dispatch_queue_pending(SdlHost.wayland.display, SdlHost.wayland.queue);
    std::memcpy(keys, SdlHost.wayland.keys.data(), sizeof(keys));
    return true;
}

void SdlWaylandPump() {
    if (!SdlHost.wayland.display) return;
    SdlWaylandDispatchWithin(SdlHost.wayland.display, 0);
    ForgetKeysOfFocusLost();
}

void SdlWaylandLeave() {
    SdlWaylandLetBuffersGo();
    ForgetKeyboard();
    SdlWaylandRelease(SdlHost.wayland.keymap, xkb_keymap_unref);
    SdlWaylandRelease(SdlHost.wayland.xkb, xkb_context_unref);
    SdlHost.wayland.standardKeycodes.clear();
    SdlHost.wayland.seatHasKeyboard = false;
    if (SdlHost.wayland.queue) SDL_SetEventFilter(nullptr, nullptr);
    SdlWaylandRelease(SdlHost.wayland.seat, wl_seat_destroy);
    SdlWaylandRelease(SdlHost.wayland.registry, wl_registry_destroy);
    SdlWaylandRelease(SdlHost.wayland.queue, wl_event_queue_destroy);
    SdlHost.wayland.display = nullptr;
    SdlHost.wayland.keys = {};
}

// ---- the compositor's presence --------------------------------------------
//
// SDL 2.26's Wayland driver does not notice the compositor going: it asks to
// quit, or, in the middle of making a window, waits for ever for an answer.
// So the host keeps a connection of its own, on which nothing is asked and
// nothing arrives, and a thread that waits on it: when it ends, the
// compositor has gone, and so has the display.

namespace {

void NoteSeat(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0) *static_cast<bool*>(data) = true;
}

void IgnoreRemoval(void*, wl_registry*, uint32_t) {}

constexpr wl_registry_listener kSeatFinder = {NoteSeat, IgnoreRemoval};

constexpr char kCompositorGone[] = "the connection to the Wayland compositor was broken";

void WatchCompositor(wl_display* display) {
    pollfd connection = {wl_display_get_fd(display), POLLIN, 0};
    while (poll(&connection, 1, -1) < 0 || wl_display_dispatch(display) >= 0) {
    }
    SdlEndForLostDisplay(kCompositorGone);
}

}  // namespace

bool SdlWaylandSeatMissing() {
    wl_display* display = SdlHost.wayland.watch ? SdlHost.wayland.watch : wl_display_connect(nullptr);
    if (!display) return false;
    SdlHost.wayland.watch = display;
    bool seat = false;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kSeatFinder, &seat);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    return answered && !seat;
}

namespace {

// SDL 2.26 reads the compositor's globals once as its Wayland driver starts;
// where the compositor goes in the middle, SDL finds no seat and crashes on
// the one it lacks. A crash there, with the compositor gone, is the loss of
// the display and ends the program as such; any other stays a crash.
// The line is written as SdlEndForLostDisplay words it, with calls that a
// signal handler may make.
void EndIfCompositorGone(int) {
    pollfd watch = {wl_display_get_fd(SdlHost.wayland.watch), POLLIN, 0};
    if (poll(&watch, 1, 0) == 1 && (watch.revents & POLLHUP)) {
        const char* const parts[] = {program_invocation_short_name, ": lost the display: ", kCompositorGone, "\n"};
        for (const char* part : parts) {
            [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, part, std::strlen(part));
        }
        _exit(1);
    }
    std::signal(SIGSEGV, SIG_DFL);  // the crash happens again, as a crash
}

}  // namespace

bool SdlWaylandStart() {
    if (!SdlHost.wayland.watch) return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    auto* previous = std::signal(SIGSEGV, EndIfCompositorGone);
    const bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    std::signal(SIGSEGV, previous);
    return started;
}

void SdlWaylandWatch(bool used) {
    wl_display* display = SdlHost.wayland.watch;
    if (!display) return;
    if (used) {
        std::thread(WatchCompositor, display).detach();
    } else {
        wl_display_disconnect(display);
        SdlHost.wayland.watch = nullptr;
    }
}
