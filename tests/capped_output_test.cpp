#include "capped_output.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

TEST(CappedOutput, KeepsBothEndsOfLongOutputAndCountsTheRest) {
    CappedOutput small(16, 16);
    std::ostream short_out(&small);
    short_out << "one\ntwo " << 3 << std::endl;
    EXPECT_EQ(small.text(), "one\ntwo 3\n");

    // 790 bytes of numbered lines; the tail's cut line goes with the dropped part.
    CappedOutput capped(8, 12);
    std::ostream out(&capped);
    for (int i = 0; i < 100; ++i)
        out << "line " << i << "\n";
    EXPECT_EQ(capped.text(), "line 0\nl\n[... 774 bytes of output dropped ...]\nline 99\n");

    // One write larger than both ends, with the tail starting on a whole line.
    CappedOutput one_write(4, 4);
    std::ostream big(&one_write);
    big << std::string(100, 'a') + "\nend\n";
    EXPECT_EQ(one_write.text(), "aaaa\n[... 97 bytes of output dropped ...]\nend\n");

    // Past the internal buffer and many trims of the tail.
    CappedOutput many(0, 64);
    std::ostream lots(&many);
    for (int i = 0; i < 100000; ++i)
        lots << "cycle " << i << '\n';
    const std::string kept = many.text();
    EXPECT_EQ(kept.rfind("[... ", 0), 0u);
    EXPECT_NE(kept.find("\ncycle 99999\n"), std::string::npos) << kept;
    EXPECT_LT(kept.size(), 120u);
}

} // namespace
