// The options and frame dialogs: starting values, what a format allows,
// and the checks of typed numbers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "ui/Dialogs.h"

namespace kinovela::ui {
namespace {

TEST(Dialogs, TheDirectXOptionsStartFromTheirRecord)
{
    ExportOptionsTable table;
    CDlgSave dialog(*table.Find("x"), "DirectXフォーマットで保存");
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("DirectXフォーマットで保存"));
    EXPECT_EQ(dialog.m_speed->text(), "150");
    EXPECT_EQ(dialog.m_scale->text(), "0.01");
    EXPECT_EQ(dialog.m_handedness.checkedId(), 0);
    EXPECT_TRUE(dialog.m_normals->isChecked());
    EXPECT_FALSE(dialog.m_normals->isEnabled());
    EXPECT_FALSE(dialog.m_light->isEnabled());
    EXPECT_TRUE(dialog.m_camera->isEnabled());
}

TEST(Dialogs, PackagesAndRayTraceFilesAllowOnlyMatrixKeys)
{
    ExportOptionsTable table;
    for (const char* ext : {"k3d", "mqs"}) {
        CDlgSave dialog(*table.Find(ext), ext);
        EXPECT_FALSE(dialog.m_keyType.button(0)->isEnabled()) << ext;
        EXPECT_TRUE(dialog.m_keyType.button(1)->isEnabled()) << ext;
        EXPECT_FALSE(dialog.m_keyType.button(2)->isEnabled()) << ext;
        EXPECT_EQ(dialog.m_keyType.checkedId(), 1) << ext;
    }
}

TEST(Dialogs, OkRemembersTheChoiceAndCancelDoesNot)
{
    ExportOptionsTable table;
    {
        CDlgSave dialog(*table.Find("wrl"), "VRML");
        dialog.m_scale->setText("2");
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_FLOAT_EQ(table.Find("wrl")->scale, 2.0f);
    {
        CDlgSave dialog(*table.Find("wrl"), "VRML");
        EXPECT_EQ(dialog.m_scale->text(), "2");
        dialog.m_scale->setText("5");
        dialog.reject();
    }
    EXPECT_FLOAT_EQ(table.Find("wrl")->scale, 2.0f);

    // A scale that is not a number keeps the dialog open.
    CDlgSave dialog(*table.Find("wrl"), "VRML");
    QStringList said;
    dialog.m_invalid = [&](const QString& text) { said << text; };
    dialog.m_scale->setText("two");
    dialog.accept();
    EXPECT_EQ(said, QStringList{QString::fromUtf8(kNotANumber)});
    EXPECT_FLOAT_EQ(table.Find("wrl")->scale, 2.0f);
}

TEST(Dialogs, FrameDialogsStartAtTheCurrentFrameAndCheckIntegers)
{
    CDlgInsert insert(12);
    EXPECT_EQ(insert.m_after->text(), "12");
    EXPECT_EQ(insert.m_count->text(), "1");
    CDlgDelete remove(7);
    EXPECT_EQ(remove.m_first->text(), "7");
    EXPECT_EQ(remove.m_last->text(), "7");

    CDlgKeyFrame key(5);
    EXPECT_EQ(key.Choice(), 0);
    QStringList said;
    key.m_invalid = [&](const QString& text) { said << text; };
    key.m_frame->setText("3.5");
    key.accept();
    EXPECT_EQ(said, QStringList{QString::fromUtf8(kNotAnInteger)});
    EXPECT_NE(key.result(), QDialog::Accepted);
    key.m_frame->setText(" -4 ");
    key.accept();
    EXPECT_EQ(key.result(), QDialog::Accepted);
    EXPECT_EQ(key.Frame(), -4);

    EXPECT_FALSE(ReadInteger("99999999999"));
    EXPECT_FALSE(ReadInteger("+"));
    EXPECT_EQ(ReadInteger("+8"), 8);
}

}  // namespace
}  // namespace kinovela::ui

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
