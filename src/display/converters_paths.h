// The converters' SIMD layers, one namespace per instruction set, named by
// the format table's columns (converters.cpp). x86 builds have both; the
// browser's SIMD build and the ARM64 build compile the SSE2 one for theirs.
#pragma once

#include <cstdint>

#include "core/frame_store.h"

namespace convert {

#define ORVO_CONVERTERS_PATH(isa)                                           \
    namespace isa {                                                         \
    void RGB32(const Pixel* source, uint8_t* destination, uint32_t count);  \
    void BGR32(const Pixel* source, uint8_t* destination, uint32_t count);  \
    void RGB24(const Pixel* source, uint8_t* destination, uint32_t count);  \
    void BGR24(const Pixel* source, uint8_t* destination, uint32_t count);  \
    void RGB565(const Pixel* source, uint8_t* destination, uint32_t count); \
    void BGR565(const Pixel* source, uint8_t* destination, uint32_t count); \
    void RGB555(const Pixel* source, uint8_t* destination, uint32_t count); \
    void BGR555(const Pixel* source, uint8_t* destination, uint32_t count); \
    }

ORVO_CONVERTERS_PATH(sse2)
ORVO_CONVERTERS_PATH(avx2)
#undef ORVO_CONVERTERS_PATH

}  // namespace convert
