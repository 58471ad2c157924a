// Prints a digest of the frame parameters over every clock time within
// +-20,000,000 ms (5.5 hours either side of the start) and a sample across
// the whole 32-bit range. Built natively and for the browser: the two
// digests agree only if the two C libraries' sin and cos give the frames
// the same parameters.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "scene/scene.h"

namespace {

struct Digest {
    uint64_t hash = 1469598103934665603ull;
    int64_t count = 0;

    void add(const void* bytes, size_t size) {
        const auto* b = static_cast<const unsigned char*>(bytes);
        for (size_t i = 0; i < size; ++i) {
            hash ^= b[i];
            hash *= 1099511628211ull;
        }
    }

    void add(int32_t t) {
        const scene::FrameParameters p = scene::frame_parameters(t);
        add(&p.s, sizeof p.s);
        add(&p.c, sizeof p.c);
        add(&p.angle, sizeof p.angle);
        add(&p.zoom, sizeof p.zoom);
        add(&p.light_column, sizeof p.light_column);
        add(&p.light_row, sizeof p.light_row);
        ++count;
    }
};

}  // namespace

int main() {
    Digest digest;
    for (int64_t t = -20000000; t <= 20000000; ++t) digest.add(static_cast<int32_t>(t));
    for (int64_t t = INT32_MIN; t <= INT32_MAX; t += 977) digest.add(static_cast<int32_t>(t));
    std::printf("%lld parameters, digest %016llx\n", static_cast<long long>(digest.count),
                static_cast<unsigned long long>(digest.hash));
    return 0;
}
