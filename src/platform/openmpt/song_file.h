// The song as the real backends load it: the whole module file read into
// memory and handed to libopenmpt, set to repeat forever. Shared by the SDL
// and Windows backends; the fake backend loads nothing.
#pragma once

#include <libopenmpt/libopenmpt.h>

namespace song_file {

// Returns the song, or null with *why set to a short reason (a file that
// can't be opened, one larger than 64 MiB, or one libopenmpt can't read).
// The caller owns the song and ends it with openmpt_module_destroy.
openmpt_module* load_looping(const char* path, const char** why);

}  // namespace song_file
