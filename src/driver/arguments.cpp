// orvo's command line: a table of the few arguments it knows.
#include <cstring>

#include "driver/driver.h"
#include "platform/platform.h"

namespace driver {
namespace {

struct Known {
    const char* name;
    Command command;        // help or version; run for the presentation choices
    uint32_t presentation;  // the choice's bit
    bool stats;
};

constexpr Known kKnown[] = {
    {"--help", Command::help, 0, false},
    {"--version", Command::version, 0, false},
    {"--window", Command::run, platform::kPresentWindowed, false},
    {"--sharp", Command::run, platform::kPresentSharp, false},
    {"--stats", Command::run, 0, true},
};

}  // namespace

Arguments parse_arguments(int argc, const char* const* argv) {
    Arguments arguments{Command::run, 0, false, 0, ""};
    for (int i = 1; i < argc; ++i) {
        const Known* known = nullptr;
        for (const Known& candidate : kKnown) {
            if (std::strcmp(argv[i], candidate.name) == 0) known = &candidate;
        }
        if (known == nullptr) return {Command::refuse, 0, false, i, "unknown argument"};
        // --help and --version answer only when they stand alone.
        if (known->command != Command::run && argc != 2)
            return {Command::refuse, 0, false, i, "this argument stands alone:"};
        if (known->command != Command::run) arguments.command = known->command;
        arguments.presentation |= known->presentation;
        arguments.stats = arguments.stats || known->stats;
    }
    return arguments;
}

const char* usage() {
    return "usage: orvo [--window] [--sharp] [--stats] | --version | --help\n"
           "Plays the Orvo demo on the whole screen until Escape. It reads 02.jpg, 02a.jpg,\n"
           "king.jpg and s.s3m from the working directory, or else from the folder installed\n"
           "with it.\n"
           "  --window   a resizable window instead of the whole screen\n"
           "  --sharp    scale by whole numbers with square pixels, black around\n"
           "  --stats    at exit, one line: frames presented and the interval between them\n"
           "Alt+Enter switches between the whole screen and a window.\n";
}

}  // namespace driver
