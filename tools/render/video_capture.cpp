// The video form. The frame chain, the enlargement and the conversion to the
// encoder's pixels run on a frame thread, a few frames ahead of the main
// thread, which encodes (x264 threads on its own), renders and encodes the
// song and writes the file. The clock is the frame counter: frame n is at
// start + floor(n x 1000 / fps) and audio sample k at start + k x 1000 / rate,
// whatever the machine's speed. The file is written as FILE.part and renamed
// when it is complete, so a failure never leaves a broken FILE behind.
//
// capture() runs five steps, each a function below: 1. open the output,
// 2. start the encoders, 3. start the frame thread, 4. the loop, 5. finish
// or interrupt. One Capture holds everything they make, and close_capture
// alone releases it.
#include "tools/render/video_capture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswscale/swscale.h>
}
#include <libopenmpt/libopenmpt.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "core/frame_store.h"
#include "platform/openmpt/song_file.h"
#include "scene/scene.h"
#include "tools/render/frame_scaler.h"
#include "tools/render/progress.h"
#include "tools/render/video_capture_internal.h"

namespace video_capture {
namespace {

constexpr int kRing = 6;  // frames the frame thread may be ahead

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// CPU time of the calling thread: a stage's own cost, whatever else the
// machine is running.
double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double process_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::atomic<bool> stop_signalled{false};

void on_stop_signal(int) { stop_signalled.store(true); }

std::string av_reason(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The failure helpers, one per result type: a step that returns bool says
// why in *why; capture's own exit codes come with their line on stderr.
bool fail(std::string* why, const std::string& text) {
    *why = text;
    return false;
}

int report(int exit_code, const std::string& line) {
    std::fprintf(stderr, "orvo-render: %s\n", line.c_str());
    return exit_code;
}

// The one place where the song loader's failure kinds become words.
std::string song_failure_reason(song_file::Failure failure, int error_number) {
    switch (failure) {
        case song_file::Failure::none: return "";
        case song_file::Failure::unopenable: return std::strerror(error_number);
        case song_file::Failure::unreadable: return "it is empty, larger than 64 MiB or can't be read whole";
        case song_file::Failure::not_a_song: return "libopenmpt can't load it";
    }
    return "";
}

// What the file holds, from the options.
struct Form {
    const char* muxer;          // "mp4" or "matroska"
    const char* video_encoder;  // "libx264" or "ffv1"
    AVPixelFormat pixels;       // the encoder's input
    int scale;
    int width, height;
    int fps;
    int crf;             // -1: the encoder has no quality setting (lossless)
    const char* preset;  // x264's, or null
    bool upload;         // the video sites' settings on top of the preset
    bool bt709;          // the colour matrix: BT.709 above standard definition, BT.601 below
    AVCodecID audio_codec;
    AVSampleFormat samples;
    int sample_rate;
    int64_t audio_bit_rate;  // 0: lossless
};

// --for-upload's constant quality for each --scale, chosen so that the bit
// rate at 60 fps lands on what video sites recommend for the size: 4 Mbit/s
// at 480 lines, 12 at 960 (their 1080p figure), 24 at 1440 and 53 to 68 at
// 1920 (their 2160p figure); docs/performance.md has the measurements.
constexpr int kUploadCrf[render_options::kMaxScale + 1] = {0, 29, 30, 29, 23};
// Superfast keeps CABAC and the 8 x 8 transforms and encodes 2560 x 1920 at
// about 13 frames per CPU second here; veryfast is four times slower.
constexpr const char* kUploadPreset = "superfast";

Form form_of(const render_options::Options& options) {
    Form form{};
    form.scale = options.scale;
    form.width = kPageWidth * options.scale;
    form.height = kPageHeight * options.scale;
    form.fps = options.fps;
    form.bt709 = form.height > 576;
    if (options.rgb_master) {
        form.muxer = "matroska";
        form.video_encoder = "ffv1";
        form.pixels = AV_PIX_FMT_0RGB32;  // the page's own bytes
        form.crf = -1;
        form.audio_codec = AV_CODEC_ID_FLAC;
        form.samples = AV_SAMPLE_FMT_S16;
        form.sample_rate = 44100;
        return form;
    }
    form.muxer = "mp4";
    form.video_encoder = "libx264";
    form.pixels = options.master ? AV_PIX_FMT_YUV444P : AV_PIX_FMT_YUV420P;
    form.upload = options.for_upload;
    const int default_crf = options.master ? 0 : (form.upload ? kUploadCrf[form.scale] : 18);
    form.crf = options.crf >= 0 ? options.crf : default_crf;
    form.preset = !options.preset.empty() ? options.preset.c_str() : (form.upload ? kUploadPreset : "ultrafast");
    form.audio_codec = AV_CODEC_ID_AAC;
    form.samples = AV_SAMPLE_FMT_FLTP;
    form.sample_rate = form.upload ? 48000 : 44100;
    form.audio_bit_rate = form.upload ? 384000 : 192000;
    return form;
}

// CPU seconds each stage spent, for --stats. The video encoder's share,
// spread over its threads, is what is left of the process's CPU time.
struct Stages {
    double frame_chain;
    double enlargement;
    double conversion;
    double video_calls;  // the main thread's part of the video encoder
    double audio;
    double writing;
};

// What the frame thread and the main thread share: frames [consumed,
// produced) of the ring are ready to encode.
struct Ring {
    std::mutex lock;
    std::condition_variable changed;
    int64_t produced;
    int64_t consumed;
    bool quit;  // the main thread gives up, or the frame thread is done
};

// Everything one capture makes; close_capture releases it.
struct Capture {
    Form form;
    openmpt_module* song;  // null: no sound
    int64_t frames;        // to write
    int32_t start;

    AVFormatContext* format;
    AVCodecContext* video;
    AVCodecContext* audio;  // null: no song
    AVStream* video_stream;
    AVStream* audio_stream;
    SwsContext* converter;  // null: the frames are the enlarged pages themselves
    uint8_t* enlarged;      // the enlarged page before conversion (scale above 1 with a converter)
    AVPacket* packet;
    AVFrame* ring[kRing];
    AVFrame* sound;
    std::string part;  // the file being written
    bool part_exists;
    bool kept;  // renamed to its own name

    int64_t silent_samples;  // of the track, before the song's own start
    int64_t samples_written;

    Ring sync;
    std::thread frame_thread;
    Stages rendering;  // the frame thread's
    Stages encoding;   // the main thread's

    struct sigaction old_int;
    struct sigaction old_term;
    bool signals_taken;
};

void close_capture(Capture* c) {
    if (c->frame_thread.joinable()) {
        {
            std::lock_guard<std::mutex> held(c->sync.lock);
            c->sync.quit = true;
            c->sync.changed.notify_all();
        }
        c->frame_thread.join();
    }
    for (AVFrame*& frame : c->ring) av_frame_free(&frame);
    av_frame_free(&c->sound);
    av_packet_free(&c->packet);
    av_freep(&c->enlarged);
    sws_freeContext(c->converter);
    c->converter = nullptr;
    avcodec_free_context(&c->video);
    avcodec_free_context(&c->audio);
    if (c->format != nullptr) {
        if (c->format->pb != nullptr) avio_closep(&c->format->pb);
        avformat_free_context(c->format);
        c->format = nullptr;
    }
    if (c->part_exists && !c->kept) std::remove(c->part.c_str());
    if (c->song != nullptr) openmpt_module_destroy(c->song);
    c->song = nullptr;
    if (c->signals_taken) {
        sigaction(SIGINT, &c->old_int, nullptr);
        sigaction(SIGTERM, &c->old_term, nullptr);
        c->signals_taken = false;
    }
}

// Step 1: the song, the length, and the output's muxer. Returns 0 or the
// exit code, its line written.
int open_output(const render_options::Options& options, const std::string& song_path, Capture* c) {
    song_file::Failure failure = song_file::Failure::none;
    c->song = song_file::load_looping(song_path.c_str(), &failure);
    const int load_errno = errno;
    if (c->song == nullptr) {
        std::fprintf(stderr, "orvo-render: no sound: \"%s\": %s\n", song_path.c_str(),
                     song_failure_reason(failure, load_errno).c_str());
    }
    int64_t milliseconds = options.duration_ms;
    if (milliseconds == 0) {
        if (c->song == nullptr) return report(2, "give --duration: there is no song to take the length from");
        milliseconds = static_cast<int64_t>(openmpt_module_get_duration_seconds(c->song) * 1000 + 0.5);
        if (milliseconds < 1) milliseconds = 1;
    }
    std::string why;
    if (!render_options::count_frames(options.fps, milliseconds, options.start, &c->frames, &why)) {
        return report(2, why);
    }
    c->start = options.start;
    std::error_code ignored;
    if (std::filesystem::is_directory(options.video, ignored)) {
        return report(1, "can't write \"" + options.video + "\": it is a directory");
    }
    c->form = form_of(options);
    c->part = options.video + ".part";
    const int code = avformat_alloc_output_context2(&c->format, nullptr, c->form.muxer, c->part.c_str());
    if (code < 0) return report(1, "can't write \"" + options.video + "\": " + av_reason(code));
    av_dict_set(&c->format->metadata, "title", "Orvo", 0);
    return 0;
}

AVStream* add_stream(Capture* c, const AVCodecContext* codec) {
    AVStream* stream = avformat_new_stream(c->format, nullptr);
    if (stream == nullptr) return nullptr;
    avcodec_parameters_from_context(stream->codecpar, codec);
    stream->time_base = codec->time_base;
    return stream;
}

// The x264 settings video sites publish for uploads, on top of the preset:
// High profile (8x8 transforms), CABAC, two B-frames, a closed GOP of half a
// second with no extra key frames at scene cuts.
std::string upload_x264_params(int fps) {
    const int gop = fps / 2 > 1 ? fps / 2 : 1;
    return "cabac=1:bframes=2:b-adapt=0:8x8dct=1:open-gop=0:scenecut=0:keyint=" + std::to_string(gop);
}

// x264's options for the form: its preset and constant quality, and for
// uploads the profile (so that x264 refuses what High can't hold) and the
// sites' settings.
std::vector<EncoderSetting> settings_of(const Form& form) {
    std::vector<EncoderSetting> settings = {{"preset", form.preset}, {"crf", std::to_string(form.crf)}};
    if (form.upload) {
        settings.push_back({"profile", "high"});
        settings.push_back({"x264-params", upload_x264_params(form.fps)});
    }
    return settings;
}

bool open_video_encoder(Capture* c, std::string* why) {
    const Form& form = c->form;
    const AVCodec* encoder = avcodec_find_encoder_by_name(form.video_encoder);
    if (encoder == nullptr) return fail(why, std::string("this FFmpeg has no ") + form.video_encoder + " encoder");
    AVCodecContext* video = c->video = avcodec_alloc_context3(encoder);
    if (video == nullptr) return fail(why, "out of memory");
    video->width = form.width;
    video->height = form.height;
    video->pix_fmt = form.pixels;
    video->time_base = AVRational{1, form.fps};
    video->framerate = AVRational{form.fps, 1};
    video->sample_aspect_ratio = AVRational{1, 1};
    video->thread_count = 0;  // the encoder picks its own threads for the machine
    if (c->format->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (form.pixels == AV_PIX_FMT_0RGB32) {
        // FFV1 version 3, intra only, in slices that its threads share, each
        // with a checksum: an archive's settings.
        video->gop_size = 1;
        video->level = 3;
        av_opt_set_int(video->priv_data, "slicecrc", 1, 0);
        av_opt_set_int(video->priv_data, "slices", 4, 0);
    } else {
        // The picture is sRGB; the conversion uses BT.601's matrix in limited
        // range at standard definition (SD video's own, which players assume
        // anyway; it keeps more of the red in luma than BT.709's) and
        // BT.709's above it, and players are told which.
        video->colorspace = form.bt709 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
        video->color_primaries = AVCOL_PRI_BT709;
        video->color_trc = form.upload ? AVCOL_TRC_BT709 : AVCOL_TRC_IEC61966_2_1;
        video->color_range = AVCOL_RANGE_MPEG;
        for (const EncoderSetting& setting : settings_of(form)) {
            av_opt_set(video->priv_data, setting.name, setting.value.c_str(), 0);
        }
    }
    const int code = avcodec_open2(video, encoder, nullptr);
    if (code < 0) return fail(why, std::string(form.video_encoder) + " encoder: " + av_reason(code));
    c->video_stream = add_stream(c, video);
    if (c->video_stream == nullptr) return fail(why, "out of memory");
    c->video_stream->avg_frame_rate = c->video_stream->r_frame_rate = video->framerate;
    return true;
}

bool open_audio_encoder(Capture* c, std::string* why) {
    const Form& form = c->form;
    const AVCodec* encoder = avcodec_find_encoder(form.audio_codec);
    if (encoder == nullptr)
        return fail(why, std::string("this FFmpeg has no ") + avcodec_get_name(form.audio_codec) + " encoder");
    AVCodecContext* audio = c->audio = avcodec_alloc_context3(encoder);
    if (audio == nullptr) return fail(why, "out of memory");
    audio->sample_fmt = form.samples;
    audio->sample_rate = form.sample_rate;
    av_channel_layout_default(&audio->ch_layout, 2);
    audio->bit_rate = form.audio_bit_rate;
    audio->time_base = AVRational{1, form.sample_rate};
    if (form.audio_codec == AV_CODEC_ID_AAC) audio->profile = FF_PROFILE_AAC_LOW;
    if (c->format->oformat->flags & AVFMT_GLOBALHEADER) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int code = avcodec_open2(audio, encoder, nullptr);
    if (code < 0) return fail(why, std::string(avcodec_get_name(form.audio_codec)) + " encoder: " + av_reason(code));
    c->audio_stream = add_stream(c, audio);
    if (c->audio_stream == nullptr) return fail(why, "out of memory");

    c->sound = av_frame_alloc();
    if (c->sound == nullptr) return fail(why, "out of memory");
    c->sound->format = form.samples;
    c->sound->sample_rate = form.sample_rate;
    c->sound->nb_samples = audio->frame_size;
    av_channel_layout_copy(&c->sound->ch_layout, &audio->ch_layout);
    if (av_frame_get_buffer(c->sound, 0) < 0) return fail(why, "out of memory");
    return true;
}

// The ring of frames, the converter, the enlargement's page, the packet.
bool allocate_frames(Capture* c, std::string* why) {
    const Form& form = c->form;
    for (AVFrame*& frame : c->ring) {
        frame = av_frame_alloc();
        if (frame == nullptr) return fail(why, "out of memory");
        frame->format = form.pixels;
        frame->width = form.width;
        frame->height = form.height;
        if (av_frame_get_buffer(frame, 0) < 0) return fail(why, "out of memory");
    }
    c->packet = av_packet_alloc();
    if (c->packet == nullptr) return fail(why, "out of memory");
    // How each frame is made (bench/enlarge_bench.cpp measures the ways):
    // the RGB master's frames are the page copied N times over (the own copy
    // is 20 times faster than swscale's point scaler there); at an even N
    // swscale's point scaler converts as it enlarges, 8 times faster than a
    // copy and a conversion at the large size and byte for byte the same;
    // at an odd N the 2 x 2 chroma blocks straddle pixels, so the page is
    // enlarged first and converted with the area filter like N = 1.
    if (form.pixels == AV_PIX_FMT_0RGB32) return true;
    const bool copy_first = form.scale % 2 == 1 && form.scale > 1;
    if (copy_first) {
        c->enlarged = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(form.width) * form.height * 4));
        if (c->enlarged == nullptr) return fail(why, "out of memory");
    }
    const int from_width = copy_first ? form.width : kPageWidth;
    const int from_height = copy_first ? form.height : kPageHeight;
    // The shadow grid's per-pixel red and grey are what 4:2:0 loses first;
    // of swscale's filters, the area one with exact rounding keeps the most.
    const int filter = from_width == form.width ? SWS_AREA : SWS_POINT;
    c->converter = sws_getContext(from_width, from_height, AV_PIX_FMT_0RGB32, form.width, form.height, form.pixels,
                                  filter | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (c->converter == nullptr) return fail(why, "out of memory");
    const int* matrix = sws_getCoefficients(form.bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(c->converter, matrix, 1, matrix, 0, 0, 1 << 16, 1 << 16);
    return true;
}

// The track's sample 0 is the song at clock time start: silence before the
// song's own start, or the song rendered up to the start (the exact way to
// any point, through the song's loops as well).
void place_song_at_start(Capture* c) {
    if (c->song == nullptr) return;
    // 16-bit sound (the master's FLAC) without dither: the same samples every time.
    openmpt_module_ctl_set_integer(c->song, "dither", 0);
    const int64_t rate = c->form.sample_rate;
    if (c->start < 0) c->silent_samples = (-static_cast<int64_t>(c->start) * rate + 500) / 1000;
    static float left[4096], right[4096];
    int64_t skip = c->start > 0 ? (static_cast<int64_t>(c->start) * rate + 500) / 1000 : 0;
    while (skip > 0 && !stop_signalled.load()) {
        const size_t count = static_cast<size_t>(skip < 4096 ? skip : 4096);
        if (openmpt_module_read_float_stereo(c->song, static_cast<int32_t>(rate), count, left, right) == 0) break;
        skip -= static_cast<int64_t>(count);
    }
}

// Step 2: both encoders, the frames, the file and its header. From here on a
// stop signal ends the capture in order: the file is finished or removed,
// never left broken.
int start_encoders(const render_options::Options& options, Capture* c) {
    struct sigaction stop {};
    stop.sa_handler = on_stop_signal;
    stop.sa_flags = SA_RESTART;
    sigaction(SIGINT, &stop, &c->old_int);
    sigaction(SIGTERM, &stop, &c->old_term);
    c->signals_taken = true;

    av_log_set_level(AV_LOG_QUIET);  // failures are reported in orvo-render's own one line
    std::string why;
    const bool opened =
        open_video_encoder(c, &why) && (c->song == nullptr || open_audio_encoder(c, &why)) && allocate_frames(c, &why);
    if (!opened) return report(1, "can't write \"" + options.video + "\": " + why);
    int code = avio_open(&c->format->pb, c->part.c_str(), AVIO_FLAG_WRITE);
    if (code < 0) return report(1, "can't write \"" + options.video + "\": " + av_reason(code));
    c->part_exists = true;
    AVDictionary* muxer_options = nullptr;
    // MP4's index first: the file plays while it downloads.
    if (std::strcmp(c->form.muxer, "mp4") == 0) av_dict_set(&muxer_options, "movflags", "+faststart", 0);
    code = avformat_write_header(c->format, &muxer_options);
    av_dict_free(&muxer_options);
    if (code < 0) return report(1, "can't write \"" + options.video + "\": " + av_reason(code));

    place_song_at_start(c);
    return 0;
}

// Step 3: the frame thread. Frame n: the frame chain at its clock time,
// enlarged, converted into ring slot n % kRing.
void render_frames(Capture* c) {
    const Form& form = c->form;
    const Pixel* screen = frame_store::screen();
    for (int64_t n = 0; n < c->frames; ++n) {
        {
            std::unique_lock<std::mutex> held(c->sync.lock);
            c->sync.changed.wait(held, [&] { return c->sync.quit || c->sync.produced - c->sync.consumed < kRing; });
            if (c->sync.quit) return;
        }
        if (stop_signalled.load()) break;
        double began = thread_cpu_seconds();
        scene::render_frame(static_cast<int32_t>(c->start + n * 1000 / form.fps));
        double now = thread_cpu_seconds();
        c->rendering.frame_chain += now - began;
        AVFrame* frame = c->ring[n % kRing];
        if (av_frame_make_writable(frame) < 0) break;
        began = now;
        if (c->converter == nullptr) {
            frame_scaler::enlarge(screen, kPageWidth, kPageHeight, form.scale, frame->data[0], frame->linesize[0]);
        } else if (c->enlarged != nullptr) {
            frame_scaler::enlarge(screen, kPageWidth, kPageHeight, form.scale, c->enlarged, form.width * 4);
        }
        now = thread_cpu_seconds();
        c->rendering.enlargement += now - began;
        if (c->converter != nullptr) {
            const bool enlarged = c->enlarged != nullptr;
            const uint8_t* source = enlarged ? c->enlarged : reinterpret_cast<const uint8_t*>(screen);
            const int stride = enlarged ? form.width * 4 : kPageWidth * 4;
            sws_scale(c->converter, &source, &stride, 0, enlarged ? form.height : kPageHeight, frame->data,
                      frame->linesize);
            c->rendering.conversion += thread_cpu_seconds() - now;
        }
        std::lock_guard<std::mutex> held(c->sync.lock);
        ++c->sync.produced;
        c->sync.changed.notify_all();
    }
    std::lock_guard<std::mutex> held(c->sync.lock);
    c->sync.quit = true;  // nothing more is coming
    c->sync.changed.notify_all();
}

// Sends frame (null: the end) and writes every packet the encoder has ready.
bool encode(Capture* c, AVCodecContext* codec, AVStream* stream, const AVFrame* frame, double* encoder_seconds,
            std::string* why) {
    const double began = thread_cpu_seconds();
    int code = avcodec_send_frame(codec, frame);
    double writing = 0;
    while (code >= 0) {
        code = avcodec_receive_packet(codec, c->packet);
        if (code < 0) break;
        av_packet_rescale_ts(c->packet, codec->time_base, stream->time_base);
        c->packet->stream_index = stream->index;
        const double write_began = thread_cpu_seconds();
        code = av_interleaved_write_frame(c->format, c->packet);
        writing += thread_cpu_seconds() - write_began;
    }
    c->encoding.writing += writing;
    *encoder_seconds += thread_cpu_seconds() - began - writing;
    if (code < 0 && code != AVERROR(EAGAIN) && code != AVERROR_EOF) return fail(why, av_reason(code));
    // A write that failed inside the file's buffer shows only here.
    if (c->format->pb->error < 0) return fail(why, av_reason(c->format->pb->error));
    return true;
}

// Fills samples [offset, offset + count) of the sound frame from the song
// and returns how many it gave.
size_t read_song(openmpt_module* song, int rate, AVFrame* sound, int offset, int count) {
    const size_t wanted = static_cast<size_t>(count);
    if (sound->format == AV_SAMPLE_FMT_FLTP) {
        return openmpt_module_read_float_stereo(song, rate, wanted, reinterpret_cast<float*>(sound->data[0]) + offset,
                                                reinterpret_cast<float*>(sound->data[1]) + offset);
    }
    return openmpt_module_read_interleaved_stereo(song, rate, wanted,
                                                  reinterpret_cast<int16_t*>(sound->data[0]) + 2 * offset);
}

// Encodes whole audio frames of the track up to sample until; at the
// track's end (last) the final frame may be short.
bool write_audio(Capture* c, int64_t until, bool last, std::string* why) {
    const int frame_size = c->audio->frame_size;
    const int channels = 2;
    const AVSampleFormat format = c->form.samples;
    while (c->samples_written < until) {
        const double began = thread_cpu_seconds();
        const int64_t left_over = until - c->samples_written;
        if (left_over < frame_size && !last) break;
        const int count = static_cast<int>(left_over < frame_size ? left_over : frame_size);
        if (av_frame_make_writable(c->sound) < 0) return fail(why, "out of memory");
        c->sound->nb_samples = count;
        const int64_t silent_left = c->silent_samples - c->samples_written;
        const int silent = static_cast<int>(silent_left <= 0 ? 0 : (silent_left < count ? silent_left : count));
        av_samples_set_silence(c->sound->data, 0, silent, channels, format);
        const int got =
            count > silent ? static_cast<int>(read_song(c->song, c->form.sample_rate, c->sound, silent, count - silent))
                           : 0;
        av_samples_set_silence(c->sound->data, silent + got, count - silent - got, channels, format);
        c->sound->pts = c->samples_written;
        c->samples_written += count;
        c->encoding.audio += thread_cpu_seconds() - began;
        if (!encode(c, c->audio, c->audio_stream, c->sound, &c->encoding.audio, why)) return false;
    }
    return true;
}

// Step 4: frames from the ring to the encoder, the sound alongside, the
// progress line. Returns the frames written; false in *ok on a failure.
int64_t encode_frames(Capture* c, bool* ok, std::string* why) {
    const bool show_progress = isatty(STDERR_FILENO) != 0;
    const Clock::time_point began = Clock::now();
    Clock::time_point drawn = began;
    char line[160];
    int64_t done = 0;
    *ok = true;
    while (done < c->frames) {
        {
            std::unique_lock<std::mutex> held(c->sync.lock);
            c->sync.changed.wait(held, [&] { return c->sync.produced > done || c->sync.quit; });
            if (c->sync.produced == done) break;  // the frame thread stopped
        }
        AVFrame* frame = c->ring[done % kRing];
        frame->pts = done;
        if (!encode(c, c->video, c->video_stream, frame, &c->encoding.video_calls, why)) {
            *ok = false;
            break;
        }
        {
            // Packets out: the encoder holds no reference to the ring's frame.
            std::lock_guard<std::mutex> held(c->sync.lock);
            ++c->sync.consumed;
            c->sync.changed.notify_all();
        }
        ++done;
        if (c->song != nullptr && !write_audio(c, done * c->form.sample_rate / c->form.fps, false, why)) {
            *ok = false;
            break;
        }
        if (show_progress && (seconds_since(drawn) >= 0.1 || done == c->frames)) {
            drawn = Clock::now();
            progress::format(line, sizeof line, done, c->frames, seconds_since(began));
            std::fprintf(stderr, "\r\033[Korvo-render: %s", line);
        }
    }
    if (show_progress) std::fputc('\n', stderr);
    return done;
}

// Step 5: the end of both tracks (the sound as long as the frames written),
// the encoders drained, the index written, the file renamed.
bool finish_file(const render_options::Options& options, Capture* c, int64_t done, std::string* why) {
    if (c->song != nullptr) {
        const int64_t end = (done * c->form.sample_rate + c->form.fps / 2) / c->form.fps;
        if (!write_audio(c, end, true, why)) return false;
        if (!encode(c, c->audio, c->audio_stream, nullptr, &c->encoding.audio, why)) return false;
    }
    if (!encode(c, c->video, c->video_stream, nullptr, &c->encoding.video_calls, why)) return false;
    int code = av_write_trailer(c->format);
    if (code < 0) return fail(why, av_reason(code));
    code = avio_closep(&c->format->pb);
    if (code < 0) return fail(why, av_reason(code));
    if (std::rename(c->part.c_str(), options.video.c_str()) != 0) return fail(why, std::strerror(errno));
    c->kept = true;
    return true;
}

// Each stage as frames per second of one core's CPU time, so the figures
// hold on a busy machine too; the whole capture by the wall clock.
void print_stats(const Capture& c, double wall, double cpu) {
    const bool converted = c.form.pixels != AV_PIX_FMT_0RGB32;
    const double frames = static_cast<double>(c.frames);
    const auto line = [&](const char* stage, double seconds, const char* where) {
        std::fprintf(stderr, "orvo-render:   %-14s %6.2f ms a frame = %7.1f fps on one core (%s)\n", stage,
                     seconds * 1000 / frames, seconds > 0 ? frames / seconds : 0.0, where);
    };
    std::fprintf(stderr,
                 "orvo-render: %lld frames of %d x %d in %.2f s: %.1f fps for the whole capture, %.2f ms of CPU a "
                 "frame\n",
                 static_cast<long long>(c.frames), c.form.width, c.form.height, wall, frames / wall,
                 cpu * 1000 / frames);
    const Stages& r = c.rendering;
    const Stages& e = c.encoding;
    line("frame chain", r.frame_chain, "frame thread");
    if (c.form.scale > 1 && (!converted || c.form.scale % 2 == 1)) line("enlargement", r.enlargement, "frame thread");
    if (converted) line(c.form.scale % 2 == 0 ? "RGB to YUV, x N" : "RGB to YUV", r.conversion, "frame thread");
    const double others = r.frame_chain + r.enlargement + r.conversion + e.audio + e.writing;
    line(c.form.video_encoder, cpu - others, "its threads and the main thread");
    if (c.song != nullptr) line("song, encoded", e.audio, "main thread");
    line("file writing", e.writing, "main thread");
}

}  // namespace

const char* missing() { return nullptr; }

int capture(const render_options::Options& options, const std::string& song_path) {
    Capture c{};
    int code = open_output(options, song_path, &c);
    if (code == 0) code = start_encoders(options, &c);
    if (code != 0) {
        close_capture(&c);
        return code;
    }
    const Clock::time_point began = Clock::now();
    const double cpu_began = process_cpu_seconds();
    c.frame_thread = std::thread(render_frames, &c);
    bool ok = true;
    std::string why;
    const int64_t done = encode_frames(&c, &ok, &why);
    {
        std::lock_guard<std::mutex> held(c.sync.lock);
        c.sync.quit = true;
        c.sync.changed.notify_all();
    }
    c.frame_thread.join();
    const bool interrupted = ok && done < c.frames && stop_signalled.load();
    if (ok && done < c.frames && !interrupted) ok = fail(&why, "out of memory");  // the frame thread gave up
    if (ok && done > 0) ok = finish_file(options, &c, done, &why);
    if (ok && !interrupted && options.stats) print_stats(c, seconds_since(began), process_cpu_seconds() - cpu_began);
    close_capture(&c);  // removes the part file unless it was kept

    if (interrupted && c.kept) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(done) / options.fps);
        return report(kInterrupted, "interrupted: \"" + options.video + "\" holds the first " + std::to_string(done) +
                                        " of " + std::to_string(c.frames) + " frames (" + seconds + " s), playable");
    }
    if (interrupted) {
        return report(kInterrupted, "interrupted after " + std::to_string(done) + " of " + std::to_string(c.frames) +
                                        " frames: removed \"" + options.video + "\"" +
                                        (ok ? "" : ", it could not be finished: " + why));
    }
    if (!ok) return report(1, "can't write \"" + options.video + "\": " + why);
    return 0;
}

std::vector<EncoderSetting> x264_settings(const render_options::Options& options) {
    return settings_of(form_of(options));
}

}  // namespace video_capture
