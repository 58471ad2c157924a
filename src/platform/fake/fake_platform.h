// The fake backend's controls, for tests only: what the next calls return
// (the script) and what was called (the log, one line per call: the name and
// its arguments, space-separated, handles and masks in hex).
#pragma once

#include <cstdint>

namespace platform_fake {

// Handles the fake hands out.
inline constexpr uintptr_t kLibrary = 0x11;
inline constexpr uintptr_t kEntry = 0x12;
inline constexpr uintptr_t kObject = 0x13;
inline constexpr uintptr_t kWindow = 0x14;
inline constexpr uintptr_t kPrimary = 0x15;
inline constexpr uintptr_t kBackBuffer = 0x16;

// Zero-initialised fields mean "succeed"; reset() also sets the non-zero
// defaults noted beside them.
struct Script {
    bool library_missing;
    bool entry_missing;
    int32_t create_object_result;
    int32_t exclusive_result;
    bool refuse_depth_32, refuse_depth_24, refuse_depth_16;
    bool fail_surface_form[3];  // by attempt: 0, 1, 2
    int32_t back_buffer_result;
    int32_t pixel_format_result;
    uint32_t format_flags, bit_count, red_mask, green_mask, blue_mask;  // default: 0x40, 32-bit RGB
    int32_t pitch;                                                      // 0: width * bytes per pixel of the mode set
    int failing_locks;                                                  // the first N locks fail
    int escape_after_polls;  // polls that report "up" before one reports "down"
    uint32_t timer_now;      // the next reading; advances by timer_step after each
    uint32_t timer_step;
    uintptr_t song;           // what music_load_song returns; default 0x80
    intptr_t default_result;  // what default_window_procedure returns; default 0x77
};

// Forgets every earlier call: clears the log, the message queue, the
// surface memory and what the calls set up, and restores the default script.
void reset();
// Clears the log alone, between the steps of one case.
void clear_log();
Script& script();

// Queues a message for peek_message (at most 64 pending).
void post_message(uint32_t message, uintptr_t wparam, intptr_t lparam);

// Appends a line to the log; test doubles of other subsystems use it so that
// their calls appear in order with the platform's.
void record(const char* format, ...) __attribute__((format(printf, 1, 2)));

int log_size();
const char* log_line(int index);
bool log_overflowed();

// The memory lock_surface hands out (kSurfaceBytes bytes, set to 0xCD by
// reset()), and the offset of row 0 within it.
inline constexpr int kSurfaceBytes = 4096 * 480;
uint8_t* surface_memory();
int32_t surface_row0_offset();

}  // namespace platform_fake
