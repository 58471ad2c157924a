// The template backend under the logic above the seam: a program linked
// against it opens, presents and closes the display, plays and ends a song,
// and keeps time, so the template keeps up with the seam.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "display/display_internal.h"
#include "platform/platform.h"
#include "platform/shared/flip_pacer.h"
#include "platform/shared/flip_spacing.h"

namespace {

// The spacing in nanoseconds at 60 Hz: a period less a millisecond.
static_assert(platform::flip_spacing::wait_ticks(0, 1000000000, 60) == 15666666);
static_assert(platform::flip_spacing::wait_ticks(15000000, 1000000000, 60) == 666666);
static_assert(platform::flip_spacing::wait_ticks(-1, 1000000000, 60) == 0);        // no flip before
static_assert(platform::flip_spacing::wait_ticks(16000000, 1000000000, 60) == 0);  // late already
// A reported rate is taken only where a display could run at it; 0, 1 Hz
// (up to 999 ms a frame) or a rate faster than the spacing's millisecond
// are spaced at 60 Hz.
static_assert(platform::flip_spacing::wait_ticks(0, 1000000000, 20) == 49000000);
static_assert(platform::flip_spacing::wait_ticks(0, 1000000000, 144) == 5944444);
static_assert(platform::flip_spacing::wait_ticks(0, 1000000000, 1000) == 0);
static_assert(platform::flip_spacing::refresh_hz(24) == 24 && platform::flip_spacing::refresh_hz(1000) == 1000);
static_assert(platform::flip_spacing::refresh_hz(-60) == 60 && platform::flip_spacing::refresh_hz(0) == 60 &&
              platform::flip_spacing::refresh_hz(1) == 60 && platform::flip_spacing::refresh_hz(19) == 60 &&
              platform::flip_spacing::refresh_hz(1001) == 60);
static_assert(platform::flip_spacing::wait_ticks(0, 1000, 1) == platform::flip_spacing::wait_ticks(0, 1000, 60));

// The pacer counts a present once its spacing wait is over, on every
// backend: a flip 5 ms after the last is held to 15.67 ms and counted there.
TEST(FlipPacer, WaitsOutTheSpacingThenCountsThePresent) {
    static platform::flip_pacer::Pacer pacer;  // 40 KB: off the stack
    int64_t clock = 1000000000;
    int64_t waited = 0;
    const auto now = [&] { return clock; };
    const auto sleep = [&](int64_t ns) { waited += ns, clock += ns; };
    platform::flip_pacer::after_flip(&pacer, 1, now, sleep);  // 1 Hz reported: 60 Hz taken
    EXPECT_EQ(waited, 0);
    clock += 5000000;
    platform::flip_pacer::after_flip(&pacer, 1, now, sleep);
    EXPECT_EQ(waited, 10666666);
    clock += 40000000;  // late: no wait
    platform::flip_pacer::after_flip(&pacer, 1, now, sleep);
    EXPECT_EQ(waited, 10666666);
    uint32_t frames = 0, p50 = 0, p99 = 0, max = 0, late = 0;
    platform::flip_pacer::report(pacer, &frames, &p50, &p99, &max, &late);
    EXPECT_EQ(frames, 3u);
    EXPECT_EQ(p50, 15700u);  // the upper edge of 15.67 ms's bin
    EXPECT_EQ(max, 40000u);
    EXPECT_EQ(late, 1u);  // against 60 Hz's period, not 1 Hz's
}

TEST(TemplateBackend, DisplayOpensPresentsAtOneRefreshPeriodAndCloses) {
    ASSERT_NE(display::open("Orvo - Esc to exit", kPageWidth, kPageHeight), 0) << display::failure_reason();
    ASSERT_NE(display::active_format(), nullptr);
    EXPECT_STREQ(display::active_format()->name, "RGB32");
    std::vector<Pixel> page(static_cast<size_t>(kPageWidth) * kPageHeight);
    const uint32_t before = platform::timer_ms();
    for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(display::present(page.data()), 1);
    EXPECT_GE(platform::timer_ms() - before, 31u);  // three flips, each 15.7 ms or more after the last
    display::close();
}

TEST(TemplateBackend, SongLoadsPlaysAndEndsAndStopSignalsReadAsEscape) {
    ASSERT_NE(platform::music_init(44100, 32, 0), 0);
    EXPECT_EQ(platform::music_load_song("no-such-song.s3m"), 0u);
    EXPECT_STREQ(platform::last_error(), "the song can't be opened");
    const std::string path = std::string(ORVO_ASSET_DIR) + "/s.s3m";
    const platform::Handle song = platform::music_load_song(path.c_str());
    ASSERT_NE(song, 0u) << platform::last_error();
    EXPECT_NE(platform::music_play_song(song), 0);
    EXPECT_NE(platform::music_free_song(song), 0);
    platform::music_close();

    EXPECT_EQ(platform::escape_key_state(), 0);
    platform::catch_stop_signals();
    std::raise(SIGTERM);
    EXPECT_NE(platform::escape_key_state(), 0);
}

}  // namespace
