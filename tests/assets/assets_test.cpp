// The generated assets as the demo meets them: the pictures through our own
// decoder and slot loader, the song through libopenmpt, and the generator's
// promises (same bytes every run, one clear line when it can't write).
#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "core/frame_store.h"
#include "image/image.h"

namespace {

namespace fs = std::filesystem;

const char* const kAssetNames[] = {"02.jpg", "02a.jpg", "king.jpg", "s.s3m"};

std::string asset(const char* name) { return std::string(ORVO_ASSET_DIR) + "/" + name; }

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture decoded by the demo's own decoder, turned top-down, one byte per
// component.
struct Decoded {
    int32_t width = 0, height = 0;
    int components = 0;
    std::vector<uint8_t> bytes;
    uint8_t at(int x, int y, int c) const { return bytes[(static_cast<size_t>(y) * width + x) * components + c]; }
};

Decoded decode(const char* name) {
    Decoded d;
    uint8_t* rows =
        image::decode_jpeg_file(asset(name).c_str(), image::kFileSamples, &d.width, &d.height, &d.components);
    const size_t row = static_cast<size_t>(d.width) * d.components;
    for (int32_t y = 0; y < d.height; ++y) {
        const uint8_t* src = rows + static_cast<size_t>(d.height - 1 - y) * 3 * d.width;  // rows are bottom-up
        d.bytes.insert(d.bytes.end(), src, src + row);
    }
    std::free(rows);
    return d;
}

// ---- Pictures --------------------------------------------------------------

TEST(AssetPictures, DecodeAtTheirSizes) {
    struct Case {
        const char* name;
        int32_t width, height;
        int components;
    };
    const Case cases[] = {{"king.jpg", 800, 600, 3}, {"02.jpg", 640, 480, 3}, {"02a.jpg", 640, 480, 1}};
    for (const Case& c : cases) {
        const Decoded d = decode(c.name);
        EXPECT_EQ(d.width, c.width) << c.name;
        EXPECT_EQ(d.height, c.height) << c.name;
        EXPECT_EQ(d.components, c.components) << c.name;
    }
}

// The demo shows the middle of the king, rotozoomed 2.2 to 6.2 times about
// the centre, and takes its shade map from the blue channel there: every
// channel must vary strongly in that window, blue along the centre row and
// column in particular.
TEST(AssetPictures, KingIsBusyInEveryChannelWhereTheDemoLooks) {
    const Decoded king = decode("king.jpg");
    const int half_w = king.width * 145 / 640, half_h = king.height * 109 / 480;
    const int cx = king.width / 2, cy = king.height / 2;
    for (int c = 0; c < 3; ++c) {
        double sum = 0.0, squares = 0.0;
        int n = 0;
        for (int y = cy - half_h; y < cy + half_h; ++y) {
            for (int x = cx - half_w; x < cx + half_w; ++x) {
                const double v = king.at(x, y, c);
                sum += v;
                squares += v * v;
                ++n;
            }
        }
        const double mean = sum / n;
        EXPECT_GT(std::sqrt(squares / n - mean * mean), 35.0) << "channel " << c;
    }
    // Blue along the rows and columns of that window (the shade map's light
    // row and column sweep across it) reaches both dark and bright in most.
    auto spread = [](std::vector<uint8_t> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() * 9 / 10] - v[v.size() / 10];
    };
    int busy_rows = 0, busy_columns = 0;
    for (int y = cy - half_h; y < cy + half_h; ++y) {
        std::vector<uint8_t> row;
        for (int x = cx - half_w; x < cx + half_w; ++x) row.push_back(king.at(x, y, 2));
        busy_rows += spread(row) > 80;
    }
    for (int x = cx - half_w; x < cx + half_w; ++x) {
        std::vector<uint8_t> column;
        for (int y = cy - half_h; y < cy + half_h; ++y) column.push_back(king.at(x, y, 2));
        busy_columns += spread(column) > 80;
    }
    EXPECT_GT(busy_rows, 2 * half_h * 3 / 4);
    EXPECT_GT(busy_columns, 2 * half_w * 3 / 4);
}

TEST(AssetPictures, MaskFramesAnOpenMiddleWithSoftEdges) {
    const Decoded mask = decode("02a.jpg");
    const int w = mask.width, h = mask.height;
    // The open middle is fully transparent, away from the frame's shadow.
    int most = 0;
    for (int y = 90; y < h - 50; ++y) {
        for (int x = 50; x < w - 50; ++x) most = std::max<int>(most, mask.at(x, y, 0));
    }
    EXPECT_LE(most, 3);
    // The band is opaque all the way round, the title plate too.
    for (int x = 40; x < w - 40; x += 8) {
        EXPECT_GE(mask.at(x, 14, 0), 250) << "top, x " << x;
        EXPECT_GE(mask.at(x, h - 14, 0), 250) << "bottom, x " << x;
    }
    for (int y = 40; y < h - 40; y += 8) {
        EXPECT_GE(mask.at(14, y, 0), 250) << "left, y " << y;
        EXPECT_GE(mask.at(w - 14, y, 0), 250) << "right, y " << y;
    }
    EXPECT_GE(mask.at(w / 2, 50, 0), 250);
    // Full range, with a real run of in-between levels at the edges.
    const auto [low, high] = std::minmax_element(mask.bytes.begin(), mask.bytes.end());
    EXPECT_EQ(*low, 0);
    EXPECT_EQ(*high, 255);
    const auto soft = std::count_if(mask.bytes.begin(), mask.bytes.end(), [](uint8_t v) { return v > 32 && v < 224; });
    EXPECT_GT(soft, 5000);
}

// The loader the demo uses takes the pair as one slot: the sizes match and
// the mask's levels become each pixel's top byte.
TEST(AssetPictures, OverlayLoadsAsOneSlotWithAlpha) {
    image::load_colour_image_with_alpha_mask(asset("02.jpg").c_str(), asset("02a.jpg").c_str(), 0);
    const ImageSlot& slot = frame_store::slot(0);
    ASSERT_EQ(slot.width, 640);
    ASSERT_EQ(slot.height, 480);
    EXPECT_LE(slot.pixels[240 * 640 + 320] >> 24, 3u);   // middle: see-through
    EXPECT_GE(slot.pixels[14 * 640 + 100] >> 24, 250u);  // frame: opaque
    std::free(slot.pixels);
    frame_store::slot(0).pixels = nullptr;
}

// ---- Song -----------------------------------------------------------------

openmpt::module load_song(std::ostringstream& log) {
    const std::vector<uint8_t> bytes = file_bytes(asset("s.s3m"));
    return openmpt::module(bytes, log);
}

TEST(AssetSong, LoadsWithoutWarningsAndHasItsShape) {
    std::ostringstream log;
    openmpt::module song = load_song(log);
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(song.get_metadata("warnings"), "");
    EXPECT_EQ(song.get_metadata("type"), "s3m");
    EXPECT_EQ(song.get_num_channels(), 10);
    EXPECT_EQ(song.get_num_samples(), 7);
    EXPECT_GE(song.get_duration_seconds(), 90.0);
    EXPECT_LE(song.get_duration_seconds(), 180.0);
}

// libopenmpt forgives a lot, other players less: walk the file as the format
// lays it out. Header marks, an even order list ending in its end mark,
// instrument headers with their mark and sample data inside the file, and
// every pattern's length word matching its 64 packed rows exactly.
TEST(AssetSong, FollowsTheFileLayoutExactly) {
    const std::vector<uint8_t> f = file_bytes(asset("s.s3m"));
    ASSERT_GT(f.size(), 0x60u);
    auto word = [&](size_t at) { return static_cast<size_t>(f.at(at) | f.at(at + 1) << 8); };
    EXPECT_EQ(f[0x1C], 0x1A);
    EXPECT_EQ(f[0x1D], 16);
    EXPECT_EQ(std::string(f.begin() + 0x2C, f.begin() + 0x30), "SCRM");
    EXPECT_EQ(word(0x2A), 2u);  // unsigned samples
    const size_t orders = word(0x20), instruments = word(0x22), patterns = word(0x24);
    EXPECT_EQ(orders % 2, 0u);
    EXPECT_EQ(f.at(0x60 + orders - 1), 255);
    for (size_t i = 0; i < instruments; ++i) {
        const size_t h = word(0x60 + orders + 2 * i) * 16;
        ASSERT_LT(h + 0x50, f.size());
        EXPECT_EQ(f[h], 1) << "instrument " << i;
        EXPECT_EQ(std::string(f.begin() + static_cast<long>(h) + 0x4C, f.begin() + static_cast<long>(h) + 0x50),
                  "SCRS");
        const size_t data = (static_cast<size_t>(f[h + 0x0D]) << 16 | word(h + 0x0E)) * 16;
        const size_t length = word(h + 0x10) | word(h + 0x12) << 16;
        EXPECT_LE(data + length, f.size()) << "instrument " << i;
        if (f[h + 0x1F] & 1) {
            EXPECT_LE(word(h + 0x18) | word(h + 0x1A) << 16, length) << "instrument " << i;
        }
    }
    for (size_t p = 0; p < patterns; ++p) {
        const size_t start = word(0x60 + orders + 2 * instruments + 2 * p) * 16;
        size_t at = start + 2;
        for (int row = 0; row < 64; ++row) {
            while (uint8_t what = f.at(at++)) at += (what & 32 ? 2 : 0) + (what & 64 ? 1 : 0) + (what & 128 ? 2 : 0);
        }
        EXPECT_EQ(word(start), at - start) << "pattern " << p;
    }
}

// Every channel carries notes, and the song drives itself with speed, tempo,
// volume slides, vibrato, retrigger, special and jump commands plus volumes.
TEST(AssetSong, UsesEveryChannelAndItsCommands) {
    std::ostringstream log;
    openmpt::module song = load_song(log);
    std::vector<int> notes(static_cast<size_t>(song.get_num_channels()), 0);
    std::set<std::string> effects;
    int volumes = 0;
    for (int32_t p = 0; p < song.get_num_patterns(); ++p) {
        for (int32_t r = 0; r < song.get_pattern_num_rows(p); ++r) {
            for (int32_t c = 0; c < song.get_num_channels(); ++c) {
                const int note = song.get_pattern_row_channel_command(p, r, c, openmpt::module::command_note);
                if (note > 0 && note <= 120) ++notes[static_cast<size_t>(c)];
                if (song.get_pattern_row_channel_command(p, r, c, openmpt::module::command_volumeffect) != 0) ++volumes;
                const std::string effect =
                    song.format_pattern_row_channel_command(p, r, c, openmpt::module::command_effect);
                if (effect != "." && effect != " ") effects.insert(effect);
            }
        }
    }
    for (size_t c = 0; c < notes.size(); ++c) EXPECT_GE(notes[c], 16) << "channel " << c;
    EXPECT_GT(volumes, 1000);
    for (const char* e : {"A", "T", "B", "D", "H", "Q", "S"}) EXPECT_EQ(effects.count(e), 1u) << e;
}

// Plays the whole song once: sound in both channels in every stretch of
// four seconds, no clipped runs, and the two sides not identical.
TEST(AssetSong, RendersAudibleUnclippedStereo) {
    std::ostringstream log;
    openmpt::module song = load_song(log);
    constexpr int kRate = 44100, kWindow = 4 * kRate;
    std::vector<float> left, right;
    std::vector<float> l(4096), r(4096);
    while (size_t n = song.read(kRate, l.size(), l.data(), r.data())) {
        left.insert(left.end(), l.begin(), l.begin() + static_cast<long>(n));
        right.insert(right.end(), r.begin(), r.begin() + static_cast<long>(n));
    }
    ASSERT_GE(left.size(), static_cast<size_t>(90 * kRate));

    double difference = 0.0;
    for (const std::vector<float>* side : {&left, &right}) {
        size_t run = 0, longest = 0;
        for (size_t start = 0; start + kWindow <= side->size(); start += kWindow) {
            double energy = 0.0;
            for (size_t i = start; i < start + kWindow; ++i) energy += (*side)[i] * (*side)[i];
            EXPECT_GT(std::sqrt(energy / kWindow), 0.01) << "quiet at " << start / kRate << " s";
        }
        for (float v : *side) {
            run = std::fabs(v) >= 0.999f ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        EXPECT_LT(longest, 8u);
    }
    for (size_t i = 0; i < left.size(); ++i) difference += std::fabs(left[i] - right[i]);
    EXPECT_GT(difference / static_cast<double>(left.size()), 0.005);
}

// The order list's jump leads back into the song (the first verse), not to
// its intro and not to silence.
TEST(AssetSong, LoopsBackToTheVerse) {
    std::ostringstream log;
    openmpt::module song = load_song(log);
    song.set_repeat_count(-1);
    song.set_position_seconds(song.get_duration_seconds() - 1.0);
    std::vector<float> buffer(2 * 44100 * 2);
    EXPECT_EQ(song.read_interleaved_stereo(44100, 44100 * 2, buffer.data()), 44100u * 2);
    EXPECT_EQ(song.get_current_order(), 2);
}

// ---- Generator ------------------------------------------------------------

struct GeneratorRun {
    int exit_code;
    std::string error_output;
};

GeneratorRun run_generator(const std::string& arguments) {
    const fs::path err = fs::temp_directory_path() / ("orvo-assetgen-" + std::to_string(getpid()) + ".err");
    const std::string command = std::string("\"") + ORVO_ASSETGEN + "\" " + arguments + " 2>\"" + err.string() + "\"";
    const int status = std::system(command.c_str());
    const std::vector<uint8_t> text = file_bytes(err.string());
    fs::remove(err);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(text.begin(), text.end())};
}

fs::path fresh_folder(const char* name) {
    const fs::path folder = fs::temp_directory_path() / ("orvo-assets-" + std::to_string(getpid()) + "-" + name);
    fs::remove_all(folder);
    return folder;
}

TEST(AssetGenerator, WritesTheSameBytesEveryRun) {
    const fs::path folder = fresh_folder("again");
    ASSERT_EQ(run_generator(folder.string()).exit_code, 0);
    for (const char* name : kAssetNames) {
        EXPECT_EQ(file_bytes((folder / name).string()), file_bytes(asset(name))) << name;
    }
    fs::remove_all(folder);
}

TEST(AssetGenerator, BadOutputGivesOneLineAndAnExitCode) {
    const fs::path folder = fresh_folder("bad");
    fs::create_directories(folder);
    auto one_line = [](const std::string& text) {
        return !text.empty() && text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 1;
    };

    // The folder's parent is a file: the folder can't be made.
    std::ofstream(folder / "file") << "x";
    GeneratorRun run = run_generator((folder / "file" / "assets").string());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(one_line(run.error_output)) << run.error_output;

    // A folder stands where a picture should go.
    fs::create_directories(folder / "out" / "king.jpg");
    run = run_generator((folder / "out").string());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(one_line(run.error_output)) << run.error_output;
    EXPECT_NE(run.error_output.find("king.jpg"), std::string::npos) << run.error_output;

    run = run_generator("");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(one_line(run.error_output)) << run.error_output;
    fs::remove_all(folder);
}

}  // namespace
