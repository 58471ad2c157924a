// Drawing into a window another program owns: xscreensaver's window for its
// hack, a settings dialog's preview, or the root window. SDL draws into it
// (SDL_CreateWindowFrom) through its software renderer; SDL selects no
// events on such a window, so the size is followed by asking X for the
// window's structure events. Nothing is mapped, hidden, raised or grabbed.
// Answered where the backend was built with X11's client library
// (sdl_foreign_window_x11.cpp), refused elsewhere
// (sdl_foreign_window_none.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

struct SDL_Window;
struct SDL_Renderer;

namespace platform::sdl {

// Starts SDL video on X11, the only window system whose windows can be
// borrowed. False with the reason in error when there is no X display.
bool start_foreign_video(char* error, size_t size);

// Takes the X window id (0: the root window of the display) as an SDL
// window of its size. Null with the reason in error when there is no such
// window or it can't be drawn into.
SDL_Window* open_foreign_window(uintptr_t id, char* error, size_t size);

// The software renderer on the window's own pixels, letterboxing as the
// window's size changes.
SDL_Renderer* create_foreign_renderer(SDL_Window* window);

// True once the window was destroyed by its owner (the X server said so).
bool foreign_window_gone();

// Lets go of the window, which stays as its owner left it.
void close_foreign_window(SDL_Window* window);

}  // namespace platform::sdl
