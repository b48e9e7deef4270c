// Progress on the terminal for long reads and writes. Nothing is printed when
// standard error is not a terminal, so scripts and tests see clean output.
#pragma once

#include <string>

#include "common/Progress.h"

namespace kinovela::cli {

class TerminalProgress {
public:
    // `verb` and `file` make the label, for example "Reading big.mqo".
    // Nothing is shown for totals below `showFrom` (a few megabytes of a
    // file by default, which load in a blink).
    TerminalProgress(std::string verb, std::string file, std::uint64_t showFrom = 4u << 20);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // The callback to hand to a reader or writer; empty when not on a terminal.
    const ProgressFn& Callback() const { return m_fn; }

private:
    std::string m_label;
    ProgressFn m_fn;
    std::uint64_t m_showFrom;
    bool m_shown = false;
    int m_lastPercent = -1;
};

}  // namespace kinovela::cli
