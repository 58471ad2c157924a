// Fuzz target: the still forms' clock-time list. What it accepts must be
// digits, minus signs and commas only, one more time than commas, each time
// what the C library reads from its item.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "timing/timing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') != std::string::npos) return 0;  // a C string ends there
    const int64_t count = timing::parse_clock_times(text.c_str(), nullptr, 0);
    fuzz_support::require(count == -1 || count >= 1, "the count is -1 or at least 1");
    if (count < 0) return 0;
    fuzz_support::require(text.find_first_not_of("-0123456789,") == std::string::npos,
                          "an accepted list holds digits, minus signs and commas only");
    std::vector<int32_t> times(static_cast<size_t>(count));
    fuzz_support::require(timing::parse_clock_times(text.c_str(), times.data(), count) == count,
                          "the same list counts the same");
    const char* item = text.c_str();
    for (int64_t i = 0; i < count; ++i) {
        char* end = nullptr;
        errno = 0;
        const long long t = std::strtoll(item, &end, 10);
        fuzz_support::require(errno == 0 && t == times[static_cast<size_t>(i)], "each time is its item's number");
        fuzz_support::require(*end == (i + 1 < count ? ',' : '\0'), "each item is one number");
        item = end + 1;
    }
    return 0;
}
