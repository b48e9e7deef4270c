#include "document/History.h"

#include <algorithm>

namespace kinovela {

namespace {

bool Step(CKinovela& scene, CTimeline& t, UndoStack& from, UndoStack& to, bool undoing, unsigned* touched)
{
    while (!from.Empty()) {
        EditRecord& record = *from.Top().record;
        switch (record.Apply(scene, t)) {
        case ApplyResult::Applied: {
            const unsigned what = record.Touches();
            if (touched) *touched |= what;
            to.Push(from.Pop());
            if (what & (kTouchModels | kTouchHierarchy)) scene.RebuildHierarchyWalk();
            return true;
        }
        case ApplyResult::Blocked: return false;
        case ApplyResult::Dropped: {
            // The steps after it are numbered one lower now; a saved state
            // among them is lost track of.
            const auto step = static_cast<std::ptrdiff_t>(scene.m_undo.Size()) + (undoing ? 0 : 1);
            from.Pop();
            if (scene.m_cleanIndex >= step) scene.m_cleanIndex = -1;
            continue;
        }
        case ApplyResult::Stale:
            // Something changed the scene behind the history's back: no
            // step can be trusted to fit any more.
            scene.ClearHistory(t, false);
            if (touched) *touched |= kTouchModels | kTouchHierarchy | kTouchPoses | kTouchTimeline;
            return false;
        }
    }
    return false;
}

}  // namespace

bool Undo(CKinovela& scene, CTimeline& t, unsigned* touched)
{
    return Step(scene, t, scene.m_undo, scene.m_redo, true, touched);
}

bool Redo(CKinovela& scene, CTimeline& t, unsigned* touched)
{
    return Step(scene, t, scene.m_redo, scene.m_undo, false, touched);
}

bool CopyAnimation(CKinovela& scene)
{
    const CModel* m = scene.SelectedModel();
    if (!m) return false;
    scene.m_animClipboard = m->m_frames;
    return true;
}

bool PasteAnimation(CKinovela& scene, CTimeline& t)
{
    CModel* m = scene.SelectedModel();
    if (!m) return false;
    auto record = std::make_unique<PasteAnimationRecord>();
    record->Begin(scene, t);
    const std::vector<CAnimation> before = m->m_frames;
    const std::size_t n = std::min(scene.m_animClipboard.size(), m->m_frames.size());
    std::copy_n(scene.m_animClipboard.begin(), n, m->m_frames.begin());
    record->AddModel(scene.m_selected, FrameDelta::Between(before, m->m_frames));
    if (!record->Empty(t)) {
        record->End(scene, t);
        scene.PushRecord(std::move(record));
    }
    return true;
}

}  // namespace kinovela
