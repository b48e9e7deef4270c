// Hot Soup Processor model (.mx) and motion (.ma) files, with each texture
// written beside them as a full-size BMP.
#pragma once

#include <string>

#include "export/ExportCommon.h"
#include "image/Textures.h"

namespace kinovela {

struct HspOptions {
    int textureQuality = 0;
    int keyType = 0;  // 0 writes the motion file
    float scale = 0.04f;
    // Where the scene's texture files came from: a BMP that would land on
    // one of them is not written, so an export never replaces a source.
    TextureSearch textures;
    ProgressFn progress;  // may be empty
};

// Writes `path` (the model file), the motion file beside it when keys are
// on, and the texture BMPs in its folder.
ExportResult WriteHspFile(const CKinovela& scene, const CTimeline& t, const std::string& path, const HspOptions& options);

}  // namespace kinovela
