// The options and frame dialogs, driven by typing and clicking: their
// starting values, what each format allows, and the refusal of bad numbers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "ui/Dialogs.h"

namespace kinovela::ui {
namespace {

// Types over a field's whole text, as a user does after selecting it.
void Retype(QLineEdit* field, const QString& text)
{
    field->selectAll();
    QTest::keyClicks(field, text);
}

// Space toggles a box or picks a radio button wherever its text ends.
void Press(QAbstractButton* button)
{
    QTest::keyClick(button, Qt::Key_Space);
}

void ClickOk(QDialog& dialog)
{
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

TEST(OptionsDialog, DirectXStartsFromItsRecord)
{
    ExportOptionsTable table;
    CDlgSave dialog(*table.Find("x"), QString::fromUtf8("DirectXフォーマットで保存"));
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("DirectXフォーマットで保存"));
    EXPECT_EQ(dialog.m_speed->text(), "150");
    EXPECT_FALSE(dialog.m_speed->isReadOnly());
    EXPECT_EQ(dialog.m_scale->text(), "0.01");
    EXPECT_EQ(dialog.m_handedness.checkedId(), 0);
    EXPECT_TRUE(dialog.m_handedness.button(1)->isEnabled());
    EXPECT_TRUE(dialog.m_normals->isChecked());
    EXPECT_FALSE(dialog.m_normals->isEnabled());
    EXPECT_FALSE(dialog.m_light->isEnabled());
    EXPECT_TRUE(dialog.m_camera->isEnabled());
}

TEST(OptionsDialog, GltfOffersSamplingAndEmbeddedPictures)
{
    ExportOptionsTable table;
    CDlgSave x(*table.Find("x"), "x");
    EXPECT_EQ(x.m_embed, nullptr) << "choices only glTF has are not shown for others";
    EXPECT_TRUE(x.m_sampling.buttons().isEmpty());

    ExportOptions& record = *table.Find("gltf");
    CDlgSave dialog(record, QString::fromUtf8("glTF 2.0フォーマットで保存"));
    ASSERT_NE(dialog.m_embed, nullptr);
    EXPECT_EQ(dialog.m_sampling.checkedId(), 0);
    EXPECT_FALSE(dialog.m_keyType.button(1)->isEnabled()) << "no matrix keys";
    EXPECT_TRUE(dialog.m_keyType.button(2)->isEnabled());
    EXPECT_TRUE(dialog.m_speed->isReadOnly()) << "times come from the frame rate";
    EXPECT_FALSE(dialog.m_handedness.button(0)->isEnabled());
    EXPECT_EQ(dialog.m_handedness.checkedId(), 1);
    EXPECT_TRUE(dialog.m_uv->isChecked());
    EXPECT_EQ(dialog.m_scale->text(), "0.01");
    dialog.show();
    Press(dialog.m_sampling.button(1));
    Press(dialog.m_embed);
    ClickOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(record.everyFrame, 1);
    EXPECT_EQ(record.embedTextures, 1);

    // A .glb holds its pictures: the box is ticked and cannot be cleared.
    ExportOptions glb = record;
    glb.embedTextures = 1;
    glb.embedTexturesAvailability = -1;
    CDlgSave fixed(glb, "glb");
    EXPECT_TRUE(fixed.m_embed->isChecked());
    EXPECT_FALSE(fixed.m_embed->isEnabled());
}

TEST(OptionsDialog, AnUntouchedOkKeepsTheScaleAndForcesTheNormals)
{
    ExportOptions header = *ExportOptionsTable().Find("h");
    header.scale = 1.2345678f;
    header.normals = 0;
    CDlgSave dialog(header, "h");
    EXPECT_TRUE(dialog.m_normals->isChecked());
    dialog.show();
    ClickOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(header.scale, 1.2345678f);
    EXPECT_EQ(header.normals, 1);
}

TEST(OptionsDialog, KeyTypesFollowTheFormat)
{
    ExportOptionsTable table;
    for (const char* ext : {"k3d", "mqs"}) {
        CDlgSave dialog(*table.Find(ext), ext);
        EXPECT_FALSE(dialog.m_keyType.button(0)->isEnabled()) << ext;
        EXPECT_TRUE(dialog.m_keyType.button(1)->isEnabled()) << ext;
        EXPECT_FALSE(dialog.m_keyType.button(2)->isEnabled()) << ext;
        EXPECT_EQ(dialog.m_keyType.checkedId(), 1) << ext;
        EXPECT_TRUE(dialog.m_speed->isReadOnly()) << ext;
    }
    CDlgSave vrml(*table.Find("wrl"), "wrl");
    EXPECT_TRUE(vrml.m_keyType.button(0)->isEnabled());
    EXPECT_FALSE(vrml.m_keyType.button(1)->isEnabled());
    EXPECT_TRUE(vrml.m_keyType.button(2)->isEnabled());
    EXPECT_FALSE(vrml.m_quality.button(0)->isEnabled());
}

TEST(OptionsDialog, OkRemembersTheChoicesAndCancelDoesNot)
{
    ExportOptionsTable table;
    ExportOptions& vrml = *table.Find("wrl");
    {
        CDlgSave dialog(vrml, "VRML");
        dialog.show();
        Retype(dialog.m_scale, "2");
        Press(dialog.m_normals);
        ClickOk(dialog);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(vrml.scale, 2.0f);
    EXPECT_EQ(vrml.normals, 1);

    const ExportOptions before = vrml;
    {
        CDlgSave dialog(vrml, "VRML");
        dialog.show();
        EXPECT_EQ(dialog.m_scale->text(), "2");
        EXPECT_TRUE(dialog.m_normals->isChecked());
        Retype(dialog.m_scale, "5");
        Press(dialog.m_keyType.button(2));
        dialog.reject();
    }
    EXPECT_EQ(vrml.scale, before.scale);
    EXPECT_EQ(vrml.keyType, before.keyType);

    CDlgSave dialog(vrml, "VRML");
    QStringList said;
    dialog.m_showMessage = [&](const QString& text) { said << text; };
    dialog.show();
    Retype(dialog.m_scale, "two");
    Press(dialog.m_keyType.button(2));
    ClickOk(dialog);
    EXPECT_EQ(said, QStringList{QString::fromUtf8(kNotANumber)});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.m_scale);
    EXPECT_EQ(vrml.keyType, before.keyType) << "a refused OK writes nothing";
}

TEST(FrameDialogs, StartAtTheCurrentFrame)
{
    CDlgKeyFrame key(5);
    EXPECT_EQ(key.windowTitle(), QString::fromUtf8("ﾓﾃﾞﾙのｷｰﾌﾚｰﾑの追加・削除"));
    EXPECT_EQ(key.m_frame->text(), "5");
    EXPECT_EQ(key.Choice(), 0);
    EXPECT_EQ(key.m_choice.button(3)->text(), QString::fromUtf8("全てのﾓﾃﾞﾙのｷｰﾌﾚｰﾑを削除"));
    CDlgInsert insert(12);
    EXPECT_EQ(insert.m_after->text(), "12");
    EXPECT_EQ(insert.m_count->text(), "1");
    CDlgDelete remove(7);
    EXPECT_EQ(remove.m_first->text(), "7");
    EXPECT_EQ(remove.m_last->text(), "7");
}

// The call shape of the main window, with the real message box.
TEST(FrameDialogs, ANonIntegerKeepsTheDialogOpenUntilFixed)
{
    CDlgInsert dialog(12);
    QStringList said;
    bool stayedOpen = false;
    std::function<void()> closeBox = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return QTimer::singleShot(20, closeBox);
        said << box->text();
        box->accept();
    };
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClicks(QApplication::focusWidget(), "20");
        Retype(dialog.m_count, "1.5");
        QTimer::singleShot(20, closeBox);
        ClickOk(dialog);
        stayedOpen = dialog.isVisible() && dialog.focusWidget() == dialog.m_count;
        Retype(dialog.m_count, " +3 ");
        ClickOk(dialog);
    });
    QTimer::singleShot(5000, &dialog, &QDialog::reject);  // never hang the run
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(said, QStringList{QString::fromUtf8(kNotAnInteger)});
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialog.After(), 20) << "typing replaces the selected starting value";
    EXPECT_EQ(dialog.Count(), 3);

    CDlgKeyFrame key(5);
    key.m_showMessage = [&](const QString& text) { said << text; };
    key.show();
    Retype(key.m_frame, "-4");
    Press(key.m_choice.button(3));
    ClickOk(key);
    EXPECT_EQ(key.result(), QDialog::Accepted);
    EXPECT_EQ(key.Frame(), -4);
    EXPECT_EQ(key.Choice(), 3);
}

TEST(FrameDialogs, IntegersAreWholeDecimalsAnIntCanHold)
{
    EXPECT_EQ(ReadInteger(" -4 "), -4);
    EXPECT_EQ(ReadInteger("+8"), 8);
    for (const char* bad : {"", "+", "-", "+-5", "3.5", "1 2", "0x10", "2147483648"})
        EXPECT_FALSE(ReadInteger(bad)) << bad;
    EXPECT_EQ(ReadNumber(" 1.5e2 "), 150.0f);
    for (const char* bad : {"", "two", "1,5", "inf", "nan", "1e39"}) EXPECT_FALSE(ReadNumber(bad)) << bad;
}

}  // namespace
}  // namespace kinovela::ui

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
