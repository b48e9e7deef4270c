// The files an export writes beside its main file: written all or none,
// compared by contents before anything of the user's is replaced, never
// through a symbolic link planted in the output folder, and named so that
// no two models share a Kino3D model file.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <map>

#include "TestUtil.h"
#include "document/ExportDispatch.h"
#include "export/ExportFiles.h"
#include "export/Kino3DWriter.h"
#include "export/SdfWriter.h"
#include "image/DibStream.h"

namespace kinovela {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// Everything under a folder: each entry's path, and a file's bytes or a
// link's target.
std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(e.path(), folder).string();
        if (e.is_symlink())
            entries[name] = "-> " + fs::read_symlink(e.path()).string();
        else if (e.is_directory())
            entries[name] = "folder";
        else
            entries[name] = ReadFile(e.path().string());
    }
    return entries;
}

// Writes past `bytes` fail with EFBIG while it is alive, as on a disk that
// is full.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_saved;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    struct rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

class SideFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir.File("tex"));
        fs::create_directories(out);
        DibStream picture;
        ASSERT_TRUE(picture.Create(4, 4, 24));
        for (std::size_t i = 0; i < picture.ImageSize(); ++i) picture.Bits()[i] = static_cast<std::uint8_t>(i * 7);
        ASSERT_TRUE(SaveTGA(dir.File("tex/face.tga"), picture));
        Build(2);
    }
    // A model "arm" with `faces` textured triangles.
    void Build(int faces)
    {
        scene = CKinovela();
        std::string lines;
        for (int i = 0; i < faces; ++i) lines += "3 V(0 1 2) M(0) UV(0 0 1 0 0 1)\n";
        ASSERT_TRUE(test::ImportText(scene, t,
                                     test::Mqo("Material 1 {\n\t\"skin\" col(1 1 1 1) tex(\"face.tga\")\n}\n" +
                                               test::MqoObject("arm", "0 0 0\n1 0 0\n0 1 0", lines)))
                        .ok);
        scene.RebuildHierarchyWalk();
        TextureSearch search;
        search.firstFolders = {dir.File("tex")};
        ASSERT_TRUE(LoadSceneTextures(scene, search).Empty());
    }
    ExportResult Export(const std::string& name)
    {
        const std::string path = out + "/" + name;
        const std::string ext = fs::path(name).extension().string().substr(1);
        if (ext == "sdf") {
            TextureSearch search;
            search.firstFolders = {dir.File("tex")};
            return WriteSdfFile(scene, t, path, SdfOptions{}, search);
        }
        ExportOptionsTable table;
        ExportContext context;
        context.textureFirstFolders = {dir.File("tex")};
        return RunExport(*FindExportFormat(ext), scene, t, path, *table.Find(ext), context);
    }

    test::TempDir dir;
    const std::string out = dir.File("out");
    CKinovela scene;
    CTimeline t;
};

// The side files of each format, the name of the main file last.
const std::map<std::string, std::vector<std::string>> kFiles = {
    {"w.wrl", {"face.bmp", "face.tga", "w.wrl"}},
    {"k.k3d", {"face.tga", "arm.x", "k.k3d"}},
    {"h.mx", {"face.bmp", "h.ma", "h.mx"}},
    {"Shockwave3D.sdf", {"face.tga", "Shockwave3D.sdf"}},
    {"g.gltf", {"face.png", "g.bin", "g.gltf"}},
};

TEST_F(SideFiles, AFailedExportLeavesTheFolderAsItWas)
{
    for (const auto& [main, files] : kFiles) {
        SCOPED_TRACE(main);
        fs::remove_all(out);
        fs::create_directories(out);
        // A disk that is full once the side files are written: nothing at
        // all may be left, in an empty folder or over an earlier export.
        // (A .gltf shares corners, so its file needs more faces to fill.)
        const int many = main == "g.gltf" ? 10000 : 3000;
        Build(many);
        {
            FileSizeLimit limit(48 << 10);
            const ExportResult r = Export(main);
            EXPECT_FALSE(r.ok);
            EXPECT_NE(r.error.find("File too large"), std::string::npos) << r.error;
        }
        EXPECT_TRUE(Snapshot(out).empty()) << Snapshot(out).begin()->first;

        Build(2);
        ASSERT_TRUE(Export(main).ok);
        const auto before = Snapshot(out);
        for (const std::string& f : files) EXPECT_TRUE(before.count(f)) << f;
        Build(many);
        {
            FileSizeLimit limit(48 << 10);
            EXPECT_FALSE(Export(main).ok);
        }
        EXPECT_EQ(Snapshot(out), before);
    }
}

TEST_F(SideFiles, CopiesAreComparedByContents)
{
    const std::string source = ReadFile(dir.File("tex/face.tga"));
    for (const char* main : {"w.wrl", "k.k3d"}) {
        SCOPED_TRACE(main);
        // A copy cut short (a full disk in an older version) is ours: it is
        // completed.
        WriteFile(out + "/face.tga", source.substr(0, 10));
        ExportResult r = Export(main);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(ReadFile(out + "/face.tga"), source);
        EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];

        // The same picture: nothing to say. A different file of the user's:
        // kept, with a warning.
        r = Export(main);
        EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
        WriteFile(out + "/face.tga", "the user's own face.tga");
        r = Export(main);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(ReadFile(out + "/face.tga"), "the user's own face.tga");
        ASSERT_EQ(r.warnings.size(), 1u);
        EXPECT_NE(r.warnings[0].find("face.tga: a different file is there already"), std::string::npos) << r.warnings[0];
        fs::remove(out + "/face.tga");
    }

    // A .gltf chooses its pictures' names: a different file of the user's
    // is kept and the picture goes beside it under the next name.
    ExportResult r = Export("g.gltf");
    ASSERT_TRUE(r.ok) << r.error;
    const std::string png = ReadFile(out + "/face.png");
    WriteFile(out + "/face.png", "the user's own face.png");
    r = Export("g.gltf");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ReadFile(out + "/face.png"), "the user's own face.png");
    EXPECT_EQ(ReadFile(out + "/face_2.png"), png);
    EXPECT_NE(ReadFile(out + "/g.gltf").find("\"face_2.png\""), std::string::npos);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("face.png: a different file is there already"), std::string::npos) << r.warnings[0];
    // The next export finds its own picture there: nothing more is written.
    fs::remove(out + "/face.png");
    r = Export("g.gltf");
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
    EXPECT_EQ(ReadFile(out + "/face.png"), png);
}

TEST_F(SideFiles, LinksInTheOutputFolderAreReplacedNotFollowed)
{
    const std::string victim = dir.File("victim");
    for (const auto& [main, files] : kFiles) {
        SCOPED_TRACE(main);
        fs::remove_all(out);
        fs::create_directories(out);
        // Every side file's place holds a link to a file outside the folder.
        for (const std::string& f : files)
            if (f != main) fs::create_symlink(victim, out + "/" + f);
        WriteFile(victim, "outside the output folder");
        const ExportResult r = Export(main);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(ReadFile(victim), "outside the output folder");
        for (const std::string& f : files) {
            if (f == main) continue;  // named by the user
            EXPECT_FALSE(fs::is_symlink(out + "/" + f)) << f;
            EXPECT_TRUE(fs::is_regular_file(out + "/" + f)) << f;
        }
    }
    // A folder of a texture's name that is a link is not followed either.
    fs::remove_all(out);
    fs::create_directories(out);
    fs::create_directories(dir.File("elsewhere"));
    fs::create_symlink(dir.File("elsewhere"), out + "/sub");
    fs::copy_file(dir.File("tex/face.tga"), dir.File("tex/sub.tga"));
    fs::create_directories(dir.File("tex/sub"));
    fs::copy_file(dir.File("tex/face.tga"), dir.File("tex/sub/face.tga"));
    scene.m_materials[0].m_texture = "sub\\face.tga";
    scene.m_materials[0].m_imagePath = dir.File("tex/sub/face.tga");
    const ExportResult r = Export("w.wrl");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(fs::is_empty(dir.File("elsewhere")));
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_NE(r.warnings[0].find("sub is a symbolic link"), std::string::npos) << r.warnings[0];

    // The file the user chose may be a link: it is written through, as a
    // save is.
    fs::create_directories(dir.File("real"));
    fs::create_symlink(dir.File("real/chosen.wrl"), out + "/chosen.wrl");
    WriteFile(dir.File("real/chosen.wrl"), "old");
    ASSERT_TRUE(Export("chosen.wrl").ok);
    EXPECT_TRUE(fs::is_symlink(out + "/chosen.wrl"));
    EXPECT_EQ(ReadFile(dir.File("real/chosen.wrl")).rfind("#VRML V2.0 utf8", 0), 0u);
}

TEST_F(SideFiles, Kino3DModelFilesAreUniqueAndStayInTheFolder)
{
    EXPECT_EQ(Kino3DFileNames({"m", "m", "../m", "/abs/m", "sub/m2", "M", "m_2", std::string(300, 'a'), ".", "\x83\\"}),
              (std::vector<std::string>{"m.x", "m_3.x", ".._m.x", "_abs_m.x", "sub_m2.x", "M_4.x", "m_2.x",
                                        std::string(240, 'a') + ".x", "_..x", "\x83\\.x"}));

    CModel model = scene.m_models[0];
    scene.m_models.clear();
    for (const char* name : {"m", "m", "../m", "/abs/m", "sub/m2"}) {
        model.m_name = name;
        scene.m_models.push_back(model);
    }
    scene.RebuildHierarchyWalk();
    const ExportResult r = Export("k.k3d");
    ASSERT_TRUE(r.ok) << r.error;
    const std::string list = ReadFile(out + "/k.k3d");
    std::vector<std::string> listed;
    for (std::size_t at = list.find("\r\n", list.find("\r\n") + 2) + 2; at < list.size();) {
        const std::size_t end = list.find("\r\n", at);
        const std::string line = list.substr(at, end - at);
        if (line.find(',') == std::string::npos) listed.push_back(line);
        at = end + 2;
    }
    const std::vector<std::string> files{"m.x", "m_2.x", ".._m.x", "_abs_m.x", "sub_m2.x"};
    EXPECT_EQ(listed, files);
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_NE(ReadFile(out + "/" + files[i]).find(std::string("Frame ") + scene.m_models[i].m_name + " {"),
                  std::string::npos)
            << files[i];
    EXPECT_EQ(Snapshot(out).size(), files.size() + 2) << "the list, the model files and the texture copy";
    EXPECT_FALSE(fs::exists(dir.File("m.x")));

    // A texture named like a model file or the list never takes its place.
    for (const char* texture : {"m.x", "k.k3d"}) {
        scene.m_materials[0].m_texture = texture;
        const ExportResult again = Export("k.k3d");
        ASSERT_TRUE(again.ok) << again.error;
        ASSERT_EQ(again.warnings.size(), 1u);
        EXPECT_NE(again.warnings[0].find("not written again"), std::string::npos) << again.warnings[0];
        EXPECT_NE(ReadFile(out + "/m.x").find("Frame m {"), std::string::npos);
        EXPECT_EQ(ReadFile(out + "/k.k3d").rfind("5\r\n", 0), 0u);
    }
}

}  // namespace
}  // namespace kinovela
