// orvo-render's video form in a build without FFmpeg's libraries (the
// Windows cross build): the option is understood and refused in one line.
#include <cstdio>

#include "tools/render/video_capture.h"

namespace video_capture {

int capture(const render_options::Options&, const std::string&) {
    std::fprintf(stderr, "orvo-render: this build has no video capture (it was built without FFmpeg's libraries)\n");
    return 1;
}

}  // namespace video_capture
