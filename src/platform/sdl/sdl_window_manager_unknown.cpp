// The window-manager check where the backend is built without X11 (a
// Wayland-only system): always "unknown", so fullscreen is asked for.
#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {

Answer window_manager_of(SDL_Window*) { return Answer::unknown; }

}  // namespace platform::sdl
