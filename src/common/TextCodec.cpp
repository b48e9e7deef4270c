#include "common/TextCodec.h"

#include <iconv.h>

#include <cerrno>

namespace kinovela {

namespace {

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts `in`; at every sequence that does not convert, appends
    // `replacement` and skips the input bytes `skip` says the sequence has.
    template <class Skip>
    std::string Convert(std::string_view in, std::string_view replacement, Skip skip, std::size_t* replaced = nullptr)
    {
        std::string out;
        out.reserve(in.size() * 2 + 8);
        char buf[1024];
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        while (left > 0) {
            char* dst = buf;
            std::size_t room = sizeof buf;
            const std::size_t r = iconv(m_cd, &src, &left, &dst, &room);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut off at the end)
            out.append(replacement);
            if (replaced) ++*replaced;
            std::size_t n = skip(reinterpret_cast<const unsigned char*>(src), left);
            if (n == 0) n = 1;
            if (n > left) n = left;
            src += n;
            left -= n;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t m_cd;
};

// Length of the UTF-8 sequence a lead byte starts (1 for a stray byte).
std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t)
{
    if (p[0] >= 0xF0 && p[0] < 0xF8) return 4;
    if (p[0] >= 0xE0) return p[0] < 0xF0 ? 3 : 1;
    if (p[0] >= 0xC0) return 2;
    return 1;
}

// A UTF-16LE surrogate pair is skipped whole, any other unit alone.
std::size_t Utf16SequenceLength(const unsigned char* p, std::size_t left)
{
    if (left >= 4 && (p[1] & 0xFC) == 0xD8 && (p[3] & 0xFC) == 0xDC) return 4;
    return 2;
}

std::size_t OneByte(const unsigned char*, std::size_t) { return 1; }

bool IsAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes)
{
    if (IsAscii(bytes)) return std::string(bytes);
    Iconv cd("UTF-8", "CP932");
    if (!cd.Ok()) return std::string(bytes);
    return cd.Convert(bytes, "\xEF\xBF\xBD", OneByte);
}

std::string Utf8ToCp932(std::string_view utf8, std::size_t* replaced)
{
    if (replaced) *replaced = 0;
    if (IsAscii(utf8)) return std::string(utf8);
    Iconv cd("CP932", "UTF-8");
    if (!cd.Ok()) return std::string(utf8);
    return cd.Convert(utf8, "?", Utf8SequenceLength, replaced);
}

bool Utf8ToCp932Strict(std::string_view utf8, std::string& out)
{
    if (IsAscii(utf8)) {
        out.assign(utf8);
        return true;
    }
    Iconv cd("CP932", "UTF-8");
    if (!cd.Ok()) return false;
    std::size_t replaced = 0;
    out = cd.Convert(utf8, "?", Utf8SequenceLength, &replaced);
    return replaced == 0;
}

std::string Utf16LeToCp932(std::string_view utf16le)
{
    Iconv cd("CP932", "UTF-16LE");
    if (!cd.Ok()) return {};
    return cd.Convert(utf16le, "?", Utf16SequenceLength);
}

std::string EscapeControlCharacters(std::string_view text, bool keepLineFeeds)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 0x20 && c != 0x7F) || (c == '\n' && keepLineFeeds)) {
            out.push_back(ch);
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += "\\x";
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

std::string HexBytes(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

}  // namespace kinovela
