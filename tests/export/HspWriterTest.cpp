#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "TestUtil.h"
#include "export/HspWriter.h"
#include "export/RecordWriter.h"
#include "image/DibStream.h"

namespace kinovela {
namespace {

// Little-endian bytes as the model file holds them.
struct Bytes {
    std::string s;
    Bytes& u16(std::uint32_t v) { return raw(&v, 2); }
    Bytes& u32(std::uint32_t v) { return raw(&v, 4); }
    Bytes& v4(float x, float y, float z, float w = 1.0f)
    {
        for (float f : {x, y, z, w}) raw(&f, 4);
        return *this;
    }
    Bytes& raw(const void* p, std::size_t n)
    {
        s.append(static_cast<const char*>(p), n);
        return *this;
    }
};

CFace Face(std::initializer_list<int> corners, int material, std::initializer_list<CUV> uvs = {})
{
    CFace f;
    f.m_material = material;
    for (int c : corners) f.AddIndex(c);
    for (CUV uv : uvs) f.AddUV(uv);
    return f;
}

CMaterial Material(int id, float r, float g, float b, const std::string& texture = "")
{
    CMaterial m;
    m.m_id = id;
    m.m_col = {r, g, b, 1.0f};
    m.m_texture = texture;
    return m;
}

class Hsp : public ::testing::Test {
protected:
    void SetUp() override
    {
        scene.m_materials = {Material(0, 1.0f, 0.999f, 0.5f, "abcdefghijklmnopqrs.png"), Material(7, 0.25f, 0.5f, 0.75f),
                             Material(3, 0, 0, 0, "t.png")};
        CModel root;
        root.m_name = "root";
        root.m_pivot = {1, 2, 3};
        root.m_vertices = {{{1, 2, 3}, {0, 0, 1}}, {{2, 2, 3}, {1, 0, 0}}, {{2, 4, 3}, {0, 1, 0}}, {{1, 4, 5}, {0, 0, -1}}};
        root.m_faces = {Face({0, 1, 2, 3}, 7, {{0, 0}, {1, 0}, {1, 1}}),
                        Face({0, 1, 2}, 0, {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}}), Face({0, 1}, 0),
                        Face({1, 2, 3}, 99)};
        CModel child;
        child.m_name = "child";
        child.m_parentName = "root";
        child.m_vertices = {{{0, 0, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 0, 1}}, {{0, 1, 0}, {0, 0, 1}}};
        child.m_faces = {Face({0, 1, 2}, 3)};
        CModel second;
        second.m_name = "second";
        second.m_pivot = {0, -1, 0};
        scene.m_models = {root, child, second};
        scene.ResolveParents();
        scene.RebuildHierarchyWalk();
        options.scale = 2;
    }
    ExportResult Export(const std::string& name = "out.mx") { return WriteHspFile(scene, t, dir.File(name), options); }
    static std::shared_ptr<DibStream> Picture()
    {
        auto image = std::make_shared<DibStream>();
        EXPECT_TRUE(image->Create(2, 2, 24));
        image->Bits()[0] = 42;
        return image;
    }

    test::TempDir dir;
    CKinovela scene;
    CTimeline t;
    HspOptions options;
};

TEST_F(Hsp, ModelFileBytes)
{
    ASSERT_TRUE(Export().ok);
    Bytes e;
    e.raw("MXF", 4).u32(512).u32(180).u32(48).u32(4 * 168).u32(228).u32(32).u32(900).u32(2).u16(0).u16(0).u32(0).u32(932);
    // Walk order root, child, second; roots chained as siblings.
    e.v4(2, -4, 6).v4(0, 0, 0).v4(1, 1, 1).u16(1).u16(4).u32(0).u16(1).u16(2);
    e.v4(0, -0.0f, 0).v4(0, 0, 0).v4(1, 1, 1).u16(1).u16(1).u32(3).u16(0).u16(0);
    e.v4(0, 2, 0).v4(0, 0, 0).v4(1, 1, 1).u16(1).u16(0).u32(4).u16(0).u16(0);
    // Quad c3 c2 c1 c0; corner 3 has no coordinate; 0.25/0.5/0.75 -> 3F 7F BF.
    e.v4(0, -4, 4).v4(2, -4, 0).v4(2, -0.0f, 0).v4(0, -0.0f, 0);
    e.v4(-0.0f, -0.0f, 1).v4(-0.0f, -1, -0.0f).v4(-1, -0.0f, -0.0f).v4(-0.0f, -0.0f, -1);
    e.v4(0, 0, 1, 1).v4(1, 0, 0, 0).u32(0x3F7FBF).u16(0xFFFF).u16(2);
    // Triangle c2 c1 c0 c0; 0.999 -> 254; first texture.
    e.v4(2, -4, 0).v4(2, -0.0f, 0).v4(0, -0.0f, 0).v4(0, -0.0f, 0);
    e.v4(-0.0f, -1, -0.0f).v4(-1, -0.0f, -0.0f).v4(-0.0f, -0.0f, -1).v4(-0.0f, -0.0f, -1);
    e.v4(0.5f, 0.6f, 0.3f, 0.4f).v4(0.1f, 0.2f, 0.1f, 0.2f).u32(0xFFFE7F).u16(0).u16(2);
    // The two-corner face is counted but not written; id 99 is no material.
    e.v4(0, -4, 4).v4(2, -4, 0).v4(2, -0.0f, 0).v4(2, -0.0f, 0);
    e.v4(-0.0f, -0.0f, 1).v4(-0.0f, -1, -0.0f).v4(-1, -0.0f, -0.0f).v4(-1, -0.0f, -0.0f);
    e.v4(0, 0, 0, 0).v4(0, 0, 0, 0).u32(0xCCCCCC).u16(0xFFFF).u16(2);
    e.v4(0, -2, 0).v4(2, -0.0f, 0).v4(0, -0.0f, 0).v4(0, -0.0f, 0);
    for (int i = 0; i < 4; ++i) e.v4(-0.0f, -0.0f, -1);
    e.v4(0, 0, 0, 0).v4(0, 0, 0, 0).u32(0).u16(1).u16(2);
    // A 16-byte name has no terminator.
    e.raw("abcdefghijklmnop", 16).raw("t\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16);
    EXPECT_EQ(test::ReadFile(dir.File("out.mx")), e.s);
}

TEST_F(Hsp, MotionFile)
{
    t.m_last = 1;
    scene.m_models[0].m_frames.resize(2);
    scene.m_models[0].m_frames[1] = {{1, 2, 3}, {90, 45, 0}, {2, 1, 1}, 1};
    ASSERT_TRUE(Export().ok);
    const std::string ma = test::ReadFile(dir.File("out.ma"));
    EXPECT_EQ(ma.rfind("; Kinovela 6.6\r\n; ", 0), 0u);
    const std::string rest = "\r\n\r\n*0000_out\r\n";
    const std::string rest2 = "s 1.000000,1.000000,1.000000\r\nr 0.000000,-0.000000,0.000000\r\nt 0.000000,-0.000000,0.000000\r\n";
    const std::size_t body = ma.find(rest);
    ASSERT_NE(body, std::string::npos);
    // A model without stored poses moves by the default pose.
    EXPECT_EQ(ma.substr(body + 4), "*0000_out\r\n" + rest2 +
                                       "s 2.000000,1.000000,1.000000\r\nr 1.570796,-0.785398,0.000000\r\n"
                                       "t 2.000000,-4.000000,6.000000\r\ngo back\r\n\r\n*0001_out\r\n" +
                                       rest2 + rest2 + "go back\r\n\r\n*0002_out\r\n" + rest2 + rest2 + "go back\r\n\r\n");

    options.keyType = 2;
    ASSERT_TRUE(Export("nokeys.mx").ok);
    EXPECT_FALSE(std::filesystem::exists(dir.File("nokeys.ma")));
}

TEST_F(Hsp, SixteenBitTablesAreNeverCut)
{
    CModel& root = scene.m_models[0];
    root.m_faces.assign(65536, Face({0, 1, 2}, 0));
    ExportResult r = Export();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("65536 faces"), std::string::npos) << r.error;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.mx")));
    root.m_faces.pop_back();
    ASSERT_TRUE(Export().ok);
    EXPECT_EQ(std::filesystem::file_size(dir.File("out.mx")), 48u + 3 * 60 + 65536 * 168 + 2 * 16);

    CKinovela many;
    many.m_models.resize(65536);
    for (int i = 0; i < 65536; ++i) many.m_hierarchyWalk.push_back({kWalkEnter, i});
    r = WriteHspFile(many, t, dir.File("many.mx"), options);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("65536 models"), std::string::npos) << r.error;
    EXPECT_FALSE(std::filesystem::exists(dir.File("many.mx")));
}

TEST_F(Hsp, TexturesStayInTheFolderAndSourcesAreKept)
{
    std::filesystem::create_directories(dir.File("out"));
    scene.m_materials[0].m_texture = "../up/tex.png";
    scene.m_materials[0].m_image = Picture();
    // t.png was never decoded: no BMP.
    ExportResult r = Export("out/a.mx");
    ASSERT_TRUE(r.ok) << r.error;
    DibStream back;
    ASSERT_TRUE(back.LoadBMP(dir.File("out/tex.bmp"), 0x3F));
    EXPECT_EQ(back.Width(), 2);
    EXPECT_EQ(back.Bits()[0], 42);
    EXPECT_FALSE(std::filesystem::exists(dir.File("up/tex.bmp")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/t.bmp")));
    ASSERT_EQ(r.warnings.size(), 1u);

    // The texture already is the BMP the export would write: it stays,
    // whether or not the caller says where else textures are looked for.
    test::WriteFile(dir.File("out/t.bmp"), "original");
    scene.m_materials[2].m_texture = "t.bmp";
    scene.m_materials[2].m_image = Picture();
    scene.m_materials[2].m_imagePath = dir.File("out/t.bmp");
    for (bool told : {true, false}) {
        options.textures.documentFolders = told ? std::vector<std::string>{dir.File("out")} : std::vector<std::string>{};
        r = Export("out/a.mx");
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(test::ReadFile(dir.File("out/t.bmp")), "original");
        ASSERT_EQ(r.warnings.size(), 1u);
        EXPECT_NE(r.warnings[0].find("t.bmp"), std::string::npos);
    }
}

TEST_F(Hsp, WriteErrorsFailTheExport)
{
    EXPECT_FALSE(Export("no/such/folder/a.mx").ok);
    std::filesystem::create_symlink("/dev/full", dir.Path() / "full.mx");
    const ExportResult r = Export("full.mx");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("No space left"), std::string::npos) << r.error;
    // When the motion file cannot be written the model file is not left
    // behind on its own.
    std::filesystem::create_directories(dir.File("blocked.ma"));
    EXPECT_FALSE(Export("blocked.mx").ok);
    EXPECT_FALSE(std::filesystem::exists(dir.File("blocked.mx")));
}

// The model file's records go out in pieces, and the last piece in the
// writer's destructor. A Cancel that arrives with it (the sink's progress
// report throws) comes too late to stop anything and must not end the
// program; one thrown while the writer is still writing passes on.
TEST(HspRecords, ACancelWithTheLastPieceEndsNothing)
{
    struct CancellingSink final : ByteSink {
        std::size_t written = 0;
        void Write(const char*, std::size_t size) override
        {
            written += size;
            throw WorkCancelled{};
        }
    } sink;
    {
        RecordWriter out(sink);
        out.Vec4(1, 2, 3, 4);
    }
    EXPECT_EQ(sink.written, 16u);

    sink.written = 0;
    EXPECT_THROW(
        {
            RecordWriter out(sink);
            for (int i = 0; i < 100000; ++i) out.U32(static_cast<std::uint32_t>(i));
        },
        WorkCancelled);
    EXPECT_GT(sink.written, 0u);
}

}  // namespace
}  // namespace kinovela
