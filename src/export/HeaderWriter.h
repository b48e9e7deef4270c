// C headers (.h): every model's faces, vertices, normals and the scene's
// materials as initialised arrays for an OpenGL program that declares Face,
// Vector3 and Material in "OpenGL.h". Geometry only: no hierarchy or motion.
#pragma once

#include <string>

#include "export/ExportCommon.h"

namespace kinovela {

ExportResult WriteHeaderFile(const CKinovela& scene, const std::string& path, float scale, bool safeNames = false,
                             const ProgressFn& progress = {});

}  // namespace kinovela
