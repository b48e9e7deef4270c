// The scene root: models, materials, camera, hierarchy walk, undo history
// and animation clipboard. The application owns exactly one and lends it out
// by reference; tests make as many as they like. Operations that depend on
// the frame range take the CTimeline they act on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scene/EditRecords.h"
#include "scene/Records.h"
#include "scene/Timeline.h"

namespace kinovela {

enum WalkEvent : int { kWalkBegin = 0, kWalkEnter = 1, kWalkLeave = 2, kWalkEnd = 3 };

// The preview's projection: the vertical field of view a scene starts with
// (degrees), and the near and far planes the renderers use.
inline constexpr float kDefaultFov = 10.0f;
inline constexpr double kViewNear = 100.0;
inline constexpr double kViewFar = 10000.0;

struct WalkEntry {
    int event = kWalkBegin;
    int model = 0;
    friend bool operator==(const WalkEntry&, const WalkEntry&) = default;
};

class CKinovela {
public:
    CKinovela();

    // --- persistent scene (stored in the native file) ----------------------
    std::vector<CModel> m_models;
    std::vector<CAnimation> m_camera;  // only element 0 is used
    std::vector<CMaterial> m_materials;
    int m_lastListId = 5;      // the importer hands out m_lastListId + 1
    int m_nextMaterialId = 0;  // id base of the next imported file's materials
    int m_smooth = 1;          // 1 smooth shading, 0 flat

    // --- derived and session state -----------------------------------------
    std::vector<WalkEntry> m_hierarchyWalk;
    std::vector<CAnimation> m_animClipboard;  // kept across new and open
    int m_selected = kNoModel;
    float m_fov = kDefaultFov;  // vertical field of view of the preview, degrees
    UndoStack m_undo;
    UndoStack m_redo;
    // The size of m_undo when the scene was last saved or opened; -1 when
    // that state can no longer be reached by undo or redo.
    std::ptrdiff_t m_cleanIndex = 0;
    std::uint32_t m_background = 30u | (65u << 8) | (90u << 16);  // COLORREF 0x00BBGGRR
    // The control bar's X, Y and Z switches: which axes a model drag moves.
    bool m_axisX = true;
    bool m_axisY = true;
    bool m_axisZ = true;
    // The interface language in use ("English" or "Japanese"; empty until
    // the editor has set it up). The control bar lays its slider out by it.
    std::string m_language;

    // Keeps each camera angle within -360..360 (not 0..360).
    void WrapCameraAngles();

    // --- selection and pose accessors ----------------------------------------
    bool HasSelection() const { return m_selected >= 0 && static_cast<std::size_t>(m_selected) < m_models.size(); }
    CModel* SelectedModel() { return HasSelection() ? &m_models[static_cast<std::size_t>(m_selected)] : nullptr; }
    // Index of the first model with this exact name, or kNoModel.
    int FindModel(const std::string& name) const;

    // The selected model's pose at the current frame; with no selection the
    // camera: position and rotation act on the camera, "get scale" reads the
    // camera position, "set scale" does nothing and "add to scale" returns
    // (0, 0, 0).
    CVector GetPosition(const CTimeline& t) const;
    CVector GetRotation(const CTimeline& t) const;
    CVector GetScale(const CTimeline& t) const;
    void SetPosition(const CTimeline& t, const CVector& v);
    void SetRotation(const CTimeline& t, const CVector& v);
    void SetScale(const CTimeline& t, const CVector& v);
    CVector AddPosition(const CTimeline& t, const CVector& v);
    CVector AddRotation(const CTimeline& t, const CVector& v);
    CVector AddScale(const CTimeline& t, const CVector& v);

    // --- hierarchy and lists ---------------------------------------------------
    void ResetScene(CTimeline& t);
    void ResetCamera();
    // Deletes the selected model (nothing without a selection).
    void DeleteModel(CTimeline& t);
    // Recomputes every m_parent from m_parentName; clears the selection.
    void ResolveParents();
    // Resolves only models first..end-1, leaving the selection alone.
    void ResolveParentsOf(std::size_t first);
    void RenameParentLinks(const std::string& oldName, const std::string& newName);
    // Erases every material no face uses; `erased`, when given, receives
    // each with the list position it had.
    void PruneMaterials(std::vector<std::pair<std::size_t, CMaterial>>* erased = nullptr);
    // Rebuilds the walk the fully expanded hierarchy tree gives.
    void RebuildHierarchyWalk();

    void UpdateColors();
    void UpdateBoundingBoxes();
    void UpdateNormals();
    // Everything derived from the stored scene: colours, boxes, normals, walk.
    // Run after every import and open.
    void UpdateDerived();

    // --- animation ---------------------------------------------------------------
    void RecomputeAll(const CTimeline& t);
    void AddKeyFrame(CTimeline& t, bool allModels, int frame);
    void DeleteKeyFrame(CTimeline& t, bool allModels, int frame);
    // Both return false, changing nothing, for an invalid range.
    bool InsertFrames(CTimeline& t, int after, int count);
    bool DeleteFrames(CTimeline& t, int first, int last);
    void SetLastFrame(CTimeline& t, int value);

    void FirstFrame(CTimeline& t);
    void LastFrame(CTimeline& t);
    void NextFrame(CTimeline& t);
    void PrevFrame(CTimeline& t);
    void NextKeyFrame(CTimeline& t);
    void PrevKeyFrame(CTimeline& t);

    // --- history -------------------------------------------------------------------
    // The pose of `model` at `frame`, before it changes. The step counts as
    // a change of the scene only once MarkTopChanged says so.
    void PushUndo(int model, int frame);
    void PushUndoForSelection(const CTimeline& t);
    // Any other edit, done already. Both empty the redo stack.
    void PushRecord(std::unique_ptr<EditRecord> record, bool changed = true);
    void ClearHistory(CTimeline& t, bool rewind);
    // The current state becomes the saved one.
    void MarkClean() { m_cleanIndex = static_cast<std::ptrdiff_t>(m_undo.Size()); }
    // Whether undo and redo have brought the scene back to the saved state
    // (steps that changed nothing do not count).
    bool AtCleanState() const;
    // The newest step changed the scene. False when there is no step since
    // the saved state to charge it to.
    bool MarkTopChanged();
    // Replaces the newest `count` steps by one that undoes them together.
    void GroupTop(std::size_t count);
    // A copy of the scene as it stands, without the undo and redo history
    // (which can hold far more than the scene: every deleted model). Not
    // const because the history is set aside meanwhile; this scene is the
    // same afterwards, even when the copy fails.
    CKinovela CopyWithoutHistory();

private:
    // Pushes a frame-list edit unless it changed nothing.
    template <class Record> void PushFramesRecord(std::unique_ptr<Record> record, const CTimeline& t)
    {
        if (record->Empty(t)) return;
        record->End(*this, t);
        PushRecord(std::move(record));
    }
    void ResetSceneFields();
    CAnimation& CurrentPose(const CTimeline& t);
    const CAnimation& CurrentPose(const CTimeline& t) const;
    template <class Fn> void ForKeyTargets(bool allModels, Fn&& fn);
};

}  // namespace kinovela
