// orvo-render as a program: golden frames from fixed test pictures, the two
// command-line forms agreeing, and its exit codes and lines on failure.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <png.h>

#include "image/image.h"
#include "simd/simd.h"
#include "support/pages.h"
#include "support/test_pictures.h"

namespace {

using test_pictures::TempDir;

struct Outcome {
    int exit_code;
    std::string out;
    std::string err;
};

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// environment: assignments put before the command, as "NAME=value ".
Outcome run_render(const TempDir& dir, const std::string& arguments, const std::string& environment = "") {
    const std::string command = environment + "'" + ORVO_RENDER_PATH + "' " + arguments + " >'" + (dir / "stdout") +
                                "' 2>'" + (dir / "stderr") + "'";
    const int status = std::system(command.c_str());
    return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_text(dir / "stdout"), read_text(dir / "stderr")};
}

// The fixed pictures: "02" exactly page-sized (the copy path) with an alpha
// mask that is clear in the middle and opaque at the edges, "king" of
// another size (the resampling path).
void write_assets(const std::string& dir) {
    test_pictures::write_file(dir + "/02.jpg",
                              test_pictures::encode_rgb(640, 480, test_pictures::pattern_rgb(640, 480, 2)));
    std::vector<uint8_t> mask(640 * 480);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const int dx = x - 320, dy = y - 240;
            mask[y * 640 + x] = static_cast<uint8_t>(std::min(255, (dx * dx + dy * dy) / 300));
        }
    }
    test_pictures::write_file(dir + "/02a.jpg", test_pictures::encode_grey(640, 480, mask));
    test_pictures::write_file(dir + "/king.jpg",
                              test_pictures::encode_rgb(400, 300, test_pictures::pattern_rgb(400, 300, 75)));
}

// The frame file's RGB bytes, after checking it is 640 x 480, 8-bit RGB.
std::vector<uint8_t> read_frame(const std::string& path) {
    const std::string bytes = read_text(path);
    EXPECT_GT(bytes.size(), 33u) << path;
    if (bytes.size() <= 33) return {};
    const auto be32 = [&](size_t at) {
        return uint32_t{uint8_t(bytes[at])} << 24 | uint32_t{uint8_t(bytes[at + 1])} << 16 |
               uint32_t{uint8_t(bytes[at + 2])} << 8 | uint8_t(bytes[at + 3]);
    };
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(be32(16), 640u);
    EXPECT_EQ(be32(20), 480u);
    EXPECT_EQ(bytes[24], 8) << "bit depth";
    EXPECT_EQ(bytes[25], PNG_COLOR_TYPE_RGB) << "colour type";

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> rgb(640 * 480 * 3);
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    image.format = PNG_FORMAT_RGB;
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    return rgb;
}

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

std::string frame_name(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", n);
    return name;
}

// Renders the golden times into dir/out and checks every frame's hash.
void expect_golden_frames(const TempDir& dir, const std::string& out, const std::string& environment) {
    const Outcome run = run_render(
        dir, "--assets '" + dir.path + "' --out '" + (dir / out) + "' --times -5000,0,0,1234,-1,987654,-2147483648",
        environment);
    ASSERT_EQ(run.exit_code, 0) << environment << run.err;
    EXPECT_EQ(run.err, "") << environment;
    // Time 0 twice: the second is a later frame of the run, with other noise.
    const uint64_t golden[] = {0xb073393597ad0befull, 0x237f5c79bd4473e4ull, 0x80bb82d660e6cc26ull,
                               0x6477135f0da454b0ull, 0xbc06ccc46edf59e3ull, 0xa2d657b3736dae01ull,
                               0x713d84d7e08700c8ull};
    for (int n = 0; n < 7; ++n) {
        EXPECT_EQ(fnv1a(read_frame(dir / (out + "/" + frame_name(n)))), golden[n]) << environment << "frame " << n;
    }
    EXPECT_FALSE(std::ifstream(dir / (out + "/" + frame_name(7))).good());
}

// The golden values hold for the libjpeg this project builds with; if the
// pictures themselves decode differently, the first check says so before the
// frames do.
TEST(RenderProgram, GoldenFrames) {
    TempDir dir;
    write_assets(dir.path);
    image::load_colour_image_with_alpha_mask((dir / "02.jpg").c_str(), (dir / "02a.jpg").c_str(), 40);
    image::load_colour_image((dir / "king.jpg").c_str(), 41);
    EXPECT_EQ(test_support::hash_pixels(frame_store::slot(40).pixels, 640 * 480), 0x99a682cebc84cb5bull)
        << "02.jpg + 02a.jpg decode";
    EXPECT_EQ(test_support::hash_pixels(frame_store::slot(41).pixels, 400 * 300), 0x7df6a380deef2c9dull)
        << "king.jpg decodes";
    expect_golden_frames(dir, "frames", "");
}

// The same frames on every path that ORVO_SIMD names (a path the machine
// can't run falls back to one it can, which must agree as well), and the
// path named is the one that ran.
TEST(RenderProgram, GoldenFramesOnEveryPath) {
    TempDir dir;
    write_assets(dir.path);
    for (int p = 0; p < simd::kPathCount; ++p) {
        const char* path = simd::path_name(static_cast<simd::Path>(p));
        expect_golden_frames(dir, std::string("frames-") + path, std::string("ORVO_SIMD=") + path + " ");
        simd::Path expected = simd::Path::plain;
        ASSERT_TRUE(simd::choose_path(path, &expected));
        const Outcome run = run_render(dir, "--assets '" + dir.path + "' --out '" + (dir / "one") + "' --times 0",
                                       std::string("ORVO_SIMD=") + path + " ");
        EXPECT_EQ(run.out, std::string("orvo-render: path ") + simd::path_name(expected) + "\n") << path;
    }
}

TEST(RenderProgram, UnknownSimdPathIsRefusedWithOneLine) {
    TempDir dir;
    write_assets(dir.path);
    for (const char* value : {"bogus", "", "AVX2", "avx2 "}) {
        const Outcome run = run_render(dir, "--assets '" + dir.path + "' --out '" + (dir / "none") + "' --times 0",
                                       std::string("ORVO_SIMD='") + value + "' ");
        EXPECT_EQ(run.exit_code, 2) << "'" << value << "'";
        EXPECT_EQ(run.err, std::string("orvo-render: ORVO_SIMD=") + value +
                               " names no path (plain, sse2, avx2, avx512, simd128 or neon)\n");
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(std::ifstream(dir / ("none/" + frame_name(0))).good());
    }
}

TEST(RenderProgram, FpsFormRendersTheSameFramesAsItsTimes) {
    TempDir dir;
    write_assets(dir.path);
    const std::string assets = "--assets '" + dir.path + "' ";
    ASSERT_EQ(run_render(dir, assets + "--out '" + (dir / "a") + "' --fps 3 --duration 1 --start -7").exit_code, 0);
    ASSERT_EQ(run_render(dir, assets + "--out '" + (dir / "b") + "' --times -7,326,659").exit_code, 0);
    for (int n = 0; n < 3; ++n) {
        const std::vector<uint8_t> a = read_frame(dir / ("a/" + frame_name(n)));
        EXPECT_FALSE(a.empty());
        EXPECT_TRUE(a == read_frame(dir / ("b/" + frame_name(n)))) << "frame " << n;
    }
    EXPECT_FALSE(std::ifstream(dir / ("a/" + frame_name(3))).good());
}

TEST(RenderProgram, HelpAndBadArguments) {
    TempDir dir;
    const Outcome help = run_render(dir, "--help");
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.out.rfind("usage: orvo-render", 0), 0u) << help.out;

    for (const char* arguments : {"", "--fps 0 --duration 1", "--times 1,x", "--duration -1 --fps 25", "--bogus"}) {
        const Outcome bad = run_render(dir, arguments);
        EXPECT_EQ(bad.exit_code, 2) << arguments;
        EXPECT_EQ(bad.err.rfind("orvo-render: ", 0), 0u) << bad.err;
        EXPECT_NE(bad.err.find("\nusage: orvo-render"), std::string::npos) << bad.err;
        EXPECT_EQ(bad.out, "");
    }
}

// A bad picture ends the run as it ends the demo's start-up: its one line and
// exit code 1, with no frame written.
TEST(RenderProgram, BadPicturesAndOutputsEndWithExitCodeOne) {
    TempDir dir;
    const std::string frames = " --out '" + (dir / "frames") + "' --times 0";
    Outcome run = run_render(dir, "--assets '" + (dir / "nothing") + "'" + frames);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "can't open \"" + (dir / "nothing/02.jpg") + "\" for reading\n");

    write_assets(dir.path);
    test_pictures::write_file(dir / "02a.jpg", test_pictures::encode_grey(320, 240, std::vector<uint8_t>(320 * 240)));
    run = run_render(dir, "--assets '" + dir.path + "'" + frames);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "can't use \"" + (dir / "02a.jpg") + "\" as the mask of \"" + (dir / "02.jpg") +
                           "\": the mask is 320 x 240 pixels, the picture 640 x 480\n");

    write_assets(dir.path);
    test_pictures::write_file(dir / "king.jpg", std::string("GIF89a"));
    run = run_render(dir, "--assets '" + dir.path + "'" + frames);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err.rfind("Not a JPEG file", 0), 0u) << run.err;
    EXPECT_FALSE(std::ifstream(dir / ("frames/" + frame_name(0))).good());

    write_assets(dir.path);
    test_pictures::write_file(dir / "taken", std::string("a file where the frames would go"));
    run = run_render(dir, "--assets '" + dir.path + "' --out '" + (dir / "taken") + "' --times 0");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err.rfind("orvo-render: can't ", 0), 0u) << run.err;
}

// A frame that can't be written whole (here a file-size limit below one
// frame, SIGXFSZ ignored as a full disk would let the write fail) leaves no
// truncated frame behind, under its own name or a temporary one.
TEST(RenderProgram, FailedFrameWriteLeavesNoPartialFile) {
    TempDir dir;
    write_assets(dir.path);
    const Outcome run = run_render(dir, "--assets '" + dir.path + "' --out '" + (dir / "frames") + "' --times 0,16",
                                   "ulimit -f 64; trap '' XFSZ; ");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err.rfind("orvo-render: can't write \"" + (dir / ("frames/" + frame_name(0))) + "\": ", 0), 0u)
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "frames")) left.push_back(entry.path());
    EXPECT_TRUE(left.empty()) << left.front();
}

}  // namespace
