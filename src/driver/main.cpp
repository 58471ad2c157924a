// orvo: the demo. Started with no arguments it runs the demo; the few
// arguments it knows are answered from the table below, anything else is
// refused.
#include <cstdio>
#include <cstring>

#include "driver/driver.h"

namespace {

int print_version() {
    std::puts("orvo " ORVO_VERSION);
    return 0;
}

int print_help() {
    std::puts(
        "usage: orvo [--version | --help]\n"
        "Plays the Orvo demo on the whole screen until Escape. It reads 02.jpg, 02a.jpg,\n"
        "king.jpg and s.s3m from the working directory, or else from the folder installed\n"
        "with it.");
    return 0;
}

struct Argument {
    const char* name;
    int (*answer)();
};

constexpr Argument kArguments[] = {
    {"--version", print_version},
    {"--help", print_help},
};

const Argument* find_argument(const char* name) {
    for (const Argument& argument : kArguments) {
        if (std::strcmp(name, argument.name) == 0) return &argument;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) return driver::run();
    const Argument* argument = find_argument(argv[1]);
    if (argument != nullptr && argc == 2) return argument->answer();
    std::fprintf(stderr, "orvo: unknown argument \"%s\" (orvo --help lists them)\n",
                 argument == nullptr ? argv[1] : argv[2]);
    return 2;
}
