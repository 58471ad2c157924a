// The song as Orvo loads it: the whole module file read into memory and
// handed to libopenmpt, set to repeat forever. Shared by every backend that
// plays through libopenmpt (SDL, Windows, the browser, the template) and by
// orvo-render's video form; the fake backend loads nothing.
#pragma once

#include <libopenmpt/libopenmpt.h>

#include <cstddef>

#include "platform/platform.h"

namespace song_file {

enum class Failure {
    none,
    unopenable,  // fopen failed; errno says why
    unreadable,  // empty, larger than 64 MiB, or a short read
    not_a_song,  // libopenmpt can't load it
};

// Returns the song, or null with *failure set. The caller owns the song and
// ends it with openmpt_module_destroy.
openmpt_module* load_looping(const char* path, Failure* failure);

// What a backend says of the failure: "the song can't be opened" or "... read".
const char* failure_text(Failure failure);

// A backend's music_load_song: the song as the seam's handle (the
// openmpt_module pointer), or 0 with the failure's text written to error,
// a buffer of error_size bytes (the backend's last_error text).
platform::Handle load_song_handle(const char* path, char* error, size_t error_size);

}  // namespace song_file
