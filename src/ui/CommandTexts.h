// The one table of what the user reads about each command: the menu
// caption (with its mnemonic and, after a tab, the shortcut), the status-bar
// prompt and the tool tip.
#pragma once

#include <QKeySequence>
#include <QString>

namespace kinovela::ui {

// Frame commands that are not the document's.
enum FrameCommandId : int {
    ID_FILE_MRU = 57616,
    ID_APP_EXIT = 57665,
    ID_APP_ABOUT = 57664,
    ID_HELP_INDEX = 57669,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_CONTROL_TOOLBAR = 132,
    ID_VIEW_STATUS_BAR = 59393,
    ID_RENDER_OPENGL = 32812,
    ID_RENDER_DIRECTX = 32810,
    ID_HOME_PAGE = 32814,
    ID_DELETE_REGISTRY = 32828,
    ID_ENGLISH = 32817,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    // Beyond the document's ids (32850 and on, CommandIds.h).
    ID_TEXTURE_FOLDERS = 32860,
};

struct CommandText {
    int id;
    const char* caption;  // menu text; the shortcut follows a tab
    const char* prompt;   // shown in the status bar while the item is pointed at
    const char* tip;      // tool tip of the tool bar button
};

// Null for an id with no entry.
const CommandText* FindCommandText(int id);
QString Caption(int id);
// The shortcut named in the caption (empty when there is none).
QKeySequence Shortcut(int id);

// The control bar's mark beside the current frame while it is a key of the
// selected model.
inline constexpr const char* kCurrentKeyMark = "◆";
inline constexpr const char* kCurrentKeyTip = "現在のフレームは選択中のモデルのキーフレームです";

// Messages of the main window.
inline constexpr const char* kNoDirect3D = "このビデオカードではDirectX9を使えません！";
// The name of a scene that has no file yet.
inline constexpr const char* kUntitled = "無題";
// The progress dialog's button.
inline constexpr const char* kCancelCaption = "キャンセル";
inline constexpr const char* kHomePage = "https://www.metaseq.net/";
// The file dialogs' type lists. Qt separates the patterns of one type by
// spaces, so "*.kvl;*.mqo" is written "*.kvl *.mqo". The Metasequoia type
// names the text format versions that are read.
inline constexpr const char* kOpenFilter =
    "全ての形式(*.kvl *.mqo);;Kinovelaファイル(*.kvl);;Metasequoiaファイル Ver1.0/1.1(*.mqo)";
// The tree's add-model dialog.
inline constexpr const char* kModelFilter = "Metasequoiaファイル Ver1.0/1.1(*.mqo)";
inline constexpr const char* kSaveFilter =
    "Kinovelaファイル(*.kvl);;Shockwave3Dファイル(*.w3d);;DirectXファイル(*.x);;Kino3Dファイル(*.k3d);;"
    "RayTrans Libraryファイル(*.mqs);;VRML97ファイル(*.wrl);;Hot Soup Processorファイル(*.mx);;"
    "ヘッダーファイル(*.h);;glTF 2.0 (*.gltf *.glb)";

}  // namespace kinovela::ui
