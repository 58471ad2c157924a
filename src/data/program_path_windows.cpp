// The program's own path on Windows: its module's file name.
#include <windows.h>

#include "data/data_internal.h"

namespace data {

std::string program_path() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

}  // namespace data
