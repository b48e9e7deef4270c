#include <gtest/gtest.h>

#include <climits>

#include "TestUtil.h"
#include "export/HeaderWriter.h"
#include "export/Kino3DWriter.h"
#include "export/XWriter.h"
#include "mqo/MqoWriter.h"

namespace kinovela {
namespace {

using test::ImportText;
using test::Mqo;
using test::MqoObject;

// Counts the occurrences of `what` in `text`.
std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class Writers : public ::testing::Test {
protected:
    void SetUp() override
    {
        // "plain" has no pivot; "joint" has one (the two-point line) and
        // sits under "plain". A texture, a missing material id and a face
        // with fewer texture coordinates than corners.
        const std::string doc = Mqo(
            "Material 2 {\n\t\"mat\" col(1 0.5 0.25 1) dif(0.8) tex(\"a.bmp\")\n\t\"grey\" col(0.5 0.5 0.5 1)\n}\n" +
            MqoObject("plain", "0 0 0\n1 0 0\n1 1 0\n0 1 0", "4 V(0 1 2 3) M(0) UV(0 0 1 0 1 1)\n3 V(0 1 2) M(5)") +
            MqoObject("joint", "0 0 0\n2 0 0\n0 2 0\n1 1 0\n1 2 0", "3 V(0 1 2) M(1) UV(0.5 0.5 1 0 0 1)\n2 V(3 4)"));
        ASSERT_TRUE(ImportText(scene, t, doc).ok);
        // The importer ignores a UV part too short for the face; a file may
        // still hold fewer coordinates than corners.
        CFace& quad = scene.m_models[0].m_faces[0];
        quad.m_uvCount = 0;
        for (CUV uv : {CUV{0, 0}, CUV{1, 0}, CUV{1, 1}}) quad.AddUV(uv);
        scene.m_models[1].m_parentName = "plain";
        scene.ResolveParents();
        scene.RebuildHierarchyWalk();
    }
    std::string X(XOptions o = {})
    {
        const std::string path = dir.File("out.x");
        const ExportResult r = WriteXFile(scene, t, path, o);
        EXPECT_TRUE(r.ok) << r.error;
        return test::ReadFile(path);
    }
    // Keys the "joint" model at `frame` with the given pose.
    void Key(int frame, CVector position, CVector rotation = {}, CVector scale = {1, 1, 1})
    {
        scene.m_selected = 1;
        t.m_current = frame;
        scene.SetPosition(t, position);
        scene.SetRotation(t, rotation);
        scene.SetScale(t, scale);
        scene.AddKeyFrame(t, false, frame);
    }

    test::TempDir dir;
    CKinovela scene;
    CTimeline t;
};

TEST_F(Writers, XFramesFollowTheHierarchyAndPivots)
{
    XOptions o;
    o.scale = 1;
    const std::string x = X(o);
    EXPECT_EQ(x.rfind("xof 0302txt 0032\r\n\r\n// Kinovela 6.6\r\n", 0), 0u);
    EXPECT_EQ(Count(x, "\n"), Count(x, "\r\n")) << "every line ends in CR LF";
    EXPECT_NE(x.find("template Header {\r\n\t<3D82AB43-62DA-11cf-AB39-0020AF71E433>\r\n\tWORD major;\r\n"),
              std::string::npos);
    EXPECT_NE(x.find("Header {\r\n\t1;\r\n\t0;\r\n\t1;\r\n}\r\n\r\n"), std::string::npos);
    // The pivoted child lies inside its parent's frame, in four frames.
    const std::size_t plain = x.find("Frame plain {\r\n");
    const std::size_t pivot = x.find("Frame jointPivot {\r\n\tFrame joint {\r\n\tFrame jointPivot2 {\r\n\tFrame jointPivot3 {\r\n");
    ASSERT_NE(plain, std::string::npos);
    ASSERT_NE(pivot, std::string::npos);
    EXPECT_LT(plain, pivot);
    EXPECT_EQ(Count(x, "Frame ") - Count(x, "template Frame "), 5u);
    // Three pivot animations for the pivoted model only.
    EXPECT_NE(x.find("\t\t\t0; 3; 1.000000, 1.000000, -0.000000;;,\r\n\t\t}\r\n\t\t{ jointPivot }\r\n"), std::string::npos);
    EXPECT_NE(x.find("\t\t\t0; 3; -1.000000, -1.000000, 0.000000;;,\r\n\t\t}\r\n\t\t{ jointPivot2 }\r\n"),
              std::string::npos);
    EXPECT_EQ(Count(x, "{ plainPivot"), 0u);
    // Only frame 0 is a key: one key line in the rotation and position keys,
    // and no scale key because the scale never changes.
    EXPECT_NE(x.find("\t\tAnimationKey {\r\n\t\t\t0;\r\n\t\t\t1;\r\n\t\t\t0; 4; 1.000000, 0.000000, 0.000000, -0.000000;;,\r\n"),
              std::string::npos);
    EXPECT_EQ(Count(x, "\t\t\t1;\r\n\t\t\t1;\r\n"), 0u) << "no scale key";
}

TEST_F(Writers, XMeshVariants)
{
    XOptions o;
    o.scale = 2;
    o.textureCoords = true;
    // Shared, left-handed: z negated (a zero prints as -0), normals (-x, -y, z).
    std::string x = X(o);
    EXPECT_NE(x.find("\t\tMesh Mesh_plain {\r\n\t\t\t4;\r\n\t\t\t\t0.000000;0.000000;-0.000000;,\r\n\t\t\t\t2.000000;0.000000;-0.000000;,\r\n"),
              std::string::npos);
    EXPECT_NE(x.find("\r\n\t\t\t2;\r\n\t\t\t4;0,1,2,3;,\r\n\t\t\t3;0,1,2;,\r\n"), std::string::npos);
    EXPECT_NE(x.find("\t\t\t\t-0.000000;-0.000000;1.000000;,\r\n"), std::string::npos);
    // Material list: ids in order of first use; id 5 names no material and
    // gets the default one, so two blocks for two entries.
    EXPECT_NE(x.find("\t\t\tMeshMaterialList {\r\n\t\t\t\t2;\r\n\t\t\t\t2;\r\n\t\t\t\t0,\r\n\t\t\t\t1,\r\n"),
              std::string::npos);
    EXPECT_NE(x.find("\t\t\t\t\t0.800000;0.400000;0.200000;1.000000;;\r\n"), std::string::npos);
    EXPECT_NE(x.find("\t\t\t\t\t0.800000;0.800000;0.800000;1.000000;;\r\n\t\t\t\t\t0.200000;\r\n"), std::string::npos);
    EXPECT_NE(x.find("\t\t\t\t\tTextureFilename {\r\n\t\t\t\t\t\t\"a.bmp\";\r\n\t\t\t\t\t}\r\n"), std::string::npos);
    // Shared coordinates: each vertex takes its first corner's; vertex 3 has none.
    EXPECT_NE(x.find("\t\t\tMeshTextureCoords {\r\n\t\t\t\t4;\r\n\t\t\t\t0.000000;0.000000;,\r\n\t\t\t\t1.000000;0.000000;,\r\n"
                     "\t\t\t\t1.000000;1.000000;,\r\n\t\t\t\t0.000000;0.000000;,\r\n\t\t\t}\r\n"),
              std::string::npos);
    // The untextured "joint" mesh has no coordinates.
    EXPECT_EQ(Count(x, "\tMeshTextureCoords {"), 1u);

    // Per corner, right-handed: 4 + 3 vertices, corners reversed, normals negated.
    o.textureQuality = 1;
    o.coordinateSystem = 1;
    x = X(o);
    EXPECT_NE(x.find("\t\tMesh Mesh_plain {\r\n\t\t\t7;\r\n"), std::string::npos);
    EXPECT_NE(x.find("\t\t\t4;3,2,1,0;,\r\n\t\t\t3;6,5,4;,\r\n"), std::string::npos);
    EXPECT_NE(x.find("\t\t\t\t-0.000000;-0.000000;-1.000000;,\r\n"), std::string::npos);
    // Corner 3 of the quad has no stored coordinate: 0, 0.
    EXPECT_NE(x.find("\t\t\t\t7;\r\n\t\t\t\t0.000000;0.000000;,\r\n\t\t\t\t1.000000;0.000000;,\r\n\t\t\t\t1.000000;1.000000;,\r\n"
                     "\t\t\t\t0.000000;0.000000;,\r\n"),
              std::string::npos);
}

TEST_F(Writers, XAnimation)
{
    Key(10, {10, 0, 5}, {90, 0, 0}, {2, 1, 1});
    XOptions o;
    o.scale = 1;
    o.speed = 0;
    std::string x = X(o);
    // Two keys, both at time 0 with speed 0; the scale changes, so it has a key.
    EXPECT_NE(x.find("\t\t\t2;\r\n\t\t\t0; 4; 1.000000, 0.000000, 0.000000, -0.000000;;,\r\n\t\t\t0; 4; 0.707107, 0.707107, 0.000000, -0.000000;;,\r\n"),
              std::string::npos);
    EXPECT_NE(x.find("\t\tAnimationKey {\r\n\t\t\t1;\r\n\t\t\t2;\r\n\t\t\t0; 3; 1.000000, 1.000000, 1.000000;;,\r\n\t\t\t0; 3; 2.000000, 1.000000, 1.000000;;,\r\n"),
              std::string::npos);
    EXPECT_NE(x.find("\t\t\t0; 3; 10.000000, 0.000000, -5.000000;;,\r\n\t\t}\r\n\t\t{ joint }\r\n"), std::string::npos);

    // Right-handed quaternions are written (w, -x, -y, -z), positions as stored.
    o.coordinateSystem = 1;
    o.speed = 150;
    x = X(o);
    EXPECT_NE(x.find("\t\t\t1500; 4; 0.707107, -0.707107, -0.000000, -0.000000;;,\r\n"), std::string::npos);
    EXPECT_NE(x.find("\t\t\t1500; 3; 10.000000, 0.000000, 5.000000;;,\r\n"), std::string::npos);

    // Matrix keys: flat frames, last + 1 keys of 16 values per model.
    o.keyType = 1;
    x = X(o);
    EXPECT_EQ(Count(x, "Pivot"), 0u);
    EXPECT_EQ(Count(x, "\t\t\t4;\r\n\t\t\t61;\r\n"), 2u);
    EXPECT_EQ(Count(x, ";16;"), 122u);
    // Frame 0 of "joint" (pivot (1,1,0) under an unmoved parent): K * T(p).
    EXPECT_NE(x.find("\t\t\t0;16;1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,0.000000,0.000000,"
                     "1.000000,0.000000,1.000000,1.000000,0.000000,1.000000;;,\r\n"),
              std::string::npos);

    // No keys: no animation set at all.
    o.keyType = 2;
    EXPECT_EQ(Count(X(o), "\nAnimationSet {"), 0u);
}

TEST_F(Writers, XCameraAndSafeNames)
{
    scene.m_models[0].m_name = "my arm:1";
    scene.m_models[1].m_name = "my arm|1";
    scene.m_models[1].m_parentName = "my arm:1";
    XOptions o;
    o.camera = true;
    o.safeNames = true;
    o.scale = 1;
    scene.m_camera[0].m_rotation = {0, 0, 0};
    const std::string path = dir.File("dir.v1/scene.name.x");
    std::filesystem::create_directories(dir.File("dir.v1"));
    ASSERT_TRUE(WriteXFile(scene, t, path, o).ok);
    const std::string x = test::ReadFile(path);
    EXPECT_NE(x.find("Frame Root_scene.name {\r\n\tFrameTransformMatrix {\r\n\t\t1.000000, 0.000000, 0.000000, 0.000000,\r\n"),
              std::string::npos);
    EXPECT_NE(x.find("\t\t0.000000, 0.000000, 2000.000000, 1.000000;;\r\n\t}\r\n\r\n"), std::string::npos);
    EXPECT_NE(x.find("Frame my_arm_1 {"), std::string::npos);
    EXPECT_NE(x.find("Frame my_arm_1_2Pivot {"), std::string::npos) << "unique after replacing";
    EXPECT_NE(x.find("{ my_arm_1_2 }"), std::string::npos);
    EXPECT_EQ(ExportNames(scene, true)[0], "my_arm_1");
    scene.m_models[0].m_name = "9lives";
    EXPECT_EQ(ExportNames(scene, true)[0], "_9lives");
}

TEST_F(Writers, WriteErrorsAreReported)
{
    std::filesystem::create_symlink("/dev/full", dir.Path() / "full.x");
    const ExportResult r = WriteXFile(scene, t, dir.File("full.x"), {});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("No space left"), std::string::npos) << r.error;
    EXPECT_FALSE(WriteMQS(scene, t, dir.File("no/such/folder/a.mqs"), true, 1).ok);
    EXPECT_FALSE(WriteHeaderFile(scene, dir.File("no/such/folder/a.h"), 1).ok);
}

TEST_F(Writers, MqsDocument)
{
    scene.m_models[1].m_pivot = {1, 0, 0};
    t.m_last = 0;
    scene.SetLastFrame(t, 0);
    const std::string path = dir.File("a.mqs");
    ASSERT_TRUE(WriteMQS(scene, t, path, false, 2).ok);
    const std::string m = test::ReadFile(path);
    EXPECT_EQ(m.rfind("Metasequoia Document\r\nFormat Text Ver 1.0\r\n\r\nScene {\r\n\tpos 0.0000 0.0000 1500.0000\r\n", 0), 0u);
    EXPECT_NE(m.find("\t\"mat\" shader(3) col(1.000000 0.500000 0.250000 1.000000) dif(0.800000) amb(1.000000) "
                     "emi(0.000000) spc(0.000000) power(0.200000) tex(\"a.bmp\")\r\n"),
              std::string::npos);
    EXPECT_NE(m.find("\tcolor_type 0\r\n\tvertex 5 {\r\n\t\t-2.000000 0.000000 0.000000\r\n"), std::string::npos);
    // joint's vertex (1, 1, 0) about its pivot (1, 0, 0), times 2.
    EXPECT_NE(m.find("\t\t-2.000000 0.000000 0.000000\r\n\t\t2.000000 0.000000 0.000000\r\n\t\t-2.000000 4.000000 0.000000\r\n"
                     "\t\t0.000000 2.000000 0.000000\r\n"),
              std::string::npos);
    EXPECT_EQ(Count(m, "UV("), 0u);
    EXPECT_EQ(Count(m, "\tanimation 1 {\r\n"), 2u);
    EXPECT_TRUE(m.size() > 5 && m.substr(m.size() - 5) == "Eof\r\n");

    ASSERT_TRUE(WriteMQS(scene, t, path, true, 1).ok);
    const std::string uv = test::ReadFile(path);
    EXPECT_EQ(Count(uv, " UV("), 1u) << "the quad has only three coordinates, the triangle M(5) none";
    EXPECT_NE(uv.find("\t\t3 V(0 1 2) M(1) UV(0.500000 0.500000 1.000000 0.000000 0.000000 1.000000)\r\n"),
              std::string::npos);
    EXPECT_NE(uv.find("\t\t4 V(0 1 2 3) M(0)\r\n"), std::string::npos);
}

TEST_F(Writers, CHeader)
{
    const std::string path = dir.File("a.h");
    ASSERT_TRUE(WriteHeaderFile(scene, path, 2).ok);
    const std::string h = test::ReadFile(path);
    EXPECT_EQ(h.rfind("#include \"OpenGL.h\"\r\n\r\nFace plainFace[2] =\r\n{\r\n"
                      "\t{0,1,2,3,0,0.000000,1.000000,1.000000,0.000000,0.000000,0.000000,1.000000,0.000000},\r\n"
                      "\t{-1,0,1,2,5,0.000000,0.000000,0.000000,0,0.000000,0.000000,0.000000,0},\r\n};\r\n\r\n",
                      0),
              0u);
    EXPECT_NE(h.find("Vector3 jointVertex[5] =\r\n{\r\n\t{-2.000000,-2.000000,0.000000},\r\n"), std::string::npos);
    EXPECT_NE(h.find("Material jointMaterial[2] =\r\n{\r\n\t{1.000000,0.500000,0.250000,1.000000,0.800000,1.000000,"
                     "0.000000,0.000000,0.200000,0,3,32992},\r\n"),
              std::string::npos);
    EXPECT_EQ(Count(h, "Material "), 2u) << "every model repeats the material list";

    CKinovela empty;
    ASSERT_TRUE(WriteHeaderFile(empty, path, 1).ok);
    EXPECT_EQ(test::ReadFile(path), "#include \"OpenGL.h\"\r\n\r\n");
}

TEST_F(Writers, Kino3DPackage)
{
    scene.m_models[1].m_name = "../escape";
    scene.m_models.push_back(scene.m_models[0]);  // a second "plain"
    scene.RebuildHierarchyWalk();
    const std::string folder = dir.File("pkg");
    std::filesystem::create_directories(folder);
    Kino3DOptions o;
    const ExportResult r = WriteKino3DPackage(scene, t, folder + "/s.k3d", o);
    ASSERT_TRUE(r.ok) << r.error;
    const std::string list = test::ReadFile(folder + "/s.k3d");
    EXPECT_EQ(list.rfind("3\r\n61\r\nplain.x\r\n", 0), 0u);
    EXPECT_NE(list.find("\r\n.._escape.x\r\n"), std::string::npos) << "a name never leads out of the folder";
    EXPECT_NE(list.find("\r\nplain_2.x\r\n"), std::string::npos) << "a duplicate name gets a file of its own";
    EXPECT_EQ(Count(list, "\r\n") - 5, 3u * 61u);
    EXPECT_TRUE(std::filesystem::exists(folder + "/.._escape.x"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/plain_2.x"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("escape.x")));
    const std::string model = test::ReadFile(folder + "/plain.x");
    EXPECT_NE(model.find("Frame plain {\r\n\t\tMesh Mesh_plain {"), std::string::npos);
    EXPECT_EQ(Count(model, "template Animation"), 0u);
    EXPECT_EQ(Count(model, "template "), 19u);
    EXPECT_FALSE(r.warnings.empty()) << "the texture a.bmp was not loaded";

    EXPECT_EQ(FileNameInside("/etc/passwd"), "passwd");
    EXPECT_EQ(FileNameInside("sub\\tex.bmp"), "sub/tex.bmp");
    EXPECT_EQ(FileNameInside("a/../../b.bmp"), "b.bmp");
    EXPECT_EQ(FileNameInside(".."), "_");
}

}  // namespace
}  // namespace kinovela
