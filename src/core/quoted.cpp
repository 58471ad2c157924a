// The refusals' quoting, byte by byte.
#include "core/quoted.h"

namespace core {

std::string quoted(const char* argument) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text = "\"";
    for (const char* c = argument; *c != '\0'; ++c) {
        // Unsigned, so a byte above 0x7f is one \xNN and not a sign-extended int.
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte >= 0x7f) {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0xf];
        } else {
            text += *c;
        }
    }
    return text + "\"";
}

}  // namespace core
