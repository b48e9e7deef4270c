#include "document/KinoDoc.h"

#include <algorithm>

#include "common/TextCodec.h"
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

// --- files ---------------------------------------------------------------------

void CKinoDoc::OnNewDocument()
{
    ReleaseResources();
    m_pathName.clear();
    m_versionText.clear();
    m_title = msg::kDocumentTitle;
    m_modified = false;
    m_timeline.m_current = 0;
    m_timeline.m_playing = 0;
    m_timeline.m_last = 60;
    m_timeline.m_prevLast = 60;
    m_scene.ResetScene(m_timeline);
    UpdateAllViews(m_firstNew ? kHintFirstNew : kHintNew);
    m_firstNew = false;
}

DocResult CKinoDoc::OnOpenDocument(const std::string& path)
{
    DocResult result;
    const std::string ext = PathExtension(path);
    if (ext == "kvl") {
        // The reader fills a fresh scene and commits only on success, so the
        // renderers' resources are released only once the file has been read.
        CKinovela loaded;
        loaded.m_animClipboard = std::move(m_scene.m_animClipboard);
        loaded.m_background = m_scene.m_background;
        loaded.m_fov = m_scene.m_fov;
        // The axis switches belong to the window's check boxes, not the file.
        loaded.m_axisX = m_scene.m_axisX;
        loaded.m_axisY = m_scene.m_axisY;
        loaded.m_axisZ = m_scene.m_axisZ;
        CTimeline t = m_timeline;
        const NativeReadResult r = ReadNativeFile(path, loaded, t, m_progress);
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
        m_modified = false;
        LoadTextures(path, result);
        m_hooks->LoadTextures();
    } else if (ext == "mqo") {
        // Only the materials this file brings are looked for: those already
        // in the scene were reported when they came.
        const std::size_t before = m_scene.m_materials.size();
        const MqoImportResult r = LoadMQO(m_scene, m_timeline, path, kNoModel, m_progress);
        if (!r.ok) result.message = r.message;
        for (const std::string& w : r.warnings) result.warnings.push_back(Cp932ToUtf8(w));
        LoadTextures(path, result, before);
        UpdateAllViews(kHintModelsChanged);
        m_modified = true;
    }
    m_scene.ClearHistory(m_timeline, true);
    m_timeline.m_prevLast = m_timeline.m_last;
    m_scene.UpdateColors();
    m_scene.UpdateBoundingBoxes();
    UpdateAllViews(kHintOpened);
    return result;
}

DocResult CKinoDoc::OnSaveDocument(const std::string& path)
{
    DocResult result;
    const WriteResult w = WriteNativeFile(path, m_scene, m_timeline, m_progress);
    if (!w.ok) {
        result.ok = false;
        result.message = w.error;
        return result;
    }
    m_pathName = path;
    m_title = path;
    m_versionText = kNativeVersionText;
    m_modified = false;
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
    default: return {true, false};
    }
}

// --- commands --------------------------------------------------------------------

void CKinoDoc::OnEditUndo()
{
    if (!Undo(m_scene, m_timeline)) return;
    m_hooks->BuildSelectionBox();
    UpdateAllViews(kHintHistory);
    m_modified = true;
}

void CKinoDoc::OnEditRedo()
{
    if (!Redo(m_scene, m_timeline)) return;
    m_hooks->BuildSelectionBox();
    UpdateAllViews(kHintHistory);
    m_modified = true;
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
    UpdateAllViews(kHintPlay);
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
    if (choice < 2)
        m_scene.AddKeyFrame(m_timeline, choice == 1, frame);
    else
        m_scene.DeleteKeyFrame(m_timeline, choice == 3, frame);
    m_scene.RecomputeAll(m_timeline);
    UpdateAllViews(kHintKeys);
    m_modified = true;
}

void CKinoDoc::OnAddKey(bool allModels)
{
    if (!m_scene.HasSelection()) return;
    m_scene.AddKeyFrame(m_timeline, allModels, m_timeline.m_current);
    UpdateAllViews(kHintKeys);
    m_modified = true;
}

void CKinoDoc::OnDeleteKey(bool allModels)
{
    if (!m_scene.HasSelection()) return;
    m_scene.DeleteKeyFrame(m_timeline, allModels, m_timeline.m_current);
    UpdateAllViews(kHintKeys);
    m_modified = true;
}

std::string CKinoDoc::OnInsertFrames(int after, int count)
{
    if (!m_scene.InsertFrames(m_timeline, after, count)) return msg::kFrameOutOfRange;
    UpdateAllViews(kHintFrames);
    m_modified = true;
    return {};
}

std::string CKinoDoc::OnDeleteFrames(int first, int last)
{
    if (!m_scene.DeleteFrames(m_timeline, first, last)) return msg::kFrameOutOfRange;
    UpdateAllViews(kHintFrames);
    m_modified = true;
    return {};
}

void CKinoDoc::OnSmooth()
{
    m_scene.m_smooth = m_scene.m_smooth ? 0 : 1;
    m_hooks->RebuildModels();
    UpdateAllViews(kHintLook);
    // The shading flag is part of the saved scene.
    m_modified = true;
}

void CKinoDoc::OnCameraReset()
{
    m_scene.ResetCamera();
    UpdateAllViews(kHintHistory);
}

void CKinoDoc::OnBackground(std::uint32_t colour)
{
    m_scene.m_background = colour;
    m_hooks->BackgroundChanged();
    UpdateAllViews(kHintLook);
    m_modified = true;
}

// --- control bar -------------------------------------------------------------------

void CKinoDoc::OnVectorEditLeft()
{
    const bool model = m_scene.HasSelection();
    m_scene.PushUndoForSelection(m_timeline);
    UpdateAllViews(kHintVectorEdited);
    // A typed pose is an edit like any other; typed camera values are a view
    // change, as camera drags are.
    if (model) m_modified = true;
}

void CKinoDoc::OnCurrentFrameEditLeft() { UpdateAllViews(kHintCurrentFrameEdited); }

void CKinoDoc::OnLastFrameEditLeft()
{
    UpdateAllViews(kHintLastFrame);
    m_modified = true;
}

void CKinoDoc::OnFpsChanged()
{
    UpdateAllViews(m_timeline.m_playing ? kHintFpsWhilePlaying : kHintFps);
    m_modified = true;
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
    m_scene.m_selected = kNoModel;
    return AddModels(path);
}

DocResult CKinoDoc::AddModels(const std::string& path)
{
    DocResult result;
    const std::size_t before = m_scene.m_materials.size();
    const MqoImportResult r = LoadMQO(m_scene, m_timeline, path, m_scene.m_selected, m_progress);
    result.ok = r.ok;
    result.message = r.message;
    for (const std::string& w : r.warnings) result.warnings.push_back(Cp932ToUtf8(w));
    LoadTextures(path, result, before);
    UpdateAllViews(kHintModelsChanged);
    m_modified = true;
    return result;
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
    m_modified = true;
}

bool CKinoDoc::RenameSelected(const std::string& newName)
{
    CModel* m = m_scene.SelectedModel();
    if (!m || newName.empty()) return false;
    const std::string old = m->m_name;
    // Records name their model. When either name is shared with another
    // model, renamed records could land on the wrong one: drop the history.
    int sharing = 0;
    for (const CModel& other : m_scene.m_models)
        if (&other != m && (other.m_name == old || other.m_name == newName)) ++sharing;
    m_scene.RenameParentLinks(old, newName);
    m->m_name = newName;
    if (sharing == 0)
        RenameInHistory(m_scene, old, newName);
    else
        m_scene.ClearHistory(m_timeline, false);
    m_modified = true;
    return true;
}

void CKinoDoc::ToggleVisibility(int model)
{
    if (model >= 0 && static_cast<std::size_t>(model) < m_scene.m_models.size()) {
        CModel& m = m_scene.m_models[static_cast<std::size_t>(model)];
        if (m.m_visible == 1) {
            m_scene.m_selected = kNoModel;
            m.m_visible = 0;
        } else {
            m_scene.m_selected = model;
            m.m_visible = 1;
        }
        m_modified = true;  // visibility is saved with the scene
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
    m_scene.PushUndoForSelection(m_timeline);
    if (!ctrlHeld) {
        CModel& m = m_scene.m_models[static_cast<std::size_t>(model)];
        if (newParent == kNoModel) {
            m.m_parent = kNoModel;
            m.m_parentName = kNoParentName;
        } else {
            m.m_parent = newParent;
            m.m_parentName = m_scene.m_models[static_cast<std::size_t>(newParent)].m_name;
        }
    }
    m_scene.PushUndoForSelection(m_timeline);
    UpdateAllViews(kHintReparented);
    m_modified = true;
    return true;
}

// --- animation clipboard ---------------------------------------------------------------

std::string CKinoDoc::OnCopyAnimation()
{
    return CopyAnimation(m_scene) ? std::string() : std::string(msg::kSelectModel);
}

std::string CKinoDoc::OnPasteAnimation()
{
    if (!PasteAnimation(m_scene, m_timeline)) return msg::kSelectModel;
    // Pasting replaces a model's animation: that must not be lost unasked.
    m_modified = true;
    return {};
}

}  // namespace kinovela
