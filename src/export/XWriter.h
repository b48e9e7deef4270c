// DirectX text files (.x): templates, a frame per model following the
// hierarchy (with pivot frames where a model has a pivot), one mesh per model
// and, optionally, position/rotation/scale or matrix animation.
#pragma once

#include <string>
#include <vector>

#include "export/ExportCommon.h"

namespace kinovela {

struct XOptions {
    int textureQuality = 0;  // 1: a vertex per face corner; 0: shared vertices
    int keyType = 0;         // 0 position/rotation/scale keys, 1 matrix keys, 2 none
    bool textureCoords = false;
    int speed = 150;  // time units per frame
    bool camera = false;
    float scale = 0.01f;
    int coordinateSystem = 0;  // 0 left-handed (z negated), 1 right-handed
    bool safeNames = false;
    bool snprintfNumbers = false;  // benchmarks only
    ProgressFn progress;           // may be empty
};

ExportResult WriteXFile(const CKinovela& scene, const CTimeline& t, const std::string& path, const XOptions& options);

// Pieces the Kino3D package reuses.
void WriteXPreamble(TextFile& out, bool withAnimationTemplates);
void WriteXMesh(TextFile& out, const CModel& model, const std::string& name, const std::vector<CMaterial>& materials,
                bool textureCoords, float scale, bool perCorner, bool leftHanded);

}  // namespace kinovela
