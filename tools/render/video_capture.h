// orvo-render's video form: the frame chain driven by the frame counter on a
// thread of its own, the song rendered by libopenmpt on the same clock, both
// encoded (H.264 and AAC) and written as one MP4 through FFmpeg's libraries.
#pragma once

#include <string>

#include "tools/render/render_options.h"

namespace video_capture {

// Exit code of a capture ended by SIGINT or SIGTERM, finalised or removed.
inline constexpr int kInterrupted = 130;

// Writes options.video. The pictures must already be in their pages; song is
// the module's path (a missing or unreadable one gives a video without sound
// and one line saying so). Every failure has written its one line to stderr
// and left no file behind. Returns the exit code: 0, 1 (an output or encoder
// failure), 2 (no length to go by) or kInterrupted.
int capture(const render_options::Options& options, const std::string& song);

}  // namespace video_capture
