// Where the editor keeps what it remembers between runs (the stand-in for
// the original's registry key): QSettings under this organisation and
// application, one group per subject.
#pragma once

namespace kinovela::ui {

inline constexpr const char* kSettingsOrganisation = "Kinovela Application";
inline constexpr const char* kSettingsApplication = "Kino";
// The last four scene files, "File1" the latest (the group the original's
// framework kept them in).
inline constexpr const char* kRecentFilesGroup = "Recent File List";

}  // namespace kinovela::ui
