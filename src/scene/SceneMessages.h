// Texts the scene subsystem shows to the user; %1 is the file name.
#pragma once

#include "common/UserTexts.h"

namespace kinovela::msg {

inline constexpr const char* kReadPastEnd = KINOVELA_TEXT("Messages", "%1 の末尾以降にアクセスしようとしました。");
inline constexpr const char* kCorruptFile = KINOVELA_TEXT("Messages", "%1 の内容が正しくないため、読み込めませんでした。");
inline constexpr const char* kCannotOpen = KINOVELA_TEXT("Messages", "%1 を開けませんでした。");

}  // namespace kinovela::msg
