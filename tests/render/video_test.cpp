// orvo-render --video as a program, on the generated assets: the file's
// layout as ffprobe reads it, its frames decoded back against the PNG frames
// of the same index, its sound against libopenmpt's own render of the song,
// Ctrl+C, and the inputs it must refuse without leaving a file behind.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}
#include <fcntl.h>
#include <libopenmpt/libopenmpt.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/test_pictures.h"
#include "tools/render/video_capture_internal.h"

extern char** environ;

namespace {

using test_pictures::TempDir;

constexpr int kRate = 44100;
const std::string kAssets = ORVO_ASSET_DIR;

struct Outcome {
    int exit_code;
    std::string err;
};

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// prefix: shell commands run before the program, e.g. "ulimit -f 100; ".
Outcome run(const TempDir& dir, const std::string& program, const std::string& arguments,
            const std::string& prefix = "") {
    const std::string command =
        prefix + "'" + program + "' " + arguments + " >/dev/null 2>'" + (dir / "stderr") + "' </dev/null";
    const int status = std::system(command.c_str());
    return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_text(dir / "stderr")};
}

Outcome render(const TempDir& dir, const std::string& arguments, const std::string& prefix = "") {
    return run(dir, ORVO_RENDER_PATH, arguments, prefix);
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

// key=value lines of ffprobe about one stream (v:0 or a:0) and the format.
std::map<std::string, std::string> probe(const TempDir& dir, const std::string& file, const char* stream) {
    const std::string command = std::string("ffprobe -v error -select_streams ") + stream +
                                " -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,avg_frame_rate,"
                                "nb_frames,duration,duration_ts,sample_rate,channels,profile,has_b_frames,color_space,"
                                "color_transfer,sample_fmt:format_tags=title "
                                "-of default=noprint_wrappers=1 '" +
                                file + "' >'" + (dir / "probe") + "' 2>&1";
    const int status = std::system(command.c_str());
    std::map<std::string, std::string> values;
    std::ifstream in(dir / "probe");
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    values["ffprobe exit"] = std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return values;
}

struct Decoded {
    std::vector<std::vector<uint8_t>> frames;  // RGB24 at the file's size
    int width, height;
    std::vector<float> left, right;
    bool ok;
};

// Decodes every frame and sample back through FFmpeg's own libraries, the
// colours by the matrix the file names.
Decoded decode(const std::string& file) {
    Decoded d{};
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0) return d;
    avformat_find_stream_info(format, nullptr);
    AVCodecContext* codecs[2] = {};
    int index[2] = {av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0),
                    av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0)};
    for (int i = 0; i < 2; ++i) {
        if (index[i] < 0) continue;
        const AVCodecParameters* parameters = format->streams[index[i]]->codecpar;
        codecs[i] = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
        avcodec_parameters_to_context(codecs[i], parameters);
        avcodec_open2(codecs[i], nullptr, nullptr);
    }
    SwsContext* scaler = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto drain = [&](int i) {
        while (avcodec_receive_frame(codecs[i], frame) >= 0) {
            if (i == 0) {
                d.width = frame->width;
                d.height = frame->height;
                scaler = sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format),
                                              frame->width, frame->height, AV_PIX_FMT_RGB24,
                                              SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
                const int* matrix =
                    sws_getCoefficients(frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
                sws_setColorspaceDetails(scaler, matrix, frame->color_range == AVCOL_RANGE_JPEG, matrix, 1, 0, 1 << 16,
                                         1 << 16);
                std::vector<uint8_t> rgb(size_t(frame->width) * frame->height * 3);
                uint8_t* planes[1] = {rgb.data()};
                const int strides[1] = {frame->width * 3};
                sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
                d.frames.push_back(std::move(rgb));
            } else if (frame->format == AV_SAMPLE_FMT_S16) {
                const int16_t* lr = reinterpret_cast<const int16_t*>(frame->data[0]);
                for (int n = 0; n < frame->nb_samples; ++n) {
                    d.left.push_back(lr[2 * n] / 32768.0f);
                    d.right.push_back(lr[2 * n + 1] / 32768.0f);
                }
            } else {
                const float* l = reinterpret_cast<const float*>(frame->data[0]);
                const float* r = reinterpret_cast<const float*>(frame->data[1]);
                d.left.insert(d.left.end(), l, l + frame->nb_samples);
                d.right.insert(d.right.end(), r, r + frame->nb_samples);
            }
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        for (int i = 0; i < 2; ++i) {
            if (index[i] >= 0 && packet->stream_index == index[i] && avcodec_send_packet(codecs[i], packet) >= 0)
                drain(i);
        }
        av_packet_unref(packet);
    }
    for (int i = 0; i < 2; ++i) {
        if (codecs[i] == nullptr) continue;
        avcodec_send_packet(codecs[i], nullptr);
        drain(i);
        avcodec_free_context(&codecs[i]);
    }
    d.ok = true;
    av_frame_free(&frame);
    av_packet_free(&packet);
    sws_freeContext(scaler);
    avformat_close_input(&format);
    return d;
}

// A frame enlarged scale times, shrunk back to 640 x 480 by averaging each
// scale x scale block.
std::vector<uint8_t> shrink(const std::vector<uint8_t>& rgb, int scale) {
    std::vector<uint8_t> small(640 * 480 * 3);
    const int width = 640 * scale;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx)
                        sum += rgb[(size_t(y * scale + dy) * width + x * scale + dx) * 3 + c];
                }
                small[(size_t(y) * 640 + x) * 3 + c] = uint8_t((sum + scale * scale / 2) / (scale * scale));
            }
        }
    }
    return small;
}

std::vector<uint8_t> read_png(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> rgb(640 * 480 * 3);
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    return rgb;
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double squares = 0;
    for (size_t i = 0; i < a.size(); ++i) squares += double(a[i] - b[i]) * double(a[i] - b[i]);
    const double mse = squares / double(a.size());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::string png_name(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06d.png", n);
    return name;
}

// Each checked video frame is close to the PNG frame of its index and
// clearly closer to it than to its neighbour.
// A file enlarged scale times is shrunk back first.
void expect_frames_match(const Decoded& video, const std::string& pngs, std::vector<int> indices, double close,
                         const std::string& what, int scale = 1) {
    for (int n : indices) {
        ASSERT_LT(size_t(n) + 1, video.frames.size()) << what;
        const std::vector<uint8_t> same = read_png(pngs + png_name(n));
        const std::vector<uint8_t> next = read_png(pngs + png_name(n + 1));
        const std::vector<uint8_t> frame = scale == 1 ? video.frames[n] : shrink(video.frames[n], scale);
        const double to_same = psnr(frame, same);
        const double to_next = psnr(frame, next);
        EXPECT_GT(to_same, close) << what << " frame " << n;
        EXPECT_GT(to_same, to_next + 8) << what << " frame " << n << ": " << to_same << " dB, next " << to_next;
        std::printf("%s frame %d: %.2f dB against its PNG, %.2f against the next\n", what.c_str(), n, to_same, to_next);
    }
}

std::vector<float> song_from_start(size_t samples, bool right) {
    const std::string bytes = read_text(kAssets + "/s.s3m");
    openmpt_module* song = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr, nullptr,
                                                              nullptr, nullptr, nullptr, nullptr);
    std::vector<float> l(samples), r(samples);
    if (song == nullptr) return {};
    openmpt_module_set_repeat_count(song, -1);
    size_t done = 0;
    while (done < samples) {
        const size_t got =
            openmpt_module_read_float_stereo(song, kRate, samples - done, l.data() + done, r.data() + done);
        if (got == 0) break;
        done += got;
    }
    openmpt_module_destroy(song);
    return right ? r : l;
}

// Interleaved left and right, as libopenmpt renders 16-bit sound undithered.
std::vector<int16_t> song_from_start_16(size_t samples) {
    const std::string bytes = read_text(kAssets + "/s.s3m");
    openmpt_module* song = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr, nullptr,
                                                              nullptr, nullptr, nullptr, nullptr);
    std::vector<int16_t> lr(2 * samples);
    if (song == nullptr) return {};
    openmpt_module_set_repeat_count(song, -1);
    openmpt_module_ctl_set_integer(song, "dither", 0);
    size_t done = 0;
    while (done < samples) {
        const size_t got = openmpt_module_read_interleaved_stereo(song, kRate, samples - done, lr.data() + 2 * done);
        if (got == 0) break;
        done += got;
    }
    openmpt_module_destroy(song);
    return lr;
}

double rms(const std::vector<float>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to && i < s.size(); ++i) sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

// The lag (in samples, within +-limit) at which expected, moved by it, best
// matches got over [from, to): 0 when the track lines up exactly.
int best_lag(const std::vector<float>& got, const std::vector<float>& expected, size_t from, size_t to, int limit) {
    int best = 0;
    double best_sum = -1e300;
    for (int lag = -limit; lag <= limit; ++lag) {
        double sum = 0;
        for (size_t i = from; i < to && i < got.size(); ++i) {
            const int64_t j = int64_t(i) + lag;
            if (j >= 0 && size_t(j) < expected.size()) sum += double(got[i]) * expected[size_t(j)];
        }
        if (sum > best_sum) best_sum = sum, best = lag;
    }
    return best;
}

// One short video, read back several ways; 30 fps from a negative start.
class Video : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        const std::string form = "--fps 30 --duration 1.5 --start -400";
        outcome_ = render(*dir_, "--assets '" + kAssets + "' --video '" + (*dir_ / "orvo.mp4") + "' " + form);
        frames_ = render(*dir_, "--assets '" + kAssets + "' --out '" + (*dir_ / "pngs") + "' " + form);
        video_ = new Decoded(decode(*dir_ / "orvo.mp4"));
    }
    static void TearDownTestSuite() {
        delete video_;
        delete dir_;
    }
    static TempDir* dir_;
    static Outcome outcome_, frames_;
    static Decoded* video_;
};
TempDir* Video::dir_;
Outcome Video::outcome_;
Outcome Video::frames_;
Decoded* Video::video_;

TEST_F(Video, StreamLayoutAsFfprobeReadsIt) {
    ASSERT_EQ(outcome_.exit_code, 0) << outcome_.err;
    EXPECT_EQ(outcome_.err, "");
    EXPECT_FALSE(exists(*dir_ / "orvo.mp4.part"));
    std::map<std::string, std::string> v = probe(*dir_, *dir_ / "orvo.mp4", "v:0");
    EXPECT_EQ(v["codec_name"], "h264");
    EXPECT_EQ(v["width"], "640");
    EXPECT_EQ(v["height"], "480");
    EXPECT_EQ(v["pix_fmt"], "yuv420p");
    EXPECT_EQ(v["color_space"], "smpte170m") << "480 lines are standard definition: BT.601, not BT.709";
    EXPECT_EQ(v["r_frame_rate"], "30/1");
    EXPECT_EQ(v["avg_frame_rate"], "30/1");
    EXPECT_EQ(v["nb_frames"], "45");
    EXPECT_NEAR(std::atof(v["duration"].c_str()), 1.5, 1.0 / 30);
    EXPECT_EQ(v["TAG:title"], "Orvo");
    std::map<std::string, std::string> a = probe(*dir_, *dir_ / "orvo.mp4", "a:0");
    EXPECT_EQ(a["codec_name"], "aac");
    EXPECT_EQ(a["sample_rate"], "44100");
    EXPECT_EQ(a["channels"], "2");
    EXPECT_EQ(a["duration_ts"], "66150");  // 1.5 s to the sample, the last short block included

    // +faststart: the index (moov) comes before the media data (mdat).
    const std::string bytes = read_text(*dir_ / "orvo.mp4");
    const size_t moov = bytes.find("moov"), mdat = bytes.find("mdat");
    ASSERT_NE(moov, std::string::npos);
    EXPECT_LT(moov, mdat);
}

TEST_F(Video, FramesAreThePngFramesOfTheSameIndex) {
    ASSERT_EQ(frames_.exit_code, 0) << frames_.err;
    ASSERT_TRUE(video_->ok);
    ASSERT_EQ(video_->frames.size(), 45u);
    // Frames 0 to 11 lie before clock time 0.
    expect_frames_match(*video_, *dir_ / "pngs", {0, 7, 12, 30, 43}, 26.5, "default");
}

TEST_F(Video, SoundIsTheSongOnTheVideosClock) {
    ASSERT_TRUE(video_->ok);
    const size_t silent = 400 * kRate / 1000, length = 3 * kRate / 2;
    // The decoder gives the last AAC frame whole: up to 1,023 samples more.
    ASSERT_GE(video_->left.size(), length);
    ASSERT_LT(video_->left.size(), length + 1024);
    ASSERT_EQ(video_->left.size(), video_->right.size());
    EXPECT_LT(rms(video_->left, 0, silent - kRate / 50), 1e-4) << "before clock time 0";
    EXPECT_LT(rms(video_->right, 0, silent - kRate / 50), 1e-4);
    EXPECT_GT(rms(video_->left, silent, length), 0.01);
    EXPECT_GT(rms(video_->right, silent, length), 0.01);
    // The track as it should be: 400 ms of silence, then the song from its start.
    for (bool right : {false, true}) {
        std::vector<float> expected(silent, 0.0f);
        const std::vector<float> song = song_from_start(length, right);
        ASSERT_FALSE(song.empty());
        expected.insert(expected.end(), song.begin(), song.end());
        const int lag =
            best_lag(right ? video_->right : video_->left, expected, silent - kRate / 10, length, kRate / 20);
        std::printf("channel %d: lag %d samples\n", right, lag);
        EXPECT_LE(std::abs(lag), kRate * 3 / 1000) << "channel " << right << ": " << lag << " samples";
    }
}

// A positive start: the song is already playing at frame 0, and the 4:4:4
// master is near-lossless.
TEST(VideoForms, PositiveStartAndTheMaster) {
    TempDir dir;
    const std::string form = "--fps 25 --duration 0.4 --start 2500";
    ASSERT_EQ(render(dir, "--assets '" + kAssets + "' --video '" + (dir / "m.mp4") + "' --master " + form).exit_code,
              0);
    ASSERT_EQ(render(dir, "--assets '" + kAssets + "' --out '" + (dir / "pngs") + "' " + form).exit_code, 0);
    EXPECT_EQ(probe(dir, dir / "m.mp4", "v:0")["pix_fmt"], "yuv444p");
    const Decoded video = decode(dir / "m.mp4");
    ASSERT_EQ(video.frames.size(), 10u);
    expect_frames_match(video, dir / "pngs", {0, 8}, 45, "master");

    const size_t skipped = 2500 * kRate / 1000, length = 2 * kRate / 5;
    const std::vector<float> song = song_from_start(skipped + length, false);
    const std::vector<float> expected(song.begin() + skipped, song.end());
    EXPECT_GT(rms(video.left, 0, length), 0.01);
    const int lag = best_lag(video.left, expected, kRate / 20, length, kRate / 20);
    EXPECT_LE(std::abs(lag), kRate * 3 / 1000) << lag << " samples";
}

// Without --duration the video is as long as the song (1:44 for the
// generated one); from a later start the sound goes on past the song's end
// as the demo's does, looping, and still lines up with libopenmpt's own
// render.
TEST(VideoForms, SongsLengthByDefaultAndTheSoundThroughTheLoop) {
    TempDir dir;
    const Outcome out =
        render(dir, "--assets '" + kAssets + "' --video '" + (dir / "long.mp4") + "' --fps 1 --start 6000");
    ASSERT_EQ(out.exit_code, 0) << out.err;
    EXPECT_EQ(probe(dir, dir / "long.mp4", "v:0")["nb_frames"], "104");
    EXPECT_EQ(probe(dir, dir / "long.mp4", "a:0")["duration_ts"], std::to_string(104 * kRate));
    const Decoded video = decode(dir / "long.mp4");
    ASSERT_EQ(video.frames.size(), 104u);
    const std::vector<float> song = song_from_start(110 * kRate, true);
    const std::vector<float> expected(song.begin() + 6 * kRate, song.end());
    for (size_t second : {size_t(1), size_t(101)}) {  // clock times 7 s and 107 s
        const size_t from = second * kRate;
        EXPECT_GT(rms(video.right, from, from + kRate / 4), 0.01) << second << " s";
        const int lag = best_lag(video.right, expected, from, from + kRate / 4, kRate / 50);
        EXPECT_LE(std::abs(lag), kRate * 3 / 1000) << second << " s: " << lag << " samples";
    }
}

// Without a song: a video without sound, one line saying so; and no length
// to go by without --duration.
TEST(VideoForms, NoSongGivesNoAudioTrack) {
    TempDir dir;
    for (const char* name : {"02.jpg", "02a.jpg", "king.jpg"}) {
        std::filesystem::copy_file(kAssets + "/" + name, dir / name);
    }
    Outcome out = render(dir, "--assets '" + dir.path + "' --video '" + (dir / "quiet.mp4") + "' --duration 0.1");
    EXPECT_EQ(out.exit_code, 0) << out.err;
    EXPECT_EQ(out.err, "orvo-render: no sound: \"" + (dir / "s.s3m") + "\": No such file or directory\n");
    EXPECT_EQ(probe(dir, dir / "quiet.mp4", "a:0").count("codec_name"), 0u);
    EXPECT_EQ(probe(dir, dir / "quiet.mp4", "v:0")["nb_frames"], "6");

    test_pictures::write_file(dir / "s.s3m", std::string("not a module"));
    out = render(dir, "--assets '" + dir.path + "' --video '" + (dir / "long.mp4") + "'");
    EXPECT_EQ(out.exit_code, 2);
    EXPECT_EQ(out.err, "orvo-render: no sound: \"" + (dir / "s.s3m") +
                           "\": libopenmpt can't load it\norvo-render: give --duration: there is no song to take "
                           "the length from\n");
    EXPECT_FALSE(exists(dir / "long.mp4"));
    EXPECT_FALSE(exists(dir / "long.mp4.part"));

    test_pictures::write_file(dir / "s.s3m", std::string());
    out = render(dir, "--assets '" + dir.path + "' --video '" + (dir / "empty.mp4") + "' --duration 0.05");
    EXPECT_EQ(out.exit_code, 0);
    EXPECT_EQ(out.err, "orvo-render: no sound: \"" + (dir / "s.s3m") +
                           "\": it is empty, larger than 64 MiB or can't be read whole\n");
}

// A write that fails late in a capture (a file-size limit, SIGXFSZ ignored
// as a full disk would let the write fail) ends it with one line and leaves
// neither the file nor FILE.part.
TEST(VideoForms, LateWriteFailureLeavesNoFile) {
    TempDir dir;
    const std::string file = dir / "cut.mp4";
    const Outcome out = render(dir, "--assets '" + kAssets + "' --video '" + file + "' --fps 30 --duration 2",
                               "ulimit -f 2000; trap '' XFSZ; ");
    EXPECT_EQ(out.exit_code, 1);
    EXPECT_EQ(out.err, "orvo-render: can't write \"" + file + "\": File too large\n");
    EXPECT_FALSE(exists(file));
    EXPECT_FALSE(exists(file + ".part"));
}

TEST(VideoForms, BadInputsLeaveNoFile) {
    TempDir dir;
    const std::string assets = "--assets '" + kAssets + "' ";
    struct Case {
        std::string arguments;
        int exit_code;
        std::string file;
    } cases[] = {
        {assets + "--video '" + (dir / "no/such/dir/v.mp4") + "' --duration 0.1", 1, dir / "no/such/dir/v.mp4"},
        {assets + "--video '" + (dir / "v.avi") + "' --duration 0.1", 2, dir / "v.avi"},
        {assets + "--video '" + (dir / "v.mp4") + "' --fps 0", 2, dir / "v.mp4"},
        {assets + "--video '" + (dir / "v.mp4") + "' --duration 20000", 2, dir / "v.mp4"},  // 1.2 million frames
        {assets + "--video '" + (dir / "v.mp4") + "' --crf 52", 2, dir / "v.mp4"},
        {assets + "--video '" + (dir / "v.mp4") + "' --preset quick", 2, dir / "v.mp4"},
        {assets + "--video '" + (dir / "v.mp4") + "' --out x", 2, dir / "v.mp4"},
        {"--assets '" + (dir / "nothing") + "' --video '" + (dir / "v.mp4") + "' --duration 0.1", 1, dir / "v.mp4"},
    };
    for (const Case& c : cases) {
        const Outcome out = render(dir, c.arguments);
        EXPECT_EQ(out.exit_code, c.exit_code) << c.arguments << "\n" << out.err;
        EXPECT_NE(out.err, "") << c.arguments;
        EXPECT_EQ(out.err.find('\n'), c.exit_code == 2 ? out.err.find("\nusage:") : out.err.size() - 1) << out.err;
        EXPECT_FALSE(exists(c.file)) << c.arguments;
        EXPECT_FALSE(exists(c.file + ".part")) << c.arguments;
    }
    std::filesystem::create_directory(dir / "taken.mp4");
    const Outcome out = render(dir, assets + "--video '" + (dir / "taken.mp4") + "' --duration 0.1");
    EXPECT_EQ(out.exit_code, 1);
    EXPECT_EQ(out.err, "orvo-render: can't write \"" + (dir / "taken.mp4") + "\": it is a directory\n");
}

// Ctrl+C in the middle: the frames so far, finalised and playable, and a
// line saying how many.
TEST(VideoForms, InterruptKeepsWhatWasRendered) {
    TempDir dir;
    const std::string file = dir / "cut.mp4", err = dir / "stderr";
    const std::string render_path = ORVO_RENDER_PATH;
    std::vector<std::string> args = {render_path, "--assets", kAssets,      "--video", file,
                                     "--fps",     "30",       "--duration", "600"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, render_path.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Wait (bounded) until some frames are in the file, then interrupt.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    const auto written = [&] {
        std::error_code none;
        const uintmax_t size = std::filesystem::file_size(file + ".part", none);
        return none ? 0 : size;
    };
    int status = 0;
    bool ended = false;
    while (std::chrono::steady_clock::now() < deadline && written() < 200000 && !ended) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(ended) << "orvo-render ended by itself: " << read_text(err);
    kill(pid, SIGINT);
    while (std::chrono::steady_clock::now() < deadline + std::chrono::seconds(60) && !ended) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ended || !WIFEXITED(status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "orvo-render did not end after SIGINT";
    }
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string line = read_text(err);
    long long done = 0, total = 0;
    ASSERT_EQ(
        std::sscanf(line.c_str(), ("orvo-render: interrupted: \"" + file + "\" holds the first %lld of %lld").c_str(),
                    &done, &total),
        2)
        << line;
    EXPECT_EQ(total, 18000);
    EXPECT_GT(done, 0);
    EXPECT_FALSE(exists(file + ".part"));
    const Decoded video = decode(file);
    EXPECT_EQ(static_cast<long long>(video.frames.size()), done);
    EXPECT_NEAR(double(video.left.size()), double(done) * kRate / 30, kRate / 30.0);
    EXPECT_EQ(probe(dir, file, "v:0")["nb_frames"], std::to_string(done));
}

// The picture types of the video stream in display order, e.g. "IBBPBB",
// as ffprobe reads them; a key frame is written in lower case.
std::string picture_types(const TempDir& dir, const std::string& file) {
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries frame=key_frame,pict_type "
        "-of csv=p=0 '" +
        file + "' >'" + (dir / "types") + "' 2>&1";
    if (std::system(command.c_str()) != 0) return "ffprobe failed";
    std::string types;
    std::ifstream in(dir / "types");
    for (std::string line; std::getline(in, line);) {
        if (line.size() >= 3) types += line[0] == '1' ? char(std::tolower(line[2])) : line[2];
    }
    return types;
}

// --for-upload: what video sites publish for uploads, at --scale 4 unless
// told otherwise; its frames shrunk back by 4 are the PNG frames as closely
// as 4:2:0 chroma and the encoder allow.
TEST(VideoForms, ForUploadHoldsWhatVideoSitesAskFor) {
    TempDir dir;
    const std::string form = "--fps 8 --duration 1 --start 20000", file = dir / "up.mp4";
    const Outcome out = render(dir, "--assets '" + kAssets + "' --video '" + file + "' --for-upload " + form);
    ASSERT_EQ(out.exit_code, 0) << out.err;
    ASSERT_EQ(render(dir, "--assets '" + kAssets + "' --out '" + (dir / "pngs") + "' " + form).exit_code, 0);
    std::map<std::string, std::string> v = probe(dir, file, "v:0");
    EXPECT_EQ(v["codec_name"], "h264");
    EXPECT_EQ(v["profile"], "High");
    EXPECT_EQ(v["width"] + " x " + v["height"], "2560 x 1920");
    EXPECT_EQ(v["pix_fmt"], "yuv420p");
    EXPECT_EQ(v["color_space"], "bt709");
    EXPECT_EQ(v["r_frame_rate"], "8/1");
    EXPECT_EQ(v["has_b_frames"], "2");
    std::map<std::string, std::string> a = probe(dir, file, "a:0");
    EXPECT_EQ(a["codec_name"] + " " + a["profile"], "aac LC");
    EXPECT_EQ(a["sample_rate"], "48000");
    EXPECT_EQ(a["channels"], "2");
    EXPECT_EQ(a["duration_ts"], "48000");
    // Closed GOPs of half a second: a key frame every 4 frames, two B-frames
    // between the others, none reaching across a key frame.
    EXPECT_EQ(picture_types(dir, file), "iBBPiBBP");
    // x264 writes its settings into the stream; crf=23 is the sites' bit rate at scale 4.
    const std::string bytes = read_text(file);
    for (const char* setting : {"cabac=1", "8x8dct=1", "bframes=2", "open_gop=0", "keyint=4 ", " crf=23.0 "}) {
        EXPECT_NE(bytes.find(setting), std::string::npos) << setting;
    }
    // High is what x264 picks for these settings anyway; asked for, it is kept.
    render_options::Options options;
    std::string error;
    const char* const argv[] = {"orvo-render", "--video", "v.mp4", "--for-upload"};
    ASSERT_EQ(render_options::parse_arguments(4, argv, &options, &error), render_options::kRender) << error;
    std::string settings;
    for (const video_capture::EncoderSetting& setting : video_capture::x264_settings(options))
        settings += std::string(setting.name) + "=" + setting.value + " ";
    EXPECT_NE(settings.find("profile=high "), std::string::npos) << settings;
    const Decoded video = decode(file);
    ASSERT_EQ(video.frames.size(), 8u);
    expect_frames_match(video, dir / "pngs", {0, 6}, 30, "for upload, shrunk back", 4);
}

// FILE.mkv keeps every RGB value: each frame decoded is the PNG frame byte
// for byte, at every scale each pixel an exact N x N block, and the sound is
// libopenmpt's own 16-bit render, sample for sample, after the silence
// before clock time 0.
TEST(VideoForms, MkvMasterIsExactInRgb) {
    TempDir dir;
    const std::string form = "--fps 10 --duration 0.3 --start -200";
    ASSERT_EQ(render(dir, "--assets '" + kAssets + "' --out '" + (dir / "pngs") + "' " + form).exit_code, 0);
    for (int scale : {1, 3}) {  // frame_scaler_test.cpp checks every scale on its own
        const std::string file = dir / ("master" + std::to_string(scale) + ".mkv");
        const Outcome out = render(
            dir, "--assets '" + kAssets + "' --video '" + file + "' --scale " + std::to_string(scale) + " " + form);
        ASSERT_EQ(out.exit_code, 0) << out.err;
        std::map<std::string, std::string> v = probe(dir, file, "v:0");
        EXPECT_EQ(v["codec_name"] + " " + v["pix_fmt"], "ffv1 bgr0") << "no alpha plane";
        EXPECT_EQ(picture_types(dir, file), "iii") << "every frame a key frame";
        const Decoded video = decode(file);
        ASSERT_EQ(video.frames.size(), 3u);
        ASSERT_EQ(video.width, 640 * scale);
        for (int n = 0; n < 3; ++n) {
            const std::vector<uint8_t> png = read_png(dir / "pngs" + png_name(n));
            std::vector<uint8_t> enlarged(png.size() * scale * scale);
            for (size_t i = 0; i < enlarged.size() / 3; ++i) {
                const size_t x = i % (640 * scale) / scale, y = i / (640 * scale) / scale;
                std::copy_n(&png[(y * 640 + x) * 3], 3, &enlarged[i * 3]);
            }
            EXPECT_TRUE(video.frames[n] == enlarged) << "scale " << scale << ", frame " << n;
        }
        if (scale > 1) continue;
        std::map<std::string, std::string> a = probe(dir, file, "a:0");
        EXPECT_EQ(a["codec_name"] + " " + a["sample_rate"] + " " + a["sample_fmt"], "flac 44100 s16");
        const size_t silent = kRate / 5, length = 3 * kRate / 10;
        ASSERT_EQ(video.left.size(), length);
        std::vector<float> expected(silent, 0.0f);
        const std::vector<int16_t> song = song_from_start_16(length - silent);
        for (size_t i = 0; i < song.size(); i += 2) expected.push_back(song[i] / 32768.0f);
        const auto differ = std::mismatch(video.left.begin(), video.left.end(), expected.begin());
        EXPECT_TRUE(differ.first == video.left.end()) << "sample " << differ.first - video.left.begin() << ": "
                                                      << *differ.first * 32768 << ", not " << *differ.second * 32768;
    }
}

}  // namespace
