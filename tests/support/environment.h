// Sets or (with an empty value) removes one environment variable, on POSIX
// and on Windows alike.
#pragma once

#include <cstdlib>

namespace test_support {

inline void set_environment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);  // an empty value removes it there
#else
    if (value[0] != '\0') {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

}  // namespace test_support
