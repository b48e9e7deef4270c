// Opening a scene file for the command-line tool: .kvl replaces the scene,
// .mqo is imported into it; the extension decides, ignoring case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/Progress.h"
#include "scene/Kinovela.h"

namespace kinovela::cli {

struct LoadOutcome {
    bool ok = false;
    std::string format;       // "kvl", "mqo" or empty for an unknown type
    std::string versionText;  // .kvl: the stored version text; .mqo: "1.0" or "1.1"
    std::string codePage;     // .mqo only: "932" or "utf8"
    // All texts are UTF-8: names inside them are decoded from Shift_JIS.
    std::string error;  // file, line or offset, reason
    std::vector<std::string> warnings;
};

bool HasExtension(std::string_view path, std::string_view ext);
// Textured materials get their images, looked for in `textureFolders`
// first; the textures that cannot be loaded are one warning, which names
// them all and the folders searched.
LoadOutcome LoadSceneFile(const std::string& path, CKinovela& scene, CTimeline& t, const ProgressFn& progress = {},
                          const std::vector<std::string>& textureFolders = {});

}  // namespace kinovela::cli
