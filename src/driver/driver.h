// The demo driver: start-up in its fixed order, the frame loop until Escape,
// shut-down in order.
#pragma once

#include <cstdint>

namespace driver {

// orvo's command line. With no arguments the demo runs as it always has;
// --window, --sharp and --stats combine; --help and --version answer alone.
enum class Command { run, help, version, refuse };
struct Arguments {
    Command command;
    uint32_t presentation;  // platform::kPresent* bits for set_presentation
    bool stats;             // print the presentation figures at exit
    int refused;            // the index of the argument refused (Command::refuse)
    const char* why;        // why it was refused, e.g. "unknown argument"
};
Arguments parse_arguments(int argc, const char* const* argv);
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
