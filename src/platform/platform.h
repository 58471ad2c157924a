// The platform seam: every need of the display, clock, music and driver logic
// from the operating system, as plain functions named by that need. A program
// links exactly one backend (src/platform/sdl for the real demo on Linux,
// src/platform/win32 on Windows, src/platform/web in the browser,
// src/platform/fake for the logic's tests, src/platform/template where a new
// backend starts); nothing here is virtual. What backends share is in
// src/platform/shared/ (window messages, flip spacing) and
// src/platform/openmpt/ (the song file).
//
// Rules for every function below, stated once:
// - Everything is called on the program's one thread, except where a function
//   says otherwise. The backend keeps its own state privately.
// - Handles are opaque non-zero integers made by the backend; 0 means none.
//   A handle stays valid until the release call named beside the call that
//   made it. Handles and plain integers are the only things that cross,
//   besides pointers to the caller's own integers and to text the caller owns
//   for the duration of the call.
// - Display results follow the display interface's convention: a signed
//   32-bit code, zero or positive on success, negative on failure. Where a
//   function returns a handle, 0 is failure. Calls whose result the logic
//   ignores still report one, so that a backend has a place to say it.
// - Failures write a short reason that last_error() returns until the next
//   failing call; nothing is ever printed by a backend.
#pragma once

#include <cstdint>

namespace platform {

using Handle = uintptr_t;

// Messages the display's window procedure knows; everything else goes to
// default_window_procedure.
inline constexpr uint32_t kMessageClose = 0x0010;
inline constexpr uint32_t kMessageActivateApp = 0x001C;
inline constexpr uint32_t kMessageSetCursor = 0x0020;
inline constexpr uint32_t kMessageKeyDown = 0x0100;
// The window system is going away (wparam non-zero): the display's connection
// to it broke and can't be had back. last_error() says how.
inline constexpr uint32_t kMessageEndSession = 0x0016;

// The window procedure the display registers: called by dispatch_message, on
// the program's thread, with the message as fetched. Returns the message's
// result.
using WindowProcedure = intptr_t (*)(Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Surface description values of the three flipping-chain forms and of the
// pixel format.
inline constexpr uint32_t kSurfaceCaps = 0x1;              // the caps field is given
inline constexpr uint32_t kSurfaceBackBufferCount = 0x20;  // the back-buffer count is given
inline constexpr uint32_t kCapsPrimarySurface = 0x200;
inline constexpr uint32_t kCapsFlip = 0x10;
inline constexpr uint32_t kCapsComplex = 0x8;
inline constexpr uint32_t kCapsVideoMemory = 0x4000;
inline constexpr uint32_t kPixelFormatRgb = 0x40;

// The reason of the last failure, as text owned by the backend; "" if none.
const char* last_error();

// Called once by the driver before anything else: from now on SIGINT and
// SIGTERM are reported through escape_key_state() instead of ending the
// process.
void catch_stop_signals();

// --- What the user chose on the command line ---

inline constexpr uint32_t kPresentWindowed = 0x1;  // a resizable window instead of the whole screen
inline constexpr uint32_t kPresentSharp = 0x2;     // whole-number scaling, nearest pixels, black around
// Into another program's window (a screensaver's): the window system's id
// of it is set_presentation's window, 0 for the whole screen's root window.
// The picture is letterboxed to that window's size as it changes; nothing
// is shown, hidden, raised or grabbed, and keys are not read.
inline constexpr uint32_t kPresentInWindow = 0x4;
inline constexpr uint32_t kPresentSilent = 0x8;  // no sound device is opened
// As a screensaver on the whole screen: any key, mouse button, a mouse move
// of more than a few pixels or losing the activation ends the demo as
// Escape does.
inline constexpr uint32_t kPresentScreensaver = 0x10;

// Called at most once, before load_display_library; without it (or with 0)
// the demo shows as it always does. window is read only with
// kPresentInWindow. A backend that can't honour a choice ignores it.
void set_presentation(uint32_t choices, uintptr_t window);
// What the flips so far came to: frames presented, the interval between
// presents at the 50th and 99th percentile and its maximum (microseconds),
// and the intervals longer than one and a half refresh periods. Zeros where
// the backend doesn't count. Callable after the display is closed.
int32_t presentation_stats(uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us, uint32_t* late);

// --- Display device (display open, present, close) ---

// Loads the display library. Returns its handle, released by free_library.
Handle load_display_library();
// Finds the library's display-object creation entry. Returns it, or 0.
Handle find_display_creation_entry(Handle library);
// Creates the display object for the active display through entry and
// stores its handle in *object (released by release_display_object).
int32_t create_display_object(Handle entry, Handle* object);
// Registers the window class named class_name: style 0, the given
// procedure, the program's own module, its "IDI_MAIN" icon if it has one,
// no cursor, no background, no menu. The result is not examined.
int32_t register_window_class(const char* class_name, WindowProcedure procedure);
// Creates a window of that class; released by destroy_window. The handle
// comes back unexamined.
Handle create_window(const char* class_name, const char* title, uint32_t style, int32_t x, int32_t y, int32_t width,
                     int32_t height);
// Destroys the window; also called with 0 when no window was created.
void destroy_window(Handle window);
// Takes the display exclusively, fullscreen, for the window.
int32_t set_exclusive_fullscreen(Handle object, Handle window);
// Gives the display back (the normal cooperative level).
int32_t set_normal_cooperative_level(Handle object, Handle window);
// Sets the display mode width x height at bits_per_pixel; the refresh rate
// is left to the backend.
int32_t set_display_mode(Handle object, int32_t width, int32_t height, int32_t bits_per_pixel);
// Puts the desktop's own display mode back.
int32_t restore_display_mode(Handle object);
// Creates the primary surface in the form given by a surface description
// (flags, back-buffer count when flags say so, caps) and stores its handle in
// *primary; released by release_surface, which ends its back buffers too.
int32_t create_primary_surface(Handle object, uint32_t flags, uint32_t back_buffer_count, uint32_t caps,
                               Handle* primary);
// Stores the primary's attached back buffer in *back_buffer. Never released
// by itself.
int32_t get_back_buffer(Handle primary, Handle* back_buffer);
// Reports the surface's pixel format: flags (kPixelFormatRgb for an RGB
// format), bits per pixel and the three colour masks.
int32_t get_pixel_format(Handle surface, uint32_t* flags, uint32_t* bit_count, uint32_t* red_mask, uint32_t* green_mask,
                         uint32_t* blue_mask);
// Gets lost surface memory back.
int32_t restore_surface(Handle surface);
// Locks the whole surface for writing, waiting while it is busy. On success
// *bits is the first byte of row 0 and *pitch the signed bytes from one row
// to the next, both valid until unlock_surface.
int32_t lock_surface(Handle surface, uint8_t** bits, int32_t* pitch);
// Ends the write access; bits is what lock_surface returned.
int32_t unlock_surface(Handle surface, uint8_t* bits);
// Shows the back buffer, waiting for the display: this is what paces frames.
int32_t flip(Handle primary);
int32_t release_surface(Handle surface);
int32_t release_display_object(Handle object);
void free_library(Handle library);

// Fetches and removes one pending message for the window, never waiting.
// Returns non-zero when a message was fetched into the three outputs.
int32_t peek_message(Handle window, uint32_t* message, uintptr_t* wparam, intptr_t* lparam);
// Translates and dispatches a fetched message to the window's procedure;
// returns the procedure's result.
intptr_t dispatch_message(Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// The default handling of any message the display's procedure doesn't know.
intptr_t default_window_procedure(Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// No mouse cursor over the window.
void set_cursor_none();

// --- Keyboard, time ---

// Non-zero when Escape is down now, was pressed since the last call, or a
// stop signal arrived (see catch_stop_signals). Called once per frame.
int16_t escape_key_state();
// A millisecond count that grows with real time, wrapping at 2^32.
uint32_t timer_ms();
// Requests, and withdraws, a timer resolution of period milliseconds.
int32_t timer_period_begin(uint32_t period);
int32_t timer_period_end(uint32_t period);
// Waits milliseconds; 0 gives up the rest of the time slice.
void sleep_ms(uint32_t milliseconds);

// --- Music library ---

// Asks for an output buffer of milliseconds (a hint).
int32_t music_set_buffer_size(int32_t milliseconds);
// Opens the audio output: mixing rate in Hz, software channels, flags.
// Returns non-zero on success.
int32_t music_init(int32_t mixing_rate, int32_t channels, uint32_t flags);
// Loads the module file at path. Returns the song handle, or 0; released by
// music_free_song (which accepts 0).
Handle music_load_song(const char* path);
// Starts the song, which then plays on by itself (the backend mixes it on
// its own thread) and repeats. Returns non-zero on success.
int32_t music_play_song(Handle song);
// Stops and releases the song; the mixer no longer touches it on return.
int32_t music_free_song(Handle song);
// Closes the audio output.
void music_close();

}  // namespace platform
