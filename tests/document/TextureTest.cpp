// Textures whose pictures are missing: the names survive every open, save
// and reopen, and each open reports what it could not load in one message.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "TestUtil.h"
#include "common/Paths.h"
#include "document/HeadlessViews.h"
#include "document/KinoDoc.h"
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

}  // namespace
}  // namespace kinovela
