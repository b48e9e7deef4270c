// Frame all and frame selected: where the camera goes so that models, posed
// at the current frame, fill the 3D view. The camera keeps its rotation; its
// position (and, for scenes deeper than the view's depth range allows at
// the usual field of view, the field of view) change.
#pragma once

#include <optional>
#include <span>

#include "scene/Kinovela.h"

namespace kinovela {

struct CameraFit {
    CVector position;  // the camera's new position
    float fov = kDefaultFov;
    // False when even the widest field of view cannot hold the boxes
    // between the near and far planes: they are then framed as well as the
    // depth range allows.
    bool fits = true;
};

// The models to frame: the selected one, or (selectedOnly false) every
// visible model the hierarchy walk reaches.
std::vector<int> ModelsToFrame(const CKinovela& scene, bool selectedOnly);

// The camera that shows the bounding boxes of `models` at the current frame
// inside a view of the given width / height, with a small margin. Nothing
// when none of the models has a vertex.
std::optional<CameraFit> FitCamera(const CKinovela& scene, const CTimeline& t, std::span<const int> models,
                                   float aspect);

}  // namespace kinovela
