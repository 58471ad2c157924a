// The seat check on Wayland: the compositor's globals, listed in one round
// trip, name a wl_seat or not.
#include <wayland-client.h>

#include <cstring>

#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {
namespace {

void on_global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0) *static_cast<bool*>(data) = true;
}

void on_global_remove(void*, wl_registry*, uint32_t) {}

constexpr wl_registry_listener kListener = {on_global, on_global_remove};

}  // namespace

Answer wayland_compositor_has_seat() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return Answer::unknown;
    bool seat = false;
    wl_registry* registry = wl_display_get_registry(display);
    const bool listed =
        registry && wl_registry_add_listener(registry, &kListener, &seat) == 0 && wl_display_roundtrip(display) >= 0;
    if (registry) wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!listed) return Answer::unknown;
    return seat ? Answer::yes : Answer::no;
}

}  // namespace platform::sdl
