// The demo driver: start-up in its fixed order, the frame loop until Escape,
// shut-down in order.
#pragma once

namespace driver {

// The whole run, called once by main(). Returns the exit code: 0 after Escape
// (or SIGINT/SIGTERM), 1 when the display can't be opened (after one line on
// stderr and the shut-down of what was started). A picture that can't be
// loaded ends the process inside the loader with exit code 1.
int run();

}  // namespace driver
