// Texts the user reads, in the language the user chose. The core keeps its
// messages in Japanese, the program's own language, and has no translation
// machinery of its own: the editor installs a translator (Qt's, with
// English.qm) and every message is passed through it when it is made, so
// that texts with names and counts filled in are translated before they
// are filled. Without a translator (kinovela-cli, the tests) the texts
// stay as written.
#pragma once

#include <string>

// Marks a message for the translation file's extraction tool (lupdate
// reads it as QT_TRANSLATE_NOOP); it is the text itself.
#define KINOVELA_TEXT(context, text) text

namespace kinovela {

// The context the core's messages are translated in.
inline constexpr const char* kMessageContext = "Messages";

// Gives the translation of `source` (UTF-8) in `context`, or `source`
// itself when there is none. Must be callable from any thread.
using TextTranslator = std::string (*)(const char* context, const char* source);

// Installs the translator for the rest of the run (null: none).
void SetTextTranslator(TextTranslator translator);
// `source`, one of the core's messages, in the user's language.
std::string UserText(const char* source);

}  // namespace kinovela
