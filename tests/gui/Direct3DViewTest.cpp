// View -> DirectX in the editor: the view shows the software device's
// picture, switching keeps the camera, the selection and the frame, and
// playback runs the same. Runs under a virtual display.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "TestUtil.h"
#include "ui/CommandTexts.h"
#include "gui/WindowFixture.h"

namespace kinovela {
namespace {

class Direct3DView : public test::WindowFixture {};

TEST_F(Direct3DView, ShowsTheDevicePictureAndKeepsTheScene)
{
    ASSERT_TRUE(window->m_direct3DAvailable);
    ui::KinoView& view = *window->View();
    scene.m_selected = 1;
    t.m_current = 12;
    scene.m_camera[0].m_position = {30, -20, -2500};
    doc.UpdateAllViews(kHintSelection);
    QTest::qWait(50);
    const QImage gl = view.grabFramebuffer();

    ASSERT_TRUE(window->RunCommand(ui::ID_RENDER_DIRECTX));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(window->RendererMode(), 1);
    EXPECT_EQ(view.RendererMode(), 1);
    window->UpdateActions();
    EXPECT_TRUE(window->Action(ui::ID_RENDER_DIRECTX)->isChecked());
    EXPECT_FALSE(window->Action(ui::ID_RENDER_OPENGL)->isChecked());

    // What the window shows is the device's picture, pixel for pixel.
    const QImage shown = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const soft::Surface* picture = view.Direct3DPicture();
    ASSERT_TRUE(picture);
    ASSERT_EQ(shown.width(), picture->width);
    ASSERT_EQ(shown.height(), picture->height);
    int different = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            different += (shown.pixel(x, y) & 0xFFFFFF) != (picture->At(x, y) & 0xFFFFFF);
    EXPECT_EQ(different, 0);
    EXPECT_NE(shown, gl.convertToFormat(QImage::Format_RGB32));  // not the OpenGL frame

    // Switching renderers leaves the scene as it was.
    EXPECT_EQ(scene.m_selected, 1);
    EXPECT_EQ(t.m_current, 12);
    EXPECT_EQ(scene.m_camera[0].m_position, CVector(30, -20, -2500));

    // Playback advances the frames in the Direct3D view as in the other.
    ASSERT_TRUE(window->RunCommand(ID_PLAY));
    QTest::qWait(400);
    ASSERT_TRUE(window->RunCommand(ID_STOP));
    EXPECT_NE(t.m_current, 12);

    ASSERT_TRUE(window->RunCommand(ui::ID_RENDER_OPENGL));
    EXPECT_EQ(view.RendererMode(), 0);
    EXPECT_EQ(scene.m_selected, 1);
    EXPECT_EQ(scene.m_camera[0].m_position, CVector(30, -20, -2500));
}

// Frame all (F4) on a scene too deep for the usual field of view widens
// it; the DirectX view shows the whole scene at once, as OpenGL does.
TEST_F(Direct3DView, FrameAllOnADeepSceneShowsItWhole)
{
    test::TempDir dir;
    test::WriteFile(dir.File("tower.mqo"),
                    test::Mqo("Material 1 {\n\t\"red\" col(1 0 0 1) dif(1) amb(0) emi(0) spc(0) power(5)\n}\n" +
                              test::MqoObject("tower",
                                              "-150 0 0\n-150 6000 0\n150 6000 0\n150 0 0\n"
                                              "-150 0 0\n-150 6000 0\n150 6000 0\n150 0 0",
                                              "4 V(0 1 2 3) M(0)\n4 V(7 6 5 4) M(0)")));
    doc.OnNewDocument();
    window->OpenFile(QString::fromStdString(dir.File("tower.mqo")));
    ASSERT_TRUE(window->RunCommand(ui::ID_RENDER_DIRECTX));
    QTest::keySequence(window.get(), QKeySequence(Qt::Key_F4));
    QTest::qWait(60);
    ASSERT_GT(scene.m_fov, kDefaultFov);
    const QImage shown = window->View()->grabFramebuffer();
    QRect tower;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            if (c.red() > 60 && c.red() > 2 * c.green() && c.red() > 2 * c.blue()) tower |= QRect(x, y, 1, 1);
        }
    ASSERT_FALSE(tower.isEmpty());
    EXPECT_TRUE(tower.top() > 0 && tower.bottom() < shown.height() - 1) << "cut off at the view's edge";
    EXPECT_GT(std::max(tower.height() / double(shown.height()), tower.width() / double(shown.width())), 0.6)
        << "fills the view";
}

}  // namespace
}  // namespace kinovela
