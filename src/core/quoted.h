// An argument as a refusal quotes it: in double quotes, every byte that is
// not printable ASCII written as \xNN, so the refusal stays one line on any
// terminal whatever the argument holds (a newline, an escape sequence, bytes
// that are no text). orvo and orvo-render both quote this way.
#pragma once

#include <string>

namespace core {

std::string quoted(const char* argument);

}  // namespace core
