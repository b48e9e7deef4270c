// RayTrans Library documents (.mqs): the scene as a Metasequoia text
// document, each object with an extra "animation" chunk holding its world
// matrix at every frame. Our importer reads them back (it skips the chunk).
#pragma once

#include <string>

#include "export/ExportCommon.h"

namespace kinovela {

ExportResult WriteMQS(const CKinovela& scene, const CTimeline& t, const std::string& path, bool writeUV, float scale,
                      const ProgressFn& progress = {});

}  // namespace kinovela
