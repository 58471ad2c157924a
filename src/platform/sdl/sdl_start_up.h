// How the SDL backend brings SDL up on a Linux desktop and puts its window on
// the screen: the video driver walk (only drivers that show a picture), the
// renderer choice (no GL on a software rasterizer where SDL's own software
// renderer can draw), stderr kept quiet while system libraries connect, the
// window over the whole screen or one monitor or as the window of --window,
// and Alt+Enter between the two. The seam's translation in sdl_platform.cpp
// calls these; what they ask of X11 or Wayland beyond SDL is in
// sdl_window_system.h.
#pragma once

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

namespace platform::sdl {

// Runs a library call with stderr sent to /dev/null. A display or sound
// library that can't connect may print its own complaints (the Wayland
// client with no compositor, ALSA with no sound card), and the user is to
// see at most the demo's one line; the reason comes back through
// SDL_GetError.
template <typename Call> auto with_stderr_quiet(Call call) {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const bool redirected = saved >= 0 && quiet >= 0 && dup2(quiet, STDERR_FILENO) >= 0;
    const auto result = call();
    if (redirected) dup2(saved, STDERR_FILENO);
    if (quiet >= 0) close(quiet);
    if (saved >= 0) close(saved);
    return result;
}

// Starts SDL video on a driver that really shows the picture: X11, Wayland
// or the console's KMS/DRM, in SDL's own order. The drivers that draw
// nowhere are taken only when the user names one in SDL_VIDEODRIVER. On
// failure returns false with the reason, naming the display, in why.
bool start_video(char* why, size_t why_size);

// The renderer for the window: SDL's preferred one, except GL on one of
// Mesa's software rasterizers, swapped for SDL's software renderer where
// that can be made. nullptr, with SDL's error set, when none can be made.
SDL_Renderer* create_renderer(SDL_Window* window);

// The window and where it stands on the desktop.
struct Screen {
    SDL_DisplayMode desktop;  // read once the video driver is up
    SDL_Window* window;
    bool window_manager;        // someone answers fullscreen requests
    bool windowed;              // shown in a window now (--window, or after Alt+Enter)
    bool fullscreen_requested;  // SDL's fullscreen asked for, so left at the end
};

// Makes screen->window, hidden: at width x height at (x, y), or for a size of
// 0 over the whole desktop, or with windowed as the window of --window.
// false, with SDL's error set, when SDL makes none.
bool create_window(Screen* screen, const char* title, int x, int y, int width, int height, bool windowed);

// Shows the window over the whole screen (or one monitor of it), or as a
// window when screen->windowed. false, with SDL's error set, when the
// fullscreen request is refused.
bool show_window(Screen* screen);

// Hides the window at the end, quickly where a window manager must answer.
void hide_window(Screen* screen);

// Alt+Enter (either Enter key): handled here, it never reaches the window
// procedure.
bool is_fullscreen_switch(const SDL_Event& event);
// Between the whole screen and a window; the picture follows the window's
// size by itself (the renderer's logical size letterboxes it).
void switch_fullscreen(Screen* screen);
// With the focus back: fullscreen asked for again where the window manager
// dropped it while another window had the focus (sway does).
void regain_fullscreen(Screen* screen);

}  // namespace platform::sdl
