// Line tokenizer for the bracketed text of Metasequoia documents. A line
// splits into words, the one-character tokens ( ) , : ; = [ ] { } and quoted
// strings. Shift_JIS double-byte characters are kept whole, whatever their
// second byte is, so Japanese names with '[' or '\' inside stay one token.
//
// Tokens are views into the line that was split: no token is copied or
// allocated, and a token stays valid until the next Split or ReadLine.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace kinovela {

// The fixed Shift_JIS lead-byte ranges.
inline bool IsShiftJisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

class StringSeparator {
public:
    StringSeparator();
    virtual ~StringSeparator() = default;

    // Splits `line`; a NUL, LF or CR ends it early. Returns the token count.
    int Split(std::string_view line);

    int Count() const { return m_count; }
    // The caller guarantees 0 <= i < Count().
    std::string_view Token(int i) const { return m_tokens[static_cast<std::size_t>(i)]; }
    // Token i equals `text` ignoring ASCII case; false when i is out of range.
    bool IsToken(int i, std::string_view text) const;
    // The line has at least n tokens and the first equals `text`.
    bool IsFirst(std::string_view text, int n) const { return m_count >= n && IsToken(0, text); }
    // atof and atoi of token i, or 0 when i is out of range.
    double TokenAsDouble(int i) const;
    float TokenAsFloat(int i) const { return static_cast<float>(TokenAsDouble(i)); }
    int TokenAsInt(int i) const;

    // Whether a Shift_JIS lead byte takes the next byte with it (the
    // default). UTF-8 text has no such pairs: its multi-byte sequences never
    // hold an ASCII byte, but many of their bytes are Shift_JIS lead bytes,
    // which would swallow a closing quote or blank after them.
    void SetShiftJisPairs(bool on) { m_shiftJisPairs = on; }

protected:
    std::vector<std::string_view> m_tokens;
    int m_count = 0;  // -1 once the end of the input was reached
    std::array<std::uint8_t, 128> m_separators{};
    char m_quote = '"';
    bool m_shiftJisPairs = true;
};

// Reads lines from a file opened "rb" by the caller (not closed here) and
// splits each. Lines of any length are read whole.
class AsciiFileString : public StringSeparator {
public:
    explicit AsciiFileString(std::FILE* file);

    // The next line's token count: 0 for a blank line, -1 at end of file.
    virtual int ReadLine();

    // 1-based number of the line last read.
    std::uint64_t LineNumber() const { return m_lineNumber; }
    // Byte offset just past the line last read (after its LF).
    std::uint64_t LineEndOffset() const { return m_bufferOffset + m_begin; }
    std::uint64_t FileSize() const { return m_fileSize; }

    // Steps over `n` bytes that follow the current line. False, moving
    // nothing, when n is negative or runs past the end of the file.
    bool SkipBytes(std::int64_t n);

private:
    bool Fill();

    std::FILE* m_file;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0;  // start of unread data in m_buffer
    std::size_t m_end = 0;    // end of valid data in m_buffer
    std::uint64_t m_bufferOffset = 0;  // file offset of m_buffer[0]
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_lineNumber = 0;
    bool m_eof = false;
};

}  // namespace kinovela
