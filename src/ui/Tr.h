// The interface's texts are written in Japanese, the program's own
// language, and shown through the translation of the user's language.
#pragma once

#include <QCoreApplication>
#include <QString>

namespace kinovela::ui {

// `source` of `context` in the interface's current language (the source
// itself without a translation). Looked up when a text is shown, so a
// window keeps the language it was made in. The translation file's
// extraction tool reads Tr as QCoreApplication::translate.
inline QString Tr(const char* context, const char* source, const char* disambiguation = nullptr)
{
    return QCoreApplication::translate(context, source, disambiguation);
}

}  // namespace kinovela::ui
