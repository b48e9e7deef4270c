#include "cli/Json.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace kinovela::cli {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not valid.
std::size_t Utf8Length(std::string_view s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    std::uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

}  // namespace

std::string SanitizeUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

void JsonWriter::Separate()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_first.empty()) {
        if (!m_first.back()) m_out += ',';
        m_first.back() = false;
    }
}

void JsonWriter::Open(char c)
{
    Separate();
    m_out += c;
    m_first.push_back(true);
}

void JsonWriter::Close(char c)
{
    m_out += c;
    m_first.pop_back();
}

void JsonWriter::Key(std::string_view key)
{
    String(key);
    m_out += ':';
    m_afterKey = true;
}

void JsonWriter::String(std::string_view text)
{
    Separate();
    const std::string clean = SanitizeUtf8(text);
    m_out += '"';
    for (char ch : clean) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"') {
            m_out += "\\\"";
        } else if (c == '\\') {
            m_out += "\\\\";
        } else if (c == '\n') {
            m_out += "\\n";
        } else if (c == '\r') {
            m_out += "\\r";
        } else if (c == '\t') {
            m_out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            m_out += buf;
        } else {
            m_out += ch;
        }
    }
    m_out += '"';
}

void JsonWriter::Int(long long v)
{
    Separate();
    m_out += std::to_string(v);
}

void JsonWriter::Float(float v)
{
    Separate();
    if (!std::isfinite(v)) {
        m_out += "null";
        return;
    }
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    m_out.append(buf, r.ptr);
}

void JsonWriter::Bool(bool v)
{
    Separate();
    m_out += v ? "true" : "false";
}

void JsonWriter::Null()
{
    Separate();
    m_out += "null";
}

}  // namespace kinovela::cli
