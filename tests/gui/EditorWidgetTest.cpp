// The editor's window driven the way a user drives it, with real mouse,
// wheel and key events on the 3D view. Runs under a virtual display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSettings>
#include <QSurfaceFormat>
#include <QTest>
#include <QWheelEvent>

#include <fstream>
#include <optional>

#include "TestUtil.h"
#include "gui/WindowTestMain.h"
#include "image/DibStream.h"
#include "gui/WindowFixture.h"

namespace kinovela {
namespace {

class Editor : public test::WindowFixture {
protected:
    ui::KinoView* View() { return window->View(); }
    QImage Picture() { return View()->grabFramebuffer(); }

    // The middle of the pixels (in widget coordinates) whose colour passes `test`.
    template <class Test> std::optional<QPoint> Find(const QImage& image, Test test)
    {
        const qreal ratio = View()->devicePixelRatioF();
        long sx = 0, sy = 0, n = 0;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                if (test(image.pixelColor(x, y))) {
                    sx += x;
                    sy += y;
                    ++n;
                }
        if (n == 0) return std::nullopt;
        return QPoint(static_cast<int>(sx / n / ratio), static_cast<int>(sy / n / ratio));
    }
    static bool Orange(const QColor& c) { return c.red() > 150 && c.green() > 40 && c.green() < 140 && c.blue() < 60; }
    int Count(const QImage& image, const QColor& colour)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == colour;
        return n;
    }

    void Mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers keys = Qt::NoModifier)
    {
        QMouseEvent e(type, QPointF(p), View()->mapToGlobal(QPointF(p)), button, held, keys);
        QApplication::sendEvent(View(), &e);
    }
    void Key(int key)
    {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(View(), &e);
    }

};

TEST_F(Editor, ClickingPicksAndTheSelectionBoxIsDrawn)
{
    const QImage before = Picture();
    EXPECT_EQ(Count(before, Qt::white), 0);
    const std::optional<QPoint> arm = Find(before, Orange);
    ASSERT_TRUE(arm);
    Mouse(QEvent::MouseButtonPress, *arm, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, *arm, Qt::LeftButton, Qt::NoButton);
    ASSERT_NE(scene.m_selected, kNoModel) << "clicked at " << arm->x() << ", " << arm->y() << " of "
                                          << View()->width() << " x " << View()->height();
    EXPECT_EQ(doc.m_mouseTarget, 1);
    EXPECT_EQ(scene.m_undo.Size(), 1u);
    const int selected = scene.m_selected;
    QTest::qWait(50);
    EXPECT_GT(Count(Picture(), Qt::white), 20) << "the white selection box";

    // The background keeps the selection (and still records a step).
    Mouse(QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, QPoint(3, 3), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(scene.m_selected, selected);
    EXPECT_EQ(scene.m_undo.Size(), 2u);

    // A left drag in model mode moves the selected model.
    const CVector p = scene.GetPosition(t);
    Mouse(QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(13, 8), Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, QPoint(13, 8), Qt::LeftButton, Qt::NoButton);
    test::ExpectNear(scene.GetPosition(t), {p.m_x + 10, p.m_y - 5, p.m_z});
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(Editor, CameraDragsWheelAndKeys)
{
    scene.m_camera[0].m_rotation = {0, 0, 0};
    const QPoint a(100, 100), b(104, 110);
    Mouse(QEvent::MouseButtonPress, a, Qt::RightButton, Qt::RightButton, Qt::ControlModifier);
    Mouse(QEvent::MouseMove, b, Qt::NoButton, Qt::RightButton, Qt::ControlModifier);
    Mouse(QEvent::MouseButtonRelease, b, Qt::RightButton, Qt::NoButton, Qt::ControlModifier);
    test::ExpectNear(scene.m_camera[0].m_rotation, {10, 4, 0});

    const float z = scene.m_camera[0].m_position.m_z;
    Mouse(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonPress, a, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    Mouse(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    EXPECT_FLOAT_EQ(scene.m_camera[0].m_position.m_z, z + 4 - 10);
    Mouse(QEvent::MouseButtonRelease, b, Qt::RightButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);

    QWheelEvent wheel(QPointF(a), View()->mapToGlobal(QPointF(a)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View(), &wheel);
    EXPECT_FLOAT_EQ(scene.m_camera[0].m_position.m_z, z - 6 + 120);

    Key(Qt::Key_F2);
    test::ExpectNear(scene.m_camera[0].m_rotation, {90, 0, 0});
    EXPECT_FLOAT_EQ(scene.m_camera[0].m_position.m_x, 0.0f);
}

TEST_F(Editor, PlaybackLoopsAndHiddenModelsAreNotPicked)
{
    for (CModel& m : scene.m_models) m.m_visible = 0;
    View()->update();
    QTest::qWait(50);
    const QImage hidden = Picture();
    EXPECT_FALSE(Find(hidden, Orange)) << "hidden models are not drawn";
    scene.m_selected = kNoModel;
    Mouse(QEvent::MouseButtonPress, QPoint(600, 200), Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, QPoint(600, 200), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(scene.m_selected, kNoModel);

    t.m_current = t.m_last;
    doc.UpdateAllViews(kHintPlay);
    EXPECT_EQ(t.m_playing, 1);
    QTest::qWait(60);  // one or two ticks of 33 ms
    EXPECT_LT(t.m_current, 3);
    doc.UpdateAllViews(kHintStop);
    EXPECT_EQ(t.m_playing, 0);
}

TEST_F(Editor, TheSelectionBoxFollowsThePosedModel)
{
    // A model away from the others, so that its box is clear of theirs.
    scene.m_selected = 0;
    doc.UpdateAllViews(kHintSelection);
    QTest::qWait(50);
    auto white = [](const QColor& c) { return c == QColor(Qt::white); };
    const std::optional<QPoint> before = Find(Picture(), white);
    ASSERT_TRUE(before);

    // Moving the pose to the right and up (the camera looks along -z).
    const CVector p = scene.GetPosition(t);
    scene.SetPosition(t, {p.m_x + 80, p.m_y + 60, p.m_z});
    View()->update();
    QTest::qWait(50);
    const std::optional<QPoint> after = Find(Picture(), white);
    ASSERT_TRUE(after);
    EXPECT_GT(after->x() - before->x(), 10);
    EXPECT_LT(after->y() - before->y(), -10);  // window y grows downwards
}

TEST_F(Editor, ATexturedFaceShowsItsTexture)
{
    // Left half red, right half blue, on a white material: the material's
    // colour alone would make the face one grey.
    test::TempDir dir;
    DibStream image;
    ASSERT_TRUE(image.Create(64, 64, 24));
    for (int y = 0; y < 64; ++y) {
        std::uint8_t* row = image.RowPointer(y);
        for (int x = 0; x < 64; ++x) {
            row[3 * x + 0] = x < 32 ? 0 : 255;  // blue
            row[3 * x + 1] = 0;
            row[3 * x + 2] = x < 32 ? 255 : 0;  // red
        }
    }
    ASSERT_TRUE(image.SaveBMP(dir.File("halves.bmp")));
    const std::string corners = "-300 -300 0\n300 -300 0\n300 300 0\n-300 300 0\n";
    const std::string uv = "UV(0 1 1 1 1 0 0 0)";
    const std::string doc_ = test::Mqo(
        "Material 1 {\n\t\"m\" col(1 1 1 1) dif(1) amb(1) emi(0) spc(0) power(5) tex(\"halves.bmp\")\n}\n" +
        test::MqoObject("panel", corners, "4 V(0 1 2 3) M(0) " + uv + "\n4 V(3 2 1 0) M(0) UV(0 0 1 0 1 1 0 1)"));
    {
        std::ofstream out(dir.File("panel.mqo"), std::ios::binary);
        out << doc_;
    }
    doc.OnNewDocument();
    window->OpenFile(QString::fromStdString(dir.File("panel.mqo")));
    ASSERT_EQ(scene.m_models.size(), 1u);
    ASSERT_TRUE(scene.m_materials[0].m_image) << "the texture was decoded";
    scene.m_camera[0].m_rotation = {0, 0, 0};
    View()->update();
    QTest::qWait(50);
    const QImage picture = Picture();
    const std::optional<QPoint> red = Find(picture, [](const QColor& c) { return c.red() > 150 && c.blue() < 60 && c.green() < 60; });
    const std::optional<QPoint> blue = Find(picture, [](const QColor& c) { return c.blue() > 150 && c.red() < 60 && c.green() < 60; });
    ASSERT_TRUE(red) << "the red half";
    ASSERT_TRUE(blue) << "the blue half";
    EXPECT_LT(red->x() + 50, blue->x()) << "red on the left, blue on the right";
    EXPECT_NEAR(red->y(), blue->y(), 5);
}

}  // namespace
}  // namespace kinovela

int main(int argc, char** argv) { return kinovela::test::RunWindowTests(argc, argv); }
