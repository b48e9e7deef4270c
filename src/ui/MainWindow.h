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
#include <QUrl>

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "document/ExportDispatch.h"
#include "document/ExportOptions.h"
#include "document/ViewInteraction.h"
#include "ui/ControlBar.h"
#include "ui/HierarchyView.h"
#include "ui/KinoView.h"

#include <optional>

class QProgressDialog;

namespace kinovela::ui {

class Language;

// What the application hands the main window as it is made.
struct WindowStartUp {
    // The interface language, set up while the window is made (before the
    // control bar, which keeps the language it is made in) and switched by
    // the language command; null: the built-in Japanese, and no switch.
    Language* language = nullptr;
    // Shows the splash window while the window is made.
    bool splash = false;
};

class MainWindow final : public QMainWindow, public IExportUi {
public:
    MainWindow(CKinoDoc& doc, FrameRateMeter& meter, ExportOptionsTable& options, const WindowStartUp& startUp = {});
    ~MainWindow() override;

    // Long document work: reading, writing, exporting. While any is alive
    // the wait cursor shows, the control bar commits nothing, and messages
    // are collected instead of shown. When the last one ends, its progress
    // dialog closes and the collected messages are shown together in one
    // box: a message box never opens under a progress dialog, nor a
    // progress dialog over a message box. `cancellable`: the work can stop
    // without leaving anything half done, so its progress dialog has Cancel.
    class Work {
    public:
        Work(MainWindow& window, bool cancellable);
        ~Work();
        Work(const Work&) = delete;
        Work& operator=(const Work&) = delete;

    private:
        MainWindow& m_window;
        ControlBar::CommitHold m_hold;
        bool m_outerCancellable;
    };
    bool Working() const { return m_work > 0; }
    // A run without a user (--grab, --measure): messages go to standard
    // error and the run goes on; no progress dialog and no save question.
    void SetBatchMode();
    // How long work runs before its progress dialog shows, in milliseconds.
    int m_progressDelay = 400;

    // Dropped files: each .mqo is added, a .kvl opens and ends the drop.
    void DropFiles(const QStringList& paths);
    // Opens a .kvl or adds a .mqo, as the open command does (no question);
    // false when the file could not be read.
    bool OpenFile(const QString& path);
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
    // The last four scene files opened or saved, the latest first; kept in
    // the settings between runs (not by a batch run).
    const QStringList& RecentFiles() const { return m_recent; }
    // Puts the menus' and tool bars' texts in the current language.
    void SwitchMenus();

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
    // Opens a page of the help or a web address with the desktop's program
    // for it; no message of ours when that fails.
    std::function<void(const QUrl&)> m_openUrl;
    // The About box, shown modally.
    std::function<void()> m_showAbout;
    // Where the help pages are (the program's help/ folder) and where the
    // per-user desktop registration is (the user's data folder).
    QString m_helpFolder;
    QString m_userDataFolder;
    // The texture folders dialog: edits the list, false for Cancel.
    std::function<bool(QStringList&)> m_editTextureFolders;
    // Whether the view made its Direct3D preview (the software device).
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
    QString DocumentName() const;
    void UpdateTitle();
    void ShowResult(const DocResult& r);
    // Save (the native file, or Save As for any other) or Save As, with the
    // work and its messages; the recent files learn a native save.
    DocResult SaveDocument(bool saveAs);
    // False when the user cancels or the save did not happen.
    bool SaveModified();
    // The drop's files, as one piece of work.
    void DropPaths(const QStringList& paths);
    void AddRecent(const QString& path);
    void RemoveRecent(const QString& path);
    void LoadRecent();
    void SaveRecent() const;
    void RebuildRecentMenu();
    // The texts of one command's action in the current language.
    void ApplyTexts(QAction* action, int id) const;
    void NameToolBars();
    void OnHelp();
    void OnSwitchLanguage();
    void OnRemoveRegistration();
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
    // Frame all or frame selected, for the 3D view's shape.
    void FrameView(bool selectedOnly);
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
    // The menu bar's menus and their built-in titles.
    std::vector<std::pair<QMenu*, const char*>> m_menus;
    Language* m_language = nullptr;
    QMenu* m_recentMenu = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QStringList m_recent;
    int m_rendererMode = 0;
    bool m_controlToolBarVisible = true;
    std::unique_ptr<QProgressDialog> m_progress;
    int m_work = 0;
    bool m_workCancellable = false;
    QStringList m_collected;  // messages raised during work
    bool m_batch = false;
    // Save As asks for a name and the options first; the work starts once
    // they are chosen, here (null outside a save).
    std::optional<Work>* m_saveWork = nullptr;
    QString m_chosenSavePath;
    HintListener m_hints;
};

}  // namespace kinovela::ui
