// The asset lookup: a few file tests at start-up, nothing after.
#include "data/data.h"

#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
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

// The folder part of path, without its separator; "" when it has none.
std::string folder_of(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The data folder installed with the program at program_path, ending in a
// separator; "" when program_path has no folder.
std::string installed_directory(const std::string& program_path) {
    if (program_path.find_first_of("/\\") == std::string::npos) return "";
    const std::string bin = folder_of(program_path);
#if defined(_WIN32)
    return bin + "\\";
#else
    return folder_of(bin) + "/share/orvo/";
#endif
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
