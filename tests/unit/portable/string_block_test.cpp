// Finding a text in a string-table block, the English fallback's way to its text.
#include "report.h"

#include <gtest/gtest.h>

#include <iterator>

TEST(StringBlock, FindsTheIndexedTextAndNothingPastTheBlock)
{
    // Texts 0, 1 and 3 empty, 2 "ab", 4 "xyz", the rest empty.
    const uint16_t block[] = {0, 0, 2, 'a', 'b', 0, 3, 'x', 'y', 'z', 0,
                              0, 0, 0, 0,   0,   0, 0, 0,   0,   0};
    size_t n = 0;
    EXPECT_EQ(setup_stringInBlock(block, std::size(block), 2, &n), block + 3);
    EXPECT_EQ(n, 2u);
    // String id 20 is the fifth text of its block.
    EXPECT_EQ(setup_stringInBlock(block, std::size(block), 20, &n), block + 7);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(setup_stringInBlock(block, std::size(block), 3, &n), nullptr);
    // The block ends inside text 4, or before its length.
    EXPECT_EQ(setup_stringInBlock(block, 9, 4, &n), nullptr);
    EXPECT_EQ(setup_stringInBlock(block, 6, 4, &n), nullptr);
}
