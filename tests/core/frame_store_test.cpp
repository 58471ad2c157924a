#include <gtest/gtest.h>

#include <cstdlib>

#include "core/frame_store.h"

// Each case runs in its own process (CTest), so the store starts as at program start.

TEST(FrameStore, PagesAreOneContiguousZeroBlock) {
    for (int n = 0; n < kPageCount; ++n) EXPECT_EQ(frame_store::page(n), frame_store::page(0) + n * kPagePixels);
    const Pixel* all = frame_store::page(0);
    for (int i = 0; i < kPageCount * kPagePixels; ++i) ASSERT_EQ(all[i], 0u) << i;
    EXPECT_EQ(frame_store::screen(), nullptr);
    frame_store::point_screen_at_page0();
    EXPECT_EQ(frame_store::screen(), frame_store::page(0));
}

TEST(FrameStore, ClearPageTouchesOnlyThatPage) {
    Pixel* all = frame_store::page(0);
    for (int i = 0; i < kPageCount * kPagePixels; ++i) all[i] = 0x01020304u;
    frame_store::clear_page(frame_store::page(2));
    for (int i = 0; i < kPageCount * kPagePixels; ++i) {
        ASSERT_EQ(all[i], (i / kPagePixels == 2) ? 0u : 0x01020304u) << i;
    }
}

TEST(FrameStore, SlotsClearAndFree) {
    frame_store::free_slots();  // nothing loaded: nothing happens
    frame_store::slot(7) = {3, 2, static_cast<Pixel*>(std::malloc(24))};
    frame_store::slot(255) = {1, 1, static_cast<Pixel*>(std::malloc(4))};
    frame_store::free_slots();  // the sanitizer build shows a leak or double free
    frame_store::clear_slots();
    for (int i = 0; i < kSlotCount; ++i) EXPECT_EQ(frame_store::slot(i).pixels, nullptr);
    EXPECT_EQ(frame_store::slot(7).width, 3);
    EXPECT_EQ(frame_store::slot(7).height, 2);
}
