// The music player's calls, in order and with their arguments, whatever the
// library returns.
#include <gtest/gtest.h>

#include "music/music.h"
#include "support/fake_log.h"

namespace {

using Log = std::vector<std::string>;

TEST(MusicPlayer, StartsAndStopsWithTheSixCallsInOrder) {
    platform_fake::reset();
    music::start("");
    EXPECT_EQ(test_support::fake_log(), (Log{"music_set_buffer_size 500", "music_init 44100 32 0",
                                             "music_load_song \"s.s3m\"", "music_play_song 0x80"}));
    platform_fake::reset();
    music::start("/opt/orvo/share/orvo/");
    EXPECT_EQ(test_support::fake_log_of({"music_load_song"}), (Log{"music_load_song \"/opt/orvo/share/orvo/s.s3m\""}));
    platform_fake::reset();
    music::stop();
    EXPECT_EQ(test_support::fake_log(), (Log{"music_free_song 0x80", "music_close"}));
}

TEST(MusicPlayer, AMissingSongIsPassedOnAsItCameBack) {
    platform_fake::reset();
    platform_fake::script().song = 0;
    music::start("");
    music::stop();
    EXPECT_EQ(test_support::fake_log_of({"music_play_song", "music_free_song", "music_close"}),
              (Log{"music_play_song 0", "music_free_song 0", "music_close"}));
}

}  // namespace
