// The undo history over every kind of edit: each step undone gives the
// scene before it byte for byte (as the native file writes it), redone the
// scene after it; records keep only what changed; the modified mark follows.
#include "document/History.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "document/DocumentFixture.h"
#include "scene/Hierarchy.h"

namespace kinovela {
namespace {

// Where two byte strings first differ, for readable failures.
std::string FirstDifference(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    if (i == a.size() && i == b.size()) return "";
    return "differ at byte " + std::to_string(i) + " of " + std::to_string(a.size()) + " / " + std::to_string(b.size());
}

class History : public test::DocumentFixture {
protected:
    // Runs `edit`, expects it to add exactly one step, then checks that undo
    // gives back the bytes before it and redo the bytes after it (twice).
    void Check(const char* what, const std::function<void()>& edit)
    {
        SCOPED_TRACE(what);
        const std::string before = Bytes();
        const std::size_t steps = scene.m_undo.Size();
        edit();
        const std::string after = Bytes();
        ASSERT_FALSE(before == after) << "the edit changed nothing";
        ASSERT_EQ(scene.m_undo.Size(), steps + 1);
        for (int round = 0; round < 2; ++round) {
            doc.OnEditUndo();
            ASSERT_EQ(FirstDifference(Bytes(), before), "") << "undo";
            doc.OnEditRedo();
            ASSERT_EQ(FirstDifference(Bytes(), after), "") << "redo";
        }
    }
    // A long scene: 1000 frames, keys at 0, 100, 200 ... of model 0.
    void LongScene()
    {
        Load(0);
        controls.m_lastFrameField = 1000;
        doc.OnLastFrameEditLeft();
        for (int f = 100; f <= 1000; f += 100) {
            t.m_current = f;
            scene.SetPosition(t, {static_cast<float>(f), 0, 0});
            doc.OnAddKey(false);
        }
        doc.SetModified(false);
    }
    const EditRecord& Top() const { return *scene.m_undo.At(scene.m_undo.Size() - 1).record; }
};

TEST_F(History, EveryEditIsUndoneAndRedoneExactly)
{
    Load(0);
    Check("typed values", [&] {
        t.m_current = 10;
        controls.m_vectorField = {5, 0, 0};
        doc.OnVectorEditLeft();
    });
    Check("a key for the selected model", [&] { doc.OnAddKey(false); });
    Check("keys for all models", [&] {
        t.m_current = 20;
        doc.OnAddKey(true);
    });
    Check("the key frame dialog at another frame", [&] { doc.OnKeyFrameDialog(30, 1); });
    Check("a key deleted", [&] {
        t.m_current = 10;
        doc.OnDeleteKey(false);
    });
    Check("keys deleted for all models", [&] { doc.OnKeyFrameDialog(20, 3); });
    Check("frames inserted", [&] { doc.OnInsertFrames(5, 7); });
    Check("frames deleted", [&] { doc.OnDeleteFrames(3, 9); });
    Check("frames deleted from frame 0", [&] { doc.OnDeleteFrames(0, 4); });
    Check("the last frame lowered", [&] {
        controls.m_lastFrameField = 12;
        doc.OnLastFrameEditLeft();
    });
    Check("the last frame raised", [&] {
        controls.m_lastFrameField = 90;
        doc.OnLastFrameEditLeft();
    });
    Check("the frame rate", [&] {
        controls.m_fpsField = "24";
        doc.OnFpsChanged();
    });
    Check("the shading", [&] { doc.OnSmooth(); });
    Check("a rename", [&] {
        scene.m_selected = 0;
        doc.RenameSelected("root");
    });
    Check("a new parent", [&] { doc.Reparent(1, 0, false); });
    Check("a model under the renamed one renamed", [&] {
        scene.m_selected = 0;
        doc.RenameSelected("base");
    });
    Check("a model hidden", [&] { doc.ToggleVisibility(2); });
    Check("a model shown", [&] { doc.ToggleVisibility(2); });
    Check("models added under a model", [&] {
        scene.m_selected = 1;
        doc.AddModels(mqo);
    });
    Check("a pasted animation", [&] {
        scene.m_selected = 0;
        doc.OnCopyAnimation();
        scene.m_selected = 4;
        doc.OnPasteAnimation();
    });
    Check("a parent model deleted", [&] {
        scene.m_selected = 0;
        doc.DeleteSelectedModel();
    });
    Check("a drag", [&] {
        scene.m_selected = 1;
        t.m_current = 7;
        Drag({1, 2, 3});
    });
}

TEST_F(History, DeletingAModelKeepsItsMaterialsAndChildren)
{
    const std::string file = dir.File("materials.mqo");
    test::WriteFile(file, test::Mqo("Material 2 {\n\t\"red\" col(1 0 0 1)\n\t\"blue\" col(0 0 1 1)\n}\n" +
                                    test::MqoObject("body", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(0)") +
                                    test::MqoObject("arm", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(1)")));
    ASSERT_TRUE(doc.OnOpenDocument(file).ok);
    ASSERT_TRUE(doc.Reparent(1, 0, false));
    const std::string before = Bytes();
    scene.m_selected = 0;
    t.m_current = 9;
    doc.DeleteSelectedModel();
    ASSERT_EQ(scene.m_materials.size(), 1u) << "red is used by no face any more";
    EXPECT_EQ(scene.m_models[0].m_parentName, "<NULL>");
    EXPECT_EQ(t.m_current, 0);
    doc.OnEditUndo();
    EXPECT_EQ(FirstDifference(Bytes(), before), "");
    EXPECT_EQ(scene.m_selected, 0) << "the model comes back selected";
    EXPECT_EQ(t.m_current, 9);
    EXPECT_EQ(scene.m_hierarchyWalk, BuildHierarchyWalk(scene));
}

// A script's export works on a copy of the scene; the history (here a
// deleted model on the redo side and an edit on the undo side) stays with
// the scene it belongs to.
TEST_F(History, ACopyForExportLeavesTheHistoryBehind)
{
    Load(0);
    t.m_current = 5;
    scene.SetPosition(t, {3, 0, 0});
    doc.OnAddKey(false);
    doc.DeleteSelectedModel();
    doc.OnEditUndo();
    ASSERT_FALSE(scene.m_undo.Empty());
    ASSERT_FALSE(scene.m_redo.Empty());
    const std::size_t undo = scene.m_undo.Size(), redo = scene.m_redo.Size();

    const CKinovela copy = scene.CopyWithoutHistory();
    EXPECT_TRUE(copy.m_undo.Empty());
    EXPECT_TRUE(copy.m_redo.Empty());
    EXPECT_TRUE(SerializeNativeFile(copy, t) == Bytes());
    EXPECT_EQ(scene.m_undo.Size(), undo);
    EXPECT_EQ(scene.m_redo.Size(), redo);
    const std::string edited = Bytes();
    doc.OnEditUndo();
    EXPECT_FALSE(Bytes() == edited) << "the scene's own history still undoes";
}

TEST_F(History, RecordsHoldOnlyWhatChanged)
{
    LongScene();

    // A key between the keys at 400 and 500 recomputes 401..499 only.
    t.m_current = 450;
    scene.SetPosition(t, {1, 1, 1});
    doc.OnAddKey(false);
    EXPECT_LE(Top().HeldPoses(), 99u);
    EXPECT_GE(Top().HeldPoses(), 49u);

    // Deleting three frames holds them and the stretch they shortened.
    doc.OnDeleteFrames(300, 302);
    EXPECT_LE(Top().HeldPoses(), 3u * 3 + 200);

    // Inserting holds the stretch between the neighbouring keys (about 110
    // frames) and the three frames per model that the deletion above left
    // past the end, which the longer lists no longer have room for.
    doc.OnInsertFrames(150, 10);
    EXPECT_LE(Top().HeldPoses(), 110u + 3 * 3);

    // Raising the last frame holds nothing; lowering holds what it dropped.
    controls.m_lastFrameField = 1100;
    doc.OnLastFrameEditLeft();
    EXPECT_EQ(Top().HeldPoses(), 0u);
    controls.m_lastFrameField = 1050;
    doc.OnLastFrameEditLeft();
    EXPECT_EQ(Top().HeldPoses(), 3u * 50);

    // A deleted model's record holds that model.
    scene.m_selected = 1;
    doc.DeleteSelectedModel();
    EXPECT_EQ(Top().HeldPoses(), scene.m_models[0].m_frames.size());
}

// Random edits of every kind; every change of the file's bytes must come
// with a step, undo must walk back through exactly the recorded states and
// redo forward through them again.
TEST_F(History, ALongRandomSequenceUndoesToTheStartAndRedoesToTheEnd)
{
    Load(0);
    std::mt19937 random(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    auto someModel = [&] { return scene.m_models.empty() ? kNoModel : pick(0, static_cast<int>(scene.m_models.size()) - 1); };

    std::vector<std::string> states{Bytes()};
    for (int i = 0; i < 400; ++i) {
        const std::size_t steps = scene.m_undo.Size();
        const std::string before = Bytes();
        const int kind = pick(0, 19);
        switch (kind) {
        case 0: scene.m_selected = someModel(); break;
        case 1:
            controls.m_currentFrameField = pick(0, t.m_last);
            doc.OnCurrentFrameEditLeft();
            break;
        case 2:
        case 3: {
            // A drag: the press records, the moves change the pose.
            const std::size_t mark = scene.m_undo.Size();
            scene.PushUndoForSelection(t);
            if (!scene.HasSelection()) break;
            scene.AddRotation(t, {static_cast<float>(pick(-90, 90)), 0.5f, 0});
            doc.SetModified(true);
            doc.FinishPoseEdit(mark);
            break;
        }
        case 4:
            // Typed camera values (no selection) are a view change.
            if (!scene.HasSelection()) break;
            doc.OnModeMove();
            controls.m_vectorField = {static_cast<float>(pick(-50, 50)), 1, -0.0f};
            doc.OnVectorEditLeft();
            break;
        case 5: doc.OnAddKey(pick(0, 1) == 1); break;
        case 6: doc.OnDeleteKey(pick(0, 1) == 1); break;
        case 7: doc.OnKeyFrameDialog(pick(0, t.m_last), pick(0, 3)); break;
        case 8: doc.OnInsertFrames(pick(0, t.m_last), pick(0, 6)); break;
        case 9:
            if (t.m_last > 4) {
                const int first = pick(0, t.m_last - 1);
                doc.OnDeleteFrames(first, std::min(t.m_last, first + pick(0, 3)));
            }
            break;
        case 10:
            controls.m_lastFrameField = pick(5, 80);
            doc.OnLastFrameEditLeft();
            break;
        case 11:
            controls.m_fpsField = std::to_string(pick(1, 60));
            doc.OnFpsChanged();
            break;
        case 12:
            if (scene.HasSelection()) doc.RenameSelected(std::string(1, static_cast<char>('a' + pick(0, 5))));
            break;
        case 13:
            if (!scene.m_models.empty()) doc.ToggleVisibility(someModel());
            break;
        case 14:
            if (!scene.m_models.empty()) {
                const int m = someModel(), p = pick(0, 3) == 0 ? kNoModel : someModel();
                if (doc.CanReparent(m, p)) doc.Reparent(m, p, false);
            }
            break;
        case 15:
            if (scene.m_models.size() < 12) doc.AddModels(mqo);
            else doc.DeleteSelectedModel();
            break;
        case 16:
            if (scene.m_models.size() > 1) doc.DeleteSelectedModel();
            break;
        case 17:
            scene.m_selected = someModel();
            doc.OnCopyAnimation();
            scene.m_selected = someModel();
            doc.OnPasteAnimation();
            break;
        case 18: doc.OnSmooth(); break;
        case 19: doc.OnAutoKey(); break;
        }
        const std::string after = Bytes();
        ASSERT_TRUE(after == before || scene.m_undo.Size() > steps)
            << "edit " << i << " (kind " << kind << ") changed the scene without a step";
        ASSERT_LE(scene.m_undo.Size(), steps + 1) << "edit " << i << " (kind " << kind << ") took several steps";
        states.resize(scene.m_undo.Size() + 1);
        states.back() = after;
        // A step that changed nothing keeps the state below it.
        if (scene.m_undo.Size() > steps && after == before)
            for (std::size_t k = steps + 1; k < states.size(); ++k) states[k] = after;
    }
    ASSERT_GT(scene.m_undo.Size(), 150u);
    while (doc.GetState(ID_EDIT_UNDO).enabled) {
        doc.OnEditUndo();
        ASSERT_EQ(FirstDifference(Bytes(), states[scene.m_undo.Size()]), "") << "undo to step " << scene.m_undo.Size();
    }
    EXPECT_TRUE(Bytes() == states.front());
    while (doc.GetState(ID_EDIT_REDO).enabled) {
        doc.OnEditRedo();
        ASSERT_EQ(FirstDifference(Bytes(), states[scene.m_undo.Size()]), "") << "redo to step " << scene.m_undo.Size();
    }
    EXPECT_TRUE(Bytes() == states.back());
}

TEST_F(History, TheModifiedMarkFollowsUndoBackToTheSavedState)
{
    Load(0);
    ASSERT_TRUE(doc.OnSaveDocument(dir.File("saved.kvl")).ok);
    EXPECT_FALSE(doc.IsModified());

    // A press that moves nothing records a step but changes nothing.
    scene.PushUndoForSelection(t);
    EXPECT_FALSE(doc.IsModified());
    Drag({1, 0, 0});
    EXPECT_TRUE(doc.IsModified());
    doc.OnAddKey(false);
    doc.OnEditUndo();
    doc.OnEditUndo();
    EXPECT_FALSE(doc.IsModified()) << "back at the saved state";
    doc.OnEditRedo();
    EXPECT_TRUE(doc.IsModified());

    // Saved in the middle: undo past it and redo back to it.
    ASSERT_TRUE(doc.OnSaveDocument(dir.File("saved.kvl")).ok);
    doc.OnEditUndo();
    EXPECT_TRUE(doc.IsModified());
    doc.OnEditRedo();
    EXPECT_FALSE(doc.IsModified());

    // A new edit after undoing past the saved state loses the way back.
    doc.OnEditUndo();
    doc.OnDeleteFrames(1, 2);
    doc.OnEditUndo();
    EXPECT_TRUE(doc.IsModified());

    // Changes outside the history stay until the next save.
    ASSERT_TRUE(doc.OnSaveDocument(dir.File("saved.kvl")).ok);
    doc.OnBackground(0x102030);
    EXPECT_TRUE(doc.IsModified());
    doc.OnSmooth();
    doc.OnEditUndo();
    EXPECT_TRUE(doc.IsModified());

    // Opening starts a new history at a clean state.
    ASSERT_TRUE(doc.OnOpenDocument(dir.File("saved.kvl")).ok);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.GetState(ID_EDIT_UNDO).enabled);
}

TEST_F(History, AutoKeyStoresAKeyWithEachPoseEditAsOneStep)
{
    Load(1);
    t.m_current = 15;
    doc.OnModeMove();
    controls.m_vectorField = {6, 0, 0};
    doc.OnVectorEditLeft();
    EXPECT_EQ(Pose(1, 15).m_key, 0);
    EXPECT_EQ(view.Take().back(), kHintPoseOffKey) << "the status bar is told the frame is not a key";

    const std::string before = Bytes();
    doc.OnAutoKey();
    EXPECT_TRUE(doc.GetState(ID_AUTO_KEY).checked);
    const std::size_t steps = scene.m_undo.Size();
    controls.m_vectorField = {9, 0, 0};
    doc.OnVectorEditLeft();
    EXPECT_EQ(Pose(1, 15).m_key, 1);
    EXPECT_EQ(Pose(1, 5).m_position.m_x, 3.0f) << "interpolated towards the new key";
    EXPECT_EQ(scene.m_undo.Size(), steps + 1) << "the pose and its key are one step";
    doc.OnEditUndo();
    EXPECT_TRUE(Bytes() == before);

    // Leaving the fields without a change keys nothing.
    t.m_current = 40;
    doc.OnEditRedo();
    const std::size_t now = scene.m_undo.Size();
    t.m_current = 40;
    controls.m_vectorField = scene.GetPosition(t);
    doc.OnVectorEditLeft();
    EXPECT_EQ(Pose(1, 40).m_key, 0);
    EXPECT_EQ(scene.m_undo.Size(), now + 1) << "only the field's own record";
}

TEST_F(History, ARecordThatNoLongerFitsEndsTheHistory)
{
    Load(0);
    doc.AddModels(mqo);
    scene.m_models.emplace_back();  // behind the history's back
    doc.OnEditUndo();
    EXPECT_EQ(scene.m_models.size(), 7u) << "nothing was taken out";
    EXPECT_FALSE(doc.GetState(ID_EDIT_UNDO).enabled);
    EXPECT_TRUE(doc.IsModified());
}

}  // namespace
}  // namespace kinovela
