// The driver's start-up, frame loop and shut-down order, on the fake backend
// with doubles of the picture loaders that write into the same call log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/frame_store.h"
#include "driver/driver.h"
#include "image/image.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "simd/simd.h"
#include "support/environment.h"
#include "support/fake_log.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// Doubles of the picture subsystem: the driver's test links these instead of
// the JPEG loaders, so no file is read.
namespace image {

void load_colour_image(const char* path, int slot) {
    platform_fake::record("load_colour_image \"%s\" %d", path, slot);
    ImageSlot& s = frame_store::slot(slot);
    s.width = s.height = 2;
    s.pixels = static_cast<Pixel*>(std::calloc(4, sizeof(Pixel)));
}

void load_colour_image_with_alpha_mask(const char* colour_path, const char* mask_path, int slot) {
    platform_fake::record("load_colour_image_with_alpha_mask \"%s\" \"%s\" %d", colour_path, mask_path, slot);
    ImageSlot& s = frame_store::slot(slot);
    s.width = s.height = 2;
    s.pixels = static_cast<Pixel*>(std::calloc(4, sizeof(Pixel)));
}

void resample_slot_into_page(int slot, int page) {
    platform_fake::record("resample_slot_into_page %d %d", slot, page);
    Pixel* p = frame_store::page(page);
    for (int i = 0; i < kPagePixels; ++i) p[i] = 0x80000000u | static_cast<Pixel>(i * 2654435761u >> 8);
}

}  // namespace image

namespace {

using Log = std::vector<std::string>;
using test_support::fake_log;
using test_support::fake_log_count;
using test_support::fake_log_of;

// The calls that mark each step of start-up and shut-down.
const std::vector<std::string> kMilestones = {"catch_stop_signals",
                                              "load_display_library",
                                              "get_pixel_format",
                                              "timer_period_begin",
                                              "timer_period_end",
                                              "timer_ms",
                                              "music_set_buffer_size",
                                              "music_init",
                                              "music_load_song",
                                              "music_play_song",
                                              "load_colour_image_with_alpha_mask",
                                              "load_colour_image",
                                              "resample_slot_into_page",
                                              "escape_key_state",
                                              "music_free_song",
                                              "music_close",
                                              "release_surface",
                                              "destroy_window",
                                              "free_library",
                                              "flip"};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform_fake::reset();
        platform_fake::post_message(platform::kMessageActivateApp, 1, 0);
        // Slots freed by an earlier run keep their pointers, as shut-down
        // leaves them; a fresh process starts with none.
        frame_store::clear_slots();
    }
};

TEST_F(DriverTest, EscapeHeldAtStartRunsAllOfStartUpThenShutsDownInOrder) {
    platform_fake::script().timer_now = 5000;
    EXPECT_EQ(driver::run(), 0);
    EXPECT_EQ(fake_log_of(kMilestones), (Log{
                                            "catch_stop_signals",
                                            "load_display_library",
                                            "get_pixel_format 0x15",
                                            "flip 0x15",  // the black page, presented once
                                            "timer_period_begin 1",
                                            "timer_period_end 1",
                                            "timer_ms",
                                            "music_set_buffer_size 500",
                                            "music_init 44100 32 0",
                                            "music_load_song \"s.s3m\"",
                                            "music_play_song 0x80",
                                            "load_colour_image_with_alpha_mask \"02.jpg\" \"02a.jpg\" 0",
                                            "resample_slot_into_page 0 1",
                                            "load_colour_image \"king.jpg\" 1",
                                            "resample_slot_into_page 1 3",
                                            "escape_key_state",
                                            "music_free_song 0x80",
                                            "music_close",
                                            "release_surface 0x15",
                                            "destroy_window 0x14",
                                            "free_library 0x11",
                                        }));
    // The first present showed a black page.
    const uint8_t* memory = platform_fake::surface_memory();
    EXPECT_EQ(memory[0] | memory[640 * 480 * 4 - 1], 0);
}

TEST_F(DriverTest, EachFrameReadsEscapeThenTheClockThenPresentsTheScreenPage) {
    platform_fake::script().escape_after_polls = 2;
    EXPECT_EQ(driver::run(), 0);
    EXPECT_EQ(fake_log_count("escape_key_state"), 3);
    EXPECT_EQ(fake_log_count("flip"), 3);  // start-up's black page and two frames
    EXPECT_EQ(fake_log_count("timer_ms"), 3);

    // Each poll that says "go on" is followed by a clock reading and a
    // present; the poll that says "stop" by the music's release.
    const Log loop = fake_log_of({"escape_key_state", "timer_ms", "flip", "music_free_song"});
    EXPECT_EQ(loop, (Log{"flip 0x15", "timer_ms", "escape_key_state", "timer_ms", "flip 0x15", "escape_key_state",
                         "timer_ms", "flip 0x15", "escape_key_state", "music_free_song 0x80"}));

    // The last frame in the back buffer is the screen page, unchanged in
    // the 32-bit format.
    EXPECT_EQ(std::memcmp(platform_fake::surface_memory(), frame_store::screen(), kPagePixels * sizeof(Pixel)), 0);
    EXPECT_EQ(frame_store::screen(), frame_store::page(0));
}

TEST_F(DriverTest, SaysWhichPathRunsOnlyWhenAsked) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(driver::run(), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    platform_fake::reset();
    platform_fake::post_message(platform::kMessageActivateApp, 1, 0);
    test_support::set_environment("ORVO_SIMD_REPORT", "1");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(driver::run(), 0);
    test_support::set_environment("ORVO_SIMD_REPORT", "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string("orvo: path ") + simd::path_name(simd::active_path()) + "\n");
}

TEST_F(DriverTest, WithNoDisplayOneLineOnStderrThenTheDisplayIsClosedAndExitIsOne) {
    platform_fake::script().refuse_depth_32 = platform_fake::script().refuse_depth_24 =
        platform_fake::script().refuse_depth_16 = true;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(driver::run(), 1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    // The display's reason, with the platform's own detail after it.
    EXPECT_EQ(err, "can't open the display: no display mode of 32, 24 or 16 bits per pixel is accepted (scripted)\n");

    EXPECT_EQ(fake_log_count("music_init") + fake_log_count("load_colour_image") + fake_log_count("escape_key_state") +
                  fake_log_count("lock_surface"),
              0);
    const Log all = fake_log();
    const Log tail(all.end() - 5, all.end());
    EXPECT_EQ(tail, (Log{"restore_display_mode 0x13", "set_normal_cooperative_level 0x13 0x14",
                         "release_display_object 0x13", "destroy_window 0x14", "free_library 0x11"}));
}

// A Wayland compositor that ends under the demo: not a close request, which
// stays ignored, but the end of the run, as after Escape, with one line and 1.
TEST_F(DriverTest, ADisplayWhoseWindowSystemWentAwayEndsTheRunThroughTheShutDownWithOneLine) {
    platform_fake::script().escape_after_polls = 100;
    platform_fake::post_message(platform::kMessageClose, 0, 0);
    platform_fake::post_message(platform::kMessageEndSession, 1, 0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(driver::run(), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "lost the display: its window system went away (scripted)\n");
    EXPECT_EQ(fake_log_count("escape_key_state"), 1);
    EXPECT_EQ(fake_log_count("flip"), 0);  // nothing drawn once it went, not even the black page
    const Log all = fake_log_of(
        {"escape_key_state", "music_free_song", "music_close", "release_surface", "destroy_window", "free_library"});
    EXPECT_EQ(all, (Log{"escape_key_state", "music_free_song 0x80", "music_close", "release_surface 0x15",
                        "destroy_window 0x14", "free_library 0x11"}));
}

// The browser's still form: the run's frames at the listed times, the last
// one presented once; no music, no frame loop.
TEST_F(DriverTest, StillFormPresentsTheLastOfTheListedFramesOnce) {
    scene::set_shadow_grid_seed(0);
    EXPECT_EQ(driver::show_still("0,5,-2147483648"), 0);
    EXPECT_EQ(fake_log_count("flip"), 1);
    EXPECT_EQ(fake_log_count("music_init") + fake_log_count("escape_key_state"), 0);
    EXPECT_EQ(fake_log_count("load_colour_image"), 1);
    EXPECT_EQ(fake_log_count("free_library"), 1);

    // The same three frames rendered by hand from the same start.
    std::vector<Pixel> shown(kPagePixels);
    std::memcpy(shown.data(), platform_fake::surface_memory(), kPagePixels * sizeof(Pixel));
    scene::set_shadow_grid_seed(0);
    for (int32_t t : {0, 5, INT32_MIN}) scene::render_frame(t);
    EXPECT_EQ(std::memcmp(shown.data(), frame_store::screen(), kPagePixels * sizeof(Pixel)), 0);
}

// The list itself is tested with its parser (tests/timing/clock_times_test.cpp).
TEST_F(DriverTest, StillFormRefusesAnythingButAListOfTimesWithOneLineAndExitTwo) {
    for (const char* bad : {"", "1-2", "5 6"}) {
        platform_fake::reset();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(driver::show_still(bad), 2) << bad;
        EXPECT_EQ(
            ::testing::internal::GetCapturedStderr(),
            std::string("orvo: \"") + bad + "\" is not a list of clock times (milliseconds, separated by commas)\n");
        EXPECT_EQ(fake_log_count("load_display_library"), 0) << bad;
    }
}

TEST_F(DriverTest, StillFormWithNoDisplaySaysWhyAndExitsOneBeforeLoadingAnything) {
    platform_fake::script().refuse_depth_32 = platform_fake::script().refuse_depth_24 =
        platform_fake::script().refuse_depth_16 = true;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(driver::show_still("0,40"), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "can't open the display: no display mode of 32, 24 or 16 bits per pixel is accepted (scripted)\n");
    EXPECT_EQ(fake_log_count("load_colour_image") + fake_log_count("flip"), 0);
    EXPECT_EQ(fake_log_count("free_library"), 1);
}

// Each case runs in a process of its own, where the slots' arrays would
// still be reachable at exit: the leak check runs here, with the slots
// forgotten as a fresh start has them.
TEST_F(DriverTest, StillFormAndRunLeaveNothingAllocated) {
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(driver::show_still("0,40,80"), 0);
    frame_store::clear_slots();
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "after the still form";
    platform_fake::reset();
    platform_fake::post_message(platform::kMessageActivateApp, 1, 0);
    platform_fake::script().escape_after_polls = 2;
    EXPECT_EQ(driver::run(), 0);
    frame_store::clear_slots();
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "after a run";
#else
    GTEST_SKIP() << "leaks are looked for in the sanitizer build";
#endif
}

}  // namespace
