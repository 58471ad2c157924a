// Fuzz target: the song loader as the backends and the video form call it,
// then a few blocks of the song rendered as the backends render them. The
// loader either gives a song or says which of its failures it met. What
// libopenmpt found (format, channels, patterns, samples) is marked for the
// fuzzer, which sees none of the library's own branches.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "platform/openmpt/song_file.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz_support::MemoryFile file = fuzz_support::make_memory_file("s.s3m");
    fuzz_support::fill(file, data, size);
    song_file::Failure failure = song_file::Failure::none;
    openmpt_module* song = song_file::load_looping(file.path, &failure);
    if (song == nullptr) {
        require(failure == song_file::Failure::unreadable || failure == song_file::Failure::not_a_song,
                "a file that opens is unreadable or no song");
        require(size > 0 || failure == song_file::Failure::unreadable, "an empty file is unreadable");
        require(std::strcmp(song_file::failure_text(failure), "the song can't be read") == 0,
                "a file that opens is said to be unreadable");
        return 0;
    }
    require(failure == song_file::Failure::none, "a song comes with no failure");
    const char* type = openmpt_module_get_metadata(song, "type");
    uint64_t type_hash = 0;
    for (const char* c = type; c != nullptr && *c != '\0'; ++c) type_hash = type_hash * 31 + static_cast<uint8_t>(*c);
    openmpt_free_string(type);
    fuzz_support::saw(0, type_hash);
    fuzz_support::saw(1, static_cast<uint64_t>(openmpt_module_get_num_channels(song)));
    fuzz_support::saw(2, static_cast<uint64_t>(openmpt_module_get_num_patterns(song)));
    fuzz_support::saw(3, static_cast<uint64_t>(openmpt_module_get_num_samples(song)));
    fuzz_support::saw(4, static_cast<uint64_t>(openmpt_module_get_num_orders(song)));
    fuzz_support::saw(5, static_cast<uint64_t>(openmpt_module_get_num_instruments(song)));
    static int16_t block[2 * 1024];
    for (int i = 0; i < 4; ++i) openmpt_module_read_interleaved_stereo(song, 44100, 1024, block);
    openmpt_module_destroy(song);
    return 0;
}
