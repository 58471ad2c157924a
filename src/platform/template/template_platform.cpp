// The template backend: where a new backend starts. Every seam function is
// here with its contract (platform.h states the rules common to all) and the
// least that honours it, as a null video driver does: the display is a
// 32-bit picture in memory that nobody sees, flips are paced by the clock,
// no key is ever pressed, the song is loaded and checked but not heard.
// It is plain standard C++ and builds on every platform; a test links a
// program against it so that it keeps up with the seam.
//
// To write a backend from it: copy this folder, give the handles values of
// the new backend's own, and replace each body by the platform's calls,
// keeping the contract above it. The window class and message dispatch
// (platform/shared/window_messages.cpp), the song loading
// (song_file::load_song_handle) and the flip pacer
// (platform/shared/flip_pacer.h) are shared: link or call them unless the
// platform has its own.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "platform/openmpt/song_file.h"
#include "platform/platform.h"
#include "platform/shared/flip_pacer.h"

namespace platform {
namespace {

// Fixed handles: there is one of each object. A backend over a real
// platform returns that platform's own handles instead.
constexpr Handle kLibrary = 0x31;
constexpr Handle kCreationEntry = 0x32;
constexpr Handle kDisplayObject = 0x33;
constexpr Handle kWindow = 0x34;
constexpr Handle kPrimary = 0x35;
constexpr Handle kBackBuffer = 0x36;

constexpr int32_t kLargestWidth = 1024;
constexpr int32_t kLargestHeight = 768;
constexpr int32_t kRefreshHz = 60;

struct TemplateState {
    char error[256];
    volatile std::sig_atomic_t stop_signal;
    bool activation_pending;  // the window's one message: it is active once made
    int32_t width;
    int32_t height;
    bool surface_up;
    flip_pacer::Pacer pacer;  // spaces the flips and counts them for orvo --stats
    bool audio_up;
    uint32_t presentation;  // kPresent* bits: nothing to show, so only kept
};

TemplateState state;

// The surface memory: every flipping-chain form is this one buffer.
alignas(16) uint8_t surface_pixels[kLargestWidth * kLargestHeight * 4];

int32_t failure(const char* what) {
    std::snprintf(state.error, sizeof state.error, "%s", what);
    return -1;
}

void on_stop_signal(int) { state.stop_signal = 1; }

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// The reason of the last failure; "" if none.
const char* last_error() { return state.error; }

// The user's choices of window and scaling; a backend with a screen applies
// them when it makes its window and renderer.
void set_presentation(uint32_t choices, uintptr_t) { state.presentation = choices; }

// The flips counted so far (see flip).
int32_t presentation_stats(uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us, uint32_t* late) {
    return flip_pacer::report(state.pacer, frames, p50_us, p99_us, max_us, late);
}

// From now on SIGINT and SIGTERM make escape_key_state() report a press
// instead of ending the process.
void catch_stop_signals() {
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
}

// --- Display device ---

// Loads the display library; 0 with a reason when there is no display.
Handle load_display_library() { return kLibrary; }

// The library's display-object creation entry, or 0.
Handle find_display_creation_entry(Handle library) {
    if (library != kLibrary) return failure("no display library"), 0;
    return kCreationEntry;
}

// The display object of the active display in *object; >= 0 on success.
int32_t create_display_object(Handle entry, Handle* object) {
    if (entry != kCreationEntry) return failure("no display creation entry");
    *object = kDisplayObject;
    return 0;
}

// register_window_class, dispatch_message and default_window_procedure:
// platform/shared/window_messages.cpp.

// A window that will show the display; it starts active once shown, which
// it tells the display's procedure through one activation message.
Handle create_window(const char*, const char*, uint32_t, int32_t, int32_t, int32_t, int32_t) {
    state.activation_pending = true;
    return kWindow;
}

// Ends the window; also called with 0 when none was made.
void destroy_window(Handle) { state.activation_pending = false; }

// Takes the display for the window alone (fullscreen); gives it back.
int32_t set_exclusive_fullscreen(Handle object, Handle window) {
    if (object != kDisplayObject || window != kWindow) return failure("no display object or window");
    return 0;
}
int32_t set_normal_cooperative_level(Handle, Handle) { return 0; }

// Sets the mode: this memory display holds 32-bit pixels of any size up to
// its largest; any other depth is refused, so the display falls back.
int32_t set_display_mode(Handle object, int32_t width, int32_t height, int32_t bits_per_pixel) {
    if (object != kDisplayObject) return failure("no display object");
    if (bits_per_pixel != 32) return failure("the memory display holds 32-bit pixels only");
    if (width <= 0 || height <= 0 || width > kLargestWidth || height > kLargestHeight) {
        return failure("no display mode of that size");
    }
    state.width = width;
    state.height = height;
    return 0;
}

// Puts the desktop's own mode back.
int32_t restore_display_mode(Handle) { return 0; }

// The primary surface in the described flipping-chain form, in *primary;
// released by release_surface. Every form is the one memory buffer here.
int32_t create_primary_surface(Handle object, uint32_t, uint32_t, uint32_t, Handle* primary) {
    if (object != kDisplayObject || state.width == 0) return failure("no display mode was set");
    state.surface_up = true;
    *primary = kPrimary;
    return 0;
}

// The primary's back buffer in *back_buffer; never released by itself.
int32_t get_back_buffer(Handle primary, Handle* back_buffer) {
    if (primary != kPrimary || !state.surface_up) return failure("no primary surface");
    *back_buffer = kBackBuffer;
    return 0;
}

// The surface's format: RGB, 32 bits, red in the third byte (X8R8G8B8).
int32_t get_pixel_format(Handle surface, uint32_t* flags, uint32_t* bit_count, uint32_t* red_mask, uint32_t* green_mask,
                         uint32_t* blue_mask) {
    if (surface != kPrimary && surface != kBackBuffer) return failure("no surface");
    *flags = kPixelFormatRgb;
    *bit_count = 32;
    *red_mask = 0x00FF0000u;
    *green_mask = 0x0000FF00u;
    *blue_mask = 0x000000FFu;
    return 0;
}

// Gets lost surface memory back; memory is never lost here.
int32_t restore_surface(Handle) { return 0; }

// The whole surface for writing: its first row and the bytes between rows.
int32_t lock_surface(Handle surface, uint8_t** bits, int32_t* pitch) {
    if ((surface != kPrimary && surface != kBackBuffer) || !state.surface_up) return failure("no surface to lock");
    *bits = surface_pixels;
    *pitch = state.width * 4;
    return 0;
}

int32_t unlock_surface(Handle, uint8_t*) { return 0; }

// Shows the back buffer and waits for the display: with no display to wait
// for, flips are spaced one refresh period apart.
int32_t flip(Handle primary) {
    if (primary != kPrimary || !state.surface_up) return failure("no primary surface");
    flip_pacer::after_flip(&state.pacer, kRefreshHz, now_ns,
                           [](int64_t ns) { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); });
    return 0;
}

// Ends the surface and its back buffers.
int32_t release_surface(Handle) {
    state.surface_up = false;
    return 0;
}

int32_t release_display_object(Handle) { return 0; }
void free_library(Handle) {}

// The next message for the window, never waiting: here only the activation
// that follows the window's creation.
int32_t peek_message(Handle window, uint32_t* message, uintptr_t* wparam, intptr_t* lparam) {
    if (window != kWindow || !state.activation_pending) return 0;
    state.activation_pending = false;
    *message = kMessageActivateApp;
    *wparam = 1;
    *lparam = 0;
    return 1;
}

// No mouse cursor over the window.
void set_cursor_none() {}

// --- Keyboard, time ---

// Non-zero when Escape is down or was pressed since the last call, or a stop
// signal came. There is no keyboard here: only the signals.
int16_t escape_key_state() { return state.stop_signal ? 1 : 0; }

// Milliseconds that grow with real time, wrapping at 2^32.
uint32_t timer_ms() { return static_cast<uint32_t>(now_ns() / 1000000); }

// The steady clock needs no resolution request.
int32_t timer_period_begin(uint32_t) { return 0; }
int32_t timer_period_end(uint32_t) { return 0; }

// Waits; 0 gives up the rest of the time slice.
void sleep_ms(uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

// --- Music library ---

// A hint; a real backend keeps its output buffer small (Escape ends at once).
int32_t music_set_buffer_size(int32_t) { return 1; }

// Opens the audio output; non-zero on success. Nothing is heard here.
int32_t music_init(int32_t mixing_rate, int32_t, uint32_t) {
    if (mixing_rate <= 0) return failure("no mixing rate"), 0;
    state.audio_up = true;
    return 1;
}

// The song at path, loaded and checked as every backend loads it; 0 with
// the reason when it can't be. The handle is the libopenmpt module.
Handle music_load_song(const char* path) { return song_file::load_song_handle(path, state.error, sizeof state.error); }

// Starts the song playing on by itself; non-zero on success. A real backend
// mixes it on a thread or callback of its own from here.
int32_t music_play_song(Handle song) { return song != 0 && state.audio_up ? 1 : 0; }

// Stops and ends the song; the mixer must no longer touch it on return.
int32_t music_free_song(Handle song) {
    if (!song) return 0;
    openmpt_module_destroy(reinterpret_cast<openmpt_module*>(song));
    return 1;
}

// Closes the audio output.
void music_close() { state.audio_up = false; }

}  // namespace platform
