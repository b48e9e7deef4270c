// The undo history: one record class per kind of edit, and the stack that
// holds them. A record keeps only what its edit changed (a deleted model,
// the frames a key edit recomputed, a name) and is applied in place: the
// first application undoes the edit, the next redoes it, and so on, so
// each step moves between the undo and the redo stack without copies.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scene/Records.h"
#include "scene/Timeline.h"

namespace kinovela {

class CKinovela;

// What a step changed, so that the windows refresh what they show of it.
enum EditTouch : unsigned {
    kTouchPoses = 1,      // poses or key flags
    kTouchModels = 2,     // the model or material lists: meshes are rebuilt
    kTouchHierarchy = 4,  // names, parent links or visibility: the tree is rebuilt
    kTouchTimeline = 8,   // the last frame or the frame rate
    kTouchLook = 16,      // the shading
};

enum class ApplyResult {
    Applied,
    Blocked,  // nothing to apply it to now; it stays where it is
    Dropped,  // it names what the scene no longer has; it is thrown away
    Stale,    // the scene no longer has the shape the record was made for
};

class EditRecord {
public:
    virtual ~EditRecord() = default;
    virtual std::unique_ptr<EditRecord> Clone() const = 0;
    // Undoes the edit while it is done, redoes it while it is undone.
    virtual ApplyResult Apply(CKinovela& scene, CTimeline& t) = 0;
    virtual unsigned Touches() const = 0;
    // How many poses the record keeps, to check that its size follows what
    // the edit changed.
    virtual std::size_t HeldPoses() const { return 0; }
};

template <class Derived> class RecordBase : public EditRecord {
public:
    std::unique_ptr<EditRecord> Clone() const override
    {
        return std::make_unique<Derived>(static_cast<const Derived&>(*this));
    }
};

// Two poses with the same bits: a sign of zero or a NaN payload is a change
// as far as the saved file is concerned.
bool SamePose(const CAnimation& a, const CAnimation& b);

// The change of one model's frame list, kept as the frames the other state
// has. Applying it exchanges them with the list's; steps run in reverse
// when going back.
class FrameDelta {
public:
    // The difference from `before` to `after`: runs of changed frames for
    // lists of one length, else one replaced stretch between the common
    // beginning and end.
    static FrameDelta Between(const std::vector<CAnimation>& before, const std::vector<CAnimation>& after);
    // A stretch at `pos`: `count` frames of the list stand where the other
    // state has `others`.
    void AddSplice(std::size_t pos, std::vector<CAnimation> others, std::size_t count);
    void Append(FrameDelta&& d);
    bool Empty() const { return m_steps.empty(); }
    // False, leaving the list alone, when it does not have the shape the
    // delta was taken from.
    bool Apply(std::vector<CAnimation>& frames, bool backwards);
    std::size_t HeldPoses() const;

private:
    struct Step {
        std::size_t pos = 0;
        std::size_t count = 0;  // frames of the list the step replaces
        std::vector<CAnimation> others;
        bool splice = false;  // else a run: count == others.size(), exchanged in place
    };
    std::vector<Step> m_steps;
};

// One undoable pose of one model at one frame: the model's name, its parent
// index at the time, the frame and the pose with its key flag. Applying it
// selects the model, restores the parent link and the pose, makes the frame
// current and keeps what it replaced.
class PoseRecord final : public RecordBase<PoseRecord> {
public:
    PoseRecord(std::string name, int parent, int frame, const CAnimation& pose, int model = kNoModel)
        : m_name(std::move(name)), m_parent(parent), m_frame(frame), m_pose(pose), m_model(model)
    {
    }
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override { return kTouchPoses | kTouchHierarchy; }
    std::size_t HeldPoses() const override { return 1; }

    const std::string& Name() const { return m_name; }
    int Parent() const { return m_parent; }
    int Frame() const { return m_frame; }
    const CAnimation& Pose() const { return m_pose; }

private:
    std::string m_name;
    int m_parent;
    int m_frame;
    CAnimation m_pose;
    // Where the model stood when the record was taken. Names need not be
    // unique; when the model there still bears the name, it is the one.
    int m_model;
};

// The selection and current frame before and after an edit: undo returns to
// the first, redo to the second.
class SceneEdit {
public:
    void Begin(const CKinovela& scene, const CTimeline& t);
    void End(const CKinovela& scene, const CTimeline& t);

protected:
    void Restore(CKinovela& scene, CTimeline& t, bool undoing) const;
    int m_selectedBefore = kNoModel, m_selectedAfter = kNoModel;
    int m_currentBefore = 0, m_currentAfter = 0;
};

// Edits that change frame lists: the changed frames of each model, and the
// frame range when it changed.
class FramesEdit : public SceneEdit {
public:
    void AddModel(int model, FrameDelta&& delta);
    // Keeps the frame range before the edit; call before changing it.
    void KeepRange(const CTimeline& t);
    bool Empty(const CTimeline& t) const;

protected:
    ApplyResult ApplyFrames(CKinovela& scene, CTimeline& t);
    std::size_t FramesHeld() const;
    bool HasRange() const { return m_range; }

private:
    std::vector<std::pair<int, FrameDelta>> m_models;
    bool m_range = false;
    int m_otherLast = 0, m_otherPrevLast = 0;
    bool m_done = true;
};

template <class Derived, unsigned kTouches> class FramesRecord : public RecordBase<Derived>, public FramesEdit {
public:
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override { return ApplyFrames(scene, t); }
    unsigned Touches() const override { return kTouches | (HasRange() ? kTouchTimeline : 0u); }
    std::size_t HeldPoses() const override { return FramesHeld(); }
};

// Key frames added or deleted (with the in-between frames they recomputed).
class KeyFramesRecord final : public FramesRecord<KeyFramesRecord, kTouchPoses> {};
// An animation pasted onto a model.
class PasteAnimationRecord final : public FramesRecord<PasteAnimationRecord, kTouchPoses> {};
// Frames inserted behind a frame.
class InsertFramesRecord final : public FramesRecord<InsertFramesRecord, kTouchPoses | kTouchTimeline> {};
// A range of frames deleted.
class DeleteFramesRecord final : public FramesRecord<DeleteFramesRecord, kTouchPoses | kTouchTimeline> {};
// The last frame changed.
class LastFrameRecord final : public FramesRecord<LastFrameRecord, kTouchPoses | kTouchTimeline> {};

// A model deleted: the model itself, the materials no face used any more,
// and the parent links the deletion changed.
class DeleteModelRecord final : public RecordBase<DeleteModelRecord>, public SceneEdit {
public:
    // Deletes model `index` and records it.
    static std::unique_ptr<DeleteModelRecord> Delete(CKinovela& scene, CTimeline& t, int index);
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override { return kTouchModels | kTouchHierarchy | kTouchPoses; }
    std::size_t HeldPoses() const override { return m_model.m_frames.size(); }

private:
    struct Link {
        int model;  // index before the deletion
        int parent;
        std::string parentName;
    };
    void Take(CKinovela& scene, CTimeline& t);
    int m_index = 0;
    CModel m_model;
    std::vector<std::pair<std::size_t, CMaterial>> m_materials;  // list position before the deletion
    std::vector<Link> m_links;  // links as they were before the deletion
    bool m_done = true;
};

// Models added from a file: they and their materials leave the scene on
// undo and come back on redo, with the id counters they advanced.
class AddModelsRecord final : public RecordBase<AddModelsRecord>, public SceneEdit {
public:
    // Call before the import...
    AddModelsRecord(const CKinovela& scene, const CTimeline& t);
    // ...and after it; false when nothing was added.
    bool Finish(const CKinovela& scene, const CTimeline& t);
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override { return kTouchModels | kTouchHierarchy | kTouchPoses; }

private:
    std::size_t m_firstModel, m_firstMaterial;
    std::size_t m_modelCount = 0, m_materialCount = 0;
    int m_otherLastListId, m_otherNextMaterialId;
    std::vector<CModel> m_models;  // held while undone
    std::vector<CMaterial> m_materials;
    bool m_done = true;
};

// A model renamed, with the parent names of the models that followed it.
class RenameRecord final : public RecordBase<RenameRecord>, public SceneEdit {
public:
    // Renames `model` (its children's parent names follow) and records it.
    static std::unique_ptr<RenameRecord> Rename(CKinovela& scene, const CTimeline& t, int model, std::string name);
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override { return kTouchHierarchy; }

private:
    int m_model = 0;
    std::string m_otherName;
    std::vector<int> m_followers;  // models whose parent name followed the rename
    bool m_done = true;
};

// A model shown or hidden (showing selects it, hiding clears the selection).
class VisibilityRecord final : public RecordBase<VisibilityRecord> {
public:
    explicit VisibilityRecord(int model) : m_model(model) {}
    // Shows a hidden model or hides a visible one, as the show/hide command.
    static void Toggle(CKinovela& scene, int model);
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override { return kTouchHierarchy; }

private:
    int m_model;
};

// A model given another parent.
class ReparentRecord final : public RecordBase<ReparentRecord>, public SceneEdit {
public:
    ReparentRecord(const CKinovela& scene, const CTimeline& t, int model);
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override { return kTouchHierarchy; }

private:
    int m_model;
    int m_otherParent;
    std::string m_otherParentName;
    bool m_done = true;
};

// The frame rate changed.
class FrameRateRecord final : public RecordBase<FrameRateRecord> {
public:
    explicit FrameRateRecord(float before) : m_other(before) {}
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override { return kTouchTimeline; }

private:
    float m_other;
};

// Smooth or flat shading chosen.
class ShadingRecord final : public RecordBase<ShadingRecord> {
public:
    explicit ShadingRecord(int before) : m_other(before) {}
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override { return kTouchLook; }

private:
    int m_other;
};

// Several records undone and redone as one step (a drag and the key that
// auto-key stored for it).
class GroupRecord final : public EditRecord {
public:
    explicit GroupRecord(std::vector<std::unique_ptr<EditRecord>> parts) : m_parts(std::move(parts)) {}
    std::unique_ptr<EditRecord> Clone() const override;
    ApplyResult Apply(CKinovela& scene, CTimeline& t) override;
    unsigned Touches() const override;
    std::size_t HeldPoses() const override;
    std::size_t Size() const { return m_parts.size(); }

private:
    std::vector<std::unique_ptr<EditRecord>> m_parts;
    bool m_done = true;
};

// One step of the history.
struct UndoEntry {
    std::unique_ptr<EditRecord> record;
    // Whether the step changed the scene: a press on the view records the
    // pose even when no drag follows, and such a step leaves a saved
    // document unmodified.
    bool changed = true;
};

// A stack of steps; the top is the last element. Copies are deep.
class UndoStack {
public:
    UndoStack() = default;
    UndoStack(const UndoStack& o) { *this = o; }
    UndoStack& operator=(const UndoStack& o);
    UndoStack(UndoStack&&) noexcept = default;
    UndoStack& operator=(UndoStack&&) noexcept = default;

    std::size_t Size() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }
    void Clear() { m_entries.clear(); }
    void Push(UndoEntry e) { m_entries.push_back(std::move(e)); }
    UndoEntry Pop();
    UndoEntry& Top() { return m_entries.back(); }
    const UndoEntry& At(std::size_t i) const { return m_entries[i]; }
    UndoEntry& At(std::size_t i) { return m_entries[i]; }

private:
    std::vector<UndoEntry> m_entries;
};

}  // namespace kinovela
