#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>

#include "common/TextCodec.h"
#include "common/UserTexts.h"
#include "document/DocumentMessages.h"
#include "document/CommandIds.h"
#include "ui/AboutBox.h"
#include "ui/CommandTexts.h"
#include "ui/DesktopIntegration.h"
#include "ui/Dialogs.h"
#include "ui/FileFolders.h"
#include "ui/Language.h"
#include "ui/Splash.h"
#include "ui/TextKeys.h"
#include "ui/TextureFolders.h"
#include "ui/ToolIcons.h"

namespace kinovela::ui {

namespace {

constexpr int kRecentCount = 4;

// The menu bar's titles, translated in the "Menu" context.
constexpr const char* kFileMenu = QT_TRANSLATE_NOOP("Menu", "ﾌｧｲﾙ(&F)");
constexpr const char* kEditMenu = QT_TRANSLATE_NOOP("Menu", "編集(&E)");
constexpr const char* kMouseMenu = QT_TRANSLATE_NOOP("Menu", "操作(&O)");
constexpr const char* kTransformMenu = QT_TRANSLATE_NOOP("Menu", "変形(&T)");
constexpr const char* kControlMenu = QT_TRANSLATE_NOOP("Menu", "制御(&C)");
constexpr const char* kSettingsMenu = QT_TRANSLATE_NOOP("Menu", "設定(&S)");
constexpr const char* kViewMenu = QT_TRANSLATE_NOOP("Menu", "表示(&V)");
constexpr const char* kHelpMenu = QT_TRANSLATE_NOOP("Menu", "ﾍﾙﾌﾟ(&H)");
// Longer dropped paths are passed over, as the drop buffer always was.
constexpr int kMaxDroppedPath = 511;
// How long a passing remark stays in the status bar.
constexpr int kNoteMilliseconds = 8000;

// The editor's own settings, kept between runs: auto-key is remembered as
// the user left it (off the first time).
constexpr const char* kAutoKeySetting = "Editing/AutoKey";

QVariant ReadSetting(const char* key, const QVariant& fallback)
{
    return QSettings(kSettingsOrganisation, kSettingsApplication).value(key, fallback);
}

void WriteSetting(const char* key, const QVariant& value)
{
    QSettings(kSettingsOrganisation, kSettingsApplication).setValue(key, value);
}

// The extension of a type entry's first pattern: "DirectXファイル(*.x)" gives
// "x", "全ての形式(*.kvl *.mqo)" gives "kvl".
QString FirstSuffix(const QString& filter)
{
    const qsizetype star = filter.indexOf("*.");
    if (star < 0) return {};
    qsizetype end = star + 2;
    while (end < filter.size() && filter[end] != ' ' && filter[end] != ')' && filter[end] != ';') ++end;
    return filter.mid(star + 2, end - star - 2);
}

// Exports that write one file, through the atomic writer, stop cleanly when
// cancelled; the others write side files as they go.
bool ExportStopsCleanly(const QString& path)
{
    const std::string ext = PathExtension(path.toStdString());
    return ext == "x" || ext == "h" || ext == "mqs";
}

// A file dialog starting in `folder` (or at a file, which it then offers).
// A name typed without an extension gets the chosen type's (".kvl" for the
// first type), so picking the DirectX type and typing "robot" saves
// "robot.x". The folder of the chosen file is remembered.
QString RunFileDialog(QWidget* parent, bool save, const QString& caption, const QString& filter, const QString& start)
{
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(FirstSuffix(filter));
    if (save)
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& chosen) { dialog.setDefaultSuffix(FirstSuffix(chosen)); });
    if (dialog.exec() != QDialog::Accepted) return {};
    const QString chosen = dialog.selectedFiles().value(0);
    RememberDialogFolder(chosen);
    return chosen;
}

}  // namespace

MainWindow::MainWindow(CKinoDoc& doc, FrameRateMeter& meter, ExportOptionsTable& options, const WindowStartUp& startUp)
    : m_doc(doc), m_options(options), m_saveAs(options, *this), m_language(startUp.language)
{
    setAcceptDrops(true);
    setWindowIcon(QIcon(QStringLiteral(":/kinovela/kinovela.png")));
    // Text fields of every window keep their editing keys.
    qApp->installEventFilter(new TextEditingKeys(this));
    CreateStatusBar();

    // The language is set up before anything with texts is made: the
    // control bar keeps the language it is made in until the next start.
    if (m_language) m_language->SetUp(doc.Scene().m_language);

    // The control bar is made before the view, which writes into it.
    m_controlBar = new ControlBar(doc, this);
    auto* dock = new QDockWidget(this);
    dock->setObjectName("controlBar");
    dock->setWidget(m_controlBar);
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));
    addDockWidget(Qt::BottomDockWidgetArea, dock);

    auto* splitter = new QSplitter(this);
    m_tree = new CHierarchyView(doc, splitter);
    m_view = new KinoView(doc, *m_controlBar, meter, splitter);
    splitter->addWidget(m_tree);
    splitter->addWidget(m_view);
    splitter->setStretchFactor(1, 4);
    splitter->setSizes({240, 1200});
    setCentralWidget(splitter);
    meter.Reset();
    m_direct3DAvailable = m_view->Direct3DAvailable();
    m_view->m_showMessage = [this](const QString& text) { m_showMessage(text); };

    m_controlBar->m_invalidate = [this] { m_view->update(); };
    m_controlBar->m_showRate = [this](const QString& text) { m_ratePane->setText(text); };
    m_controlBar->m_showNote = [this](const QString& text) { statusBar()->showMessage(text, kNoteMilliseconds); };
    m_controlBar->m_focusAfterEnter = m_view;
    m_controlBar->m_showMessage = [this](const QString& text) { ShowMessage(text.toStdString()); };
    m_tree->m_addModels = [this](const std::string& path) {
        const Work work(*this, true);
        DocResult r = m_doc.AddModels(path);
        ShowResult(r);
        r.shown = true;
        return r;
    };

    m_chooseOpenPath = [this] {
        return RunFileDialog(this, false, PlainCaption(Caption(ID_FILE_OPEN)), Tr("Texts", kOpenFilter),
                             DialogStartFolder(QString::fromStdString(m_doc.PathName())));
    };
    m_chooseSavePath = [this] {
        // A scene with a file offers that file.
        const QString file = QString::fromStdString(m_doc.PathName());
        return RunFileDialog(this, true, PlainCaption(Caption(ID_FILE_SAVE_AS)), Tr("Texts", kSaveFilter),
                             file.isEmpty() ? DialogStartFolder(file) : file);
    };
    m_showMessage = [this](const QString& text) { QMessageBox::warning(this, "Kinovela", text); };
    m_askYesNo = [this](const QString& text) {
        return QMessageBox::question(this, "Kinovela", text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
               QMessageBox::Yes;
    };
    m_editTextureFolders = [this](QStringList& folders) {
        CDlgTextureFolders dialog(folders, this);
        if (dialog.exec() != QDialog::Accepted) return false;
        folders = dialog.Folders();
        return true;
    };
    {
        // Extra texture folders of the user's, searched before the
        // program's own.
        QSettings settings(kSettingsOrganisation, kSettingsApplication);
        doc.m_textureFolders = ToPaths(ReadTextureFolders(settings));
    }
    m_askToSave = [this](const QString& text) {
        return QMessageBox::question(this, "Kinovela", text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };
    m_openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    m_showAbout = [this] {
        CAboutDlg about(this);
        about.exec();
    };
    m_helpFolder = HelpFolder();
    m_userDataFolder = UserDataFolder();
    LoadRecent();

    doc.m_autoKey = ReadSetting(kAutoKeySetting, false).toBool();
    CreateActions();
    CreateMenus();
    RebuildRecentMenu();  // the files of the last run
    CreateToolBars();
    SelectOpenGL();

    doc.SetSaveAsHandler(&m_saveAs);
    // Long reads and writes show how far they are; the dialog appears only
    // when the work takes a while. Its Cancel stops the work by throwing
    // WorkCancelled out of the reader or writer.
    doc.m_progress = [this](std::uint64_t done, std::uint64_t total) {
        if (m_batch || m_work == 0) return;
        const bool unfinished = done < total;
        if (!m_progress) {
            m_progress = std::make_unique<QProgressDialog>(this);
            m_progress->setWindowModality(Qt::WindowModal);
            if (m_workCancellable)
                m_progress->setCancelButtonText(Tr("Texts", kCancelCaption));
            else
                m_progress->setCancelButton(nullptr);
            m_progress->setMinimumDuration(m_progressDelay);
            m_progress->setRange(0, 1000);
            m_progress->setWindowTitle("Kinovela");
        }
        // A dialog without Cancel can still be closed; that only hides it.
        if (m_progress->wasCanceled()) {
            if (m_workCancellable && unfinished) throw WorkCancelled{};
            return;
        }
        // While shown, the dialog runs the event loop here: that is when a
        // click on Cancel arrives.
        m_progress->setValue(total == 0 ? 1000 : static_cast<int>(done * 1000 / total));
        if (m_progress->wasCanceled() && m_workCancellable && unfinished) throw WorkCancelled{};
    };

    // Tool bar buttons follow the document's state when the program is idle.
    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, [this] {
        UpdateActions();
        UpdateTitle();
    });
    idle->start(100);
    m_hints.m_changed = [this] {
        UpdateActions();
        UpdateTitle();
    };
    m_doc.AddView(&m_hints);
    UpdateActions();
    UpdateTitle();
    if (startUp.splash) CSplashWnd::Show(this);
}

MainWindow::Work::Work(MainWindow& window, bool cancellable)
    : m_window(window), m_hold(*window.m_controlBar), m_outerCancellable(window.m_workCancellable)
{
    if (m_window.m_work++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
    m_window.m_workCancellable = cancellable;
}

MainWindow::Work::~Work()
{
    m_window.m_workCancellable = m_outerCancellable;
    if (--m_window.m_work > 0) return;
    m_window.m_progress.reset();
    QApplication::restoreOverrideCursor();
    const QString text = m_window.m_collected.join("\n\n");
    m_window.m_collected.clear();
    if (!text.isEmpty()) m_window.m_showMessage(text);
}

void MainWindow::SetBatchMode()
{
    m_batch = true;
    m_showMessage = [](const QString& text) {
        std::fprintf(stderr, "kinovela: %s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
    };
    // Nothing of such a run is kept.
    m_askToSave = [](const QString&) { return static_cast<int>(QMessageBox::No); };
}

MainWindow::~MainWindow()
{
    m_controlBar->Detach();
    m_doc.RemoveView(&m_hints);
    m_doc.m_progress = nullptr;
    m_doc.SetSaveAsHandler(nullptr);
}

void MainWindow::ApplyTexts(QAction* a, int id) const
{
    a->setText(Caption(id));
    a->setStatusTip(Prompt(id));
    a->setToolTip(Tip(id));
}

QAction* MainWindow::Add(int id, std::function<void()> run, bool checkable)
{
    auto* a = new QAction(this);
    ApplyTexts(a, id);
    a->setData(id);
    a->setShortcut(Shortcut(id));
    a->setShortcutContext(Qt::WindowShortcut);
    a->setCheckable(checkable);
    const QIcon icon = ToolIcon(id);
    if (!icon.isNull()) a->setIcon(icon);
    connect(a, &QAction::triggered, this, [this, a, run] {
        // A checkable action flips itself; the state the document answers
        // is what it shows.
        run();
        UpdateActions();
        (void)a;
    });
    m_actions[id] = a;
    addAction(a);  // shortcuts work while the menus are closed
    return a;
}

QAction* MainWindow::Action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

bool MainWindow::RunCommand(int id)
{
    QAction* a = Action(id);
    if (!a) return false;
    UpdateActions();
    if (!a->isEnabled()) return false;
    a->trigger();
    return true;
}

void MainWindow::CreateActions()
{
    CKinoDoc& d = m_doc;
    Add(ID_FILE_NEW, [this] { OnNew(); });
    Add(ID_FILE_OPEN, [this] { OnOpen(); });
    Add(ID_FILE_SAVE, [this] { OnSave(); });
    Add(ID_FILE_SAVE_AS, [this] { OnSaveAs(); });
    Add(ID_APP_EXIT, [this] { close(); });

    Add(ID_EDIT_UNDO, [&d] { d.OnEditUndo(); });
    Add(ID_EDIT_REDO, [&d] { d.OnEditRedo(); });
    Add(ID_COPY_ANIMATION, [this] {
        const std::string message = m_doc.OnCopyAnimation();
        if (!message.empty()) ShowMessage(message);
    });
    Add(ID_PASTE_ANIMATION, [this] {
        const std::string message = m_doc.OnPasteAnimation();
        if (!message.empty()) ShowMessage(message);
        // The pasted keys show on the slider, and the fields show the pose.
        m_doc.UpdateAllViews(kHintSelection);
        m_view->update();
    });

    Add(ID_MOUSE_CAMERA, [&d] { d.OnMouseCamera(); }, true);
    Add(ID_MOUSE_MODEL, [&d] { d.OnMouseModel(); }, true);
    Add(ID_MODE_MOVE, [&d] { d.OnModeMove(); }, true);
    Add(ID_MODE_ROTATE, [&d] { d.OnModeRotate(); }, true);
    Add(ID_MODE_SCALE, [&d] { d.OnModeScale(); }, true);

    Add(ID_PLAY, [&d] { d.OnPlay(); });
    Add(ID_STOP, [&d] { d.OnStop(); });
    Add(ID_NEXT_FRAME, [&d] { d.OnNextFrame(); });
    Add(ID_PREV_FRAME, [&d] { d.OnPrevFrame(); });
    Add(ID_NEXT_KEY, [&d] { d.OnNextKey(); });
    Add(ID_PREV_KEY, [&d] { d.OnPrevKey(); });
    Add(ID_FIRST_FRAME, [&d] { d.OnFirstFrame(); });
    Add(ID_LAST_FRAME, [&d] { d.OnLastFrame(); });
    Add(ID_KEY_DIALOG, [this] { OnKeyFrameDialog(); });
    Add(ID_KEY_ADD, [&d] { d.OnAddKey(false); });
    Add(ID_KEY_ADD_ALL, [&d] { d.OnAddKey(true); });
    Add(ID_KEY_DELETE, [&d] { d.OnDeleteKey(false); });
    Add(ID_KEY_DELETE_ALL, [&d] { d.OnDeleteKey(true); });
    Add(ID_AUTO_KEY, [this] {
        m_doc.OnAutoKey();
        WriteSetting(kAutoKeySetting, m_doc.m_autoKey);
    }, true);
    Add(ID_INSERT_FRAMES, [this] { OnInsertFrames(); });
    Add(ID_DELETE_FRAMES, [this] { OnDeleteFrames(); });

    Add(ID_SMOOTH, [&d] { d.OnSmooth(); }, true);
    Add(ID_CAMERA_RESET, [&d] { d.OnCameraReset(); });
    Add(ID_BACKGROUND, [this] { OnBackground(); });
    Add(ID_TEXTURE_FOLDERS, [this] { OnTextureFolders(); });
    Add(ID_DELETE_REGISTRY, [this] { OnRemoveRegistration(); });
    // Without a language to switch (a window made on its own, as in the
    // tests) the item is shown but cannot be chosen.
    Add(ID_ENGLISH, [this] { OnSwitchLanguage(); })->setEnabled(m_language != nullptr);

    Add(ID_RENDER_OPENGL, [this] { SelectOpenGL(); }, true);
    Add(ID_RENDER_DIRECTX, [this] {
        if (m_direct3DAvailable) {
            m_rendererMode = 1;
            m_view->SetRendererMode(1);
        } else {
            ShowMessage(Tr("Texts", kNoDirect3D).toStdString());
            SelectOpenGL();
        }
    }, true);
    Add(ID_FRAME_ALL, [this] { FrameView(false); });
    Add(ID_FRAME_SELECTED, [this] { FrameView(true); });
    Add(ID_VIEW_TOOLBAR, [this] { m_mainToolBar->setVisible(!m_mainToolBar->isVisible()); }, true);
    Add(ID_VIEW_CONTROL_TOOLBAR, [this] {
        m_controlToolBarVisible = !m_controlToolBarVisible;
        m_controlToolBar->setVisible(m_controlToolBarVisible);
    }, true);
    Add(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); }, true);

    Add(ID_HELP_INDEX, [this] { OnHelp(); });
    Add(ID_HOME_PAGE, [this] { m_openUrl(QUrl(QString::fromUtf8(kHomePage))); });
    Add(ID_APP_ABOUT, [this] { m_showAbout(); });

    Add(ID_MODEL_ADD, [this] { m_tree->OnAddModel(); });
    Add(ID_MODEL_DELETE, [this] { m_tree->OnDeleteModel(); });
    Add(ID_MODEL_RENAME, [this] { m_tree->OnRenameModel(); });
    Add(ID_MODEL_SHOW_HIDE, [this] { m_tree->OnShowHide(); });

    // Keys of the accelerator table that no menu item shows.
    auto* next = new QAction(this);
    next->setShortcut(Qt::Key_F6);
    connect(next, &QAction::triggered, this, [this] { NextPane(true); });
    addAction(next);
    auto* previous = new QAction(this);
    previous->setShortcut(Qt::SHIFT | Qt::Key_F6);
    connect(previous, &QAction::triggered, this, [this] { NextPane(false); });
    addAction(previous);
}

void MainWindow::CreateMenus()
{
    auto menu = [this](const char* title, std::initializer_list<int> ids) {
        QMenu* m = menuBar()->addMenu(Tr("Menu", title));
        m_menus.emplace_back(m, title);
        for (int id : ids) {
            if (id == 0)
                m->addSeparator();
            else if (id == ID_FILE_MRU) {
                m_recentMenu = m;
                m_recentPlaceholder = m->addAction(Caption(ID_FILE_MRU));
                m_recentPlaceholder->setEnabled(false);
            } else
                m->addAction(Action(id));
        }
        connect(m, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
        return m;
    };
    m_fileMenu =
        menu(kFileMenu, {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0, ID_FILE_MRU, 0, ID_APP_EXIT});
    menu(kEditMenu, {ID_EDIT_UNDO, ID_EDIT_REDO, 0, ID_COPY_ANIMATION, ID_PASTE_ANIMATION});
    menu(kMouseMenu, {ID_MOUSE_CAMERA, ID_MOUSE_MODEL});
    menu(kTransformMenu, {ID_MODE_MOVE, ID_MODE_ROTATE, ID_MODE_SCALE});
    menu(kControlMenu, {ID_PLAY, ID_STOP, ID_NEXT_FRAME, ID_PREV_FRAME, ID_NEXT_KEY, ID_PREV_KEY, ID_FIRST_FRAME,
                      ID_LAST_FRAME, 0, ID_KEY_DIALOG, ID_KEY_ADD, ID_KEY_ADD_ALL, ID_KEY_DELETE, ID_KEY_DELETE_ALL,
                      ID_AUTO_KEY, 0, ID_INSERT_FRAMES, ID_DELETE_FRAMES});
    menu(kSettingsMenu, {ID_SMOOTH, ID_CAMERA_RESET, ID_BACKGROUND, ID_TEXTURE_FOLDERS, 0, ID_DELETE_REGISTRY, 0,
                      ID_ENGLISH});
    menu(kViewMenu, {ID_RENDER_OPENGL, ID_RENDER_DIRECTX, 0, ID_FRAME_ALL, ID_FRAME_SELECTED, 0, ID_VIEW_TOOLBAR,
                      ID_VIEW_CONTROL_TOOLBAR, ID_VIEW_STATUS_BAR});
    menu(kHelpMenu, {ID_HELP_INDEX, 0, ID_HOME_PAGE, 0, ID_APP_ABOUT});
}

void MainWindow::SwitchMenus()
{
    // Menus, their items and the tool bars' tips share the actions: one
    // pass puts them all in the current language. The control bar and
    // windows already open keep theirs.
    for (const auto& [menu, title] : m_menus) menu->setTitle(Tr("Menu", title));
    for (const auto& [id, action] : m_actions) ApplyTexts(action, id);
    NameToolBars();
    if (m_recentPlaceholder) m_recentPlaceholder->setText(Caption(ID_FILE_MRU));
    RebuildRecentMenu();
    UpdateTitle();
}

void MainWindow::OnSwitchLanguage()
{
    if (m_language && m_language->Switch(m_doc.Scene().m_language)) SwitchMenus();
}

void MainWindow::OnHelp()
{
    // The manual in the language the menus show; a missing page or no
    // program to show it gets no message of ours.
    const bool japanese = !m_language || !m_language->EnglishShown();
    m_openUrl(QUrl::fromLocalFile(HelpIndex(m_helpFolder, japanese)));
}

void MainWindow::OnRemoveRegistration()
{
    UnregisterForUser(m_userDataFolder);
    m_showMessage(Tr("Texts", kRegistrationRemoved));
}

void MainWindow::CreateToolBars()
{
    auto bar = [this](const char* name, std::initializer_list<int> ids) {
        auto* b = new QToolBar(this);
        b->setObjectName(name);
        b->setIconSize(QSize(16, 15));
        b->setAllowedAreas(Qt::AllToolBarAreas);
        for (int id : ids) {
            if (id == 0)
                b->addSeparator();
            else
                b->addAction(Action(id));
        }
        addToolBar(Qt::BottomToolBarArea, b);
        return b;
    };
    m_mainToolBar = bar("mainToolBar", {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE_AS, 0, ID_EDIT_UNDO, ID_EDIT_REDO, 0,
                                        ID_MOUSE_CAMERA, ID_MOUSE_MODEL, 0, ID_MODE_MOVE, ID_MODE_ROTATE,
                                        ID_MODE_SCALE, 0, ID_SMOOTH, 0, ID_RENDER_OPENGL, ID_RENDER_DIRECTX, 0,
                                        ID_FRAME_ALL, ID_FRAME_SELECTED});
    // On the same row, right of the main tool bar.
    m_controlToolBar = bar("controlToolBar", {ID_FIRST_FRAME, ID_PREV_KEY, ID_PREV_FRAME, ID_STOP, ID_PLAY,
                                              ID_NEXT_FRAME, ID_NEXT_KEY, ID_LAST_FRAME, 0, ID_KEY_DIALOG, ID_KEY_ADD,
                                              ID_KEY_ADD_ALL, ID_KEY_DELETE, ID_KEY_DELETE_ALL, ID_AUTO_KEY, 0,
                                              ID_INSERT_FRAMES, ID_DELETE_FRAMES});
    NameToolBars();
}

void MainWindow::NameToolBars()
{
    // The names the tool bars' own pop-up lists them by: those of the View
    // menu's items that show and hide them.
    m_mainToolBar->setWindowTitle(PlainCaption(Caption(ID_VIEW_TOOLBAR)));
    m_controlToolBar->setWindowTitle(PlainCaption(Caption(ID_VIEW_CONTROL_TOOLBAR)));
}

void MainWindow::CreateStatusBar()
{
    // The message pane is the status bar's own; then the rate. There are no
    // keyboard panes: kana has no meaning here, and the lock states are the
    // desktop's to show.
    m_ratePane = new QLabel("FPS 30.000000", this);
    m_ratePane->setObjectName("ratePane");
    statusBar()->addPermanentWidget(m_ratePane);
}

void MainWindow::UpdateActions()
{
    static const int kDocumentIds[] = {ID_EDIT_UNDO,      ID_EDIT_REDO,      ID_MOUSE_CAMERA,   ID_MOUSE_MODEL,
                                       ID_MODE_MOVE,      ID_MODE_ROTATE,    ID_MODE_SCALE,     ID_KEY_DIALOG,
                                       ID_KEY_ADD,        ID_KEY_ADD_ALL,    ID_KEY_DELETE,     ID_KEY_DELETE_ALL,
                                       ID_COPY_ANIMATION, ID_PASTE_ANIMATION, ID_SMOOTH,         ID_AUTO_KEY,
                                       ID_FRAME_ALL,      ID_FRAME_SELECTED};
    for (int id : kDocumentIds) {
        QAction* a = Action(id);
        const CommandState s = m_doc.GetState(id);
        a->setEnabled(s.enabled);
        if (a->isCheckable()) a->setChecked(s.checked);
    }
    Action(ID_RENDER_OPENGL)->setChecked(m_rendererMode == 0);
    Action(ID_RENDER_DIRECTX)->setChecked(m_rendererMode == 1);
    Action(ID_VIEW_TOOLBAR)->setChecked(m_mainToolBar && m_mainToolBar->isVisible());
    Action(ID_VIEW_CONTROL_TOOLBAR)->setChecked(m_controlToolBarVisible);
    Action(ID_VIEW_STATUS_BAR)->setChecked(statusBar()->isVisible());
    const bool selection = m_doc.Scene().HasSelection();
    Action(ID_MODEL_DELETE)->setEnabled(selection);
    Action(ID_MODEL_RENAME)->setEnabled(selection);
    Action(ID_MODEL_SHOW_HIDE)->setEnabled(m_tree->currentItem() != nullptr);
}

void MainWindow::SelectOpenGL()
{
    m_rendererMode = 0;
    m_view->SetRendererMode(0);
    m_view->BuildSelectionBox();
    m_view->update();
    if (QAction* a = Action(ID_RENDER_OPENGL)) a->setChecked(true);
    if (QAction* a = Action(ID_RENDER_DIRECTX)) a->setChecked(false);
}

void MainWindow::NextPane(bool forward)
{
    // Two panes: either direction goes to the other one.
    (void)forward;
    if (m_view->hasFocus())
        m_tree->setFocus(Qt::TabFocusReason);
    else
        m_view->setFocus(Qt::TabFocusReason);
}

QString MainWindow::DocumentName() const
{
    // The full path of the scene's file, or the untitled name.
    const QString path = QString::fromStdString(m_doc.PathName());
    return path.isEmpty() ? Tr("Texts", kUntitled) : path;
}

void MainWindow::UpdateTitle()
{
    // "[*]" shows the desktop's mark of unsaved changes; one in the path
    // itself is written twice to stay as it is.
    QString name = DocumentName();
    name.replace("[*]", "[*][*]");
    const QString caption = name + "[*] - Kinovela";
    if (windowTitle() != caption) setWindowTitle(caption);
    setWindowModified(m_doc.IsModified());
}

void MainWindow::ShowResult(const DocResult& r)
{
    // Stopped by the user: nothing happened, and nothing to say.
    if (r.cancelled) return;
    if ((!r.ok || !r.message.empty()) && !r.shown) ShowMessage(r.message);
    // The textures an open could not load: one box for all of them, shown
    // once the file has been taken in.
    if (!r.missingTextures.empty()) ShowMessage(r.missingTextures);
    // One line for all of them: one message each would leave only the last.
    if (!r.warnings.empty()) statusBar()->showMessage(QString::fromStdString(r.WarningSummary()), 20000);
}

void MainWindow::ShowMessage(const std::string& text)
{
    const QString message = QString::fromStdString(text);
    if (m_work == 0) {
        m_showMessage(message);
    } else if (!m_collected.contains(message)) {
        m_collected << message;
    }
}

bool MainWindow::AskYesNo(const std::string& question) { return m_askYesNo(QString::fromStdString(question)); }

bool MainWindow::SaveModified()
{
    if (!m_doc.IsModified()) return true;
    const QString name = QFileInfo(DocumentName()).fileName();
    const int answer = m_askToSave(Tr("Texts", kSaveChanges).arg(name));
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return true;
    const DocResult r = SaveDocument(false);
    UpdateTitle();
    // An export leaves the document modified: the scene itself is not
    // saved, so it is not thrown away either.
    return r.ok && !m_doc.IsModified();
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    if (SaveModified())
        e->accept();
    else
        e->ignore();
}

void MainWindow::AddRecent(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    m_recent.removeAll(full);
    m_recent.prepend(full);
    while (m_recent.size() > kRecentCount) m_recent.removeLast();
    SaveRecent();
    RebuildRecentMenu();
}

void MainWindow::RemoveRecent(const QString& path)
{
    if (m_recent.removeAll(path) == 0) return;
    SaveRecent();
    RebuildRecentMenu();
}

void MainWindow::LoadRecent()
{
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.beginGroup(kRecentFilesGroup);
    m_recent.clear();
    for (int i = 1; i <= kRecentCount; ++i) {
        const QString file = settings.value(QString("File%1").arg(i)).toString();
        if (!file.isEmpty() && !m_recent.contains(file)) m_recent << file;
    }
}

void MainWindow::SaveRecent() const
{
    // A batch run is not the user's work.
    if (m_batch) return;
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.remove(kRecentFilesGroup);
    settings.beginGroup(kRecentFilesGroup);
    for (int i = 0; i < m_recent.size(); ++i) settings.setValue(QString("File%1").arg(i + 1), m_recent[i]);
}

void MainWindow::RebuildRecentMenu()
{
    if (!m_recentMenu) return;
    for (QAction* a : m_recentMenu->actions())
        if (a->property("recent").isValid()) {
            m_recentMenu->removeAction(a);
            a->deleteLater();
        }
    m_recentPlaceholder->setVisible(m_recent.isEmpty());
    for (int i = 0; i < m_recent.size(); ++i) {
        // An "&" in the path is a letter, not a mnemonic.
        auto* a = new QAction(QString("&%1 %2").arg(i + 1).arg(QString(m_recent[i]).replace('&', "&&")), m_recentMenu);
        a->setProperty("recent", i);
        a->setStatusTip(Prompt(ID_FILE_MRU));
        const QString path = m_recent[i];
        connect(a, &QAction::triggered, this, [this, path] {
            // Unlike the open dialog, a recent file asks before the scene
            // is replaced. One that can no longer be read leaves the list.
            if (SaveModified() && !OpenFile(path)) RemoveRecent(path);
        });
        m_recentMenu->insertAction(m_recentPlaceholder, a);
    }
}

bool MainWindow::OpenFile(const QString& path)
{
    const Work work(*this, true);
    // A name from the command line may be relative; the title and the
    // recent files show where the file really is.
    const QString full = QFileInfo(path).absoluteFilePath();
    const DocResult r = m_doc.OnOpenDocument(full.toStdString());
    ShowResult(r);
    if (r.ok && QFileInfo(full).suffix().compare("kvl", Qt::CaseInsensitive) == 0) AddRecent(full);
    UpdateTitle();
    return r.ok;
}

void MainWindow::OnNew()
{
    if (!SaveModified()) return;
    m_doc.OnNewDocument();
    UpdateTitle();
}

void MainWindow::OnOpen()
{
    const QString path = m_chooseOpenPath();
    if (!path.isEmpty()) OpenFile(path);
}

void MainWindow::OnSave()
{
    SaveDocument(false);
    UpdateTitle();
}

void MainWindow::OnSaveAs()
{
    SaveDocument(true);
    UpdateTitle();
}

DocResult MainWindow::SaveDocument(bool saveAs)
{
    // A native save writes straight away. Any other goes through the Save
    // As dialogs first, which must not open under a busy cursor: they start
    // the work once the user has chosen (ChooseSavePath, EditOptions).
    std::optional<Work> work;
    if (!saveAs && PathExtension(m_doc.PathName()) == "kvl") work.emplace(*this, true);
    m_saveWork = &work;
    const DocResult r = saveAs ? m_saveAs.SaveAs(m_doc) : m_doc.OnFileSave();
    m_saveWork = nullptr;
    // A writer's failure has been shown by the dispatcher; a native save's
    // has not.
    ShowResult(r);
    if (r.ok && PathExtension(m_doc.PathName()) == "kvl" && !m_doc.IsModified())
        AddRecent(QString::fromStdString(m_doc.PathName()));
    return r;
}

std::optional<std::string> MainWindow::ChooseSavePath()
{
    const QString path = m_chooseSavePath();
    if (path.isEmpty()) return std::nullopt;
    m_chosenSavePath = path;
    // A native file is written next, with no options to ask for.
    if (m_saveWork && PathExtension(path.toStdString()) == "kvl") m_saveWork->emplace(*this, true);
    return path.toStdString();
}

bool MainWindow::EditOptions(ExportOptions& options, const std::string& title)
{
    CDlgSave dialog(options, QString::fromStdString(title), this);
    if (dialog.exec() != QDialog::Accepted) return false;
    // The writer runs next; it can take a while on a big scene.
    if (m_saveWork) m_saveWork->emplace(*this, ExportStopsCleanly(m_chosenSavePath));
    return true;
}

void MainWindow::OnKeyFrameDialog()
{
    CDlgKeyFrame dialog(m_doc.Timeline().m_current, this);
    if (dialog.exec() == QDialog::Accepted) m_doc.OnKeyFrameDialog(dialog.Frame(), dialog.Choice());
}

void MainWindow::OnInsertFrames()
{
    CDlgInsert dialog(m_doc.Timeline().m_current, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string message = m_doc.OnInsertFrames(dialog.After(), dialog.Count());
    if (!message.empty()) ShowMessage(message);
}

void MainWindow::OnDeleteFrames()
{
    CDlgDelete dialog(m_doc.Timeline().m_current, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string message = m_doc.OnDeleteFrames(dialog.First(), dialog.Last());
    if (!message.empty()) ShowMessage(message);
}

void MainWindow::FrameView(bool selectedOnly)
{
    const float aspect = static_cast<float>(m_view->width()) / static_cast<float>(std::max(1, m_view->height()));
    if (m_doc.OnFrameView(selectedOnly, aspect) == CKinoDoc::FrameResult::TooDeep)
        statusBar()->showMessage(QString::fromStdString(UserText(msg::kTooDeepToFrame)), kNoteMilliseconds);
}

void MainWindow::OnBackground()
{
    const std::uint32_t c = m_doc.Scene().m_background;
    const QColor initial(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(initial, this, PlainCaption(Caption(ID_BACKGROUND)));
    if (!chosen.isValid()) return;
    m_doc.OnBackground(static_cast<std::uint32_t>(chosen.red()) | static_cast<std::uint32_t>(chosen.green()) << 8 |
                       static_cast<std::uint32_t>(chosen.blue()) << 16);
}

void MainWindow::OnTextureFolders()
{
    QStringList folders = FromPaths(m_doc.m_textureFolders);
    if (!m_editTextureFolders(folders)) return;
    {
        QSettings settings(kSettingsOrganisation, kSettingsApplication);
        WriteTextureFolders(settings, folders);
    }
    m_doc.m_textureFolders = ToPaths(folders);
    // Pictures that were missing may be found in the new folders.
    const DocResult r = m_doc.ReloadMissingTextures();
    m_view->update();
    ShowResult(r);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e)
{
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls()) paths << url.toLocalFile();
    DropFiles(paths);
    e->acceptProposedAction();
}

void MainWindow::DropFiles(const QStringList& paths)
{
    DropPaths(paths);
    activateWindow();
    setFocus();
}

void MainWindow::DropPaths(const QStringList& paths)
{
    const Work work(*this, true);
    for (const QString& path : paths) {
        if (path.isEmpty() || path.size() > kMaxDroppedPath) continue;
        const QString ext = path.right(3).toLower();
        if (ext == "kvl") {
            // A scene file opens straight away and ends the drop.
            OpenFile(path);
            return;
        }
        if (ext == "mqo") ShowResult(m_doc.DropModels(path.toStdString()));
    }
}

}  // namespace kinovela::ui
