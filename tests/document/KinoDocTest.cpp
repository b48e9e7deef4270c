#include "document/KinoDoc.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "document/DocumentFixture.h"
#include "document/History.h"

namespace kinovela {
namespace {

using test::Hints;
using test::RecordingView;

class SaveAsRecorder final : public ISaveAsHandler {
public:
    DocResult SaveAs(CKinoDoc& doc) override
    {
        ++calls;
        doc.SetModified(true);  // what an export does
        return {};
    }
    int calls = 0;
};

using Document = test::DocumentFixture;

TEST_F(Document, NewDocuments)
{
    CKinovela s;
    CTimeline tl;
    CKinoDoc d(s, tl);
    RecordingView v;
    d.AddView(&v);
    tl.m_last = 10;
    tl.m_current = 4;
    tl.m_fps = 12;
    d.OnNewDocument();
    d.OnNewDocument();
    EXPECT_EQ(v.Take(), (Hints{100, 101}));
    EXPECT_EQ(d.Title(), "Kinovela");
    EXPECT_EQ(tl.m_last, 60);
    EXPECT_EQ(tl.m_current, 0);
    EXPECT_EQ(tl.m_fps, 12.0f) << "the frame rate is kept";
    EXPECT_FALSE(d.m_firstNew);
    d.RemoveView(&v);
    d.OnNewDocument();
    EXPECT_TRUE(v.hints.empty());
}

TEST_F(Document, OpeningAMetasequoiaFileAddsToTheScene)
{
    Load(0);
    t.m_current = 9;
    scene.PushUndoForSelection(t);
    ASSERT_TRUE(doc.OnOpenDocument(mqo).ok);
    EXPECT_FALSE(doc.GetState(ID_EDIT_UNDO).enabled);
    EXPECT_EQ(t.m_current, 0);
    EXPECT_EQ(view.Take(), (Hints{103, 102}));
    EXPECT_EQ(scene.m_models.size(), 6u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(scene.m_selected, kNoModel);
    EXPECT_EQ(scene.m_hierarchyWalk.size(), 14u);
}

TEST_F(Document, OpeningANativeFileReplacesTheScene)
{
    Load(1);
    t.m_current = 5;
    Drag({1, 0, 0});
    const std::string kvl = dir.File("scene.KVL");
    ASSERT_TRUE(doc.OnSaveDocument(kvl).ok);
    ASSERT_TRUE(doc.OnOpenDocument(mqo).ok);  // six models now
    view.Take();
    scene.m_language = "English";  // the window's, not the file's

    const DocResult r = doc.OnOpenDocument(kvl);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(view.Take(), (Hints{102}));
    EXPECT_EQ(scene.m_models.size(), 3u);
    EXPECT_EQ(doc.Title(), kvl);
    EXPECT_EQ(doc.m_versionText, "Version 6.6");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(t.m_current, 0);
    EXPECT_FALSE(doc.GetState(ID_EDIT_UNDO).enabled);
    EXPECT_FALSE(doc.GetState(ID_EDIT_REDO).enabled);
    EXPECT_EQ(Pose(1, 5).m_position, CVector(1, 0, 0));
    EXPECT_EQ(scene.m_language, "English");
}

TEST_F(Document, AFailedOpenLeavesTheSceneAsItWas)
{
    Load();
    const std::string bad = dir.File("invalid_truncated.kvl");
    test::WriteFile(bad, SerializeNativeFile(scene, t).substr(0, 100));
    t.m_current = 7;
    scene.PushUndo(0, 7);
    const DocResult r = doc.OnOpenDocument(bad);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message.rfind(bad + " の末尾以降にアクセスしようとしました。\n", 0), 0u) << r.message;
    EXPECT_TRUE(view.Take().empty());
    EXPECT_EQ(scene.m_models.size(), 3u);
    EXPECT_EQ(t.m_current, 7);
    EXPECT_TRUE(doc.GetState(ID_EDIT_UNDO).enabled);
}

// Cancel in the progress dialog throws out of the reader or writer; every
// piece of work it can stop leaves the scene and the files as they were.
TEST_F(Document, CancelledWorkChangesNothing)
{
    Load();
    const std::string kvl = dir.File("scene.kvl");
    ASSERT_TRUE(doc.OnSaveDocument(kvl).ok);
    const std::string saved = test::ReadFile(kvl);
    const std::string before = SerializeNativeFile(scene, t);
    const int nextMaterialId = scene.m_nextMaterialId;
    const int lastListId = scene.m_lastListId;
    scene.m_animClipboard.push_back(CAnimation{});
    int reports = 0;
    doc.m_progress = [&](std::uint64_t done, std::uint64_t total) {
        ++reports;
        if (done < total) throw WorkCancelled{};
    };
    auto cancelled = [&](const DocResult& r) {
        const bool stopped = reports > 0 && !r.ok && r.cancelled;
        reports = 0;
        return stopped;
    };
    doc.SetModified(true);

    // An open, an add and a drop of a .mqo take back what they had read.
    const std::string big = dir.File("big.mqo");
    std::string objects;
    for (int i = 0; i < 40; ++i)
        objects += test::MqoObject("m" + std::to_string(i), "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)");
    test::WriteFile(big, test::Mqo("Material 2 {\n\t\"x\" col(1 1 1 1)\n\t\"y\" col(1 1 1 1)\n}\n" + objects));
    scene.m_selected = 1;
    EXPECT_TRUE(cancelled(doc.OnOpenDocument(big)));
    EXPECT_TRUE(cancelled(doc.AddModels(big)));
    EXPECT_TRUE(cancelled(doc.DropModels(big)));
    EXPECT_EQ(scene.m_nextMaterialId, nextMaterialId);
    EXPECT_EQ(scene.m_lastListId, lastListId);
    EXPECT_EQ(scene.m_selected, 1);
    EXPECT_TRUE(SerializeNativeFile(scene, t) == before);

    // A scene file being read is never committed, and the clipboard stays.
    EXPECT_TRUE(cancelled(doc.OnOpenDocument(kvl)));
    EXPECT_TRUE(SerializeNativeFile(scene, t) == before);
    EXPECT_EQ(scene.m_animClipboard.size(), 1u);

    // A save leaves the old file, and no temporary file beside it. (Big
    // enough to be written in more than one piece.)
    Drag({5, 0, 0});
    scene.SetLastFrame(t, 5000);
    EXPECT_TRUE(cancelled(doc.OnSaveDocument(kvl)));
    EXPECT_TRUE(test::ReadFile(kvl) == saved);
    EXPECT_TRUE(doc.IsModified());
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 3u) << "three.mqo, big.mqo and scene.kvl only";
}

TEST_F(Document, OtherExtensionsLoadNothing)
{
    Load();
    t.m_current = 3;
    EXPECT_TRUE(doc.OnOpenDocument(dir.File("notes.txt")).ok);
    EXPECT_EQ(view.Take(), (Hints{102}));
    EXPECT_EQ(scene.m_models.size(), 3u);
    EXPECT_EQ(t.m_current, 0);
    EXPECT_EQ(PathExtension("/a.b/c"), "");
    EXPECT_EQ(PathExtension("x.tar.MQO"), "mqo");
}

TEST_F(Document, SaveGoesToSaveAsUnlessTheFileIsNative)
{
    SaveAsRecorder saveAs;
    doc.SetSaveAsHandler(&saveAs);
    Load();
    EXPECT_TRUE(doc.OnFileSave().ok);  // no file yet
    EXPECT_EQ(saveAs.calls, 1);
    EXPECT_TRUE(doc.IsModified());

    const std::string kvl = dir.File("s.kvl");
    doc.SetPathName(kvl);
    EXPECT_TRUE(doc.OnFileSave().ok);
    EXPECT_EQ(saveAs.calls, 1);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(test::ReadFile(kvl), SerializeNativeFile(scene, t));

    doc.SetPathName(dir.File("x.mqo"));
    doc.OnFileSave();
    EXPECT_EQ(saveAs.calls, 2);

    doc.SetSaveAsHandler(nullptr);
    EXPECT_FALSE(doc.OnFileSave().ok);
    doc.SetPathName(dir.File("missing/s.kvl"));
    const DocResult failed = doc.OnFileSave();
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.message.empty());
}

TEST_F(Document, CommandStates)
{
    Load(kNoModel);
    for (int id : {ID_KEY_DIALOG, ID_KEY_ADD, ID_KEY_ADD_ALL, ID_KEY_DELETE, ID_KEY_DELETE_ALL, ID_COPY_ANIMATION,
                   ID_PASTE_ANIMATION, ID_EDIT_UNDO, ID_EDIT_REDO})
        EXPECT_FALSE(doc.GetState(id).enabled) << id;
    EXPECT_TRUE(doc.GetState(ID_INSERT_FRAMES).enabled);
    scene.m_selected = 2;
    EXPECT_TRUE(doc.GetState(ID_KEY_ADD).enabled);
    scene.m_selected = 3;  // past the end
    EXPECT_FALSE(doc.GetState(ID_KEY_ADD).enabled);

    EXPECT_TRUE(doc.GetState(ID_MODE_MOVE).checked);
    doc.OnModeScale();
    EXPECT_EQ(doc.GetState(ID_MODE_SCALE), (CommandState{true, true}));
    EXPECT_FALSE(doc.GetState(ID_MODE_MOVE).checked);
    EXPECT_TRUE(doc.GetState(ID_MOUSE_CAMERA).checked);
    doc.OnMouseModel();
    EXPECT_TRUE(doc.GetState(ID_MOUSE_MODEL).checked);
    EXPECT_TRUE(doc.GetState(ID_SMOOTH).checked);
    doc.OnSmooth();
    EXPECT_FALSE(doc.GetState(ID_SMOOTH).checked);
    EXPECT_EQ(view.Take(), (Hints{109, 111, 106}));
}

TEST_F(Document, CommandHints)
{
    Load(0);
    doc.OnModeMove();
    doc.OnModeRotate();
    doc.OnMouseCamera();
    doc.OnPlay();
    doc.OnStop();
    doc.OnNextFrame();
    doc.OnPrevFrame();
    doc.OnNextKey();
    doc.OnPrevKey();
    doc.OnFirstFrame();
    doc.OnLastFrame();
    doc.OnAddKey(false);
    doc.OnDeleteKey(true);
    doc.OnKeyFrameDialog(10, 1);
    doc.OnCameraReset();
    doc.OnBackground(0x00FF0000);
    doc.OnVectorEditLeft();
    doc.OnCurrentFrameEditLeft();
    doc.OnLastFrameEditLeft();
    doc.OnFpsChanged();
    EXPECT_EQ(view.Take(), (Hints{107, 108, 111, 118, 120, 117, 117, 117, 117, 117, 117, 112, 112, 112, 105, 106, 110,
                                  116, 113, 115}));
    EXPECT_EQ(scene.m_background, 0x00FF0000u);

    // While playing, a frame-rate change says so.
    doc.OnPlay();
    EXPECT_EQ(t.m_playing, 1);
    view.Take();
    doc.OnFpsChanged();
    EXPECT_EQ(view.Take(), (Hints{119}));

    // Key commands do nothing without a selection.
    scene.m_selected = kNoModel;
    doc.OnAddKey(true);
    doc.OnKeyFrameDialog(5, 0);
    EXPECT_TRUE(view.Take().empty());
}

TEST_F(Document, KeyFrameDialogChoices)
{
    Load(1);
    t.m_current = 4;
    scene.SetPosition(t, {8, 0, 0});
    doc.OnKeyFrameDialog(20, 0);
    EXPECT_EQ(Pose(1, 20).m_key, 1);
    EXPECT_EQ(Pose(1, 20).m_position, CVector(8, 0, 0));
    EXPECT_EQ(Pose(0, 20).m_key, 0);
    doc.OnKeyFrameDialog(30, 1);
    for (int m = 0; m < 3; ++m) EXPECT_EQ(Pose(m, 30).m_key, 1);
    doc.OnKeyFrameDialog(30, 2);
    EXPECT_EQ(Pose(1, 30).m_key, 0);
    EXPECT_EQ(Pose(0, 30).m_key, 1);
    doc.OnKeyFrameDialog(30, 3);
    EXPECT_EQ(Pose(0, 30).m_key, 0);
    EXPECT_EQ(Pose(1, 10).m_position.m_x, 4.0f) << "recomputed: between 0 and 8 at frames 0 and 20";
}

TEST_F(Document, FrameRangeCommands)
{
    Load(0);
    t.m_current = 10;
    doc.OnAddKey(false);
    const std::vector<CAnimation> before = scene.m_models[0].m_frames;
    t.m_current = 12;
    EXPECT_EQ(doc.OnInsertFrames(12, 0), "");
    EXPECT_EQ(view.Take(), (Hints{112, 114}));
    EXPECT_EQ(scene.m_models[0].m_frames, before) << "a count of 0 changes no pose";
    EXPECT_EQ(t.m_current, 0);
    EXPECT_EQ(scene.m_undo.Size(), 1u) << "only the key: inserting nothing is no step";

    EXPECT_EQ(doc.OnInsertFrames(61, 1), "フレーム番号が範囲外です！");
    EXPECT_EQ(doc.OnDeleteFrames(5, 3), "フレーム番号が範囲外です！");
    EXPECT_TRUE(view.Take().empty());
    EXPECT_EQ(doc.OnDeleteFrames(0, 59), "");
    EXPECT_EQ(t.m_last, 0);
}

// Three drags at frame 5, three undos and three redos.
TEST_F(Document, DragsUndoAndRedo)
{
    Load(2);
    t.m_current = 5;
    Drag({1, 0, 0});
    Drag({1, 0, 0});
    Drag({1, 0, 0});
    EXPECT_EQ(Pose(2, 5).m_position.m_x, 3.0f);
    EXPECT_EQ(scene.m_undo.Size(), 3u);
    scene.m_selected = kNoModel;
    for (int i = 0; i < 3; ++i) doc.OnEditUndo();
    EXPECT_EQ(Pose(2, 5).m_position.m_x, 0.0f);
    EXPECT_EQ(scene.m_selected, 2) << "undo selects the model it restores";
    EXPECT_EQ(view.Take(), (Hints{105, 105, 105}));
    EXPECT_FALSE(doc.GetState(ID_EDIT_UNDO).enabled);
    doc.OnEditUndo();  // disabled: nothing happens
    EXPECT_TRUE(view.Take().empty());
    for (int i = 0; i < 3; ++i) doc.OnEditRedo();
    EXPECT_EQ(Pose(2, 5).m_position.m_x, 3.0f);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(Document, UndoAfterMovingToAnotherFrame)
{
    Load(1);
    t.m_current = 5;
    Drag({4, 0, 0});
    t.m_current = 9;
    Pose(1, 9).m_position = {9, 9, 9};
    doc.OnEditUndo();
    EXPECT_EQ(t.m_current, 5) << "undo jumps to the recorded frame";
    EXPECT_EQ(Pose(1, 5).m_position, CVector(0, 0, 0));
    ASSERT_EQ(scene.m_redo.Size(), 1u);
    const auto* redo = dynamic_cast<const PoseRecord*>(scene.m_redo.At(0).record.get());
    ASSERT_NE(redo, nullptr);
    EXPECT_EQ(redo->Frame(), 5) << "the redo record holds the pose the undo replaced";
    EXPECT_EQ(redo->Pose().m_position, CVector(4, 0, 0));
    EXPECT_EQ(Pose(1, 9).m_position, CVector(9, 9, 9)) << "the frame that was current is left alone";
    // A new record after an undo makes redo unavailable.
    Drag({1, 0, 0});
    EXPECT_FALSE(doc.GetState(ID_EDIT_REDO).enabled);
}

// Undos over poses at two frames, then redos: each redo brings back what
// its undo took, wherever the current frame was.
TEST_F(Document, RedoRestoresEveryFrameOfAChain)
{
    Load(1);
    t.m_current = 5;
    Drag({4, 0, 0});
    t.m_current = 9;
    Drag({0, 9, 0});
    doc.OnEditUndo();
    doc.OnEditUndo();
    EXPECT_EQ(Pose(1, 5).m_position, CVector(0, 0, 0));
    EXPECT_EQ(Pose(1, 9).m_position, CVector(0, 0, 0));
    doc.OnEditRedo();
    doc.OnEditRedo();
    EXPECT_EQ(Pose(1, 5).m_position, CVector(4, 0, 0));
    EXPECT_EQ(Pose(1, 9).m_position, CVector(0, 9, 0));
    EXPECT_EQ(t.m_current, 9);
}

TEST_F(Document, AllModelKeysUndoInOneStep)
{
    ASSERT_TRUE(doc.OnOpenDocument(mqo).ok);
    test::WriteFile(dir.File("one.mqo"), test::Mqo(test::MqoObject("d", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)")));
    ASSERT_TRUE(doc.OnOpenDocument(dir.File("one.mqo")).ok);
    scene.m_selected = 2;
    t.m_current = 8;
    doc.OnAddKey(true);
    EXPECT_EQ(scene.m_undo.Size(), 1u);
    scene.m_selected = kNoModel;
    t.m_current = 3;
    doc.OnEditUndo();
    for (int m = 0; m < 4; ++m) EXPECT_EQ(Pose(m, 8).m_key, 0);
    EXPECT_EQ(scene.m_selected, 2) << "the selection of the edit comes back";
    EXPECT_EQ(t.m_current, 8) << "and its frame";
    EXPECT_FALSE(doc.GetState(ID_EDIT_UNDO).enabled);
}

TEST_F(Document, UndoRestoresTheParentLinkWholly)
{
    Load(1);
    ASSERT_TRUE(doc.CanReparent(1, 0));
    view.Take();
    ASSERT_TRUE(doc.Reparent(1, 0, false));
    EXPECT_EQ(view.Take(), (Hints{104}));
    EXPECT_EQ(scene.m_models[1].m_parentName, "a");
    EXPECT_EQ(scene.m_undo.Size(), 1u);
    EXPECT_EQ(scene.m_selected, kNoModel) << "the tree clears the selection";
    const std::vector<WalkEntry> nested = {{0, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 0}, {1, 2}, {2, 2}, {3, 2}};
    EXPECT_EQ(scene.m_hierarchyWalk, nested);
    doc.OnEditUndo();
    EXPECT_EQ(scene.m_models[1].m_parent, kNoModel);
    EXPECT_EQ(scene.m_models[1].m_parentName, "<NULL>") << "the name follows the restored index";
    const std::vector<WalkEntry> flat = {{0, 0}, {1, 0}, {2, 0}, {1, 1}, {2, 1}, {1, 2}, {2, 2}, {3, 2}};
    EXPECT_EQ(scene.m_hierarchyWalk, flat) << "walk rebuilt after the undo";
    scene.ResolveParents();
    EXPECT_EQ(scene.m_models[1].m_parent, kNoModel);
}

TEST_F(Document, ReparentRules)
{
    Load(0);
    ASSERT_TRUE(doc.Reparent(1, 0, false));
    ASSERT_TRUE(doc.Reparent(2, 1, false));
    EXPECT_FALSE(doc.CanReparent(0, 2)) << "not under its own descendant";
    EXPECT_FALSE(doc.CanReparent(0, 0));
    EXPECT_TRUE(doc.CanReparent(2, kNoModel));
    view.Take();
    scene.m_selected = 0;
    const std::size_t records = scene.m_undo.Size();
    EXPECT_FALSE(doc.Reparent(0, 2, false));
    EXPECT_TRUE(view.Take().empty());
    EXPECT_EQ(scene.m_undo.Size(), records) << "a refused drop records nothing";
    // A Ctrl drop notifies and counts as an edit, but changes no link and
    // so leaves nothing to undo.
    scene.m_selected = 2;
    doc.SetModified(false);
    EXPECT_TRUE(doc.Reparent(2, kNoModel, true));
    EXPECT_EQ(scene.m_models[2].m_parent, 1);
    EXPECT_EQ(scene.m_undo.Size(), records);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.Reparent(2, kNoModel, false));
    EXPECT_EQ(scene.m_models[2].m_parentName, "<NULL>");
}

TEST_F(Document, RenameKeepsUndoAndParentLinks)
{
    Load(0);
    ASSERT_TRUE(doc.Reparent(1, 0, false));
    scene.m_selected = 0;
    t.m_current = 3;
    Drag({5, 0, 0});
    ASSERT_TRUE(doc.RenameSelected("root"));
    EXPECT_EQ(scene.m_models[1].m_parentName, "root");
    EXPECT_FALSE(doc.RenameSelected(""));
    doc.OnEditUndo();
    EXPECT_EQ(scene.m_models[0].m_name, "a");
    EXPECT_EQ(scene.m_models[1].m_parentName, "a") << "the child follows the name back";
    doc.OnEditUndo();
    EXPECT_EQ(Pose(0, 3).m_position.m_x, 0.0f) << "the pose record finds its model under the old name";
    EXPECT_EQ(scene.m_selected, 0);
}

// Two models of one name: pose records still land on the model they were
// taken from.
TEST_F(Document, SharedNamesKeepTheirOwnRecords)
{
    Load(2);
    ASSERT_TRUE(doc.RenameSelected("a"));  // model 0 is called "a" too
    t.m_current = 5;
    Drag({1, 2, 3});
    EXPECT_TRUE(doc.GetState(ID_EDIT_UNDO).enabled);
    doc.OnEditUndo();
    EXPECT_EQ(Pose(2, 5).m_position, CVector(0, 0, 0));
    EXPECT_EQ(scene.m_selected, 2);
    doc.OnEditRedo();
    EXPECT_EQ(Pose(2, 5).m_position, CVector(1, 2, 3));
    EXPECT_EQ(Pose(0, 5).m_position, CVector(0, 0, 0));
}

TEST_F(Document, UndoNeverClosesAParentCycle)
{
    Load(1);
    ASSERT_TRUE(doc.Reparent(1, 0, false));
    // A record that says model 0 hung under model 1 (taken before the lists
    // changed): restoring it would make 0 and 1 each other's parent.
    scene.PushRecord(std::make_unique<PoseRecord>("a", 1, 3, CAnimation{}));
    doc.OnEditUndo();
    EXPECT_EQ(scene.m_models[0].m_parent, kNoModel);
    EXPECT_EQ(t.m_current, 3) << "the pose is still restored";
}

TEST_F(Document, RecordsOfVanishedModelsAreDropped)
{
    Load(0);
    t.m_current = 2;
    Drag({1, 0, 0});
    scene.m_selected = 1;
    Drag({2, 0, 0});
    scene.m_models[1].m_name = "gone";  // renamed behind the history's back
    doc.OnEditUndo();
    EXPECT_EQ(scene.m_selected, 0) << "the stale record was skipped, the next applied";
    EXPECT_EQ(Pose(0, 2).m_position.m_x, 0.0f);
    EXPECT_EQ(Pose(1, 2).m_position.m_x, 2.0f);
    EXPECT_TRUE(scene.m_undo.Empty());
}

TEST_F(Document, AnimationClipboard)
{
    Load(kNoModel);
    EXPECT_EQ(doc.OnCopyAnimation(), "モデルを選択してください！");
    EXPECT_EQ(doc.OnPasteAnimation(), "モデルを選択してください！");
    scene.m_selected = 0;
    t.m_current = 40;
    scene.SetPosition(t, {4, 0, 0});
    doc.OnAddKey(false);
    view.Take();
    EXPECT_EQ(doc.OnCopyAnimation(), "");
    ASSERT_EQ(scene.m_animClipboard.size(), 61u);

    // Into a shorter list: only frames 0..30 change.
    scene.m_models[1].m_frames.resize(31);
    scene.m_models[1].m_frames[30].m_position = {7, 7, 7};
    scene.m_selected = 1;
    t.m_current = 1;
    scene.PushUndoForSelection(t);
    EXPECT_EQ(doc.OnPasteAnimation(), "");
    EXPECT_TRUE(view.Take().empty()) << "copy and paste send no hint; the main frame repaints";
    EXPECT_EQ(scene.m_models[1].m_frames.size(), 31u);
    EXPECT_EQ(Pose(1, 30).m_position, Pose(0, 30).m_position);
    ASSERT_NE(dynamic_cast<const PasteAnimationRecord*>(scene.m_undo.Top().record.get()), nullptr);
    EXPECT_EQ(t.m_current, 1) << "paste does not rewind";
    doc.OnEditUndo();
    EXPECT_EQ(Pose(1, 30).m_position, CVector(7, 7, 7)) << "the paste is undone";
    doc.OnEditRedo();
    EXPECT_EQ(Pose(1, 30).m_position, Pose(0, 30).m_position);
    scene.m_models[1].ResizeFrames(60, 31);

    // A 31-frame clipboard into a 61-frame model leaves frames 31..60.
    scene.m_animClipboard.resize(31);
    scene.m_selected = 2;
    Pose(2, 45).m_position = {1, 2, 3};
    doc.OnPasteAnimation();
    EXPECT_EQ(Pose(2, 45).m_position, CVector(1, 2, 3));
    EXPECT_EQ(Pose(2, 30).m_position, Pose(0, 30).m_position);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(Document, ControlBarFieldsEditThePose)
{
    Load(1);
    t.m_current = 6;
    doc.OnModeRotate();
    controls.m_vectorField = {10, 20, 30};
    doc.OnVectorEditLeft();
    EXPECT_EQ(Pose(1, 6).m_rotation, CVector(10, 20, 30));
    EXPECT_EQ(scene.m_undo.Size(), 1u);
    doc.OnModeScale();
    scene.m_selected = kNoModel;
    controls.m_vectorField = {3, 3, 3};
    doc.OnVectorEditLeft();
    EXPECT_EQ(scene.m_camera[0].m_scale, CVector(1, 1, 1)) << "scale without a selection does nothing";
    doc.OnModeMove();
    doc.SetModified(false);
    doc.OnVectorEditLeft();
    EXPECT_EQ(scene.m_camera[0].m_position, CVector(3, 3, 3));
    EXPECT_FALSE(doc.IsModified()) << "typed camera values are a view change";
    EXPECT_EQ(scene.m_undo.Size(), 1u) << "no record without a selection";

    controls.m_currentFrameField = 500;
    doc.OnCurrentFrameEditLeft();
    EXPECT_EQ(t.m_current, 60) << "clamped as the slider clamps";
    controls.m_lastFrameField = 30;
    doc.OnLastFrameEditLeft();
    EXPECT_EQ(t.m_last, 30);
    EXPECT_EQ(scene.m_models[0].m_frames.size(), 31u);
    controls.m_fpsField = "-4";
    doc.OnFpsChanged();
    EXPECT_EQ(t.m_fps, 30.0f);
    controls.m_fpsField = "24";
    doc.OnFpsChanged();
    EXPECT_EQ(t.m_fps, 24.0f);
}

TEST_F(Document, DamagedDocumentsReportEveryWarningOnOneLine)
{
    // Two objects whose vertex blocks announce more vertices than they hold.
    std::string text = test::kThreeModels;
    for (std::size_t at = 0, n = 0; n < 2; ++n) {
        at = text.find("vertex 3 {", at);
        text.replace(at, 10, "vertex 4 {");
    }
    test::WriteFile(mqo, text);
    const DocResult r = doc.OnOpenDocument(mqo);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.message.empty());
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_EQ(r.warnings[0], "line 4: the vertex block of object \"a\" announces 4 but 3 were read");
    EXPECT_EQ(r.WarningSummary(), "警告 2 件: " + r.warnings[0] + " / " + r.warnings[1]);
    EXPECT_EQ(DocResult{}.WarningSummary(), "");
    DocResult one;
    one.warnings = {"only"};
    EXPECT_EQ(one.WarningSummary(), "only");
}

TEST_F(Document, TreeCommands)
{
    Load(kNoModel);
    doc.ClickTreeItem(1);
    EXPECT_EQ(scene.m_selected, 1);
    EXPECT_EQ(doc.m_mouseTarget, 1);
    EXPECT_EQ(view.Take(), (Hints{111, 111}));
    doc.ToggleVisibility(1);
    EXPECT_EQ(scene.m_selected, kNoModel);
    EXPECT_EQ(scene.m_models[1].m_visible, 0);
    doc.ClickTreeItem(1);
    EXPECT_EQ(scene.m_selected, kNoModel) << "a hidden model is not selected by a click";
    doc.ToggleVisibility(1);
    EXPECT_EQ(scene.m_selected, 1) << "showing selects it";
    doc.ClickTreeItem(kNoModel);
    EXPECT_EQ(doc.m_mouseTarget, 0);
    EXPECT_EQ(scene.m_selected, kNoModel);
    doc.RightClickTreeItem(2);
    EXPECT_EQ(scene.m_selected, 2);
    view.Take();
    doc.DeleteSelectedModel();
    EXPECT_EQ(view.Take(), (Hints{103}));
    EXPECT_EQ(scene.m_models.size(), 2u);
    doc.DeleteSelectedModel();  // nothing selected any more
    EXPECT_TRUE(view.Take().empty());

    scene.m_selected = 0;
    const DocResult r = doc.AddModels(mqo);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(scene.m_models.size(), 5u);
    EXPECT_EQ(scene.m_models[4].m_parentName, "a");
    EXPECT_EQ(scene.m_models[4].m_parent, 0);
    EXPECT_FALSE(doc.AddModels(dir.File("missing.mqo")).ok);
}

}  // namespace
}  // namespace kinovela
