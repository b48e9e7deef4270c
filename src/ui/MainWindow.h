// The main window: the hierarchy tree and the 3D view side by side in a
// splitter, the menu bar, the two tool bars, the control bar docked at the
// bottom and the status bar. Every command is a QAction carrying its command
// id; its enabled and checked state comes from the document and the window
// and is refreshed before a menu opens and, for the tool bars, when the
// program is idle.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QToolBar>

#include <functional>
#include <map>
#include <memory>

#include "document/ExportDispatch.h"
#include "document/ExportOptions.h"
#include "document/ViewInteraction.h"
#include "ui/ControlBar.h"
#include "ui/HierarchyView.h"
#include "ui/KinoView.h"

class QProgressDialog;

namespace kinovela::ui {

class MainWindow final : public QMainWindow, public IExportUi {
public:
    MainWindow(CKinoDoc& doc, FrameRateMeter& meter, ExportOptionsTable& options);
    ~MainWindow() override;

    // Dropped files: each .mqo is added, a .kvl opens and ends the drop.
    void DropFiles(const QStringList& paths);
    // Opens a .kvl or adds a .mqo, as the open command does (no question).
    void OpenFile(const QString& path);
    // Runs the command `id` as its menu item would; false for an unknown or
    // disabled command.
    bool RunCommand(int id);
    QAction* Action(int id) const;
    // Refreshes every action's enabled and checked state.
    void UpdateActions();

    KinoView* View() { return m_view; }
    ControlBar* Controls() { return m_controlBar; }
    CHierarchyView* Tree() { return m_tree; }
    QToolBar* MainToolBar() { return m_mainToolBar; }
    QToolBar* ControlToolBar() { return m_controlToolBar; }
    int RendererMode() const { return m_rendererMode; }
    SaveAsDispatcher& SaveAs() { return m_saveAs; }
    const QStringList& RecentFiles() const { return m_recent; }

    // IExportUi
    std::optional<std::string> ChooseSavePath() override;
    bool EditOptions(ExportOptions& options, const std::string& title) override;
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& question) override;

    // The file dialogs, replaceable so that tests need no modal loop.
    std::function<QString()> m_chooseOpenPath;
    std::function<QString()> m_chooseSavePath;
    // "Save changes?": QMessageBox::Yes, No or Cancel.
    std::function<int(const QString&)> m_askToSave;
    // A message box.
    std::function<void(const QString&)> m_showMessage;
    // A question whose default answer is yes; true for yes.
    std::function<bool(const QString&)> m_askYesNo;
    // The texture folders dialog: edits the list, false for Cancel.
    std::function<bool(QStringList&)> m_editTextureFolders;
    // Direct3D 9 is not part of this build's platform.
    bool m_direct3DAvailable = false;

protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    // No right-click menu over the bars: they are shown and hidden through
    // the View menu only, so its check marks always tell the truth.
    QMenu* createPopupMenu() override { return nullptr; }
    void dropEvent(QDropEvent* e) override;

private:
    // Every hint may change what the commands allow: refresh at once, so a
    // shortcut pressed right after works without waiting for the idle timer.
    struct HintListener final : IKinoView {
        std::function<void()> m_changed;
        void OnUpdate(int) override
        {
            if (m_changed) m_changed();
        }
    };

    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    QAction* Add(int id, std::function<void()> run, bool checkable = false);
    void UpdateTitle();
    void ShowResult(const DocResult& r);
    // False when the user cancels or the save did not happen.
    bool SaveModified();
    void AddRecent(const QString& path);
    void RebuildRecentMenu();
    void SelectOpenGL();
    void NextPane(bool forward);

    void OnNew();
    void OnOpen();
    void OnSave();
    void OnSaveAs();
    void OnKeyFrameDialog();
    void OnInsertFrames();
    void OnDeleteFrames();
    void OnBackground();
    void OnTextureFolders();

    CKinoDoc& m_doc;
    ExportOptionsTable& m_options;
    SaveAsDispatcher m_saveAs;
    std::map<int, QAction*> m_actions;
    ControlBar* m_controlBar = nullptr;
    CHierarchyView* m_tree = nullptr;
    KinoView* m_view = nullptr;
    QToolBar* m_mainToolBar = nullptr;
    QToolBar* m_controlToolBar = nullptr;
    QLabel* m_ratePane = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_recentMenu = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QStringList m_recent;
    int m_rendererMode = 0;
    bool m_controlToolBarVisible = true;
    std::unique_ptr<QProgressDialog> m_progress;
    HintListener m_hints;
};

}  // namespace kinovela::ui
