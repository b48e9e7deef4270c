#include <gtest/gtest.h>

#include "scene/Kinovela.h"

#include <memory>

namespace kinovela {
namespace {

class Animation : public ::testing::Test {
protected:
    void SetUp() override { AddModels(1); }

    void AddModels(int n)
    {
        for (int i = 0; i < n; ++i) {
            CModel m;
            m.m_name = "m" + std::to_string(scene.m_models.size());
            m.ResizeFrames(t.m_last, 0);
            scene.m_models.push_back(m);
        }
        scene.m_selected = 0;
    }
    CModel& M(int i = 0) { return scene.m_models[static_cast<std::size_t>(i)]; }
    CAnimation& F(int f, int model = 0) { return M(model).m_frames[static_cast<std::size_t>(f)]; }
    // Poses the selected model at frame f and stores a key there.
    void Key(int f, CVector position, CVector rotation = {}, CVector scale = {1, 1, 1})
    {
        t.m_current = f;
        scene.SetPosition(t, position);
        scene.SetRotation(t, rotation);
        scene.SetScale(t, scale);
        scene.AddKeyFrame(t, false, f);
    }

    CKinovela scene;
    CTimeline t;
};

TEST_F(Animation, InterpolatesBetweenKeysAndHoldsTheLast)
{
    Key(10, {10, 0, 0});
    EXPECT_EQ(F(4).m_position.m_x, 4.0f);
    EXPECT_EQ(F(4).m_key, 0);
    for (int f = 11; f <= 60; ++f) ASSERT_EQ(F(f).m_position, CVector(10, 0, 0)) << f;
    EXPECT_EQ(F(10).m_key, 1);
    EXPECT_EQ(F(0).m_key, 1);
}

TEST_F(Animation, RoundingFollowsTheStoredFormula)
{
    // Values chosen so that a computation in single precision, or without
    // first rounding the difference, gives other bits.
    F(0).m_position.m_x = 0.1f;
    Key(7, {1e7f + 0.3f, -3.3f, 123.456f}, {350, 10, -720}, {0.001f, 3, 1e-3f});
    const float k0 = 0.1f, k7 = 1e7f + 0.3f;
    for (int g = 1; g < 7; ++g) {
        const float diff = k7 - k0;
        const float expected =
            static_cast<float>(static_cast<double>(k7) - static_cast<double>(diff) * (7 - g) / 7.0);
        ASSERT_EQ(F(g).m_position.m_x, expected) << g;
    }
    EXPECT_EQ(F(1).m_rotation.m_x, static_cast<float>(350.0 - 350.0 * 6 / 7.0));
}

TEST_F(Animation, RotationIsInterpolatedWithoutWrapping)
{
    F(0).m_rotation = {350, 0, 0};
    Key(2, {}, {10, 0, 0});
    EXPECT_EQ(F(1).m_rotation.m_x, 180.0f);
}

TEST_F(Animation, OnlyFrameZeroKeyedHoldsItsPoseEverywhere)
{
    F(0).m_position = {1, 2, 3};
    F(30).m_position = {9, 9, 9};  // stale in-between value
    M().RecomputeFrames(t.m_last);
    for (int f = 0; f <= 60; ++f) ASSERT_EQ(F(f).m_position, CVector(1, 2, 3));
}

TEST_F(Animation, AddKeyAtAnotherFrameCopiesTheCurrentPose)
{
    t.m_current = 5;
    scene.SetPosition(t, {5, 5, 5});
    scene.AddKeyFrame(t, false, 20);
    EXPECT_EQ(F(20).m_position, CVector(5, 5, 5));
    EXPECT_EQ(F(20).m_key, 1);
    // The current frame was an in-between: recomputing refilled it.
    EXPECT_EQ(F(5).m_position, CVector(1.25f, 1.25f, 1.25f));
    // Out of range frames are ignored.
    scene.AddKeyFrame(t, false, 61);
    scene.AddKeyFrame(t, false, -1);
    EXPECT_EQ(scene.m_undo.Size(), 1u);
}

TEST_F(Animation, AKeyEditIsOneStepForAllModels)
{
    AddModels(3);
    t.m_current = 12;
    scene.AddKeyFrame(t, true, 12);
    ASSERT_EQ(scene.m_undo.Size(), 1u);
    const auto* keys = dynamic_cast<const KeyFramesRecord*>(scene.m_undo.At(0).record.get());
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->HeldPoses(), 4u) << "frame 12 of each model, nothing else changed";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(F(12, i).m_key, 1);

    scene.m_redo.Push({std::make_unique<FrameRateRecord>(5.0f), true});
    scene.DeleteKeyFrame(t, false, 12);
    EXPECT_EQ(scene.m_undo.Size(), 2u);
    EXPECT_TRUE(scene.m_redo.Empty()) << "a new step empties redo";
    EXPECT_EQ(F(12, 0).m_key, 0);
    EXPECT_EQ(F(12, 1).m_key, 1);

    // A key where there is one already, with nothing to recompute, is no step.
    scene.AddKeyFrame(t, false, 0);
    EXPECT_EQ(scene.m_undo.Size(), 2u);

    // No selection: key edits do nothing, even for all models.
    scene.m_selected = kNoModel;
    scene.AddKeyFrame(t, true, 12);
    scene.DeleteKeyFrame(t, true, 12);
    EXPECT_EQ(scene.m_undo.Size(), 2u);
}

TEST_F(Animation, DeleteKeyFrameRefusesFrameZeroAndOutOfRange)
{
    scene.DeleteKeyFrame(t, false, 0);
    scene.DeleteKeyFrame(t, false, 61);
    EXPECT_EQ(F(0).m_key, 1);
    EXPECT_TRUE(scene.m_undo.Empty());
}

TEST_F(Animation, InsertFramesStretchesTheMotion)
{
    Key(10, {10, 0, 0});
    Key(20, {20, 0, 0});
    t.m_current = 15;
    ASSERT_TRUE(scene.InsertFrames(t, 10, 5));
    EXPECT_EQ(t.m_last, 65);
    EXPECT_EQ(t.m_prevLast, 65);
    EXPECT_EQ(M().m_frames.size(), 66u);
    EXPECT_EQ(F(25).m_key, 1);
    EXPECT_EQ(F(25).m_position.m_x, 20.0f);
    EXPECT_EQ(F(20).m_key, 0);
    for (int f = 11; f < 25; ++f) ASSERT_EQ(F(f).m_key, 0);
    EXPECT_EQ(F(13).m_position.m_x, static_cast<float>(20.0 - 10.0 * 12 / 15.0));
    EXPECT_EQ(t.m_current, 0);
    EXPECT_EQ(scene.m_undo.Size(), 3u) << "the insertion is a step after the two keys";

    EXPECT_FALSE(scene.InsertFrames(t, 66, 1));
    EXPECT_FALSE(scene.InsertFrames(t, -1, 1));
    EXPECT_FALSE(scene.InsertFrames(t, 0, -1));
    EXPECT_FALSE(scene.InsertFrames(t, 0, kMaxLastFrame)) << "no frame range past the limit";
    EXPECT_EQ(t.m_last, 65);
}

TEST_F(Animation, DeleteFramesShiftsLaterFrames)
{
    Key(6, {6, 0, 0});
    Key(9, {9, 0, 0});
    ASSERT_TRUE(scene.DeleteFrames(t, 3, 5));
    EXPECT_EQ(t.m_last, 57);
    EXPECT_EQ(M().m_frames.size(), 61u) << "the list is not shortened";
    EXPECT_EQ(F(3).m_key, 1);
    EXPECT_EQ(F(3).m_position.m_x, 6.0f);
    EXPECT_EQ(F(6).m_position.m_x, 9.0f);
    EXPECT_EQ(F(1).m_position.m_x, 2.0f);
    EXPECT_EQ(t.m_current, 0);
}

TEST_F(Animation, DeletingFromFrameZeroKeepsAKeyThere)
{
    Key(10, {10, 0, 0});
    ASSERT_TRUE(scene.DeleteFrames(t, 0, 4));
    EXPECT_EQ(F(0).m_key, 1);
    EXPECT_EQ(F(0).m_position.m_x, 5.0f) << "old in-between frame 5";
}

TEST_F(Animation, DeleteFramesRangeChecks)
{
    EXPECT_FALSE(scene.DeleteFrames(t, 0, 60)) << "at least frame 0 stays";
    EXPECT_FALSE(scene.DeleteFrames(t, 5, 4));
    EXPECT_FALSE(scene.DeleteFrames(t, -1, 4));
    EXPECT_FALSE(scene.DeleteFrames(t, 3, 61));
    EXPECT_EQ(t.m_last, 60);
    EXPECT_TRUE(scene.DeleteFrames(t, 1, 60));
    EXPECT_EQ(t.m_last, 0);
}

TEST_F(Animation, SetLastFrameShrinksAndGrows)
{
    Key(40, {40, 0, 0});
    Key(20, {20, 0, 0});
    t.m_current = 25;
    scene.SetLastFrame(t, 30);
    EXPECT_EQ(t.m_last, 30);
    EXPECT_EQ(t.m_prevLast, 60);
    EXPECT_EQ(M().m_frames.size(), 31u);
    EXPECT_EQ(t.m_current, 0);
    EXPECT_EQ(scene.m_undo.Size(), 3u) << "the shorter range is a step after the two keys";

    scene.SetLastFrame(t, 60);
    EXPECT_EQ(M().m_frames.size(), 61u);
    EXPECT_EQ(F(40).m_key, 0) << "the key past the old range is gone";
    scene.RecomputeAll(t);
    EXPECT_EQ(F(60).m_position.m_x, 20.0f);

    scene.SetLastFrame(t, -5);
    EXPECT_EQ(t.m_last, 60);
    EXPECT_EQ(t.m_prevLast, 60);
    scene.SetLastFrame(t, kMaxLastFrame + 1);
    EXPECT_EQ(t.m_last, 60);
}

TEST_F(Animation, Navigation)
{
    scene.LastFrame(t);
    EXPECT_EQ(t.m_current, 60);
    scene.NextFrame(t);
    EXPECT_EQ(t.m_current, 0);
    scene.PrevFrame(t);
    EXPECT_EQ(t.m_current, 60);
    scene.FirstFrame(t);
    EXPECT_EQ(t.m_current, 0);

    // Only frame 0 is a key: the searches come back to it.
    scene.NextKeyFrame(t);
    EXPECT_EQ(t.m_current, 0);
    scene.PrevKeyFrame(t);
    EXPECT_EQ(t.m_current, 0);

    Key(15, {1, 0, 0});
    Key(45, {2, 0, 0});
    t.m_current = 20;
    scene.NextKeyFrame(t);
    EXPECT_EQ(t.m_current, 45);
    scene.NextKeyFrame(t);
    EXPECT_EQ(t.m_current, 0);
    scene.PrevKeyFrame(t);
    EXPECT_EQ(t.m_current, 45);

    scene.m_selected = kNoModel;
    scene.NextKeyFrame(t);
    EXPECT_EQ(t.m_current, 45);

    // A file can clear the key flag of frame 0; the search still ends.
    scene.m_selected = 0;
    for (auto& f : M().m_frames) f.m_key = 0;
    scene.NextKeyFrame(t);
    EXPECT_EQ(t.m_current, 45);
}

TEST_F(Animation, PoseAccessorsFallBackToTheCamera)
{
    scene.SetPosition(t, {1, 2, 3});
    EXPECT_EQ(F(0).m_position, CVector(1, 2, 3));
    EXPECT_EQ(scene.AddScale(t, {1, 1, 1}), CVector(2, 2, 2));

    scene.m_selected = kNoModel;
    scene.SetPosition(t, {4, 5, 6});
    scene.SetRotation(t, {7, 8, 9});
    EXPECT_EQ(scene.m_camera[0].m_position, CVector(4, 5, 6));
    EXPECT_EQ(scene.GetRotation(t), CVector(7, 8, 9));
    EXPECT_EQ(scene.GetScale(t), CVector(4, 5, 6)) << "get scale reads the camera position";
    scene.SetScale(t, {3, 3, 3});
    EXPECT_EQ(scene.m_camera[0].m_scale, CVector(1, 1, 1));
    EXPECT_EQ(scene.AddScale(t, {1, 1, 1}), CVector());
    EXPECT_EQ(scene.AddPosition(t, {1, 0, 0}), CVector(5, 5, 6));
    EXPECT_EQ(scene.AddRotation(t, {0, 0, 1}), CVector(7, 8, 10));

    scene.m_selected = 7;  // outside the list counts as no selection
    EXPECT_EQ(scene.GetPosition(t), CVector(5, 5, 6));
}

TEST_F(Animation, HistoryClearing)
{
    scene.PushUndoForSelection(t);
    scene.PushUndo(5, 0);   // no such model
    scene.PushUndo(0, 99);  // no such frame
    EXPECT_EQ(scene.m_undo.Size(), 1u);
    t.m_current = 9;
    scene.ClearHistory(t, false);
    EXPECT_EQ(t.m_current, 9);
    EXPECT_TRUE(scene.m_undo.Empty());
    scene.ClearHistory(t, true);
    EXPECT_EQ(t.m_current, 0);
}

}  // namespace
}  // namespace kinovela
