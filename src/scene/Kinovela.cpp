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
    m_cleanIndex = 0;
    ResetCamera();
    m_fov = kDefaultFov;
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
    // The record takes the model out of the list and keeps it, with the
    // materials and parent links the deletion changes.
    PushRecord(DeleteModelRecord::Delete(*this, t, m_selected));
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

void CKinovela::PruneMaterials(std::vector<std::pair<std::size_t, CMaterial>>* erased)
{
    // One pass over the faces collects the ids in use; erasing every unused
    // material in list order leaves the same list as restarting the scan
    // after each erase.
    std::vector<int> used;
    for (const CModel& m : m_models)
        for (const CFace& f : m.m_faces) used.push_back(f.m_material);
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    std::vector<CMaterial> kept;
    kept.reserve(m_materials.size());
    for (std::size_t i = 0; i < m_materials.size(); ++i) {
        if (std::binary_search(used.begin(), used.end(), m_materials[i].m_id))
            kept.push_back(std::move(m_materials[i]));
        else if (erased)
            erased->emplace_back(i, std::move(m_materials[i]));
    }
    m_materials = std::move(kept);
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

namespace {

using Frames = std::vector<CAnimation>;

Frames::difference_type At(int i) { return static_cast<Frames::difference_type>(i); }

// `moves` says, from the list as it was, where an edit moved frames in and
// out; the frames it then changed in place follow as runs. Returns the
// change as the record keeps it, seen from the list as it is now.
FrameDelta MovedAndChanged(FrameDelta moves, const Frames& before, const Frames& after)
{
    Frames moved;
    moved.reserve(std::max(before.size(), after.size()));
    moved.assign(before.begin(), before.end());
    moves.Apply(moved, false);  // now holding what `before` had there
    moves.Append(FrameDelta::Between(moved, after));
    return moves;
}

}  // namespace

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
    auto record = std::make_unique<KeyFramesRecord>();
    record->Begin(*this, t);
    ForKeyTargets(allModels, [&](int i) {
        CModel& m = m_models[static_cast<std::size_t>(i)];
        const std::vector<CAnimation> before = m.m_frames;
        auto& target = m.m_frames[static_cast<std::size_t>(frame)];
        if (!here) target.CopyPose(m.m_frames[static_cast<std::size_t>(t.m_current)]);
        target.m_key = 1;
        m.RecomputeFrames(t.m_last);
        record->AddModel(i, FrameDelta::Between(before, m.m_frames));
    });
    PushFramesRecord(std::move(record), t);
}

void CKinovela::DeleteKeyFrame(CTimeline& t, bool allModels, int frame)
{
    if (frame <= 0 || frame > t.m_last || !HasSelection()) return;
    auto record = std::make_unique<KeyFramesRecord>();
    record->Begin(*this, t);
    ForKeyTargets(allModels, [&](int i) {
        CModel& m = m_models[static_cast<std::size_t>(i)];
        const std::vector<CAnimation> before = m.m_frames;
        m.m_frames[static_cast<std::size_t>(frame)].m_key = 0;
        m.RecomputeFrames(t.m_last);
        record->AddModel(i, FrameDelta::Between(before, m.m_frames));
    });
    PushFramesRecord(std::move(record), t);
}

bool CKinovela::InsertFrames(CTimeline& t, int after, int count)
{
    if (after < 0 || after > t.m_last || count < 0) return false;
    if (count > kMaxLastFrame - t.m_last) return false;
    auto record = std::make_unique<InsertFramesRecord>();
    record->Begin(*this, t);
    record->KeepRange(t);
    t.m_last += count;
    t.m_prevLast = t.m_last;
    const auto size = static_cast<std::size_t>(t.m_last) + 1;
    // One model at a time, so that only one model's frames are held twice.
    for (std::size_t i = 0; i < m_models.size(); ++i) {
        CModel& m = m_models[i];
        const Frames before = m.m_frames;
        m.ResizeFrames(t.m_last, t.m_prevLast + 1);
        auto& fr = m.m_frames;
        for (int c = t.m_last; c >= after + count + 1; --c)
            fr[static_cast<std::size_t>(c)] = fr[static_cast<std::size_t>(c - count)];
        for (int c = after + 1; c <= after + count; ++c) fr[static_cast<std::size_t>(c)].Reset();
        m.RecomputeFrames(t.m_last);
        // As moves: the new frames go in behind `after`, then the list takes
        // its new length at the end.
        FrameDelta moves;
        moves.AddSplice(static_cast<std::size_t>(after) + 1, Frames(static_cast<std::size_t>(count)), 0);
        const std::size_t grown = before.size() + static_cast<std::size_t>(count);
        if (grown > size)
            moves.AddSplice(size, {}, grown - size);
        else if (grown < size)
            moves.AddSplice(grown, Frames(size - grown), 0);
        record->AddModel(static_cast<int>(i), MovedAndChanged(std::move(moves), before, fr));
    }
    t.m_current = 0;
    PushFramesRecord(std::move(record), t);
    return true;
}

bool CKinovela::DeleteFrames(CTimeline& t, int first, int last)
{
    if (first > last || first < 0 || last < 0 || first > t.m_last || last > t.m_last) return false;
    // Removing every frame would leave a range with no frame 0.
    if (first == 0 && last == t.m_last) return false;
    const int n = last - first + 1;
    auto record = std::make_unique<DeleteFramesRecord>();
    record->Begin(*this, t);
    record->KeepRange(t);
    for (std::size_t i = 0; i < m_models.size(); ++i) {
        CModel& m = m_models[i];
        auto& fr = m.m_frames;
        const Frames before = fr;
        for (int d = first; d + n <= t.m_last; ++d)
            fr[static_cast<std::size_t>(d)] = fr[static_cast<std::size_t>(d + n)];
        fr[0].m_key = 1;
        m.RecomputeFrames(t.m_last - n);
        // The lists keep their length: the frames behind the range move
        // forward and the last n stay where they were, so they show twice.
        // As moves: the range leaves, and the last n frames come back after
        // the new end.
        FrameDelta moves;
        moves.AddSplice(static_cast<std::size_t>(first), {}, static_cast<std::size_t>(n));
        moves.AddSplice(static_cast<std::size_t>(t.m_last - n + 1),
                        Frames(before.begin() + At(t.m_last - n + 1), before.begin() + At(t.m_last + 1)), 0);
        record->AddModel(static_cast<int>(i), MovedAndChanged(std::move(moves), before, fr));
    }
    t.m_last -= n;
    t.m_current = 0;
    PushFramesRecord(std::move(record), t);
    return true;
}

void CKinovela::SetLastFrame(CTimeline& t, int value)
{
    if (value < 0 || value > kMaxLastFrame) {
        t.m_prevLast = t.m_last;
        return;
    }
    auto record = std::make_unique<LastFrameRecord>();
    record->Begin(*this, t);
    record->KeepRange(t);
    t.m_prevLast = t.m_last;
    t.m_last = value;
    for (std::size_t i = 0; i < m_models.size(); ++i) {
        CModel& m = m_models[i];
        const std::vector<CAnimation> before = m.m_frames;
        m.ResizeFrames(t.m_last, t.m_prevLast + 1);
        record->AddModel(static_cast<int>(i), FrameDelta::Between(before, m.m_frames));
    }
    if (t.m_last < t.m_prevLast) t.m_current = 0;
    PushFramesRecord(std::move(record), t);
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
    PushRecord(std::make_unique<PoseRecord>(m.m_name, m.m_parent, frame, m.m_frames[static_cast<std::size_t>(frame)],
                                            model),
               false);
}

void CKinovela::PushUndoForSelection(const CTimeline& t)
{
    if (HasSelection()) PushUndo(m_selected, t.m_current);
}

void CKinovela::PushRecord(std::unique_ptr<EditRecord> record, bool changed)
{
    // The redo steps go. When the saved state lay among them it can no
    // longer be reached, unless none of the steps up to it changed anything.
    const auto size = static_cast<std::ptrdiff_t>(m_undo.Size());
    if (m_cleanIndex > size) {
        const auto ahead = static_cast<std::size_t>(m_cleanIndex - size);
        bool same = ahead <= m_redo.Size();
        for (std::size_t k = 0; same && k < ahead; ++k) same = !m_redo.At(m_redo.Size() - 1 - k).changed;
        m_cleanIndex = same ? size : -1;
    }
    m_redo.Clear();
    m_undo.Push({std::move(record), changed});
}

void CKinovela::ClearHistory(CTimeline& t, bool rewind)
{
    m_undo.Clear();
    m_redo.Clear();
    m_cleanIndex = -1;
    if (rewind) t.m_current = 0;
}

CKinovela CKinovela::CopyWithoutHistory()
{
    UndoStack undo = std::move(m_undo);
    UndoStack redo = std::move(m_redo);
    struct Restore {
        CKinovela& scene;
        UndoStack& undo;
        UndoStack& redo;
        ~Restore()
        {
            scene.m_undo = std::move(undo);
            scene.m_redo = std::move(redo);
        }
    } restore{*this, undo, redo};
    CKinovela copy(*this);
    copy.m_cleanIndex = -1;
    return copy;
}

bool CKinovela::AtCleanState() const
{
    if (m_cleanIndex < 0) return false;
    const auto clean = static_cast<std::size_t>(m_cleanIndex);
    const std::size_t size = m_undo.Size();
    if (size >= clean) {
        for (std::size_t i = clean; i < size; ++i)
            if (m_undo.At(i).changed) return false;
        return true;
    }
    if (clean - size > m_redo.Size()) return false;
    for (std::size_t k = 0; k < clean - size; ++k)
        if (m_redo.At(m_redo.Size() - 1 - k).changed) return false;
    return true;
}

bool CKinovela::MarkTopChanged()
{
    if (m_undo.Empty() || m_cleanIndex < 0 || static_cast<std::ptrdiff_t>(m_undo.Size()) <= m_cleanIndex) return false;
    m_undo.Top().changed = true;
    return true;
}

void CKinovela::GroupTop(std::size_t count)
{
    if (count < 2 || count > m_undo.Size()) return;
    std::vector<std::unique_ptr<EditRecord>> parts(count);
    bool changed = false;
    for (std::size_t k = count; k-- > 0;) {
        UndoEntry e = m_undo.Pop();
        changed = changed || e.changed;
        parts[k] = std::move(e.record);
    }
    // The saved state cannot lie inside the group any more.
    const auto size = static_cast<std::ptrdiff_t>(m_undo.Size());
    if (m_cleanIndex > size && m_cleanIndex < size + static_cast<std::ptrdiff_t>(count)) m_cleanIndex = -1;
    else if (m_cleanIndex >= size + static_cast<std::ptrdiff_t>(count)) m_cleanIndex -= static_cast<std::ptrdiff_t>(count) - 1;
    m_undo.Push({std::make_unique<GroupRecord>(std::move(parts)), changed});
}

}  // namespace kinovela
