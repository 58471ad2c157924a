// The clock-time list of the still forms (the browser's "?t=" and
// orvo-render --times): strict, so that both refuse the same text.
#include <climits>

#include "timing/timing.h"

namespace timing {

int64_t parse_clock_times(const char* text, int32_t* times, int64_t capacity) {
    int64_t count = 0;
    const char* p = text;
    for (;;) {
        const bool negative = *p == '-';
        if (negative) ++p;
        if (*p < '0' || *p > '9') return -1;
        int64_t magnitude = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            magnitude = magnitude * 10 + (*p - '0');
            if (magnitude > int64_t{1} << 31) return -1;  // stops before int64 could overflow
        }
        const int64_t t = negative ? -magnitude : magnitude;
        if (t < INT32_MIN || t > INT32_MAX) return -1;
        if (count < capacity) times[count] = static_cast<int32_t>(t);
        ++count;
        if (*p == '\0') return count;
        if (*p != ',') return -1;
        ++p;
    }
}

}  // namespace timing
