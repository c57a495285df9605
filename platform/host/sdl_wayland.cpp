// The keys held on native Wayland. SDL 2.26's Wayland driver takes from
// wl_keyboard.enter only the modifiers held when the window gets the
// keyboard, and X's XQueryKeymap is not there to ask. So the host binds a
// keyboard of its own to the seat, on an event queue of its own over SDL's
// connection: the keys its enter lists, and those pressed and released since,
// are the keys down, in X's layout (key codes are the evdev codes plus 8).
#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>

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
    if (SdlHost.waylandSeat || std::strcmp(interface, wl_seat_interface.name) != 0) return;
    const uint32_t bound = version < 4 ? version : 4;
    SdlHost.waylandSeat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, bound));
    wl_seat_add_listener(SdlHost.waylandSeat, &kSeatListener, nullptr);
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

constexpr wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

wl_display* WaylandDisplayOfWindow() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SdlHost.window || !SDL_GetWindowWMInfo(SdlHost.window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) {
        return nullptr;
    }
    return info.info.wl.display;
}

}  // namespace

void SdlWatchWaylandKeys() {
    wl_display* display = WaylandDisplayOfWindow();
    if (!display || SdlHost.waylandQueue) return;
    SdlHost.waylandKeys = {};
    SdlHost.waylandQueue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), SdlHost.waylandQueue);
    SdlHost.waylandRegistry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    wl_registry_add_listener(SdlHost.waylandRegistry, &kRegistryListener, nullptr);
    // The seat, then its capabilities and keyboard, then the keyboard's enter.
    for (int i = 0; i < 3; ++i) wl_display_roundtrip_queue(display, SdlHost.waylandQueue);
}

bool SdlWaylandKeysDown(char (&keys)[32]) {
    wl_display* display = SdlHost.waylandQueue ? WaylandDisplayOfWindow() : nullptr;
    if (!display) return false;
    // SDL reads the connection as it pumps its events; what came for this
    // queue waits here until dispatched.
    wl_display_dispatch_queue_pending(display, SdlHost.waylandQueue);
    std::memcpy(keys, SdlHost.waylandKeys.data(), sizeof(keys));
    return true;
}

void SdlForgetWaylandKeys() {
    if (SdlHost.waylandKeyboard) wl_keyboard_destroy(SdlHost.waylandKeyboard);
    if (SdlHost.waylandSeat) wl_seat_destroy(SdlHost.waylandSeat);
    if (SdlHost.waylandRegistry) wl_registry_destroy(SdlHost.waylandRegistry);
    if (SdlHost.waylandQueue) wl_event_queue_destroy(SdlHost.waylandQueue);
    SdlHost.waylandKeyboard = nullptr;
    SdlHost.waylandSeat = nullptr;
    SdlHost.waylandRegistry = nullptr;
    SdlHost.waylandQueue = nullptr;
    SdlHost.waylandKeys = {};
}
