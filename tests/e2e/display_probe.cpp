// Opens the display through the real backend, prints the name of the
// converter it selected ("RGB32", "RGB565", ...) or "none", and closes it.
// The whole-program tests run it on X servers of each depth.
#include <cstdio>

#include "display/display_internal.h"

int main() {
    const int opened = display::open("Orvo - Esc to exit", kPageWidth, kPageHeight);
    const char* name = display::active_format() ? display::active_format()->name : "none";
    std::printf("%s\n", name);
    if (!opened) std::fprintf(stderr, "%s\n", display::failure_reason());
    display::close();
    return opened ? 0 : 1;
}
