#pragma once

#include <string>
#include <vector>

#include "cli/SceneFiles.h"
#include "scene/Kinovela.h"

namespace kinovela::cli {

struct InfoOptions {
    bool json = false;
    bool frames = false;  // every stored pose of every model
    std::vector<std::string> textureFolders;  // searched first for texture files
};

// The summary of one scene, as text or as one line of JSON.
std::string FormatInfo(const std::string& file, const LoadOutcome& outcome, const CKinovela& scene,
                       const CTimeline& t, const InfoOptions& options);

// Prints a summary of each file; returns the process exit status (0, or 1
// when any file could not be read).
int RunInfo(const std::vector<std::string>& files, const InfoOptions& options);

}  // namespace kinovela::cli
