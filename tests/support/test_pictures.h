// Test support: JPEG files made with libjpeg's own compressor, whole or
// damaged on purpose, in a fresh temporary directory per test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#if defined(_WIN32)
#include <gtest/gtest.h>
#endif

namespace test_pictures {

using Bytes = std::vector<uint8_t>;

// Runs write(c) on a compressor whose output goes to memory; returns the bytes.
template <class Write> Bytes compress_to_memory(Write write) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    write(c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

// samples: h rows of w * components bytes, top row first. file_space is the
// colour space written into the file (JCS_UNKNOWN: the library's default for
// in_space). No chroma subsampling, so small pictures stay close to exact.
inline Bytes encode_jpeg(int w, int h, int components, J_COLOR_SPACE in_space, const uint8_t* samples, int quality = 95,
                         J_COLOR_SPACE file_space = JCS_UNKNOWN) {
    return compress_to_memory([&](jpeg_compress_struct& c) {
        c.image_width = static_cast<JDIMENSION>(w);
        c.image_height = static_cast<JDIMENSION>(h);
        c.input_components = components;
        c.in_color_space = in_space;
        jpeg_set_defaults(&c);
        if (file_space != JCS_UNKNOWN) jpeg_set_colorspace(&c, file_space);
        jpeg_set_quality(&c, quality, TRUE);
        for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<uint8_t*>(samples) + static_cast<size_t>(c.next_scanline) * w * components;
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
    });
}

inline Bytes encode_rgb(int w, int h, const std::vector<uint8_t>& rgb, int quality = 95) {
    return encode_jpeg(w, h, 3, JCS_RGB, rgb.data(), quality);
}

inline Bytes encode_grey(int w, int h, const std::vector<uint8_t>& grey, int quality = 95) {
    return encode_jpeg(w, h, 1, JCS_GRAYSCALE, grey.data(), quality);
}

// A datastream of quantisation and Huffman tables with no image in it.
inline Bytes encode_tables_only() {
    return compress_to_memory([](jpeg_compress_struct& c) {
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_write_tables(&c);
    });
}

// Rewrites the width and height that the frame header declares.
inline void declare_size(Bytes& jpeg, uint16_t w, uint16_t h) {
    for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC1 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<uint8_t>(h >> 8);
            jpeg[i + 6] = static_cast<uint8_t>(h);
            jpeg[i + 7] = static_cast<uint8_t>(w >> 8);
            jpeg[i + 8] = static_cast<uint8_t>(w);
            return;
        }
    }
    std::abort();
}

// One colour per pixel from a formula: smooth ramps with a little hashed
// texture, the same on every machine.
inline std::vector<uint8_t> pattern_rgb(int w, int h, uint32_t salt) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t n = (x * 73856093u) ^ (y * 19349663u) ^ salt;
            n ^= n >> 13;
            n *= 0x5bd1e995u;
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / (w > 1 ? w - 1 : 1) ^ (n & 15));
            p[1] = static_cast<uint8_t>(y * 255 / (h > 1 ? h - 1 : 1) ^ ((n >> 4) & 15));
            p[2] = static_cast<uint8_t>(((x ^ y) * 4) + ((n >> 8) & 7));
        }
    }
    return rgb;
}

// A fresh directory for one test's files, removed with everything in it.
struct TempDir {
    std::string path;
    TempDir() {
#if defined(_WIN32)
        // A death test's child process runs the test again from its start, so
        // the folder is named by the test and its place in it, not by chance.
        // Forward slashes, as in the paths the tests join and match.
        static std::string test_name;
        static int in_test = 0;
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "none";
        in_test = name == test_name ? in_test + 1 : 0;
        test_name = name;
        path = (std::filesystem::temp_directory_path() / ("orvo-test-" + name + "-" + std::to_string(in_test)))
                   .generic_string();
        std::error_code failed;
        std::filesystem::create_directories(path, failed);
        if (failed) std::abort();
#else
        const char* base = std::getenv("TMPDIR");
        path = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/orvo-test-XXXXXX";
        if (mkdtemp(path.data()) == nullptr) std::abort();
#endif
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline void write_file(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

inline void write_file(const std::string& path, const std::string& text) {
    write_file(path, Bytes(text.begin(), text.end()));
}

}  // namespace test_pictures
