// The SDL backend's start-up policy on a Linux desktop (sdl_start_up.h): which
// video driver, which renderer, and how the window takes the screen.
#include "platform/sdl/sdl_start_up.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {
namespace {

constexpr int kWindowedWidth = 640;  // the window's size once out of fullscreen
constexpr int kWindowedHeight = 480;

bool environment_has(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] != '\0';
}

// Whether the renderer draws through one of Mesa's software rasterizers
// (a virtual X server, or a machine without a GPU driver).
bool renders_through_software_gl(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) < 0 || std::strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned);
    constexpr unsigned kGlRenderer = 0x1F01;
    const auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const char* name = get_string ? reinterpret_cast<const char*>(get_string(kGlRenderer)) : nullptr;
    return name &&
           (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") || std::strstr(name, "Software Rasterizer"));
}

// SDL's own drivers that show nothing on any screen. SDL falls back to the
// off-screen one when no display answers, and then the demo would run on
// invisibly, out of the user's reach.
bool shows_nothing(const char* driver) {
    return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
           std::strcmp(driver, "evdev") == 0;
}

bool start_video_driver_quietly(const char* driver) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    return with_stderr_quiet([] { return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0; });
}

// The window of --window and of Alt+Enter: 640 x 480 times the largest whole
// factor that fits the desktop's usable area (the screen less the panels).
void windowed_size(const SDL_DisplayMode& desktop, int* width, int* height) {
    SDL_Rect usable{0, 0, desktop.w, desktop.h};
    SDL_GetDisplayUsableBounds(0, &usable);
    const int factor = std::max(1, std::min(usable.w / kWindowedWidth, usable.h / kWindowedHeight));
    *width = kWindowedWidth * factor;
    *height = kWindowedHeight * factor;
}

}  // namespace

bool start_video(char* why, size_t why_size) {
    if (environment_has("SDL_VIDEODRIVER")) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        std::snprintf(why, why_size, "%s", SDL_GetError());
        return false;
    }
    const bool has_x11 = environment_has("DISPLAY");
    const bool has_wayland = environment_has("WAYLAND_DISPLAY");
    char first_reason[256] = "";
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (!driver || shows_nothing(driver)) continue;
        const bool wayland = std::strcmp(driver, "wayland") == 0;
        // Without its variable the Wayland client would guess a socket.
        if (wayland && !has_wayland) continue;
        if (wayland && with_stderr_quiet(wayland_compositor_has_seat) == Answer::no) {
            if (first_reason[0] == '\0') {
                std::snprintf(first_reason, sizeof first_reason,
                              "the Wayland compositor \"%s\" offers no keyboard, so Escape could never reach the demo",
                              std::getenv("WAYLAND_DISPLAY"));
            }
            continue;
        }
        if (start_video_driver_quietly(driver)) {
            SDL_ResetHint(SDL_HINT_VIDEODRIVER);
            return true;
        }
        // SDL's own words here are only "not available": name the display.
        if (first_reason[0] != '\0') continue;
        if (std::strcmp(driver, "x11") == 0 && has_x11) {
            std::snprintf(first_reason, sizeof first_reason, "the X display \"%s\" can't be opened",
                          std::getenv("DISPLAY"));
        } else if (wayland) {
            std::snprintf(first_reason, sizeof first_reason, "the Wayland display \"%s\" can't be reached",
                          std::getenv("WAYLAND_DISPLAY"));
        }
    }
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    if (first_reason[0] == '\0') {
        std::snprintf(first_reason, sizeof first_reason, "%s",
                      has_x11 || has_wayland ? "no display driver could start"
                                             : "no screen found: DISPLAY and WAYLAND_DISPLAY are unset");
    }
    std::snprintf(why, why_size, "%s", first_reason);
    return false;
}

// GL on a software rasterizer spends about three times the frame's own time
// scaling the picture and reading it back for the X server. SDL's own
// software renderer scales straight into a shared-memory image for a third
// of that. That image is X11's: SDL 2's Wayland driver has no window
// framebuffer of its own, so there GL is kept, and wherever the software
// renderer can't be made the GL one is made again: a display SDL can draw on
// is never refused for want of the cheaper way. A renderer the user names in
// SDL_RENDER_DRIVER is taken as it is.
SDL_Renderer* create_renderer(SDL_Window* window) {
    // An X server without direct rendering can only give GL on the software
    // rasterizer: the software renderer is made at once, saving the GL
    // renderer's start (libGL, shader compiles) and the window's remaking.
    if (!environment_has("SDL_RENDER_DRIVER") && x11_direct_rendering(window) == Answer::no) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (SDL_Renderer* software = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE)) return software;
        SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
    }
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer || environment_has("SDL_RENDER_DRIVER") || std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0 ||
        !renders_through_software_gl(renderer)) {
        return renderer;
    }
    SDL_DestroyRenderer(renderer);
    // Without this the window's own surface would be a GL texture again.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Renderer* software = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (software) return software;
    SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
    return SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
}

bool create_window(Screen* screen, const char* title, int x, int y, int width, int height, bool windowed) {
    // A window of no size covers the whole display, as the fullscreen mode
    // will: made at the desktop's size, so that it covers the screen even
    // with no window manager to honour the fullscreen request. Hidden until
    // the display is taken. On an output scaled for a dense screen (a
    // Wayland output at scale 2) the window's buffer has the output's own
    // pixels, not the logical size blown up by the compositor.
    int w = width > 0 ? width : (screen->desktop.w > 0 ? screen->desktop.w : 1);
    int h = height > 0 ? height : (screen->desktop.h > 0 ? screen->desktop.h : 1);
    uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_BORDERLESS;
    screen->windowed = windowed;
    if (windowed) {
        windowed_size(screen->desktop, &w, &h);
        flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
        x = SDL_WINDOWPOS_CENTERED;
        y = SDL_WINDOWPOS_CENTERED;
    }
    screen->window = SDL_CreateWindow(title, x, y, w, h, flags);
    return screen->window != nullptr;
}

bool show_window(Screen* screen) {
    // A bare X server has nobody to honour a fullscreen request; the window
    // already covers its screen by its size, and SDL would only wait 100 ms
    // at close for an answer that never comes.
    const bool window_manager = window_manager_of(screen->window) != Answer::no;
    screen->window_manager = window_manager;
    if (screen->windowed) {
        screen->fullscreen_requested = false;
        SDL_ShowWindow(screen->window);
        SDL_RaiseWindow(screen->window);
        return true;
    }
    // One monitor of several on a screen SDL counts as one display: the
    // window covers that monitor, not SDL's whole display.
    const bool placed = place_on_one_monitor(screen->window, window_manager);
    screen->fullscreen_requested = window_manager && !placed;
    // SDL waits (up to 100 ms) after showing a fullscreen window until the
    // window manager has changed its geometry; a window already at the
    // screen's size would wait it out. At another size the wait ends at the
    // window manager's first answer.
    if (screen->fullscreen_requested) SDL_SetWindowSize(screen->window, kWindowedWidth, kWindowedHeight);
    if (screen->fullscreen_requested && SDL_SetWindowFullscreen(screen->window, SDL_WINDOW_FULLSCREEN_DESKTOP) < 0) {
        return false;
    }
    SDL_ShowWindow(screen->window);
    SDL_RaiseWindow(screen->window);
    return true;
}

void hide_window(Screen* screen) {
    // Leaving fullscreen waits (up to 100 ms) until the window manager has
    // resized the window; a windowed size other than the screen's lets that
    // wait end at the first answer.
    if (screen->fullscreen_requested) SDL_SetWindowSize(screen->window, kWindowedWidth, kWindowedHeight);
    SDL_HideWindow(screen->window);
}

bool is_fullscreen_switch(const SDL_Event& event) {
    return event.type == SDL_KEYDOWN && !event.key.repeat && (event.key.keysym.mod & KMOD_ALT) &&
           (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER);
}

void switch_fullscreen(Screen* screen) {
    if (!screen->window) return;
    if (screen->windowed) {
        if (screen->window_manager) {
            SDL_SetWindowFullscreen(screen->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {  // nobody to ask: cover the screen by size, as at start
            SDL_SetWindowBordered(screen->window, SDL_FALSE);
            SDL_SetWindowPosition(screen->window, 0, 0);
            SDL_SetWindowSize(screen->window, screen->desktop.w, screen->desktop.h);
        }
        screen->fullscreen_requested = screen->window_manager;
    } else {
        if (screen->fullscreen_requested) SDL_SetWindowFullscreen(screen->window, 0);
        int width = 0, height = 0;
        windowed_size(screen->desktop, &width, &height);
        SDL_SetWindowBordered(screen->window, SDL_TRUE);
        SDL_SetWindowResizable(screen->window, SDL_TRUE);
        SDL_SetWindowSize(screen->window, width, height);
        SDL_SetWindowPosition(screen->window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        screen->fullscreen_requested = false;
    }
    screen->windowed = !screen->windowed;
}

void regain_fullscreen(Screen* screen) {
    if (!screen->window || !screen->fullscreen_requested) return;
    if (SDL_GetWindowFlags(screen->window) & SDL_WINDOW_FULLSCREEN) return;
    SDL_SetWindowFullscreen(screen->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

}  // namespace platform::sdl
