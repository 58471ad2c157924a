// The scene: parameters at exactly the precisions the picture depends on, the
// start-up pictures, the frame chain and the noise seed it carries.
#include "scene/scene.h"

#include <cmath>
#include <string>

#include "core/frame_store.h"
#include "effects/effects.h"
#include "image/image.h"

namespace scene {
namespace {

struct SceneState {
    uint32_t shadow_grid_seed;  // 0 at program start, never reset by the demo
};
SceneState state;

std::string in_directory(const char* directory, const char* name) {
    std::string path = directory;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + name;
}

}  // namespace

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

void load_pictures(const char* directory) {
    const std::string colour = in_directory(directory, "02.jpg");
    const std::string mask = in_directory(directory, "02a.jpg");
    const std::string king = in_directory(directory, "king.jpg");
    image::load_colour_image_with_alpha_mask(colour.c_str(), mask.c_str(), 0);
    image::resample_slot_into_page(0, frame_store::kOverlayPage);
    image::load_colour_image(king.c_str(), 1);
    image::resample_slot_into_page(1, frame_store::kPicturePage);
}

void render_frame(int32_t t) {
    const FrameParameters p = frame_parameters(t);
    Pixel* screen = frame_store::screen();
    Pixel* rotozoomed = frame_store::page(frame_store::kRotozoomTargetPage);
    effects::rotozoom(frame_store::page(frame_store::kPicturePage), rotozoomed, p.zoom, p.angle);
    effects::shadow_grid(rotozoomed, screen, p.light_column, p.light_row, state.shadow_grid_seed);
    effects::radial_zoom(screen, kRadialZoomFactor);
    effects::alpha_overlay(frame_store::page(frame_store::kOverlayPage), screen);
}

uint32_t shadow_grid_seed() { return state.shadow_grid_seed; }
void set_shadow_grid_seed(uint32_t seed) { state.shadow_grid_seed = seed; }

}  // namespace scene
