// orvo-render's video form: the frame chain driven by the frame counter on a
// thread of its own, each frame enlarged and converted there, the song
// rendered by libopenmpt on the same clock, both encoded and written as one
// file through FFmpeg's libraries: H.264 and AAC in MP4, or every RGB value
// kept (FFV1 and FLAC in Matroska) for a .mkv.
#pragma once

#include <string>

#include "tools/render/render_options.h"

namespace video_capture {

// Exit code of a capture ended by SIGINT or SIGTERM, finalised or removed.
inline constexpr int kInterrupted = 130;

// Null when this build can capture; otherwise what it lacks, as one clause.
const char* missing();

// Writes options.video. The pictures must already be in their pages; song is
// the module's path (a missing or unreadable one gives a video without sound
// and one line saying so). Every failure has written its one line to stderr
// and left no file behind. Returns the exit code: 0, 1 (an output or encoder
// failure), 2 (no length to go by) or kInterrupted.
int capture(const render_options::Options& options, const std::string& song);

}  // namespace video_capture
