// orvo-render's command line: the times each form renders, and the
// arguments it must refuse.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tools/render/render_options.h"

namespace {

using render_options::Parsed;

Parsed parse(std::vector<const char*> args, render_options::Options* options, std::string* error) {
    args.insert(args.begin(), "orvo-render");
    return render_options::parse_arguments(static_cast<int>(args.size()), args.data(), options, error);
}

std::vector<int32_t> times_of(std::vector<const char*> args) {
    render_options::Options options;
    std::string error;
    EXPECT_EQ(parse(args, &options, &error), render_options::kRender) << error;
    return options.times;
}

TEST(RenderOptions, TimesAreTakenInTheOrderGiven) {
    EXPECT_EQ(times_of({"--times", "-2147483648,0,2147483647,0,-1"}),
              (std::vector<int32_t>{INT32_MIN, 0, INT32_MAX, 0, -1}));
    render_options::Options options;
    std::string error;
    ASSERT_EQ(parse({"--out", "o", "--times", "5", "--assets", "a/"}, &options, &error), render_options::kRender);
    EXPECT_EQ(options.assets, "a/");
    EXPECT_EQ(options.out, "o");
}

TEST(RenderOptions, FpsAndDurationGiveFlooredTimesWhileNIsBelowTheirProduct) {
    EXPECT_EQ(times_of({"--fps", "3", "--duration", "1", "--start", "-7"}), (std::vector<int32_t>{-7, 326, 659}));
    EXPECT_EQ(times_of({"--fps", "30", "--duration", "0.1"}), (std::vector<int32_t>{0, 33, 66}));
    EXPECT_EQ(times_of({"--fps", "30", "--duration", "0.05"}), (std::vector<int32_t>{0, 33}));  // n < 1.5
    EXPECT_EQ(times_of({"--duration", "0.001", "--fps", "1000", "--start", "2147483647"}),
              (std::vector<int32_t>{INT32_MAX}));
    EXPECT_EQ(times_of({"--fps", "25", "--duration", "2"}).size(), 50u);
    EXPECT_EQ(times_of({"--fps", "1000", "--duration", "1000"}).size(), 1000000u);  // the cap itself
}

TEST(RenderOptions, VideoFormDefaultsAndSettings) {
    render_options::Options options;
    std::string error;
    ASSERT_EQ(parse({"--video", "Orvo.MP4"}, &options, &error), render_options::kRender) << error;
    EXPECT_EQ(options.video, "Orvo.MP4");
    EXPECT_TRUE(options.times.empty());
    EXPECT_EQ(options.fps, 60);
    EXPECT_EQ(options.duration_ms, 0);  // the song's length
    EXPECT_EQ(options.start, 0);
    EXPECT_EQ(options.crf, -1);
    EXPECT_EQ(options.preset, "");
    EXPECT_FALSE(options.master || options.stats);

    options = {};
    ASSERT_EQ(parse({"--stats", "--video", "v.mp4", "--fps", "25", "--duration", "2.5", "--start", "-300", "--crf", "0",
                     "--preset", "slow", "--master", "--assets", "a"},
                    &options, &error),
              render_options::kRender)
        << error;
    EXPECT_EQ(options.fps, 25);
    EXPECT_EQ(options.duration_ms, 2500);
    EXPECT_EQ(options.start, -300);
    EXPECT_EQ(options.crf, 0);
    EXPECT_EQ(options.preset, "slow");
    EXPECT_TRUE(options.master && options.stats);
    EXPECT_EQ(options.assets, "a");
    EXPECT_EQ(options.scale, 1);

    // --for-upload enlarges 4 times unless told otherwise; .mkv is the RGB master.
    for (const auto& [args, scale, rgb_master] :
         {std::tuple{std::vector<const char*>{"--video", "v.mp4", "--for-upload"}, 4, false},
          std::tuple{std::vector<const char*>{"--for-upload", "--scale", "1", "--video", "v.mp4"}, 1, false},
          std::tuple{std::vector<const char*>{"--video", "V.MKV", "--scale", "3"}, 3, true}}) {
        options = {};
        ASSERT_EQ(parse(args, &options, &error), render_options::kRender) << error;
        EXPECT_EQ(options.scale, scale) << args[1];
        EXPECT_EQ(options.rgb_master, rgb_master) << args[1];
    }
}

TEST(RenderOptions, FrameCountsAndTheirLimits) {
    int64_t frames = 0;
    std::string error;
    EXPECT_TRUE(render_options::count_frames(60, 103999, 0, &frames, &error));
    EXPECT_EQ(frames, 6240);  // n x 1000 < 60 x 103999
    EXPECT_FALSE(render_options::count_frames(1000, 1000001, 0, &frames, &error));
    EXPECT_FALSE(render_options::count_frames(1, 2000, INT32_MAX - 999, &frames, &error));
    EXPECT_TRUE(render_options::count_frames(1, 2000, INT32_MAX - 1000, &frames, &error));
}

TEST(RenderOptions, HelpWinsAnywhere) {
    render_options::Options options;
    std::string error;
    EXPECT_EQ(parse({"--fps", "x", "--help"}, &options, &error), render_options::kHelp);
    EXPECT_EQ(parse({"--version", "--help"}, &options, &error), render_options::kHelp);
    EXPECT_EQ(parse({"--times", "x", "--version"}, &options, &error), render_options::kVersion);
}

TEST(RenderOptions, BadArgumentsAreRefusedWithAReason) {
    const std::vector<std::vector<const char*>> refused = {
        {},
        {"--assets", "a"},
        {"--times"},
        {"--times", "1,,2"},  // the list itself: tests/timing/clock_times_test.cpp
        {"--times", "1", "--times", "2"},
        {"--times", "1", "--fps", "25"},
        {"--times", "1", "--start", "0"},
        {"--times", "1", "--frobnicate"},
        {"--times", "1", "extra"},
        {"--times=1"},
        {"--fps", "25"},
        {"--duration", "1"},
        {"--fps", "0", "--duration", "1"},
        {"--fps", "-25", "--duration", "1"},
        {"--fps", "1001", "--duration", "1"},
        {"--fps", "2.5", "--duration", "1"},
        {"--fps", "25", "--duration", "0"},
        {"--fps", "25", "--duration", "0.000"},
        {"--fps", "25", "--duration", "-1"},
        {"--fps", "25", "--duration", "1."},
        {"--fps", "25", "--duration", ".5"},
        {"--fps", "25", "--duration", "0.0001"},
        {"--fps", "25", "--duration", "1.-5"},
        {"--fps", "25", "--duration", "1.-"},  // a minus as the whole fraction, not 1 second
        {"--fps", "25", "--duration", "1.-00"},
        {"--fps", "25", "--duration", "abc"},
        {"--fps", "1000", "--duration", "1000.001"},        // 1,000,001 frames
        {"--fps", "1000", "--duration", "99999999999999"},  // runaway
        {"--fps", "25", "--duration", "1", "--start", "x"},
        {"--fps", "1", "--duration", "2", "--start", "2147483000"},  // second frame beyond 32 bits
        {"--times", "1", "--out", ""},
        {"--times", "1", "--crf", "18"},  // encoder settings without --video
        {"--fps", "25", "--duration", "1", "--master"},
        {"--fps", "25", "--duration", "1", "--stats"},
        {"--times", "1", "--preset", "fast"},
        {"--times", "1", "--for-upload"},
        {"--times", "1", "--scale", "2"},
        {"--video", "v.mp4", "--scale", "0"},
        {"--video", "v.mp4", "--scale", "5"},
        {"--video", "v.mp4", "--scale", "2", "--scale", "2"},
        {"--video", "v.mp4", "--for-upload", "--master"},
        {"--video", "v.mp4", "--for-upload", "--crf", "0"},  // High has no lossless form
        {"--video", "v.mkv", "--crf", "0"},
        {"--video", "v.mkv", "--preset", "fast"},
        {"--video", "v.mkv", "--master"},
        {"--video", "v.mkv", "--for-upload"},
        {"--video", "v.mkv.part"},
        {"--video", ""},
        {"--video", "v.avi"},
        {"--video", "mp4"},
        {"--video", "v.mp4", "--times", "0"},
        {"--video", "v.mp4", "--out", "o"},
        {"--video", "v.mp4", "--fps", "0"},
        {"--video", "v.mp4", "--duration", "0"},
        {"--video", "v.mp4", "--duration", "16667"},  // 1,000,020 frames at 60 fps
        {"--video", "v.mp4", "--crf", "52"},
        {"--video", "v.mp4", "--crf", "-1"},
        {"--video", "v.mp4", "--preset", "placebo"},
        {"--video", "v.mp4", "--preset", ""},
        {"--video", "v.mp4", "--master", "--master"},
        {"--video", "v.mp4", "--start", "2147483647", "--duration", "1"},
    };
    for (const auto& args : refused) {
        render_options::Options options;
        std::string error;
        std::string shown;
        for (const char* a : args) shown += std::string(" '") + a + "'";
        EXPECT_EQ(parse(args, &options, &error), render_options::kBadArguments) << shown;
        EXPECT_FALSE(error.empty()) << shown;
    }
    render_options::Options options;
    std::string error;
    EXPECT_EQ(parse({"--video", "v.mp4", "--for-upload", "--crf", "0"}, &options, &error),
              render_options::kBadArguments);
    EXPECT_NE(error.find("--master"), std::string::npos) << error;
    EXPECT_EQ(parse({"--video", "v.mp4", "--for-upload", "--crf", "1"}, &options, &error), render_options::kRender)
        << error;
    // A refusal quotes the argument in one line, whatever bytes it holds.
    EXPECT_EQ(parse({"--times", "1", "--bad\nsecond"}, &options, &error), render_options::kBadArguments);
    EXPECT_EQ(error, "unknown argument \"--bad\\x0asecond\"");
}

// The --times form has the same cap as --fps: one run renders at most
// 1,000,000 frames (the six-digit index).
TEST(RenderOptions, TimesListStopsAtTheFrameCap) {
    std::string list;
    for (int n = 0; n < render_options::kMaxFrames; ++n) list += n == 0 ? "7" : ",7";
    EXPECT_EQ(times_of({"--times", list.c_str()}).size(), 1000000u);
    list += ",7";
    render_options::Options options;
    std::string error;
    EXPECT_EQ(parse({"--times", list.c_str()}, &options, &error), render_options::kBadArguments);
    EXPECT_NE(error.find("at most 1000000"), std::string::npos) << error;
}

}  // namespace
