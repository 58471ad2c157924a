// The converters' AVX2 layer: the shared loops at 8 pixels per register, the
// reference's own pixel arithmetic for the rest of a row.
#include "display/converters_kernels.h"
#include "display/converters_paths.h"

namespace convert::avx2 {

ORVO_CONVERTER_LAYER(__m256i)

}  // namespace convert::avx2
