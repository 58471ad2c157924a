// Where the demo's four files are read from: the working directory, as the
// demo always has, or else the data folder installed with the program, found
// from the program's own path, so that an install works wherever it is put
// and from a start with any working directory (a desktop menu's).
#pragma once

#include <string>

namespace data {

// The four files, in the order the demo reads them.
inline constexpr const char* kAssetNames[] = {"02.jpg", "02a.jpg", "king.jpg", "s.s3m"};

// "" (the working directory) when it holds any of the four files, or when no
// installed data folder holds the three pictures; otherwise that folder,
// ending in '/':
// PREFIX/bin/../share/orvo/ for a program in PREFIX/bin/ (Linux), the
// program's own folder on Windows (the zip keeps the files beside it).
std::string asset_directory();

}  // namespace data
