#include "common/Numbers.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cstdio>
#include <cstdint>
#include <string>
#include <system_error>

namespace kinovela {

namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view SkipSpace(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && IsCSpace(s[i])) ++i;
    return s.substr(i);
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }

// The rare values from_chars refuses (overflow to infinity, underflow to a
// denormal or zero) go through strtod in the C locale, which rounds them the
// way atof does.
double StrtodC(std::string_view s)
{
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const std::string copy(s);
    return strtod_l(copy.c_str(), nullptr, c);
}

}  // namespace

double ParseAtof(std::string_view text)
{
    std::string_view s = SkipSpace(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s[0] == '+' || s[0] == '-') return 0.0;

    double value = 0.0;
    if (s.size() >= 2 && s[0] == '0' && (s[1] | 0x20) == 'x') {
        const std::string_view hex = s.substr(2);
        const bool digits = !hex.empty() && (IsHexDigit(hex[0]) || (hex[0] == '.' && hex.size() > 1 && IsHexDigit(hex[1])));
        if (digits) {
            const auto r = std::from_chars(hex.data(), hex.data() + hex.size(), value, std::chars_format::hex);
            if (r.ec == std::errc::result_out_of_range) return StrtodC(text);
            if (r.ec != std::errc()) value = 0.0;
        }
        // "0x" without hex digits reads as the 0 before the x
    } else {
        const auto r = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
        if (r.ec == std::errc::result_out_of_range) return StrtodC(text);
        if (r.ec != std::errc()) return 0.0;
    }
    return negative ? -value : value;
}

int ParseAtoi(std::string_view text)
{
    std::string_view s = SkipSpace(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    constexpr std::uint64_t kMaxPos = static_cast<std::uint64_t>(INT64_MAX);
    const std::uint64_t limit = negative ? kMaxPos + 1 : kMaxPos;
    std::uint64_t v = 0;
    bool saturated = false;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        const auto d = static_cast<std::uint64_t>(c - '0');
        if (!saturated && v > (limit - d) / 10) saturated = true;
        if (!saturated) v = v * 10 + d;
    }
    if (saturated) v = limit;
    const std::int64_t signedValue =
        negative ? (v == kMaxPos + 1 ? INT64_MIN : -static_cast<std::int64_t>(v)) : static_cast<std::int64_t>(v);
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(signedValue)));
}

void AppendFixed6(std::string& out, double v)
{
    // to_chars in fixed form with precision 6 rounds exactly like printf.
    // It spells NaN and infinity as printf does too ("nan", "-inf").
    char buf[400];  // the largest double has 309 digits before the point
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    out.append(buf, r.ptr);
}

void AppendFixed6Snprintf(std::string& out, double v)
{
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, "%f", v);
    out.append(buf, static_cast<std::size_t>(n));
}

}  // namespace kinovela
