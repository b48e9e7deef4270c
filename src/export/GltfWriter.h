// glTF 2.0 files: .glb (one binary container with the buffer and the
// pictures inside) or .gltf (JSON, one .bin beside it, and the pictures
// beside it unless embedded in the .bin). Each model is a pair of nodes
// following the hierarchy (a fixed pivot-offset node and the posed node that
// carries the mesh and the animation), with one triangle primitive per
// material, metallic-roughness materials, the materials' pictures, one
// animation and, optionally, the camera.
#pragma once

#include <string>

#include "export/ExportCommon.h"
#include "image/Textures.h"

namespace kinovela {

struct GltfOptions {
    bool binary = true;       // .glb; false writes .gltf + .bin
    float scale = 0.01f;      // multiplies every position and translation (millimetres to metres); must be > 0
    bool animation = true;    // false: no animation, the nodes hold frame 0's pose
    bool everyFrame = false;  // a sample at every frame instead of only where the motion needs one
    bool camera = false;      // the preview's camera as a camera node
    bool textureCoords = true;  // false also leaves the pictures out
    bool embedTextures = false;  // .gltf only: the pictures go into the .bin instead of beside it
    bool safeNames = false;   // names limited to [A-Za-z0-9_]
    ProgressFn progress;      // may be empty
};

// Writes `path` (and for .gltf its side files, all or none; no side file
// replaces a file `textures` would read). Fails without writing anything
// for a scale that is not a positive number, and for a .glb whose buffer
// would not fit the container's 32-bit lengths.
ExportResult WriteGltfFile(const CKinovela& scene, const CTimeline& t, const std::string& path,
                           const GltfOptions& options, const TextureSearch& textures = {});

}  // namespace kinovela
