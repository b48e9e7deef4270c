// VRML97 worlds (.wrl): each model a nest of Transform nodes with one Shape
// per material, the model tree as nesting, an optional camera nest and
// optional interpolators driven by one looping TimeSensor; each texture is
// written beside the world as a 32 x 32 BMP and copied there as it is.
#pragma once

#include <string>

#include "export/ExportCommon.h"
#include "image/Textures.h"

namespace kinovela {

struct VrmlOptions {
    int keyType = 0;  // 0 writes the interpolators; any other value none
    bool textureCoords = false;
    bool normals = false;
    bool camera = false;
    float scale = 1.0f;
    bool safeNames = false;  // DEF names limited to [A-Za-z0-9_]
    ProgressFn progress;     // may be empty
};

// Writes `path` and the texture side files in its folder. `textures` finds
// the texture files to copy.
ExportResult WriteVrmlFile(const CKinovela& scene, const CTimeline& t, const std::string& path,
                           const VrmlOptions& options, const TextureSearch& textures);

}  // namespace kinovela
