// UTF-8 to UTF-16: counting, converting, and what is refused.
#include "platform/base/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextEncoding, Utf8BecomesUtf16WithSurrogatesAndBadInputIsRefused)
{
    const char* text = "a\xea\xb0\x80\xf0\x9f\x9a\x97";  // "a", U+AC00, U+1F697
    EXPECT_EQ(os::MultiByteToWideChar(os::CP_UTF8, 0, text, -1, nullptr, 0), 5) << "with the terminator";
    char16_t out[8] = {};
    ASSERT_EQ(os::MultiByteToWideChar(os::CP_UTF8, 0, text, 8, out, 8), 4);
    EXPECT_EQ(std::u16string(out, 4), u"a\uAC00\U0001F697");

    EXPECT_EQ(os::MultiByteToWideChar(os::CP_UTF8, 0, text, 8, out, 3), 0);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INSUFFICIENT_BUFFER));
    for (const char* bad : {"\xff", "\xc3", "\xed\xa0\x80"}) {  // never UTF-8, cut short, a lone surrogate
        EXPECT_EQ(os::MultiByteToWideChar(os::CP_UTF8, 0, bad, -1, out, 8), 0) << bad;
        EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_NO_UNICODE_TRANSLATION));
    }
    EXPECT_EQ(os::MultiByteToWideChar(0, 0, text, -1, out, 8), 0);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
    EXPECT_EQ(os::MultiByteToWideChar(os::CP_UTF8, 0, "", 0, nullptr, 0), 0);
}

}  // namespace
