#include "document/KinoDoc.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "common/TextCodec.h"
#include "document/CameraFraming.h"
#include "document/DocumentMessages.h"
#include "document/History.h"
#include "mqo/LoaderMQO.h"
#include "scene/NativeFile.h"

namespace kinovela {

namespace {

// A message box lists this many missing textures at most, then how many
// more there are.
constexpr std::size_t kMaxTexturesListed = 20;

}  // namespace

std::string PathExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return ext;
}

CKinoDoc::CKinoDoc(CKinovela& scene, CTimeline& timeline) : m_scene(scene), m_timeline(timeline) {}

void CKinoDoc::AddView(IKinoView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end()) m_views.push_back(view);
}

void CKinoDoc::RemoveView(IKinoView* view) { std::erase(m_views, view); }

void CKinoDoc::UpdateAllViews(int hint)
{
    // A view may remove itself while it reacts; walk a copy.
    const std::vector<IKinoView*> views = m_views;
    for (IKinoView* v : views) v->OnUpdate(hint);
}

void CKinoDoc::ReleaseResources() { m_hooks->ReleaseResources(); }

void CKinoDoc::SetModified(bool modified)
{
    if (!modified) {
        m_dirty = false;
        m_scene.MarkClean();
    } else if (!m_scene.MarkTopChanged()) {
        m_dirty = true;
    }
}

// --- files ---------------------------------------------------------------------

void CKinoDoc::OnNewDocument()
{
    ReleaseResources();
    m_pathName.clear();
    m_versionText.clear();
    m_title = msg::kDocumentTitle;
    m_timeline.m_current = 0;
    m_timeline.m_playing = 0;
    m_timeline.m_last = 60;
    m_timeline.m_prevLast = 60;
    m_scene.ResetScene(m_timeline);
    SetModified(false);
    UpdateAllViews(m_firstNew ? kHintFirstNew : kHintNew);
    m_firstNew = false;
}

std::string DocResult::WarningSummary() const
{
    if (warnings.size() <= 1) return warnings.empty() ? std::string() : warnings[0];
    char lead[64];
    std::snprintf(lead, sizeof lead, UserText(msg::kWarningCount).c_str(), static_cast<int>(std::min<std::size_t>(warnings.size(), INT_MAX)));
    std::string s = lead;
    for (std::size_t i = 0; i < warnings.size(); ++i) s += (i ? " / " : "") + warnings[i];
    return s;
}

DocResult CKinoDoc::OnOpenDocument(const std::string& path)
{
    DocResult result;
    const std::string ext = PathExtension(path);
    // Opening forgets the history; what was unsaved stays unsaved.
    bool modified = IsModified();
    if (ext == "kvl") {
        // The reader fills a fresh scene and commits only on success, so the
        // renderers' resources are released only once the file has been read.
        CKinovela loaded;
        loaded.m_animClipboard = std::move(m_scene.m_animClipboard);
        loaded.m_background = m_scene.m_background;
        loaded.m_fov = m_scene.m_fov;
        // The axis switches belong to the window's check boxes, not the
        // file; the language to the window too (a switch reads it).
        loaded.m_language = m_scene.m_language;
        loaded.m_axisX = m_scene.m_axisX;
        loaded.m_axisY = m_scene.m_axisY;
        loaded.m_axisZ = m_scene.m_axisZ;
        CTimeline t = m_timeline;
        NativeReadResult r;
        try {
            r = ReadNativeFile(path, loaded, t, m_progress);
        } catch (const WorkCancelled&) {
            m_scene.m_animClipboard = std::move(loaded.m_animClipboard);
            result.ok = false;
            result.cancelled = true;
            return result;
        }
        if (!r.ok) {
            m_scene.m_animClipboard = std::move(loaded.m_animClipboard);
            result.ok = false;
            // Messages go to the user interface in UTF-8; the detail may
            // quote model names, which are Shift_JIS.
            result.message = r.message + (r.detail.empty() ? "" : "\n" + Cp932ToUtf8(r.detail));
            return result;
        }
        ReleaseResources();
        m_scene = std::move(loaded);
        m_timeline = t;
        m_versionText = r.versionText;
        m_pathName = path;
        m_title = path;
        modified = false;
        LoadTextures(path, result);
        m_hooks->LoadTextures();
    } else if (ext == "mqo") {
        // Only the materials this file brings are looked for: those already
        // in the scene were reported when they came.
        const std::size_t before = m_scene.m_materials.size();
        if (!ImportModels(path, kNoModel, result)) return result;
        // A failed import keeps what it read; it is reported, not refused.
        result.ok = true;
        LoadTextures(path, result, before);
        UpdateAllViews(kHintModelsChanged);
        modified = true;
    }
    m_scene.ClearHistory(m_timeline, true);
    m_scene.MarkClean();
    m_dirty = modified;
    m_timeline.m_prevLast = m_timeline.m_last;
    m_scene.UpdateColors();
    m_scene.UpdateBoundingBoxes();
    UpdateAllViews(kHintOpened);
    return result;
}

DocResult CKinoDoc::OnSaveDocument(const std::string& path)
{
    DocResult result;
    WriteResult w;
    try {
        w = WriteNativeFile(path, m_scene, m_timeline, m_progress);
    } catch (const WorkCancelled&) {
        // The atomic write has discarded its temporary file.
        result.ok = false;
        result.cancelled = true;
        return result;
    }
    if (!w.ok) {
        result.ok = false;
        result.message = w.error;
        return result;
    }
    m_pathName = path;
    m_title = path;
    m_versionText = kNativeVersionText;
    SetModified(false);
    return result;
}

DocResult CKinoDoc::OnFileSave()
{
    if (PathExtension(m_pathName) == "kvl") return OnSaveDocument(m_pathName);
    DocResult result;
    if (!m_saveAs) {
        result.ok = false;
        result.message = "Save As is not available";
        return result;
    }
    // The handler sets the modified mark: an export never clears it, a
    // native save chosen in the dialog does.
    return m_saveAs->SaveAs(*this);
}

// --- command state ---------------------------------------------------------------

CommandState CKinoDoc::GetState(int id) const
{
    const bool selection = m_scene.HasSelection();
    switch (id) {
    case ID_EDIT_UNDO: return {!m_scene.m_undo.Empty(), false};
    case ID_EDIT_REDO: return {!m_scene.m_redo.Empty(), false};
    case ID_MOUSE_CAMERA: return {true, m_mouseTarget == 0};
    case ID_MOUSE_MODEL: return {true, m_mouseTarget == 1};
    case ID_MODE_MOVE: return {true, m_transformMode == 0};
    case ID_MODE_ROTATE: return {true, m_transformMode == 1};
    case ID_MODE_SCALE: return {true, m_transformMode == 2};
    case ID_KEY_DIALOG:
    case ID_KEY_ADD:
    case ID_KEY_ADD_ALL:
    case ID_KEY_DELETE:
    case ID_KEY_DELETE_ALL:
    case ID_COPY_ANIMATION:
    case ID_PASTE_ANIMATION: return {selection, false};
    case ID_SMOOTH: return {true, m_scene.m_smooth == 1};
    case ID_AUTO_KEY: return {true, m_autoKey};
    case ID_FRAME_ALL: return {!m_scene.m_models.empty(), false};
    case ID_FRAME_SELECTED: return {selection, false};
    default: return {true, false};
    }
}

// --- commands --------------------------------------------------------------------

void CKinoDoc::OnEditUndo()
{
    unsigned touched = 0;
    const bool applied = Undo(m_scene, m_timeline, &touched);
    if (applied || touched) AfterHistoryStep(touched);
}

void CKinoDoc::OnEditRedo()
{
    unsigned touched = 0;
    const bool applied = Redo(m_scene, m_timeline, &touched);
    if (applied || touched) AfterHistoryStep(touched);
}

void CKinoDoc::AfterHistoryStep(unsigned touched)
{
    if (touched & (kTouchModels | kTouchLook)) m_hooks->RebuildModels();
    if (touched & kTouchTimeline) {
        // The control bar shows the range and rate again, which puts its
        // slider at 0; the step's own frame comes back with hint 105.
        const int current = m_timeline.m_current;
        UpdateAllViews(kHintFrames);
        m_timeline.m_current = current;
    }
    m_hooks->BuildSelectionBox();
    UpdateAllViews(kHintHistory);
}

void CKinoDoc::OnMouseCamera()
{
    m_mouseTarget = 0;
    UpdateAllViews(kHintSelection);
}

void CKinoDoc::OnMouseModel()
{
    m_mouseTarget = 1;
    UpdateAllViews(kHintSelection);
}

void CKinoDoc::OnModeMove()
{
    m_transformMode = 0;
    UpdateAllViews(kHintModeMove);
}

void CKinoDoc::OnModeRotate()
{
    m_transformMode = 1;
    UpdateAllViews(kHintModeRotate);
}

void CKinoDoc::OnModeScale()
{
    m_transformMode = 2;
    UpdateAllViews(kHintModeScale);
}

void CKinoDoc::OnPlay()
{
    m_scene.RecomputeAll(m_timeline);
    // Play takes the rate typed into the box.
    const float before = m_timeline.m_fps;
    UpdateAllViews(kHintPlay);
    RecordFrameRate(before);
}

void CKinoDoc::OnStop() { UpdateAllViews(kHintStop); }

void CKinoDoc::OnNextFrame()
{
    m_scene.NextFrame(m_timeline);
    UpdateAllViews(kHintNavigated);
}

void CKinoDoc::OnPrevFrame()
{
    m_scene.PrevFrame(m_timeline);
    UpdateAllViews(kHintNavigated);
}

void CKinoDoc::OnNextKey()
{
    m_scene.NextKeyFrame(m_timeline);
    UpdateAllViews(kHintNavigated);
}

void CKinoDoc::OnPrevKey()
{
    m_scene.PrevKeyFrame(m_timeline);
    UpdateAllViews(kHintNavigated);
}

void CKinoDoc::OnFirstFrame()
{
    m_scene.FirstFrame(m_timeline);
    UpdateAllViews(kHintNavigated);
}

void CKinoDoc::OnLastFrame()
{
    m_scene.LastFrame(m_timeline);
    UpdateAllViews(kHintNavigated);
}

void CKinoDoc::OnKeyFrameDialog(int frame, int choice)
{
    if (!m_scene.HasSelection() || choice < 0 || choice > 3) return;
    const std::size_t mark = m_scene.m_undo.Size();
    if (choice < 2)
        m_scene.AddKeyFrame(m_timeline, choice == 1, frame);
    else
        m_scene.DeleteKeyFrame(m_timeline, choice == 3, frame);
    RecomputeAllInto(mark);
    UpdateAllViews(kHintKeys);
}

void CKinoDoc::RecomputeAllInto(std::size_t mark)
{
    auto record = std::make_unique<KeyFramesRecord>();
    record->Begin(m_scene, m_timeline);
    for (std::size_t i = 0; i < m_scene.m_models.size(); ++i) {
        CModel& m = m_scene.m_models[i];
        const std::vector<CAnimation> before = m.m_frames;
        m.RecomputeFrames(m_timeline.m_last);
        record->AddModel(static_cast<int>(i), FrameDelta::Between(before, m.m_frames));
    }
    if (record->Empty(m_timeline)) return;
    record->End(m_scene, m_timeline);
    m_scene.PushRecord(std::move(record));
    m_scene.GroupTop(m_scene.m_undo.Size() - mark);
}

void CKinoDoc::OnAddKey(bool allModels)
{
    if (!m_scene.HasSelection()) return;
    m_scene.AddKeyFrame(m_timeline, allModels, m_timeline.m_current);
    UpdateAllViews(kHintKeys);
}

void CKinoDoc::OnDeleteKey(bool allModels)
{
    if (!m_scene.HasSelection()) return;
    m_scene.DeleteKeyFrame(m_timeline, allModels, m_timeline.m_current);
    UpdateAllViews(kHintKeys);
}

std::string CKinoDoc::OnInsertFrames(int after, int count)
{
    if (!m_scene.InsertFrames(m_timeline, after, count)) return UserText(msg::kFrameOutOfRange);
    UpdateAllViews(kHintFrames);
    return {};
}

std::string CKinoDoc::OnDeleteFrames(int first, int last)
{
    if (!m_scene.DeleteFrames(m_timeline, first, last)) return UserText(msg::kFrameOutOfRange);
    UpdateAllViews(kHintFrames);
    return {};
}

void CKinoDoc::OnSmooth()
{
    // The shading flag is part of the saved scene: an edit like any other.
    m_scene.PushRecord(std::make_unique<ShadingRecord>(m_scene.m_smooth));
    m_scene.m_smooth = m_scene.m_smooth ? 0 : 1;
    m_hooks->RebuildModels();
    UpdateAllViews(kHintLook);
}

void CKinoDoc::OnCameraReset()
{
    m_scene.ResetCamera();
    // Framing a large scene may have widened the view.
    m_scene.m_fov = kDefaultFov;
    UpdateAllViews(kHintHistory);
}

CKinoDoc::FrameResult CKinoDoc::OnFrameView(bool selectedOnly, float aspect)
{
    const std::vector<int> models = ModelsToFrame(m_scene, selectedOnly);
    const std::optional<CameraFit> fit = FitCamera(m_scene, m_timeline, models, aspect);
    if (!fit) return FrameResult::Nothing;
    // A view change, as camera drags are: neither a step of the history
    // nor a modification.
    m_scene.m_camera[0].m_position = fit->position;
    m_scene.m_fov = fit->fov;
    UpdateAllViews(kHintHistory);
    return fit->fits ? FrameResult::Framed : FrameResult::TooDeep;
}

void CKinoDoc::FinishPoseEdit(std::size_t mark)
{
    const CModel* m = m_scene.SelectedModel();
    if (!m || !m->HasFrame(m_timeline.m_current)) return;
    if (m_autoKey) {
        m_scene.AddKeyFrame(m_timeline, false, m_timeline.m_current);
        // The pose and its key come back together with one undo.
        if (m_scene.m_undo.Size() > mark + 1) m_scene.GroupTop(m_scene.m_undo.Size() - mark);
        UpdateAllViews(kHintKeys);
        return;
    }
    if (m->m_frames[static_cast<std::size_t>(m_timeline.m_current)].m_key != 1) UpdateAllViews(kHintPoseOffKey);
}

void CKinoDoc::OnBackground(std::uint32_t colour)
{
    m_scene.m_background = colour;
    m_hooks->BackgroundChanged();
    UpdateAllViews(kHintLook);
    // Not kept in the file, yet counted as a change, as it always was.
    m_dirty = true;
}

// --- control bar -------------------------------------------------------------------

void CKinoDoc::OnVectorEditLeft()
{
    const CModel* model = m_scene.SelectedModel();
    const std::size_t mark = m_scene.m_undo.Size();
    const CAnimation before = model && model->HasFrame(m_timeline.m_current)
                                  ? model->m_frames[static_cast<std::size_t>(m_timeline.m_current)]
                                  : CAnimation{};
    m_scene.PushUndoForSelection(m_timeline);
    UpdateAllViews(kHintVectorEdited);
    // A typed pose is an edit like any other; typed camera values are a view
    // change, as camera drags are.
    if (!model) return;
    SetModified(true);
    // Leaving the field without changing a number keys nothing.
    model = m_scene.SelectedModel();
    if (model && model->HasFrame(m_timeline.m_current) &&
        !SamePose(before, model->m_frames[static_cast<std::size_t>(m_timeline.m_current)]))
        FinishPoseEdit(mark);
}

void CKinoDoc::OnCurrentFrameEditLeft() { UpdateAllViews(kHintCurrentFrameEdited); }

void CKinoDoc::OnLastFrameEditLeft()
{
    // The control bar applies the field (SetLastFrame records the step).
    UpdateAllViews(kHintLastFrame);
}

void CKinoDoc::OnFpsChanged()
{
    const float before = m_timeline.m_fps;
    UpdateAllViews(m_timeline.m_playing ? kHintFpsWhilePlaying : kHintFps);
    RecordFrameRate(before);
}

void CKinoDoc::RecordFrameRate(float before)
{
    // The views read the rate from the control bar; the file keeps it.
    if (std::bit_cast<std::uint32_t>(before) != std::bit_cast<std::uint32_t>(m_timeline.m_fps))
        m_scene.PushRecord(std::make_unique<FrameRateRecord>(before));
}

// --- hierarchy view ------------------------------------------------------------------

void CKinoDoc::ClickTreeItem(int model)
{
    if (model == kNoModel) {
        OnMouseCamera();
        m_scene.m_selected = kNoModel;
        return;
    }
    if (model < 0 || static_cast<std::size_t>(model) >= m_scene.m_models.size()) return;
    if (m_scene.m_models[static_cast<std::size_t>(model)].m_visible == 1) {
        OnMouseModel();
        m_scene.m_selected = model;
        m_hooks->BuildSelectionBox();
    }
    UpdateAllViews(kHintSelection);
}

void CKinoDoc::RightClickTreeItem(int model)
{
    if (model == kNoModel || (model >= 0 && static_cast<std::size_t>(model) < m_scene.m_models.size()))
        m_scene.m_selected = model;
}

DocResult CKinoDoc::DropModels(const std::string& path)
{
    // Added under no parent; the model-list hint clears the selection anyway.
    const int selected = m_scene.m_selected;
    m_scene.m_selected = kNoModel;
    DocResult result = AddModels(path);
    if (result.cancelled) m_scene.m_selected = selected;
    return result;
}

DocResult CKinoDoc::AddModels(const std::string& path)
{
    DocResult result;
    const std::size_t before = m_scene.m_materials.size();
    auto record = std::make_unique<AddModelsRecord>(m_scene, m_timeline);
    if (!ImportModels(path, m_scene.m_selected, result)) return result;
    LoadTextures(path, result, before);
    UpdateAllViews(kHintModelsChanged);
    // A file that fails part way may still have added models: they are a
    // step like the rest.
    if (record->Finish(m_scene, m_timeline)) m_scene.PushRecord(std::move(record));
    return result;
}

bool CKinoDoc::ImportModels(const std::string& path, int parent, DocResult& result)
{
    const std::size_t models = m_scene.m_models.size();
    const std::size_t materials = m_scene.m_materials.size();
    const int nextMaterialId = m_scene.m_nextMaterialId;
    const int lastListId = m_scene.m_lastListId;
    try {
        const MqoImportResult r = LoadMQO(m_scene, m_timeline, path, parent, m_progress);
        result.ok = r.ok;
        result.message = r.message;
        for (const std::string& w : r.warnings) result.warnings.push_back(Cp932ToUtf8(w));
        return true;
    } catch (const WorkCancelled&) {
        // The loader appends as it reads and has not yet rebuilt anything
        // from the new records, so cutting them off restores the scene.
        m_scene.m_models.erase(m_scene.m_models.begin() + static_cast<std::ptrdiff_t>(models), m_scene.m_models.end());
        m_scene.m_materials.erase(m_scene.m_materials.begin() + static_cast<std::ptrdiff_t>(materials),
                                  m_scene.m_materials.end());
        m_scene.m_nextMaterialId = nextMaterialId;
        m_scene.m_lastListId = lastListId;
        result.ok = false;
        result.cancelled = true;
        return false;
    }
}

void CKinoDoc::LoadTextures(const std::string& documentPath, DocResult& result, std::size_t first)
{
    TextureSearch search;
    search.firstFolders = m_textureFolders;
    const std::size_t slash = documentPath.find_last_of('/');
    search.documentFolders.push_back(slash == std::string::npos ? "." : slash == 0 ? "/" : documentPath.substr(0, slash));
    result.missingTextures = MissingTexturesMessage(LoadSceneTextures(m_scene, search, first), kMaxTexturesListed);
}

DocResult CKinoDoc::ReloadMissingTextures()
{
    DocResult result;
    TextureSearch search;
    search.firstFolders = m_textureFolders;
    if (!m_pathName.empty()) {
        const std::size_t slash = m_pathName.find_last_of('/');
        search.documentFolders.push_back(slash == std::string::npos ? "." : slash == 0 ? "/" : m_pathName.substr(0, slash));
    }
    std::size_t before = 0;
    for (const CMaterial& m : m_scene.m_materials) before += m.m_image ? 1 : 0;
    result.missingTextures = MissingTexturesMessage(LoadSceneTextures(m_scene, search), kMaxTexturesListed);
    std::size_t after = 0;
    for (const CMaterial& m : m_scene.m_materials) after += m.m_image ? 1 : 0;
    if (after != before) {
        m_hooks->LoadTextures();
        UpdateAllViews(kHintLook);
    }
    return result;
}

void CKinoDoc::DeleteSelectedModel()
{
    if (!m_scene.HasSelection()) return;
    m_scene.DeleteModel(m_timeline);
    UpdateAllViews(kHintModelsChanged);
}

bool CKinoDoc::RenameSelected(const std::string& newName)
{
    CModel* m = m_scene.SelectedModel();
    if (!m || newName.empty()) return false;
    if (newName == m->m_name) return true;
    // The history goes back through the rename before it reaches records
    // taken under the old name, so they keep finding their model.
    m_scene.PushRecord(RenameRecord::Rename(m_scene, m_timeline, m_scene.m_selected, newName));
    return true;
}

void CKinoDoc::ToggleVisibility(int model)
{
    if (model >= 0 && static_cast<std::size_t>(model) < m_scene.m_models.size()) {
        VisibilityRecord::Toggle(m_scene, model);
        // Visibility is saved with the scene.
        m_scene.PushRecord(std::make_unique<VisibilityRecord>(model));
    }
    UpdateAllViews(kHintSelection);
}

bool CKinoDoc::CanReparent(int model, int newParent) const
{
    const int count = static_cast<int>(m_scene.m_models.size());
    if (model < 0 || model >= count) return false;
    if (newParent == kNoModel) return true;
    if (newParent < 0 || newParent >= count) return false;
    // Walking up from the target must not meet the dragged model.
    int p = newParent;
    for (int steps = 0; p >= 0 && p < count && steps <= count; ++steps) {
        if (p == model) return false;
        p = m_scene.m_models[static_cast<std::size_t>(p)].m_parent;
    }
    return true;
}

bool CKinoDoc::Reparent(int model, int newParent, bool ctrlHeld)
{
    if (!CanReparent(model, newParent)) return false;
    if (ctrlHeld) {
        // What a copying drop should make is not settled: it changes
        // nothing, yet is told and counted as an edit, as it always was.
        UpdateAllViews(kHintReparented);
        m_dirty = true;
        return true;
    }
    auto record = std::make_unique<ReparentRecord>(m_scene, m_timeline, model);
    CModel& m = m_scene.m_models[static_cast<std::size_t>(model)];
    const int oldParent = m.m_parent;
    const std::string oldName = m.m_parentName;
    if (newParent == kNoModel) {
        m.m_parent = kNoModel;
        m.m_parentName = kNoParentName;
    } else {
        m.m_parent = newParent;
        m.m_parentName = m_scene.m_models[static_cast<std::size_t>(newParent)].m_name;
    }
    const bool changed = m.m_parent != oldParent || m.m_parentName != oldName;
    UpdateAllViews(kHintReparented);
    // A drop onto the parent it has already changes nothing.
    if (changed) {
        record->End(m_scene, m_timeline);
        m_scene.PushRecord(std::move(record));
    }
    return true;
}

// --- animation clipboard ---------------------------------------------------------------

std::string CKinoDoc::OnCopyAnimation()
{
    return CopyAnimation(m_scene) ? std::string() : UserText(msg::kSelectModel);
}

std::string CKinoDoc::OnPasteAnimation()
{
    // Pasting replaces a model's animation: a step of the history, so that
    // it is neither lost unasked nor beyond undo.
    if (!PasteAnimation(m_scene, m_timeline)) return UserText(msg::kSelectModel);
    return {};
}

}  // namespace kinovela
