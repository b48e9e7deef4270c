#include "scene/EditRecords.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "scene/Kinovela.h"

namespace kinovela {

namespace {

bool SameBits(const CVector& a, const CVector& b)
{
    return std::bit_cast<std::uint32_t>(a.m_x) == std::bit_cast<std::uint32_t>(b.m_x) &&
           std::bit_cast<std::uint32_t>(a.m_y) == std::bit_cast<std::uint32_t>(b.m_y) &&
           std::bit_cast<std::uint32_t>(a.m_z) == std::bit_cast<std::uint32_t>(b.m_z);
}

bool ValidModel(const CKinovela& scene, int model)
{
    return model >= 0 && static_cast<std::size_t>(model) < scene.m_models.size();
}

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

using Frames = std::vector<CAnimation>;
using Offset = Frames::difference_type;

Offset At(std::size_t i) { return static_cast<Offset>(i); }

}  // namespace

bool SamePose(const CAnimation& a, const CAnimation& b)
{
    return a.m_key == b.m_key && SameBits(a.m_position, b.m_position) && SameBits(a.m_rotation, b.m_rotation) &&
           SameBits(a.m_scale, b.m_scale);
}

// --- frame deltas -------------------------------------------------------------

FrameDelta FrameDelta::Between(const Frames& before, const Frames& after)
{
    FrameDelta d;
    if (before.size() == after.size()) {
        for (std::size_t i = 0; i < before.size();) {
            if (SamePose(before[i], after[i])) {
                ++i;
                continue;
            }
            Step run;
            run.pos = i;
            while (i < before.size() && !SamePose(before[i], after[i])) run.others.push_back(before[i++]);
            run.count = run.others.size();
            d.m_steps.push_back(std::move(run));
        }
        return d;
    }
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t prefix = 0;
    while (prefix < shorter && SamePose(before[prefix], after[prefix])) ++prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix &&
           SamePose(before[before.size() - 1 - suffix], after[after.size() - 1 - suffix]))
        ++suffix;
    d.AddSplice(prefix, Frames(before.begin() + At(prefix), before.end() - At(suffix)), after.size() - suffix - prefix);
    return d;
}

void FrameDelta::AddSplice(std::size_t pos, Frames others, std::size_t count)
{
    if (others.empty() && count == 0) return;
    Step s;
    s.pos = pos;
    s.count = count;
    s.others = std::move(others);
    s.splice = true;
    m_steps.push_back(std::move(s));
}

void FrameDelta::Append(FrameDelta&& d)
{
    for (Step& s : d.m_steps) m_steps.push_back(std::move(s));
}

bool FrameDelta::Apply(Frames& frames, bool backwards)
{
    // Check the whole walk first, so that a list of another shape is left
    // alone rather than half changed.
    std::size_t size = frames.size(), largest = size;
    for (std::size_t k = 0; k < m_steps.size(); ++k) {
        const Step& s = m_steps[backwards ? m_steps.size() - 1 - k : k];
        if (s.pos > size || s.count > size - s.pos) return false;
        if (s.splice) {
            size = size - s.count + s.others.size();
            largest = std::max(largest, size);
        }
    }
    // One allocation for the longest the list gets on the way.
    frames.reserve(largest);
    for (std::size_t k = 0; k < m_steps.size(); ++k) {
        Step& s = m_steps[backwards ? m_steps.size() - 1 - k : k];
        const auto first = frames.begin() + At(s.pos);
        if (!s.splice) {
            std::swap_ranges(s.others.begin(), s.others.end(), first);
            continue;
        }
        Frames removed(std::make_move_iterator(first), std::make_move_iterator(first + At(s.count)));
        frames.erase(first, first + At(s.count));
        frames.insert(frames.begin() + At(s.pos), std::make_move_iterator(s.others.begin()),
                      std::make_move_iterator(s.others.end()));
        s.count = s.others.size();
        s.others = std::move(removed);
    }
    return true;
}

std::size_t FrameDelta::HeldPoses() const
{
    std::size_t n = 0;
    for (const Step& s : m_steps) n += s.others.size();
    return n;
}

// --- poses ----------------------------------------------------------------------

ApplyResult PoseRecord::Apply(CKinovela& scene, CTimeline& t)
{
    if (scene.m_models.empty()) return ApplyResult::Blocked;
    const int index = ValidModel(scene, m_model) && scene.m_models[static_cast<std::size_t>(m_model)].m_name == m_name
                          ? m_model
                          : scene.FindModel(m_name);
    if (index == kNoModel || !scene.m_models[static_cast<std::size_t>(index)].HasFrame(m_frame))
        return ApplyResult::Dropped;
    scene.m_selected = index;
    CModel& m = scene.m_models[static_cast<std::size_t>(index)];
    CAnimation& pose = m.m_frames[static_cast<std::size_t>(m_frame)];
    // The record keeps what it replaces at its own frame, so that the step
    // back restores exactly the pose this one took away, wherever the
    // current frame was in between.
    const int parent = m.m_parent;
    // A link that would close a parent cycle (the lists changed since the
    // record was taken) is not restored; the pose is.
    if (m_parent != parent && !WouldCycle(scene, index, m_parent)) {
        m.m_parent = m_parent;
        // The parent name is what files keep and what every later resolve
        // goes by, so it follows the restored index.
        m.m_parentName =
            ValidModel(scene, m_parent) ? scene.m_models[static_cast<std::size_t>(m_parent)].m_name : kNoParentName;
    }
    t.m_current = m_frame;
    std::swap(pose, m_pose);
    m_parent = parent;
    m_model = index;
    return ApplyResult::Applied;
}

// --- selection and current frame ----------------------------------------------------

void SceneEdit::Begin(const CKinovela& scene, const CTimeline& t)
{
    m_selectedBefore = scene.m_selected;
    m_currentBefore = t.m_current;
}

void SceneEdit::End(const CKinovela& scene, const CTimeline& t)
{
    m_selectedAfter = scene.m_selected;
    m_currentAfter = t.m_current;
}

void SceneEdit::Restore(CKinovela& scene, CTimeline& t, bool undoing) const
{
    const int selected = undoing ? m_selectedBefore : m_selectedAfter;
    scene.m_selected = ValidModel(scene, selected) ? selected : kNoModel;
    t.m_current = std::clamp(undoing ? m_currentBefore : m_currentAfter, 0, t.m_last);
}

// --- frame lists ----------------------------------------------------------------------

void FramesEdit::AddModel(int model, FrameDelta&& delta)
{
    if (!delta.Empty()) m_models.emplace_back(model, std::move(delta));
}

void FramesEdit::KeepRange(const CTimeline& t)
{
    m_range = true;
    m_otherLast = t.m_last;
    m_otherPrevLast = t.m_prevLast;
}

bool FramesEdit::Empty(const CTimeline& t) const { return m_models.empty() && (!m_range || m_otherLast == t.m_last); }

ApplyResult FramesEdit::ApplyFrames(CKinovela& scene, CTimeline& t)
{
    for (const auto& [model, delta] : m_models)
        if (!ValidModel(scene, model)) return ApplyResult::Stale;
    for (auto& [model, delta] : m_models)
        if (!delta.Apply(scene.m_models[static_cast<std::size_t>(model)].m_frames, m_done)) return ApplyResult::Stale;
    if (m_range) {
        std::swap(t.m_last, m_otherLast);
        std::swap(t.m_prevLast, m_otherPrevLast);
    }
    Restore(scene, t, m_done);
    m_done = !m_done;
    return ApplyResult::Applied;
}

std::size_t FramesEdit::FramesHeld() const
{
    std::size_t n = 0;
    for (const auto& [model, delta] : m_models) n += delta.HeldPoses();
    return n;
}

// --- model lists ------------------------------------------------------------------------

std::unique_ptr<DeleteModelRecord> DeleteModelRecord::Delete(CKinovela& scene, CTimeline& t, int index)
{
    auto r = std::make_unique<DeleteModelRecord>();
    r->Begin(scene, t);
    r->m_index = index;
    r->Take(scene, t);
    r->End(scene, t);
    return r;
}

void DeleteModelRecord::Take(CKinovela& scene, CTimeline& t)
{
    std::vector<std::pair<int, std::string>> links;
    links.reserve(scene.m_models.size());
    for (const CModel& m : scene.m_models) links.emplace_back(m.m_parent, m.m_parentName);

    const auto at = scene.m_models.begin() + At(static_cast<std::size_t>(m_index));
    m_model = std::move(*at);
    scene.m_models.erase(at);
    m_materials.clear();
    scene.PruneMaterials(&m_materials);
    scene.ResolveParents();
    m_links.clear();
    for (std::size_t i = 0; i < scene.m_models.size(); ++i) {
        const std::size_t before = i < static_cast<std::size_t>(m_index) ? i : i + 1;
        const CModel& m = scene.m_models[i];
        if (m.m_parent != links[before].first || m.m_parentName != links[before].second)
            m_links.push_back({static_cast<int>(before), links[before].first, std::move(links[before].second)});
    }
    scene.m_selected = kNoModel;
    t.m_current = 0;
    scene.RebuildHierarchyWalk();
}

ApplyResult DeleteModelRecord::Apply(CKinovela& scene, CTimeline& t)
{
    if (!m_done) {
        if (!ValidModel(scene, m_index)) return ApplyResult::Stale;
        Take(scene, t);
        Restore(scene, t, false);
        m_done = true;
        return ApplyResult::Applied;
    }
    if (static_cast<std::size_t>(m_index) > scene.m_models.size()) return ApplyResult::Stale;
    std::size_t materials = scene.m_materials.size();
    for (const auto& [pos, material] : m_materials) {
        if (pos > materials) return ApplyResult::Stale;
        ++materials;
    }
    for (const Link& l : m_links)
        if (static_cast<std::size_t>(l.model) > scene.m_models.size()) return ApplyResult::Stale;
    scene.m_models.insert(scene.m_models.begin() + At(static_cast<std::size_t>(m_index)), std::move(m_model));
    m_model = CModel{};
    // Positions ascend, so each material goes back where it stood.
    for (auto& [pos, material] : m_materials)
        scene.m_materials.insert(scene.m_materials.begin() + At(pos), std::move(material));
    m_materials.clear();
    for (Link& l : m_links) {
        CModel& m = scene.m_models[static_cast<std::size_t>(l.model)];
        m.m_parent = l.parent;
        m.m_parentName = std::move(l.parentName);
    }
    m_links.clear();
    Restore(scene, t, true);
    m_done = false;
    return ApplyResult::Applied;
}

AddModelsRecord::AddModelsRecord(const CKinovela& scene, const CTimeline& t)
    : m_firstModel(scene.m_models.size()),
      m_firstMaterial(scene.m_materials.size()),
      m_otherLastListId(scene.m_lastListId),
      m_otherNextMaterialId(scene.m_nextMaterialId)
{
    Begin(scene, t);
}

bool AddModelsRecord::Finish(const CKinovela& scene, const CTimeline& t)
{
    m_modelCount = scene.m_models.size() - m_firstModel;
    m_materialCount = scene.m_materials.size() - m_firstMaterial;
    End(scene, t);
    return m_modelCount > 0 || m_materialCount > 0 || m_otherLastListId != scene.m_lastListId ||
           m_otherNextMaterialId != scene.m_nextMaterialId;
}

ApplyResult AddModelsRecord::Apply(CKinovela& scene, CTimeline& t)
{
    if (m_done) {
        if (scene.m_models.size() != m_firstModel + m_modelCount ||
            scene.m_materials.size() != m_firstMaterial + m_materialCount)
            return ApplyResult::Stale;
        m_models.assign(std::make_move_iterator(scene.m_models.begin() + At(m_firstModel)),
                        std::make_move_iterator(scene.m_models.end()));
        scene.m_models.resize(m_firstModel);
        m_materials.assign(std::make_move_iterator(scene.m_materials.begin() + At(m_firstMaterial)),
                           std::make_move_iterator(scene.m_materials.end()));
        scene.m_materials.resize(m_firstMaterial);
    } else {
        if (scene.m_models.size() != m_firstModel || scene.m_materials.size() != m_firstMaterial)
            return ApplyResult::Stale;
        for (CModel& m : m_models) scene.m_models.push_back(std::move(m));
        for (CMaterial& m : m_materials) scene.m_materials.push_back(std::move(m));
        m_models.clear();
        m_materials.clear();
    }
    std::swap(scene.m_lastListId, m_otherLastListId);
    std::swap(scene.m_nextMaterialId, m_otherNextMaterialId);
    Restore(scene, t, m_done);
    m_done = !m_done;
    return ApplyResult::Applied;
}

// --- names, parents, visibility ---------------------------------------------------------

std::unique_ptr<RenameRecord> RenameRecord::Rename(CKinovela& scene, const CTimeline& t, int model, std::string name)
{
    auto r = std::make_unique<RenameRecord>();
    r->Begin(scene, t);
    r->m_model = model;
    CModel& m = scene.m_models[static_cast<std::size_t>(model)];
    // Every model whose parent name was the old name follows, as the tree's
    // rename always did; the record remembers which.
    for (std::size_t i = 0; i < scene.m_models.size(); ++i)
        if (scene.m_models[i].m_parentName == m.m_name) {
            r->m_followers.push_back(static_cast<int>(i));
            scene.m_models[i].m_parentName = name;
        }
    r->m_otherName = std::exchange(m.m_name, std::move(name));
    r->End(scene, t);
    return r;
}

ApplyResult RenameRecord::Apply(CKinovela& scene, CTimeline& t)
{
    if (!ValidModel(scene, m_model)) return ApplyResult::Stale;
    for (int f : m_followers)
        if (!ValidModel(scene, f)) return ApplyResult::Stale;
    CModel& m = scene.m_models[static_cast<std::size_t>(m_model)];
    std::swap(m.m_name, m_otherName);
    for (int f : m_followers) scene.m_models[static_cast<std::size_t>(f)].m_parentName = m.m_name;
    Restore(scene, t, m_done);
    m_done = !m_done;
    return ApplyResult::Applied;
}

void VisibilityRecord::Toggle(CKinovela& scene, int model)
{
    CModel& m = scene.m_models[static_cast<std::size_t>(model)];
    if (m.m_visible == 1) {
        scene.m_selected = kNoModel;
        m.m_visible = 0;
    } else {
        scene.m_selected = model;
        m.m_visible = 1;
    }
}

ApplyResult VisibilityRecord::Apply(CKinovela& scene, CTimeline&)
{
    if (!ValidModel(scene, m_model)) return ApplyResult::Stale;
    Toggle(scene, m_model);
    return ApplyResult::Applied;
}

ReparentRecord::ReparentRecord(const CKinovela& scene, const CTimeline& t, int model)
    : m_model(model),
      m_otherParent(scene.m_models[static_cast<std::size_t>(model)].m_parent),
      m_otherParentName(scene.m_models[static_cast<std::size_t>(model)].m_parentName)
{
    Begin(scene, t);
}

ApplyResult ReparentRecord::Apply(CKinovela& scene, CTimeline& t)
{
    if (!ValidModel(scene, m_model)) return ApplyResult::Stale;
    CModel& m = scene.m_models[static_cast<std::size_t>(m_model)];
    std::swap(m.m_parent, m_otherParent);
    std::swap(m.m_parentName, m_otherParentName);
    Restore(scene, t, m_done);
    m_done = !m_done;
    return ApplyResult::Applied;
}

// --- settings that the file keeps ----------------------------------------------------------

ApplyResult FrameRateRecord::Apply(CKinovela&, CTimeline& t)
{
    std::swap(t.m_fps, m_other);
    return ApplyResult::Applied;
}

ApplyResult ShadingRecord::Apply(CKinovela& scene, CTimeline&)
{
    std::swap(scene.m_smooth, m_other);
    return ApplyResult::Applied;
}

// --- groups ------------------------------------------------------------------------------------

std::unique_ptr<EditRecord> GroupRecord::Clone() const
{
    std::vector<std::unique_ptr<EditRecord>> parts;
    for (const auto& p : m_parts) parts.push_back(p->Clone());
    auto g = std::make_unique<GroupRecord>(std::move(parts));
    g->m_done = m_done;
    return g;
}

ApplyResult GroupRecord::Apply(CKinovela& scene, CTimeline& t)
{
    for (std::size_t k = 0; k < m_parts.size(); ++k) {
        EditRecord& part = *m_parts[m_done ? m_parts.size() - 1 - k : k];
        if (part.Apply(scene, t) == ApplyResult::Stale) return ApplyResult::Stale;
    }
    m_done = !m_done;
    return ApplyResult::Applied;
}

unsigned GroupRecord::Touches() const
{
    unsigned touched = 0;
    for (const auto& p : m_parts) touched |= p->Touches();
    return touched;
}

std::size_t GroupRecord::HeldPoses() const
{
    std::size_t n = 0;
    for (const auto& p : m_parts) n += p->HeldPoses();
    return n;
}

// --- the stack ------------------------------------------------------------------------------------

UndoStack& UndoStack::operator=(const UndoStack& o)
{
    if (this == &o) return *this;
    std::vector<UndoEntry> copy;
    copy.reserve(o.m_entries.size());
    for (const UndoEntry& e : o.m_entries) copy.push_back({e.record->Clone(), e.changed});
    m_entries = std::move(copy);
    return *this;
}

UndoEntry UndoStack::Pop()
{
    UndoEntry e = std::move(m_entries.back());
    m_entries.pop_back();
    return e;
}

}  // namespace kinovela
