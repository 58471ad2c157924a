// orvo-render's video form in a build without FFmpeg's libraries (their
// development files missing, or the Windows cross build): the option is
// understood, and main refuses it in one line naming what is missing.
#include "tools/render/video_capture.h"

namespace video_capture {

const char* missing() { return ORVO_VIDEO_MISSING; }

int capture(const render_options::Options&, const std::string&) { return 2; }

}  // namespace video_capture
