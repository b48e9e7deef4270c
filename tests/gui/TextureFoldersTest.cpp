// The texture folders dialog, driven by clicks, and the settings it keeps.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include "TestUtil.h"
#include "ui/TextureFolders.h"

namespace kinovela::ui {
namespace {

TEST(TextureFolders, SettingsKeepTheListInOrder)
{
    test::TempDir dir;
    const QString file = QString::fromStdString(dir.File("Kino.conf"));
    {
        QSettings settings(file, QSettings::IniFormat);
        EXPECT_TRUE(ReadTextureFolders(settings).isEmpty());
        WriteTextureFolders(settings, {"/b/textures", "/a/テクスチャ"});
    }
    QSettings settings(file, QSettings::IniFormat);
    EXPECT_EQ(ReadTextureFolders(settings), (QStringList{"/b/textures", "/a/テクスチャ"}));
    EXPECT_EQ(settings.childGroups(), QStringList{"Textures"}) << "a group of its own";
    EXPECT_EQ(FromPaths(ToPaths({"/a/テクスチャ"})), QStringList{"/a/テクスチャ"});
}

TEST(TextureFolders, AddRemoveAndReorder)
{
    CDlgTextureFolders dialog({"/one", "/two"});
    dialog.show();
    QStringList answers{"/three/", "/one", ""};
    dialog.m_chooseFolder = [&] { return answers.takeFirst(); };
    EXPECT_FALSE(dialog.m_up->isEnabled()) << "the first row is chosen and cannot go up";

    QTest::mouseClick(dialog.m_add, Qt::LeftButton);  // a new folder, cleaned and chosen
    EXPECT_EQ(dialog.Folders(), (QStringList{"/one", "/two", "/three"}));
    EXPECT_EQ(dialog.m_list->currentRow(), 2);
    EXPECT_FALSE(dialog.m_down->isEnabled());
    QTest::mouseClick(dialog.m_add, Qt::LeftButton);  // one already listed is not added twice
    EXPECT_EQ(dialog.m_list->count(), 3);
    EXPECT_EQ(dialog.m_list->currentRow(), 0);
    QTest::mouseClick(dialog.m_add, Qt::LeftButton);  // the folder dialog cancelled
    EXPECT_EQ(dialog.m_list->count(), 3);

    QTest::mouseClick(dialog.m_down, Qt::LeftButton);
    EXPECT_EQ(dialog.Folders(), (QStringList{"/two", "/one", "/three"}));
    EXPECT_EQ(dialog.m_list->currentRow(), 1);
    QTest::mouseClick(dialog.m_remove, Qt::LeftButton);
    EXPECT_EQ(dialog.Folders(), (QStringList{"/two", "/three"}));
    dialog.m_list->setCurrentRow(1);
    QTest::mouseClick(dialog.m_up, Qt::LeftButton);
    EXPECT_EQ(dialog.Folders(), (QStringList{"/three", "/two"}));

    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace kinovela::ui
