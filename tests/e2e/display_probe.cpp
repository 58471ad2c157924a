// Opens the display through the real backend, prints the name of the
// converter it selected ("RGB32", "RGB565", ...) or "none", and closes it.
// The whole-program tests run it on X servers of each depth.
#include <cstdio>

#include "display/display.h"

int main() {
    const int opened = display::open("Orvo - Esc to exit", kPageWidth, kPageHeight);
    const char* name = "none";
    for (int i = 0; i < convert::kFormatCount; ++i) {
        if (convert::formats()[i].converter == display::active_converter()) name = convert::formats()[i].name;
    }
    std::printf("%s\n", name);
    if (!opened) std::fprintf(stderr, "%s\n", display::failure_reason());
    display::close();
    return opened ? 0 : 1;
}
