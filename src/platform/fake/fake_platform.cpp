// The fake backend: every seam call appends a line to a fixed log and
// returns what the test scripted. Nothing touches the operating system.
#include "platform/fake/fake_platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace platform_fake {
namespace {

constexpr int kLogLines = 8192;
constexpr int kLineLength = 112;
constexpr int kQueueLength = 64;

struct Message {
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};

struct FakeState {
    Script script;
    char log[kLogLines][kLineLength];
    int log_size;
    bool log_overflowed;
    Message queue[kQueueLength];
    int queue_head, queue_size;
    platform::WindowProcedure procedure;
    int32_t mode_width, mode_height, mode_bits;
    int surface_attempt;
    int locks;
    int polls;
    int32_t row0_offset;
    uint8_t surface[kSurfaceBytes];
};

FakeState state;

void vrecord(const char* format, va_list arguments) {
    if (state.log_size == kLogLines) {
        state.log_overflowed = true;
        return;
    }
    std::vsnprintf(state.log[state.log_size++], kLineLength, format, arguments);
}

}  // namespace

void record(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vrecord(format, arguments);
    va_end(arguments);
}

void reset() {
    state.script = Script{};
    state.script.format_flags = platform::kPixelFormatRgb;
    state.script.bit_count = 32;
    state.script.red_mask = 0x00FF0000;
    state.script.green_mask = 0x0000FF00;
    state.script.blue_mask = 0x000000FF;
    state.script.song = 0x80;
    state.script.default_result = 0x77;
    state.log_size = 0;
    state.log_overflowed = false;
    state.queue_head = state.queue_size = 0;
    state.procedure = nullptr;
    state.mode_width = state.mode_height = state.mode_bits = 0;
    state.surface_attempt = 0;
    state.locks = 0;
    state.polls = 0;
    state.row0_offset = 0;
    std::memset(state.surface, 0xCD, sizeof state.surface);
}

void clear_log() {
    state.log_size = 0;
    state.log_overflowed = false;
}

Script& script() { return state.script; }

void post_message(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (state.queue_size == kQueueLength) return;
    state.queue[(state.queue_head + state.queue_size++) % kQueueLength] = {message, wparam, lparam};
}

int log_size() { return state.log_size; }
const char* log_line(int index) { return index >= 0 && index < state.log_size ? state.log[index] : ""; }
bool log_overflowed() { return state.log_overflowed; }
uint8_t* surface_memory() { return state.surface; }
int32_t surface_row0_offset() { return state.row0_offset; }

}  // namespace platform_fake

namespace platform {

using platform_fake::record;
using platform_fake::state;

const char* last_error() { return "scripted"; }

void catch_stop_signals() { record("catch_stop_signals"); }

void set_presentation(uint32_t choices, uintptr_t window) {
    record("set_presentation %#x %#llx", choices, static_cast<unsigned long long>(window));
}

int32_t presentation_stats(uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us, uint32_t* late) {
    *frames = *p50_us = *p99_us = *max_us = *late = 0;
    return 0;
}

Handle load_display_library() {
    record("load_display_library");
    return state.script.library_missing ? 0 : platform_fake::kLibrary;
}

Handle find_display_creation_entry(Handle library) {
    record("find_display_creation_entry %#lx", static_cast<unsigned long>(library));
    return state.script.entry_missing ? 0 : platform_fake::kEntry;
}

int32_t create_display_object(Handle entry, Handle* object) {
    record("create_display_object %#lx", static_cast<unsigned long>(entry));
    if (state.script.create_object_result >= 0) *object = platform_fake::kObject;
    return state.script.create_object_result;
}

int32_t register_window_class(const char* class_name, WindowProcedure procedure) {
    record("register_window_class \"%s\"", class_name);
    state.procedure = procedure;
    return 1;
}

Handle create_window(const char* class_name, const char* title, uint32_t style, int32_t x, int32_t y, int32_t width,
                     int32_t height) {
    record("create_window \"%s\" \"%s\" %#x %d %d %d %d", class_name, title, style, x, y, width, height);
    return platform_fake::kWindow;
}

void destroy_window(Handle window) { record("destroy_window %#lx", static_cast<unsigned long>(window)); }

int32_t set_exclusive_fullscreen(Handle object, Handle window) {
    record("set_exclusive_fullscreen %#lx %#lx", static_cast<unsigned long>(object),
           static_cast<unsigned long>(window));
    return state.script.exclusive_result;
}

int32_t set_normal_cooperative_level(Handle object, Handle window) {
    record("set_normal_cooperative_level %#lx %#lx", static_cast<unsigned long>(object),
           static_cast<unsigned long>(window));
    return 0;
}

int32_t set_display_mode(Handle object, int32_t width, int32_t height, int32_t bits_per_pixel) {
    record("set_display_mode %#lx %d %d %d", static_cast<unsigned long>(object), width, height, bits_per_pixel);
    const bool refused = (bits_per_pixel == 32 && state.script.refuse_depth_32) ||
                         (bits_per_pixel == 24 && state.script.refuse_depth_24) ||
                         (bits_per_pixel == 16 && state.script.refuse_depth_16);
    if (refused) return -1;
    state.mode_width = width;
    state.mode_height = height;
    state.mode_bits = bits_per_pixel;
    return 0;
}

int32_t restore_display_mode(Handle object) {
    record("restore_display_mode %#lx", static_cast<unsigned long>(object));
    return 0;
}

int32_t create_primary_surface(Handle object, uint32_t flags, uint32_t back_buffer_count, uint32_t caps,
                               Handle* primary) {
    record("create_primary_surface %#lx %#x %u %#x", static_cast<unsigned long>(object), flags, back_buffer_count,
           caps);
    const int attempt = state.surface_attempt++;
    if (attempt < 3 && state.script.fail_surface_form[attempt]) return -1;
    *primary = platform_fake::kPrimary;
    return 0;
}

int32_t get_back_buffer(Handle primary, Handle* back_buffer) {
    record("get_back_buffer %#lx", static_cast<unsigned long>(primary));
    if (state.script.back_buffer_result >= 0) *back_buffer = platform_fake::kBackBuffer;
    return state.script.back_buffer_result;
}

int32_t get_pixel_format(Handle surface, uint32_t* flags, uint32_t* bit_count, uint32_t* red_mask, uint32_t* green_mask,
                         uint32_t* blue_mask) {
    record("get_pixel_format %#lx", static_cast<unsigned long>(surface));
    if (state.script.pixel_format_result < 0) return state.script.pixel_format_result;
    *flags = state.script.format_flags;
    *bit_count = state.script.bit_count;
    *red_mask = state.script.red_mask;
    *green_mask = state.script.green_mask;
    *blue_mask = state.script.blue_mask;
    return 0;
}

int32_t restore_surface(Handle surface) {
    record("restore_surface %#lx", static_cast<unsigned long>(surface));
    return 0;
}

int32_t lock_surface(Handle surface, uint8_t** bits, int32_t* pitch) {
    record("lock_surface %#lx", static_cast<unsigned long>(surface));
    if (state.locks++ < state.script.failing_locks) return -1;
    int32_t row_bytes = state.script.pitch;
    if (row_bytes == 0) row_bytes = state.mode_width * ((state.mode_bits + 7) / 8);
    // A negative pitch puts row 0 at the bottom of the memory.
    const int32_t rows = state.mode_height > 0 ? state.mode_height : 1;
    state.row0_offset = row_bytes < 0 ? -row_bytes * (rows - 1) : 0;
    *bits = state.surface + state.row0_offset;
    *pitch = row_bytes;
    return 0;
}

int32_t unlock_surface(Handle surface, uint8_t* bits) {
    record("unlock_surface %#lx +%ld", static_cast<unsigned long>(surface), static_cast<long>(bits - state.surface));
    return 0;
}

int32_t flip(Handle primary) {
    record("flip %#lx", static_cast<unsigned long>(primary));
    return 0;
}

int32_t release_surface(Handle surface) {
    record("release_surface %#lx", static_cast<unsigned long>(surface));
    return 0;
}

int32_t release_display_object(Handle object) {
    record("release_display_object %#lx", static_cast<unsigned long>(object));
    return 0;
}

void free_library(Handle library) { record("free_library %#lx", static_cast<unsigned long>(library)); }

int32_t peek_message(Handle window, uint32_t* message, uintptr_t* wparam, intptr_t* lparam) {
    record("peek_message %#lx", static_cast<unsigned long>(window));
    if (state.queue_size == 0) return 0;
    const platform_fake::Message& m = state.queue[state.queue_head];
    state.queue_head = (state.queue_head + 1) % platform_fake::kQueueLength;
    --state.queue_size;
    *message = m.message;
    *wparam = m.wparam;
    *lparam = m.lparam;
    return 1;
}

intptr_t dispatch_message(Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    record("dispatch_message %#lx %#x %lu %ld", static_cast<unsigned long>(window), message,
           static_cast<unsigned long>(wparam), static_cast<long>(lparam));
    return state.procedure ? state.procedure(window, message, wparam, lparam) : 0;
}

intptr_t default_window_procedure(Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    record("default_window_procedure %#lx %#x %lu %ld", static_cast<unsigned long>(window), message,
           static_cast<unsigned long>(wparam), static_cast<long>(lparam));
    return state.script.default_result;
}

void set_cursor_none() { record("set_cursor_none"); }

int16_t escape_key_state() {
    record("escape_key_state");
    return state.polls++ < state.script.escape_after_polls ? 0 : static_cast<int16_t>(0x8001);
}

uint32_t timer_ms() {
    record("timer_ms");
    const uint32_t now = state.script.timer_now;
    state.script.timer_now += state.script.timer_step;
    return now;
}

int32_t timer_period_begin(uint32_t period) {
    record("timer_period_begin %u", period);
    return 0;
}

int32_t timer_period_end(uint32_t period) {
    record("timer_period_end %u", period);
    return 0;
}

void sleep_ms(uint32_t milliseconds) { record("sleep_ms %u", milliseconds); }

int32_t music_set_buffer_size(int32_t milliseconds) {
    record("music_set_buffer_size %d", milliseconds);
    return 1;
}

int32_t music_init(int32_t mixing_rate, int32_t channels, uint32_t flags) {
    record("music_init %d %d %u", mixing_rate, channels, flags);
    return 1;
}

Handle music_load_song(const char* path) {
    record("music_load_song \"%s\"", path);
    return state.script.song;
}

int32_t music_play_song(Handle song) {
    record("music_play_song %#lx", static_cast<unsigned long>(song));
    return song != 0;
}

int32_t music_free_song(Handle song) {
    record("music_free_song %#lx", static_cast<unsigned long>(song));
    return song != 0;
}

void music_close() { record("music_close"); }

}  // namespace platform
