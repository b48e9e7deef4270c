#include "scene/Kinovela.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "scene/Hierarchy.h"

namespace kinovela {

CKinovela::CKinovela() { ResetSceneFields(); }

int CKinovela::FindModel(const std::string& name) const
{
    for (std::size_t i = 0; i < m_models.size(); ++i)
        if (m_models[i].m_name == name) return static_cast<int>(i);
    return kNoModel;
}

// --- pose accessors --------------------------------------------------------

CAnimation& CKinovela::CurrentPose(const CTimeline& t)
{
    CModel& m = m_models[static_cast<std::size_t>(m_selected)];
    // Every operation that changes the frame range resizes all frame lists
    // and the native reader refuses short ones, so the current frame exists.
    assert(m.HasFrame(t.m_current));
    return m.m_frames[static_cast<std::size_t>(t.m_current)];
}

const CAnimation& CKinovela::CurrentPose(const CTimeline& t) const
{
    return const_cast<CKinovela*>(this)->CurrentPose(t);
}

CVector CKinovela::GetPosition(const CTimeline& t) const
{
    return HasSelection() ? CurrentPose(t).m_position : m_camera[0].m_position;
}

CVector CKinovela::GetRotation(const CTimeline& t) const
{
    return HasSelection() ? CurrentPose(t).m_rotation : m_camera[0].m_rotation;
}

CVector CKinovela::GetScale(const CTimeline& t) const
{
    return HasSelection() ? CurrentPose(t).m_scale : m_camera[0].m_position;
}

void CKinovela::SetPosition(const CTimeline& t, const CVector& v)
{
    (HasSelection() ? CurrentPose(t) : m_camera[0]).m_position = v;
}

void CKinovela::SetRotation(const CTimeline& t, const CVector& v)
{
    (HasSelection() ? CurrentPose(t) : m_camera[0]).m_rotation = v;
}

void CKinovela::SetScale(const CTimeline& t, const CVector& v)
{
    if (HasSelection()) CurrentPose(t).m_scale = v;
}

void CKinovela::WrapCameraAngles()
{
    if (m_camera.empty()) return;
    for (float* a : {&m_camera[0].m_rotation.m_x, &m_camera[0].m_rotation.m_y, &m_camera[0].m_rotation.m_z}) {
        if (!std::isfinite(*a)) continue;  // would never leave the loops
        // Far out, subtracting 360 no longer changes a float at all.
        if (std::fabs(*a) > 360.0f * 4096.0f) *a = std::fmod(*a, 360.0f);
        while (*a < -360.0f) *a += 360.0f;
        while (*a > 360.0f) *a -= 360.0f;
    }
}

CVector CKinovela::AddPosition(const CTimeline& t, const CVector& v)
{
    CVector& p = (HasSelection() ? CurrentPose(t) : m_camera[0]).m_position;
    p += v;
    return p;
}

CVector CKinovela::AddRotation(const CTimeline& t, const CVector& v)
{
    CVector& r = (HasSelection() ? CurrentPose(t) : m_camera[0]).m_rotation;
    r += v;
    return r;
}

CVector CKinovela::AddScale(const CTimeline& t, const CVector& v)
{
    if (!HasSelection()) return {};
    CVector& s = CurrentPose(t).m_scale;
    s += v;
    return s;
}

// --- hierarchy and lists -----------------------------------------------------

void CKinovela::ResetSceneFields()
{
    m_materials.clear();
    m_models.clear();
    m_hierarchyWalk.clear();
    m_undo.Clear();
    m_redo.Clear();
    ResetCamera();
    m_fov = 10.0f;
    m_smooth = 1;
    m_lastListId = 5;
    m_nextMaterialId = 0;
}

void CKinovela::ResetScene(CTimeline& t)
{
    ResetSceneFields();
    t.m_current = 0;
}

void CKinovela::ResetCamera()
{
    m_camera.resize(1);
    m_camera[0].m_rotation = {20.0f, 10.0f, 0.0f};
    m_camera[0].m_position = {0.0f, 0.0f, -2000.0f};
    m_camera[0].m_scale = {1.0f, 1.0f, 1.0f};
}

void CKinovela::DeleteModel(CTimeline& t)
{
    if (!HasSelection()) return;
    m_models.erase(m_models.begin() + m_selected);
    PruneMaterials();
    ResolveParents();
    m_selected = kNoModel;
    ClearHistory(t, true);
    RebuildHierarchyWalk();
}

void CKinovela::ResolveParents()
{
    m_selected = kNoModel;
    ResolveParentsOf(0);
}

void CKinovela::ResolveParentsOf(std::size_t first)
{
    for (std::size_t i = first; i < m_models.size(); ++i) {
        CModel& m = m_models[i];
        const int p = FindModel(m.m_parentName);
        if (p != kNoModel) {
            m.m_parent = p;
            m.m_parentName = m_models[static_cast<std::size_t>(p)].m_name;
        } else {
            m.m_parent = kNoModel;
            m.m_parentName = kNoParentName;
        }
    }
}

void CKinovela::RenameParentLinks(const std::string& oldName, const std::string& newName)
{
    for (CModel& m : m_models)
        if (m.m_parentName == oldName) m.m_parentName = newName;
}

void CKinovela::PruneMaterials()
{
    // One pass over the faces collects the ids in use; erasing every unused
    // material in list order leaves the same list as restarting the scan
    // after each erase.
    std::vector<int> used;
    for (const CModel& m : m_models)
        for (const CFace& f : m.m_faces) used.push_back(f.m_material);
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    std::erase_if(m_materials,
                  [&](const CMaterial& mat) { return !std::binary_search(used.begin(), used.end(), mat.m_id); });
}

void CKinovela::RebuildHierarchyWalk() { m_hierarchyWalk = BuildHierarchyWalk(*this); }

void CKinovela::UpdateColors()
{
    for (CMaterial& m : m_materials) m.UpdateColors();
}

void CKinovela::UpdateBoundingBoxes()
{
    for (CModel& m : m_models) m.UpdateBoundingBox();
}

void CKinovela::UpdateNormals()
{
    for (CModel& m : m_models) m.ComputeNormals();
}

void CKinovela::UpdateDerived()
{
    UpdateColors();
    UpdateBoundingBoxes();
    UpdateNormals();
    RebuildHierarchyWalk();
}

// --- animation ---------------------------------------------------------------

void CKinovela::RecomputeAll(const CTimeline& t)
{
    for (CModel& m : m_models) m.RecomputeFrames(t.m_last);
}

template <class Fn> void CKinovela::ForKeyTargets(bool allModels, Fn&& fn)
{
    if (allModels) {
        for (std::size_t i = 0; i < m_models.size(); ++i) fn(static_cast<int>(i));
    } else {
        fn(m_selected);
    }
}

void CKinovela::AddKeyFrame(CTimeline& t, bool allModels, int frame)
{
    if (!HasSelection()) return;
    if (frame < 0 || frame > t.m_last) return;
    const bool here = frame == t.m_current;
    ForKeyTargets(allModels, [&](int i) {
        CModel& m = m_models[static_cast<std::size_t>(i)];
        PushUndo(i, frame);
        auto& target = m.m_frames[static_cast<std::size_t>(frame)];
        if (!here) target.CopyPose(m.m_frames[static_cast<std::size_t>(t.m_current)]);
        target.m_key = 1;
        m.RecomputeFrames(t.m_last);
    });
}

void CKinovela::DeleteKeyFrame(CTimeline& t, bool allModels, int frame)
{
    if (frame <= 0 || frame > t.m_last || !HasSelection()) return;
    ForKeyTargets(allModels, [&](int i) {
        CModel& m = m_models[static_cast<std::size_t>(i)];
        PushUndo(i, frame);
        m.m_frames[static_cast<std::size_t>(frame)].m_key = 0;
        m.RecomputeFrames(t.m_last);
    });
}

bool CKinovela::InsertFrames(CTimeline& t, int after, int count)
{
    if (after < 0 || after > t.m_last || count < 0) return false;
    if (count > kMaxLastFrame - t.m_last) return false;
    t.m_last += count;
    t.m_prevLast = t.m_last;
    for (CModel& m : m_models) {
        m.ResizeFrames(t.m_last, t.m_prevLast + 1);
        auto& fr = m.m_frames;
        for (int c = t.m_last; c >= after + count + 1; --c)
            fr[static_cast<std::size_t>(c)] = fr[static_cast<std::size_t>(c - count)];
        for (int c = after + 1; c <= after + count; ++c) fr[static_cast<std::size_t>(c)].Reset();
    }
    RecomputeAll(t);
    ClearHistory(t, true);
    return true;
}

bool CKinovela::DeleteFrames(CTimeline& t, int first, int last)
{
    if (first > last || first < 0 || last < 0 || first > t.m_last || last > t.m_last) return false;
    // Removing every frame would leave a range with no frame 0.
    if (first == 0 && last == t.m_last) return false;
    const int n = last - first + 1;
    for (CModel& m : m_models) {
        auto& fr = m.m_frames;
        for (int d = first; d + n <= t.m_last; ++d)
            fr[static_cast<std::size_t>(d)] = fr[static_cast<std::size_t>(d + n)];
        fr[0].m_key = 1;
    }
    t.m_last -= n;
    RecomputeAll(t);
    ClearHistory(t, true);
    return true;
}

void CKinovela::SetLastFrame(CTimeline& t, int value)
{
    t.m_prevLast = t.m_last;
    if (value < 0 || value > kMaxLastFrame) return;
    t.m_last = value;
    for (CModel& m : m_models) m.ResizeFrames(t.m_last, t.m_prevLast + 1);
    if (t.m_last < t.m_prevLast) ClearHistory(t, true);
}

void CKinovela::FirstFrame(CTimeline& t)
{
    RecomputeAll(t);
    t.m_current = 0;
}

void CKinovela::LastFrame(CTimeline& t)
{
    RecomputeAll(t);
    t.m_current = t.m_last;
}

void CKinovela::NextFrame(CTimeline& t)
{
    RecomputeAll(t);
    if (t.Step(1) > t.m_last) t.m_current = 0;
}

void CKinovela::PrevFrame(CTimeline& t)
{
    RecomputeAll(t);
    if (t.Step(-1) < 0) t.m_current = t.m_last;
}

void CKinovela::NextKeyFrame(CTimeline& t)
{
    RecomputeAll(t);
    if (!HasSelection()) return;
    const CModel& m = m_models[static_cast<std::size_t>(m_selected)];
    // Frame 0 is always a key, so this ends within m_last + 1 steps; the cap
    // also covers a frame 0 whose flag a file cleared.
    for (int steps = 0; steps <= t.m_last; ++steps) {
        if (t.Step(1) > t.m_last) t.m_current = 0;
        if (m.m_frames[static_cast<std::size_t>(t.m_current)].m_key == 1) return;
    }
}

void CKinovela::PrevKeyFrame(CTimeline& t)
{
    RecomputeAll(t);
    if (!HasSelection()) return;
    const CModel& m = m_models[static_cast<std::size_t>(m_selected)];
    for (int steps = 0; steps <= t.m_last; ++steps) {
        if (t.Step(-1) < 0) t.m_current = t.m_last;
        if (m.m_frames[static_cast<std::size_t>(t.m_current)].m_key == 1) return;
    }
}

// --- history -----------------------------------------------------------------

void CKinovela::PushUndo(int model, int frame)
{
    if (model < 0 || static_cast<std::size_t>(model) >= m_models.size()) return;
    const CModel& m = m_models[static_cast<std::size_t>(model)];
    if (!m.HasFrame(frame)) return;
    m_undo.Push(m.m_name, m.m_parent, frame, m.m_frames[static_cast<std::size_t>(frame)]);
    m_redo.Clear();
}

void CKinovela::PushUndoForSelection(const CTimeline& t)
{
    if (HasSelection()) PushUndo(m_selected, t.m_current);
}

void CKinovela::ClearHistory(CTimeline& t, bool rewind)
{
    m_undo.Clear();
    m_redo.Clear();
    if (rewind) t.m_current = 0;
}

}  // namespace kinovela
