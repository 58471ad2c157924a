// One frame of the scene, from the clock time alone: the per-frame parameters
// and the four effects in frame order. The demo and the headless renderer
// both call render_frame, so they draw the same frame for the same time and
// frame index (the shadow grid's noise seed advances once per frame).
#pragma once

#include <cstdint>

namespace frame_chain {

struct FrameParameters {
    double phase;          // t * 0.0005, radians
    float s;               // sin(phase) * 200 + 220, 20..420
    float c;               // cos(phase) * 200 + 220, 20..420
    float angle;           // t * 0.0001, radians
    float zoom;            // s * 0.01f + 2.0f, 2.2..6.2
    int32_t light_column;  // s truncated toward zero
    int32_t light_row;     // c truncated toward zero
};

inline constexpr float kRadialZoomFactor = 0.9955f;

// Parameters at elapsed time t (milliseconds; negative values are used as is).
FrameParameters frame_parameters(int32_t t);

// Rotozoom page 3 -> page 2, shadow grid page 2 -> screen, radial zoom on the
// screen, overlay page 1 onto the screen. The screen reference must be set.
void render_frame(int32_t t);

}  // namespace frame_chain
