// orvo's command line, and the present-interval figures that --stats prints.
#include <gtest/gtest.h>

#include <vector>

#include "driver/driver.h"
#include "platform/platform.h"
#include "platform/shared/present_stats.h"

namespace {

driver::Arguments parse(std::vector<const char*> words, const char* screensaver_window = nullptr) {
    words.insert(words.begin(), "orvo");
    return driver::parse_arguments(static_cast<int>(words.size()), words.data(), screensaver_window);
}

TEST(Arguments, ChoicesCombineAndAnswersStandAlone) {
    const driver::Arguments none = parse({});
    EXPECT_EQ(none.command, driver::Command::run);
    EXPECT_EQ(none.presentation, 0u);
    EXPECT_FALSE(none.stats);

    const driver::Arguments all = parse({"--sharp", "--stats", "--window", "--sharp"});
    EXPECT_EQ(all.command, driver::Command::run);
    EXPECT_EQ(all.presentation, platform::kPresentWindowed | platform::kPresentSharp);
    EXPECT_TRUE(all.stats);

    EXPECT_EQ(parse({"--help"}).command, driver::Command::help);
    EXPECT_EQ(parse({"--version"}).command, driver::Command::version);
}

TEST(Arguments, RefusesNamingTheArgument) {
    const struct {
        std::vector<const char*> words;
        int refused;
    } cases[] = {
        {{"--window", "--fullscreen"}, 2}, {{"-window"}, 1},        {{""}, 1},
        {{"--stats", "--help"}, 2},        {{"--version", "x"}, 1},
    };
    for (const auto& c : cases) {
        const driver::Arguments result = parse(c.words);
        EXPECT_EQ(result.command, driver::Command::refuse) << c.words[0];
        EXPECT_EQ(result.refused, c.refused) << c.words[0];
        EXPECT_STRNE(result.why, "");
    }
}

// xscreensaver starts a hack as "HACK --root" with its window in the
// environment, hexadecimal; a settings preview as "--window-id ID".
TEST(Arguments, ScreensaverWindowsAreSilentUnlessAsked) {
    constexpr uint32_t kSaver = platform::kPresentInWindow | platform::kPresentSilent;
    const driver::Arguments root = parse({"--root"});
    EXPECT_EQ(root.presentation, kSaver);
    EXPECT_EQ(root.window, 0u);  // the root window itself
    EXPECT_EQ(parse({"--root"}, "0x1a00003").window, 0x1a00003u);
    EXPECT_EQ(parse({"--root"}, "").window, 0u);
    EXPECT_EQ(parse({"--sound", "--root"}).presentation, platform::kPresentInWindow);
    const driver::Arguments id = parse({"--window-id", "41943043", "--sharp"});
    EXPECT_EQ(id.command, driver::Command::run);
    EXPECT_EQ(id.presentation, kSaver | platform::kPresentSharp);
    EXPECT_EQ(id.window, 41943043u);
    EXPECT_EQ(parse({"--window-id", "0XfFfFfFfF"}).window, 0xFFFFFFFFu);
}

TEST(Arguments, BadWindowIdsAreRefusedNamingThem) {
    const struct {
        std::vector<const char*> words;
        const char* environment;
        const char* word;
    } cases[] = {
        {{"--window-id"}, nullptr, "--window-id"},
        {{"--window-id", "xyz"}, nullptr, "xyz"},
        {{"--window-id", "0"}, nullptr, "0"},
        {{"--window-id", "0x"}, nullptr, "0x"},
        {{"--window-id", "-5"}, nullptr, "-5"},
        {{"--window-id", "0x100000000"}, nullptr, "0x100000000"},
        {{"--window-id", "12a"}, nullptr, "12a"},
        {{"--root"}, "zz", "zz"},
        {{"--root", "--window-id", "5"}, nullptr, "--window-id"},
    };
    for (const auto& c : cases) {
        const driver::Arguments result = parse(c.words, c.environment);
        EXPECT_EQ(result.command, driver::Command::refuse) << c.word;
        EXPECT_STREQ(result.word, c.word);
    }
}

// Windows starts orvo.scr as "/s", "/p 1234", "/c:1234", "-S" and the like,
// and with no argument for the settings.
TEST(Arguments, WindowsScreensaverForms) {
    for (const char* s : {"/s", "/S", "-s"}) {
        EXPECT_EQ(parse({s}).command, driver::Command::run) << s;
        EXPECT_EQ(parse({s}).presentation, platform::kPresentScreensaver) << s;
    }
    constexpr uint32_t kPreview = platform::kPresentInWindow | platform::kPresentSilent;
    EXPECT_EQ(parse({"/p", "1234"}).presentation, kPreview);
    EXPECT_EQ(parse({"/p", "1234"}).window, 1234u);
    EXPECT_EQ(parse({"-P:5678"}).window, 5678u);
    for (const std::vector<const char*>& c : std::vector<std::vector<const char*>>{{"/c"}, {"/C:1234"}, {"/c", "99"}}) {
        EXPECT_EQ(parse(c).command, driver::Command::settings) << c[0];
    }
    const char* scr[] = {"C:\\Windows\\ORVO.SCR"};
    EXPECT_EQ(driver::parse_arguments(1, scr, nullptr).command, driver::Command::settings);
    const char* exe[] = {"orvo.exe"};
    EXPECT_EQ(driver::parse_arguments(1, exe, nullptr).command, driver::Command::run);

    for (const std::vector<const char*>& c :
         std::vector<std::vector<const char*>>{{"/p"}, {"/p:xyz"}, {"/x"}, {"/sx"}, {"/c", "/s"}, {"/p:"}}) {
        EXPECT_EQ(parse(c).command, driver::Command::refuse) << c[0];
    }
}

TEST(PresentStats, PercentilesMaximumAndLateFrames) {
    static platform::present_stats::Record record;  // 40 KB: off the stack
    record.period_ns = 16666667;
    int64_t now = 1000000000;
    platform::present_stats::add_present(&record, now);
    // 98 intervals of 16.6 ms, one of 30 ms (late), one of 2.5 s (past the last bin).
    for (int i = 0; i < 98; ++i) platform::present_stats::add_present(&record, now += 16600000);
    platform::present_stats::add_present(&record, now += 30000000);
    platform::present_stats::add_present(&record, now += 2500000000);
    uint32_t frames = 0, p50 = 0, p99 = 0, max = 0, late = 0;
    platform::present_stats::report(record, &frames, &p50, &p99, &max, &late);
    EXPECT_EQ(frames, 101u);
    EXPECT_EQ(p50, 16700u);  // the upper edge of its 0.1 ms bin
    EXPECT_EQ(p99, 30100u);
    EXPECT_EQ(max, 2500000u);
    EXPECT_EQ(late, 2u);
}

TEST(PresentStats, TheHistogramsEdges) {
    using platform::present_stats::add_present;
    using platform::present_stats::report;
    static platform::present_stats::Record record;  // 40 KB: off the stack
    uint32_t frames = 0, p50 = 0, p99 = 0, max = 0, late = 0;

    // An interval of 1.00015 s falls in the last bin, not past the array
    // (the counts' neighbour in the record is the frame count).
    int64_t now = 1000000000;
    add_present(&record, now);
    add_present(&record, now += 1000150000);
    report(record, &frames, &p50, &p99, &max, &late);
    EXPECT_EQ(frames, 2u);
    EXPECT_EQ(p50, 1000100u);
    EXPECT_EQ(max, 1000150u);

    // Nine intervals of 16.6 ms and one of 30 ms: 99 % of ten is 9.9, so the
    // p99 takes the tenth.
    record = {};
    add_present(&record, now);
    for (int i = 0; i < 9; ++i) add_present(&record, now += 16600000);
    add_present(&record, now += 30000000);
    report(record, &frames, &p50, &p99, &max, &late);
    EXPECT_EQ(p50, 16700u);
    EXPECT_EQ(p99, 30000u);  // the bin's edge, 30.1 ms, is more than any interval was

    // Ten equal intervals: the bin's edge is past them, so p50 is the maximum.
    record = {};
    add_present(&record, now);
    for (int i = 0; i < 10; ++i) add_present(&record, now += 16600000);
    report(record, &frames, &p50, &p99, &max, &late);
    EXPECT_EQ(max, 16600u);
    EXPECT_EQ(p50, 16600u);
    EXPECT_EQ(p99, 16600u);
}

}  // namespace
