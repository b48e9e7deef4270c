#include "mqo/StringSeparator.h"

#include <algorithm>
#include <cstring>

#include "common/Numbers.h"

namespace kinovela {

namespace {

constexpr char kSeparators[] = "(),:;=[]{}";

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

StringSeparator::StringSeparator()
{
    for (const char* p = kSeparators; *p; ++p) m_separators[static_cast<unsigned char>(*p)] = 1;
}

int StringSeparator::Split(std::string_view line)
{
    // A token is always one contiguous run of the line (quotes are never part
    // of it), so it is stored as a view: start index plus length.
    const char* const data = line.data();
    const std::size_t n = line.size();
    std::size_t count = 0;
    auto store = [&](std::size_t begin, std::size_t end) {
        if (count == m_tokens.size())
            m_tokens.emplace_back(data + begin, end - begin);
        else
            m_tokens[count] = std::string_view(data + begin, end - begin);
        ++count;
    };

    bool quoted = false;
    std::size_t start = 0;  // start of the current token
    std::size_t i = 0;
    // The current token is line[start, i) while it is being built; it is
    // non-empty exactly when i > start.
    while (i < n) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (m_shiftJisPairs && IsShiftJisLeadByte(c)) {
            i += (i + 1 < n) ? 2 : 1;
            continue;
        }
        if (c == 0 || c == '\n' || c == '\r') break;
        if (c == ' ' || c == '\t') {
            if (!quoted) {
                if (i > start) store(start, i);
                start = i + 1;
            }
            ++i;
            continue;
        }
        if (c == static_cast<unsigned char>(m_quote)) {
            if (quoted) {
                store(start, i);  // even when empty
                quoted = false;
            } else {
                if (i > start) store(start, i);
                quoted = true;
            }
            start = ++i;
            continue;
        }
        if (c < 128 && m_separators[c] && !quoted) {
            if (i > start) store(start, i);
            store(i, i + 1);
            start = ++i;
            continue;
        }
        ++i;
    }
    if (i > start) store(start, i);
    m_count = static_cast<int>(count);
    return m_count;
}

bool StringSeparator::IsToken(int i, std::string_view text) const
{
    return i >= 0 && i < m_count && EqualsIgnoreAsciiCase(m_tokens[static_cast<std::size_t>(i)], text);
}

double StringSeparator::TokenAsDouble(int i) const
{
    if (i < 0 || i >= m_count) return 0.0;
    return ParseAtof(m_tokens[static_cast<std::size_t>(i)]);
}

int StringSeparator::TokenAsInt(int i) const
{
    if (i < 0 || i >= m_count) return 0;
    return ParseAtoi(m_tokens[static_cast<std::size_t>(i)]);
}

// --- AsciiFileString ---------------------------------------------------------

namespace {
constexpr std::size_t kReadChunk = 1u << 20;
}

AsciiFileString::AsciiFileString(std::FILE* file) : m_file(file)
{
    std::size_t buffer = kReadChunk;
    const off_t here = ftello(m_file);
    if (here >= 0 && fseeko(m_file, 0, SEEK_END) == 0) {
        const off_t end = ftello(m_file);
        if (end >= here) {
            m_fileSize = static_cast<std::uint64_t>(end);
            // A small document needs no megabyte of buffer.
            buffer = static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, m_fileSize - static_cast<std::uint64_t>(here) + 1));
            buffer = std::max<std::size_t>(buffer, 4096);
        }
        fseeko(m_file, here, SEEK_SET);
        m_bufferOffset = static_cast<std::uint64_t>(here);
    }
    m_buffer.resize(buffer);
}

bool AsciiFileString::Fill()
{
    if (m_eof) return false;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_bufferOffset += m_begin;
        m_begin = 0;
    }
    if (m_end == m_buffer.size()) m_buffer.resize(m_buffer.size() * 2);
    const std::size_t got = std::fread(m_buffer.data() + m_end, 1, m_buffer.size() - m_end, m_file);
    if (got == 0) {
        m_eof = true;
        return false;
    }
    m_end += got;
    return true;
}

int AsciiFileString::ReadLine()
{
    std::size_t scanFrom = m_begin;
    for (;;) {
        const char* nl = static_cast<const char*>(std::memchr(m_buffer.data() + scanFrom, '\n', m_end - scanFrom));
        if (nl) {
            const std::size_t lineEnd = static_cast<std::size_t>(nl - m_buffer.data()) + 1;
            const std::string_view line(m_buffer.data() + m_begin, lineEnd - m_begin);
            m_begin = lineEnd;
            ++m_lineNumber;
            return Split(line);
        }
        const std::size_t scanned = m_end - m_begin;
        if (!Fill()) break;
        scanFrom = m_begin + scanned;
    }
    if (m_begin == m_end) {
        m_count = -1;
        return -1;
    }
    // A last line without a terminator.
    const std::string_view line(m_buffer.data() + m_begin, m_end - m_begin);
    m_begin = m_end;
    ++m_lineNumber;
    return Split(line);
}

bool AsciiFileString::SkipBytes(std::int64_t n)
{
    if (n < 0) return false;
    const std::uint64_t here = LineEndOffset();
    if (here > m_fileSize || static_cast<std::uint64_t>(n) > m_fileSize - here) return false;
    const std::uint64_t target = here + static_cast<std::uint64_t>(n);
    if (target <= m_bufferOffset + m_end) {
        m_begin = static_cast<std::size_t>(target - m_bufferOffset);
        return true;
    }
    if (fseeko(m_file, static_cast<off_t>(target), SEEK_SET) != 0) return false;
    m_bufferOffset = target;
    m_begin = m_end = 0;
    m_eof = false;
    return true;
}

}  // namespace kinovela
