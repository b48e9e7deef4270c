#include "mqo/StringSeparator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kinovela {
namespace {

std::vector<std::string> Tokens(const std::string& line)
{
    StringSeparator s;
    const int n = s.Split(line);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.emplace_back(s.Token(i));
    return out;
}

using V = std::vector<std::string>;

TEST(StringSeparator, SplitsWordsSeparatorsAndQuotes)
{
    EXPECT_EQ(Tokens("\"mat 1\" col(1.000 0.5 0.5 1.000) tex(\"a b.bmp\")"),
              (V{"mat 1", "col", "(", "1.000", "0.5", "0.5", "1.000", ")", "tex", "(", "a b.bmp", ")"}));
    EXPECT_EQ(Tokens("()"), (V{"(", ")"}));
    EXPECT_EQ(Tokens("a=b;c"), (V{"a", "=", "b", ";", "c"}));
    EXPECT_EQ(Tokens("x,y:z[1]{2}"), (V{"x", ",", "y", ":", "z", "[", "1", "]", "{", "2", "}"}));
    EXPECT_EQ(Tokens("  \t a \t\t b  "), (V{"a", "b"}));
}

TEST(StringSeparator, QuoteRules)
{
    EXPECT_EQ(Tokens("\"x(y)\""), (V{"x(y)"}));
    EXPECT_EQ(Tokens("\"\""), (V{""}));
    EXPECT_EQ(Tokens("a \"\" b"), (V{"a", "", "b"}));
    EXPECT_EQ(Tokens("\"ab\"cd"), (V{"ab", "cd"}));
    EXPECT_EQ(Tokens("ab\"cd\""), (V{"ab", "cd"}));
    // Left open at the end of the line: kept up to the line end.
    EXPECT_EQ(Tokens("name \"open text\n"), (V{"name", "open text"}));
    EXPECT_EQ(Tokens("\"tab\tinside\""), (V{"tab\tinside"}));
}

TEST(StringSeparator, LineEndsAtNulLfOrCr)
{
    EXPECT_EQ(Tokens("a b\r\n"), (V{"a", "b"}));
    EXPECT_EQ(Tokens("a b\rc d"), (V{"a", "b"}));
    EXPECT_EQ(Tokens(std::string("a\0b", 3)), (V{"a"}));
    EXPECT_EQ(Tokens("\"quoted\nrest\""), (V{"quoted"}));
}

TEST(StringSeparator, BlankLinesHaveNoTokens)
{
    StringSeparator s;
    EXPECT_EQ(s.Split(""), 0);
    EXPECT_EQ(s.Split(" \t  \t\r\n"), 0);
    EXPECT_EQ(s.Count(), 0);
}

TEST(StringSeparator, ShiftJisSecondBytesStayInTheToken)
{
    // 0x83 0x5B, 0x95 0x5C and 0x88 0x7B are double-byte characters whose
    // second byte is '[', '\' and '{' in ASCII.
    const std::string name = "\x83\x5B\x95\x5C\x88\x7B";
    EXPECT_EQ(Tokens(name + " x"), (V{name, "x"}));
    EXPECT_EQ(Tokens("\"" + name + "\""), (V{name}));
    // A lead byte takes the next byte even when it is a quote or a blank.
    EXPECT_EQ(Tokens("\x81\" a"), (V{"\x81\"", "a"}));
    EXPECT_EQ(Tokens("\x81 a"), (V{"\x81 a"}));
    // High bytes that are not lead bytes are ordinary characters.
    EXPECT_EQ(Tokens("\xA0\xA1 b"), (V{"\xA0\xA1", "b"}));
    // A lead byte at the very end does not read past the line.
    EXPECT_EQ(Tokens("a \x81"), (V{"a", "\x81"}));
}

TEST(StringSeparator, QueriesIgnoreAsciiCaseAndRange)
{
    StringSeparator s;
    ASSERT_EQ(s.Split("Material 3 {"), 3);
    EXPECT_TRUE(s.IsFirst("material", 2));
    EXPECT_TRUE(s.IsFirst("MATERIAL", 3));
    EXPECT_FALSE(s.IsFirst("material", 4));
    EXPECT_TRUE(s.IsToken(2, "{"));
    EXPECT_FALSE(s.IsToken(5, "{"));
    EXPECT_FALSE(s.IsToken(-1, "Material"));
    EXPECT_EQ(s.TokenAsInt(1), 3);
    EXPECT_EQ(s.TokenAsInt(5), 0);
    EXPECT_EQ(s.TokenAsDouble(5), 0.0);
    // Case folding is ASCII only: a Shift_JIS byte is not folded.
    ASSERT_EQ(s.Split("\x82\x60"), 1);
    EXPECT_FALSE(s.IsToken(0, "\x82\x80"));
}

TEST(StringSeparator, NumbersConvertLikeAtofAndAtoi)
{
    StringSeparator s;
    ASSERT_EQ(s.Split("1.5e2 -0.25 12abc abc 0x1A 7.9 -3"), 7);
    EXPECT_EQ(s.TokenAsDouble(0), 150.0);
    EXPECT_EQ(s.TokenAsFloat(1), -0.25f);
    EXPECT_EQ(s.TokenAsInt(2), 12);
    EXPECT_EQ(s.TokenAsDouble(3), 0.0);
    EXPECT_EQ(s.TokenAsDouble(4), 26.0);
    EXPECT_EQ(s.TokenAsInt(4), 0);
    EXPECT_EQ(s.TokenAsInt(5), 7);
    EXPECT_EQ(s.TokenAsInt(6), -3);
}

TEST(StringSeparator, TokenAsFloatNarrowsTheDoubleValue)
{
    // Just above the midpoint between the floats 1 and 1 + 2^-23: parsed as
    // a float directly it rounds up, but its nearest double is the midpoint
    // itself, which narrows (ties to even) to 1. Stored files hold the latter.
    StringSeparator s;
    ASSERT_EQ(s.Split("1.0000000596046447753906250001 0.1"), 2);
    EXPECT_EQ(s.TokenAsFloat(0), 1.0f);
    EXPECT_EQ(s.TokenAsFloat(1), 0.1f);
}

class FileTokens : public ::testing::Test {
protected:
    std::FILE* Open(const std::string& text)
    {
        m_data = text;
        m_file = ::fmemopen(m_data.data(), m_data.size(), "rb");
        return m_file;
    }
    void TearDown() override
    {
        if (m_file) std::fclose(m_file);
    }
    std::string m_data;
    std::FILE* m_file = nullptr;
};

TEST_F(FileTokens, ReadsLinesAndReportsEndOfFile)
{
    AsciiFileString t(Open("a b\r\n\n  \nlast line"));
    EXPECT_EQ(t.ReadLine(), 2);
    EXPECT_EQ(t.ReadLine(), 0);
    EXPECT_EQ(t.ReadLine(), 0);
    EXPECT_EQ(t.ReadLine(), 2);  // no terminator on the last line
    EXPECT_EQ(t.Token(1), "line");
    EXPECT_EQ(t.LineNumber(), 4u);
    EXPECT_EQ(t.ReadLine(), -1);
    EXPECT_EQ(t.Count(), -1);
    EXPECT_EQ(t.ReadLine(), -1);
}

TEST_F(FileTokens, LongLinesArriveWhole)
{
    // Far past the tokenizer's internal buffer: one line of 3 MB.
    std::string line;
    const int n = 400000;
    for (int i = 0; i < n; ++i) line += std::to_string(i % 10) + "      ";
    AsciiFileString t(Open(line + "\nnext\n"));
    ASSERT_EQ(t.ReadLine(), n);
    EXPECT_EQ(t.Token(n - 1), std::to_string((n - 1) % 10));
    ASSERT_EQ(t.ReadLine(), 1);
    EXPECT_EQ(t.Token(0), "next");
}

TEST_F(FileTokens, SkipsBinaryBytesAfterTheLine)
{
    std::string binary(96, '\n');  // line feeds inside the data must not count as lines
    AsciiFileString t(Open("Vector 8 [96]\n" + binary + "after\n"));
    ASSERT_EQ(t.ReadLine(), 5);
    EXPECT_FALSE(t.SkipBytes(-1));
    EXPECT_FALSE(t.SkipBytes(200));
    ASSERT_TRUE(t.SkipBytes(96));
    ASSERT_EQ(t.ReadLine(), 1);
    EXPECT_EQ(t.Token(0), "after");
}

TEST_F(FileTokens, SkipsBeyondTheBufferedData)
{
    const std::string binary(5u << 20, 'x');
    AsciiFileString t(Open("Block [" + std::to_string(binary.size()) + "]\n" + binary + "tail\n"));
    ASSERT_EQ(t.ReadLine(), 4);
    ASSERT_TRUE(t.SkipBytes(static_cast<std::int64_t>(binary.size())));
    ASSERT_EQ(t.ReadLine(), 1);
    EXPECT_EQ(t.Token(0), "tail");
    EXPECT_EQ(t.ReadLine(), -1);
}

}  // namespace
}  // namespace kinovela
