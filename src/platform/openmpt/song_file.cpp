#include "platform/openmpt/song_file.h"

#include <cstdio>
#include <cstdlib>

namespace song_file {
namespace {

constexpr long kLargestSong = 64L << 20;

}  // namespace

openmpt_module* load_looping(const char* path, Failure* failure) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        *failure = Failure::unopenable;
        return nullptr;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    std::rewind(file);
    void* data = (size > 0 && size <= kLargestSong) ? std::malloc(static_cast<size_t>(size)) : nullptr;
    const bool read = data && std::fread(data, 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
    std::fclose(file);
    openmpt_module* song = nullptr;
    if (read) {
        song = openmpt_module_create_from_memory2(data, static_cast<size_t>(size), openmpt_log_func_silent, nullptr,
                                                  openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
    }
    std::free(data);
    if (!song) {
        *failure = read ? Failure::not_a_song : Failure::unreadable;
        return nullptr;
    }
    *failure = Failure::none;
    openmpt_module_set_repeat_count(song, -1);  // forever
    return song;
}

const char* failure_text(Failure failure) {
    return failure == Failure::unopenable ? "the song can't be opened" : "the song can't be read";
}

platform::Handle load_song_handle(const char* path, char* error, size_t error_size) {
    Failure why = Failure::none;
    openmpt_module* song = load_looping(path, &why);
    if (!song) std::snprintf(error, error_size, "%s", failure_text(why));
    return reinterpret_cast<platform::Handle>(song);
}

}  // namespace song_file
