// What the SDL backend asks of the window system beyond SDL, each question
// answered where the backend was built with that system's client library and
// "unknown" elsewhere: whether an X server has a window manager and which of
// its monitors to take (sdl_window_manager_x11.cpp, else
// sdl_window_manager_unknown.cpp), and whether a Wayland compositor offers a
// seat and is still connected (sdl_wayland_seat.cpp, else
// sdl_wayland_seat_unknown.cpp).
#pragma once

#include <cstddef>

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

// Whether the X server the window is on lets clients render directly on a
// GPU (it offers DRI3 or DRI2). "no" on a virtual X server (Xvfb, a remote
// desktop), where GL can only be Mesa's software rasterizer.
Answer x11_direct_rendering(SDL_Window* window);

// On an X server whose screen holds several monitors that are not outputs
// of their own (RandR monitors: one wide screen split in two), SDL's one
// display is the whole screen, and its fullscreen would span every monitor.
// This places the hidden window on one monitor (the primary, else the
// top-left one) at that monitor's size and, with with_window_manager, asks
// the window manager for fullscreen there. Returns false, changing nothing,
// when the screen is one monitor, SDL already counts the monitors as
// displays, or the window is not on X11.
bool place_on_one_monitor(SDL_Window* window, bool with_window_manager);

// Whether the compositor WAYLAND_DISPLAY names offers a seat (the keyboard
// and pointer's group). SDL 2.26 crashes starting its video on a compositor
// with none (weston's headless backend), and without one Escape could never
// reach the demo. "unknown" when the compositor can't be reached: SDL then
// says why.
Answer wayland_compositor_has_seat();

// Whether the window's Wayland connection has broken (the compositor ended or
// dropped the demo). SDL 2.26 says so only with one SDL_QUIT, which looks
// like a close request. On "yes" why holds a line naming the compositor and
// the error; "unknown" when the window is not on Wayland.
Answer wayland_connection_broken(SDL_Window* window, char* why, size_t why_size);

}  // namespace platform::sdl
