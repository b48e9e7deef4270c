// Where the editor's file dialogs (Open, Save As, Add model) start: in the
// folder of the document's file, else in the folder a file was last chosen
// in (kept in the settings between runs), else in the user's home. Never in
// the program's own folder, which on this platform is a build or install
// folder, not the home of the user's files.
#pragma once

#include <QString>

#include "ui/Settings.h"

namespace kinovela::ui {

// `documentPath`: the document's file, empty when it has none.
QString DialogStartFolder(const QString& documentPath);
// Remembers the folder of a file the user chose in a dialog.
void RememberDialogFolder(const QString& chosenPath);

}  // namespace kinovela::ui
