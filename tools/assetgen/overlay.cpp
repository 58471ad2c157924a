// "02.jpg" and its mask "02a.jpg": a bevelled gunmetal frame with gold inlay,
// medallions in the corners and a title plate reading ORVO, all drawn as
// signed distance fields. Its soft shadow falls on the scene, so the mask
// runs from 0 in the open middle through the shadow's greys to 255.
#include <cmath>

#include "assetgen.h"
#include "shapes.h"

namespace assetgen {
namespace {

constexpr float kCentreX = kOverlayWidth / 2.0f;
constexpr float kCentreY = kOverlayHeight / 2.0f;
constexpr float kPlateY = 36.0f;  // title plate centre, across the top band
const Colour kGold{0.98f, 0.78f, 0.36f};
const Colour kGunmetal{0.20f, 0.25f, 0.40f};
const Colour kNavy{0.05f, 0.07f, 0.24f};

// The band around the picture: outside the inner rounded box, inside the outer.
float band_distance(float x, float y) {
    const float outer = sd_round_box(x - kCentreX, y - kCentreY, 316.0f, 236.0f, 20.0f);
    const float inner = sd_round_box(x - kCentreX, y - kCentreY, 294.0f, 214.0f, 12.0f);
    return std::max(outer, -inner);
}

const float kCorners[4][2] = {{30.0f, 30.0f}, {610.0f, 30.0f}, {30.0f, 450.0f}, {610.0f, 450.0f}};

float medallion_distance(float x, float y) {
    float d = 1e9f;
    for (const auto& c : kCorners) d = std::min(d, length2(x - c[0], y - c[1]) - 25.0f);
    return d;
}

float plate_distance(float x, float y) { return sd_round_box(x - kCentreX, y - kPlateY, 120.0f, 30.0f, 14.0f); }

// Letters are 40 pixels tall with 8-pixel strokes, in coordinates centred
// on each letter's box.
float letter_o(float x, float y) { return std::fabs(sd_round_box(x, y, 12.0f, 16.0f, 11.0f)) - 4.0f; }
float letter_r(float x, float y) {
    const float stem = sd_segment(x, y, -12.0f, -16.0f, -12.0f, 16.0f) - 4.0f;
    const float bowl = x > -12.0f ? std::fabs(sd_round_box(x + 1.0f, y + 7.0f, 11.0f, 9.0f, 9.0f)) - 4.0f : 1e9f;
    const float leg = sd_segment(x, y, 0.0f, 2.0f, 12.0f, 16.0f) - 4.0f;
    return std::min({stem, bowl, leg});
}
float letter_v(float x, float y) {
    return std::min(sd_segment(x, y, -14.0f, -16.0f, 0.0f, 16.0f), sd_segment(x, y, 14.0f, -16.0f, 0.0f, 16.0f)) - 4.0f;
}
float title_distance(float x, float y) {
    const float ly = y - kPlateY;
    return std::min({letter_o(x - (kCentreX - 72.0f), ly), letter_r(x - (kCentreX - 24.0f), ly),
                     letter_v(x - (kCentreX + 24.0f), ly), letter_o(x - (kCentreX + 72.0f), ly)});
}

// Lit bevel: the surface tilts toward the outside within `width` pixels of
// an edge of the shape given by its distance function.
template <typename Distance> float bevel_light(Distance distance, float x, float y, float width) {
    const float d = distance(x, y);
    if (d < -width) return 0.75f;
    const float gx = distance(x + 0.5f, y) - distance(x - 0.5f, y);
    const float gy = distance(x, y + 0.5f) - distance(x, y - 0.5f);
    // Light from the upper left: faces tilted that way are bright.
    return clamp01(0.75f - 0.9f * (gx + gy) * 0.7071f);
}

// Colour and coverage of everything opaque at one point.
float frame(float x, float y, Colour* colour) {
    const float band = band_distance(x, y);
    const float medallion = medallion_distance(x, y);
    const float plate = plate_distance(x, y);
    const float shape = std::min({band, medallion, plate});
    const float coverage = cover(shape);
    if (coverage <= 0.0f) return 0.0f;

    Colour c;
    if (plate < 0.5f) {
        // Navy plate with a gold rim, gold letters with a dark outline.
        const float letters = title_distance(x, y);
        c = mix(kNavy * 1.4f, kNavy * 0.7f, clamp01((y - kPlateY + 30.0f) / 60.0f));
        c = mix(c, kGold * bevel_light(plate_distance, x, y, 4.0f), cover(std::fabs(plate + 2.5f) - 2.0f));
        c = mix(c, Colour{0.01f, 0.01f, 0.05f}, cover(letters - 2.0f));
        c = mix(c, kGold * (0.55f + 0.6f * bevel_light(title_distance, x, y, 3.0f)), cover(letters));
    } else if (medallion < 0.5f) {
        float md = 1e9f, dx = 0.0f, dy = 0.0f;
        for (const auto& k : kCorners) {
            const float d = length2(x - k[0], y - k[1]);
            if (d < md) md = d, dx = x - k[0], dy = y - k[1];
        }
        c = mix(kNavy, kGold * bevel_light(medallion_distance, x, y, 5.0f), cover(20.0f - md));
        const float diamond = (std::fabs(dx) + std::fabs(dy) - 11.0f) * 0.7071f;
        c = mix(c, kGold * (1.1f - 0.03f * (dx + dy)), cover(diamond));
    } else {
        // Gunmetal band with a gold line along its middle.
        c = kGunmetal * (0.45f + 0.8f * bevel_light(band_distance, x, y, 6.0f));
        c = mix(c, kGold * 0.9f, cover(std::fabs(band + 11.0f) - 1.2f));
    }
    *colour = c;
    return coverage;
}

}  // namespace

void draw_overlay(Picture* colour, Picture* mask) {
    *colour = Picture{kOverlayWidth, kOverlayHeight, 3, {}};
    *mask = Picture{kOverlayWidth, kOverlayHeight, 1, {}};
    colour->bytes.resize(static_cast<size_t>(kOverlayWidth) * kOverlayHeight * 3);
    mask->bytes.resize(static_cast<size_t>(kOverlayWidth) * kOverlayHeight);
    static const float kSamples[4][2] = {{-0.375f, -0.125f}, {0.125f, -0.375f}, {0.375f, 0.125f}, {-0.125f, 0.375f}};
    for (int y = 0; y < kOverlayHeight; ++y) {
        for (int x = 0; x < kOverlayWidth; ++x) {
            // Premultiplied sums: the frame over its own black shadow.
            Colour sum{0.0f, 0.0f, 0.0f};
            float alpha = 0.0f;
            for (const auto& s : kSamples) {
                const float px = static_cast<float>(x) + 0.5f + s[0], py = static_cast<float>(y) + 0.5f + s[1];
                Colour c{0.0f, 0.0f, 0.0f};
                const float a = frame(px, py, &c);
                const float shadow_shape =
                    std::min(band_distance(px - 5.0f, py - 6.0f), plate_distance(px - 5.0f, py - 6.0f));
                const float shadow = 0.6f * (1.0f - smoothstep(-3.0f, 9.0f, shadow_shape));
                sum = sum + c * a;
                alpha += a + (1.0f - a) * shadow;
            }
            alpha *= 0.25f;
            sum = sum * 0.25f;
            const float unpremultiply = alpha > 0.0f ? 1.0f / alpha : 0.0f;
            const size_t n = static_cast<size_t>(y) * kOverlayWidth + x;
            colour->bytes[n * 3 + 0] = to_byte(sum.r * unpremultiply);
            colour->bytes[n * 3 + 1] = to_byte(sum.g * unpremultiply);
            colour->bytes[n * 3 + 2] = to_byte(sum.b * unpremultiply);
            mask->bytes[n] = to_byte(alpha);
        }
    }
}

}  // namespace assetgen
