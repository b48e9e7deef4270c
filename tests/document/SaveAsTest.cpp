#include <gtest/gtest.h>

#include <filesystem>

#include "TestUtil.h"
#include "document/ExportDispatch.h"
#include "document/HeadlessViews.h"

namespace kinovela {
namespace {

class FakeUi final : public IExportUi {
public:
    std::optional<std::string> ChooseSavePath() override { return path; }
    bool EditOptions(ExportOptions& options, const std::string& title) override
    {
        titles.push_back(title);
        seen = options;
        if (edit) edit(options);
        return ok;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }

    std::optional<std::string> path;
    bool ok = true;
    std::function<void(ExportOptions&)> edit;
    ExportOptions seen;
    std::vector<std::string> titles;
    std::vector<std::string> messages;
};

class RecordingView final : public IKinoView {
public:
    void OnUpdate(int hint) override { hints.push_back(hint); }
    std::vector<int> hints;
};

class SaveAs : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.AddView(&view);
        doc.SetSaveAsHandler(&dispatcher);
        doc.OnNewDocument();
        ASSERT_TRUE(test::ImportText(scene, t, test::Mqo(test::MqoObject("m", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"))).ok);
        view.hints.clear();
    }
    test::TempDir dir;
    CKinovela scene;
    CTimeline t;
    CKinoDoc doc{scene, t};
    RecordingView view;
    ExportOptionsTable table;
    FakeUi ui;
    SaveAsDispatcher dispatcher{table, ui};
};

TEST(ExportOptionsTable, DefaultsAndOrder)
{
    ExportOptionsTable table;
    std::vector<std::string> order;
    for (const ExportOptions& r : table.Records()) order.push_back(r.extension);
    EXPECT_EQ(order, (std::vector<std::string>{"w3d", "x", "k3d", "wrl", "mx", "mqs", "h", "gltf"}));
    const ExportOptions& x = *table.Find("X");
    EXPECT_EQ(x.speed, 150);
    EXPECT_EQ(x.scale, 0.01f);
    EXPECT_EQ(x.coordinateSystem, 0);
    EXPECT_EQ(x.normals, 1);
    EXPECT_EQ(x.normalsAvailability, -1) << "checked and disabled";
    EXPECT_EQ(x.lightAvailability, -1);
    for (const char* only : {"k3d", "mqs"}) {
        const ExportOptions& r = *table.Find(only);
        EXPECT_TRUE(r.KeyTypeAllowed(1)) << only;
        EXPECT_FALSE(r.KeyTypeAllowed(0)) << only;
        EXPECT_FALSE(r.KeyTypeAllowed(2)) << only;
    }
    EXPECT_FALSE(table.Find("wrl")->KeyTypeAllowed(1));
    EXPECT_TRUE(table.Find("x")->KeyTypeAllowed(2));
    EXPECT_EQ(table.Find("mx")->scale, 0.04f);
    EXPECT_EQ(table.Find("mqo"), nullptr);
    EXPECT_EQ(table.Find("GLB"), table.Find("gltf")) << "one format, binary or not";
    EXPECT_EQ(table.Find("x")->everyFrameAvailability, -2) << "only glTF offers the choice";
}

TEST_F(SaveAs, ExportsWithTheFormatsOptionsAndKeepsThem)
{
    ui.path = dir.File("out.X");
    ui.edit = [](ExportOptions& o) { o.scale = 2.0f; };
    const DocResult r = doc.OnFileSave();
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(view.hints, (std::vector<int>{115}));
    ASSERT_EQ(ui.titles, (std::vector<std::string>{"DirectXフォーマットで保存"}));
    EXPECT_EQ(ui.seen.speed, 150);
    EXPECT_TRUE(std::filesystem::exists(dir.File("out.X")));
    EXPECT_TRUE(doc.IsModified()) << "an export never clears the modified mark";
    EXPECT_EQ(table.Find("x")->scale, 2.0f) << "the next export starts from the last choice";

    // Cancel in the options dialog writes nothing and keeps the record.
    ui.path = dir.File("second.x");
    ui.ok = false;
    ui.edit = [](ExportOptions& o) { o.scale = 9.0f; };
    doc.OnFileSave();
    EXPECT_FALSE(std::filesystem::exists(dir.File("second.x")));
}

TEST_F(SaveAs, GltfAndGlbShareTheirChoicesButAGlbAlwaysEmbeds)
{
    ui.path = dir.File("out.glb");
    ui.edit = [](ExportOptions& o) {
        o.everyFrame = 1;
        o.embedTextures = 0;  // cannot happen in the dialog, where the box is fixed
    };
    EXPECT_TRUE(doc.OnFileSave().ok);
    ASSERT_EQ(ui.titles, (std::vector<std::string>{"glTF 2.0フォーマットで保存"}));
    EXPECT_EQ(ui.seen.embedTextures, 1);
    EXPECT_EQ(ui.seen.embedTexturesAvailability, -1);
    EXPECT_TRUE(std::filesystem::exists(dir.File("out.glb")));
    const ExportOptions& record = *table.Find("gltf");
    EXPECT_EQ(record.everyFrame, 1);
    EXPECT_EQ(record.embedTextures, 0);
    EXPECT_EQ(record.embedTexturesAvailability, 0);

    ui.path = dir.File("out.gltf");
    ui.edit = nullptr;
    EXPECT_TRUE(doc.OnFileSave().ok);
    EXPECT_EQ(ui.seen.everyFrame, 1) << "the .glb's choice carries over";
    EXPECT_EQ(ui.seen.embedTexturesAvailability, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.File("out.bin")));
}

TEST_F(SaveAs, NativeSaveAndNamesThatSelectNothing)
{
    ui.path = dir.File("scene.kvl");
    doc.SetModified(true);
    EXPECT_TRUE(doc.OnFileSave().ok);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.PathName(), dir.File("scene.kvl"));
    EXPECT_TRUE(ui.titles.empty()) << "no options dialog for the native file";

    doc.SetModified(false);
    ui.path = dir.File("model.mqo");
    EXPECT_TRUE(dispatcher.SaveAs(doc).ok);
    EXPECT_FALSE(std::filesystem::exists(dir.File("model.mqo")));
    EXPECT_TRUE(doc.IsModified());

    doc.SetModified(false);
    ui.path.reset();  // the save dialog was cancelled
    dispatcher.SaveAs(doc);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(SaveAs, AnExportReportsToTheDocumentsProgress)
{
    std::vector<std::uint64_t> done;
    std::uint64_t total = 0;
    doc.m_progress = [&](std::uint64_t d, std::uint64_t n) {
        done.push_back(d);
        total = n;
    };
    ui.path = dir.File("out.wrl");
    EXPECT_TRUE(doc.OnFileSave().ok);
    ASSERT_FALSE(done.empty());
    EXPECT_GT(total, 0u);
    EXPECT_EQ(done.back(), total);

    // A progress the dispatcher was given takes its place.
    std::size_t own = 0;
    dispatcher.m_context.progress = [&](std::uint64_t, std::uint64_t) { ++own; };
    done.clear();
    EXPECT_TRUE(doc.OnFileSave().ok);
    EXPECT_GT(own, 0u);
    EXPECT_TRUE(done.empty());
}

TEST_F(SaveAs, AFailingWriterShowsItsMessage)
{
    ui.path = dir.File("no/such/folder/out.mqs");
    const DocResult r = dispatcher.SaveAs(doc);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.shown) << "the caller must not show it a second time";
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"RayTrans Libraryファイルへの書き出しに失敗しました。"}));
    ui.messages.clear();
    ui.path = dir.File("no/such/folder/out.h");
    dispatcher.SaveAs(doc);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"Hフォーマットで保存"}));
}

}  // namespace
}  // namespace kinovela
