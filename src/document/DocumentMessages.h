// Texts the document hands to the user interface to show.
#pragma once

#include "common/UserTexts.h"

namespace kinovela::msg {

inline constexpr const char* kFrameOutOfRange = KINOVELA_TEXT("Messages", "フレーム番号が範囲外です！");
inline constexpr const char* kSelectModel = KINOVELA_TEXT("Messages", "モデルを選択してください！");
inline constexpr const char* kDocumentTitle = "Kinovela";
// Leads the one status-bar line that lists several warnings; %d is their count.
inline constexpr const char* kWarningCount = KINOVELA_TEXT("Messages", "警告 %d 件: ");
// The status bar after a pose changed at a frame that is not a key: the
// next interpolation replaces it.
inline constexpr const char* kPoseNotKey =
    KINOVELA_TEXT("Messages", "キーフレームではないフレームの姿勢を変えました。キーフレームを追加しないと次の補間で元に戻ります。");
// Frame all or frame selected on a scene deeper than the view can show.
inline constexpr const char* kTooDeepToFrame =
    KINOVELA_TEXT("Messages", "モデルが大きすぎて、ビューの奥行きに収まりきりません。");

// Saving into another folder from which textures would not be found.
inline constexpr const char* kTexturesLeftBehind =
    KINOVELA_TEXT("Messages", "次のテクスチャは保存先のフォルダからは見つからなくなります。");
inline constexpr const char* kCopyTexturesInto = KINOVELA_TEXT("Messages", "保存先の TEXTURE フォルダにコピーしますか?");
inline constexpr const char* kTextureCopyProblems =
    KINOVELA_TEXT("Messages", "テクスチャのコピーで次の問題がありました:");
// Heads the list of an export's warnings (files not written, files kept).
inline constexpr const char* kExportWarnings =
    KINOVELA_TEXT("Messages", "書き出しは終わりましたが、次の点に注意してください:");

}  // namespace kinovela::msg
