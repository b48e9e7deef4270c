// Undo and redo of single-frame poses, and the animation clipboard. The
// records live in the scene (CKinovela::m_undo, m_redo); these operations
// apply them.
#pragma once

#include <string>

#include "scene/Kinovela.h"

namespace kinovela {

// Applies the newest undo record: selects the first model with the record's
// name, moves the pose at the current frame to the redo stack, restores the
// model's parent link and the recorded pose (key flag included) and makes
// the recorded frame current. Records that name no model in the scene, or a
// frame the model no longer has, are dropped on the way. False when nothing
// was applied.
bool Undo(CKinovela& scene, CTimeline& t);
// The same with the two stacks exchanged.
bool Redo(CKinovela& scene, CTimeline& t);

// Pending records follow a model that is renamed, so undo keeps working.
void RenameInHistory(CKinovela& scene, const std::string& oldName, const std::string& newName);

// Both need a selected model and return false without one.
bool CopyAnimation(CKinovela& scene);
// Copies as many clipboard frames as the model holds, key flags included,
// and clears the history (without rewinding).
bool PasteAnimation(CKinovela& scene, CTimeline& t);

}  // namespace kinovela
