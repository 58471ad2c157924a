// What the fuzz targets share: a file in memory that the loaders open by
// name, and a check that ends the run as a finding.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz_support {

// An anonymous file in memory, named by its /proc/self/fd path: the input
// reaches fopen() without touching the disk.
struct MemoryFile {
    int fd = -1;
    char path[40] = "";
};

inline MemoryFile make_memory_file(const char* name) {
    MemoryFile file;
    file.fd = memfd_create(name, 0);
    if (file.fd < 0) std::abort();
    std::snprintf(file.path, sizeof file.path, "/proc/self/fd/%d", file.fd);
    return file;
}

// Makes the file hold exactly these bytes.
inline void fill(const MemoryFile& file, const uint8_t* data, size_t size) {
    if (ftruncate(file.fd, 0) != 0) std::abort();
    size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(file.fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) std::abort();
        written += static_cast<size_t>(n);
    }
}

// The libraries (libjpeg, libopenmpt) are not instrumented, so libFuzzer
// sees none of their branches. A target marks what the library found in an
// input instead (its colour space, its format, its channel count): the
// fuzzer keeps an input that shows a new value, as it would one that reached
// new code. kind is 0..7, value is folded into 0..31.
inline void saw(int kind, uint64_t value) {
    __attribute__((used, section("__libfuzzer_extra_counters"))) static uint8_t counters[8 * 32];
    uint8_t& counter = counters[(kind & 7) * 32 + static_cast<int>(value % 32)];
    if (counter < 255) ++counter;
}

// A property the code promises that this input broke: a finding.
inline void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

}  // namespace fuzz_support
