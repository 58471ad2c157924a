// The video form's --scale: orvo-render's own nearest-neighbour copy against
// libswscale's point scaler on the same work, with and without the colour
// conversion that follows. Argument: the scale.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <vector>

#include "core/frame_store.h"
#include "tools/render/frame_scaler.h"

namespace {

std::vector<uint32_t> varied_page() {
    std::vector<uint32_t> pixels(kPagePixels);
    uint32_t h = 7;
    for (uint32_t& p : pixels) {
        h = h * 1664525u + 1013904223u;
        p = h;
    }
    return pixels;
}

AVFrame* frame_of(AVPixelFormat format, int width, int height) {
    AVFrame* frame = av_frame_alloc();
    frame->format = format;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame, 0);
    return frame;
}

// The conversion as the video form sets it up: area filter, exact rounding,
// BT.709 (every enlarged size is above standard definition).
SwsContext* converter(int in_width, int in_height, AVPixelFormat out, int out_width, int out_height, int flags) {
    SwsContext* context = sws_getContext(in_width, in_height, AV_PIX_FMT_0RGB32, out_width, out_height, out, flags,
                                         nullptr, nullptr, nullptr);
    const int* matrix = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(context, matrix, 1, matrix, 0, 0, 1 << 16, 1 << 16);
    return context;
}

void BM_Enlarge_Own(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    const std::vector<uint32_t> page = varied_page();
    AVFrame* out = frame_of(AV_PIX_FMT_0RGB32, kPageWidth * scale, kPageHeight * scale);
    for (auto _ : state) {
        frame_scaler::enlarge(page.data(), kPageWidth, kPageHeight, scale, out->data[0], out->linesize[0]);
        benchmark::ClobberMemory();
    }
    av_frame_free(&out);
}

void BM_Enlarge_SwscalePoint(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    const std::vector<uint32_t> page = varied_page();
    AVFrame* out = frame_of(AV_PIX_FMT_0RGB32, kPageWidth * scale, kPageHeight * scale);
    SwsContext* context = sws_getContext(kPageWidth, kPageHeight, AV_PIX_FMT_0RGB32, out->width, out->height,
                                         AV_PIX_FMT_0RGB32, SWS_POINT, nullptr, nullptr, nullptr);
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(page.data())};
    const int stride[1] = {kPageWidth * 4};
    for (auto _ : state) {
        sws_scale(context, in, stride, 0, kPageHeight, out->data, out->linesize);
        benchmark::ClobberMemory();
    }
    sws_freeContext(context);
    av_frame_free(&out);
}

// What the frame thread does for a 4:2:0 file: the copy, then the conversion
// at the enlarged size.
void BM_EnlargeAndConvert_Own(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    const std::vector<uint32_t> page = varied_page();
    const int width = kPageWidth * scale, height = kPageHeight * scale;
    AVFrame* wide = frame_of(AV_PIX_FMT_0RGB32, width, height);
    AVFrame* out = frame_of(AV_PIX_FMT_YUV420P, width, height);
    SwsContext* context = converter(width, height, AV_PIX_FMT_YUV420P, width, height, SWS_AREA | SWS_ACCURATE_RND);
    for (auto _ : state) {
        frame_scaler::enlarge(page.data(), kPageWidth, kPageHeight, scale, wide->data[0], wide->linesize[0]);
        sws_scale(context, wide->data, wide->linesize, 0, height, out->data, out->linesize);
        benchmark::ClobberMemory();
    }
    sws_freeContext(context);
    av_frame_free(&wide);
    av_frame_free(&out);
}

// The same in one call: libswscale's point scaler converting as it enlarges.
void BM_EnlargeAndConvert_SwscalePoint(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    const std::vector<uint32_t> page = varied_page();
    AVFrame* out = frame_of(AV_PIX_FMT_YUV420P, kPageWidth * scale, kPageHeight * scale);
    SwsContext* context =
        converter(kPageWidth, kPageHeight, AV_PIX_FMT_YUV420P, out->width, out->height, SWS_POINT | SWS_ACCURATE_RND);
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(page.data())};
    const int stride[1] = {kPageWidth * 4};
    for (auto _ : state) {
        sws_scale(context, in, stride, 0, kPageHeight, out->data, out->linesize);
        benchmark::ClobberMemory();
    }
    sws_freeContext(context);
    av_frame_free(&out);
}

BENCHMARK(BM_Enlarge_Own)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Enlarge_SwscalePoint)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnlargeAndConvert_Own)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnlargeAndConvert_SwscalePoint)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace
