// The text output of every exporter: a printf-like Print that understands
// %f (six decimals, exactly as C prints them; a number that is not finite
// is written as 0 and counted, see NonFinite.h), %d and %s, turns each "\n"
// into CR LF as the original text-mode files had, and streams through a
// fixed buffer into a ByteSink (usually an atomic file write).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/AtomicFile.h"

namespace kinovela {

class TextFile {
public:
    // `snprintfNumbers` formats %f through snprintf instead (benchmarks).
    explicit TextFile(ByteSink& sink, bool snprintfNumbers = false);
    // A Cancel that arrives with the last piece comes too late to stop
    // anything, and a destructor must not throw.
    ~TextFile()
    {
        try {
            Flush();
        } catch (const WorkCancelled&) {
        }
    }
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    struct Arg {
        enum Kind { Float, Int, Text } kind;
        double f = 0;
        long long i = 0;
        std::string_view s;
        Arg(float v) : kind(Float), f(v) {}
        Arg(double v) : kind(Float), f(v) {}
        Arg(int v) : kind(Int), i(v) {}
        Arg(long long v) : kind(Int), i(v) {}
        Arg(std::size_t v) : kind(Int), i(static_cast<long long>(v)) {}
        Arg(std::string_view v) : kind(Text), s(v) {}
        Arg(const std::string& v) : kind(Text), s(v) {}
        Arg(const char* v) : kind(Text), s(v) {}
    };

    // Each %f, %d or %s takes the next argument; the argument's kind must
    // match (checked by assert). "%%" prints a percent sign.
    template <class... A> void Print(std::string_view format, const A&... args)
    {
        const Arg list[] = {Arg(args)..., Arg(0)};
        PrintList(format, list, sizeof...(A));
    }
    // Text as it stands (line ends still become CR LF).
    void Put(std::string_view text);

    void Flush();

private:
    void PrintList(std::string_view format, const Arg* args, std::size_t count);
    void Raw(const char* p, std::size_t n);
    void Number(double v);

    ByteSink& m_sink;
    bool m_snprintf;
    std::string m_buf;
    std::string m_scratch;
};

}  // namespace kinovela
