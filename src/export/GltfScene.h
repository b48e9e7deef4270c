// The glTF document of a scene, built in memory with tinygltf's model
// records: nodes, meshes, materials, pictures, the animation and the one
// binary buffer. GltfWriter puts it into files; the tests read it directly.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "export/GltfWriter.h"

namespace kinovela::gltf {

// A picture of the document: the bytes of a PNG or JPEG file.
struct Picture {
    int image = -1;            // index into model.images
    std::string bytes;
    std::string mimeType;      // "image/png" or "image/jpeg"
    std::string fileName;      // suggested file name (UTF-8, no folder, safe in a URI)
    std::string sourcePath;    // the file the bytes are, when they are a file's own bytes
};

struct Document {
    tinygltf::Model model;
    // Pictures not in the buffer (a .gltf that keeps them beside it); their
    // images have no URI yet.
    std::vector<Picture> separatePictures;
    std::vector<std::string> warnings;
};

// Builds the document. With `embedPictures` the pictures live in the buffer
// (as a .glb needs them); without, they are listed in separatePictures.
// `progress` is told as each model's mesh and animation are done.
Document BuildDocument(const CKinovela& scene, const CTimeline& t, const GltfOptions& options, bool embedPictures,
                       ExportProgress& progress);

// The rotation of a pose (Euler angles in degrees, applied about X, then Y,
// then Z) as a unit quaternion x, y, z, w.
std::array<double, 4> PoseRotation(const CVector& degrees);

// The frames 0..last at which a model's motion is sampled: every frame, or
// frame 0, the last frame, the key frames and any frame where linear
// interpolation of the samples (spherical for rotations) would stray from
// the stored pose.
std::vector<int> SampleFrames(const CModel& model, int last, bool everyFrame);

// A file name made only of characters a URI carries as they are: ASCII
// letters, digits, "-", ".", "_", "~" and UTF-8 sequences; every other byte
// becomes "_", as does a leading ".". Never empty.
std::string SafeFileName(std::string_view name);

}  // namespace kinovela::gltf
