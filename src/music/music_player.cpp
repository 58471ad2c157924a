// The music player: four calls to start the song, two to end it.
#include "music/music.h"

#include <string>

#include "platform/platform.h"

namespace music {
namespace {

struct MusicState {
    platform::Handle song;
};

MusicState state;

}  // namespace

void start(const char* directory) {
    platform::music_set_buffer_size(500);
    platform::music_init(44100, 32, 0);
    const std::string song = std::string(directory) + "s.s3m";
    state.song = platform::music_load_song(song.c_str());
    platform::music_play_song(state.song);
}

void stop() {
    platform::music_free_song(state.song);
    platform::music_close();
}

}  // namespace music
