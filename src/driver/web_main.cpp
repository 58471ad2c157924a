// orvo in the web browser: the demo, or with "--times MS[,MS...]" the still
// form the page's "?t=" address asks for. The frame loop suspends main while
// the browser runs, and a main that returns after that has no one to return
// to: its exit code reaches the page through exit().
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/driver.h"

int main(int argc, char** argv) {
    if (argc == 1) std::exit(driver::run());
    if (argc == 3 && std::strcmp(argv[1], "--times") == 0) std::exit(driver::show_still(argv[2]));
    std::fprintf(stderr, "orvo: usage: orvo [--times MS[,MS...]]\n");
    std::exit(2);
}
