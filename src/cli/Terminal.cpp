#include "cli/Terminal.h"

#include <unistd.h>

#include <cstdio>

namespace kinovela::cli {

TerminalProgress::TerminalProgress(std::string verb, std::string file, std::uint64_t showFrom)
    : m_label(std::move(verb) + " " + file), m_showFrom(showFrom)
{
    if (!::isatty(STDERR_FILENO)) return;
    m_fn = [this](std::uint64_t done, std::uint64_t total) {
        if (total < m_showFrom) return;
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
