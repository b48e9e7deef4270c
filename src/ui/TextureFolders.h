// The editor's extra texture folders: kept in the settings, searched before
// the program's TEXTURE folder, and edited in a small dialog.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "ui/Settings.h"

class QListWidget;
class QPushButton;
class QSettings;

namespace kinovela::ui {

// The list, in search order (group "Textures", key "Folders").
QStringList ReadTextureFolders(QSettings& settings);
void WriteTextureFolders(QSettings& settings, const QStringList& folders);
std::vector<std::string> ToPaths(const QStringList& folders);
QStringList FromPaths(const std::vector<std::string>& folders);

// Edits the list: add a folder, remove one, move one up or down. The
// widget pointers belong to the dialog; they are public for the tests.
class CDlgTextureFolders final : public QDialog {
public:
    explicit CDlgTextureFolders(const QStringList& folders, QWidget* parent = nullptr);
    QStringList Folders() const;

    // Asks for a folder to add; empty for none. A folder dialog by default,
    // replaceable so that tests need no modal loop.
    std::function<QString()> m_chooseFolder;

    QListWidget* m_list;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;

private:
    void Move(int by);
    void UpdateButtons();
};

}  // namespace kinovela::ui
