#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "document/ViewInteraction.h"

namespace kinovela {
namespace {

struct FakeHost : IViewHost {
    bool PickModel(int, int) override
    {
        ++picks;
        if (pickResult < 0) return false;
        const bool changed = scene->m_selected != pickResult;
        scene->m_selected = pickResult;
        return changed;
    }
    void Invalidate() override { ++invalidations; }
    void CaptureMouse() override { ++captures; }
    void ReleaseMouse() override { ++releases; }
    void StartTimer(int ms) override { timer = ms; }
    void KillTimer() override { timer = 0; }
    void RebuildModelLists() override { ++rebuilds; }
    CKinovela* scene = nullptr;
    int pickResult = -1;  // the model the click lands on, -1 for none
    int picks = 0, invalidations = 0, captures = 0, releases = 0, timer = 0, rebuilds = 0;
};

struct FakeControls : IViewControls {
    void ShowVector(const CVector& v) override { shown = v; }
    void ShowCurrentFrame(int f) override { frame = f; }
    CVector ReadVector() override { return typed; }
    float ReadFrameRate(bool fromSelection) override { return fromSelection ? listFps : editFps; }
    void ShowRate(const std::string& text) override { rates.push_back(text); }
    void ShowNote(const std::string& text) override { notes.push_back(text); }
    CVector shown, typed;
    std::vector<std::string> notes;
    int frame = -1;
    float editFps = 25.0f, listFps = 60.0f;
    std::vector<std::string> rates;
};

struct HintLog : IKinoView {
    void OnUpdate(int hint) override { hints.push_back(hint); }
    std::vector<int> hints;
};

class View : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string doc = test::Mqo(test::MqoObject("a", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)") +
                                          test::MqoObject("b", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"));
        ASSERT_TRUE(test::ImportText(scene, t, doc).ok);
        scene.RecomputeAll(t);
        host.scene = &scene;
        document.AddView(&log);
    }
    CVector Camera() const { return scene.m_camera[0].m_position; }
    CVector CameraTurn() const { return scene.m_camera[0].m_rotation; }
    void Drag(int dx, int dy, MouseState keys = {})
    {
        view.OnMouseMove(100 + dx, 100 + dy, keys);
    }

    CKinovela scene;
    CTimeline t;
    CKinoDoc document{scene, t};
    FakeHost host;
    FakeControls controls;
    std::uint32_t now = 5000;
    FrameRateMeter meter{[this] { return now; }};
    ViewInteraction view{document, host, controls, meter};
    HintLog log;
};

// The end of a drag that posed the selected model: without auto-key the
// views hear that the frame is not a key; with it the frame becomes a key
// in the same undo step as the press that recorded the pose.
TEST_F(View, ADragThatPosesAModelKeysItOrSaysItIsNotAKey)
{
    scene.m_selected = 0;
    document.m_mouseTarget = 1;
    t.m_current = 5;
    auto count = [&](int hint) { return std::count(log.hints.begin(), log.hints.end(), hint); };

    view.OnLeftDown(100, 100);
    view.OnLeftUp();
    EXPECT_EQ(count(kHintPoseOffKey), 0) << "a press that moved nothing";
    view.OnLeftDown(100, 100);
    Drag(10, 0);
    view.OnLeftUp();
    EXPECT_EQ(count(kHintPoseOffKey), 1);
    EXPECT_EQ(scene.m_models[0].m_frames[5].m_key, 0);
    view.OnUpdate(kHintPoseOffKey);
    ASSERT_EQ(controls.notes.size(), 1u);

    document.m_autoKey = true;
    const std::size_t steps = scene.m_undo.Size();
    view.OnLeftDown(100, 100);
    Drag(5, 0);
    view.OnRightDown(105, 100);  // a second button records once more
    view.OnRightUp();
    EXPECT_EQ(scene.m_models[0].m_frames[5].m_key, 0) << "the drag ends with the last button";
    view.OnLeftUp();
    EXPECT_EQ(scene.m_models[0].m_frames[5].m_key, 1);
    EXPECT_EQ(scene.m_undo.Size(), steps + 1);
    EXPECT_EQ(count(kHintPoseOffKey), 1);

    // Camera drags key nothing.
    document.m_mouseTarget = 0;
    t.m_current = 9;
    view.OnLeftDown(100, 100);
    Drag(5, 5);
    view.OnLeftUp();
    EXPECT_EQ(scene.m_models[0].m_frames[9].m_key, 0);
}

TEST_F(View, PressPicksAndKeepsTheSelectionOnAMiss)
{
    scene.m_selected = kNoModel;
    host.pickResult = 1;
    view.OnLeftDown(10, 10);
    EXPECT_EQ(host.captures, 1);
    EXPECT_EQ(scene.m_selected, 1);
    EXPECT_EQ(document.m_mouseTarget, 1);
    EXPECT_EQ(log.hints, (std::vector<int>{kHintSelection, kHintSelection}));
    EXPECT_EQ(scene.m_undo.Size(), 1u);  // the press found no selection; the pick recorded the new one
    view.OnLeftUp();
    EXPECT_EQ(host.releases, 1);

    // A miss: selection and mode stay, but the press still records a step.
    document.m_mouseTarget = 0;
    host.pickResult = -1;
    view.OnLeftDown(10, 10);
    EXPECT_EQ(scene.m_selected, 1);
    EXPECT_EQ(document.m_mouseTarget, 0);
    EXPECT_EQ(scene.m_undo.Size(), 2u);
    // The second button takes no capture and picks nothing.
    view.OnRightDown(10, 10);
    EXPECT_EQ(host.captures, 2);
    view.OnRightUp();
    EXPECT_EQ(host.releases, 1);  // the left button still holds it
    view.OnLeftUp();
    EXPECT_EQ(host.releases, 2);
}

TEST_F(View, CameraDragRows)
{
    scene.m_selected = 0;
    document.m_mouseTarget = 1;
    view.OnLeftDown(100, 100);
    view.OnRightDown(100, 100);
    const CVector before = Camera();
    Drag(5, -3);  // both buttons: depth, even in model mode
    EXPECT_FLOAT_EQ(Camera().m_z, before.m_z + 8.0f);
    view.OnLeftUp();

    // Ctrl + right turns the camera in model mode too.
    scene.m_camera[0].m_rotation = {0, 0, 0};
    view.OnMouseMove(109, 103, {.ctrl = true});  // from (105, 97)
    test::ExpectNear(CameraTurn(), {6, 4, 0});
    // Upside down, the horizontal drag turns the other way.
    scene.m_camera[0].m_rotation = {180, 0, 0};
    view.OnMouseMove(113, 103, {.ctrl = true});
    test::ExpectNear(CameraTurn(), {180, -4, 0});
    test::ExpectNear(controls.shown, CameraTurn());
    view.OnRightUp();

    // Camera mode, left drag pans; middle button pans in any mode.
    document.m_mouseTarget = 0;
    view.OnLeftDown(100, 100);
    const CVector p = Camera();
    Drag(3, 2);
    test::ExpectNear(Camera(), {p.m_x + 3, p.m_y - 2, p.m_z});
    EXPECT_FALSE(document.IsModified());
    view.OnLeftUp();

    // The middle button pans from where it was pressed.
    const CVector q = Camera();
    view.OnMiddleDown(300, 300);
    view.OnMouseMove(302, 299, {.middle = true});
    test::ExpectNear(Camera(), {q.m_x + 2, q.m_y + 1, q.m_z});
}

TEST_F(View, ModelDragsFollowModeAxesAndShift)
{
    scene.m_selected = 0;
    document.m_mouseTarget = 1;
    view.OnLeftDown(100, 100);
    Drag(4, 2);
    test::ExpectNear(scene.GetPosition(t), {4, -2, 0});
    EXPECT_TRUE(document.IsModified());

    document.m_transformMode = 1;
    scene.m_axisY = false;  // rotate: dx counts for Y, so it is dropped
    view.OnMouseMove(110, 105, {});
    test::ExpectNear(scene.GetRotation(t), {3, 0, 0});
    scene.m_axisY = true;

    document.m_transformMode = 2;
    view.OnMouseMove(120, 105, {.shift = true});
    test::ExpectNear(scene.GetScale(t), {2, 2, 2});
    view.OnLeftUp();

    // Right drag with Z off changes nothing and marks nothing.
    document.SetModified(false);
    scene.m_axisZ = false;
    view.OnRightDown(100, 100);
    Drag(0, 10);
    test::ExpectNear(scene.GetScale(t), {2, 2, 2});
    EXPECT_FALSE(document.IsModified());
    scene.m_axisZ = true;
    view.OnMouseMove(100, 100, {});
    test::ExpectNear(scene.GetScale(t), {2, 2, 3});
    view.OnRightUp();

    // X and Y off: a left drag marks the document though nothing moves.
    scene.m_axisX = scene.m_axisY = false;
    document.SetModified(false);
    document.m_transformMode = 0;
    view.OnLeftDown(100, 100);
    Drag(7, 7);
    test::ExpectNear(scene.GetPosition(t), {4, -2, 0});
    EXPECT_TRUE(document.IsModified());
}

TEST_F(View, WithoutASelectionModelDragsFallBackToTheCamera)
{
    scene.m_selected = kNoModel;
    document.m_mouseTarget = 1;
    view.OnLeftDown(100, 100);
    const CVector p = Camera();
    Drag(3, 4);
    test::ExpectNear(Camera(), {p.m_x + 3, p.m_y - 4, p.m_z});
    document.m_transformMode = 2;
    const CVector q = Camera();
    view.OnMouseMove(110, 110, {});
    test::ExpectNear(Camera(), q);
    test::ExpectNear(controls.shown, {0, 0, 0});
}

TEST_F(View, WheelKeysAndCameraAngles)
{
    const float z = Camera().m_z;
    view.OnWheel(120);
    EXPECT_FLOAT_EQ(Camera().m_z, z + 120);
    view.OnWheel(0xFF88);  // a 16-bit -120
    EXPECT_FLOAT_EQ(Camera().m_z, z);
    scene.m_camera[0].m_position = {5, 6, -700};
    view.OnKey(ViewKey::F1);
    test::ExpectNear(Camera(), {0, 0, -700});
    test::ExpectNear(CameraTurn(), {0, -90, 0});
    view.OnKey(ViewKey::F2);
    test::ExpectNear(CameraTurn(), {90, 0, 0});

    scene.m_camera[0].m_rotation = {725, -365, 360};
    scene.WrapCameraAngles();
    test::ExpectNear(CameraTurn(), {5, -5, 360});
    scene.m_camera[0].m_rotation = {1e30f, 0, 0};
    scene.WrapCameraAngles();  // ends, within the range
    EXPECT_LE(std::fabs(CameraTurn().m_x), 360.0f);
}

TEST_F(View, PlaybackHintsAndTicks)
{
    t.m_last = 2;
    t.m_current = 1;
    view.OnUpdate(kHintPlay);
    EXPECT_EQ(host.timer, 40);  // 1000 / 25
    EXPECT_EQ(t.m_playing, 1);
    view.OnTimer();
    EXPECT_EQ(t.m_current, 2);
    view.OnTimer();
    EXPECT_EQ(t.m_current, 0);  // past the last frame playback loops
    EXPECT_EQ(controls.frame, 0);
    view.OnUpdate(kHintStop);
    EXPECT_EQ(host.timer, 0);
    EXPECT_EQ(t.m_playing, 0);

    view.OnUpdate(kHintFpsWhilePlaying);  // while stopped: timer runs, flag stays
    EXPECT_EQ(host.timer, 16);
    EXPECT_EQ(t.m_playing, 0);
    EXPECT_EQ(ViewInteraction::TimerInterval(30.0f), 33);
    EXPECT_EQ(ViewInteraction::TimerInterval(5000.0f), 1);

    const int before = host.invalidations;
    view.OnUpdate(kHintFps);
    EXPECT_EQ(host.invalidations, before);  // no redraw
    view.OnUpdate(kHintLook);
    EXPECT_EQ(host.rebuilds, 1);
    EXPECT_EQ(host.invalidations, before + 1);

    scene.m_selected = 1;
    controls.typed = {1, 2, 3};
    document.m_transformMode = 1;
    view.OnUpdate(kHintVectorEdited);
    test::ExpectNear(scene.GetRotation(t), {1, 2, 3});
}

TEST_F(View, DrawingRateMeter)
{
    t.m_fps = 30.0f;
    now += 10;
    view.OnPaint();  // the first frame measures at once
    ASSERT_EQ(controls.rates.size(), 1u);
    EXPECT_EQ(controls.rates[0], "FPS 99.900002");
    // Then only after more frames than twice that rate (capped at the fps).
    for (int i = 0; i < 31; ++i) {
        now += 33;
        view.OnPaint();
    }
    ASSERT_EQ(controls.rates.size(), 2u);
    EXPECT_EQ(controls.rates[1].substr(0, 8), "FPS 30.2");
    // A long pause counts as one second.
    now += 60000;
    for (int i = 0; i < 31; ++i) view.OnPaint();
    ASSERT_EQ(controls.rates.size(), 3u);
    EXPECT_EQ(controls.rates[2], "FPS 30.969000");
}

TEST_F(View, DroppedModelsJoinAtTheTopLevel)
{
    test::TempDir dir;
    const std::string path = dir.File("more.mqo");
    test::WriteFile(path, test::Mqo(test::MqoObject("c", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)")));
    scene.m_selected = 0;
    const DocResult r = document.DropModels(path);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(scene.m_models.size(), 3u);
    EXPECT_EQ(scene.m_models[2].m_parent, kNoModel);
    EXPECT_TRUE(document.IsModified());
    EXPECT_EQ(log.hints.back(), kHintModelsChanged);
}

}  // namespace
}  // namespace kinovela
