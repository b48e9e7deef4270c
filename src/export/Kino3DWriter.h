// Kino3D packages (.k3d): a list file naming one DirectX file per model with
// every model's world matrix at every frame, the model files themselves and
// copies of the textures, all in the list file's folder and written all or
// none.
#pragma once

#include <string>
#include <vector>

#include "export/ExportCommon.h"

namespace kinovela {

struct Kino3DOptions {
    int textureQuality = 0;
    bool textureCoords = false;
    int speed = 0;  // passed on, unused by the format
    float scale = 1.0f;
    bool safeNames = false;
    std::vector<std::string> textureFolders;       // where else to look for textures
    std::vector<std::string> textureFirstFolders;  // where to look before the program's folder
    ProgressFn progress;                           // may be empty
};

// The model file of each model (names as ExportNames gives them): the name
// and ".x" when that is a file name of its own (no folder separator, no
// control character, not dots only, not too long) and no earlier model has
// it, ignoring ASCII case; otherwise the name made safe, with "_2", "_3"...
// added until it is unique.
std::vector<std::string> Kino3DFileNames(const std::vector<std::string>& names);

ExportResult WriteKino3DPackage(const CKinovela& scene, const CTimeline& t, const std::string& path,
                                const Kino3DOptions& options);

}  // namespace kinovela
