// The transform a pose stands for, in the row-vector convention of Matrix4
// (a point p in model coordinates maps to p * LocalTransform in its parent's
// coordinates). In column-vector terms this is
//     T(position + pivot) * Rz * Ry * Rx * S(scale) * T(-pivot):
// the pivot is moved to the origin, the model scaled, turned about X, then Y,
// then Z, and moved to pivot + position.
#pragma once

#include "scene/Kinovela.h"

namespace kinovela {

Matrix4 LocalTransform(const CModel& model, const CAnimation& pose);
// The model's pose at `frame`; a frame the model does not hold counts as the
// default pose.
Matrix4 LocalTransform(const CModel& model, int frame);
// The model's local transform followed by those of its ancestors, all at the
// same frame. A parent index outside the list ends the chain, and so does a
// parent cycle (each model is applied at most once).
Matrix4 WorldTransform(const CKinovela& scene, int model, int frame);

}  // namespace kinovela
