// The asset lookup: a few file tests at start-up, nothing after.
#include "data/data.h"

#include <cstdio>

#include "data/data_internal.h"

namespace data {
namespace {

bool exists(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

// The folder part of a path that has one, without its separator.
std::string folder_of(const std::string& path) { return path.substr(0, path.find_last_of("/\\")); }

}  // namespace

// ORVO_DATA_FROM_PROGRAM is the data folder's path from the program's, set by
// the build from the install layout ("../share/orvo"; "." on Windows, where
// the files sit beside it).
std::string installed_directory(const std::string& program_path) {
    if (program_path.find_first_of("/\\") == std::string::npos) return "";
    return folder_of(program_path) + "/" ORVO_DATA_FROM_PROGRAM "/";
}

std::string asset_directory_for(const std::string& program_path) {
    for (const char* name : kAssetNames) {
        if (exists(name)) return "";
    }
    // The installed folder only when it holds the three pictures: otherwise
    // the refusal names the working directory, where the user looked.
    const std::string installed = installed_directory(program_path);
    if (installed.empty()) return "";
    for (const char* picture : {kAssetNames[0], kAssetNames[1], kAssetNames[2]}) {
        if (!exists(installed + picture)) return "";
    }
    return installed;
}

std::string asset_directory() { return asset_directory_for(program_path()); }

}  // namespace data
