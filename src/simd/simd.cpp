// Path choice: processor features read once, the ORVO_SIMD switch applied.
#include "simd/simd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace simd {
namespace {

struct SimdState {
    bool chosen;
    Path path;
};
SimdState state;

Path best_available() {
    for (int p = kPathCount - 1; p > 0; --p) {
        if (path_available(static_cast<Path>(p))) return static_cast<Path>(p);
    }
    return Path::plain;
}

}  // namespace

const char* path_name(Path path) {
    switch (path) {
        case Path::plain: return "plain";
        case Path::sse2: return "sse2";
        case Path::avx2: return "avx2";
        case Path::avx512: return "avx512";
        case Path::simd128: return "simd128";
        case Path::neon: return "neon";
    }
    return "?";
}

Features processor_features() {
#if defined(ORVO_X86)
    return {__builtin_cpu_supports("sse2") != 0,
            __builtin_cpu_supports("avx2") != 0,
            __builtin_cpu_supports("avx512f") != 0,
            __builtin_cpu_supports("avx512vl") != 0,
            __builtin_cpu_supports("avx512bw") != 0,
            __builtin_cpu_supports("avx512vbmi") != 0,
            false,
            false};
#elif defined(ORVO_WASM_SIMD128)
    Features features{};
    features.simd128 = true;
    return features;
#elif defined(ORVO_NEON)
    Features features{};
    features.neon = true;
    return features;
#else
    return {};
#endif
}

bool path_runs_on(Path path, const Features& f) {
    switch (path) {
        case Path::plain: return true;
        case Path::sse2: return f.sse2;
        case Path::avx2: return f.avx2;
        case Path::avx512: return f.avx2 && f.avx512f && f.avx512vl && f.avx512bw && f.avx512vbmi;
        case Path::simd128: return f.simd128;
        case Path::neon: return f.neon;
    }
    return false;
}

bool path_available(Path path) {
#if defined(ORVO_X86)
    return path != Path::simd128 && path != Path::neon && path_runs_on(path, processor_features());
#elif defined(ORVO_WASM_SIMD128)
    return path == Path::plain || path == Path::simd128;
#elif defined(ORVO_NEON)
    return path == Path::plain || path == Path::neon;
#else
    return path == Path::plain;
#endif
}

bool choose_path(const char* wanted, Path* path) {
    if (wanted == nullptr) {
        *path = best_available();
        return true;
    }
    for (int p = 0; p < kPathCount; ++p) {
        if (std::strcmp(wanted, path_name(static_cast<Path>(p))) == 0) {
            *path = path_available(static_cast<Path>(p)) ? static_cast<Path>(p) : best_available();
            return true;
        }
    }
    return false;
}

void choose_at_start_up(const char* program) {
    if (state.chosen) return;
    const char* wanted = std::getenv("ORVO_SIMD");
    if (!choose_path(wanted, &state.path)) {
        std::fprintf(stderr, "%s: ORVO_SIMD=%s names no path (plain, sse2, avx2, avx512, simd128 or neon)\n", program,
                     wanted);
        std::exit(2);
    }
    state.chosen = true;
}

Path active_path() {
    if (!state.chosen) choose_at_start_up("orvo");
    return state.path;
}

void force_path(Path path) {
    state.path = path_available(path) ? path : best_available();
    state.chosen = true;
}

}  // namespace simd
