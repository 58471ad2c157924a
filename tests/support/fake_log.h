// Test support: the fake backend's call log as strings, and lookups in it.
#pragma once

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"

namespace test_support {

inline std::vector<std::string> fake_log() {
    std::vector<std::string> lines;
    for (int i = 0; i < platform_fake::log_size(); ++i) lines.emplace_back(platform_fake::log_line(i));
    return lines;
}

// The log lines that start with one of the given call names, in order.
inline std::vector<std::string> fake_log_of(const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    for (const std::string& line : fake_log()) {
        const std::string name = line.substr(0, line.find(' '));
        for (const std::string& wanted : names) {
            if (name == wanted) lines.push_back(line);
        }
    }
    return lines;
}

inline int fake_log_count(const std::string& name) { return static_cast<int>(fake_log_of({name}).size()); }

}  // namespace test_support
