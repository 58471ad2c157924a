// orvo-render's command line: the two frame forms and the video form, strict
// number parsing, and the list of clock times that a run renders, in
// rendering order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace render_options {

// One run renders at most this many frames: the six-digit frame index.
inline constexpr int64_t kMaxFrames = 1000000;
inline constexpr int32_t kMaxFps = 1000;

struct Options {
    std::string assets;          // directory of the pictures; empty: data::asset_directory()
    std::string out;             // directory of the frames; empty: the working directory
    std::vector<int32_t> times;  // frame n is rendered at times[n]; empty in the video form

    // The video form: frame n at start + floor(n x 1000 / fps).
    std::string video;        // the MP4 or MKV file to write; empty: PNG frames
    bool rgb_master = false;  // FILE.mkv: every RGB value kept (FFV1 and FLAC in Matroska)
    int32_t fps = 60;
    int64_t duration_ms = 0;  // 0: the song's own length
    int32_t start = 0;
    int32_t scale = 1;        // each pixel a scale x scale block (4 with --for-upload unless given)
    int32_t crf = -1;         // -1: the default of the chosen form
    std::string preset;       // empty: the default of the chosen form
    bool master = false;      // 4:4:4 near-lossless instead of 4:2:0
    bool for_upload = false;  // the settings video sites publish for uploads
    bool stats = false;       // per-stage speed on stderr at the end
};

inline constexpr int32_t kMaxCrf = 51;
inline constexpr int32_t kMaxScale = 4;

// How many frames n < fps x milliseconds / 1000 there are, or false with a
// reason in *error when that is beyond kMaxFrames or the last frame's time
// beyond 32 bits.
bool count_frames(int64_t fps, int64_t milliseconds, int64_t start, int64_t* frames, std::string* error);

enum Parsed { kRender, kHelp, kVersion, kBadArguments };

// Fills options from argv[1..argc-1]. kBadArguments sets *error to one line
// (no newline) saying what is wrong; kHelp when --help appears anywhere, else
// kVersion when --version does.
Parsed parse_arguments(int argc, const char* const* argv, Options* options, std::string* error);

// The usage text, ending in a newline.
const char* usage();

}  // namespace render_options
