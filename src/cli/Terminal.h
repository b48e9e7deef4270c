// Progress on the terminal for long reads and writes. Nothing is printed when
// standard error is not a terminal, so scripts and tests see clean output.
#pragma once

#include <string>

#include "common/Progress.h"

namespace kinovela::cli {

class TerminalProgress {
public:
    // `verb` and `file` make the label, for example "Reading big.mqo".
    TerminalProgress(std::string verb, std::string file);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // The callback to hand to a reader or writer; empty when not on a terminal.
    const ProgressFn& Callback() const { return m_fn; }

private:
    std::string m_label;
    ProgressFn m_fn;
    bool m_shown = false;
    int m_lastPercent = -1;
};

}  // namespace kinovela::cli
