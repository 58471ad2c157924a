// Small drawing helpers shared by the pictures: clamps and blends, signed
// distances of basic shapes, and a hash-based value noise that depends on
// integer arithmetic only, so textures are the same on every machine.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace assetgen {

struct Colour {
    float r, g, b;
};

inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour operator*(Colour a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Colour operator*(Colour a, Colour b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }

inline float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
inline float mix(float a, float b, float t) { return a + (b - a) * t; }
inline Colour mix(Colour a, Colour b, float t) { return a * (1.0f - t) + b * t; }
inline float smoothstep(float e0, float e1, float x) {
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
// Coverage of a shape at signed distance d (negative inside), one pixel soft.
inline float cover(float d) { return clamp01(0.5f - d); }

inline float length2(float x, float y) { return std::sqrt(x * x + y * y); }

// Rounded box centred at the origin with half sizes (hx, hy) and corner radius r.
inline float sd_round_box(float x, float y, float hx, float hy, float r) {
    const float qx = std::fabs(x) - hx + r, qy = std::fabs(y) - hy + r;
    return length2(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - r;
}

// Distance to the segment (ax, ay)-(bx, by).
inline float sd_segment(float x, float y, float ax, float ay, float bx, float by) {
    const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const float h = clamp01((px * dx + py * dy) / (dx * dx + dy * dy));
    return length2(px - dx * h, py - dy * h);
}

// 32-bit integer hash (xorshift-multiply rounds).
inline uint32_t hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}
inline float hash01(int32_t x, int32_t y, uint32_t seed) {
    const uint32_t h = hash(static_cast<uint32_t>(x) * 0x9E3779B1u ^ hash(static_cast<uint32_t>(y) + seed));
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

// Smooth value noise on an integer lattice, 0..1.
inline float value_noise(float x, float y, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const float a = hash01(ix, iy, seed), b = hash01(ix + 1, iy, seed);
    const float c = hash01(ix, iy + 1, seed), d = hash01(ix + 1, iy + 1, seed);
    return mix(mix(a, b, tx), mix(c, d, tx), ty);
}

// Four octaves of value noise, 0..1.
inline float fractal_noise(float x, float y, uint32_t seed) {
    float sum = 0.0f, amplitude = 0.5f;
    for (int octave = 0; octave < 4; ++octave) {
        sum += amplitude * value_noise(x, y, seed + static_cast<uint32_t>(octave) * 101u);
        x *= 2.03f;
        y *= 2.03f;
        amplitude *= 0.5f;
    }
    return sum / 0.9375f;
}

inline uint8_t to_byte(float v) { return static_cast<uint8_t>(clamp01(v) * 255.0f + 0.5f); }

}  // namespace assetgen
