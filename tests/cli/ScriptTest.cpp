#include "cli/Script.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "scene/NativeFile.h"

namespace kinovela::cli {
namespace {

class Script : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::WriteFile(dir.File("arm.mqo"),
                        test::Mqo(test::MqoObject("base", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)") +
                                  test::MqoObject("\x8E\xE8\x8E\xF1", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)")));
    }
    ScriptResult Run(const std::string& text, const std::string& out = {})
    {
        return RunScript(text, "test.kvs", out, dir.Path().string());
    }
    // Reads back the first file the script saved.
    bool Saved(const ScriptResult& r, CKinovela& scene, CTimeline& t)
    {
        return !r.files.empty() && ReadNativeData(r.files[0].second, "saved.kvl", scene, t).ok;
    }
    test::TempDir dir;
};

TEST_F(Script, AnimatesAndSaves)
{
    const ScriptResult r = Run(
        "\xEF\xBB\xBF# comment with a \"quote\n"
        "open arm.mqo\n"
        "  \n"
        "select 手首\n"
        "parent base\n"
        "select #1\n"
        "frame 30\n"
        "mode rotate\n"
        "set 0 0 90\n"
        "key add\n"
        "frame 15\n"
        "mode move\n"
        "nudge 5 0 0\n"
        "fps 24\n"
        "save out.kvl\n"
        "print --json\n");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.files.size(), 1u);
    EXPECT_EQ(r.files[0].first, dir.File("out.kvl")) << "relative to the script's folder";
    CKinovela s;
    CTimeline t;
    ASSERT_TRUE(Saved(r, s, t));
    EXPECT_EQ(t.m_fps, 24.0f);
    const CModel& wrist = s.m_models[1];
    EXPECT_EQ(wrist.m_parent, 0);
    EXPECT_EQ(wrist.m_frames[30].m_key, 1);
    EXPECT_EQ(wrist.m_frames[30].m_rotation, CVector(0, 0, 90));
    EXPECT_EQ(wrist.m_frames[15].m_rotation, CVector(0, 0, 45));
    EXPECT_EQ(wrist.m_frames[15].m_position, CVector(5, 0, 0));
    EXPECT_NE(r.output.find("\"name\":\"手首\""), std::string::npos);
}

TEST_F(Script, UndoRedoAndOutFile)
{
    const ScriptResult r = Run(
        "open arm.mqo\n"
        "select base\n"
        "frame 5\n"
        "set 1 2 3\n"
        "set 4 5 6\n"
        "undo\n",
        dir.File("final.kvl"));
    ASSERT_TRUE(r.ok) << r.error;
    CKinovela s;
    CTimeline t;
    ASSERT_TRUE(Saved(r, s, t));
    EXPECT_EQ(s.m_models[0].m_frames[5].m_position, CVector(1, 2, 3));
}

TEST_F(Script, ABadLineStopsEverythingAndWritesNothing)
{
    struct Case {
        const char* line;
        const char* reason;
    };
    for (const Case& c : {
             Case{"frobnicate", "unknown command: frobnicate"},
             Case{"frame x", "the frame must be a whole number: x"},
             Case{"set 1 2", "usage: set X Y Z"},
             Case{"select nobody", "no model is named \"nobody\""},
             Case{"select #9", "no model #9"},
             Case{"key add", "モデルを選択してください！"},
             Case{"insert-frames 99 1", "フレーム番号が範囲外です！"},
             Case{"undo", "nothing to undo"},
             Case{"open missing.kvl", "missing.kvl"},
             Case{"open notes.txt", "open reads .kvl and .mqo files"},
             Case{"save out.obj", "save writes Kinovela scenes"},
             Case{"last-frame -1", "the last frame must lie in"},
             Case{"select \"base", "unterminated quote"},
             Case{"fps 1e39", "the frame rate is too large"},
             Case{"set nan 0 0", "X is too large"},
             Case{"save no/such/folder/x.kvl", "cannot save in"},
         }) {
        const ScriptResult r = Run(std::string("open arm.mqo\nsave first.kvl\nprint\n") + c.line + "\nsave later.kvl\n");
        EXPECT_FALSE(r.ok) << c.line;
        EXPECT_EQ(r.error.rfind("test.kvs:4: ", 0), 0u) << r.error;
        EXPECT_NE(r.error.find(c.reason), std::string::npos) << r.error;
        EXPECT_TRUE(r.files.empty());
        EXPECT_TRUE(r.output.empty());
    }
}

TEST_F(Script, FrameRateIsHeldToItsRange)
{
    struct Case {
        const char* value;
        float fps;
    };
    for (const Case& c : {Case{"1e-45", 0.01f}, Case{"0.001", 0.01f}, Case{"1e20", 1000.0f}, Case{"1000.5", 1000.0f},
                          Case{"0", 30.0f}, Case{"-3", 30.0f}, Case{"0.5", 0.5f}}) {
        const ScriptResult r = Run(std::string("open arm.mqo\nfps ") + c.value + "\nexport a.wrl\nsave out.kvl\n");
        ASSERT_TRUE(r.ok) << r.error;
        CKinovela s;
        CTimeline t;
        ASSERT_TRUE(Saved(r, s, t));
        EXPECT_EQ(t.m_fps, c.fps) << c.value;
        ASSERT_EQ(r.exports.size(), 1u);
        EXPECT_EQ(r.exports[0].timeline.m_fps, c.fps) << c.value;
    }
}

TEST_F(Script, ErrorsEchoControlCharactersEscaped)
{
    const ScriptResult r = Run("select \"a\x1b[2J\tb\x01\x7f\"\n");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "test.kvs:1: no model is named \"a\\x1b[2J\\tb\\x01\\x7f\"");
    const ScriptResult u = Run("\x1b]0;title\x07\n");
    EXPECT_EQ(u.error, "test.kvs:1: unknown command: \\x1b]0;title\\x07");
}

TEST_F(Script, OpenErrorsAreReadable)
{
    const std::string bad = dir.File("手.kvl");
    test::WriteFile(bad, "\x0BVersion 6.6");
    const ScriptResult r = Run("open 手.kvl\n");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.rfind("test.kvs:1: " + bad + " の末尾以降にアクセスしようとしました。", 0), 0u) << r.error;
}

TEST_F(Script, NudgeFollowsTheMouseTarget)
{
    const ScriptResult r = Run("open arm.mqo\nselect base\ntarget camera\nnudge 0 0 100\ntarget model\nnudge 1 0 0\n",
                               dir.File("n.kvl"));
    ASSERT_TRUE(r.ok) << r.error;
    CKinovela s;
    CTimeline t;
    ASSERT_TRUE(Saved(r, s, t));
    EXPECT_EQ(s.m_camera[0].m_position, CVector(0, 0, -1900));
    EXPECT_EQ(s.m_models[0].m_frames[0].m_position, CVector(1, 0, 0));

    // A nudge whose sum would not be finite is refused, on a model and on
    // the camera, as a typed value that is not is.
    for (const char* target : {"model", "camera"}) {
        const ScriptResult big = Run(std::string("open arm.mqo\nselect base\ntarget ") + target +
                                     "\nnudge 3e38 0 0\nnudge 3e38 0 0\n");
        EXPECT_FALSE(big.ok) << target;
        EXPECT_NE(big.error.find("test.kvs:5: the nudge would take the values past the largest number"),
                  std::string::npos)
            << big.error;
    }
}

TEST_F(Script, HierarchyCommands)
{
    ScriptResult r = Run("open arm.mqo\nselect base\nparent 手首\nselect 手首\nparent base\n");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("test.kvs:5: a model cannot go under itself"), std::string::npos) << r.error;

    r = Run("open arm.mqo\nselect base\nrename \xFF\xFE\n");
    EXPECT_NE(r.error.find("test.kvs:3: the name is not UTF-8 text"), std::string::npos) << r.error;

    r = Run("open arm.mqo\nselect base\nhide\nselect base\nrename root\nshow\nselect 手首\ndelete-model\nsave s.kvl\n");
    ASSERT_TRUE(r.ok) << r.error;
    CKinovela s;
    CTimeline t;
    ASSERT_TRUE(Saved(r, s, t));
    ASSERT_EQ(s.m_models.size(), 1u);
    EXPECT_EQ(s.m_models[0].m_name, "root");
    EXPECT_EQ(s.m_models[0].m_visible, 1);
}

TEST_F(Script, FrameCommands)
{
    const ScriptResult r = Run(
        "open arm.mqo\n"
        "select base\n"
        "last-frame 20\n"
        "frame 99\n"
        "key add\n"
        "insert-frames 5 10\n"
        "delete-frames 1 2\n"
        "select base\n"
        "last\n"
        "prev-key\n"
        "smooth off\n"
        "play\n"
        "save s.kvl\n");
    ASSERT_TRUE(r.ok) << r.error;
    CKinovela s;
    CTimeline t;
    ASSERT_TRUE(Saved(r, s, t));
    EXPECT_EQ(t.m_last, 28);
    EXPECT_EQ(s.m_smooth, 0);
    EXPECT_EQ(s.m_models[0].m_frames[28].m_key, 1) << "frame 99 was clamped to 20, then moved by 10 - 2";
}

// Each editing command followed by undo gives the scene before it, and redo
// the scene after it, as saved files byte for byte.
TEST_F(Script, EveryEditUndoesAndRedoes)
{
    struct Case {
        const char* setup;
        const char* edit;
    };
    for (const Case& c : {
             Case{"", "rename root"},
             Case{"", "delete-model"},
             Case{"", "parent 手首"},
             Case{"", "hide"},
             Case{"hide\nselect base", "show"},
             Case{"", "key add 10"},
             Case{"key add all 10", "key delete all 10"},
             Case{"frame 10\nset 5 0 0\nkey add", "insert-frames 5 3"},
             Case{"frame 10\nset 5 0 0\nkey add", "delete-frames 2 4"},
             Case{"frame 50\nkey add", "last-frame 20"},
             Case{"", "last-frame 200"},
             Case{"", "fps 12"},
             Case{"select 手首\nframe 10\nset 1 2 3\nkey add\ncopy-animation\nselect base", "paste-animation"},
             Case{"", "add-model arm.mqo"},
             Case{"", "smooth off"},
             Case{"frame 7\nauto-key on", "set 1 2 3"},
             Case{"frame 7\nauto-key on\ntarget model", "nudge 0 4 0"},
         }) {
        SCOPED_TRACE(c.edit);
        const ScriptResult r = Run(std::string("open arm.mqo\nselect base\n") + c.setup +
                                   "\nsave a.kvl\n" + c.edit + "\nsave b.kvl\nundo\nsave c.kvl\nredo\nsave d.kvl\n");
        ASSERT_TRUE(r.ok) << r.error;
        ASSERT_EQ(r.files.size(), 4u);
        EXPECT_NE(r.files[0].second, r.files[1].second) << "the edit changed the scene";
        EXPECT_TRUE(r.files[2].second == r.files[0].second) << "undo gives the scene before";
        EXPECT_TRUE(r.files[3].second == r.files[1].second) << "redo gives the scene after";
    }
}

TEST_F(Script, AutoKeyAndFraming)
{
    ScriptResult r = Run("open arm.mqo\nselect base\nauto-key on\nframe 30\nset 9 0 0\nauto-key off\nframe 40\n"
                         "set 1 0 0\nframe-selected\nsave s.kvl\n");
    ASSERT_TRUE(r.ok) << r.error;
    CKinovela s;
    CTimeline t;
    ASSERT_TRUE(Saved(r, s, t));
    EXPECT_EQ(s.m_models[0].m_frames[30].m_key, 1) << "auto-key stored the typed pose";
    EXPECT_EQ(s.m_models[0].m_frames[15].m_position.m_x, 4.5f);
    EXPECT_EQ(s.m_models[0].m_frames[40].m_key, 0) << "not after auto-key off";
    EXPECT_NE(s.m_camera[0].m_position, CVector(0, 0, -2000)) << "framed";

    r = Run("open arm.mqo\nselect none\nframe-selected\n");
    EXPECT_NE(r.error.find("test.kvs:3: モデルを選択してください！"), std::string::npos) << r.error;
    r = Run("new\nframe-all\n");
    EXPECT_NE(r.error.find("test.kvs:2: there is no model with a vertex to frame"), std::string::npos) << r.error;
    r = Run("auto-key maybe\n");
    EXPECT_NE(r.error.find("usage: auto-key on|off"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace kinovela::cli
