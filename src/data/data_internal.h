// The lookup's parts, for data.cpp, the per-platform program_path files and
// the lookup's tests.
#pragma once

#include <string>

namespace data {

// The running program's own path, or "" where the platform gives none (the
// browser). One file per platform: program_path_linux.cpp (/proc/self/exe),
// program_path_windows.cpp (GetModuleFileName), program_path_none.cpp.
std::string program_path();

// The data folder installed with the program at program_path, ending in
// '/'; "" when program_path has no folder.
std::string installed_directory(const std::string& program_path);

// asset_directory() for a program at program_path.
std::string asset_directory_for(const std::string& program_path);

}  // namespace data
