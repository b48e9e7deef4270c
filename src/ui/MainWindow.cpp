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

#include "common/TextCodec.h"
#include "document/CommandIds.h"
#include "ui/CommandTexts.h"
#include "ui/Dialogs.h"
#include "ui/TextureFolders.h"
#include "ui/ToolIcons.h"

namespace kinovela::ui {

namespace {

constexpr int kRecentCount = 4;
// Longer dropped paths are passed over, as the drop buffer always was.
constexpr int kMaxDroppedPath = 511;

QString ProgramFolder() { return QCoreApplication::applicationDirPath(); }

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

// A file dialog starting in the program's folder. A name typed without an
// extension gets the chosen type's (".kvl" for the first type), so picking
// the DirectX type and typing "robot" saves "robot.x".
QString RunFileDialog(QWidget* parent, bool save, const QString& caption, const QString& filter)
{
    QFileDialog dialog(parent, caption, ProgramFolder(), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(FirstSuffix(filter));
    if (save)
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& chosen) { dialog.setDefaultSuffix(FirstSuffix(chosen)); });
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace

MainWindow::MainWindow(CKinoDoc& doc, FrameRateMeter& meter, ExportOptionsTable& options)
    : m_doc(doc), m_options(options), m_saveAs(options, *this)
{
    setAcceptDrops(true);
    CreateStatusBar();

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

    m_controlBar->m_invalidate = [this] { m_view->update(); };
    m_controlBar->m_showRate = [this](const QString& text) { m_ratePane->setText(text); };
    m_controlBar->m_focusAfterEnter = m_view;

    m_chooseOpenPath = [this] {
        return RunFileDialog(this, false, Caption(ID_FILE_OPEN).section('(', 0, 0), QString::fromUtf8(kOpenFilter));
    };
    m_chooseSavePath = [this] {
        return RunFileDialog(this, true, Caption(ID_FILE_SAVE_AS).section('(', 0, 0), QString::fromUtf8(kSaveFilter));
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
        QSettings settings(kSettingsOrganization, kSettingsApplication);
        doc.m_textureFolders = ToPaths(ReadTextureFolders(settings));
    }
    m_askToSave = [this](const QString& text) {
        return QMessageBox::question(this, "Kinovela", text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };

    CreateActions();
    CreateMenus();
    CreateToolBars();
    SelectOpenGL();

    doc.SetSaveAsHandler(&m_saveAs);
    // Long reads and writes show how far they are; the dialog appears only
    // when the work takes a while.
    doc.m_progress = [this](std::uint64_t done, std::uint64_t total) {
        // The dialog runs the event loop while the scene is being read or
        // written.
        const ControlBar::CommitHold hold(*m_controlBar);
        if (!m_progress) {
            m_progress = std::make_unique<QProgressDialog>(this);
            m_progress->setWindowModality(Qt::WindowModal);
            m_progress->setCancelButton(nullptr);
            m_progress->setMinimumDuration(400);
            m_progress->setRange(0, 1000);
            m_progress->setWindowTitle("Kinovela");
        }
        m_progress->setValue(total == 0 ? 1000 : static_cast<int>(done * 1000 / total));
    };

    // Tool bar buttons follow the document's state when the program is idle.
    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, [this] {
        UpdateActions();
        UpdateTitle();
    });
    idle->start(100);
    m_hints.m_changed = [this] { UpdateActions(); };
    m_doc.AddView(&m_hints);
    UpdateActions();
    UpdateTitle();
}

MainWindow::~MainWindow()
{
    m_controlBar->Detach();
    m_doc.RemoveView(&m_hints);
    m_doc.m_progress = nullptr;
    m_doc.SetSaveAsHandler(nullptr);
}

QAction* MainWindow::Add(int id, std::function<void()> run, bool checkable)
{
    auto* a = new QAction(Caption(id), this);
    a->setData(id);
    a->setShortcut(Shortcut(id));
    a->setShortcutContext(Qt::WindowShortcut);
    a->setCheckable(checkable);
    if (const CommandText* t = FindCommandText(id)) {
        a->setStatusTip(QString::fromUtf8(t->prompt));
        a->setToolTip(QString::fromUtf8(t->tip));
    }
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
    Add(ID_INSERT_FRAMES, [this] { OnInsertFrames(); });
    Add(ID_DELETE_FRAMES, [this] { OnDeleteFrames(); });

    Add(ID_SMOOTH, [&d] { d.OnSmooth(); }, true);
    Add(ID_CAMERA_RESET, [&d] { d.OnCameraReset(); });
    Add(ID_BACKGROUND, [this] { OnBackground(); });
    Add(ID_TEXTURE_FOLDERS, [this] { OnTextureFolders(); });
    // Settings storage and the English resources come with the start-up
    // work; until then their items are shown but cannot be chosen.
    Add(ID_DELETE_REGISTRY, [] {})->setEnabled(false);
    Add(ID_ENGLISH, [] {})->setEnabled(false);

    Add(ID_RENDER_OPENGL, [this] { SelectOpenGL(); }, true);
    Add(ID_RENDER_DIRECTX, [this] {
        if (m_direct3DAvailable) {
            m_rendererMode = 1;
            m_view->BuildSelectionBox();
            m_view->update();
        } else {
            ShowMessage(kNoDirect3D);
            SelectOpenGL();
        }
    }, true);
    Add(ID_VIEW_TOOLBAR, [this] { m_mainToolBar->setVisible(!m_mainToolBar->isVisible()); }, true);
    Add(ID_VIEW_CONTROL_TOOLBAR, [this] {
        m_controlToolBarVisible = !m_controlToolBarVisible;
        m_controlToolBar->setVisible(m_controlToolBarVisible);
    }, true);
    Add(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); }, true);

    Add(ID_HELP_INDEX, [] {})->setEnabled(false);
    Add(ID_HOME_PAGE, [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kHomePage))); });
    Add(ID_APP_ABOUT, [this] {
        QMessageBox::about(this, Caption(ID_APP_ABOUT).section('(', 0, 0),
                           QString("Kinovela %1\nMetasequoia のモデルのためのキーフレーム アニメーション エディタ")
                               .arg(QCoreApplication::applicationVersion()));
    });

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
        QMenu* m = menuBar()->addMenu(QString::fromUtf8(title));
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
    m_fileMenu = menu("ﾌｧｲﾙ(&F)", {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0, ID_FILE_MRU, 0,
                                     ID_APP_EXIT});
    menu("編集(&E)", {ID_EDIT_UNDO, ID_EDIT_REDO, 0, ID_COPY_ANIMATION, ID_PASTE_ANIMATION});
    menu("操作(&O)", {ID_MOUSE_CAMERA, ID_MOUSE_MODEL});
    menu("変形(&T)", {ID_MODE_MOVE, ID_MODE_ROTATE, ID_MODE_SCALE});
    menu("制御(&C)", {ID_PLAY, ID_STOP, ID_NEXT_FRAME, ID_PREV_FRAME, ID_NEXT_KEY, ID_PREV_KEY, ID_FIRST_FRAME,
                      ID_LAST_FRAME, 0, ID_KEY_DIALOG, ID_KEY_ADD, ID_KEY_ADD_ALL, ID_KEY_DELETE, ID_KEY_DELETE_ALL, 0,
                      ID_INSERT_FRAMES, ID_DELETE_FRAMES});
    menu("設定(&S)", {ID_SMOOTH, ID_CAMERA_RESET, ID_BACKGROUND, ID_TEXTURE_FOLDERS, 0, ID_DELETE_REGISTRY, 0,
                      ID_ENGLISH});
    menu("表示(&V)", {ID_RENDER_OPENGL, ID_RENDER_DIRECTX, 0, ID_VIEW_TOOLBAR, ID_VIEW_CONTROL_TOOLBAR,
                      ID_VIEW_STATUS_BAR});
    menu("ﾍﾙﾌﾟ(&H)", {ID_HELP_INDEX, 0, ID_HOME_PAGE, 0, ID_APP_ABOUT});
}

void MainWindow::CreateToolBars()
{
    auto bar = [this](const char* name, std::initializer_list<int> ids) {
        auto* b = new QToolBar(QString::fromUtf8(name), this);
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
                                        ID_MODE_SCALE, 0, ID_SMOOTH, 0, ID_RENDER_OPENGL, ID_RENDER_DIRECTX});
    // On the same row, right of the main tool bar.
    m_controlToolBar = bar("controlToolBar", {ID_FIRST_FRAME, ID_PREV_KEY, ID_PREV_FRAME, ID_STOP, ID_PLAY,
                                              ID_NEXT_FRAME, ID_NEXT_KEY, ID_LAST_FRAME, 0, ID_KEY_DIALOG, ID_KEY_ADD,
                                              ID_KEY_ADD_ALL, ID_KEY_DELETE, ID_KEY_DELETE_ALL, 0, ID_INSERT_FRAMES,
                                              ID_DELETE_FRAMES});
}

void MainWindow::CreateStatusBar()
{
    // The message pane is the status bar's own; then the rate and the
    // keyboard indicators.
    m_ratePane = new QLabel("FPS 30.000000", this);
    m_ratePane->setObjectName("ratePane");
    statusBar()->addPermanentWidget(m_ratePane);
    for (const char* indicator : {"ｶﾅ", "CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(QString::fromUtf8(indicator), this);
        // The lock states are not available portably; shown dimmed, as an
        // indicator that is off.
        pane->setEnabled(false);
        statusBar()->addPermanentWidget(pane);
    }
}

void MainWindow::UpdateActions()
{
    static const int kDocumentIds[] = {ID_EDIT_UNDO,      ID_EDIT_REDO,      ID_MOUSE_CAMERA,   ID_MOUSE_MODEL,
                                       ID_MODE_MOVE,      ID_MODE_ROTATE,    ID_MODE_SCALE,     ID_KEY_DIALOG,
                                       ID_KEY_ADD,        ID_KEY_ADD_ALL,    ID_KEY_DELETE,     ID_KEY_DELETE_ALL,
                                       ID_COPY_ANIMATION, ID_PASTE_ANIMATION, ID_SMOOTH};
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

void MainWindow::UpdateTitle()
{
    // The document's title is the full path of an opened scene.
    const QString title = QString::fromStdString(m_doc.Title());
    const QString caption = (title.isEmpty() ? QString("Kinovela") : title) + " - Kinovela";
    if (windowTitle() != caption) setWindowTitle(caption);
}

void MainWindow::ShowResult(const DocResult& r)
{
    if ((!r.ok || !r.message.empty()) && !r.shown) ShowMessage(r.message);
    // The textures an open could not load: one box for all of them, shown
    // once the file has been taken in.
    if (!r.missingTextures.empty()) ShowMessage(r.missingTextures);
    for (const std::string& w : r.warnings) statusBar()->showMessage(QString::fromStdString(w), 8000);
}

void MainWindow::ShowMessage(const std::string& text) { m_showMessage(QString::fromStdString(text)); }

bool MainWindow::AskYesNo(const std::string& question) { return m_askYesNo(QString::fromStdString(question)); }

bool MainWindow::SaveModified()
{
    if (!m_doc.IsModified()) return true;
    const QString name = QFileInfo(QString::fromStdString(m_doc.Title())).fileName();
    const int answer = m_askToSave(QString("%1 への変更を保存しますか?").arg(name));
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return true;
    const DocResult r = m_doc.OnFileSave();
    ShowResult(r);
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
    RebuildRecentMenu();
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
        auto* a = new QAction(QString("&%1 %2").arg(i + 1).arg(m_recent[i]), m_recentMenu);
        a->setProperty("recent", i);
        a->setStatusTip(QString::fromUtf8(FindCommandText(ID_FILE_MRU)->prompt));
        const QString path = m_recent[i];
        connect(a, &QAction::triggered, this, [this, path] {
            // Unlike the open dialog, a recent file asks before the scene
            // is replaced.
            if (SaveModified()) OpenFile(path);
        });
        m_recentMenu->insertAction(m_recentPlaceholder, a);
    }
}

void MainWindow::OpenFile(const QString& path)
{
    const DocResult r = m_doc.OnOpenDocument(path.toStdString());
    m_progress.reset();
    ShowResult(r);
    if (r.ok && QFileInfo(path).suffix().compare("kvl", Qt::CaseInsensitive) == 0) AddRecent(path);
    UpdateTitle();
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
    // Only a native save writes straight away; any other goes through the
    // Save As dialogs, which must not open under a busy cursor.
    const bool direct = PathExtension(m_doc.PathName()) == "kvl";
    if (direct) QApplication::setOverrideCursor(Qt::WaitCursor);
    const DocResult r = m_doc.OnFileSave();
    if (direct) QApplication::restoreOverrideCursor();
    m_progress.reset();
    ShowResult(r);
    if (r.ok && PathExtension(m_doc.PathName()) == "kvl" && !m_doc.IsModified())
        AddRecent(QString::fromStdString(m_doc.PathName()));
    UpdateTitle();
}

void MainWindow::OnSaveAs()
{
    const DocResult r = m_saveAs.SaveAs(m_doc);
    m_progress.reset();
    // A writer's failure has been shown by the dispatcher; a native save's
    // has not.
    ShowResult(r);
    if (r.ok && PathExtension(m_doc.PathName()) == "kvl" && !m_doc.IsModified())
        AddRecent(QString::fromStdString(m_doc.PathName()));
    UpdateTitle();
}

std::optional<std::string> MainWindow::ChooseSavePath()
{
    const QString path = m_chooseSavePath();
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

bool MainWindow::EditOptions(ExportOptions& options, const std::string& title)
{
    CDlgSave dialog(options, QString::fromStdString(title), this);
    if (dialog.exec() != QDialog::Accepted) return false;
    // The writer runs next; it can take a while on a big scene.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, [] { QApplication::restoreOverrideCursor(); });
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

void MainWindow::OnBackground()
{
    const std::uint32_t c = m_doc.Scene().m_background;
    const QColor initial(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(initial, this, Caption(ID_BACKGROUND).section('(', 0, 0));
    if (!chosen.isValid()) return;
    m_doc.OnBackground(static_cast<std::uint32_t>(chosen.red()) | static_cast<std::uint32_t>(chosen.green()) << 8 |
                       static_cast<std::uint32_t>(chosen.blue()) << 16);
}

void MainWindow::OnTextureFolders()
{
    QStringList folders = FromPaths(m_doc.m_textureFolders);
    if (!m_editTextureFolders(folders)) return;
    {
        QSettings settings(kSettingsOrganization, kSettingsApplication);
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
    for (const QString& path : paths) {
        if (path.isEmpty() || path.size() > kMaxDroppedPath) continue;
        const QString ext = path.right(3).toLower();
        if (ext == "kvl") {
            // A scene file opens straight away and ends the drop.
            OpenFile(path);
            break;
        }
        if (ext == "mqo") {
            ShowResult(m_doc.DropModels(path.toStdString()));
            m_progress.reset();
        }
    }
    activateWindow();
    setFocus();
}

}  // namespace kinovela::ui
