// The SDL2 backend: the platform seam over one SDL window in desktop
// fullscreen (the 640 x 480 picture scaled to fit with its aspect kept), a
// streaming texture in the desktop's own pixel format as the back buffer,
// SDL events as window messages, and libopenmpt playing the song through an
// SDL audio device. This file is the translation; how SDL is brought up on a
// Linux desktop (video driver, renderer, the window on the screen, Alt+Enter)
// is decided in sdl_start_up.cpp.
#include <SDL.h>
#include <libopenmpt/libopenmpt.h>
#include <sched.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/openmpt/song_file.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_foreign_window.h"
#include "platform/sdl/sdl_start_up.h"
#include "platform/sdl/sdl_window_system.h"
#include "platform/shared/flip_pacer.h"

namespace platform {
namespace {

// Fixed handles: there is one of each object.
constexpr Handle kLibrary = 0x11;
constexpr Handle kCreationEntry = 0x12;
constexpr Handle kDisplayObject = 0x13;
constexpr Handle kWindow = 0x14;
constexpr Handle kPrimary = 0x15;
constexpr Handle kBackBuffer = 0x16;

constexpr int kOutputChannels = 2;       // libopenmpt mixes the song's own channels down to stereo
constexpr int64_t kDeviceBufferMs = 25;  // 1,024 sample frames at 44,100 Hz

struct SdlState {
    char error[256];
    volatile std::sig_atomic_t stop_signal;
    int escape_pressed;  // set by the event watch, cleared by escape_key_state

    bool video_up;
    sdl::Screen screen;  // the window and the desktop it is on
    SDL_Renderer* renderer;
    SDL_Texture* texture;
    uint32_t back_buffer_count;
    int32_t width;
    int32_t height;
    flip_pacer::Pacer pacer;  // spaces the flips and counts them for orvo --stats
    uint32_t presentation;    // the user's kPresent* choices
    bool vsync_after_first;   // the first present goes unsynchronised (see create_primary_surface)
    bool foreign;             // drawing into another program's window (kPresentInWindow)
    uintptr_t foreign_id;     // its X id, 0 the root window
    bool foreign_activated;   // the one activation a borrowed, already shown window gets

    int32_t audio_buffer_ms;
    bool audio_up;
    bool exit_hook_registered;
    SDL_AudioDeviceID device;
    int32_t device_rate;
    openmpt_module* playing;  // read by the audio thread under the device lock
};

SdlState state;

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

}  // namespace

const char* last_error() { return state.error; }

void set_presentation(uint32_t choices, uintptr_t window) {
    state.presentation = choices;
    state.foreign = (choices & kPresentInWindow) != 0;
    state.foreign_id = window;
}

int32_t presentation_stats(uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us, uint32_t* late) {
    return flip_pacer::report(state.pacer, frames, p50_us, p99_us, max_us, late);
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
    if (state.foreign ? !sdl::start_foreign_video(state.error, sizeof state.error)
                      : !sdl::start_video(state.error, sizeof state.error)) {
        return 0;
    }
    state.video_up = true;
    SDL_AddEventWatch(watch_events, nullptr);
    return kLibrary;
}

Handle find_display_creation_entry(Handle library) { return library == kLibrary ? kCreationEntry : 0; }

int32_t create_display_object(Handle entry, Handle* object) {
    if (entry != kCreationEntry) return failure("no creation entry");
    if (SDL_GetDesktopDisplayMode(0, &state.screen.desktop) < 0) return sdl_failure();
    *object = kDisplayObject;
    return 0;
}

Handle create_window(const char*, const char* title, uint32_t, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (state.foreign) {
        state.screen.window = sdl::open_foreign_window(state.foreign_id, state.error, sizeof state.error);
        return state.screen.window ? kWindow : 0;
    }
    if (!sdl::create_window(&state.screen, title, x, y, width, height, (state.presentation & kPresentWindowed) != 0)) {
        sdl_failure();
        return 0;
    }
    SDL_ShowCursor(SDL_DISABLE);  // the class has no cursor
    return kWindow;
}

void destroy_window(Handle) {
    if (state.foreign && state.screen.window) {
        sdl::close_foreign_window(state.screen.window);  // destroys SDL's side only
        state.screen.window = nullptr;
    }
    if (state.screen.window) {
        SDL_DestroyWindow(state.screen.window);
        state.screen.window = nullptr;
    }
}

int32_t set_exclusive_fullscreen(Handle object, Handle window) {
    if (object != kDisplayObject) return failure("no display object");
    if (window != kWindow || !state.screen.window) return -1;  // create_window's reason stands
    if (state.foreign) return 0;                               // its owner shows it
    return sdl::show_window(&state.screen) ? 0 : sdl_failure();
}

int32_t set_normal_cooperative_level(Handle, Handle) {
    if (state.screen.window && !state.foreign) sdl::hide_window(&state.screen);
    return 0;
}

int32_t set_display_mode(Handle object, int32_t width, int32_t height, int32_t bits_per_pixel) {
    if (object != kDisplayObject) return failure("no display object");
    // The desktop keeps its own mode; a depth is accepted when it is the
    // desktop's, so the converter writes the desktop's format directly.
    const int32_t native = reported_bit_count(state.screen.desktop.format);
    if (bits_per_pixel != native) {
        std::snprintf(state.error, sizeof state.error, "the desktop runs at %d bits per pixel (%s)", native,
                      SDL_GetPixelFormatName(state.screen.desktop.format));
        return -1;
    }
    state.width = width;
    state.height = height;
    return 0;
}

int32_t restore_display_mode(Handle) { return 0; }  // never changed

int32_t create_primary_surface(Handle object, uint32_t flags, uint32_t back_buffer_count, uint32_t caps,
                               Handle* primary) {
    if (object != kDisplayObject || !state.screen.window) return failure("no display object");
    if (!state.renderer) {
        state.renderer = state.foreign ? sdl::create_foreign_renderer(state.screen.window)
                                       : sdl::create_renderer(state.screen.window);
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
        state.texture = SDL_CreateTexture(state.renderer, state.screen.desktop.format, SDL_TEXTUREACCESS_STREAMING,
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
    const uint32_t format = state.screen.desktop.format;
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
    // Not every renderer that accepts the vsync request waits for it (the
    // software one, or any on a virtual X server): flips are also spaced.
    flip_pacer::after_flip(
        &state.pacer, state.screen.desktop.refresh_rate, [] { return static_cast<int64_t>(monotonic_ns()); },
        [](int64_t ns) { sleep_ns(static_cast<uint64_t>(ns)); });
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
            // SDL's Wayland driver reports a broken connection with its one
            // quit event: that is the window system going, not a request.
            const bool gone = sdl::wayland_connection_broken(state.screen.window, state.error, sizeof state.error) ==
                              sdl::Answer::yes;
            *message = gone ? kMessageEndSession : kMessageClose;
            *wparam = gone ? 1 : 0;
            return 1;
        }
        if (sdl::is_fullscreen_switch(event)) {
            sdl::switch_fullscreen(&state.screen);
            continue;
        }
        if (event.type == SDL_KEYDOWN) {
            *message = kMessageKeyDown;
            *wparam = static_cast<uintptr_t>(event.key.keysym.sym);
            return 1;
        }
        if (event.type != SDL_WINDOWEVENT) continue;
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) sdl::regain_fullscreen(&state.screen);
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
    if (sdl::with_stderr_quiet([] { return SDL_InitSubSystem(SDL_INIT_AUDIO); }) < 0) return sdl_failure(), 0;
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
    state.device = sdl::with_stderr_quiet([&] { return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0); });
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
