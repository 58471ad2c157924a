// The video form. The frame chain and the RGB -> YUV conversion run on a
// render thread, a few frames ahead of the main thread, which encodes (x264
// threads on its own), renders and encodes the song and writes the file. The
// clock is the frame counter: frame n is at start + floor(n x 1000 / fps) and
// audio sample k at start + k x 1000 / 44100, whatever the machine's speed.
// The file is written as FILE.part and renamed when it is complete, so a
// failure never leaves a broken FILE behind.
#include "tools/render/video_capture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
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
#include "tools/render/progress.h"

namespace video_capture {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kRing = 6;  // frames the render thread may be ahead
constexpr int kDefaultCrf = 18;
constexpr const char* kDefaultPreset = "ultrafast";
constexpr int kAudioBitRate = 192000;

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

// The song, looping forever as in the demo; null when there is none.
openmpt_module* load_song(const std::string& path, std::string* why) {
    song_file::Failure failure = song_file::Failure::none;
    openmpt_module* song = song_file::load_looping(path.c_str(), &failure);
    if (failure == song_file::Failure::unopenable) *why = std::strerror(errno);
    if (failure == song_file::Failure::unreadable) *why = "it can't be read";
    if (failure == song_file::Failure::not_a_song) *why = "libopenmpt can't load it";
    return song;
}

struct Output {
    AVFormatContext* format;
    AVCodecContext* video;
    AVCodecContext* audio;  // null: no song
    AVStream* video_stream;
    AVStream* audio_stream;
    SwsContext* scaler;
    AVPacket* packet;
    AVFrame* ring[kRing];
    AVFrame* sound;
    std::string part;  // the file being written
    bool opened;       // part exists on disk
};

void close_output(Output* out) {
    for (AVFrame*& frame : out->ring) av_frame_free(&frame);
    av_frame_free(&out->sound);
    av_packet_free(&out->packet);
    sws_freeContext(out->scaler);
    out->scaler = nullptr;
    avcodec_free_context(&out->video);
    avcodec_free_context(&out->audio);
    if (out->format != nullptr) {
        if (out->format->pb != nullptr) avio_closep(&out->format->pb);
        avformat_free_context(out->format);
        out->format = nullptr;
    }
}

// Opens both encoders and the file and writes the header.
bool open_output(const render_options::Options& options, bool with_audio, Output* out, std::string* why) {
    const int fps = options.fps;
    out->part = options.video + ".part";
    int code = avformat_alloc_output_context2(&out->format, nullptr, "mp4", out->part.c_str());
    if (code < 0) return *why = av_reason(code), false;

    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (h264 == nullptr) return *why = "this FFmpeg has no libx264 encoder", false;
    AVCodecContext* video = out->video = avcodec_alloc_context3(h264);
    video->width = kPageWidth;
    video->height = kPageHeight;
    video->pix_fmt = options.master ? AV_PIX_FMT_YUV444P : AV_PIX_FMT_YUV420P;
    video->time_base = AVRational{1, fps};
    video->framerate = AVRational{fps, 1};
    video->sample_aspect_ratio = AVRational{1, 1};
    video->thread_count = 0;  // x264 picks its own threads for the machine
    // The picture is sRGB; the conversion below uses BT.601's matrix in
    // limited range (SD video's own, which players assume anyway; it keeps
    // more of the red in luma than BT.709's), and players are told so.
    video->colorspace = AVCOL_SPC_SMPTE170M;
    video->color_primaries = AVCOL_PRI_BT709;
    video->color_trc = AVCOL_TRC_IEC61966_2_1;
    video->color_range = AVCOL_RANGE_MPEG;
    if (out->format->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int crf = options.crf >= 0 ? options.crf : (options.master ? 0 : kDefaultCrf);
    av_opt_set(video->priv_data, "preset", options.preset.empty() ? kDefaultPreset : options.preset.c_str(), 0);
    av_opt_set_double(video->priv_data, "crf", crf, 0);
    if ((code = avcodec_open2(video, h264, nullptr)) < 0) return *why = "H.264 encoder: " + av_reason(code), false;
    out->video_stream = avformat_new_stream(out->format, nullptr);
    if (out->video_stream == nullptr) return *why = "out of memory", false;
    avcodec_parameters_from_context(out->video_stream->codecpar, video);
    out->video_stream->time_base = video->time_base;
    out->video_stream->avg_frame_rate = out->video_stream->r_frame_rate = video->framerate;

    if (with_audio) {
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (aac == nullptr) return *why = "this FFmpeg has no AAC encoder", false;
        AVCodecContext* audio = out->audio = avcodec_alloc_context3(aac);
        audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
        audio->sample_rate = kSampleRate;
        av_channel_layout_default(&audio->ch_layout, 2);
        audio->bit_rate = kAudioBitRate;
        audio->time_base = AVRational{1, kSampleRate};
        if (out->format->oformat->flags & AVFMT_GLOBALHEADER) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if ((code = avcodec_open2(audio, aac, nullptr)) < 0) return *why = "AAC encoder: " + av_reason(code), false;
        out->audio_stream = avformat_new_stream(out->format, nullptr);
        if (out->audio_stream == nullptr) return *why = "out of memory", false;
        avcodec_parameters_from_context(out->audio_stream->codecpar, audio);
        out->audio_stream->time_base = audio->time_base;

        out->sound = av_frame_alloc();
        if (out->sound == nullptr) return *why = "out of memory", false;
        out->sound->format = AV_SAMPLE_FMT_FLTP;
        out->sound->sample_rate = kSampleRate;
        out->sound->nb_samples = audio->frame_size;
        av_channel_layout_copy(&out->sound->ch_layout, &audio->ch_layout);
        if (av_frame_get_buffer(out->sound, 0) < 0) return *why = "out of memory", false;
    }

    for (AVFrame*& frame : out->ring) {
        frame = av_frame_alloc();
        if (frame == nullptr) return *why = "out of memory", false;
        frame->format = video->pix_fmt;
        frame->width = kPageWidth;
        frame->height = kPageHeight;
        if (av_frame_get_buffer(frame, 0) < 0) return *why = "out of memory", false;
    }
    out->packet = av_packet_alloc();
    // The shadow grid's per-pixel red and grey are what 4:2:0 loses first;
    // of swscale's filters, the area one with exact rounding keeps the most.
    out->scaler = sws_getContext(kPageWidth, kPageHeight, AV_PIX_FMT_0RGB32, kPageWidth, kPageHeight, video->pix_fmt,
                                 SWS_AREA | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (out->packet == nullptr || out->scaler == nullptr) return *why = "out of memory", false;
    const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(out->scaler, bt601, 1, bt601, 0, 0, 1 << 16, 1 << 16);

    av_dict_set(&out->format->metadata, "title", "Orvo", 0);
    if ((code = avio_open(&out->format->pb, out->part.c_str(), AVIO_FLAG_WRITE)) < 0) {
        return *why = av_reason(code), false;
    }
    out->opened = true;
    AVDictionary* muxer_options = nullptr;
    av_dict_set(&muxer_options, "movflags", "+faststart", 0);  // the index first: plays while it downloads
    code = avformat_write_header(out->format, &muxer_options);
    av_dict_free(&muxer_options);
    if (code < 0) return *why = av_reason(code), false;
    return true;
}

// CPU seconds each stage spent, for --stats. The H.264 encoder's share,
// spread over x264's threads, is what is left of the process's CPU time.
struct Stages {
    double frame_chain;
    double conversion;
    double video_calls;  // the main thread's part of the H.264 encoder
    double audio;
    double writing;
};

// Sends frame (null: the end) and writes every packet the encoder has ready.
bool encode(Output* out, AVCodecContext* codec, AVStream* stream, const AVFrame* frame, Stages* stages,
            double* encoder_seconds, std::string* why) {
    const double began = thread_cpu_seconds();
    int code = avcodec_send_frame(codec, frame);
    double writing = 0;
    while (code >= 0) {
        code = avcodec_receive_packet(codec, out->packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) break;
        if (code < 0) break;
        av_packet_rescale_ts(out->packet, codec->time_base, stream->time_base);
        out->packet->stream_index = stream->index;
        const double write_began = thread_cpu_seconds();
        code = av_interleaved_write_frame(out->format, out->packet);
        writing += thread_cpu_seconds() - write_began;
    }
    stages->writing += writing;
    *encoder_seconds += thread_cpu_seconds() - began - writing;
    if (code < 0 && code != AVERROR(EAGAIN) && code != AVERROR_EOF) return *why = av_reason(code), false;
    return true;
}

// The song on the video's timeline: sample k of the track is the song at
// clock time start + k x 1000 / 44100 ms; silence before clock time 0.
struct Track {
    openmpt_module* song;
    int64_t silent_samples;  // before the song's own start
    int64_t written;         // samples sent to the encoder so far
};

// Renders and discards the song up to clock time start, when it is positive:
// the exact way to any point, through the song's loops as well.
void skip_song_to(openmpt_module* song, int32_t start) {
    static float left[4096], right[4096];
    int64_t skip = (static_cast<int64_t>(start) * kSampleRate + 500) / 1000;
    while (skip > 0 && !stop_signalled.load()) {
        const size_t count = static_cast<size_t>(skip < 4096 ? skip : 4096);
        if (openmpt_module_read_float_stereo(song, kSampleRate, count, left, right) == 0) break;
        skip -= static_cast<int64_t>(count);
    }
}

// Encodes whole audio frames of the track up to sample until; at the
// track's end (last) the final frame may be short.
bool write_audio(Output* out, Track* track, int64_t until, bool last, Stages* stages, std::string* why) {
    const int frame_size = out->audio->frame_size;
    while (track->written < until) {
        const double began = thread_cpu_seconds();
        const int64_t left_over = until - track->written;
        if (left_over < frame_size && !last) break;
        const int count = static_cast<int>(left_over < frame_size ? left_over : frame_size);
        if (av_frame_make_writable(out->sound) < 0) return *why = "out of memory", false;
        out->sound->nb_samples = count;
        float* left = reinterpret_cast<float*>(out->sound->data[0]);
        float* right = reinterpret_cast<float*>(out->sound->data[1]);
        int silent = 0;
        if (track->written < track->silent_samples) {
            const int64_t s = track->silent_samples - track->written;
            silent = static_cast<int>(s < count ? s : count);
        }
        std::memset(left, 0, sizeof(float) * static_cast<size_t>(silent));
        std::memset(right, 0, sizeof(float) * static_cast<size_t>(silent));
        const size_t wanted = static_cast<size_t>(count - silent);
        const size_t got = wanted > 0 ? openmpt_module_read_float_stereo(track->song, kSampleRate, wanted,
                                                                         left + silent, right + silent)
                                      : 0;
        std::memset(left + silent + got, 0, sizeof(float) * (wanted - got));
        std::memset(right + silent + got, 0, sizeof(float) * (wanted - got));
        out->sound->pts = track->written;
        track->written += count;
        stages->audio += thread_cpu_seconds() - began;
        if (!encode(out, out->audio, out->audio_stream, out->sound, stages, &stages->audio, why)) return false;
    }
    return true;
}

// What the render thread and the main thread share: frames [consumed,
// produced) of the ring are ready to encode.
struct Ring {
    std::mutex lock;
    std::condition_variable changed;
    int64_t produced;
    int64_t consumed;
    bool quit;  // the main thread gives up: stop rendering
};

void render_frames(Output* out, Ring* ring, int32_t start, int32_t fps, int64_t frames, Stages* stages) {
    const Pixel* screen = frame_store::screen();
    const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(screen)};
    const int source_stride[1] = {kPageWidth * 4};
    for (int64_t n = 0; n < frames; ++n) {
        {
            std::unique_lock<std::mutex> held(ring->lock);
            ring->changed.wait(held, [&] { return ring->quit || ring->produced - ring->consumed < kRing; });
            if (ring->quit) return;
        }
        if (stop_signalled.load()) break;
        double began = thread_cpu_seconds();
        scene::render_frame(static_cast<int32_t>(start + n * 1000 / fps));
        const double rendered = thread_cpu_seconds();
        stages->frame_chain += rendered - began;
        began = rendered;
        AVFrame* frame = out->ring[n % kRing];
        if (av_frame_make_writable(frame) < 0) break;
        sws_scale(out->scaler, source, source_stride, 0, kPageHeight, frame->data, frame->linesize);
        stages->conversion += thread_cpu_seconds() - began;
        std::lock_guard<std::mutex> held(ring->lock);
        ++ring->produced;
        ring->changed.notify_all();
    }
    std::lock_guard<std::mutex> held(ring->lock);
    ring->quit = true;  // nothing more is coming
    ring->changed.notify_all();
}

// Each stage as frames per second of one core's CPU time, so the figures
// hold on a busy machine too; the whole capture by the wall clock.
void print_stats(int64_t frames, double wall, double cpu, const Stages& stages, bool audio) {
    const auto line = [&](const char* stage, double seconds, const char* where) {
        std::fprintf(stderr, "orvo-render:   %-14s %6.2f ms a frame = %7.1f fps on one core (%s)\n", stage,
                     seconds * 1000 / static_cast<double>(frames),
                     seconds > 0 ? static_cast<double>(frames) / seconds : 0.0, where);
    };
    std::fprintf(stderr, "orvo-render: %lld frames in %.2f s: %.1f fps for the whole capture, %.2f ms of CPU a frame\n",
                 static_cast<long long>(frames), wall, static_cast<double>(frames) / wall,
                 cpu * 1000 / static_cast<double>(frames));
    line("frame chain", stages.frame_chain, "render thread");
    line("RGB to YUV", stages.conversion, "render thread");
    const double others = stages.frame_chain + stages.conversion + stages.audio + stages.writing;
    line("H.264 encoder", cpu - others, "x264's threads and the main thread");
    if (audio) line("song and AAC", stages.audio, "main thread");
    line("MP4 writing", stages.writing, "main thread");
}

}  // namespace

int capture(const render_options::Options& options, const std::string& song_path) {
    std::string why;
    openmpt_module* song = load_song(song_path, &why);
    if (song == nullptr) std::fprintf(stderr, "orvo-render: no sound: \"%s\": %s\n", song_path.c_str(), why.c_str());

    int64_t milliseconds = options.duration_ms;
    if (milliseconds == 0) {
        if (song == nullptr) {
            std::fprintf(stderr, "orvo-render: give --duration: there is no song to take the length from\n");
            return 2;
        }
        milliseconds = static_cast<int64_t>(openmpt_module_get_duration_seconds(song) * 1000 + 0.5);
        if (milliseconds < 1) milliseconds = 1;
    }
    int64_t frames = 0;
    if (!render_options::count_frames(options.fps, milliseconds, options.start, &frames, &why)) {
        if (song != nullptr) openmpt_module_destroy(song);
        std::fprintf(stderr, "orvo-render: %s\n", why.c_str());
        return 2;
    }

    std::error_code ignored;
    if (std::filesystem::is_directory(options.video, ignored)) {
        if (song != nullptr) openmpt_module_destroy(song);
        std::fprintf(stderr, "orvo-render: can't write \"%s\": it is a directory\n", options.video.c_str());
        return 1;
    }
    // From the first byte of the file on, a stop signal ends the capture in
    // order: the file is finished or removed, never left broken.
    struct sigaction stop {};
    stop.sa_handler = on_stop_signal;
    stop.sa_flags = SA_RESTART;
    struct sigaction old_int {
    }, old_term{};
    sigaction(SIGINT, &stop, &old_int);
    sigaction(SIGTERM, &stop, &old_term);

    Output out{};
    av_log_set_level(AV_LOG_QUIET);  // failures are reported in orvo-render's own one line
    if (!open_output(options, song != nullptr, &out, &why)) {
        sigaction(SIGINT, &old_int, nullptr);
        sigaction(SIGTERM, &old_term, nullptr);
        close_output(&out);
        if (out.opened) std::remove(out.part.c_str());
        if (song != nullptr) openmpt_module_destroy(song);
        std::fprintf(stderr, "orvo-render: can't write \"%s\": %s\n", options.video.c_str(), why.c_str());
        return 1;
    }

    Track track{song, 0, 0};
    if (song != nullptr) {
        if (options.start > 0) skip_song_to(song, options.start);
        if (options.start < 0) track.silent_samples = (-static_cast<int64_t>(options.start) * kSampleRate + 500) / 1000;
    }

    const bool show_progress = isatty(STDERR_FILENO) != 0;
    char line[160];
    Stages rendering{}, encoding{};
    Ring ring{};
    const Clock::time_point began = Clock::now();
    const double cpu_began = process_cpu_seconds();
    std::thread renderer(render_frames, &out, &ring, options.start, options.fps, frames, &rendering);

    bool failed = false;
    int64_t done = 0;
    Clock::time_point drawn = began;
    while (done < frames) {
        {
            std::unique_lock<std::mutex> held(ring.lock);
            ring.changed.wait(held, [&] { return ring.produced > done || ring.quit; });
            if (ring.produced == done) break;  // the render thread stopped
        }
        AVFrame* frame = out.ring[done % kRing];
        frame->pts = done;
        failed = !encode(&out, out.video, out.video_stream, frame, &encoding, &encoding.video_calls, &why);
        if (!failed) {
            // Packets out: the encoder holds no reference to the ring's frame.
            std::lock_guard<std::mutex> held(ring.lock);
            ++ring.consumed;
            ring.changed.notify_all();
        }
        ++done;
        if (!failed && song != nullptr) {
            failed = !write_audio(&out, &track, done * kSampleRate / options.fps, false, &encoding, &why);
        }
        if (failed) break;
        if (show_progress && (seconds_since(drawn) >= 0.1 || done == frames)) {
            drawn = Clock::now();
            progress::format(line, sizeof line, done, frames, seconds_since(began));
            std::fprintf(stderr, "\r\033[Korvo-render: %s", line);
        }
    }
    {
        std::lock_guard<std::mutex> held(ring.lock);
        ring.quit = true;
        ring.changed.notify_all();
    }
    renderer.join();
    if (show_progress) std::fputc('\n', stderr);

    // The end of both tracks: the sound as long as the frames written.
    const bool interrupted = !failed && done < frames && stop_signalled.load();
    if (!failed && done < frames && !interrupted) failed = true, why = "out of memory";
    if (!failed && done > 0) {
        if (song != nullptr) {
            const int64_t end = (done * kSampleRate + options.fps / 2) / options.fps;
            failed = !write_audio(&out, &track, end, true, &encoding, &why) ||
                     !encode(&out, out.audio, out.audio_stream, nullptr, &encoding, &encoding.audio, &why);
        }
        failed = failed || !encode(&out, out.video, out.video_stream, nullptr, &encoding, &encoding.video_calls, &why);
        int code = 0;
        if (!failed && (code = av_write_trailer(out.format)) < 0) failed = true, why = av_reason(code);
        if (!failed && (code = avio_closep(&out.format->pb)) < 0) failed = true, why = av_reason(code);
    }
    close_output(&out);
    if (song != nullptr) openmpt_module_destroy(song);
    const double wall = seconds_since(began), cpu = process_cpu_seconds() - cpu_began;
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGTERM, &old_term, nullptr);

    if (!failed && done > 0 && std::rename(out.part.c_str(), options.video.c_str()) != 0) {
        failed = true;
        why = std::strerror(errno);
    }
    if (failed || done == 0) std::remove(out.part.c_str());
    if (interrupted) {
        if (failed || done == 0) {
            std::fprintf(stderr, "orvo-render: interrupted after %lld of %lld frames: removed \"%s\"%s%s\n",
                         static_cast<long long>(done), static_cast<long long>(frames), options.video.c_str(),
                         failed ? ", it could not be finished: " : "", failed ? why.c_str() : "");
        } else {
            std::fprintf(stderr,
                         "orvo-render: interrupted: \"%s\" holds the first %lld of %lld frames (%.3f s), playable\n",
                         options.video.c_str(), static_cast<long long>(done), static_cast<long long>(frames),
                         static_cast<double>(done) / options.fps);
        }
        return kInterrupted;
    }
    if (failed) {
        std::fprintf(stderr, "orvo-render: can't write \"%s\": %s\n", options.video.c_str(), why.c_str());
        return 1;
    }
    if (options.stats) {
        Stages all = encoding;
        all.frame_chain = rendering.frame_chain;
        all.conversion = rendering.conversion;
        print_stats(frames, wall, cpu, all, song != nullptr);
    }
    return 0;
}

}  // namespace video_capture
