// "king.jpg": a gold chess king with a blue velvet cap, jewels and pearls, on a
// marble checkerboard under a blue sunburst. The demo rotozooms the middle of
// this picture and reads its blue channel as a shade map, so the middle is
// busy in every channel: gold (little blue) against blue sky, pearls and
// sapphires (much blue), fluting and highlights.
#include <cmath>

#include "assetgen.h"
#include "shapes.h"

namespace assetgen {
namespace {

constexpr float kPi = 3.14159265f;
constexpr float kAxis = 400.0f;      // the king's vertical axis
constexpr float kHorizon = 430.0f;   // floor meets sky
constexpr float kFootY = 562.0f;     // bottom of the plinth
constexpr float kCrownTop = 184.0f;  // crown rim between its points
constexpr float kCrownFoot = 258.0f;

const Colour kGold{1.0f, 0.76f, 0.34f};
const Colour kRuby{0.78f, 0.05f, 0.12f};
const Colour kSapphire{0.10f, 0.22f, 0.95f};
const Colour kGoldReflection{0.92f, 0.72f, 0.40f};

struct Vec3 {
    float x, y, z;
};
Vec3 normalize(Vec3 v) {
    const float n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / n, v.y / n, v.z / n};
}
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Light from the upper left, in front; y points down as in the picture.
const Vec3 kLight = normalize({-0.55f, -0.65f, 0.55f});
const Vec3 kHalf = normalize({kLight.x, kLight.y, kLight.z + 1.0f});

// What a polished surface mirrors: a warm horizon under a blue sky with a
// bright window up to the left, and the dim floor below.
Colour environment(Vec3 r) {
    if (r.y < 0.0f) {
        Colour sky = mix(Colour{0.95f, 0.62f, 0.42f}, Colour{0.18f, 0.24f, 0.75f}, clamp01(-r.y * 1.6f));
        if (r.x < -0.25f && r.y < -0.35f) sky = sky + Colour{0.9f, 0.9f, 1.0f} * 0.8f;
        return sky;
    }
    return mix(Colour{0.45f, 0.36f, 0.42f}, Colour{0.12f, 0.12f, 0.25f}, clamp01(r.y * 2.0f));
}

enum class Material { Gold, Ruby, Velvet, Pearl, Sapphire, GoldInside };

Colour shade(Material material, Vec3 n) {
    const float diffuse = std::max(0.0f, dot(n, kLight));
    const float facing = std::max(0.0f, n.z);
    const Vec3 reflected{2.0f * n.z * n.x, 2.0f * n.z * n.y, 2.0f * n.z * n.z - 1.0f};
    const float highlight = std::max(0.0f, dot(n, kHalf));
    switch (material) {
        case Material::Gold:
            // Polished: the mirrored sky keeps some of its blue.
            return kGold * (0.08f + 0.42f * diffuse) + environment(reflected) * kGoldReflection +
                   Colour{1.0f, 0.95f, 0.85f} * std::pow(highlight, 60.0f);
        case Material::GoldInside: return kGold * (0.10f + 0.25f * facing);
        case Material::Ruby:
            return kRuby * (0.15f + 0.75f * diffuse) + environment(reflected) * 0.15f +
                   Colour{1.0f, 0.85f, 0.85f} * std::pow(highlight, 40.0f);
        case Material::Velvet:  // royal blue; bright rim, dark core: the look of pile
            return Colour{0.10f, 0.16f, 0.75f} * (0.15f + 0.6f * diffuse) +
                   Colour{0.45f, 0.55f, 1.0f} * std::pow(1.0f - facing, 3.0f) * 0.6f;
        case Material::Pearl:
            return Colour{0.88f, 0.88f, 0.95f} * (0.5f + 0.5f * diffuse) + environment(reflected) * 0.25f +
                   Colour{1.0f, 1.0f, 1.0f} * std::pow(highlight, 30.0f);
        case Material::Sapphire:
            return kSapphire * (0.2f + 0.8f * diffuse) + Colour{0.6f, 0.8f, 1.0f} * std::pow(highlight, 25.0f) +
                   Colour{0.1f, 0.3f, 0.9f} * std::pow(1.0f - facing, 2.0f);
    }
    return {};
}

// Bulge of a rounded ring between y0 and y1: 0 at its ends, 1 in its middle.
float bulge(float y, float y0, float y1) {
    const float t = (2.0f * y - y0 - y1) / (y1 - y0);
    return t <= -1.0f || t >= 1.0f ? 0.0f : std::sqrt(1.0f - t * t);
}

// The turned body below the crown: radius at height y (0 where there is no
// body) and which material the widest part there is made of.
float body_radius(float y, Material* material) {
    float r = 0.0f;
    *material = Material::Gold;
    if (y >= 250.0f && y <= 270.0f) r = std::max(r, 52.0f + 10.0f * bulge(y, 250.0f, 270.0f));
    if (y >= 268.0f && y <= 332.0f) {
        const float t = (y - 268.0f) / 64.0f;
        r = std::max(r, 36.0f + 12.0f * t * t);
    }
    if (y >= 320.0f && y <= 348.0f) r = std::max(r, 58.0f + 12.0f * bulge(y, 320.0f, 348.0f));
    if (y >= 344.0f && y <= 500.0f) {
        const float t = (y - 344.0f) / 156.0f;
        r = std::max(r, 42.0f + 54.0f * std::pow(t, 1.8f));
    }
    if (y >= 384.0f && y <= 404.0f) {
        const float t = (y - 344.0f) / 156.0f;
        const float sash = 42.0f + 54.0f * std::pow(t, 1.8f) + 7.0f * bulge(y, 384.0f, 404.0f);
        if (sash > r) {
            r = sash;
            *material = Material::Ruby;
        }
    }
    if (y >= 490.0f && y <= 518.0f) r = std::max(r, 94.0f + 14.0f * bulge(y, 490.0f, 518.0f));
    if (y >= 514.0f && y <= 548.0f) r = std::max(r, 110.0f + 12.0f * bulge(y, 514.0f, 548.0f));
    if (y >= 544.0f && y <= kFootY) r = std::max(r, 126.0f - 6.0f * std::pow((y - 544.0f) / 18.0f, 4.0f));
    return r;
}

float crown_radius(float y) { return mix(84.0f, 56.0f, (y - 180.0f) / (kCrownFoot - 180.0f)); }

// Eight points around the crown, half a step off the front so that none
// hides behind the cross; the rim rises to each in a curved spike.
constexpr int kCrownPoints = 8;
float point_angle(int k) { return (static_cast<float>(k) + 0.5f) * 2.0f * kPi / kCrownPoints; }
float crown_rim(float angle) {
    const float step = 2.0f * kPi / kCrownPoints;
    const float nearest = (std::round(angle / step - 0.5f) + 0.5f) * step;
    const float spike = std::max(0.0f, 1.0f - std::fabs(angle - nearest) / (step * 0.5f));
    return kCrownTop - 40.0f * std::pow(spike, 2.2f);
}

// A sphere of radius r at (cx, cy) with its material, if (x, y) is on it.
bool sphere(float x, float y, float cx, float cy, float r, Material material, Colour* out) {
    const float dx = (x - cx) / r, dy = (y - cy) / r;
    const float d2 = dx * dx + dy * dy;
    if (d2 >= 1.0f) return false;
    *out = shade(material, {dx, dy, std::sqrt(1.0f - d2)});
    return true;
}

// The cross on top: two bars with a bevelled edge 6 pixels wide.
float cross_distance(float x, float y) {
    const float upright = sd_round_box(x - kAxis, y - 104.0f, 11.0f, 46.0f, 3.0f);
    const float arm = sd_round_box(x - kAxis, y - 92.0f, 36.0f, 11.0f, 3.0f);
    return std::min(upright, arm);
}

// The king alone: true and its colour where (x, y) falls on it.
bool king(float x, float y, Colour* out) {
    // Cross, then the velvet cap it stands on, drawn back to front.
    if (y < 160.0f) {
        const float d = cross_distance(x, y);
        if (d < 0.0f) {
            const float gx = cross_distance(x + 0.5f, y) - cross_distance(x - 0.5f, y);
            const float gy = cross_distance(x, y + 0.5f) - cross_distance(x, y - 0.5f);
            const float slope = d > -6.0f ? 0.8f : 0.0f;
            *out = shade(Material::Gold, normalize({gx * slope, gy * slope, 1.0f}));
            return true;
        }
    }
    if (y >= 128.0f && y < kCrownFoot + 1.0f) {
        const float rc = crown_radius(std::max(y, 180.0f));
        const float u = (x - kAxis) / rc;
        bool in_crown = false;
        if (std::fabs(u) < 1.0f && y >= 140.0f) {
            const float front = std::asin(u);
            const float back = kPi - front;
            if (y >= crown_rim(front)) {
                const float slope = (84.0f - 56.0f) / (kCrownFoot - 180.0f);
                Vec3 n = normalize({u, -slope, std::sqrt(1.0f - u * u)});
                *out = shade(Material::Gold, n);
                // A band of jewels between the points, sapphire and ruby in turn.
                for (int k = 0; k < kCrownPoints; ++k) {
                    const float a = static_cast<float>(k) * 2.0f * kPi / kCrownPoints;
                    const float c = std::cos(a);
                    if (c < 0.15f) continue;
                    const float jx = kAxis + crown_radius(226.0f) * std::sin(a);
                    const float dx = (x - jx) / (9.0f * c), dy = (y - 226.0f) / 9.0f;
                    if (dx * dx + dy * dy < 1.0f) {
                        const Vec3 jn = normalize(
                            {dx * 0.8f + std::sin(a) * 0.5f, dy * 0.8f, std::sqrt(1.0f - dx * dx - dy * dy) + 0.2f});
                        *out = shade(k % 2 == 0 ? Material::Sapphire : Material::Ruby, jn);
                    }
                }
                // Engraved rings above and below the jewels.
                if (std::fabs(y - 208.0f) < 1.5f || std::fabs(y - 244.0f) < 1.5f) *out = *out * 0.45f;
                in_crown = true;
            } else if (y >= crown_rim(back) && y >= 150.0f) {
                *out = shade(Material::GoldInside, {0.0f, 0.0f, std::fabs(u)});
                in_crown = true;
            }
        }
        if (in_crown) {
            // Pearls on the front points sit in front of everything else.
            for (int k = 0; k < kCrownPoints; ++k) {
                const float a = point_angle(k);
                if (std::cos(a) < 0.0f) continue;
                const float px = kAxis + crown_radius(180.0f) * std::sin(a);
                if (sphere(x, y, px, kCrownTop - 45.0f, 8.0f, Material::Pearl, out)) return true;
            }
            return true;
        }
        for (int k = 0; k < kCrownPoints; ++k) {
            const float a = point_angle(k);
            const float px = kAxis + crown_radius(180.0f) * std::sin(a);
            if (sphere(x, y, px, kCrownTop - 45.0f, 8.0f, Material::Pearl, out)) return true;
        }
        if (sphere(x, y, kAxis, 206.0f, 64.0f, Material::Velvet, out) && y < 206.0f) return true;
    }

    // The turned body: a surface of revolution whose normal comes from the
    // profile's slope; vertical fluting on the gold.
    Material material;
    const float r = body_radius(y, &material);
    if (r <= 0.0f || std::fabs(x - kAxis) >= r) return false;
    Material dummy;
    const float slope = std::clamp((body_radius(y + 0.7f, &dummy) - body_radius(y - 0.7f, &dummy)) / 1.4f, -4.0f, 4.0f);
    const float u = std::clamp((x - kAxis) / r, -0.999f, 0.999f);
    const float angle = std::asin(u);
    float nx = u;
    if (material == Material::Gold && y > 410.0f && y < 490.0f) nx += 0.22f * std::sin(angle * 16.0f);
    *out = shade(material, normalize({nx, -slope, std::sqrt(1.0f - u * u)}));
    return true;
}

// Sky behind the king: a sunburst of blue rays, a warm glow and stars.
Colour sky(float x, float y) {
    const float dx = x - kAxis, dy = y - 250.0f;
    const float rays = smoothstep(0.3f, 0.7f, 0.5f + 0.5f * std::cos(std::atan2(dy, dx) * 18.0f));
    Colour c = mix(Colour{0.04f, 0.05f, 0.22f}, Colour{0.18f, 0.22f, 0.66f}, rays);
    const float distance = length2(dx, dy);
    c = c + Colour{0.95f, 0.55f, 0.25f} * (0.65f * std::exp(-distance / 170.0f));
    c = c + Colour{0.35f, 0.2f, 0.45f} * (0.5f * smoothstep(kHorizon - 120.0f, kHorizon, y));

    // One possible star per 26-pixel cell, with a small cross-shaped flare.
    const int32_t cx = static_cast<int32_t>(std::floor(x / 26.0f)), cy = static_cast<int32_t>(std::floor(y / 26.0f));
    if (hash01(cx, cy, 7u) < 0.3f) {
        const float sx = (static_cast<float>(cx) + 0.2f + 0.6f * hash01(cx, cy, 8u)) * 26.0f;
        const float sy = (static_cast<float>(cy) + 0.2f + 0.6f * hash01(cx, cy, 9u)) * 26.0f;
        const float ax = std::fabs(x - sx), ay = std::fabs(y - sy);
        const float glow = std::exp(-(ax * ax + ay * ay) / 2.0f) + 0.5f * std::exp(-ax * ay - (ax + ay) / 3.0f);
        c = c + Colour{0.8f, 0.85f, 1.0f} * (glow * hash01(cx, cy, 10u));
    }
    return c;
}

// Marble checkerboard in perspective, fading into the haze at the horizon.
Colour floor_tiles(float x, float y) {
    const float depth = 9000.0f / (y - kHorizon + 1.0f);
    const float wx = (x - kAxis) * depth / 800.0f, wz = depth;
    const int32_t tx = static_cast<int32_t>(std::floor(wx / 9.0f)), tz = static_cast<int32_t>(std::floor(wz / 9.0f));
    const float vein = fractal_noise(wx * 0.35f, wz * 0.35f, 21u);
    const float streak = 1.0f - std::fabs(std::sin((wx + wz) * 0.3f + vein * 9.0f));
    Colour tile = ((tx + tz) & 1) != 0 ? Colour{0.86f, 0.82f, 0.74f} * (0.85f + 0.15f * vein)
                                       : Colour{0.07f, 0.11f, 0.38f} * (0.8f + 0.4f * vein);
    tile = tile + Colour{0.25f, 0.25f, 0.3f} * (std::pow(streak, 12.0f) * 0.5f);
    const float haze = 1.0f - std::exp(-depth / 260.0f);
    return mix(tile, Colour{0.42f, 0.30f, 0.48f}, haze);
}

Colour scene(float x, float y) {
    Colour c;
    if (king(x, y, &c)) return c;
    if (y < kHorizon) return sky(x, y);
    c = floor_tiles(x, y);
    // Soft shadow under the plinth, then the king mirrored in the polish.
    const float sx = (x - kAxis) / 190.0f, sy = (y - kFootY - 4.0f) / 24.0f;
    c = c * (1.0f - 0.55f * std::exp(-(sx * sx + sy * sy) * 2.0f));
    Colour mirrored;
    if (y > kFootY && king(x, 2.0f * kFootY - y, &mirrored)) c = mix(c, mirrored, 0.3f);
    return c;
}

}  // namespace

Picture draw_king() {
    Picture picture{kKingWidth, kKingHeight, 3, {}};
    picture.bytes.resize(static_cast<size_t>(kKingWidth) * kKingHeight * 3);
    // Four samples per pixel on a rotated grid smooth every edge.
    static const float kSamples[4][2] = {{-0.375f, -0.125f}, {0.125f, -0.375f}, {0.375f, 0.125f}, {-0.125f, 0.375f}};
    for (int y = 0; y < kKingHeight; ++y) {
        for (int x = 0; x < kKingWidth; ++x) {
            Colour sum{0.0f, 0.0f, 0.0f};
            for (const auto& s : kSamples)
                sum = sum + scene(static_cast<float>(x) + 0.5f + s[0], static_cast<float>(y) + 0.5f + s[1]);
            sum = sum * 0.25f;
            // Vignette, as on a print. No grain: the demo's shade map turns
            // pixel noise into static.
            const float vx = (static_cast<float>(x) - 400.0f) / 400.0f, vy = (static_cast<float>(y) - 300.0f) / 300.0f;
            const float vignette = 1.0f - 0.35f * (vx * vx + vy * vy) * 0.5f;
            uint8_t* out = &picture.bytes[(static_cast<size_t>(y) * kKingWidth + x) * 3];
            out[0] = to_byte(sum.r * vignette);
            out[1] = to_byte(sum.g * vignette);
            out[2] = to_byte(sum.b * vignette);
        }
    }
    return picture;
}

}  // namespace assetgen
