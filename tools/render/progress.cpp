// The progress line: a 20-cell bar, the count, the rate so far and the time
// left at that rate (shown once a rate is known).
#include "tools/render/progress.h"

#include <cinttypes>
#include <cstdio>

namespace progress {

void format(char* line, size_t size, int64_t done, int64_t total, double elapsed_seconds) {
    constexpr int kCells = 20;
    if (size == 0) return;
    if (total < 1) total = 1;
    if (done < 0) done = 0;
    if (done > total) done = total;
    const int filled = static_cast<int>(done * kCells / total);
    char bar[kCells + 1];
    for (int i = 0; i < kCells; ++i) bar[i] = i < filled ? '=' : ' ';
    if (filled < kCells && done > 0) bar[filled] = '>';
    bar[kCells] = '\0';
    const double rate = elapsed_seconds > 0 && done > 0 ? static_cast<double>(done) / elapsed_seconds : 0;
    if (rate <= 0) {
        std::snprintf(line, size, "[%s] %" PRId64 "/%" PRId64 " frames", bar, done, total);
        return;
    }
    const int64_t left = static_cast<int64_t>(static_cast<double>(total - done) / rate + 0.5);
    std::snprintf(line, size, "[%s] %" PRId64 "/%" PRId64 " frames  %.1f fps  %" PRId64 ":%02" PRId64 " left", bar,
                  done, total, rate, left / 60, left % 60);
}

}  // namespace progress
