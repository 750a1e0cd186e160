#include <string>

#include <gtest/gtest.h>

#include "settings/fixed_text.h"

namespace {

TEST(FixedTextTest, KeepsWholeCharactersUpToTheField)
{
    FixedText<4> text;
    EXPECT_TRUE(text.Empty());
    ASSERT_TRUE(text.Assign("abc"));
    EXPECT_EQ(text, "abc");
    ASSERT_TRUE(text.Assign("abcd"));
    EXPECT_EQ(text, "abc");
    // Three characters of two, three and four bytes fill it exactly.
    const std::string wide = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x9A\x97";
    ASSERT_TRUE(text.Assign(wide + "x"));
    EXPECT_EQ(text.View(), wide);
    ASSERT_TRUE(text.Assign(std::string("ab\0cd", 5)));
    EXPECT_EQ(text, "ab");
    ASSERT_TRUE(text.Assign(""));
    EXPECT_TRUE(text.Empty());
}

TEST(FixedTextTest, RefusesTextThatIsNotUtf8)
{
    FixedText<8> text;
    ASSERT_TRUE(text.Assign("kept"));
    for (const char* bad : {"\xC3", "a\xC3(", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "abcdefgh\x80"}) {
        EXPECT_FALSE(text.Assign(bad)) << bad;
        EXPECT_EQ(text, "kept");
    }
}

}  // namespace
