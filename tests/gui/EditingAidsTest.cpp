// The aids to editing, driven as a user drives them: key markers on the
// slider (checked by their pixels), the current-key mark, auto-key on a
// mouse drag, the status-bar note, frame selected and frame all, and the
// shortcuts of the commands. Runs under a virtual display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSettings>
#include <QStatusBar>
#include <QTest>

#include <set>

#include "TestUtil.h"
#include "document/DocumentMessages.h"
#include "gui/WindowFixture.h"
#include "ui/CommandTexts.h"

namespace kinovela {
namespace {

class Aids : public test::WindowFixture {
protected:
    ui::ControlBar& Bar() { return *window->Controls(); }
    ui::KinoView* View() { return window->View(); }
    void Key(QKeyCombination key) { QTest::keySequence(window.get(), QKeySequence(key)); }
    void Settle()
    {
        QApplication::processEvents();
        QTest::qWait(60);
    }
    // A left drag on the view from `from` by `by`, in real events.
    void Drag(QPoint from, QPoint by)
    {
        QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + by), View()->mapToGlobal(QPointF(from + by)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(View(), &move);
        QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, from + by);
    }
    static bool Orange(const QColor& c) { return c.red() > 150 && c.green() > 40 && c.green() < 140 && c.blue() < 60; }
    // The box around the pixels that pass `test`, in image pixels.
    template <class Test> QRect Around(const QImage& image, Test test)
    {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (test(image.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
        return box;
    }
    // Whether the slider shows a pixel of `colour` (within a few levels)
    // within two pixels of the marker of `frame`.
    bool MarkerAt(const QImage& slider, int frame, const QColor& colour)
    {
        const int x = Bar().m_slider->MarkerX(frame);
        for (int y = 0; y < slider.height(); ++y)
            for (int dx = -2; dx <= 2; ++dx) {
                if (x + dx < 0 || x + dx >= slider.width()) continue;
                const QColor c = slider.pixelColor(x + dx, y);
                if (std::abs(c.red() - colour.red()) < 12 && std::abs(c.green() - colour.green()) < 12 &&
                    std::abs(c.blue() - colour.blue()) < 12)
                    return true;
            }
        return false;
    }
};

TEST_F(Aids, KeyMarkersAreDrawnOnTheSlider)
{
    // Model 1 keyed at 20 and 45, model 3 at 10.
    scene.m_selected = 3;
    t.m_current = 10;
    doc.OnAddKey(false);
    scene.m_selected = 1;
    for (int f : {20, 45}) {
        t.m_current = f;
        doc.OnAddKey(false);
    }
    doc.UpdateAllViews(kHintSelection);
    Settle();
    EXPECT_EQ(Bar().m_slider->Ticks(), (std::vector<int>{0, 20, 45}));
    const QImage slider = Bar().m_slider->grab().toImage();
    const qreal ratio = Bar().m_slider->devicePixelRatioF();
    ASSERT_EQ(ratio, 1.0) << "the marker positions below are in widget pixels";
    for (int f : {0, 20, 45}) EXPECT_TRUE(MarkerAt(slider, f, ui::KeySlider::kMarkerColour)) << "selected key " << f;
    EXPECT_TRUE(MarkerAt(slider, 10, ui::KeySlider::kFaintColour)) << "another model's key, fainter";
    EXPECT_FALSE(MarkerAt(slider, 10, ui::KeySlider::kMarkerColour));
    EXPECT_FALSE(MarkerAt(slider, 33, ui::KeySlider::kMarkerColour)) << "no key there";
    EXPECT_FALSE(MarkerAt(slider, 33, ui::KeySlider::kFaintColour));

    // The current frame is marked in the control bar while it is a key.
    Bar().ShowCurrentFrame(45);
    EXPECT_TRUE(Bar().m_keyMark->isVisible());
    Bar().ShowCurrentFrame(44);
    EXPECT_FALSE(Bar().m_keyMark->isVisible());
    Key(Qt::CTRL | Qt::Key_G);  // next key
    EXPECT_EQ(t.m_current, 45);
    EXPECT_TRUE(Bar().m_keyMark->isVisible());
    Key(Qt::CTRL | Qt::Key_T);  // delete the key: the mark and the marker go
    EXPECT_FALSE(Bar().m_keyMark->isVisible());
    Settle();
    EXPECT_FALSE(MarkerAt(Bar().m_slider->grab().toImage(), 45, ui::KeySlider::kMarkerColour));
}

TEST_F(Aids, AutoKeyStoresAKeyOnADragAndANoteOtherwise)
{
    const QImage picture = View()->grabFramebuffer();
    const QRect arm = Around(picture, Orange);
    ASSERT_FALSE(arm.isEmpty());
    const QPoint at = arm.center() / View()->devicePixelRatioF();
    QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, at);
    ASSERT_TRUE(scene.HasSelection());
    const int model = scene.m_selected;
    const CModel& m = scene.m_models[static_cast<std::size_t>(model)];

    // Without auto-key a drag at a frame that is not a key says so.
    Bar().ShowCurrentFrame(20);
    Drag(at, {12, 0});
    EXPECT_EQ(m.m_frames[20].m_key, 0);
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), msg::kPoseNotKey);

    // Ctrl+Shift+K turns auto-key on (and the setting remembers it).
    EXPECT_FALSE(window->Action(ID_AUTO_KEY)->isChecked());
    Key(Qt::CTRL | Qt::SHIFT | Qt::Key_K);
    EXPECT_TRUE(doc.m_autoKey);
    EXPECT_TRUE(window->Action(ID_AUTO_KEY)->isChecked());
    EXPECT_TRUE(QSettings("Kinovela Application", "Kino").value("Editing/AutoKey").toBool());
    window->statusBar()->clearMessage();
    Bar().ShowCurrentFrame(30);
    const std::size_t steps = scene.m_undo.Size();
    const CVector before = m.m_frames[30].m_position;
    Drag(at, {15, -10});
    EXPECT_EQ(m.m_frames[30].m_key, 1) << "the drag stored a key";
    test::ExpectNear(m.m_frames[30].m_position, {before.m_x + 15, before.m_y + 10, before.m_z});
    EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
    EXPECT_EQ(Bar().m_slider->Ticks(), (std::vector<int>{0, 30}));
    EXPECT_TRUE(Bar().m_keyMark->isVisible());
    EXPECT_EQ(scene.m_undo.Size(), steps + 1) << "press, drag and key are one step";

    // A click that moves nothing stores no key.
    Bar().ShowCurrentFrame(40);
    QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(m.m_frames[40].m_key, 0);

    // One Ctrl+Z takes the drag and its key back.
    Key(Qt::CTRL | Qt::Key_Z);  // the click's record
    Key(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(m.m_frames[30].m_key, 0);
    test::ExpectNear(m.m_frames[30].m_position, before);

    // A new window starts with the remembered setting; turning it off is
    // remembered too.
    window.reset();
    doc.m_autoKey = false;
    window = std::make_unique<ui::MainWindow>(doc, meter, options);
    EXPECT_TRUE(doc.m_autoKey);
    window->RunCommand(ID_AUTO_KEY);
    EXPECT_FALSE(QSettings("Kinovela Application", "Kino").value("Editing/AutoKey").toBool());
}

TEST_F(Aids, FrameSelectedPutsTheModelsBoxInsideTheView)
{
    // A small part, posed away from the middle and seen from the side.
    const int finger = scene.FindModel("finger_L");
    ASSERT_GE(finger, 0);
    scene.m_selected = finger;
    scene.m_camera[0].m_rotation = {10, 70, 0};
    scene.m_camera[0].m_position = {400, 0, -9000};
    doc.UpdateAllViews(kHintSelection);
    Settle();

    Key(Qt::Key_F5);
    Settle();
    const QImage picture = View()->grabFramebuffer();
    // The selection box is drawn in white around the model's box.
    const QRect box = Around(picture, [](const QColor& c) { return c == QColor(Qt::white); });
    ASSERT_FALSE(box.isEmpty()) << "the box is in view";
    EXPECT_GT(box.left(), 0);
    EXPECT_GT(box.top(), 0);
    EXPECT_LT(box.right(), picture.width() - 1);
    EXPECT_LT(box.bottom(), picture.height() - 1);
    EXPECT_TRUE(box.width() > picture.width() * 0.6 || box.height() > picture.height() * 0.6)
        << "and fills the view: " << box.width() << " x " << box.height() << " of " << picture.width() << " x "
        << picture.height();
    test::ExpectNear(scene.m_camera[0].m_rotation, {10, 70, 0}, 0);

    // Frame all: every visible part of the arm is in view, none at an edge.
    Key(Qt::Key_F4);
    Settle();
    const QImage all = View()->grabFramebuffer();
    const QRect arm = Around(all, Orange);
    ASSERT_FALSE(arm.isEmpty());
    EXPECT_TRUE(arm.left() > 0 && arm.top() > 0 && arm.right() < all.width() - 1 && arm.bottom() < all.height() - 1);
}

TEST_F(Aids, EveryShortcutBelongsToOneCommand)
{
    std::set<QString> seen;
    std::set<int> ids;
    for (QAction* a : window->actions()) {
        // Two commands with one id would share a shortcut Qt calls ambiguous.
        if (a->data().isValid()) {
            EXPECT_TRUE(ids.insert(a->data().toInt()).second) << a->data().toInt();
        }
        if (a->shortcut().isEmpty()) continue;
        EXPECT_TRUE(seen.insert(a->shortcut().toString()).second) << a->shortcut().toString().toStdString();
    }
    EXPECT_TRUE(window->MainToolBar()->actions().contains(window->Action(ID_FRAME_ALL)));
    EXPECT_TRUE(window->MainToolBar()->actions().contains(window->Action(ID_FRAME_SELECTED)));
    for (int id : {ID_AUTO_KEY, ID_FRAME_ALL, ID_FRAME_SELECTED}) {
        ASSERT_NE(window->Action(id), nullptr);
        EXPECT_FALSE(window->Action(id)->shortcut().isEmpty()) << id;
        EXPECT_FALSE(window->Action(id)->icon().isNull()) << id;
    }
    // The keys work wherever the focus is: the tree, whose typing searches
    // its names, and a field.
    for (QWidget* w : {static_cast<QWidget*>(window->Tree()), static_cast<QWidget*>(Bar().m_vector[0])}) {
        w->setFocus(Qt::MouseFocusReason);
        scene.m_camera[0].m_position = {0, 0, -2000};
        QTest::keyClick(w, Qt::Key_F4);
        EXPECT_NE(scene.m_camera[0].m_position, CVector(0, 0, -2000)) << w->metaObject()->className();
        const bool before = doc.m_autoKey;
        QTest::keyClick(w, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_NE(doc.m_autoKey, before) << w->metaObject()->className();
    }
}

}  // namespace
}  // namespace kinovela
