// Start-up, the frame loop and shut-down. The driver looks at no result but
// display open's and a present's that says the display is gone for good:
// without a display the demo would run on with nothing shown, out of the
// user's reach, so it leaves.
#include "driver/driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/frame_store.h"
#include "data/data.h"
#include "display/display.h"
#include "music/music.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "simd/simd.h"
#include "timing/timing.h"

namespace driver {
namespace {

// Opens the display at the scene's size, or says why not on stderr and undoes
// what was started: no slot was loaded and the music never started, so
// closing the display is all there is.
bool open_display() {
    frame_store::point_screen_at_page0();
    if (display::open("Orvo - Esc to exit", kPageWidth, kPageHeight)) return true;
    std::fprintf(stderr, "can't open the display: %s\n", display::failure_reason());
    frame_store::free_slots();
    display::close();
    return false;
}

}  // namespace

int run() {
    simd::choose_at_start_up("orvo");
    // The demo writes nothing unless asked: ORVO_SIMD_REPORT=1 names the path.
    const char* report = std::getenv("ORVO_SIMD_REPORT");
    if (report != nullptr && std::strcmp(report, "1") == 0) {
        std::fprintf(stderr, "orvo: path %s\n", simd::path_name(simd::active_path()));
    }
    platform::catch_stop_signals();
    // Where the song and the pictures are read from, found before the timed
    // start-up begins.
    const std::string assets = data::asset_directory();

    if (!open_display()) return 1;
    frame_store::clear_page(frame_store::screen());
    display::present(frame_store::screen());
    frame_store::clear_slots();
    timing::clock_start();
    music::start(assets.c_str());
    scene::load_pictures(assets.c_str());

    // A display whose window system went away (a Wayland compositor that
    // ended) can't come back: the run ends as after Escape, but says so.
    bool display_gone = false;
    while (!display_gone && platform::escape_key_state() == 0) {
        const int32_t t = static_cast<int32_t>(timing::clock_elapsed());
        scene::render_frame(t);
        display_gone = display::present(frame_store::screen()) < 0;
    }
    if (display_gone) std::fprintf(stderr, "lost the display: %s\n", display::failure_reason());

    frame_store::free_slots();
    music::stop();
    display::close();
    return display_gone ? 1 : 0;
}

int show_still(const char* times) {
    simd::choose_at_start_up("orvo");
    const int64_t count = timing::parse_clock_times(times, nullptr, 0);
    if (count < 0) {
        std::fprintf(stderr, "orvo: \"%s\" is not a list of clock times (milliseconds, separated by commas)\n", times);
        return 2;
    }
    std::vector<int32_t> list(static_cast<size_t>(count));
    timing::parse_clock_times(times, list.data(), count);
    if (!open_display()) return 1;
    frame_store::clear_slots();
    scene::load_pictures(data::asset_directory().c_str());
    for (const int32_t t : list) scene::render_frame(t);
    display::present(frame_store::screen());
    frame_store::free_slots();
    display::close();
    return 0;
}

}  // namespace driver
