#include "ui/FileFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace kinovela::ui {

namespace {

constexpr const char* kGroup = "FileDialogs";
constexpr const char* kLastFolder = "LastFolder";

bool IsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

}  // namespace

QString DialogStartFolder(const QString& documentPath)
{
    if (!documentPath.isEmpty()) {
        const QString folder = QFileInfo(documentPath).absolutePath();
        if (IsFolder(folder)) return folder;
    }
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.beginGroup(kGroup);
    const QString last = settings.value(kLastFolder).toString();
    if (IsFolder(last)) return last;
    return QDir::homePath();
}

void RememberDialogFolder(const QString& chosenPath)
{
    if (chosenPath.isEmpty()) return;
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.beginGroup(kGroup);
    settings.setValue(kLastFolder, QFileInfo(chosenPath).absolutePath());
}

}  // namespace kinovela::ui
