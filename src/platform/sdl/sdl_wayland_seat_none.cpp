// The seat check where the backend is built without the Wayland client
// library: "unknown", so SDL is left to try.
#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {

Answer wayland_compositor_has_seat() { return Answer::unknown; }

}  // namespace platform::sdl
