// The one table of what the user reads about each command: the menu
// caption (with its mnemonic and, after a tab, the shortcut), the status-bar
// prompt and the tool tip. The texts are written in Japanese, the program's
// own language, and shown through the translation of the user's language
// (Tr), looked up when a window is made or the language is switched.
#pragma once

#include <QKeySequence>
#include <QString>

#include <span>

#include "ui/Tr.h"

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

// Every entry, in menu order.
std::span<const CommandText> CommandTexts();
// Null for an id with no entry.
const CommandText* FindCommandText(int id);
// The caption, prompt and tip in the current language (empty for an id
// with no entry).
QString Caption(int id);
QString Prompt(int id);
QString Tip(int id);
// A caption as a dialog's title: without its mnemonic, the shortcut and a
// trailing "...": "開く(&O)...\tCtrl+O" gives "開く", "&Open...\tCtrl+O"
// gives "Open".
QString PlainCaption(const QString& caption);
// The shortcut named in the built-in caption (empty when there is none), so
// the same in every language.
QKeySequence Shortcut(int id);

// The control bar's mark beside the current frame while it is a key of the
// selected model.
inline constexpr const char* kCurrentKeyMark = "◆";
inline constexpr const char* kCurrentKeyTip = QT_TRANSLATE_NOOP("Texts", "現在のフレームは選択中のモデルのキーフレームです");

// Texts of the main window, each in the "Texts" context of the translation.
inline constexpr const char* kNoDirect3D = QT_TRANSLATE_NOOP("Texts", "このビデオカードではDirectX9を使えません！");
// The name of a scene that has no file yet.
inline constexpr const char* kUntitled = QT_TRANSLATE_NOOP("Texts", "無題");
// The progress dialog's button.
inline constexpr const char* kCancelCaption = QT_TRANSLATE_NOOP("Texts", "キャンセル");
// Asked before unsaved changes would be lost; %1 is the scene's file name.
inline constexpr const char* kSaveChanges = QT_TRANSLATE_NOOP("Texts", "%1 への変更を保存しますか?");
// After the desktop registration has been removed.
inline constexpr const char* kRegistrationRemoved = QT_TRANSLATE_NOOP("Texts", "レジストリを削除しました。");
inline constexpr const char* kHomePage = "https://www.metaseq.net/";
// The file dialogs' type lists. Qt separates the patterns of one type by
// spaces, so "*.kvl;*.mqo" is written "*.kvl *.mqo". The Metasequoia type
// names the text format versions that are read.
inline constexpr const char* kOpenFilter = QT_TRANSLATE_NOOP(
    "Texts", "全ての形式(*.kvl *.mqo);;Kinovelaファイル(*.kvl);;Metasequoiaファイル Ver1.0/1.1(*.mqo)");
// The tree's add-model dialog.
inline constexpr const char* kModelFilter = QT_TRANSLATE_NOOP("Texts", "Metasequoiaファイル Ver1.0/1.1(*.mqo)");
inline constexpr const char* kSaveFilter = QT_TRANSLATE_NOOP(
    "Texts",
    "Kinovelaファイル(*.kvl);;Shockwave3Dファイル(*.w3d);;DirectXファイル(*.x);;Kino3Dファイル(*.k3d);;"
    "RayTrans Libraryファイル(*.mqs);;VRML97ファイル(*.wrl);;Hot Soup Processorファイル(*.mx);;"
    "ヘッダーファイル(*.h);;glTF 2.0 (*.gltf *.glb)");

}  // namespace kinovela::ui
