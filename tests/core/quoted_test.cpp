#include <gtest/gtest.h>

#include "core/quoted.h"

// Every byte outside printable ASCII is one \xNN (control characters, DEL,
// and bytes above 0x7f, which a signed char would print as \xffffff..);
// printable ASCII, quotes and backslashes included, stays as it is.
TEST(Quoted, EscapesEveryByteOutsidePrintableAsciiOnce) {
    EXPECT_EQ(core::quoted("--bad\nsecond"), "\"--bad\\x0asecond\"");
    EXPECT_EQ(core::quoted("\x1b[2J\x7f"), "\"\\x1b[2J\\x7f\"");
    EXPECT_EQ(core::quoted("\xff\x80\xc3\xa9"), "\"\\xff\\x80\\xc3\\xa9\"");
    EXPECT_EQ(core::quoted(" ~\"\\"), "\" ~\"\\\"");
    EXPECT_EQ(core::quoted(""), "\"\"");
}
