// orvo's command line, and the present-interval figures that --stats prints.
#include <gtest/gtest.h>

#include <vector>

#include "driver/driver.h"
#include "platform/platform.h"
#include "platform/shared/present_stats.h"

namespace {

driver::Arguments parse(std::vector<const char*> words) {
    words.insert(words.begin(), "orvo");
    return driver::parse_arguments(static_cast<int>(words.size()), words.data());
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
