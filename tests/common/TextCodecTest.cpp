#include "common/TextCodec.h"

#include <gtest/gtest.h>

namespace kinovela {
namespace {

TEST(TextCodec, ShiftJisToUtf8)
{
    EXPECT_EQ(Cp932ToUtf8("\x8E\xE8\x8E\xF1"), "手首");
    EXPECT_EQ(Cp932ToUtf8("arm_\x8B\xE0\x91\xAE"), "arm_金属");
    // Half-width katakana, as in menu captions.
    EXPECT_EQ(Cp932ToUtf8("\xD3\xC3\xDE\xD9"), "ﾓﾃﾞﾙ");
    // A lead byte without its second byte and an unassigned code decode to
    // U+FFFD instead of vanishing.
    EXPECT_EQ(Cp932ToUtf8("a\x81"), "a\xEF\xBF\xBD");
    EXPECT_EQ(Cp932ToUtf8("\xA0z"), "\xEF\xBF\xBDz");
}

TEST(TextCodec, Utf8RoundTrip)
{
    EXPECT_EQ(Utf8ToCp932("手首"), "\x8E\xE8\x8E\xF1");
    EXPECT_EQ(Utf8ToCp932("😀x"), "?x");  // no Shift_JIS form
    std::string out;
    EXPECT_TRUE(Utf8ToCp932Strict("手首", out));
    EXPECT_EQ(out, "\x8E\xE8\x8E\xF1");
    EXPECT_FALSE(Utf8ToCp932Strict("😀", out));
    EXPECT_FALSE(Utf8ToCp932Strict("\xFF\xFEZ", out));
}

TEST(TextCodec, Utf16ToShiftJis)
{
    const std::string arm("\x4B\x62\x96\x99", 4);  // U+624B U+9996 little-endian
    EXPECT_EQ(Utf16LeToCp932(arm), "\x8E\xE8\x8E\xF1");
    EXPECT_EQ(Utf16LeToCp932(std::string("A\0B\0", 4)), "AB");
    // A lone surrogate and an emoji (a pair) each give one '?'.
    EXPECT_EQ(Utf16LeToCp932(std::string("\x00\xD8" "A\0", 4)), "?A");
    EXPECT_EQ(Utf16LeToCp932(std::string("\x3D\xD8\x00\xDE" "B\0", 6)), "?B");
}

TEST(TextCodec, Hex)
{
    EXPECT_EQ(HexBytes(std::string("\x00\x8E\xff" "A", 4)), "008eff41");
}

}  // namespace
}  // namespace kinovela
