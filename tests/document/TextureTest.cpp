// Textures whose pictures are missing: the names survive every open, save
// and reopen, and each open reports what it could not load in one message.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "TestUtil.h"
#include "common/Paths.h"
#include "document/ExportDispatch.h"
#include "document/HeadlessViews.h"
#include "document/KinoDoc.h"
#include "document/TextureCopies.h"
#include "image/DibStream.h"
#include "scene/NativeFile.h"

namespace kinovela {
namespace {

namespace fs = std::filesystem;

// Two materials share wall.png, one names face.bmp, one a picture in a
// subfolder; each material has a face.
const std::string kTextured = test::Mqo(
    "Material 4 {\n"
    "\t\"a\" col(1 1 1 1) tex(\"wall.png\")\n"
    "\t\"b\" col(1 0 0 1) tex(\"wall.png\")\n"
    "\t\"c\" col(0 1 0 1) tex(\"face.bmp\")\n"
    "\t\"d\" col(0 0 1 1) tex(\"sub\\deep.bmp\")\n"
    "}\n" +
    test::MqoObject("m", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(0)\n3 V(0 1 2) M(1)\n3 V(0 1 2) M(2)\n3 V(0 1 2) M(3)"));

class MissingTextures : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.AddView(&tree);
        doc.AddView(&controls);
        doc.OnNewDocument();
        fs::create_directories(dir.File("src"));
        fs::create_directories(dir.File("elsewhere"));
        mqo = dir.File("src/scene.mqo");
        test::WriteFile(mqo, kTextured);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const CMaterial& m : scene.m_materials) names.push_back(m.m_texture);
        return names;
    }
    static void WritePicture(const std::string& path)
    {
        DibStream picture;
        ASSERT_TRUE(picture.Create(2, 2, 24));
        std::memset(picture.Bits(), 0x40, picture.ImageSize());
        ASSERT_TRUE(picture.SaveBMP(path));
    }

    test::TempDir dir;
    std::string mqo;
    CKinovela scene;
    CTimeline t;
    CKinoDoc doc{scene, t};
    HeadlessTree tree{scene};
    HeadlessControls controls{doc};
    const std::vector<std::string> kNames{"wall.png", "wall.png", "face.bmp", "sub\\deep.bmp"};
};

TEST_F(MissingTextures, NamesOfMissingPicturesSurviveSaveAndReopen)
{
    ASSERT_TRUE(doc.OnOpenDocument(mqo).ok);
    EXPECT_EQ(Names(), kNames);
    for (const CMaterial& m : scene.m_materials) {
        EXPECT_EQ(m.m_image, nullptr);
        EXPECT_EQ(m.m_imagePath, "");
    }
    // Saved in another folder, opened there and saved again: the files are
    // the same to the byte and still name every texture.
    const std::string one = dir.File("elsewhere/one.kvl"), two = dir.File("elsewhere/two.kvl");
    ASSERT_TRUE(doc.OnSaveDocument(one).ok);
    ASSERT_TRUE(doc.OnOpenDocument(one).ok);
    EXPECT_EQ(Names(), kNames);
    ASSERT_TRUE(doc.OnSaveDocument(two).ok);
    EXPECT_EQ(test::ReadFile(one), test::ReadFile(two));
    CKinovela back;
    CTimeline bt;
    ASSERT_TRUE(ReadNativeFile(two, back, bt).ok);
    ASSERT_EQ(back.m_materials.size(), 4u);
    EXPECT_EQ(back.m_materials[3].m_texture, "sub\\deep.bmp");

    // Where the pictures are found later, the same names load them.
    fs::create_directories(dir.File("elsewhere/TEXTURE/sub"));
    WritePicture(dir.File("elsewhere/TEXTURE/sub/deep.bmp"));
    const DocResult r = doc.OnOpenDocument(two);
    ASSERT_NE(scene.m_materials[3].m_image, nullptr);
    EXPECT_EQ(scene.m_materials[3].m_imagePath, dir.File("elsewhere/TEXTURE/sub/deep.bmp"));
    EXPECT_EQ(r.missingTextures.find("deep.bmp"), std::string::npos) << r.missingTextures;
}

TEST_F(MissingTextures, EachOpenReportsItsMissingTexturesInOneMessage)
{
    // face.bmp is there but is no picture; wall.png is nowhere.
    test::WriteFile(dir.File("src/face.bmp"), "not a bitmap");
    doc.m_textureFolders = {dir.File("mine")};
    const DocResult r = doc.OnOpenDocument(mqo);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.warnings.empty());
    const std::string& m = r.missingTextures;
    EXPECT_EQ(m.rfind("ファイルが見つからないか、この画像ファイルには対応していません！\n\n", 0), 0u) << m;
    // Each name once, a file that cannot be decoded with its place, then
    // every folder in the order searched.
    const std::size_t wall = m.find("\n  wall.png\n"), face = m.find("\n  face.bmp (" + dir.File("src/face.bmp") + ")\n");
    ASSERT_NE(wall, std::string::npos) << m;
    EXPECT_EQ(m.find("wall.png", wall + 5), std::string::npos) << m;
    ASSERT_NE(face, std::string::npos) << m;
    EXPECT_LT(wall, face);
    EXPECT_NE(m.find("\n  sub\\deep.bmp\n"), std::string::npos) << m;
    const std::string folders = "\n探したフォルダ:\n  " + dir.File("mine") + "\n  " + ModuleDirectory() + "TEXTURE\n  " +
                                dir.File("src") + "\n  " + dir.File("src/TEXTURE");
    EXPECT_EQ(m.substr(m.size() - folders.size()), folders) << m;

    // Adding a second document reports what it brings, not the first one's
    // textures again; a document whose pictures are all there reports none.
    const std::string other = dir.File("elsewhere/other.mqo");
    test::WriteFile(other, test::Mqo("Material 1 {\n\t\"e\" tex(\"skin.bmp\")\n}\n" +
                                     test::MqoObject("n", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(0)")));
    DocResult added = doc.AddModels(other);
    EXPECT_NE(added.missingTextures.find("\n  skin.bmp\n"), std::string::npos) << added.missingTextures;
    EXPECT_EQ(added.missingTextures.find("wall.png"), std::string::npos) << added.missingTextures;
    WritePicture(dir.File("elsewhere/skin.bmp"));
    added = doc.AddModels(other);
    EXPECT_EQ(added.missingTextures, "");
}

TEST_F(MissingTextures, ALongListIsCutShortAndNewFoldersAreSearchedAgain)
{
    std::string materials = "Material 30 {\n";
    std::string faces;
    for (int i = 0; i < 30; ++i) {
        materials += "\t\"m" + std::to_string(i) + "\" tex(\"t" + std::to_string(i) + ".bmp\")\n";
        faces += "3 V(0 1 2) M(" + std::to_string(i) + ")\n";
    }
    test::WriteFile(mqo, test::Mqo(materials + "}\n" + test::MqoObject("m", "0 0 0\n1 0 0\n0 1 0", faces)));
    DocResult r = doc.OnOpenDocument(mqo);
    EXPECT_NE(r.missingTextures.find("\n  t19.bmp\n  ほか 10 個\n"), std::string::npos) << r.missingTextures;
    EXPECT_EQ(r.missingTextures.find("t20.bmp"), std::string::npos);

    // The pictures turn up in a folder the user adds to the search.
    fs::create_directories(dir.File("mine"));
    for (int i = 0; i < 29; ++i) WritePicture(dir.File("mine/t" + std::to_string(i) + ".bmp"));
    doc.m_textureFolders = {dir.File("mine")};
    r = doc.ReloadMissingTextures();
    EXPECT_NE(scene.m_materials[28].m_image, nullptr);
    EXPECT_EQ(scene.m_materials[29].m_image, nullptr);
    EXPECT_NE(r.missingTextures.find("\n  t29.bmp\n"), std::string::npos) << r.missingTextures;
    EXPECT_EQ(r.missingTextures.find("t28.bmp"), std::string::npos) << r.missingTextures;
}

class AnsweringUi final : public IExportUi {
public:
    std::optional<std::string> ChooseSavePath() override { return path; }
    bool EditOptions(ExportOptions&, const std::string&) override { return true; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& question) override
    {
        questions.push_back(question);
        return yes;
    }
    std::string path;
    bool yes = true;
    std::vector<std::string> messages, questions;
};

TEST_F(MissingTextures, SaveAsIntoAnotherFolderOffersToCopyThePictures)
{
    // sub\deep.bmp lies in the document's TEXTURE folder; face.bmp is
    // nowhere and cannot be copied.
    fs::create_directories(dir.File("src/TEXTURE/sub"));
    WritePicture(dir.File("src/TEXTURE/sub/deep.bmp"));
    test::WriteFile(mqo, test::Mqo("Material 2 {\n\t\"a\" tex(\"sub\\deep.bmp\")\n\t\"b\" tex(\"face.bmp\")\n}\n" +
                                   test::MqoObject("m", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(0)\n3 V(0 1 2) M(1)")));
    ASSERT_TRUE(doc.OnOpenDocument(mqo).ok);
    ASSERT_NE(scene.m_materials[0].m_image, nullptr);
    ExportOptionsTable table;
    AnsweringUi ui;
    SaveAsDispatcher dispatcher(table, ui);

    // The same folder finds them all, and a save that fails needs no
    // copies: no question.
    ui.path = dir.File("src/here.kvl");
    ASSERT_TRUE(dispatcher.SaveAs(doc).ok);
    ui.path = dir.File("no/such/folder.kvl");
    EXPECT_FALSE(dispatcher.SaveAs(doc).ok);
    EXPECT_TRUE(ui.questions.empty());

    // Another folder: asked once, naming what would be lost and where it
    // goes; the copies land where the reopened scene finds them.
    ui.path = dir.File("elsewhere/moved.kvl");
    ASSERT_TRUE(dispatcher.SaveAs(doc).ok);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0], std::string("次のテクスチャは保存先のフォルダからは見つからなくなります。\n\n  sub\\deep.bmp\n\n"
                                           "保存先の TEXTURE フォルダにコピーしますか?\n  ") +
                                   dir.File("elsewhere/TEXTURE"));
    EXPECT_EQ(test::ReadFile(dir.File("elsewhere/TEXTURE/sub/deep.bmp")), test::ReadFile(dir.File("src/TEXTURE/sub/deep.bmp")));
    EXPECT_TRUE(ui.messages.empty());
    const DocResult reopened = doc.OnOpenDocument(dir.File("elsewhere/moved.kvl"));
    ASSERT_NE(scene.m_materials[0].m_image, nullptr);
    EXPECT_EQ(scene.m_materials[0].m_imagePath, dir.File("elsewhere/TEXTURE/sub/deep.bmp"));
    EXPECT_EQ(reopened.missingTextures.find("deep.bmp"), std::string::npos);

    // Answered no: the scene is saved, nothing is copied.
    ASSERT_TRUE(doc.OnOpenDocument(mqo).ok);
    ui.yes = false;
    ui.path = dir.File("third/scene.kvl");
    fs::create_directories(dir.File("third"));
    ASSERT_TRUE(dispatcher.SaveAs(doc).ok);
    EXPECT_EQ(ui.questions.size(), 2u);
    EXPECT_TRUE(fs::exists(dir.File("third/scene.kvl")));
    EXPECT_FALSE(fs::exists(dir.File("third/TEXTURE")));

    // A different file already in the way is kept, and the user is told.
    fs::create_directories(dir.File("fourth/TEXTURE/sub"));
    test::WriteFile(dir.File("fourth/TEXTURE/sub/deep.bmp"), "the user's own");
    const std::string problems =
        CopyTexturesInto({{"sub\\deep.bmp", dir.File("src/TEXTURE/sub/deep.bmp")}}, dir.File("fourth"));
    EXPECT_EQ(problems.rfind("テクスチャのコピーで次の問題がありました:\n  ", 0), 0u) << problems;
    EXPECT_EQ(test::ReadFile(dir.File("fourth/TEXTURE/sub/deep.bmp")), "the user's own");
}

// Linux file names are UTF-8. A folder whose name ends in "い" (0xE3 0x81
// 0x84: its last byte would pair with the '\' as Shift_JIS) and a name
// Shift_JIS cannot hold ("é" became '?') are both found by the spelling
// the document gave, and Save As copies them where the moved scene looks.
TEST_F(MissingTextures, PicturesAreFoundAndCopiedByTheirUtf8Names)
{
    fs::create_directories(fs::u8path(dir.File("src/かわいい")));
    WritePicture(fs::u8path(dir.File("src/かわいい/あ.bmp")).string());
    WritePicture(fs::u8path(dir.File("src/café.bmp")).string());
    test::WriteFile(mqo, "Metasequoia Document\nFormat Text Ver 1.1\nCodePage utf8\n"
                         "Material 2 {\n\t\"a\" tex(\"かわいい\\あ.bmp\")\n\t\"b\" tex(\"café.bmp\")\n}\n" +
                             test::MqoObject("m", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(0)\n3 V(0 1 2) M(1)"));
    const DocResult opened = doc.OnOpenDocument(mqo);
    ASSERT_TRUE(opened.ok) << opened.message;
    EXPECT_TRUE(opened.missingTextures.empty()) << opened.missingTextures;
    ASSERT_EQ(scene.m_materials.size(), 2u);
    EXPECT_EQ(scene.m_materials[1].m_texture, "caf?.bmp");
    for (const CMaterial& m : scene.m_materials) EXPECT_NE(m.m_image, nullptr) << m.m_texture;

    // The document's spelling in the new folder is no help: the moved
    // scene has only the stored name.
    WritePicture(fs::u8path(dir.File("elsewhere/café.bmp")).string());
    ExportOptionsTable table;
    AnsweringUi ui;
    SaveAsDispatcher dispatcher(table, ui);
    ui.path = dir.File("elsewhere/moved.kvl");
    ASSERT_TRUE(dispatcher.SaveAs(doc).ok);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_NE(ui.questions[0].find("かわいい\\あ.bmp\n  caf?.bmp"), std::string::npos) << ui.questions[0];
    EXPECT_TRUE(fs::exists(fs::u8path(dir.File("elsewhere/TEXTURE/かわいい/あ.bmp"))));
    EXPECT_TRUE(fs::exists(fs::u8path(dir.File("elsewhere/TEXTURE/caf?.bmp"))));

    // The moved scene keeps only the stored names, and finds both.
    const DocResult reopened = doc.OnOpenDocument(dir.File("elsewhere/moved.kvl"));
    ASSERT_TRUE(reopened.ok) << reopened.message;
    EXPECT_TRUE(reopened.missingTextures.empty()) << reopened.missingTextures;
    for (const CMaterial& m : scene.m_materials) EXPECT_NE(m.m_image, nullptr) << m.m_texture;
}

TEST_F(MissingTextures, AnEditorExportTellsItsSkippedSideFilesOnce)
{
    ASSERT_TRUE(doc.OnOpenDocument(mqo).ok);
    ExportOptionsTable table;
    AnsweringUi ui;
    SaveAsDispatcher dispatcher(table, ui);
    doc.SetSaveAsHandler(&dispatcher);
    ui.path = dir.File("elsewhere/w.wrl");
    const DocResult r = dispatcher.SaveAs(doc);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string& m = ui.messages[0];
    EXPECT_EQ(m.rfind("書き出しは終わりましたが、次の点に注意してください:\n  ", 0), 0u) << m;
    for (const char* name : {"wall.png", "face.bmp", "sub\\deep.bmp"}) EXPECT_NE(m.find(name), std::string::npos) << m;
    EXPECT_TRUE(r.warnings.empty()) << "not shown a second time";
}

}  // namespace
}  // namespace kinovela
