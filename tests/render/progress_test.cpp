// The progress line: bar, count, rate and time left, and the ends of the run.
#include <gtest/gtest.h>

#include <string>

#include "tools/render/progress.h"

namespace {

std::string line(int64_t done, int64_t total, double seconds, size_t size = 160) {
    char text[160];
    progress::format(text, size, done, total, seconds);
    return text;
}

TEST(Progress, BarCountRateAndTimeLeft) {
    EXPECT_EQ(line(0, 600, 0), "[                    ] 0/600 frames");
    EXPECT_EQ(line(300, 600, 2.5), "[==========>         ] 300/600 frames  120.0 fps  0:03 left");
    EXPECT_EQ(line(600, 600, 5), "[====================] 600/600 frames  120.0 fps  0:00 left");
    EXPECT_EQ(line(1, 6240, 0.5), "[>                   ] 1/6240 frames  2.0 fps  52:00 left");
    // Out-of-range counts are held to the bar; a short buffer is cut.
    EXPECT_EQ(line(700, 600, 5).substr(0, 34), "[====================] 600/600 fra");
    EXPECT_EQ(line(300, 600, 2.5, 8), "[======");
}

}  // namespace
