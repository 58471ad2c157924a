// orvo-render's command line. Every number is parsed strictly: digits only
// (a leading minus where negative values make sense), no blanks, no overflow.
#include "tools/render/render_options.h"

#include <cstring>

namespace render_options {
namespace {

constexpr const char* kUsage =
    "usage: orvo-render [--assets DIR] [--out DIR] --times MS[,MS...]\n"
    "       orvo-render [--assets DIR] [--out DIR] --fps N --duration SECONDS [--start MS]\n"
    "\n"
    "Renders the demo's frames without a screen and writes frame n as OUT/frame-NNNNNN.png\n"
    "(640 x 480, 8-bit RGB). Frame n is the n-th frame of one run, so the shadow grid's\n"
    "noise has advanced through the n frames before it.\n"
    "\n"
    "  --assets DIR        where 02.jpg, 02a.jpg and king.jpg are (default: the working directory)\n"
    "  --out DIR           where the frames go, created if missing (default: the working directory)\n"
    "  --times MS,...      clock times in milliseconds (signed 32-bit), one frame each, in order\n"
    "  --fps N             frames per second, 1 to 1000\n"
    "  --duration SECONDS  above 0, at most three decimals: frames n = 0, 1, ... while n < N x SECONDS\n"
    "  --start MS          time of frame 0 (default 0); frame n is at START + floor(n x 1000 / N)\n"
    "  --help              this text\n"
    "\n"
    "At most 1000000 frames per run. Exit codes: 0 done, 1 a picture or a frame file failed,\n"
    "2 bad arguments.\n";

// A whole signed decimal integer within [low, high].
bool parse_integer(const char* text, int64_t low, int64_t high, int64_t* value) {
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    if (*p == '\0') return false;
    int64_t magnitude = 0;
    for (; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > (int64_t{1} << 40)) return false;  // far beyond any range used here
    }
    const int64_t v = negative ? -magnitude : magnitude;
    if (v < low || v > high) return false;
    *value = v;
    return true;
}

// Seconds with up to three decimals, as whole milliseconds.
bool parse_seconds(const char* text, int64_t* milliseconds) {
    const char* dot = std::strchr(text, '.');
    const std::string whole(text, dot != nullptr ? static_cast<size_t>(dot - text) : std::strlen(text));
    std::string fraction = dot != nullptr ? std::string(dot + 1) : std::string();
    if (whole.empty() || (dot != nullptr && fraction.empty()) || fraction.size() > 3) return false;
    fraction.resize(3, '0');
    int64_t seconds = 0, thousandths = 0;
    if (!parse_integer(whole.c_str(), 0, 1000000000, &seconds)) return false;
    if (fraction[0] == '-' || !parse_integer(fraction.c_str(), 0, 999, &thousandths)) return false;
    *milliseconds = seconds * 1000 + thousandths;
    return true;
}

bool parse_time_list(const char* text, std::vector<int32_t>* times) {
    const char* p = text;
    for (;;) {
        const char* comma = std::strchr(p, ',');
        const std::string item(p, comma != nullptr ? static_cast<size_t>(comma - p) : std::strlen(p));
        int64_t t = 0;
        if (!parse_integer(item.c_str(), INT32_MIN, INT32_MAX, &t)) return false;
        if (static_cast<int64_t>(times->size()) == kMaxFrames) return false;
        times->push_back(static_cast<int32_t>(t));
        if (comma == nullptr) return true;
        p = comma + 1;
    }
}

bool bad(std::string* error, const std::string& why) {
    *error = why;
    return false;
}

struct Given {
    const char* assets;
    const char* out;
    const char* times;
    const char* fps;
    const char* duration;
    const char* start;
};

bool collect(int argc, const char* const* argv, Given* given, std::string* error) {
    const struct {
        const char* name;
        const char* Given::*field;
    } known[] = {{"--assets", &Given::assets},     {"--out", &Given::out}, {"--times", &Given::times},
                 {"--fps", &Given::fps},           {"--duration", &Given::duration},
                 {"--start", &Given::start}};
    for (int i = 1; i < argc; ++i) {
        bool matched = false;
        for (const auto& option : known) {
            if (std::strcmp(argv[i], option.name) != 0) continue;
            if (i + 1 >= argc) return bad(error, std::string(option.name) + " needs a value");
            if (given->*option.field != nullptr) return bad(error, std::string(option.name) + " given twice");
            given->*option.field = argv[++i];
            matched = true;
            break;
        }
        if (!matched) return bad(error, std::string("unknown argument \"") + argv[i] + "\"");
    }
    return true;
}

bool build(const Given& given, Options* options, std::string* error) {
    if (given.assets != nullptr) {
        if (given.assets[0] == '\0') return bad(error, "--assets needs a directory");
        options->assets = given.assets;
    }
    if (given.out != nullptr) {
        if (given.out[0] == '\0') return bad(error, "--out needs a directory");
        options->out = given.out;
    }
    if (given.times != nullptr) {
        if (given.fps != nullptr || given.duration != nullptr || given.start != nullptr) {
            return bad(error, "--times can't be combined with --fps, --duration or --start");
        }
        if (!parse_time_list(given.times, &options->times)) {
            return bad(error, "--times needs signed 32-bit milliseconds separated by commas, at most 1000000");
        }
        return true;
    }
    if (given.fps == nullptr || given.duration == nullptr) {
        return bad(error, "give either --times, or both --fps and --duration");
    }
    int64_t fps = 0, milliseconds = 0, start = 0;
    if (!parse_integer(given.fps, 1, kMaxFps, &fps)) return bad(error, "--fps needs a whole number from 1 to 1000");
    if (!parse_seconds(given.duration, &milliseconds) || milliseconds == 0) {
        return bad(error, "--duration needs seconds above 0 with at most three decimals");
    }
    if (given.start != nullptr && !parse_integer(given.start, INT32_MIN, INT32_MAX, &start)) {
        return bad(error, "--start needs signed 32-bit milliseconds");
    }
    // n < fps * seconds  <=>  n * 1000 < fps * milliseconds.
    const int64_t frames = (fps * milliseconds + 999) / 1000;
    if (frames > kMaxFrames) return bad(error, "more than 1000000 frames");
    if (start + (frames - 1) * 1000 / fps > INT32_MAX) return bad(error, "the last frame's time is beyond 32 bits");
    options->times.reserve(static_cast<size_t>(frames));
    for (int64_t n = 0; n < frames; ++n) options->times.push_back(static_cast<int32_t>(start + n * 1000 / fps));
    return true;
}

}  // namespace

Parsed parse_arguments(int argc, const char* const* argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return kHelp;
    }
    Given given{};
    if (!collect(argc, argv, &given, error) || !build(given, options, error)) return kBadArguments;
    return kRender;
}

const char* usage() { return kUsage; }

}  // namespace render_options
