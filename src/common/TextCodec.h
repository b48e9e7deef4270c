// Names stay the raw bytes they were read as (Shift_JIS in documents from
// Japanese systems); these conversions are only for display and for the
// wide-string form some native files carry.
#pragma once

#include <string>
#include <string_view>

namespace kinovela {

// Shift_JIS (code page 932) to UTF-8. Bytes that do not decode become U+FFFD,
// so any byte string gives valid UTF-8.
std::string Cp932ToUtf8(std::string_view bytes);

// UTF-8 to Shift_JIS; characters without a Shift_JIS form (and bytes that
// are not UTF-8) become '?'. `replaced`, when given, counts them.
std::string Utf8ToCp932(std::string_view utf8, std::size_t* replaced = nullptr);

// UTF-8 to Shift_JIS; false when the text is not valid UTF-8 or has a
// character without a Shift_JIS form.
bool Utf8ToCp932Strict(std::string_view utf8, std::string& out);

// UTF-16LE code units (as raw little-endian bytes) to Shift_JIS; unmappable
// characters and broken surrogates become '?'.
std::string Utf16LeToCp932(std::string_view utf16le);

// The text with its control characters (below 0x20, and 0x7F) written as
// \t, \r or \xHH, so that text echoed from a file cannot move the cursor,
// clear a terminal or change its title. Line feeds stay when `keepLineFeeds`.
std::string EscapeControlCharacters(std::string_view text, bool keepLineFeeds = false);

// Lower-case hexadecimal of every byte.
std::string HexBytes(std::string_view bytes);

}  // namespace kinovela
