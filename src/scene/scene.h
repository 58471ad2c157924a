// The scene: its start-up pictures and one frame of it from the clock time
// alone (the per-frame parameters and the four effects in frame order). The
// demo and the headless renderer both call load_pictures and render_frame, so
// they draw the same frame for the same time and frame index (the shadow
// grid's noise seed, held here, advances once per frame).
#pragma once

#include <cstdint>

namespace scene {

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

// The pictures, in start-up order: slot 0 from "02.jpg" with the mask
// "02a.jpg" into the overlay page, slot 1 from "king.jpg" into the picture
// page. directory is prefixed to each name ("" for the working directory).
// A picture that can't be loaded ends the process with exit code 1.
void load_pictures(const char* directory);

// Rotozoom the picture page into the rotozoom target, shadow grid from there
// into the screen, radial zoom on the screen, overlay page onto the screen.
// The screen reference must be set.
void render_frame(int32_t t);

// The shadow grid's noise seed, carried from frame to frame (0 at program
// start). Setting it is for tools and tests that replay a run from a known
// point.
uint32_t shadow_grid_seed();
void set_shadow_grid_seed(uint32_t seed);

}  // namespace scene
