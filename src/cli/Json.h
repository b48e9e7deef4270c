// A small streaming JSON writer for the command-line tool's --json output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kinovela::cli {

class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : m_out(out) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    void Key(std::string_view key);

    // Text that is not valid UTF-8 has its bad bytes replaced by U+FFFD.
    void String(std::string_view text);
    void Int(long long v);
    // Shortest text that reads back to the same float; null for NaN and
    // infinities, which JSON cannot hold.
    void Float(float v);
    void Bool(bool v);
    void Null();

private:
    void Open(char c);
    void Close(char c);
    void Separate();

    std::string& m_out;
    std::vector<bool> m_first;  // per open container: no element written yet
    bool m_afterKey = false;
};

// Replaces every byte sequence that is not valid UTF-8 with U+FFFD.
std::string SanitizeUtf8(std::string_view text);

}  // namespace kinovela::cli
