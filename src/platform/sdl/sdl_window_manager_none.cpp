// The X11 questions where the backend is built without X11 (a Wayland-only
// system): a window manager is assumed, so fullscreen is asked for, and SDL
// places the window.
#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {

Answer window_manager_of(SDL_Window*) { return Answer::unknown; }

Answer x11_direct_rendering(SDL_Window*) { return Answer::unknown; }

bool place_on_one_monitor(SDL_Window*, bool) { return false; }

}  // namespace platform::sdl
