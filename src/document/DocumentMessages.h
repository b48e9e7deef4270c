// Texts the document hands to the user interface to show.
#pragma once

namespace kinovela::msg {

inline constexpr const char* kFrameOutOfRange = "フレーム番号が範囲外です！";
inline constexpr const char* kSelectModel = "モデルを選択してください！";
inline constexpr const char* kDocumentTitle = "Kinovela";
// Leads the one status-bar line that lists several warnings; %d is their count.
inline constexpr const char* kWarningCount = "警告 %d 件: ";

}  // namespace kinovela::msg
