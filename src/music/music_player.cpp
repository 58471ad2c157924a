// The music player: four calls to start the song, two to end it.
#include "music/music.h"

#include "platform/platform.h"

namespace music {
namespace {

struct MusicState {
    platform::Handle song;
};

MusicState state;

}  // namespace

void start() {
    platform::music_set_buffer_size(500);
    platform::music_init(44100, 32, 0);
    state.song = platform::music_load_song("s.s3m");
    platform::music_play_song(state.song);
}

void stop() {
    platform::music_free_song(state.song);
    platform::music_close();
}

}  // namespace music
