// Fuzz target: orvo-render's command line. The input's NUL bytes separate
// the arguments. Whatever the parser returns keeps its promises: a refusal
// has one line of reason, whatever the arguments it quotes hold; a frame
// form at least one and at most 1000000 times; a video form its numbers in
// their ranges.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tools/render/render_options.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<const char*> argv = {"orvo-render"};
    for (size_t at = 0; at < text.size() && argv.size() < 24; at += std::strlen(text.c_str() + at) + 1) {
        argv.push_back(text.c_str() + at);
    }
    render_options::Options options;
    std::string error;
    const render_options::Parsed parsed =
        render_options::parse_arguments(static_cast<int>(argv.size()), argv.data(), &options, &error);
    switch (parsed) {
        case render_options::kBadArguments:
            require(!error.empty(), "a refusal gives a reason");
            require(std::none_of(error.begin(), error.end(), [](char c) { return c == '\n' || c == '\r'; }),
                    "a refusal is one line");
            break;
        case render_options::kHelp: require(std::strlen(render_options::usage()) > 0, "help has a text"); break;
        case render_options::kVersion: break;
        case render_options::kRender:
            if (options.video.empty()) {
                require(
                    !options.times.empty() && static_cast<int64_t>(options.times.size()) <= render_options::kMaxFrames,
                    "a frame form renders 1 to 1000000 frames");
            } else {
                require(options.times.empty(), "the video form lists no times");
                require(options.fps >= 1 && options.fps <= render_options::kMaxFps, "fps within 1..1000");
                require(options.crf >= -1 && options.crf <= render_options::kMaxCrf, "crf within -1..51");
                require(options.duration_ms >= 0, "a duration of 0 (the song's) or more");
                require(options.scale >= 1 && options.scale <= render_options::kMaxScale, "scale within 1..4");
                require(!options.rgb_master || (!options.master && !options.for_upload && options.crf == -1),
                        "an .mkv master takes no encoder settings");
            }
            break;
    }
    return 0;
}
