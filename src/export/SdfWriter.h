// Shockwave 3D scene descriptions ("Shockwave3D.sdf") with their textures as
// TGA files beside them, and the call into the optional converter plug-in
// that turns a description into a .w3d file.
#pragma once

#include <string>

#include "export/ExportCommon.h"
#include "image/Textures.h"

namespace kinovela {

struct SdfOptions {
    int keyType = 0;  // 0 writes the keys; any other value none
    bool textureCoords = false;
    bool camera = false;
    bool light = false;
    float scale = 1.0f;
    bool safeNames = false;  // names limited to [A-Za-z0-9_]
    ProgressFn progress;     // may be empty
};

inline constexpr const char* kSdfFileName = "Shockwave3D.sdf";

// Writes the description to `sdfPath` and each texture, converted, as a TGA
// in the same folder. `textures` finds the texture files.
ExportResult WriteSdfFile(const CKinovela& scene, const CTimeline& t, const std::string& sdfPath,
                          const SdfOptions& options, const TextureSearch& textures);

// The converter: `libShockwave3D.so` at `pluginPath`, or when that is empty
// beside the program and then on the library path; its SaveW3DFile(path)
// reads "Shockwave3D.sdf" from the current folder. Runs it with the current
// folder set to `sdfFolder`. True when the plug-in exists and reports success;
// `error` says why not.
bool ConvertSdfToW3d(const std::string& w3dPath, const std::string& sdfFolder, const std::string& pluginPath,
                     std::string& error);

}  // namespace kinovela
