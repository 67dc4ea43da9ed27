#include "json_escape.h"

#include <gtest/gtest.h>

TEST(JsonEscape, PlainTextIsUnchangedAndSpecialsAreEscaped) {
    EXPECT_EQ(json_escape("top.u1.q[3]"), "top.u1.q[3]");
    EXPECT_EQ(json_escape("\\a\"b "), "\\\\a\\\"b ");
    EXPECT_EQ(json_escape("a\nb\tc\rd\be\ff"), "a\\nb\\tc\\rd\\be\\ff");
    EXPECT_EQ(json_escape(std::string_view("\x01\x1f\0", 3)), "\\u0001\\u001f\\u0000");
    EXPECT_EQ(json_escape("caf\xc3\xa9"), "caf\xc3\xa9");  // UTF-8 passes through
}
