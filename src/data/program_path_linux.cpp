// The program's own path on Linux: the kernel's link to it.
#include <unistd.h>

#include <climits>

#include "data/data_internal.h"

namespace data {

std::string program_path() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 && length < static_cast<ssize_t>(sizeof path) ? std::string(path, length) : std::string();
}

}  // namespace data
