#include "export/TextFile.h"

#include <cassert>
#include <charconv>
#include <cstring>

#include "common/Numbers.h"
#include "export/NonFinite.h"

namespace kinovela {

namespace {
constexpr std::size_t kFlushAt = 256u << 10;
}

TextFile::TextFile(ByteSink& sink, bool snprintfNumbers) : m_sink(sink), m_snprintf(snprintfNumbers)
{
    m_buf.reserve(kFlushAt + 4096);
}

void TextFile::Flush()
{
    if (!m_buf.empty()) m_sink.Write(m_buf.data(), m_buf.size());
    m_buf.clear();
}

void TextFile::Raw(const char* p, std::size_t n)
{
    // Every LF becomes CR LF, as a text-mode file writes it.
    const char* end = p + n;
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!nl) {
            m_buf.append(p, end);
            break;
        }
        m_buf.append(p, nl);
        m_buf.append("\r\n", 2);
        p = nl + 1;
    }
    if (m_buf.size() >= kFlushAt) Flush();
}

void TextFile::Put(std::string_view text) { Raw(text.data(), text.size()); }

void TextFile::Number(double v)
{
    v = FiniteOrZero(v);
    if (m_snprintf)
        AppendFixed6Snprintf(m_buf, v);
    else
        AppendFixed6(m_buf, v);
}

void TextFile::PrintList(std::string_view format, const Arg* args, std::size_t count)
{
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < format.size()) {
        const std::size_t pct = format.find('%', i);
        if (pct == std::string_view::npos) {
            Raw(format.data() + i, format.size() - i);
            break;
        }
        Raw(format.data() + i, pct - i);
        if (pct + 1 >= format.size()) break;
        const char c = format[pct + 1];
        i = pct + 2;
        if (c == '%') {
            m_buf.push_back('%');
            continue;
        }
        assert(next < count);
        if (next >= count) continue;
        const Arg& a = args[next++];
        switch (c) {
        case 'f':
            assert(a.kind == Arg::Float);
            Number(a.kind == Arg::Float ? a.f : static_cast<double>(a.i));
            break;
        case 'd': {
            assert(a.kind == Arg::Int);
            char buf[24];
            const auto r = std::to_chars(buf, buf + sizeof buf, a.kind == Arg::Int ? a.i : static_cast<long long>(a.f));
            m_buf.append(buf, r.ptr);
            break;
        }
        case 's':
            assert(a.kind == Arg::Text);
            Raw(a.s.data(), a.s.size());
            break;
        default: assert(false && "unknown conversion");
        }
    }
    if (m_buf.size() >= kFlushAt) Flush();
}

}  // namespace kinovela
