// orvo_fuzz_seeds ASSETS OUT: the fuzz targets' first inputs, one folder per
// target under OUT. The generated assets as the demo reads them, and small
// hand-made cases around each check: the smallest pictures, greyscale and
// 4:2:0 colour, a progressive file, CMYK, a mask of another size, pictures
// declaring sizes either side of the limits; a one-note song; argument lines of every
// form; time lists at the 32-bit ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_pictures.h"
#include "tools/assetgen/s3m.h"

namespace {

using test_pictures::Bytes;

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "orvo_fuzz_seeds: can't read \"%s\"\n", path.c_str());
        std::exit(1);
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A picture seed: the mode byte, then the colour file, and in mode 2 its
// length ahead of it and the mask after it.
Bytes picture_seed(int mode, const Bytes& colour, const Bytes& mask = {}) {
    Bytes seed = {static_cast<uint8_t>(mode)};
    if (mode == 2) {
        for (int shift = 0; shift < 24; shift += 8) seed.push_back(static_cast<uint8_t>(colour.size() >> shift));
    }
    seed.insert(seed.end(), colour.begin(), colour.end());
    seed.insert(seed.end(), mask.begin(), mask.end());
    return seed;
}

// A colour picture with the library's default 2 x 2 chroma sampling, or
// progressive.
Bytes encode_sampled(int w, int h, bool progressive) {
    const std::vector<uint8_t> rgb = test_pictures::pattern_rgb(w, h, 7);
    return test_pictures::compress_to_memory([&](jpeg_compress_struct& c) {
        c.image_width = static_cast<JDIMENSION>(w);
        c.image_height = static_cast<JDIMENSION>(h);
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        if (progressive) jpeg_simple_progression(&c);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<uint8_t*>(rgb.data()) + static_cast<size_t>(c.next_scanline) * w * 3;
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
    });
}

// One sample, one pattern, one note: the smallest song the loader takes.
Bytes tiny_song() {
    namespace s3m = assetgen::s3m;
    s3m::Module module;
    module.title = "fuzz";
    module.channels = 1;
    module.panning = {7};
    module.orders = {0};
    s3m::Sample sample;
    sample.name = "square";
    for (int i = 0; i < 64; ++i) sample.pcm.push_back(static_cast<int8_t>(i < 32 ? 60 : -60));
    sample.loop_end = 64;
    module.samples.push_back(sample);
    s3m::Pattern pattern;
    pattern.cells.resize(s3m::kRows);
    pattern.cells[0] = {s3m::note(60), 1, 64, 0, 0};
    module.patterns.push_back(pattern);
    const std::vector<uint8_t> bytes = s3m::serialise(module);
    return Bytes(bytes.begin(), bytes.end());
}

// Arguments separated by NUL bytes, as the argument target splits them.
Bytes argument_line(std::initializer_list<const char*> args) {
    Bytes line;
    for (const char* a : args) {
        if (!line.empty()) line.push_back(0);
        line.insert(line.end(), a, a + std::strlen(a));
    }
    return line;
}

Bytes text(const char* s) { return Bytes(s, s + std::strlen(s)); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvo_fuzz_seeds ASSETS OUT\n");
        return 2;
    }
    const std::string assets = argv[1];
    const std::string out = argv[2];
    auto write = [&](const std::string& target, const std::string& name, const Bytes& bytes) {
        std::filesystem::create_directories(out + "/" + target);
        test_pictures::write_file(out + "/" + target + "/" + name, bytes);
    };

    const Bytes overlay = read_file(assets + "/02.jpg");
    const Bytes mask = read_file(assets + "/02a.jpg");
    write("picture", "king", picture_seed(0, read_file(assets + "/king.jpg")));
    write("picture", "overlay-and-mask", picture_seed(2, overlay, mask));
    write("picture", "mask-as-its-own-mask", picture_seed(1, mask));
    const Bytes small = test_pictures::encode_rgb(16, 16, test_pictures::pattern_rgb(16, 16, 3));
    write("picture", "small", picture_seed(0, small));
    write("picture", "one-pixel", picture_seed(1, test_pictures::encode_rgb(1, 1, {200, 100, 50})));
    write("picture", "grey", picture_seed(0, test_pictures::encode_grey(9, 7, std::vector<uint8_t>(63, 128))));
    write("picture", "sampled", picture_seed(0, encode_sampled(33, 17, false)));
    write("picture", "progressive", picture_seed(1, encode_sampled(24, 24, true)));
    const std::vector<uint8_t> four(8 * 8 * 4, 100);
    write("picture", "cmyk", picture_seed(0, test_pictures::encode_jpeg(8, 8, 4, JCS_CMYK, four.data())));
    write("picture", "mask-of-another-size",
          picture_seed(2, test_pictures::encode_rgb(3, 2, test_pictures::pattern_rgb(3, 2, 1)),
                       test_pictures::encode_grey(3, 3, std::vector<uint8_t>(9, 255))));
    // Either side of the size checks: a side of 32767 and one of 32768, and
    // a square one pixel past 2^31 / 4 pixels in all.
    const struct {
        uint16_t w, h;
        const char* name;
    } sizes[] = {
        {32767, 2, "longest-side"}, {32768, 16, "side-past-the-limit"}, {23171, 23171, "pixels-past-the-limit"}};
    for (const auto& size : sizes) {
        Bytes declared = small;
        test_pictures::declare_size(declared, size.w, size.h);
        write("picture", size.name, picture_seed(0, declared));
    }
    write("picture", "tables-only", picture_seed(0, test_pictures::encode_tables_only()));

    write("song", "s.s3m", read_file(assets + "/s.s3m"));
    write("song", "tiny.s3m", tiny_song());

    write("arguments", "times", argument_line({"--assets", "a", "--out", "o", "--times", "0,-5,2147483647"}));
    write("arguments", "fps", argument_line({"--fps", "30", "--duration", "1.5", "--start", "-7"}));
    write("arguments", "video",
          argument_line({"--video", "v.mp4", "--fps", "25", "--crf", "0", "--preset", "slow", "--master", "--stats"}));
    write("arguments", "upload", argument_line({"--video", "v.mp4", "--for-upload", "--scale", "2"}));
    write("arguments", "rgb-master", argument_line({"--video", "v.mkv", "--scale", "3"}));
    write("arguments", "help", argument_line({"--times", "x", "--help"}));

    write("clock_times", "one", text("0"));
    write("clock_times", "ends", text("-2147483648,2147483647,-0,007"));
    return 0;
}
