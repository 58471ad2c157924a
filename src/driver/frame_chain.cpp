// The frame chain: parameters at exactly the precisions the picture depends on.
#include "driver/frame_chain.h"

#include <cmath>

#include "driver/frame_store.h"
#include "effects/effects.h"

namespace frame_chain {

FrameParameters frame_parameters(int32_t t) {
    FrameParameters p;
    p.phase = t * 0.0005;
    p.s = static_cast<float>(std::sin(p.phase) * 200 + 220);
    p.c = static_cast<float>(std::cos(p.phase) * 200 + 220);
    p.angle = static_cast<float>(t * 0.0001);
    p.zoom = p.s * 0.01f + 2.0f;
    p.light_column = static_cast<int32_t>(p.s);
    p.light_row = static_cast<int32_t>(p.c);
    return p;
}

void render_frame(int32_t t) {
    const FrameParameters p = frame_parameters(t);
    Pixel* screen = frame_store::screen();
    effects::rotozoom(frame_store::page(3), frame_store::page(2), p.zoom, p.angle);
    effects::shadow_grid(frame_store::page(2), screen, p.light_column, p.light_row);
    effects::radial_zoom(screen, kRadialZoomFactor);
    effects::alpha_overlay(frame_store::page(1), screen);
}

}  // namespace frame_chain
