// The Wayland questions where the backend is built without the Wayland client
// library: "unknown", so SDL is left to try and a quit event stays a close
// request.
#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {

Answer wayland_compositor_has_seat() { return Answer::unknown; }

Answer wayland_connection_broken(SDL_Window*, char*, size_t) { return Answer::unknown; }

}  // namespace platform::sdl
