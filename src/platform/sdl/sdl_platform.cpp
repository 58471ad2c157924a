// The SDL2 backend: the platform seam over one SDL window in desktop
// fullscreen (the 640 x 480 picture scaled to fit with its aspect kept), a
// streaming texture in the desktop's own pixel format as the back buffer,
// SDL events as window messages, and libopenmpt playing the song through an
// SDL audio device.
#include <SDL.h>
#include <fcntl.h>
#include <libopenmpt/libopenmpt.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/openmpt/song_file.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_foreign_window.h"
#include "platform/sdl/sdl_window_system.h"
#include "platform/shared/flip_spacing.h"
#include "platform/shared/present_stats.h"

namespace platform {
namespace {

// Fixed handles: there is one of each object.
constexpr Handle kLibrary = 0x11;
constexpr Handle kCreationEntry = 0x12;
constexpr Handle kDisplayObject = 0x13;
constexpr Handle kWindow = 0x14;
constexpr Handle kPrimary = 0x15;
constexpr Handle kBackBuffer = 0x16;

constexpr int kOutputChannels = 2;   // libopenmpt mixes the song's own channels down to stereo
constexpr int kWindowedWidth = 640;  // the window's size once out of fullscreen
constexpr int kWindowedHeight = 480;
constexpr int64_t kDeviceBufferMs = 25;  // 1,024 sample frames at 44,100 Hz

struct SdlState {
    char error[256];
    volatile std::sig_atomic_t stop_signal;
    int escape_pressed;  // set by the event watch, cleared by escape_key_state

    bool video_up;
    SDL_DisplayMode desktop;
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* texture;
    uint32_t back_buffer_count;
    int32_t width;
    int32_t height;
    uint64_t last_flip_ns;
    bool fullscreen_requested;
    uint32_t presentation;   // the user's kPresent* choices
    bool window_manager;     // someone answers fullscreen requests
    bool windowed;           // shown in a window now (--window, or after Alt+Enter)
    bool vsync_after_first;  // the first present goes unsynchronised (see create_primary_surface)
    bool foreign;            // drawing into another program's window (kPresentInWindow)
    uintptr_t foreign_id;    // its X id, 0 the root window
    bool foreign_activated;  // the one activation a borrowed, already shown window gets

    int32_t audio_buffer_ms;
    bool audio_up;
    bool exit_hook_registered;
    SDL_AudioDeviceID device;
    int32_t device_rate;
    openmpt_module* playing;  // read by the audio thread under the device lock
};

SdlState state;
present_stats::Record presents;  // for orvo --stats

int32_t failure(const char* what) {
    std::snprintf(state.error, sizeof state.error, "%s", what);
    return -1;
}

int32_t sdl_failure() { return failure(SDL_GetError()); }

void on_stop_signal(int) { state.stop_signal = 1; }

// Sees every event as SDL queues it, so a tap of Escape shorter than a
// frame is not lost between two polls.
int watch_events(void*, SDL_Event* event) {
    if (event->type == SDL_KEYDOWN && event->key.keysym.scancode == SDL_SCANCODE_ESCAPE) state.escape_pressed = 1;
    return 1;
}

uint64_t monotonic_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

void sleep_ns(uint64_t ns) {
    timespec wait{static_cast<time_t>(ns / 1000000000u), static_cast<long>(ns % 1000000000u)};
    while (nanosleep(&wait, &wait) != 0) {}
}

// The bit count the display interface reports: whole bytes, so the 15-bit
// RGB555 and the 24-in-32 RGB888 formats count as 16 and 32.
int32_t reported_bit_count(uint32_t format) { return SDL_BYTESPERPIXEL(format) * 8; }

void audio_callback(void*, Uint8* stream, int length) {
    const size_t frames = static_cast<size_t>(length) / (sizeof(int16_t) * kOutputChannels);
    size_t written = 0;
    if (state.playing) {
        written = openmpt_module_read_interleaved_stereo(state.playing, state.device_rate, frames,
                                                         reinterpret_cast<int16_t*>(stream));
    }
    SDL_memset(stream + written * sizeof(int16_t) * kOutputChannels, 0,
               (frames - written) * sizeof(int16_t) * kOutputChannels);
}

// A picture failure ends the process from inside start-up with no shut-down
// step; the mixer thread must not go on reading the song while the process
// tears down.
void close_audio_at_exit() {
    if (state.device) {
        SDL_CloseAudioDevice(state.device);
        state.device = 0;
    }
}

// The window of --window and of Alt+Enter: 640 x 480 times the largest whole
// factor that fits the desktop's usable area (the screen less the panels).
void windowed_size(int* width, int* height) {
    SDL_Rect usable{0, 0, state.desktop.w, state.desktop.h};
    SDL_GetDisplayUsableBounds(0, &usable);
    const int factor = std::max(1, std::min(usable.w / kWindowedWidth, usable.h / kWindowedHeight));
    *width = kWindowedWidth * factor;
    *height = kWindowedHeight * factor;
}

// Alt+Enter: between the whole screen and a window. The picture follows the
// window's size by itself (the renderer's logical size letterboxes it).
void switch_fullscreen() {
    if (!state.window) return;
    if (state.windowed) {
        if (state.window_manager) {
            SDL_SetWindowFullscreen(state.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {  // nobody to ask: cover the screen by size, as at start
            SDL_SetWindowBordered(state.window, SDL_FALSE);
            SDL_SetWindowPosition(state.window, 0, 0);
            SDL_SetWindowSize(state.window, state.desktop.w, state.desktop.h);
        }
        state.fullscreen_requested = state.window_manager;
    } else {
        if (state.fullscreen_requested) SDL_SetWindowFullscreen(state.window, 0);
        int width = 0, height = 0;
        windowed_size(&width, &height);
        SDL_SetWindowBordered(state.window, SDL_TRUE);
        SDL_SetWindowResizable(state.window, SDL_TRUE);
        SDL_SetWindowSize(state.window, width, height);
        SDL_SetWindowPosition(state.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        state.fullscreen_requested = false;
    }
    state.windowed = !state.windowed;
}

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

// The renderer SDL prefers, unless that is GL on a software rasterizer: it
// then spends about three times the frame's own time scaling the picture
// and reading it back for the X server. SDL's own software renderer scales
// straight into a shared-memory image for a third of that. That image is
// X11's: SDL 2's Wayland driver has no window framebuffer of its own, so
// there GL is kept, and wherever the software renderer can't be made the
// GL one is made again: a display SDL can draw on is never refused for
// want of the cheaper way. A renderer the user names in SDL_RENDER_DRIVER
// is taken as it is.
SDL_Renderer* create_renderer(SDL_Window* window) {
    // An X server without direct rendering can only give GL on the software
    // rasterizer: the software renderer is made at once, saving the GL
    // renderer's start (libGL, shader compiles) and the window's remaking.
    if (!environment_has("SDL_RENDER_DRIVER") && sdl::x11_direct_rendering(window) == sdl::Answer::no) {
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

// SDL's own drivers that show nothing on any screen. SDL falls back to the
// off-screen one when no display answers, and then the demo would run on
// invisibly, out of the user's reach.
bool shows_nothing(const char* driver) {
    return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
           std::strcmp(driver, "evdev") == 0;
}

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

bool start_video_driver_quietly(const char* driver) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    return with_stderr_quiet([] { return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0; });
}

// Starts SDL video on a driver that really shows the picture: X11, Wayland
// or the console's KMS/DRM, in SDL's own order. The drivers that draw
// nowhere are taken only when the user names one in SDL_VIDEODRIVER.
bool start_video() {
    if (environment_has("SDL_VIDEODRIVER")) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        sdl_failure();
        return false;
    }
    const bool has_x11 = environment_has("DISPLAY");
    const bool has_wayland = environment_has("WAYLAND_DISPLAY");
    char first_reason[sizeof state.error] = "";
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (!driver || shows_nothing(driver)) continue;
        const bool wayland = std::strcmp(driver, "wayland") == 0;
        // Without its variable the Wayland client would guess a socket.
        if (wayland && !has_wayland) continue;
        if (wayland && with_stderr_quiet(sdl::wayland_compositor_has_seat) == sdl::Answer::no) {
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
    if (first_reason[0] != '\0') return failure(first_reason), false;
    return failure(has_x11 || has_wayland ? "no display driver could start"
                                          : "no screen found: DISPLAY and WAYLAND_DISPLAY are unset"),
           false;
}

}  // namespace

const char* last_error() { return state.error; }

void set_presentation(uint32_t choices, uintptr_t window) {
    state.presentation = choices;
    state.foreign = (choices & kPresentInWindow) != 0;
    state.foreign_id = window;
}

int32_t presentation_stats(uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us, uint32_t* late) {
    return present_stats::report(presents, frames, p50_us, p99_us, max_us, late);
}

void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // SDL would otherwise turn the signals into quit events of its own.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

// --- Display device ---

Handle load_display_library() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (state.foreign ? !sdl::start_foreign_video(state.error, sizeof state.error) : !start_video()) return 0;
    state.video_up = true;
    SDL_AddEventWatch(watch_events, nullptr);
    return kLibrary;
}

Handle find_display_creation_entry(Handle library) { return library == kLibrary ? kCreationEntry : 0; }

int32_t create_display_object(Handle entry, Handle* object) {
    if (entry != kCreationEntry) return failure("no creation entry");
    if (SDL_GetDesktopDisplayMode(0, &state.desktop) < 0) return sdl_failure();
    *object = kDisplayObject;
    return 0;
}

Handle create_window(const char*, const char* title, uint32_t, int32_t x, int32_t y, int32_t width, int32_t height) {
    // A window of no size covers the whole display, as the fullscreen mode
    // will: made at the desktop's size, so that it covers the screen even
    // with no window manager to honour the fullscreen request. Hidden until
    // the display is taken. On an output scaled for a dense screen (a
    // Wayland output at scale 2) the window's buffer has the output's own
    // pixels, not the logical size blown up by the compositor.
    if (state.foreign) {
        state.window = sdl::open_foreign_window(state.foreign_id, state.error, sizeof state.error);
        return state.window ? kWindow : 0;
    }
    int w = width > 0 ? width : (state.desktop.w > 0 ? state.desktop.w : 1);
    int h = height > 0 ? height : (state.desktop.h > 0 ? state.desktop.h : 1);
    uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_BORDERLESS;
    state.windowed = (state.presentation & kPresentWindowed) != 0;
    if (state.windowed) {
        windowed_size(&w, &h);
        flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
        x = SDL_WINDOWPOS_CENTERED;
        y = SDL_WINDOWPOS_CENTERED;
    }
    state.window = SDL_CreateWindow(title, x, y, w, h, flags);
    if (!state.window) {
        sdl_failure();
        return 0;
    }
    SDL_ShowCursor(SDL_DISABLE);  // the class has no cursor
    return kWindow;
}

void destroy_window(Handle) {
    if (state.foreign) {
        sdl::close_foreign_window(state.window);
        state.window = nullptr;
    }
    if (state.window) {
        SDL_DestroyWindow(state.window);
        state.window = nullptr;
    }
}

int32_t set_exclusive_fullscreen(Handle object, Handle window) {
    if (object != kDisplayObject) return failure("no display object");
    if (window != kWindow || !state.window) return -1;  // create_window's reason stands
    if (state.foreign) return 0;                        // its owner shows it
    // A bare X server has nobody to honour a fullscreen request; the window
    // already covers its screen by its size, and SDL would only wait 100 ms
    // at close for an answer that never comes.
    const bool window_manager = sdl::window_manager_of(state.window) != sdl::Answer::no;
    state.window_manager = window_manager;
    if (state.windowed) {
        state.fullscreen_requested = false;
        SDL_ShowWindow(state.window);
        SDL_RaiseWindow(state.window);
        return 0;
    }
    // One monitor of several on a screen SDL counts as one display: the
    // window covers that monitor, not SDL's whole display.
    const bool placed = sdl::place_on_one_monitor(state.window, window_manager);
    state.fullscreen_requested = window_manager && !placed;
    // SDL waits (up to 100 ms) after showing a fullscreen window until the
    // window manager has changed its geometry; a window already at the
    // screen's size would wait it out. At another size the wait ends at the
    // window manager's first answer.
    if (state.fullscreen_requested) SDL_SetWindowSize(state.window, kWindowedWidth, kWindowedHeight);
    if (state.fullscreen_requested && SDL_SetWindowFullscreen(state.window, SDL_WINDOW_FULLSCREEN_DESKTOP) < 0) {
        return sdl_failure();
    }
    SDL_ShowWindow(state.window);
    SDL_RaiseWindow(state.window);
    return 0;
}

int32_t set_normal_cooperative_level(Handle, Handle) {
    if (!state.window || state.foreign) return 0;
    // Leaving fullscreen waits (up to 100 ms) until the window manager has
    // resized the window; a windowed size other than the screen's lets that
    // wait end at the first answer.
    if (state.fullscreen_requested) SDL_SetWindowSize(state.window, kWindowedWidth, kWindowedHeight);
    SDL_HideWindow(state.window);
    return 0;
}

int32_t set_display_mode(Handle object, int32_t width, int32_t height, int32_t bits_per_pixel) {
    if (object != kDisplayObject) return failure("no display object");
    // The desktop keeps its own mode; a depth is accepted when it is the
    // desktop's, so the converter writes the desktop's format directly.
    const int32_t native = reported_bit_count(state.desktop.format);
    if (bits_per_pixel != native) {
        std::snprintf(state.error, sizeof state.error, "the desktop runs at %d bits per pixel (%s)", native,
                      SDL_GetPixelFormatName(state.desktop.format));
        return -1;
    }
    state.width = width;
    state.height = height;
    return 0;
}

int32_t restore_display_mode(Handle) { return 0; }  // never changed

int32_t create_primary_surface(Handle object, uint32_t flags, uint32_t back_buffer_count, uint32_t caps,
                               Handle* primary) {
    if (object != kDisplayObject || !state.window) return failure("no display object");
    if (!state.renderer) {
        state.renderer = state.foreign ? sdl::create_foreign_renderer(state.window) : create_renderer(state.window);
        if (!state.renderer) return sdl_failure();
        // Scaled to fit, aspect kept: the rest of the screen stays black.
        // --sharp: whole multiples only, each pixel a square block.
        const bool sharp = (state.presentation & kPresentSharp) != 0;
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, sharp ? "nearest" : "linear");
        SDL_RenderSetLogicalSize(state.renderer, state.width, state.height);
        if (sharp) SDL_RenderSetIntegerScale(state.renderer, SDL_TRUE);
        // SDL 2's Wayland driver waits for the compositor's frame callback
        // before each synchronised swap, and the first one can only come
        // after a buffer was shown: the first present would wait out SDL's
        // 166 ms bound. So the first goes unsynchronised.
        if (std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0 && SDL_RenderSetVSync(state.renderer, 0) == 0) {
            state.vsync_after_first = true;
        }
        SDL_SetRenderDrawColor(state.renderer, 0, 0, 0, 255);
    }
    const bool flipping = (flags & kSurfaceBackBufferCount) && (caps & kCapsFlip);
    state.back_buffer_count = flipping ? back_buffer_count : 0;
    *primary = kPrimary;
    return 0;
}

int32_t get_back_buffer(Handle primary, Handle* back_buffer) {
    if (primary != kPrimary || !state.renderer) return failure("no primary surface");
    if (state.back_buffer_count == 0) return failure("the primary surface has no flipping chain");
    if (!state.texture) {
        state.texture = SDL_CreateTexture(state.renderer, state.desktop.format, SDL_TEXTUREACCESS_STREAMING,
                                          state.width, state.height);
        if (!state.texture) return sdl_failure();
        // The top byte of a 32-bit pixel is not alpha on the screen.
        SDL_SetTextureBlendMode(state.texture, SDL_BLENDMODE_NONE);
    }
    *back_buffer = kBackBuffer;
    return 0;
}

int32_t get_pixel_format(Handle surface, uint32_t* flags, uint32_t* bit_count, uint32_t* red_mask, uint32_t* green_mask,
                         uint32_t* blue_mask) {
    if (surface != kPrimary && surface != kBackBuffer) return failure("no surface");
    const uint32_t format = state.desktop.format;
    int bpp = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    if (SDL_ISPIXELFORMAT_FOURCC(format) || !SDL_PixelFormatEnumToMasks(format, &bpp, &red, &green, &blue, &alpha)) {
        return sdl_failure();
    }
    *flags = SDL_ISPIXELFORMAT_INDEXED(format) ? 0 : kPixelFormatRgb;
    *bit_count = static_cast<uint32_t>(reported_bit_count(format));
    *red_mask = red;
    *green_mask = green;
    *blue_mask = blue;
    return 0;
}

int32_t restore_surface(Handle) { return 0; }  // texture memory is never lost here

int32_t lock_surface(Handle surface, uint8_t** bits, int32_t* pitch) {
    if (surface != kBackBuffer || !state.texture) return failure("no back buffer");
    void* pixels = nullptr;
    int row_bytes = 0;
    if (SDL_LockTexture(state.texture, nullptr, &pixels, &row_bytes) < 0) return sdl_failure();
    *bits = static_cast<uint8_t*>(pixels);
    *pitch = row_bytes;
    return 0;
}

int32_t unlock_surface(Handle surface, uint8_t*) {
    if (surface != kBackBuffer || !state.texture) return failure("no back buffer");
    SDL_UnlockTexture(state.texture);
    return 0;
}

int32_t flip(Handle primary) {
    if (primary != kPrimary || !state.renderer || !state.texture) return failure("no flipping chain");
    SDL_RenderClear(state.renderer);
    SDL_RenderCopy(state.renderer, state.texture, nullptr, nullptr);
    SDL_RenderPresent(state.renderer);
    if (state.vsync_after_first) {
        SDL_RenderSetVSync(state.renderer, 1);
        state.vsync_after_first = false;
    }
    const int rate_hz = state.desktop.refresh_rate > 0 ? state.desktop.refresh_rate : 60;
    presents.period_ns = 1000000000 / rate_hz;
    present_stats::add_present(&presents, static_cast<int64_t>(monotonic_ns()));
    // Not every renderer that accepts the vsync request waits for it (the
    // software one, or any on a virtual X server): flips are also spaced.
    const uint64_t now = monotonic_ns();
    const int64_t since = state.last_flip_ns != 0 ? static_cast<int64_t>(now - state.last_flip_ns) : -1;
    const int64_t wait = flip_spacing::wait_ticks(since, 1000000000, state.desktop.refresh_rate);
    if (wait > 0) sleep_ns(static_cast<uint64_t>(wait));
    state.last_flip_ns = monotonic_ns();
    return 0;
}

int32_t release_surface(Handle) {
    if (state.texture) SDL_DestroyTexture(state.texture);
    if (state.renderer) SDL_DestroyRenderer(state.renderer);
    state.texture = nullptr;
    state.renderer = nullptr;
    state.back_buffer_count = 0;
    return 0;
}

int32_t release_display_object(Handle) { return 0; }

void free_library(Handle library) {
    if (library != kLibrary || !state.video_up) return;
    SDL_DelEventWatch(watch_events, nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    state.video_up = false;
}

int32_t peek_message(Handle, uint32_t* message, uintptr_t* wparam, intptr_t* lparam) {
    if (!state.video_up) return 0;
    if (state.foreign && !state.foreign_activated) {
        state.foreign_activated = true;
        *message = kMessageActivateApp;
        *wparam = 1;
        *lparam = 0;
        return 1;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        *wparam = 0;
        *lparam = 0;
        if (event.type == SDL_QUIT) {
            *message = kMessageClose;
            return 1;
        }
        if (event.type == SDL_KEYDOWN && !event.key.repeat && (event.key.keysym.mod & KMOD_ALT) &&
            (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER)) {
            switch_fullscreen();
            continue;
        }
        if (event.type == SDL_KEYDOWN) {
            *message = kMessageKeyDown;
            *wparam = static_cast<uintptr_t>(event.key.keysym.sym);
            return 1;
        }
        if (event.type != SDL_WINDOWEVENT) continue;
        switch (event.window.event) {
            // Shown counts as activation: with no window manager (a bare X
            // server) no focus event ever comes.
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_FOCUS_GAINED:
            case SDL_WINDOWEVENT_RESTORED:
                *message = kMessageActivateApp;
                *wparam = 1;
                return 1;
            case SDL_WINDOWEVENT_FOCUS_LOST:
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_HIDDEN: *message = kMessageActivateApp; return 1;
            case SDL_WINDOWEVENT_CLOSE: *message = kMessageClose; return 1;
            case SDL_WINDOWEVENT_ENTER: *message = kMessageSetCursor; return 1;
            default: continue;
        }
    }
    return 0;
}

void set_cursor_none() { SDL_ShowCursor(SDL_DISABLE); }

// --- Keyboard, time ---

int16_t escape_key_state() {
    int16_t result = 0;
    if (state.video_up) {
        SDL_PumpEvents();  // queues new events (the watch sees them) without taking any
        if (SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_ESCAPE]) result = static_cast<int16_t>(0x8000);
    }
    if (state.escape_pressed) result |= 1;
    // A screensaver is ended by its owner, with a signal or by taking its window away.
    if (state.foreign) result = sdl::foreign_window_gone() ? 1 : 0;
    if (state.stop_signal) result |= 1;
    state.escape_pressed = 0;
    return result;
}

uint32_t timer_ms() { return static_cast<uint32_t>(monotonic_ns() / 1000000u); }

int32_t timer_period_begin(uint32_t) { return 0; }  // the monotonic clock already counts single milliseconds
int32_t timer_period_end(uint32_t) { return 0; }

void sleep_ms(uint32_t milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
    } else {
        sleep_ns(static_cast<uint64_t>(milliseconds) * 1000000u);
    }
}

// --- Music library ---

int32_t music_set_buffer_size(int32_t milliseconds) {
    state.audio_buffer_ms = milliseconds;
    return 1;
}

int32_t music_init(int32_t mixing_rate, int32_t, uint32_t) {
    if (state.presentation & kPresentSilent) return failure("silent: no sound device is opened"), 0;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (with_stderr_quiet([] { return SDL_InitSubSystem(SDL_INIT_AUDIO); }) < 0) return sdl_failure(), 0;
    state.audio_up = true;

    // The buffer request is a hint about how far ahead the song is mixed,
    // not about output latency. The device's own buffer stays small: the
    // song is heard at once, and closing the device at Escape waits about
    // two of its periods. The callback mixes straight from the song, well
    // under a millisecond a period, so no reserve beyond it is needed.
    const int64_t requested_ms = state.audio_buffer_ms > 0 ? state.audio_buffer_ms : kDeviceBufferMs;
    const int64_t wanted = static_cast<int64_t>(mixing_rate) * std::min<int64_t>(requested_ms, kDeviceBufferMs) / 1000;
    Uint16 samples = 256;
    while (samples < 4096 && samples * 2 <= wanted) samples = static_cast<Uint16>(samples * 2);

    SDL_AudioSpec want{};
    want.freq = mixing_rate;
    want.format = AUDIO_S16SYS;
    want.channels = kOutputChannels;
    want.samples = samples;
    want.callback = audio_callback;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device really takes.
    state.device = with_stderr_quiet([&] { return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0); });
    if (state.device == 0) return sdl_failure(), 0;
    state.device_rate = want.freq;
    if (!state.exit_hook_registered) {
        std::atexit(close_audio_at_exit);
        state.exit_hook_registered = true;
    }
    return 1;
}

Handle music_load_song(const char* path) { return song_file::load_song_handle(path, state.error, sizeof state.error); }

int32_t music_play_song(Handle song) {
    if (!song || !state.device) return 0;
    SDL_LockAudioDevice(state.device);
    state.playing = reinterpret_cast<openmpt_module*>(song);
    SDL_UnlockAudioDevice(state.device);
    SDL_PauseAudioDevice(state.device, 0);
    return 1;
}

int32_t music_free_song(Handle song) {
    if (!song) return 0;
    openmpt_module* module = reinterpret_cast<openmpt_module*>(song);
    // The mixer reads the song under the device lock: once it is unhooked
    // here, the audio thread can't be inside it.
    if (state.device) {
        SDL_LockAudioDevice(state.device);
        if (state.playing == module) state.playing = nullptr;
        SDL_UnlockAudioDevice(state.device);
    } else if (state.playing == module) {
        state.playing = nullptr;
    }
    openmpt_module_destroy(module);
    return 1;
}

void music_close() {
    if (state.device) {
        SDL_CloseAudioDevice(state.device);
        state.device = 0;
    }
    if (state.audio_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        state.audio_up = false;
    }
}

}  // namespace platform
