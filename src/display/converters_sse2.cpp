// The converters' SSE2 layer: the shared loops at 4 pixels per register, the
// reference's own pixel arithmetic for the rest of a row.
#include "display/converters_kernels.h"
#include "display/converters_paths.h"

namespace convert::sse2 {

ORVO_CONVERTER_LAYER(__m128i)

}  // namespace convert::sse2
