// The demo driver: start-up in its fixed order, the frame loop until Escape,
// shut-down in order.
#pragma once

#include <cstdint>

namespace driver {

// orvo's command line. With no arguments the demo runs as it always has;
// --window, --sharp and --stats combine; --root or --window-id ID (with
// --sound to be heard) make it a screensaver drawing into another program's
// window; --help and --version answer alone. Windows' screensaver forms:
// /s plays until any input, /p HWND draws into a preview window, /c (and no
// argument when the program is named *.scr) asks for the settings.
enum class Command { run, help, version, settings, refuse };
struct Arguments {
    Command command;
    uint32_t presentation;  // platform::kPresent* bits for set_presentation
    bool stats;             // print the presentation figures at exit
    uintptr_t window;       // with kPresentInWindow: the window's id, 0 the root window
    int refused;            // the index of the argument refused (Command::refuse)
    const char* word;       // the text refused: that argument, or the environment's value
    const char* why;        // why it was refused, e.g. "unknown argument"
};
// screensaver_window is $XSCREENSAVER_WINDOW (or null): with --root, the
// window xscreensaver made for its hack.
Arguments parse_arguments(int argc, const char* const* argv, const char* screensaver_window = nullptr);
// A window id as xscreensaver and Windows write it: 0x and hexadecimal, or
// decimal; non-zero and within 32 bits.
bool parse_window_id(const char* text, uintptr_t* id);
// The usage text, several lines, ending in a newline.
const char* usage();

// The whole run, called once by main(). Returns the exit code: 0 after Escape
// (or SIGINT/SIGTERM), 1 when the display can't be opened or is lost during
// the run (after one line on stderr and the shut-down of what was started,
// the song stopped). A picture that can't be
// loaded ends the process inside the loader with exit code 1.
int run();

// The browser's still form: the frames of one run at the comma-separated
// clock times (milliseconds, each within 32 bits), the last one left on the
// display. Returns 0, or 2 with one line on stderr for a list that is not
// one; a display or picture failure ends it as in run().
int show_still(const char* times);

}  // namespace driver
