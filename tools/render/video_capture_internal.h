// What the video form gives x264, for the capture and its tests: the one
// setting no stream shows (High is also what x264 picks for --for-upload's
// other settings, so the profile asked for is seen only here).
#pragma once

#include <string>
#include <vector>

#include "tools/render/render_options.h"

namespace video_capture {

struct EncoderSetting {
    const char* name;
    std::string value;
};

// x264's private options for an MP4 capture with these options, in the order
// the capture sets them.
std::vector<EncoderSetting> x264_settings(const render_options::Options& options);

}  // namespace video_capture
