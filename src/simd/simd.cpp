// Path choice: processor features read once, the ORVO_SIMD switch applied.
#include "simd/simd.h"

#include <cstdlib>
#include <cstring>

namespace simd {
namespace {

struct SimdState {
    bool chosen;
    Path path;
};
SimdState state;

bool processor_runs(Path path) {
#if defined(ORVO_X86)
    switch (path) {
        case Path::plain: return true;
        case Path::sse2: return __builtin_cpu_supports("sse2");
        case Path::avx2: return __builtin_cpu_supports("avx2");
        // The rotozoom's byte permutes need VBMI on top of F, VL and BW.
        case Path::avx512:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
                   __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vbmi");
    }
    return false;
#else
    return path == Path::plain;
#endif
}

Path best_available() {
    for (int p = kPathCount - 1; p > 0; --p) {
        if (path_available(static_cast<Path>(p))) return static_cast<Path>(p);
    }
    return Path::plain;
}

void choose() {
    Path path = best_available();
    if (const char* wanted = std::getenv("ORVO_SIMD")) {
        for (int p = 0; p < kPathCount; ++p) {
            // A named path the machine can't run leaves the best one it can.
            if (std::strcmp(wanted, path_name(static_cast<Path>(p))) == 0 && path_available(static_cast<Path>(p))) {
                path = static_cast<Path>(p);
            }
        }
    }
    state.path = path;
    state.chosen = true;
}

}  // namespace

const char* path_name(Path path) {
    switch (path) {
        case Path::plain: return "plain";
        case Path::sse2: return "sse2";
        case Path::avx2: return "avx2";
        case Path::avx512: return "avx512";
    }
    return "?";
}

bool path_available(Path path) { return processor_runs(path); }

Path active_path() {
    if (!state.chosen) choose();
    return state.path;
}

void force_path(Path path) {
    state.path = path_available(path) ? path : best_available();
    state.chosen = true;
}

}  // namespace simd
