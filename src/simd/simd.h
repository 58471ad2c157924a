// Which code path the effects and converters run: the plain per-pixel code,
// an x86 SIMD layer, or the SSE2 layer translated: in the browser to
// WebAssembly's 128-bit SIMD, on ARM64 to NEON. Chosen once, at start-up, from
// what the processor supports; ORVO_SIMD=plain|sse2|avx2|avx512|simd128|neon
// in the environment picks another
// (a path the machine can't run falls back to the best one it can). The
// effects' path table (effects/effects_paths.h) and the converters' format
// table (display/converters.h) hold one entry per path.
#pragma once

namespace simd {

enum class Path : int { plain = 0, sse2 = 1, avx2 = 2, avx512 = 3, simd128 = 4, neon = 5 };
inline constexpr int kPathCount = 6;

// "plain", "sse2", "avx2", "avx512", "simd128", "neon".
const char* path_name(Path path);

// The instruction-set extensions the paths need.
struct Features {
    bool sse2, avx2, avx512f, avx512vl, avx512bw, avx512vbmi;
    bool simd128;  // WebAssembly's fixed-width SIMD
    bool neon;     // ARM64's Advanced SIMD, part of every ARM64 processor
};

// What this processor reports: the x86 features on x86, simd128 in a
// WebAssembly build made with it (such a module only runs where it is), neon
// on ARM64.
Features processor_features();

// Whether a processor with these features runs the path. avx512 needs F, VL,
// BW and VBMI (the rotozoom's byte permutes) on top of AVX2.
bool path_runs_on(Path path, const Features& features);

// True when the path is compiled into this binary and the processor runs it.
bool path_available(Path path);

// The path for an ORVO_SIMD value (null: unset): the named one when the
// processor runs it, else the best available. Returns false, leaving *path
// alone, for a value that names no path.
bool choose_path(const char* wanted, Path* path);

// Makes the choice from ORVO_SIMD, once. An unknown value ends the process
// with one line on stderr, starting with program, and exit code 2. Programs
// call it first thing, before anything that runs on a path.
void choose_at_start_up(const char* program);

// The path in use; the first call makes the choice if start-up did not.
Path active_path();

// Makes path the active one, for tests and benchmarks that try every path in
// turn. A path the machine can't run falls back to the best one it can. Not
// for use while an effect runs.
void force_path(Path path);

}  // namespace simd
