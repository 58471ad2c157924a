// The demo driver: start-up in its fixed order, the frame loop until Escape,
// shut-down in order.
#pragma once

namespace driver {

// The whole run, called once by main(). Returns the exit code: 0 after Escape
// (or SIGINT/SIGTERM), 1 when the display can't be opened (after one line on
// stderr and the shut-down of what was started). A picture that can't be
// loaded ends the process inside the loader with exit code 1.
int run();

// The browser's still form: the frames of one run at the comma-separated
// clock times (milliseconds, each within 32 bits), the last one left on the
// display. Returns 0, or 2 with one line on stderr for a list that is not
// one; a display or picture failure ends it as in run().
int show_still(const char* times);

}  // namespace driver
