// orvo-render: the demo's start-up picture path and frame chain without a
// screen, writing each frame as a PNG file, or all of them with the song as
// one video. Frames are rendered in one run, in order, so frame n is what the
// demo shows as its n-th frame at that time.
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/frame_store.h"
#include "data/data.h"
#include "scene/scene.h"
#include "simd/simd.h"
#include "tools/render/render_options.h"
#include "tools/render/video_capture.h"

namespace {

// Progress is only worth a line on a terminal and for more than a few frames.
constexpr size_t kProgressFrames = 10;

std::string in_directory(const std::string& directory, const char* name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

// A frame is written whole under a temporary name and then renamed, so a
// failed write (a full disk) never leaves a truncated frame-NNNNNN.png where
// a script that globs the frames would pick it up.
struct FrameFile {
    std::string path;     // the frame's name
    std::string partial;  // where it is written until whole
    FILE* file;
};

[[noreturn]] void fail_frame(FrameFile* frame, const char* why) {
    if (frame->file != nullptr) std::fclose(frame->file);
    std::remove(frame->partial.c_str());
    std::fprintf(stderr, "orvo-render: can't write \"%s\": %s\n", frame->path.c_str(), why);
    std::exit(1);
}

[[noreturn]] void on_png_error(png_structp png, png_const_charp message) {
    fail_frame(static_cast<FrameFile*>(png_get_error_ptr(png)), message);
}

void on_png_warning(png_structp, png_const_charp) {}

// 640 x 480, 8-bit RGB: the screen page's red, green and blue; its top byte
// is not part of the picture.
void write_frame(const std::string& path, const Pixel* page) {
    FrameFile frame{path, path + ".part", nullptr};
    frame.file = std::fopen(frame.partial.c_str(), "wb");
    if (frame.file == nullptr) {
        std::fprintf(stderr, "orvo-render: can't open \"%s\" for writing: %s\n", path.c_str(), std::strerror(errno));
        std::exit(1);
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &frame, on_png_error, on_png_warning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) fail_frame(&frame, "out of memory");
    png_init_io(png, frame.file);
    // Frames are for inspection and capture: fast compression is worth more
    // than the last few per cent of file size.
    png_set_compression_level(png, 2);
    png_set_IHDR(png, info, kPageWidth, kPageHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_byte row[kPageWidth * 3];
    for (int y = 0; y < kPageHeight; ++y) {
        const Pixel* in = page + y * kPageWidth;
        for (int x = 0; x < kPageWidth; ++x) {
            row[x * 3 + 0] = static_cast<png_byte>(in[x] >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(in[x] >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(in[x]);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    const int closed = std::fclose(frame.file);
    frame.file = nullptr;
    if (closed != 0) fail_frame(&frame, std::strerror(errno));
    // std::filesystem's rename replaces an older frame on Windows too.
    std::error_code renamed;
    std::filesystem::rename(frame.partial, path, renamed);
    if (renamed) fail_frame(&frame, renamed.message().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    render_options::Options options;
    std::string error;
    switch (render_options::parse_arguments(argc, argv, &options, &error)) {
        case render_options::kHelp: std::fputs(render_options::usage(), stdout); return 0;
        case render_options::kVersion: std::puts("orvo-render " ORVO_VERSION); return 0;
        case render_options::kBadArguments:
            std::fprintf(stderr, "orvo-render: %s\n%s", error.c_str(), render_options::usage());
            return 2;
        case render_options::kRender: break;
    }

    if (!options.video.empty() && video_capture::missing() != nullptr) {
        std::fprintf(stderr, "orvo-render: this build can't write video: %s\n", video_capture::missing());
        return 2;
    }

    simd::choose_at_start_up("orvo-render");
    std::printf("orvo-render: path %s\n", simd::path_name(simd::active_path()));
    std::fflush(stdout);

    // The demo's start-up, from the screen reference to the pictures; a bad
    // picture ends the run here with its line and exit code 1.
    frame_store::point_screen_at_page0();
    frame_store::clear_page(frame_store::screen());
    frame_store::clear_slots();
    if (options.assets.empty()) options.assets = data::asset_directory();
    scene::load_pictures(options.assets.c_str());

    if (!options.video.empty()) {
        const int code = video_capture::capture(options, in_directory(options.assets, "s.s3m"));
        frame_store::free_slots();
        return code;
    }

    if (!options.out.empty()) {
        std::error_code failed;
        std::filesystem::create_directories(options.out, failed);
        if (failed) {
            std::fprintf(stderr, "orvo-render: can't create \"%s\": %s\n", options.out.c_str(),
                         failed.message().c_str());
            return 1;
        }
    }

    const size_t count = options.times.size();
    const bool progress = count > kProgressFrames && isatty(STDERR_FILENO);
    char name[32];
    for (size_t n = 0; n < count; ++n) {
        scene::render_frame(options.times[n]);
        std::snprintf(name, sizeof name, "frame-%06zu.png", n);
        write_frame(in_directory(options.out, name), frame_store::screen());
        if (progress) std::fprintf(stderr, "\rorvo-render: frame %zu of %zu", n + 1, count);
    }
    if (progress) std::fputc('\n', stderr);

    frame_store::free_slots();
    return 0;
}
