#include <gtest/gtest.h>

#include <filesystem>

#include "TestUtil.h"
#include "document/ExportDispatch.h"
#include "export/SdfWriter.h"
#include "image/Decoders.h"

namespace kinovela {
namespace {

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string Crlf(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

CModel Model(const std::string& name, std::vector<CVector> points, std::vector<std::vector<int>> faces, int material = 0)
{
    CModel m;
    m.m_name = name;
    for (const CVector& p : points) {
        CVertex v;
        v.m_pos = p;
        v.m_normal = {0, 0, 1};
        m.m_vertices.push_back(v);
    }
    for (const auto& f : faces) {
        CFace face;
        face.m_material = material;
        for (int i : f) face.AddIndex(i);
        m.m_faces.push_back(face);
    }
    m.m_frames.resize(1);
    return m;
}

class Sdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        CMaterial mat;
        mat.m_id = 0;
        mat.m_name = "m";
        mat.m_col = {1.0f, 0.5f, 0.25f, 1.0f};
        mat.m_amb = 0.5f;
        mat.m_dif = 0.8f;
        mat.m_spc = 0.2f;
        mat.m_power = 30.0f;
        scene.m_materials.push_back(mat);
        scene.m_models.push_back(Model("a", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
        CAnimation& pose = scene.m_models[0].m_frames[0];
        pose.m_position = {10, 20, 30};
        pose.m_rotation = {90, 0, -180};
        pose.m_scale = {1, 2, 3};
        t.m_last = 0;
        t.m_fps = 30.0f;
        Rewalk();
    }
    void Rewalk()
    {
        scene.ResolveParents();
        scene.RebuildHierarchyWalk();
    }
    std::string Write(SdfOptions o = {})
    {
        const std::string path = dir.File(kSdfFileName);
        const ExportResult r = WriteSdfFile(scene, t, path, o, search);
        EXPECT_TRUE(r.ok) << r.error;
        warnings = r.warnings;
        return test::ReadFile(path);
    }
    CKinovela scene;
    CTimeline t;
    test::TempDir dir;
    TextureSearch search;
    std::vector<std::string> warnings;
};

TEST_F(Sdf, MinimalSceneIsWrittenExactly)
{
    const std::string identity =
        "\t\tPoint3 \n\t\t{ \n\t\t\t1.000000 0.000000 0.000000 \n\t\t} \n"
        "\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 1.000000 0.000000 \n\t\t} \n"
        "\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 0.000000 1.000000 \n\t\t} \n";
    const std::string point = "\t\t\t\tPoint3 \n\t\t\t\t{ \n\t\t\t\t\t";
    const std::string expected =
        "\nSDFFile \n{ \n\tVersion\n\t{ \n\t\t1 \n\t} \n\tExportTime \n\t{ \n\t\t\"Thu Jan 11 10:42:35 2001\" \n\t} \n} \n"
        "Camera \n{ \n\t\"Default\" /* Name */ \n\t\"<NULL>\" /* Parent Name */ \n\tMatrix3 \n\t{ \n" + identity +
        "\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 0.000000 4000.000000 \n\t\t} \n\t} /* NodeTransform */ \n"
        "\t\"Perspective\" /* Camera Type */ \n\t10.000000 /* Height */ \n"
        "\tColor \n\t{ \n\t\t0.117647 0.254902 0.352941 \n\t} /* Clear Color */ \n} \n"
        "Light \n{ \n\t\"Default\" /* Name */ \n\t\"<NULL>\" /* Parent Name */ \n\tMatrix3 \n\t{ \n" + identity +
        "\t\tPoint3 \n\t\t{ \n\t\t\t500.000000 500.000000 500.000000 \n\t\t} \n\t} /* NodeTransform */ \n"
        "\tLightData \n\t{ \n\t\t\"AMBIENT\" /* Light Type */ \n"
        "\t\tColor \n\t\t{ \n\t\t\t1.000000 1.000000 1.000000 \n\t\t} /* Light Color */ \n"
        "\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 0.000000 0.000000 \n\t\t} /* Attenuation */ \n"
        "\t\t0.000000 /* Spot Angle */ \n\t} \n} \n"
        "Model \n{ \n\t\"a\" /* Name */ \n\t\"<NULL>\" /* Parent Name */ \n\tMatrix3 \n\t{ \n" + identity +
        "\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 0.000000 0.000000 \n\t\t} \n\t} /* NodeTransform */ \n"
        "\tMeshGroup[1] \n\t{ \n\t\tMesh \n\t\t{ \n\t\t\tMaterialArray[1] \n\t\t\t{ \n"
        "\t\t\t\tMaterial \n\t\t\t\t{ \n\t\t\t\t\t\"m\" \n"
        "\t\t\t\t\tColor \n\t\t\t\t\t{ \n\t\t\t\t\t\t0.500000 0.250000 0.125000 \n\t\t\t\t\t} /* Ambient */ \n\t\t\t\t\t1.000000 \n"
        "\t\t\t\t\tColor \n\t\t\t\t\t{ \n\t\t\t\t\t\t0.800000 0.400000 0.200000 \n\t\t\t\t\t} /* Diffuse */ \n\t\t\t\t\t1.000000 \n"
        "\t\t\t\t\tColor \n\t\t\t\t\t{ \n\t\t\t\t\t\t0.200000 0.200000 0.200000 \n\t\t\t\t\t} /* Specular */ \n\t\t\t\t\t1.000000 \n"
        "\t\t\t\t\t0.300000 /* Power */ \n\t\t\t\t\t1.000000 /* Opacity */ \n\t\t\t\t\t0.000000 \n"
        "\t\t\t\t\t0.000000 /* Shinniness Pct */ \n"
        "\t\t\t\t\tColor \n\t\t\t\t\t{ \n\t\t\t\t\t\t0.000000 0.000000 0.000000 \n\t\t\t\t\t} /* Emissive */ \n"
        "\t\t\t\t\tTextureUnits[0] \n\t\t\t\t\t{ \n\t\t\t\t\t}/* End of TexUnits */ \n\t\t\t\t} \n"
        "\t\t\t} \n\t\t\tMeshFormat \n\t\t\t{ \n\t\t\t\t1 /* Num Faces */ \n\t\t\t\t1 /* Face Positions */ \n"
        "\t\t\t\t1 /* Face Normals */ \n\t\t\t\t0 /* Face TexCoords */ \n\t\t\t\t1 /* Face Materials */ \n"
        "\t\t\t\t3 /* Num Positions */ \n\t\t\t\t3 /* Num Normals */ \n\t\t\t\t0 /* Num TexCoords */ \n"
        "\t\t\t\t0 /* Num BaseVertices */ \n\t\t\t\t0 /* Has VertexWeights */ \n\t\t\t} \n"
        "\t\t\tFacePositions[1] \n\t\t\t{ \n\t\t\t\t2 1 0 \n\t\t\t} /* Face Positions */ \n"
        "\t\t\tFaceNormals[1] \n\t\t\t{ \n\t\t\t\t2 1 0 \n\t\t\t} /* Face Normals */ \n"
        "\t\t\tFaceMaterials[1] \n\t\t\t{ \n\t\t\t\t0 \n\t\t\t} /* FaceMaterials */ \n"
        "\t\t\tPositions[3] \n\t\t\t{ \n" +
        point + "0.000000 0.000000 0.000000 \n\t\t\t\t} \n" + point + "2.000000 0.000000 0.000000 \n\t\t\t\t} \n" +
        point + "0.000000 2.000000 0.000000 \n\t\t\t\t} \n\t\t\t} /* Positions */ \n"
        "\t\t\tNormals[3] \n\t\t\t{ \n" +
        point + "-0.000000 -0.000000 -1.000000 \n\t\t\t\t} \n" + point + "-0.000000 -0.000000 -1.000000 \n\t\t\t\t} \n" +
        point + "-0.000000 -0.000000 -1.000000 \n\t\t\t\t} \n\t\t\t} /* Normals  */ \n"
        "\t\t} \n\t} /* Mesh Group */ \n"
        "\tKeys[1] \n\t{ \n\t\tKey \n\t\t{ \n\t\t\t0.000000 \n"
        "\t\t\tPoint3 \n\t\t\t{ \n\t\t\t\t10.000000 20.000000 30.000000 \n\t\t\t} /* Position */\n"
        "\t\t\tQuat \n\t\t\t{ \n\t\t\t\t-0.785398 -0.000000 1.570796 1.000000 \n\t\t\t} /* Rotation */\n"
        "\t\t\tPoint3 \n\t\t\t{ \n\t\t\t\t1.000000 2.000000 3.000000 \n\t\t\t} /* Scale */ \n\t\t} \n\t} \n} \n";
    EXPECT_EQ(Write(), Crlf(expected));
}

TEST_F(Sdf, QuadsBecomeTwoTrianglesWithTheirCoordinates)
{
    CModel& m = scene.m_models[0];
    m.m_vertices.push_back(m.m_vertices[1]);
    m.m_faces[0] = CFace();
    for (int i : {0, 1, 3, 2}) m.m_faces[0].AddIndex(i);
    for (CUV uv : {CUV{0.1f, 0.2f}, CUV{0.3f, 0.4f}, CUV{0.5f, 0.6f}, CUV{0.7f, 0.8f}}) m.m_faces[0].AddUV(uv);
    CFace line;
    line.AddIndex(0);
    line.AddIndex(1);
    m.m_faces.push_back(line);  // two corners: dropped
    scene.m_materials[0].m_texture = "skin.png";
    SdfOptions o;
    o.textureCoords = true;
    const std::string s = Write(o);
    EXPECT_NE(s.find("\t\t\t\t2 /* Num Faces */ \r\n"), std::string::npos);
    EXPECT_NE(s.find("\t\t\t\t6 /* Num TexCoords */ \r\n"), std::string::npos);
    EXPECT_NE(s.find("FacePositions[2] \r\n\t\t\t{ \r\n\t\t\t\t3 1 0 \r\n\t\t\t\t2 3 0 \r\n"), std::string::npos);
    EXPECT_NE(s.find("FaceTexCoords[2] \r\n\t\t\t{ \r\n\t\t\t\t2 1 0 \r\n\t\t\t\t5 4 3 \r\n"), std::string::npos);
    // Corners (0 1 2) then (0 2 3), v negated.
    std::string uvs;
    for (const char* p : {"0.100000 -0.200000", "0.300000 -0.400000", "0.500000 -0.600000", "0.100000 -0.200000",
                          "0.500000 -0.600000", "0.700000 -0.800000"})
        uvs += std::string("\t\t\t\tPoint2 \r\n\t\t\t\t{ \r\n\t\t\t\t\t") + p + " \r\n\t\t\t\t} \r\n";
    EXPECT_NE(s.find("TexCoords[6] \r\n\t\t\t{ \r\n" + uvs + "\t\t\t} /* TexCoords  */"), std::string::npos);
    EXPECT_NE(s.find("\t\t\t\t\t\t\t\t\"skin.tga\" \r\n"), std::string::npos);
    // The picture was not loaded: no TGA, and the user is told.
    EXPECT_FALSE(std::filesystem::exists(dir.File("skin.tga")));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"skin.png\" is not loaded"), std::string::npos) << warnings[0];

    o.textureCoords = false;
    EXPECT_EQ(Count(Write(o), "Point2"), 0u);
}

TEST_F(Sdf, MissingTextureCoordinatesArePaddedWithZeros)
{
    CFace& tri = scene.m_models[0].m_faces[0];
    tri.AddUV({0.25f, 0.5f});  // one coordinate for three corners
    scene.m_materials[0].m_texture = "skin.png";
    SdfOptions o;
    o.textureCoords = true;
    const std::string point = "\t\t\t\tPoint2 \r\n\t\t\t\t{ \r\n\t\t\t\t\t";
    EXPECT_NE(Write(o).find("TexCoords[3] \r\n\t\t\t{ \r\n" + point + "0.250000 -0.500000 \r\n\t\t\t\t} \r\n" + point +
                            "0.000000 0.000000 \r\n\t\t\t\t} \r\n" + point + "0.000000 0.000000 \r\n"),
              std::string::npos);
}

TEST_F(Sdf, KeyTimesFollowTheFrameRate)
{
    t.m_last = 2;
    scene.m_models[0].m_frames.resize(3);
    auto times = [&] {
        const std::string s = Write();
        std::vector<std::string> out;
        for (std::size_t at = s.find("\t\tKey \r\n\t\t{ \r\n\t\t\t"); at != std::string::npos;
             at = s.find("\t\tKey \r\n\t\t{ \r\n\t\t\t", at + 1))
            out.push_back(s.substr(at + 17, 8));
        return out;
    };
    EXPECT_EQ(times(), (std::vector<std::string>{"0.000000", "0.033333", "0.066667"}));
    t.m_fps = 100.0f;
    EXPECT_EQ(times()[1], "0.010000");
    t.m_fps = 240.0f;
    EXPECT_EQ(times()[2], "0.020000");
    t.m_fps = 0.5f;  // below one frame a second the rate is 1, never 0
    EXPECT_EQ(times()[2], "2.000000");

    SdfOptions none;
    none.keyType = 2;
    EXPECT_EQ(Count(Write(none), "Keys["), 0u);
}

TEST_F(Sdf, PivotsBecomeGroupsAndChildrenNameThePivot3Group)
{
    scene.m_models[0].m_pivot = {1, 2, 3};
    scene.m_models.push_back(Model("b", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
    scene.m_models[1].m_parentName = "a";
    scene.m_models.push_back(Model("c", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
    scene.m_models[2].m_pivot = {0, 1, 0};
    scene.m_models[2].m_parentName = "b";
    Rewalk();
    SdfOptions o;
    o.scale = 0.5f;
    const std::string s = Crlf("Group \n{ \n\t\"aPivot\" /* Name */ \n\t\"<NULL>\" /* Parent Name */ \n");
    const std::string text = Write(o);
    const std::size_t group = text.find(s);
    ASSERT_NE(group, std::string::npos);
    EXPECT_NE(text.find("\t\t\t1.000000 2.000000 3.000000 \r\n\t\t} \r\n\t} /* NodeTransform */ \r\n}\r\n", group),
              std::string::npos);
    EXPECT_NE(text.find("\t\"a\" /* Name */ \r\n\t\"aPivot\" /* Parent Name */ \r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\"aPivot2\" /* Name */ \r\n\t\"a\" /* Parent Name */ \r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t\t-1.000000 -2.000000 -3.000000 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\"aPivot3\" /* Name */ \r\n\t\"aPivot2\" /* Parent Name */ \r\n"), std::string::npos);
    // b has no pivot and names a's Pivot3; c has one and its own block names cPivot.
    EXPECT_NE(text.find("\t\"b\" /* Name */ \r\n\t\"aPivot3\" /* Parent Name */ \r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\"cPivot\" /* Name */ \r\n\t\"b\" /* Parent Name */ \r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\"c\" /* Name */ \r\n\t\"cPivot\" /* Parent Name */ \r\n"), std::string::npos);
    // Positions are relative to the pivot and doubled; key positions are not doubled.
    EXPECT_NE(text.find("\t\t\t\t\t-1.000000 -2.000000 -3.000000 \r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t\t\t5.000000 10.000000 15.000000 \r\n\t\t\t} /* Position */"), std::string::npos);
}

TEST_F(Sdf, CameraLightMaterialsAndTextures)
{
    scene.m_camera[0].m_position = {0, 0, -2000};
    scene.m_camera[0].m_rotation = {0, 0, 0};
    SdfOptions o;
    o.camera = true;
    o.light = true;
    o.scale = 2.0f;
    std::string s = Write(o);
    EXPECT_NE(s.find(" 8000.000000 \r\n\t\t} \r\n\t} /* NodeTransform */"), std::string::npos) << s.substr(0, 900);
    EXPECT_NE(s.find("\t\"DirectionalLight\" /* Name */ \r\n"), std::string::npos);
    EXPECT_NE(s.find("\t\t\t1000.000000 1000.000000 1000.000000 \r\n"), std::string::npos);

    // A face whose material id names no material still gets a block, so the
    // array holds what it announces.
    scene.m_models[0].m_faces.push_back(scene.m_models[0].m_faces[0]);
    scene.m_models[0].m_faces[1].m_material = 7;
    s = Write();
    EXPECT_NE(s.find("MaterialArray[2] "), std::string::npos);
    EXPECT_EQ(Count(s, "\t\t\t\tMaterial \r\n"), 2u);
    EXPECT_NE(s.find("FaceMaterials[2] \r\n\t\t\t{ \r\n\t\t\t\t0 \r\n\t\t\t\t1 \r\n"), std::string::npos);

    // A texture is converted to 24 bits with red and blue exchanged.
    std::filesystem::create_directories(dir.Path() / "doc");
    DibStream pic;
    ASSERT_TRUE(pic.Create(2, 1, 32));
    PutU32(pic.Bits(), 0x00030201u);
    ASSERT_TRUE(pic.SaveBMP(dir.File("doc/skin.bmp")));
    scene.m_materials[0].m_texture = "..\\skin.bmp";
    std::filesystem::create_directories(dir.Path() / "doc" / "sub");
    std::filesystem::copy_file(dir.File("doc/skin.bmp"), dir.File("doc/sub/skin.bmp"));
    search.documentFolders = {dir.File("doc/sub/x")};
    std::filesystem::create_directories(dir.Path() / "doc" / "sub" / "x");
    EXPECT_TRUE(LoadSceneTextures(scene, search).Empty());
    Write();
    // "..\skin.bmp" from doc/sub/x is doc/sub/skin.bmp; the TGA stays in the output folder.
    DibStream tga;
    ASSERT_TRUE(LoadTGA(dir.File("skin.tga"), tga));
    EXPECT_EQ(tga.BitCount(), 24);
    EXPECT_EQ(tga.PixelARGB(0, 0), 0xFF010203u);
}

TEST_F(Sdf, W3dExportRunsTheConverterAndKeepsTheDescriptionOnFailure)
{
    ExportOptionsTable table;
    const ExportOptions& options = *table.Find("w3d");
    const ExportFormat& format = *FindExportFormat("W3D");
    ExportContext context;
    context.w3dPlugin = KINOVELA_W3D_STUB;
    const std::string log = dir.File("calls.log");
    ::setenv("KINOVELA_W3D_STUB_LOG", log.c_str(), 1);

    const std::string out = dir.File("scene.w3d");
    ExportResult r = RunExport(format, scene, t, out, options, context);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(test::ReadFile(out).rfind("W3D stub: converted a ", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.File(kSdfFileName)));  // removed after the conversion
    EXPECT_EQ(test::ReadFile(log), out + "\n");

    const std::string refused = dir.File("refuse.w3d");
    r = RunExport(format, scene, t, refused, options, context);
    EXPECT_FALSE(r.ok);
    EXPECT_STREQ(r.MessageOr(format.failureMessage), "Shockwave3Dへの書き出しに失敗しました。");
    EXPECT_TRUE(std::filesystem::exists(dir.File(kSdfFileName)));  // kept for the user

    context.w3dPlugin = dir.File("missing/libShockwave3D.so");
    std::filesystem::remove(dir.File(kSdfFileName));
    r = RunExport(format, scene, t, out, options, context);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("not installed"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.File(kSdfFileName)));

    r = RunExport(format, scene, t, dir.File("no/such/folder/x.w3d"), options, context);
    EXPECT_FALSE(r.ok);
    EXPECT_STREQ(r.MessageOr(format.failureMessage), "SDFファイルへの書き出しに失敗しました。");
    ::unsetenv("KINOVELA_W3D_STUB_LOG");
}

}  // namespace
}  // namespace kinovela
