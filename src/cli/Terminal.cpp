#include "cli/Terminal.h"

#include <unistd.h>

#include <cstdio>

namespace kinovela::cli {

namespace {
// Files smaller than this load in a blink; a progress line would only flicker.
constexpr std::uint64_t kShowFrom = 4u << 20;
}  // namespace

TerminalProgress::TerminalProgress(std::string verb, std::string file) : m_label(std::move(verb) + " " + file)
{
    if (!::isatty(STDERR_FILENO)) return;
    m_fn = [this](std::uint64_t done, std::uint64_t total) {
        if (total < kShowFrom) return;
        const int percent = static_cast<int>(done >= total ? 100 : done * 100 / total);
        if (percent == m_lastPercent) return;
        m_lastPercent = percent;
        m_shown = true;
        std::fprintf(stderr, "\r%s: %3d%%", m_label.c_str(), percent);
        std::fflush(stderr);
    };
}

TerminalProgress::~TerminalProgress()
{
    if (m_shown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

}  // namespace kinovela::cli
