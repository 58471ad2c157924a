// orvo: the demo. Started with no arguments it runs the demo; the few
// arguments it knows (driver::parse_arguments) choose how it is shown or are
// answered at once; anything else is refused.
#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "core/quoted.h"
#include "driver/driver.h"
#include "platform/platform.h"

namespace {

void print_stats() {
    uint32_t frames = 0, p50 = 0, p99 = 0, max = 0, late = 0;
    platform::presentation_stats(&frames, &p50, &p99, &max, &late);
    std::printf("orvo: %u frames presented; interval p50 %u.%01u ms, p99 %u.%01u ms, max %u.%01u ms; %u late\n", frames,
                p50 / 1000, p50 % 1000 / 100, p99 / 1000, p99 % 1000 / 100, max / 1000, max % 1000 / 100, late);
}

// The screensaver's settings dialog: there is nothing to set.
void show_no_settings() {
    constexpr const char* kText = "Orvo has no settings: it plays the demo, silently in the preview.";
#ifdef _WIN32
    MessageBoxA(nullptr, kText, "Orvo", MB_OK | MB_ICONINFORMATION);
#else
    std::puts(kText);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const driver::Arguments arguments = driver::parse_arguments(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
    switch (arguments.command) {
        case driver::Command::help: std::fputs(driver::usage(), stdout); return 0;
        case driver::Command::version: std::puts("orvo " ORVO_VERSION); return 0;
        case driver::Command::settings: show_no_settings(); return 0;
        case driver::Command::refuse:
            std::fprintf(stderr, "orvo: %s %s\n%s", arguments.why, core::quoted(arguments.word).c_str(),
                         driver::usage());
            return 2;
        case driver::Command::run: break;
    }
    if (arguments.presentation != 0) platform::set_presentation(arguments.presentation, arguments.window);
    const int code = driver::run();
    if (arguments.stats) print_stats();
    return code;
}
