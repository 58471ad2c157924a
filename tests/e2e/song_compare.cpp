// Checks what the demo played against the song as libopenmpt renders it on
// its own (44,100 Hz 16-bit stereo, repeating forever).
//
//   orvo_song_compare SONG PLAYED.raw
//
// PLAYED.raw is what SDL's disk audio driver wrote. Silence before the song
// started (the device runs paused until then) is skipped on both sides;
// after that every sample frame must match within the library's dither (a
// least significant bit or two, random on every render), up to the end or
// to exact silence of at most kMostSilenceAtClose frames that lasts to the
// end: at Escape the song is released before the device closes, and the
// device may play out a period or two of silence in between. A device that
// ran dry mid-song, a lost or repeated buffer, a wrong rate or format all
// show as a difference.
// Prints one line; exit code 0 when all match, 1 when not, 2 on bad use.
#include <libopenmpt/libopenmpt.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kDither = 2;
constexpr size_t kMostSilenceAtClose = 4096;  // four device periods

bool read_file(const char* path, std::vector<char>* bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes->insert(bytes->end(), chunk, chunk + n);
    std::fclose(file);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvo_song_compare SONG PLAYED.raw\n");
        return 2;
    }
    std::vector<char> song_bytes, played_bytes;
    if (!read_file(argv[1], &song_bytes) || !read_file(argv[2], &played_bytes)) {
        std::fprintf(stderr, "orvo_song_compare: can't read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    openmpt_module* song =
        openmpt_module_create_from_memory2(song_bytes.data(), song_bytes.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
    if (!song) {
        std::fprintf(stderr, "orvo_song_compare: %s is not a song libopenmpt reads\n", argv[1]);
        return 2;
    }
    openmpt_module_set_repeat_count(song, -1);

    const auto* played = reinterpret_cast<const int16_t*>(played_bytes.data());
    const size_t played_frames = played_bytes.size() / 4;
    size_t p = 0;
    while (p < played_frames && played[2 * p] == 0 && played[2 * p + 1] == 0) ++p;
    const size_t skipped = p;

    std::vector<int16_t> block(2 * 4096);
    size_t in_block = 0, at = 0;
    bool leading = true;
    size_t compared = 0;
    while (p < played_frames) {
        if (at == in_block) {
            in_block = openmpt_module_read_interleaved_stereo(song, 44100, 4096, block.data());
            at = 0;
            if (in_block == 0) break;
        }
        const int16_t left = block[2 * at], right = block[2 * at + 1];
        ++at;
        if (leading && std::abs(left) <= kDither && std::abs(right) <= kDither) continue;
        if (leading) {
            // The first sound on both sides, found the same way.
            while (p < played_frames && std::abs(played[2 * p]) <= kDither && std::abs(played[2 * p + 1]) <= kDither)
                ++p;
            if (p == played_frames) break;
        }
        leading = false;
        if (std::abs(left - played[2 * p]) > kDither || std::abs(right - played[2 * p + 1]) > kDither) {
            size_t rest = 2 * p;
            while (rest < 2 * played_frames && played[rest] == 0) ++rest;
            // Silent from here to the end, briefly: the song was released first.
            if (rest == 2 * played_frames && played_frames - p <= kMostSilenceAtClose) break;
            std::printf("the played song differs from its own render at %.3f s (frame %zu after %zu of silence)\n",
                        static_cast<double>(compared) / 44100, compared, skipped);
            openmpt_module_destroy(song);
            return 1;
        }
        ++p;
        ++compared;
    }
    openmpt_module_destroy(song);
    std::printf("%.2f s of the song played as rendered, within its dither (after %.3f s of silence)\n",
                static_cast<double>(compared) / 44100, static_cast<double>(skipped) / 44100);
    return compared > 0 ? 0 : 1;
}
