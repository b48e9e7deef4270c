// The editor's side of textures whose pictures are missing: one box per
// open, the texture folders kept in the settings, and the offer to copy
// the pictures when a scene is saved into another folder.
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTest>

#include <filesystem>

#include "TestUtil.h"
#include "document/CommandIds.h"
#include "gui/WindowFixture.h"
#include "ui/CommandTexts.h"
#include "ui/TextureFolders.h"

namespace kinovela {
namespace {

namespace fs = std::filesystem;

const std::string kSampleTextures = std::string(KINOVELA_SOURCE_DIR) + "/samples/TEXTURE";

class TextureWindow : public test::WindowFixture {
protected:
    void SetUp() override
    {
        ClearSettings();
        WindowFixture::SetUp();
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        ClearSettings();
    }
    static void ClearSettings()
    {
        QSettings settings(ui::kSettingsOrganisation, ui::kSettingsApplication);
        settings.remove("Textures");
    }
    test::TempDir dir;
};

TEST_F(TextureWindow, AnOpenShowsOneBoxForAllItsMissingTextures)
{
    ASSERT_GE(scene.m_materials.size(), 3u);
    scene.m_materials[0].m_texture = "gone.png";
    scene.m_materials[1].m_texture = "sub\\lost.bmp";
    scene.m_materials[2].m_texture = "gone.png";
    const std::string kvl = dir.File("scene.kvl");
    ASSERT_TRUE(doc.OnSaveDocument(kvl).ok);
    messages.clear();
    window->OpenFile(QString::fromStdString(kvl));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("\n  gone.png\n  sub\\lost.bmp\n")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QString::fromStdString(dir.Path().string()))) << "the folders searched";
    EXPECT_EQ(scene.m_materials[1].m_texture, "sub\\lost.bmp");
}

TEST_F(TextureWindow, TheTextureFoldersAreSearchedAtOnceAndKept)
{
    // The sample saved away from its TEXTURE folder loses its picture...
    const std::string kvl = dir.File("away.kvl");
    ASSERT_TRUE(doc.OnSaveDocument(kvl).ok);
    messages.clear();
    window->OpenFile(QString::fromStdString(kvl));
    ASSERT_EQ(messages.size(), 1);
    ASSERT_EQ(scene.m_materials[0].m_image, nullptr);

    // ...until the user names that folder in the settings menu's dialog.
    QAction* action = window->Action(ui::ID_TEXTURE_FOLDERS);
    ASSERT_NE(action, nullptr);
    bool listed = false;
    for (QAction* menu : window->menuBar()->actions())
        if (menu->menu() && menu->menu()->actions().contains(action)) listed = menu->text() == "設定(&S)";
    EXPECT_TRUE(listed);
    QStringList shown;
    window->m_editTextureFolders = [&](QStringList& folders) {
        shown = folders;
        folders << QString::fromStdString(kSampleTextures);
        return true;
    };
    messages.clear();
    action->trigger();
    EXPECT_TRUE(shown.isEmpty());
    ASSERT_NE(scene.m_materials[0].m_image, nullptr);
    EXPECT_EQ(scene.m_materials[0].m_imagePath, kSampleTextures + "/robot_panel.bmp");
    EXPECT_TRUE(messages.isEmpty()) << "nothing is missing any more";
    EXPECT_FALSE(doc.IsModified()) << "where pictures are found is no change to the scene";
    QSettings settings(ui::kSettingsOrganisation, ui::kSettingsApplication);
    EXPECT_EQ(ui::ReadTextureFolders(settings), QStringList{QString::fromStdString(kSampleTextures)});

    // A window made later starts with the folders of the settings.
    CKinovela other;
    CTimeline ot;
    CKinoDoc otherDoc(other, ot);
    ExportOptionsTable table;
    ui::MainWindow second(otherDoc, meter, table);
    EXPECT_EQ(otherDoc.m_textureFolders, std::vector<std::string>{kSampleTextures});
}

TEST_F(TextureWindow, SaveAsIntoAnotherFolderOffersToCopyTheTextures)
{
    ASSERT_NE(scene.m_materials[0].m_image, nullptr);
    const std::string kvl = dir.File("moved/scene.kvl");
    fs::create_directories(dir.File("moved"));
    window->m_chooseSavePath = [&] { return QString::fromStdString(kvl); };
    QStringList questions;
    window->m_askYesNo = [&](const QString& question) {
        questions << question;
        return true;
    };
    ASSERT_TRUE(window->RunCommand(ID_FILE_SAVE_AS));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains("\n  robot_panel.bmp\n")) << questions[0].toStdString();
    EXPECT_EQ(test::ReadFile(dir.File("moved/TEXTURE/robot_panel.bmp")),
              test::ReadFile(kSampleTextures + "/robot_panel.bmp"));
    EXPECT_FALSE(doc.IsModified());
    messages.clear();
    window->OpenFile(QString::fromStdString(kvl));
    EXPECT_TRUE(messages.isEmpty()) << messages.value(0).toStdString();
    EXPECT_NE(scene.m_materials[0].m_image, nullptr);
}

}  // namespace
}  // namespace kinovela
