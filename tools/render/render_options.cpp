// orvo-render's command line. Every number is parsed strictly: digits only
// (a leading minus where negative values make sense), no blanks, no overflow;
// the --times list as the browser's still form parses it.
#include "tools/render/render_options.h"

#include <cctype>
#include <cstring>

#include "core/quoted.h"
#include "timing/timing.h"

namespace render_options {
namespace {

constexpr const char* kUsage =
    "usage: orvo-render [--assets DIR] [--out DIR] --times MS[,MS...]\n"
    "       orvo-render [--assets DIR] [--out DIR] --fps N --duration SECONDS [--start MS]\n"
    "       orvo-render [--assets DIR] --video FILE.mp4|FILE.mkv [--fps N] [--duration SECONDS] [--start MS]\n"
    "                   [--scale N] [--for-upload] [--crf N] [--preset NAME] [--master] [--stats]\n"
    "\n"
    "Renders the demo's frames without a screen and writes frame n as OUT/frame-NNNNNN.png\n"
    "(640 x 480, 8-bit RGB). Frame n is the n-th frame of one run, so the shadow grid's\n"
    "noise has advanced through the n frames before it.\n"
    "\n"
    "  --assets DIR        where 02.jpg, 02a.jpg and king.jpg are (default: the working directory if\n"
    "                      it holds them, else the folder installed with orvo-render)\n"
    "  --out DIR           where the frames go, created if missing (default: the working directory)\n"
    "  --times MS,...      clock times in milliseconds (signed 32-bit), one frame each, in order\n"
    "  --fps N             frames per second, 1 to 1000\n"
    "  --duration SECONDS  above 0, at most three decimals: frames n = 0, 1, ... while n < N x SECONDS\n"
    "  --start MS          time of frame 0 (default 0); frame n is at START + floor(n x 1000 / N)\n"
    "  --help              this text\n"
    "  --version           the version, in one line\n"
    "\n"
    "--video writes one file instead: H.264 (yuv420p, constant N fps) with the song \"s.s3m\"\n"
    "from the assets folder as AAC (44100 Hz stereo) on the same clock, silent before time 0.\n"
    "There --fps defaults to 60, --duration to the song's length and --start to 0. A name\n"
    "ending in .mkv writes a master that keeps every RGB value (FFV1 and FLAC in Matroska).\n"
    "  --scale N           each pixel an N x N block, N from 1 to 4 (4: 2560 x 1920); with an\n"
    "                      even N every 4:2:0 chroma sample lies inside one pixel, so colours\n"
    "                      stay exact; an odd N blends neighbours' colour at block edges\n"
    "  --for-upload        what video sites ask for: H.264 High, 2 B-frames, closed GOPs of\n"
    "                      half a second, AAC 48000 Hz 384 kbit/s, their bit rate for the size\n"
    "                      (preset superfast); --scale 4 unless given\n"
    "  --crf N             constant quality, 0 (best) to 51 (default 18; 0 with --master;\n"
    "                      with --for-upload the one that gives the sites' bit rate)\n"
    "  --preset NAME       encoder speed: ultrafast (default), superfast, veryfast, faster, fast,\n"
    "                      medium, slow, slower, veryslow\n"
    "  --master            4:4:4 chroma at CRF 0 (lossless in YUV), for editing further\n"
    "  --stats             the capture's speed and each stage's CPU time a frame, on stderr at the end\n"
    "\n"
    "At most 1000000 frames per run. Exit codes: 0 done, 1 a picture or an output file failed,\n"
    "2 bad arguments, 130 a video interrupted (Ctrl+C: it says whether the file was kept).\n";

constexpr const char* kPresets[] = {"ultrafast", "superfast", "veryfast", "faster",  "fast",
                                    "medium",    "slow",      "slower",   "veryslow"};

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
    const char* video;
    const char* scale;
    const char* crf;
    const char* preset;
    bool master;
    bool for_upload;
    bool stats;
};

bool collect(int argc, const char* const* argv, Given* given, std::string* error) {
    const struct {
        const char* name;
        const char* Given::*field;
    } known[] = {{"--assets", &Given::assets}, {"--out", &Given::out},           {"--times", &Given::times},
                 {"--fps", &Given::fps},       {"--duration", &Given::duration}, {"--start", &Given::start},
                 {"--video", &Given::video},   {"--crf", &Given::crf},           {"--preset", &Given::preset},
                 {"--scale", &Given::scale}};
    const struct {
        const char* name;
        bool Given::*field;
    } flags[] = {{"--master", &Given::master}, {"--stats", &Given::stats}, {"--for-upload", &Given::for_upload}};
    for (int i = 1; i < argc; ++i) {
        bool matched = false;
        for (const auto& flag : flags) {
            if (std::strcmp(argv[i], flag.name) != 0) continue;
            if (given->*flag.field) return bad(error, std::string(flag.name) + " given twice");
            given->*flag.field = true;
            matched = true;
        }
        for (const auto& option : known) {
            if (std::strcmp(argv[i], option.name) != 0) continue;
            if (i + 1 >= argc) return bad(error, std::string(option.name) + " needs a value");
            if (given->*option.field != nullptr) return bad(error, std::string(option.name) + " given twice");
            given->*option.field = argv[++i];
            matched = true;
            break;
        }
        if (!matched) return bad(error, "unknown argument " + core::quoted(argv[i]));
    }
    return true;
}

// The file name's extension, lower-cased ("" when it has none).
std::string extension_of(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return "";
    std::string extension = path.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool build_video(const Given& given, Options* options, std::string* error) {
    if (given.out != nullptr || given.times != nullptr)
        return bad(error, "--video can't be combined with --out or --times");
    options->video = given.video;
    const std::string extension = extension_of(options->video);
    if (extension != ".mp4" && extension != ".mkv")
        return bad(error, "--video writes MP4 or MKV: the file name must end in .mp4 or .mkv");
    options->rgb_master = extension == ".mkv";
    if (options->rgb_master && (given.crf != nullptr || given.preset != nullptr || given.master || given.for_upload))
        return bad(error,
                   "a .mkv master keeps every RGB value: --crf, --preset, --master and --for-upload go with .mp4");
    if (given.master && given.for_upload) return bad(error, "--master and --for-upload can't be combined");
    int64_t value = 0;
    if (given.fps != nullptr) {
        if (!parse_integer(given.fps, 1, kMaxFps, &value))
            return bad(error, "--fps needs a whole number from 1 to 1000");
        options->fps = static_cast<int32_t>(value);
    }
    if (given.start != nullptr) {
        if (!parse_integer(given.start, INT32_MIN, INT32_MAX, &value))
            return bad(error, "--start needs signed 32-bit milliseconds");
        options->start = static_cast<int32_t>(value);
    }
    if (given.duration != nullptr) {
        if (!parse_seconds(given.duration, &options->duration_ms) || options->duration_ms == 0) {
            return bad(error, "--duration needs seconds above 0 with at most three decimals");
        }
        int64_t frames = 0;
        if (!count_frames(options->fps, options->duration_ms, options->start, &frames, error)) return false;
    }
    if (given.crf != nullptr) {
        if (!parse_integer(given.crf, 0, kMaxCrf, &value)) return bad(error, "--crf needs a whole number from 0 to 51");
        options->crf = static_cast<int32_t>(value);
        // x264 has no lossless High profile: refused here rather than by the encoder, mid-start.
        if (given.for_upload && value == 0)
            return bad(error, "--for-upload is H.264 High, which has no lossless form: for --crf 0 use --master");
    }
    if (given.preset != nullptr) {
        for (const char* preset : kPresets) {
            if (std::strcmp(given.preset, preset) == 0) options->preset = preset;
        }
        if (options->preset.empty()) return bad(error, "unknown --preset " + core::quoted(given.preset));
    }
    options->master = given.master;
    options->for_upload = given.for_upload;
    options->stats = given.stats;
    options->scale = given.for_upload ? kMaxScale : 1;
    if (given.scale != nullptr) {
        if (!parse_integer(given.scale, 1, kMaxScale, &value))
            return bad(error, "--scale needs a whole number from 1 to 4");
        options->scale = static_cast<int32_t>(value);
    }
    return true;
}

bool build(const Given& given, Options* options, std::string* error) {
    if (given.video == nullptr && (given.crf != nullptr || given.preset != nullptr || given.scale != nullptr ||
                                   given.master || given.for_upload || given.stats)) {
        return bad(error, "--scale, --for-upload, --crf, --preset, --master and --stats go with --video only");
    }
    if (given.assets != nullptr) {
        if (given.assets[0] == '\0') return bad(error, "--assets needs a directory");
        options->assets = given.assets;
    }
    if (given.video != nullptr) return build_video(given, options, error);
    if (given.out != nullptr) {
        if (given.out[0] == '\0') return bad(error, "--out needs a directory");
        options->out = given.out;
    }
    if (given.times != nullptr) {
        if (given.fps != nullptr || given.duration != nullptr || given.start != nullptr) {
            return bad(error, "--times can't be combined with --fps, --duration or --start");
        }
        const int64_t count = timing::parse_clock_times(given.times, nullptr, 0);
        if (count < 0 || count > kMaxFrames) {
            return bad(error, "--times needs signed 32-bit milliseconds separated by commas, at most 1000000");
        }
        options->times.resize(static_cast<size_t>(count));
        timing::parse_clock_times(given.times, options->times.data(), count);
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
    int64_t frames = 0;
    if (!count_frames(fps, milliseconds, start, &frames, error)) return false;
    options->times.reserve(static_cast<size_t>(frames));
    for (int64_t n = 0; n < frames; ++n) options->times.push_back(static_cast<int32_t>(start + n * 1000 / fps));
    return true;
}

}  // namespace

bool count_frames(int64_t fps, int64_t milliseconds, int64_t start, int64_t* frames, std::string* error) {
    // n < fps * seconds  <=>  n * 1000 < fps * milliseconds.
    const int64_t count = (fps * milliseconds + 999) / 1000;
    if (count > kMaxFrames) return bad(error, "more than 1000000 frames");
    if (start + (count - 1) * 1000 / fps > INT32_MAX) return bad(error, "the last frame's time is beyond 32 bits");
    *frames = count;
    return true;
}

Parsed parse_arguments(int argc, const char* const* argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return kHelp;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) return kVersion;
    }
    Given given{};
    if (!collect(argc, argv, &given, error) || !build(given, options, error)) return kBadArguments;
    return kRender;
}

const char* usage() { return kUsage; }

}  // namespace render_options
