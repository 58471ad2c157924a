// The Wayland questions: the seat check (the compositor's globals, listed in
// one round trip, name a wl_seat or not) and whether SDL's own connection has
// broken.
#include <SDL.h>
#include <SDL_syswm.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
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

Answer wayland_connection_broken(SDL_Window* window, char* why, size_t why_size) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return Answer::unknown;
    const int error = wl_display_get_error(info.info.wl.display);
    if (error == 0) return Answer::no;
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::snprintf(why, why_size, "the connection to the Wayland compositor \"%s\" broke: %s", name ? name : "",
                  std::strerror(error));
    return Answer::yes;
}

}  // namespace platform::sdl
