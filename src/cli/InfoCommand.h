#pragma once

#include <string>
#include <vector>

namespace kinovela::cli {

struct InfoOptions {
    bool json = false;
    bool frames = false;  // every stored pose of every model
};

// Prints a summary of each file; returns the process exit status (0, or 1
// when any file could not be read).
int RunInfo(const std::vector<std::string>& files, const InfoOptions& options);

}  // namespace kinovela::cli
