// orvo-render's command line: the two forms, strict number parsing, and the
// list of clock times that a run renders, in rendering order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render_options {

// One run renders at most this many frames: the six-digit frame index.
inline constexpr int64_t kMaxFrames = 1000000;
inline constexpr int32_t kMaxFps = 1000;

struct Options {
    std::string assets;          // directory of the pictures; empty: the working directory
    std::string out;             // directory of the frames; empty: the working directory
    std::vector<int32_t> times;  // frame n is rendered at times[n]
};

enum Parsed { kRender, kHelp, kBadArguments };

// Fills options from argv[1..argc-1]. kBadArguments sets *error to one line
// (no newline) saying what is wrong; kHelp when --help appears anywhere.
Parsed parse_arguments(int argc, const char* const* argv, Options* options, std::string* error);

// The usage text, ending in a newline.
const char* usage();

}  // namespace render_options
