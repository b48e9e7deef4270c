// The program's place on the desktop: its help pages, and the per-user
// registration that makes the desktop list the editor among the programs
// and open .kvl scenes (and .mqo documents) with it.
#pragma once

#include <QString>

namespace kinovela::ui {

// The program's help folder (help/ among the program's files).
QString HelpFolder();
// The manual's first page in `helpFolder`: help/ja/index.html for the
// Japanese interface, help/en/index.html for the English one, or the other
// language's when that one is missing.
QString HelpIndex(const QString& helpFolder, bool japanese);

// The user's data folder, where per-user programs, types and icons are
// registered (XDG_DATA_HOME, ~/.local/share).
QString UserDataFolder();

// The registration's files under `dataHome`.
struct RegistrationFiles {
    explicit RegistrationFiles(const QString& dataHome);
    QString desktopFile;   // applications/kinovela.desktop
    QString mimeFile;      // mime/packages/kinovela.xml
    QString icon;          // icons/hicolor/scalable/apps/kinovela.svg
    QString documentIcon;  // icons/hicolor/scalable/mimetypes/application-x-kinovela-scene.svg
};

// The desktop entry for the editor at `program`, as the install writes it
// (`perUser` adds the mark by which the per-user one is known as ours).
QString DesktopEntry(const QString& program, bool perUser);

// Registers the editor at `program` for the user: its desktop entry, the
// .kvl and .mqo types and the icons under `dataHome`, then has the
// desktop's databases brought up to date (update-desktop-database and
// update-mime-database, when installed). Files that already hold the same
// are left alone, and so is everything while the user's desktop entry is
// not ours (an install into the user's own prefix); true when something
// was written.
bool RegisterForUser(const QString& dataHome, const QString& program);
// Removes what RegisterForUser wrote and brings the databases up to date.
// A desktop entry without the mark is someone else's: then nothing is
// removed, nor are types or icons that differ from ours.
void UnregisterForUser(const QString& dataHome);

}  // namespace kinovela::ui
