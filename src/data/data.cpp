// The asset lookup: a few file tests at start-up, nothing after.
#include "data/data.h"

#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#include <climits>
#endif

namespace data {
namespace {

bool exists(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

// The running program's own path, or "" where it can't be had (the browser).
std::string program_path() {
#if defined(_WIN32)
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
#else
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 && length < static_cast<ssize_t>(sizeof path) ? std::string(path, length) : std::string();
#endif
}

// The folder part of a path that has one, without its separator.
std::string folder_of(const std::string& path) { return path.substr(0, path.find_last_of("/\\")); }

// The data folder installed with the program at program_path, ending in a
// separator; "" when program_path has no folder. ORVO_DATA_FROM_PROGRAM is
// that folder's path from the program's, set by the build from the install
// layout ("../share/orvo"; "." on Windows, where the files sit beside it).
std::string installed_directory(const std::string& program_path) {
    if (program_path.find_first_of("/\\") == std::string::npos) return "";
    return folder_of(program_path) + "/" ORVO_DATA_FROM_PROGRAM "/";
}

}  // namespace

std::string asset_directory() {
    for (const char* name : kAssetNames) {
        if (exists(name)) return "";
    }
    const std::string installed = installed_directory(program_path());
    return !installed.empty() && exists(installed + kAssetNames[0]) ? installed : "";
}

}  // namespace data
