#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/frame_store.h"
#include "scene/scene.h"

TEST(FrameParameters, AtTimeZero) {
    const scene::FrameParameters p = scene::frame_parameters(0);
    EXPECT_EQ(p.s, 220.0f);
    EXPECT_EQ(p.c, 420.0f);
    EXPECT_EQ(p.zoom, 220.0f * 0.01f + 2.0f);
    EXPECT_EQ(p.angle, 0.0f);
    EXPECT_EQ(p.light_column, 220);
    EXPECT_EQ(p.light_row, 420);
}

TEST(FrameParameters, PrecisionsAndTruncation) {
    for (int32_t t : {1, 999, 3141, -5000, 123456, -2147483647 - 1, 2147483647}) {
        const scene::FrameParameters p = scene::frame_parameters(t);
        const double phase = t * 0.0005;
        EXPECT_EQ(p.phase, phase);
        EXPECT_EQ(p.s, static_cast<float>(std::sin(phase) * 200 + 220));
        EXPECT_EQ(p.c, static_cast<float>(std::cos(phase) * 200 + 220));
        EXPECT_EQ(p.angle, static_cast<float>(t * 0.0001));
        const float zoom = p.s * 0.01f;  // float arithmetic, float constants
        EXPECT_EQ(p.zoom, zoom + 2.0f);
        EXPECT_EQ(p.light_column, static_cast<int32_t>(p.s));
        EXPECT_EQ(p.light_row, static_cast<int32_t>(p.c));
        EXPECT_GE(p.light_column, 20);
        EXPECT_LE(p.light_row, 420);
    }
}

// The scene carries the shadow grid's noise from frame to frame: each frame
// advances it 300 steps, and a frame replayed from the same seed and time is
// the same frame.
TEST(SceneFrames, EachFrameAdvancesTheNoiseAndReplaysFromItsSeed) {
    frame_store::point_screen_at_page0();
    Pixel* picture = frame_store::page(frame_store::kPicturePage);
    for (int n = 0; n < kPagePixels; ++n) picture[n] = static_cast<Pixel>(n * 2654435761u);
    scene::set_shadow_grid_seed(0);
    scene::render_frame(1234);
    uint32_t want = 0;
    for (int n = 0; n < 300; ++n) want = want * 1103515245u + 12345u;
    EXPECT_EQ(scene::shadow_grid_seed(), want);
    const std::vector<Pixel> first(frame_store::screen(), frame_store::screen() + kPagePixels);

    scene::render_frame(1234);
    EXPECT_FALSE(std::equal(first.begin(), first.end(), frame_store::screen())) << "the noise moved on";
    scene::set_shadow_grid_seed(0);
    scene::render_frame(1234);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), frame_store::screen()));
}
