// The web browser backend: the platform seam over the page's canvas (the
// 640 x 480 picture put into it once per display refresh, the page scaling
// it to fit), the page's key and visibility events as window messages, the
// browser's clock, and libopenmpt playing the song through WebAudio.
//
// The program's one thread is the page's. The frame loop never returns to
// the browser by itself: flip and sleep_ms suspend it (emscripten's
// Asyncify) until the next animation frame or timeout, and the browser runs
// its events and the audio callback in between. The page's own script
// (index.html) owns the layout, the start screen and the audio context made
// on the user's first gesture; web_platform.js is the backend's part in it.
#include <emscripten.h>
#include <libopenmpt/libopenmpt.h>

#include <cstdio>
#include <cstring>

#include "platform/openmpt/song_file.h"
#include "platform/platform.h"

// The page's side, in web_platform.js.
extern "C" {
int web_canvas_found();
void web_listen();
void web_stop_listening();
int web_next_message(uint32_t* wparam);
int web_escape_state();
void web_set_canvas_size(int width, int height);
void web_hide_cursor();
void web_show_and_wait_for_refresh(const uint8_t* pixels, int width, int height);
int web_audio_open(int rate);
int web_audio_start(int frames);
void web_audio_close();
}

namespace platform {
namespace {

// Fixed handles: there is one of each object.
constexpr Handle kLibrary = 0x21;
constexpr Handle kCreationEntry = 0x22;
constexpr Handle kDisplayObject = 0x23;
constexpr Handle kWindow = 0x24;
constexpr Handle kPrimary = 0x25;
constexpr Handle kBackBuffer = 0x26;

constexpr int32_t kLargestWidth = 1024;
constexpr int32_t kLargestHeight = 768;
constexpr int kMixFrames = 1024;  // the audio callback's block, about 23 ms

struct WebState {
    char error[256];
    bool listening;
    int32_t width;
    int32_t height;
    bool surface_up;

    int32_t device_rate;
    openmpt_module* playing;  // the audio callback runs between frames, on this thread
};

WebState state;

// The back buffer, as the canvas takes it: red, green, blue, alpha bytes.
alignas(16) uint8_t surface_pixels[kLargestWidth * kLargestHeight * 4];
alignas(16) float mix_buffer[2 * kMixFrames];

int32_t failure(const char* what) {
    std::snprintf(state.error, sizeof state.error, "%s", what);
    return -1;
}

}  // namespace

const char* last_error() { return state.error; }

// The page has no command line: the canvas is as the page lays it out.
void set_presentation(uint32_t, uintptr_t) {}
int32_t presentation_stats(uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us, uint32_t* late) {
    *frames = *p50_us = *p99_us = *max_us = *late = 0;
    return 0;
}

void catch_stop_signals() {}  // a page has no signals; closing the tab ends it

// --- Display device ---

Handle load_display_library() {
    if (!web_canvas_found()) return failure("the page has no canvas"), 0;
    return kLibrary;
}

Handle find_display_creation_entry(Handle library) { return library == kLibrary ? kCreationEntry : 0; }

int32_t create_display_object(Handle entry, Handle* object) {
    if (entry != kCreationEntry) return failure("no display creation entry");
    *object = kDisplayObject;
    return 0;
}

// The canvas is the window: it is shown, so it starts active.
Handle create_window(const char*, const char*, uint32_t, int32_t, int32_t, int32_t, int32_t) {
    if (!state.listening) web_listen();
    state.listening = true;
    return kWindow;
}

void destroy_window(Handle window) {
    if (window != kWindow || !state.listening) return;
    web_stop_listening();
    state.listening = false;
}

// The page already gives the canvas the whole window.
int32_t set_exclusive_fullscreen(Handle, Handle) { return 0; }
int32_t set_normal_cooperative_level(Handle, Handle) { return 0; }

// A canvas holds 32-bit pixels only; its size is the mode's.
int32_t set_display_mode(Handle, int32_t width, int32_t height, int32_t bits_per_pixel) {
    if (bits_per_pixel != 32) return failure("a canvas holds 32-bit pixels only");
    if (width <= 0 || height <= 0 || width > kLargestWidth || height > kLargestHeight) {
        return failure("no canvas of that size");
    }
    state.width = width;
    state.height = height;
    web_set_canvas_size(width, height);
    return 0;
}

int32_t restore_display_mode(Handle) { return 0; }

// Every flipping-chain form is one canvas and one buffer.
int32_t create_primary_surface(Handle object, uint32_t, uint32_t, uint32_t, Handle* primary) {
    if (object != kDisplayObject || state.width == 0) return failure("no display mode was set");
    state.surface_up = true;
    *primary = kPrimary;
    return 0;
}

int32_t get_back_buffer(Handle primary, Handle* back_buffer) {
    if (primary != kPrimary || !state.surface_up) return failure("no primary surface");
    *back_buffer = kBackBuffer;
    return 0;
}

// Red in the lowest byte: the order of the canvas's own bytes. The BGR32
// converter writes the top byte opaque, as the canvas takes it (a canvas
// without alpha does not ignore it: a pixel put with alpha 0 shows black).
int32_t get_pixel_format(Handle, uint32_t* flags, uint32_t* bit_count, uint32_t* red_mask, uint32_t* green_mask,
                         uint32_t* blue_mask) {
    *flags = kPixelFormatRgb;
    *bit_count = 32;
    *red_mask = 0x000000FFu;
    *green_mask = 0x0000FF00u;
    *blue_mask = 0x00FF0000u;
    return 0;
}

int32_t restore_surface(Handle) { return 0; }  // a canvas is never lost

int32_t lock_surface(Handle surface, uint8_t** bits, int32_t* pitch) {
    if ((surface != kPrimary && surface != kBackBuffer) || !state.surface_up) return failure("no surface to lock");
    *bits = surface_pixels;
    *pitch = state.width * 4;
    return 0;
}

int32_t unlock_surface(Handle, uint8_t*) { return 0; }

int32_t flip(Handle primary) {
    if (primary != kPrimary || !state.surface_up) return failure("no primary surface");
    // The converter wrote the top byte opaque, as the canvas reads it.
    web_show_and_wait_for_refresh(surface_pixels, state.width, state.height);
    return 0;
}

int32_t release_surface(Handle) {
    state.surface_up = false;
    return 0;
}

int32_t release_display_object(Handle) { return 0; }
void free_library(Handle) {}

int32_t peek_message(Handle, uint32_t* message, uintptr_t* wparam, intptr_t* lparam) {
    if (!state.listening) return 0;
    uint32_t parameter = 0;
    const int next = web_next_message(&parameter);
    if (next == 0) return 0;
    *message = static_cast<uint32_t>(next);
    *wparam = parameter;
    *lparam = 0;
    return 1;
}

void set_cursor_none() { web_hide_cursor(); }

// --- Keyboard, time ---

int16_t escape_key_state() { return static_cast<int16_t>(web_escape_state()); }

uint32_t timer_ms() { return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now())); }

int32_t timer_period_begin(uint32_t) { return 0; }  // the browser's clock has its own resolution
int32_t timer_period_end(uint32_t) { return 0; }

// A wait gives the thread back to the browser. A zero wait right after a
// flip is none: the flip has just given it back for a whole refresh.
void sleep_ms(uint32_t milliseconds) {
    if (milliseconds > 0) emscripten_sleep(milliseconds);
}

// --- Music library ---

int32_t music_set_buffer_size(int32_t) { return 1; }  // the callback's block is fixed and small

int32_t music_init(int32_t mixing_rate, int32_t, uint32_t) {
    state.device_rate = web_audio_open(mixing_rate);
    if (state.device_rate <= 0) return failure("the browser gives no audio context"), 0;
    return 1;
}

Handle music_load_song(const char* path) { return song_file::load_song_handle(path, state.error, sizeof state.error); }

int32_t music_play_song(Handle song) {
    if (!song || state.device_rate <= 0) return 0;
    state.playing = reinterpret_cast<openmpt_module*>(song);
    return web_audio_start(kMixFrames);
}

int32_t music_free_song(Handle song) {
    if (!song) return 0;
    openmpt_module* module = reinterpret_cast<openmpt_module*>(song);
    if (state.playing == module) state.playing = nullptr;
    openmpt_module_destroy(module);
    return 1;
}

void music_close() {
    web_audio_close();
    state.device_rate = 0;
}

}  // namespace platform

// Called by the audio callback: the next frames of the song, left channel
// then right, as floats; silence when nothing plays.
extern "C" EMSCRIPTEN_KEEPALIVE float* orvo_web_mix(int frames) {
    using platform::state;
    if (frames < 0 || frames > platform::kMixFrames) frames = 0;
    size_t written = 0;
    if (state.playing) {
        written = openmpt_module_read_float_stereo(state.playing, state.device_rate, static_cast<size_t>(frames),
                                                   platform::mix_buffer, platform::mix_buffer + frames);
    }
    for (int i = static_cast<int>(written); i < frames; ++i) {
        platform::mix_buffer[i] = 0.0f;
        platform::mix_buffer[frames + i] = 0.0f;
    }
    return platform::mix_buffer;
}
