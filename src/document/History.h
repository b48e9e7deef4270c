// Undo and redo over the scene's history (CKinovela::m_undo, m_redo), and
// the animation clipboard.
#pragma once

#include "scene/Kinovela.h"

namespace kinovela {

// Applies the newest undo step and moves it to the redo stack. Pose records
// that name no model in the scene, or a frame the model no longer has, are
// dropped on the way; a step that no longer fits the scene at all ends the
// history. `touched`, when given, gains the step's EditTouch bits. False
// when nothing was applied.
bool Undo(CKinovela& scene, CTimeline& t, unsigned* touched = nullptr);
// The same with the two stacks exchanged.
bool Redo(CKinovela& scene, CTimeline& t, unsigned* touched = nullptr);

// Both need a selected model and return false without one.
bool CopyAnimation(CKinovela& scene);
// Copies as many clipboard frames as the model holds, key flags included,
// as one undoable step.
bool PasteAnimation(CKinovela& scene, CTimeline& t);

}  // namespace kinovela
