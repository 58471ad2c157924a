// Which code path the effects and converters run: the plain per-pixel code,
// or an x86 SIMD layer. Chosen once, on first use, from what the processor
// supports; ORVO_SIMD=plain|sse2|avx2|avx512 in the environment caps the
// choice (a path the machine can't run falls back to the best one it can).
// avx512 differs from avx2 in the rotozoom, the radial zoom and the overlay;
// the shadow grid and the converters run their AVX2 layer there.
#pragma once

namespace simd {

enum class Path : int { plain = 0, sse2 = 1, avx2 = 2, avx512 = 3 };
inline constexpr int kPathCount = 4;

// "plain", "sse2", "avx2", "avx512".
const char* path_name(Path path);

// True when the path is compiled into this binary and the processor runs it.
bool path_available(Path path);

// The path in use; the first call makes the choice.
Path active_path();

// Makes path the active one, for tests and benchmarks that try every path in
// turn. path must be available. Not for use while an effect runs.
void force_path(Path path);

}  // namespace simd
