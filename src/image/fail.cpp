// The subsystem's one way out, in a file of its own: a program that must
// outlive a refused picture (the fuzz targets) links its own fail() instead.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "image/image.h"

namespace image {

void fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::exit(1);
}

}  // namespace image
