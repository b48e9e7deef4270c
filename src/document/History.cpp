#include "document/History.h"

#include <algorithm>

namespace kinovela {

namespace {

// Whether giving `model` the parent `parent` makes it its own ancestor.
bool WouldCycle(const CKinovela& scene, int model, int parent)
{
    const int count = static_cast<int>(scene.m_models.size());
    for (int p = parent, steps = 0; p >= 0 && p < count && steps <= count; ++steps) {
        if (p == model) return true;
        p = scene.m_models[static_cast<std::size_t>(p)].m_parent;
    }
    return false;
}

bool Apply(CKinovela& scene, CTimeline& t, UndoStack& from, UndoStack& to)
{
    if (scene.m_models.empty()) return false;
    while (!from.Empty()) {
        const std::size_t top = from.Size() - 1;
        const int index = scene.FindModel(from.names[top]);
        const int frame = from.frames[top];
        if (index == kNoModel || !scene.m_models[static_cast<std::size_t>(index)].HasFrame(frame) ||
            !scene.m_models[static_cast<std::size_t>(index)].HasFrame(t.m_current)) {
            from.Pop();  // nothing left to apply it to
            continue;
        }
        scene.m_selected = index;
        CModel& m = scene.m_models[static_cast<std::size_t>(index)];
        // The opposite record holds the pose of the frame that is current
        // now, not of the recorded frame.
        to.Push(m.m_name, m.m_parent, t.m_current, m.m_frames[static_cast<std::size_t>(t.m_current)]);
        const int parent = from.parents[top];
        // A link that would close a parent cycle (the model lists have
        // changed since the record was taken) is not restored; the pose is.
        if (!WouldCycle(scene, index, parent)) {
            m.m_parent = parent;
            // The parent name is what files keep and what every later
            // resolve goes by, so it follows the restored index.
            if (parent >= 0 && static_cast<std::size_t>(parent) < scene.m_models.size())
                m.m_parentName = scene.m_models[static_cast<std::size_t>(parent)].m_name;
            else
                m.m_parentName = kNoParentName;
        }
        t.m_current = frame;
        m.m_frames[static_cast<std::size_t>(frame)] = from.poses[top];
        from.Pop();
        return true;
    }
    return false;
}

}  // namespace

bool Undo(CKinovela& scene, CTimeline& t) { return Apply(scene, t, scene.m_undo, scene.m_redo); }

bool Redo(CKinovela& scene, CTimeline& t) { return Apply(scene, t, scene.m_redo, scene.m_undo); }

void RenameInHistory(CKinovela& scene, const std::string& oldName, const std::string& newName)
{
    for (UndoStack* s : {&scene.m_undo, &scene.m_redo})
        for (std::string& n : s->names)
            if (n == oldName) n = newName;
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
    const std::size_t n = std::min(scene.m_animClipboard.size(), m->m_frames.size());
    std::copy_n(scene.m_animClipboard.begin(), n, m->m_frames.begin());
    scene.ClearHistory(t, false);
    return true;
}

}  // namespace kinovela
