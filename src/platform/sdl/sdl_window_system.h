// What the SDL backend asks of the window system beyond SDL, each question
// answered where the backend was built with that system's client library and
// "unknown" elsewhere: whether an X server has a window manager
// (sdl_window_manager_x11.cpp, else sdl_window_manager_unknown.cpp), and
// whether a Wayland compositor offers a seat (sdl_wayland_seat.cpp, else
// sdl_wayland_seat_unknown.cpp).
#pragma once

struct SDL_Window;

namespace platform::sdl {

enum class Answer {
    yes,
    no,
    unknown,  // not that window system, or no client library for it in this build
};

// Whether a window manager runs on the X server the window is on. "no" on a
// bare X server, where nobody answers a fullscreen request.
Answer window_manager_of(SDL_Window* window);

// Whether the compositor WAYLAND_DISPLAY names offers a seat (the keyboard
// and pointer's group). SDL 2.26 crashes starting its video on a compositor
// with none (weston's headless backend), and without one Escape could never
// reach the demo. "unknown" when the compositor can't be reached: SDL then
// says why.
Answer wayland_compositor_has_seat();

}  // namespace platform::sdl
