// Display open, present and close against the scripted fake backend, read
// back from its call log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "display/display_internal.h"
#include "support/fake_log.h"
#include "support/pages.h"

namespace {

using Log = std::vector<std::string>;
using test_support::fake_log;
using test_support::fake_log_count;
using test_support::fake_log_of;

const char* const kTitle = "Orvo - Esc to exit";

const Log kOpenCalls = {
    "load_display_library",
    "find_display_creation_entry 0x11",
    "create_display_object 0x12",
    "register_window_class \"Orvo - Esc to exit\"",
    "create_window \"Orvo - Esc to exit\" \"Orvo - Esc to exit\" 0x80080000 0 0 0 0",
    "set_exclusive_fullscreen 0x13 0x14",
    "set_display_mode 0x13 640 480 32",
    "create_primary_surface 0x13 0x21 2 0x4218",
    "get_back_buffer 0x15",
    "get_pixel_format 0x15",
};

const Log kCloseAll = {
    "release_surface 0x15",        "restore_display_mode 0x13", "set_normal_cooperative_level 0x13 0x14",
    "release_display_object 0x13", "destroy_window 0x14",       "free_library 0x11",
};

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform_fake::reset();
        // The display state lives for the program's run; start each case
        // inactive, as a program does.
        display::window_procedure(0, platform::kMessageActivateApp, 0, 0);
        platform_fake::reset();
    }
    void TearDown() override { display::close(); }

    Log close_and_log() {
        const int before = platform_fake::log_size();
        display::close();
        const Log all = fake_log();
        return Log(all.begin() + before, all.end());
    }
};

TEST_F(DisplayTest, OpenRunsEveryStepInOrderAndSelectsTheConverter) {
    EXPECT_EQ(display::open(kTitle, 640, 480), 1);
    EXPECT_EQ(fake_log(), kOpenCalls);
    ASSERT_NE(display::active_format(), nullptr);
    EXPECT_STREQ(display::active_format()->name, "RGB32");
    EXPECT_STREQ(display::failure_reason(), "");
    EXPECT_EQ(close_and_log(), kCloseAll);
}

// Each failing step ends open at once with 0; close then releases exactly
// what was acquired before it, and always destroys the window.
struct FailingStep {
    const char* name;
    void (*script)(platform_fake::Script&);
    const char* last_call;
    Log close_calls;
};

const Log kCloseObject = {"restore_display_mode 0x13", "set_normal_cooperative_level 0x13 0x14",
                          "release_display_object 0x13", "destroy_window 0x14", "free_library 0x11"};

const FailingStep kFailingSteps[] = {
    {"library",
     [](platform_fake::Script& s) { s.library_missing = true; },
     "load_display_library",
     {"destroy_window 0"}},
    {"entry",
     [](platform_fake::Script& s) { s.entry_missing = true; },
     "find_display_creation_entry 0x11",
     {"destroy_window 0", "free_library 0x11"}},
    {"object",
     [](platform_fake::Script& s) { s.create_object_result = -5; },
     "create_display_object 0x12",
     {"destroy_window 0", "free_library 0x11"}},
    {"exclusive", [](platform_fake::Script& s) { s.exclusive_result = -1; }, "set_exclusive_fullscreen 0x13 0x14",
     kCloseObject},
    {"modes", [](platform_fake::Script& s) { s.refuse_depth_32 = s.refuse_depth_24 = s.refuse_depth_16 = true; },
     "set_display_mode 0x13 640 480 16", kCloseObject},
    {"surfaces",
     [](platform_fake::Script& s) { s.fail_surface_form[0] = s.fail_surface_form[1] = s.fail_surface_form[2] = true; },
     "create_primary_surface 0x13 0x1 0 0x4200", kCloseObject},
    {"back_buffer", [](platform_fake::Script& s) { s.back_buffer_result = -1; }, "get_back_buffer 0x15", kCloseAll},
    {"pixel_format", [](platform_fake::Script& s) { s.pixel_format_result = -1; }, "get_pixel_format 0x15", kCloseAll},
    {"not_rgb", [](platform_fake::Script& s) { s.format_flags = 0x20; }, "get_pixel_format 0x15", kCloseAll},
    {"odd_masks",
     [](platform_fake::Script& s) {
         s.bit_count = 16;
         s.red_mask = 0x7C00;
         s.green_mask = 0x07E0;
         s.blue_mask = 0x001F;
     },
     "get_pixel_format 0x15", kCloseAll},
};

TEST_F(DisplayTest, EachFailingStepEndsOpenAndCloseReleasesOnlyWhatIsHeld) {
    for (const FailingStep& step : kFailingSteps) {
        SCOPED_TRACE(step.name);
        platform_fake::reset();
        step.script(platform_fake::script());
        EXPECT_EQ(display::open(kTitle, 640, 480), 0);
        EXPECT_EQ(fake_log().back(), step.last_call);
        EXPECT_STRNE(display::failure_reason(), "");
        EXPECT_EQ(close_and_log(), step.close_calls);
    }
}

TEST_F(DisplayTest, FailureReasonKeepsThePlatformsDetailAndClearsOnTheNextOpen) {
    platform_fake::script().exclusive_result = -1;
    EXPECT_EQ(display::open(kTitle, 640, 480), 0);
    EXPECT_STREQ(display::failure_reason(), "exclusive fullscreen is refused (scripted)");
    display::close();
    platform_fake::reset();
    EXPECT_EQ(display::open(kTitle, 640, 480), 1);
    EXPECT_STREQ(display::failure_reason(), "");
    display::close();
}

TEST_F(DisplayTest, DepthsFallBackFrom32To24To16AndTheFormatPicksTheConverter) {
    struct Case {
        bool refuse_32, refuse_24;
        uint32_t bits, red, green, blue;
        Log modes;
        const char* format;
    };
    const Case cases[] = {
        {true,
         false,
         24,
         0xFF0000,
         0xFF00,
         0xFF,
         {"set_display_mode 0x13 640 480 32", "set_display_mode 0x13 640 480 24"},
         "RGB24"},
        {true,
         true,
         16,
         0xF800,
         0x07E0,
         0x001F,
         {"set_display_mode 0x13 640 480 32", "set_display_mode 0x13 640 480 24", "set_display_mode 0x13 640 480 16"},
         "RGB565"},
        {true,
         true,
         16,
         0x7C00,
         0x03E0,
         0x001F,
         {"set_display_mode 0x13 640 480 32", "set_display_mode 0x13 640 480 24", "set_display_mode 0x13 640 480 16"},
         "RGB555"},
        {false, false, 32, 0xFF, 0xFF00, 0xFF0000, {"set_display_mode 0x13 640 480 32"}, "BGR32"},
    };
    for (const Case& c : cases) {
        platform_fake::reset();
        platform_fake::Script& s = platform_fake::script();
        s.refuse_depth_32 = c.refuse_32;
        s.refuse_depth_24 = c.refuse_24;
        s.bit_count = c.bits;
        s.red_mask = c.red;
        s.green_mask = c.green;
        s.blue_mask = c.blue;
        EXPECT_EQ(display::open(kTitle, 640, 480), 1);
        EXPECT_EQ(fake_log_of({"set_display_mode"}), c.modes);
        ASSERT_NE(display::active_format(), nullptr);
        EXPECT_STREQ(display::active_format()->name, c.format);
        display::close();
    }
}

TEST_F(DisplayTest, SurfaceFormsAreTriedInOrderUntilOneIsCreated) {
    platform_fake::script().fail_surface_form[0] = true;
    EXPECT_EQ(display::open(kTitle, 640, 480), 1);
    EXPECT_EQ(fake_log_of({"create_primary_surface"}),
              (Log{"create_primary_surface 0x13 0x21 2 0x4218", "create_primary_surface 0x13 0x21 1 0x4218"}));
    display::close();

    // The lone primary of the third form has no back buffer to draw into.
    platform_fake::reset();
    platform_fake::script().fail_surface_form[0] = platform_fake::script().fail_surface_form[1] = true;
    platform_fake::script().back_buffer_result = -1;
    EXPECT_EQ(display::open(kTitle, 640, 480), 0);
    EXPECT_EQ(fake_log_of({"create_primary_surface", "get_back_buffer"}),
              (Log{"create_primary_surface 0x13 0x21 2 0x4218", "create_primary_surface 0x13 0x21 1 0x4218",
                   "create_primary_surface 0x13 0x1 0 0x4200", "get_back_buffer 0x15"}));
}

TEST_F(DisplayTest, WindowProcedureAnswersItsFourMessagesAndPassesOthersOn) {
    ASSERT_EQ(display::open(kTitle, 640, 480), 1);
    platform_fake::clear_log();
    EXPECT_EQ(display::window_procedure(0x14, platform::kMessageClose, 0, 0), 0);
    EXPECT_EQ(display::window_procedure(0x14, platform::kMessageKeyDown, 27, 0), 0);
    EXPECT_EQ(display::window_procedure(0x14, platform::kMessageSetCursor, 0x14, 1), 0);
    EXPECT_EQ(display::window_procedure(0x14, platform::kMessageActivateApp, 1, 0), 0);
    EXPECT_EQ(display::window_procedure(0x14, 0x0005, 3, -4), 0x77);
    EXPECT_EQ(fake_log(), (Log{"set_cursor_none", "default_window_procedure 0x14 0x5 3 -4"}));
    // A close request leaves everything as it was.
    EXPECT_EQ(fake_log_count("destroy_window"), 0);
}

const Log kDrawnFrame = {"restore_surface 0x15", "lock_surface 0x16", "unlock_surface 0x16 +0", "flip 0x15",
                         "sleep_ms 0"};

TEST_F(DisplayTest, PresentDrawsOnlyWhileActive) {
    ASSERT_EQ(display::open(kTitle, 640, 480), 1);
    const test_support::PageBuffer page = test_support::uniform_page(0x00123456);

    // Inactive until told otherwise: pump, sleep 1 ms, report success.
    platform_fake::clear_log();
    EXPECT_EQ(display::present(page.data()), 1);
    EXPECT_EQ(fake_log(), (Log{"peek_message 0x14", "sleep_ms 1"}));

    // Every pending message is handled before drawing.
    platform_fake::clear_log();
    platform_fake::post_message(platform::kMessageClose, 0, 0);
    platform_fake::post_message(platform::kMessageActivateApp, 1, 0);
    EXPECT_EQ(display::present(page.data()), 1);
    Log expected = {"peek_message 0x14", "dispatch_message 0x14 0x10 0 0", "peek_message 0x14",
                    "dispatch_message 0x14 0x1c 1 0", "peek_message 0x14"};
    expected.insert(expected.end(), kDrawnFrame.begin(), kDrawnFrame.end());
    EXPECT_EQ(fake_log(), expected);

    // Deactivation stops drawing from this present on; reactivation resumes.
    platform_fake::clear_log();
    platform_fake::post_message(platform::kMessageActivateApp, 0, 0);
    EXPECT_EQ(display::present(page.data()), 1);
    EXPECT_EQ(fake_log_count("lock_surface"), 0);
    EXPECT_EQ(fake_log().back(), "sleep_ms 1");
    platform_fake::post_message(platform::kMessageActivateApp, 1, 0);
    EXPECT_EQ(display::present(page.data()), 1);
    EXPECT_EQ(fake_log_count("restore_surface"), 1);
    EXPECT_EQ(fake_log_count("flip"), 1);
}

TEST_F(DisplayTest, RowsLandAtThisFramesPitchAndThePaddingIsUntouched) {
    platform_fake::script().pitch = 2600;
    ASSERT_EQ(display::open(kTitle, 640, 480), 1);
    display::window_procedure(0x14, platform::kMessageActivateApp, 1, 0);
    const test_support::PageBuffer page = test_support::random_page(7);
    ASSERT_EQ(display::present(page.data()), 1);

    const uint8_t* memory = platform_fake::surface_memory();
    for (int row = 0; row < 480; ++row) {
        ASSERT_EQ(std::memcmp(memory + row * 2600, page.data() + row * 640, 2560), 0) << "row " << row;
        for (int b = 2560; b < 2600; ++b) ASSERT_EQ(memory[row * 2600 + b], 0xCD) << "row " << row;
    }
    EXPECT_EQ(memory[480 * 2600], 0xCD);

    // A bottom-up surface (negative pitch) and a 16-bit format: row r at
    // row 0 + r * pitch, each written by the selected converter.
    display::close();
    platform_fake::reset();
    platform_fake::Script& s = platform_fake::script();
    s.refuse_depth_32 = s.refuse_depth_24 = true;
    s.bit_count = 16;
    s.red_mask = 0xF800;
    s.green_mask = 0x07E0;
    s.blue_mask = 0x001F;
    s.pitch = -1300;
    ASSERT_EQ(display::open(kTitle, 640, 480), 1);
    ASSERT_EQ(display::present(page.data()), 1);
    const uint8_t* row0 = memory + platform_fake::surface_row0_offset();
    std::vector<uint8_t> expected(1280);
    for (int row = 0; row < 480; row += 53) {
        convert::plain::RGB565(page.data() + row * 640, expected.data(), 640);
        ASSERT_EQ(std::memcmp(row0 - row * 1300, expected.data(), 1280), 0) << "row " << row;
        ASSERT_EQ(row0[-row * 1300 + 1280], 0xCD);
    }
}

TEST_F(DisplayTest, AFailingLockReturnsZeroAndTheNextPresentTriesAgain) {
    platform_fake::script().failing_locks = 1;
    ASSERT_EQ(display::open(kTitle, 640, 480), 1);
    display::window_procedure(0x14, platform::kMessageActivateApp, 1, 0);
    const test_support::PageBuffer page = test_support::uniform_page(0);

    platform_fake::clear_log();
    EXPECT_EQ(display::present(page.data()), 0);
    EXPECT_EQ(fake_log(), (Log{"peek_message 0x14", "restore_surface 0x15", "lock_surface 0x16"}));

    EXPECT_EQ(display::present(page.data()), 1);
    Log expected = {"peek_message 0x14", "restore_surface 0x15", "lock_surface 0x16", "peek_message 0x14"};
    expected.insert(expected.end(), kDrawnFrame.begin(), kDrawnFrame.end());
    EXPECT_EQ(fake_log(), expected);
}

TEST_F(DisplayTest, OnceTheWindowSystemGoesPresentDrawsNoMoreAndSaysWhyUntilTheNextOpen) {
    ASSERT_EQ(display::open(kTitle, 640, 480), 1);
    const test_support::PageBuffer page = test_support::uniform_page(0);
    platform_fake::post_message(platform::kMessageActivateApp, 1, 0);
    platform_fake::post_message(platform::kMessageEndSession, 0, 0);  // asked, not ended
    EXPECT_EQ(display::present(page.data()), 1);
    platform_fake::post_message(platform::kMessageEndSession, 1, 0);
    platform_fake::clear_log();
    EXPECT_EQ(display::present(page.data()), -1);
    EXPECT_EQ(display::present(page.data()), -1);
    EXPECT_EQ(fake_log_count("lock_surface") + fake_log_count("flip"), 0);
    EXPECT_STREQ(display::failure_reason(), "its window system went away (scripted)");
    display::close();
    ASSERT_EQ(display::open(kTitle, 640, 480), 1);
    display::window_procedure(0x14, platform::kMessageActivateApp, 1, 0);
    EXPECT_EQ(display::present(page.data()), 1);
    EXPECT_STREQ(display::failure_reason(), "");
}

TEST_F(DisplayTest, PresentAfterAFailedOpenNeverDraws) {
    // Failing late leaves the whole chain held but no converter; failing
    // early leaves no surface at all. Either way the window may be active.
    for (bool late : {true, false}) {
        platform_fake::reset();
        if (late) {
            platform_fake::script().green_mask = 0xFF;
        } else {
            platform_fake::script().exclusive_result = -1;
        }
        ASSERT_EQ(display::open(kTitle, 640, 480), 0);
        platform_fake::post_message(platform::kMessageActivateApp, 1, 0);
        const test_support::PageBuffer page = test_support::uniform_page(0);
        EXPECT_EQ(display::present(page.data()), 0);
        EXPECT_EQ(fake_log_count("restore_surface") + fake_log_count("lock_surface") + fake_log_count("flip"), 0);
        display::close();
        display::window_procedure(0, platform::kMessageActivateApp, 0, 0);
    }
}

}  // namespace
