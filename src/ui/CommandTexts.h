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
    ID_TEXTURE_FOLDERS = 32850,
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

// Messages of the main window.
inline constexpr const char* kNoDirect3D = "このビデオカードではDirectX9を使えません！";
inline constexpr const char* kHomePage = "https://www.metaseq.net/";
// The file dialogs' type lists. Qt separates the patterns of one type by
// spaces, so "*.kvl;*.mqo" is written "*.kvl *.mqo".
inline constexpr const char* kOpenFilter =
    "全ての形式(*.kvl *.mqo);;Kinovelaファイル(*.kvl);;Metasequoiaファイル(*.mqo)";
// The tree's add-model dialog.
inline constexpr const char* kModelFilter = "Metasequoiaファイル(*.mqo)";
inline constexpr const char* kSaveFilter =
    "Kinovelaファイル(*.kvl);;Shockwave3Dファイル(*.w3d);;DirectXファイル(*.x);;Kino3Dファイル(*.k3d);;"
    "RayTrans Libraryファイル(*.mqs);;VRML97ファイル(*.wrl);;Hot Soup Processorファイル(*.mx);;"
    "ヘッダーファイル(*.h)";

}  // namespace kinovela::ui
