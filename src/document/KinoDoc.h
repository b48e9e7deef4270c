// The document: editing modes, file name and modified mark, and every
// command of the menus, tool bars, control bar and hierarchy view, carried out
// on the application's one scene and timeline. Plain C++: the editor's
// actions and the command scripts of kinovela-cli both call into it, and it
// tells its registered views what changed by an update hint.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Progress.h"
#include "document/CommandIds.h"
#include "document/UpdateHints.h"
#include "image/Textures.h"
#include "scene/Kinovela.h"

namespace kinovela {

class CKinoDoc;

// Texts are UTF-8, ready to show.
struct DocResult {
    bool ok = true;
    std::string message;  // for the user: what failed
    bool shown = false;   // the message box has been shown already
    bool cancelled = false;  // the user stopped the work; nothing changed
    std::vector<std::string> warnings;

    // Every warning on one line (a status bar's), led by their count when
    // there are several; empty without warnings.
    std::string WarningSummary() const;
    // The one message about the textures an open or import could not load
    // (MissingTexturesMessage); empty when every picture was found.
    std::string missingTextures;
};

// What Save does for a document whose file is not a native scene: the
// export dispatch, provided by the exporters.
class ISaveAsHandler {
public:
    virtual ~ISaveAsHandler() = default;
    virtual DocResult SaveAs(CKinoDoc& doc) = 0;
};

// Calls into the renderers that own graphics resources; the editor provides
// them, a document without a window has none.
class IRenderHooks {
public:
    virtual ~IRenderHooks() = default;
    virtual void ReleaseResources() {}
    virtual void LoadTextures() {}
    virtual void BuildSelectionBox() {}
    virtual void RebuildModels() {}
    virtual void BackgroundChanged() {}
};

class CKinoDoc {
public:
    CKinoDoc(CKinovela& scene, CTimeline& timeline);

    CKinovela& Scene() { return m_scene; }
    CTimeline& Timeline() { return m_timeline; }
    const CKinovela& Scene() const { return m_scene; }
    const CTimeline& Timeline() const { return m_timeline; }

    // Views are not owned; a view removes itself before it goes away.
    void AddView(IKinoView* view);
    void RemoveView(IKinoView* view);
    void UpdateAllViews(int hint);
    void SetSaveAsHandler(ISaveAsHandler* handler) { m_saveAs = handler; }
    void SetRenderHooks(IRenderHooks* hooks) { m_hooks = hooks ? hooks : &m_noHooks; }

    // --- editing modes ---------------------------------------------------------
    bool m_firstNew = true;
    int m_transformMode = 0;  // 0 move, 1 rotate, 2 scale
    int m_mouseTarget = 0;    // 0 the mouse moves the camera, 1 the selected model
    // Auto-key: every pose edit of a model also stores a key frame there.
    bool m_autoKey = false;
    std::string m_versionText;

    const std::string& PathName() const { return m_pathName; }
    // The file the document now stands for (its title shows the full path).
    void SetPathName(const std::string& path)
    {
        m_pathName = path;
        m_title = path;
    }
    const std::string& Title() const { return m_title; }
    // Modified while the scene differs from the state last saved or opened.
    // Undo and redo back to that state clear the mark again, unless a change
    // outside the history (an export, the background colour) came between.
    bool IsModified() const { return m_dirty || !m_scene.AtCleanState(); }
    // true: the newest step of the history changed the scene, or (when
    // there is none since the saved state) something outside it did.
    // false: the scene as it is now is the saved one.
    void SetModified(bool modified = true);

    // --- textures ----------------------------------------------------------------
    // Folders searched for texture files before the program's TEXTURE
    // folder; after it come the document's folder and its TEXTURE folder.
    std::vector<std::string> m_textureFolders;
    // Looks again for the pictures of textured materials that have none
    // (after m_textureFolders changed), beside the document's file as well;
    // the result's missingTextures names those still missing.
    DocResult ReloadMissingTextures();
    // Told how far a file being read or written has come (the editor shows
    // it); may be empty. It may throw WorkCancelled: opening, adding models
    // and saving then stop and leave the scene and the files as they were
    // (the result says `cancelled`).
    ProgressFn m_progress;

    // --- files -------------------------------------------------------------------
    void OnNewDocument();
    // .kvl replaces the scene (a file that fails to read leaves it as it was),
    // .mqo adds to it, any other extension loads nothing.
    DocResult OnOpenDocument(const std::string& path);
    // Writes the native file to `path` and makes it the document's file.
    DocResult OnSaveDocument(const std::string& path);
    // Save: the native file when the document's path is a .kvl, else Save As.
    DocResult OnFileSave();

    // Enabled and checked state of a command id of CommandIds.h.
    CommandState GetState(int id) const;

    // --- commands ------------------------------------------------------------------
    void OnEditUndo();
    void OnEditRedo();
    void OnMouseCamera();
    void OnMouseModel();
    void OnModeMove();
    void OnModeRotate();
    void OnModeScale();
    void OnPlay();
    void OnStop();
    void OnNextFrame();
    void OnPrevFrame();
    void OnNextKey();
    void OnPrevKey();
    void OnFirstFrame();
    void OnLastFrame();
    // The key-frame dialog's OK: choice 0 add (selected), 1 add (all),
    // 2 delete (selected), 3 delete (all), at `frame`.
    void OnKeyFrameDialog(int frame, int choice);
    void OnAddKey(bool allModels);
    void OnDeleteKey(bool allModels);
    // Both return the message to show, or an empty text on success.
    std::string OnInsertFrames(int after, int count);
    std::string OnDeleteFrames(int first, int last);
    void OnSmooth();
    void OnCameraReset();
    void OnBackground(std::uint32_t colour);
    void OnAutoKey() { m_autoKey = !m_autoKey; }
    // Frame all (selectedOnly false) and frame selected, for a view of the
    // given width / height.
    enum class FrameResult { Nothing, Framed, TooDeep };
    FrameResult OnFrameView(bool selectedOnly, float aspect);

    // After a pose edit of the selected model at the current frame (a drag,
    // typed values, a script's set or nudge) whose records begin at undo
    // stack size `mark`: with auto-key on, stores a key there as part of
    // the same step; otherwise, when the frame is not a key, tells the views
    // (hint 121).
    void FinishPoseEdit(std::size_t mark);

    // --- control-bar notifications ---------------------------------------------------
    void OnVectorEditLeft();
    void OnCurrentFrameEditLeft();
    void OnLastFrameEditLeft();
    void OnFpsChanged();

    // --- hierarchy view ------------------------------------------------------------------
    // A left click on a tree item: `model` is a model index, or kNoModel for
    // the root item.
    void ClickTreeItem(int model);
    // A right click: selects the item's model (none for the root).
    void RightClickTreeItem(int model);
    DocResult AddModels(const std::string& path);
    // A .mqo dropped on the window: its models join the scene at the top
    // level, whatever is selected.
    DocResult DropModels(const std::string& path);
    void DeleteSelectedModel();
    // False (and nothing changes) for an empty name or without a selection.
    bool RenameSelected(const std::string& newName);
    void ToggleVisibility(int model);
    // A model may go under the root (kNoModel) or under any model that is
    // not itself or one of its descendants.
    bool CanReparent(int model, int newParent) const;
    // The drop of `model` on `newParent`; false when the drop is refused.
    bool Reparent(int model, int newParent, bool ctrlHeld);

    // --- animation clipboard ------------------------------------------------------------
    // Both return the message to show, or an empty text on success.
    std::string OnCopyAnimation();
    std::string OnPasteAnimation();

private:
    void ReleaseResources();
    // LoadMQO with the document's progress; a cancelled import takes back
    // every model and material it had added. False when cancelled.
    bool ImportModels(const std::string& path, int parent, DocResult& result);
    // Recomputes every model's in-between frames as part of the newest step
    // (the key frame dialog's recompute).
    void RecomputeAllInto(std::size_t mark);
    // Broadcasts what an undo or redo step changed.
    void AfterHistoryStep(unsigned touched);
    // A step for a frame rate the views changed from `before`.
    void RecordFrameRate(float before);
    // Decodes the images of the textured materials from index `first` on
    // that have none yet, looking beside `documentPath` as well; what cannot
    // be loaded becomes the result's one missing-texture message.
    void LoadTextures(const std::string& documentPath, DocResult& result, std::size_t first = 0);

    CKinovela& m_scene;
    CTimeline& m_timeline;
    std::vector<IKinoView*> m_views;
    ISaveAsHandler* m_saveAs = nullptr;
    IRenderHooks m_noHooks;
    IRenderHooks* m_hooks = &m_noHooks;
    std::string m_pathName;
    std::string m_title = "Kinovela";
    // A change that the history does not hold (an export that left the
    // scene unsaved, the background colour) since the last save.
    bool m_dirty = false;
};

// The extension of the last path component without its dot, lower case
// ASCII; empty when there is none.
std::string PathExtension(const std::string& path);

}  // namespace kinovela
