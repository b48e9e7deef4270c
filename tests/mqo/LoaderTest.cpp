#include "mqo/LoaderMQO.h"

#include <gtest/gtest.h>

#include <climits>

#include "TestUtil.h"
#include "scene/Hierarchy.h"

namespace kinovela {
namespace {

using test::ImportText;
using test::Mqo;
using test::MqoObject;

const char* kCube =
    "-1 -1 -1\n1 -1 -1\n1 1 -1\n-1 1 -1\n-1 -1 1\n1 -1 1\n1 1 1\n-1 1 1";
const char* kCubeFaces =
    "4 V(0 1 2 3) UV(0 0 1 0 1 1 0 1)\n4 V(7 6 5 4)\n4 V(0 4 5 1)\n4 V(1 5 6 2)\n4 V(2 6 7 3)\n4 V(3 7 4 0)";

class Loader : public ::testing::Test {
protected:
    MqoImportResult Import(const std::string& text, int parent = kNoModel)
    {
        return ImportText(scene, t, text, parent);
    }
    CKinovela scene;
    CTimeline t;
};

TEST_F(Loader, EmptyDocumentAddsTheDefaultMaterial)
{
    const MqoImportResult r = Import(Mqo("Eof\n"));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(scene.m_models.empty());
    ASSERT_EQ(scene.m_materials.size(), 1u);
    EXPECT_EQ(scene.m_materials[0].m_name, "NoMaterial");
    EXPECT_EQ(scene.m_materials[0].m_id, 0);
    EXPECT_EQ(scene.m_nextMaterialId, 1);
    // A second empty import adds nothing: the scene has a material now.
    EXPECT_TRUE(Import(Mqo("")).ok);
    EXPECT_EQ(scene.m_materials.size(), 1u);
}

TEST_F(Loader, HeaderChecks)
{
    MqoImportResult r = Import("Metasequoia Document\nFormat Text Ver 1.2\n" + MqoObject("a", kCube, kCubeFaces));
    EXPECT_EQ(r.code, kMqoBadFormat);
    EXPECT_EQ(r.line, 2u);
    EXPECT_NE(r.message.find("test.mqo:2:"), std::string::npos) << r.message;
    EXPECT_TRUE(scene.m_models.empty());

    EXPECT_TRUE(Import("metasequoia document\nformat text ver 1.0\n").ok) << "keywords ignore case";
    EXPECT_EQ(Import("\nMetasequoia Document\nFormat Text Ver 1.0\n").code, kMqoNotMqo);
    EXPECT_EQ(Import("Metasequoia Doc\nFormat Text Ver 1.0\n").code, kMqoNotMqo);
    EXPECT_EQ(Import("Metasequoia Document\nFormat Compress Ver 1.0\n").code, kMqoBadFormat);
    EXPECT_EQ(Import("Metasequoia Document\nFormat Text Ver\n").code, kMqoBadFormat);
    EXPECT_EQ(Import("").code, kMqoNotMqo);
}

TEST_F(Loader, ModelFromAnObject)
{
    t.m_last = 30;
    const MqoImportResult r = Import(Mqo(MqoObject("cube", kCube, kCubeFaces, "\tfacet 45.5\n\tvisible 15\n")));
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(scene.m_models.size(), 1u);
    const CModel& m = scene.m_models[0];
    EXPECT_EQ(m.m_name, "cube");
    EXPECT_EQ(m.m_listId, 6);
    EXPECT_EQ(scene.m_lastListId, 6);
    EXPECT_EQ(m.m_parentName, "<NULL>");
    EXPECT_EQ(m.m_facet, 45.5f);
    EXPECT_EQ(m.m_vertices.size(), 8u);
    ASSERT_EQ(m.m_faces.size(), 6u);
    EXPECT_EQ(m.m_faces[0].UVCount(), 4);
    EXPECT_EQ(m.m_faces[0].m_uvs[2].m_u, 1.0f);
    EXPECT_EQ(m.m_faces[1].UVCount(), 0);
    EXPECT_EQ(m.m_faces[0].m_material, 0);
    ASSERT_EQ(m.m_frames.size(), 31u);
    EXPECT_EQ(m.m_frames[0].m_key, 1);
    EXPECT_EQ(m.m_frames[1].m_key, 0);
    EXPECT_EQ(m.m_frames[5].m_scale, CVector(1, 1, 1));
    // Every vertex of a cube is on three faces; normals and the box exist.
    for (std::size_t v = 0; v < 8; ++v) EXPECT_EQ(m.VertexFaces(v).size(), 3u);
    EXPECT_EQ(m.m_faces[0].m_normal, CVector(0, 0, 1));
    EXPECT_EQ(m.m_bboxMin, CVector(-1, -1, -1));
    EXPECT_EQ(scene.m_hierarchyWalk.size(), 4u);
}

TEST_F(Loader, TwoPointLinesSetThePivot)
{
    ASSERT_TRUE(Import(Mqo(MqoObject("line only", "0 0 0\n1 1 1", "2 V(0 1)"))).ok);
    EXPECT_TRUE(scene.m_models.empty()) << "an object of lines only is dropped";
    ASSERT_TRUE(Import(Mqo(MqoObject("tri", "0 0 0\n1 0 0\n0 1 0\n5 6 7\n8 9 10",
                                     "2 V(4 0)\n3 V(0 1 2)\n2 V(3 4)")))
                    .ok);
    ASSERT_EQ(scene.m_models.size(), 1u);
    EXPECT_EQ(scene.m_models[0].m_faces.size(), 1u);
    EXPECT_EQ(scene.m_models[0].m_pivot, CVector(5, 6, 7)) << "the last line wins";
    EXPECT_EQ(scene.m_models[0].m_listId, 6) << "dropped objects take no list number";
}

TEST_F(Loader, MirrorAxis)
{
    ASSERT_TRUE(Import(Mqo(MqoObject("half", kCube, kCubeFaces, "\tmirror 1\n\tmirror_axis 1\n"))).ok);
    const CModel& m = scene.m_models[0];
    EXPECT_EQ(m.m_vertices.size(), 16u);
    ASSERT_EQ(m.m_faces.size(), 12u);
    const CFace& mirrored = m.m_faces[6];
    EXPECT_EQ(std::vector<int>(mirrored.Indices().begin(), mirrored.Indices().end()), (std::vector<int>{11, 10, 9, 8}));
    // UVs reversed with the corners: corner 0 of the copy is old corner 3.
    EXPECT_EQ(mirrored.m_uvs[0].m_u, 0.0f);
    EXPECT_EQ(mirrored.m_uvs[0].m_v, 1.0f);
    EXPECT_EQ(mirrored.m_uvs[1].m_u, 1.0f);
    EXPECT_EQ(m.m_vertices[9].m_pos, CVector(-1, -1, -1));
    EXPECT_EQ(m.m_mirror, 1);

    ASSERT_TRUE(Import(Mqo(MqoObject("eight", kCube, kCubeFaces, "\tmirror_axis 7\n"))).ok);
    EXPECT_EQ(scene.m_models[1].m_vertices.size(), 64u);
    EXPECT_EQ(scene.m_models[1].m_faces.size(), 48u);
    // X first, then Y on everything so far, then Z.
    EXPECT_EQ(scene.m_models[1].m_vertices[8 + 16 + 32].m_pos, CVector(1, 1, 1));

    ASSERT_TRUE(Import(Mqo(MqoObject("noaxis", kCube, kCubeFaces, "\tmirror 1\n"))).ok);
    ASSERT_TRUE(Import(Mqo(MqoObject("bad", kCube, kCubeFaces, "\tmirror_axis 9\n"))).ok);
    ASSERT_TRUE(Import(Mqo(MqoObject("neg", kCube, kCubeFaces, "\tmirror_axis -1\n"))).ok);
    for (std::size_t i = 2; i < 5; ++i) EXPECT_EQ(scene.m_models[i].m_vertices.size(), 8u) << i;
}

TEST_F(Loader, FaceLines)
{
    ASSERT_TRUE(Import(Mqo(MqoObject("f", "0 0 0\n1 0 0\n1 1 0\n0 1 0\n0 0 1",
                                     "5 V(0 1 2 3 4) UV(0 0 .1 0 .2 0 .3 0 .4 0)\n"
                                     "3 V [ 0 1 2 )\n"         // no '(' : dropped
                                     "3 V(0 1 2) M [1] )\n"    // broken M part: dropped
                                     "3 V(0 1 2) UV(1 2 3)\n"  // too short to be a UV part: ignored
                                     "3 V(0 1 2) M(2) UV(1 2 3 4 5 6 7 8)\n"  // ')' misplaced: dropped
                                     "1 V(0)\n"                 // one corner: dropped
                                     "0 V()\n"
                                     "3 V(2 1 0) M(7)")))
                    .ok);
    const CModel& m = scene.m_models[0];
    ASSERT_EQ(m.m_faces.size(), 3u);
    EXPECT_EQ(m.m_faces[0].IndexCount(), 4);
    EXPECT_EQ(m.m_faces[0].m_indices[3], 3);
    EXPECT_EQ(m.m_faces[0].UVCount(), 4);
    EXPECT_EQ(m.m_faces[0].m_uvs[3].m_u, 0.3f);
    EXPECT_EQ(m.m_faces[1].UVCount(), 0);
    EXPECT_EQ(m.m_faces[2].m_material, 7) << "material numbers are kept as they are";

    EXPECT_EQ(Import(Mqo(MqoObject("g", "0 0 0", "3 (0 1 2)"))).code, kMqoSyntax);
    EXPECT_EQ(Import(Mqo(MqoObject("h", "0 0 0", "4 V(0 1 2)"))).code, kMqoSyntax) << "too few tokens";
    EXPECT_EQ(Import(Mqo(MqoObject("i", "0 0 0", "2147483647 V(0 1 2)"))).code, kMqoSyntax);
    EXPECT_EQ(Import(Mqo(MqoObject("j", "0 0 0", "-2147483648 V(0 1 2)"))).ok, true) << "dropped, not an error";
}

TEST_F(Loader, CornersOutsideTheVertexListAreDroppedWithAWarning)
{
    const MqoImportResult r =
        Import(Mqo(MqoObject("broken", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)\n3 V(0 1 3)\n4 V(0 -1 2 1)\n2 V(9 0)")));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(scene.m_models[0].m_faces.size(), 1u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("\"broken\": 3 faces"), std::string::npos) << r.warnings[0];
    EXPECT_EQ(scene.m_models[0].m_pivot, CVector());

    // A pivot line needs only its first point.
    ASSERT_TRUE(Import(Mqo(MqoObject("pivot", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)\n2 V(2 9)"))).ok);
    EXPECT_EQ(scene.m_models[1].m_pivot, CVector(0, 1, 0));
}

TEST_F(Loader, FullCountersRefuseMoreModels)
{
    scene.m_lastListId = INT_MAX;
    MqoImportResult r = Import(Mqo(MqoObject("x", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)")));
    EXPECT_EQ(r.code, kMqoSceneFull);
    EXPECT_NE(r.message.find("display-list numbers"), std::string::npos) << r.message;
    EXPECT_TRUE(scene.m_models.empty());
    EXPECT_EQ(scene.m_lastListId, INT_MAX);

    CKinovela other;
    other.m_nextMaterialId = INT_MAX;
    r = ImportText(other, t, Mqo("Material 1 {\n\"m\"\n}\n"));
    EXPECT_EQ(r.code, kMqoSceneFull);
    EXPECT_TRUE(other.m_materials.empty());
    EXPECT_EQ(other.m_nextMaterialId, INT_MAX);
}

TEST_F(Loader, MaterialAttributes)
{
    ASSERT_TRUE(Import(Mqo("Material 4 {\n"
                           "\t\"mat 1\" shader(3) col(1.000 0.500 0.250 1.000) dif(0.800) amb(0.6) emi(0.1) spc(0.2) "
                           "power(5.00) tex(\"a b.bmp\") aplane(\"al.bmp\") bump(\"bu.bmp\")\n"
                           "\tplain\n"
                           "\t\"odd\" name(1) col(1 0 0 1) dif(0.5)\n"
                           "\t\"cut\" dif(0.5) amb 0.3) spc(0.7)\n"
                           "\n"
                           "}\n" +
                           MqoObject("x", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(2)")))
                    .ok);
    ASSERT_EQ(scene.m_materials.size(), 4u);
    const CMaterial& a = scene.m_materials[0];
    EXPECT_EQ(a.m_name, "mat 1");
    EXPECT_EQ(a.m_col, (std::array<float, 4>{1.0f, 0.5f, 0.25f, 1.0f}));
    EXPECT_EQ(a.m_dif, 0.8f);
    EXPECT_EQ(a.m_amb, 0.6f);
    EXPECT_EQ(a.m_emi, 0.1f);
    EXPECT_EQ(a.m_spc, 0.2f);
    EXPECT_EQ(a.m_power, 5.0f);
    EXPECT_EQ(a.m_texture, "a b.bmp");
    EXPECT_EQ(a.m_alphaPlane, "al.bmp");
    EXPECT_EQ(a.m_bump, "bu.bmp");
    EXPECT_EQ(a.m_glColors[0][0], 0.8f) << "derived colours are computed";
    EXPECT_EQ(scene.m_materials[1].m_name, "plain");
    EXPECT_EQ(scene.m_materials[1].m_dif, 1.0f);
    EXPECT_EQ(scene.m_materials[2].m_col, (std::array<float, 4>{1, 0, 0, 1})) << "after an unknown attribute";
    EXPECT_EQ(scene.m_materials[2].m_dif, 0.5f);
    EXPECT_EQ(scene.m_materials[3].m_dif, 0.5f);
    EXPECT_EQ(scene.m_materials[3].m_amb, 1.0f) << "a broken attribute ends the line";
    EXPECT_EQ(scene.m_materials[3].m_spc, 0.0f);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(scene.m_materials[static_cast<std::size_t>(i)].m_id, i);
    EXPECT_EQ(scene.m_models[0].m_faces[0].m_material, 2);
}

TEST_F(Loader, SecondDocumentUsesItsOwnMaterialIds)
{
    const std::string mats = "Material 3 {\n\"a\"\n\"b\"\n\"c\"\n}\n";
    ASSERT_TRUE(Import(Mqo(mats + MqoObject("first", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(1)"))).ok);
    ASSERT_TRUE(Import(Mqo(mats + MqoObject("second", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)\n3 V(0 1 2) M(2)"))).ok);
    EXPECT_EQ(scene.m_models[0].m_faces[0].m_material, 1);
    EXPECT_EQ(scene.m_models[1].m_faces[0].m_material, 3) << "no M part: the document's first material";
    EXPECT_EQ(scene.m_models[1].m_faces[1].m_material, 5);
    EXPECT_EQ(scene.m_materials[5].m_id, 5);
    EXPECT_EQ(scene.m_nextMaterialId, 6);
    EXPECT_EQ(scene.m_models[1].m_listId, 7);
}

TEST_F(Loader, DefaultMaterialGetsTheIdItsFacesUse)
{
    // Earlier materials were pruned, so the id base is no longer 0.
    scene.m_nextMaterialId = 4;
    ASSERT_TRUE(Import(Mqo(MqoObject("x", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"))).ok);
    ASSERT_EQ(scene.m_materials.size(), 1u);
    EXPECT_EQ(scene.m_materials[0].m_id, 4);
    EXPECT_EQ(scene.m_models[0].m_faces[0].m_material, 4);
    EXPECT_EQ(scene.m_nextMaterialId, 5);
}

TEST_F(Loader, ImportUnderAParentResolvesTheLink)
{
    ASSERT_TRUE(Import(Mqo(MqoObject("root", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)"))).ok);
    ASSERT_TRUE(Import(Mqo(MqoObject("kid", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)") +
                           MqoObject("kid2", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)")),
                       0)
                    .ok);
    ASSERT_EQ(scene.m_models.size(), 3u);
    EXPECT_EQ(scene.m_models[1].m_parentName, "root");
    EXPECT_EQ(scene.m_models[1].m_parent, 0);
    EXPECT_EQ(scene.m_models[2].m_parent, 0);
    const std::vector<WalkEntry> walk = {{0, 0}, {1, 0}, {1, 1}, {2, 1}, {1, 2}, {2, 2}, {2, 0}, {3, 2}};
    EXPECT_EQ(scene.m_hierarchyWalk, walk);
    // A parent index outside the list gives top-level models.
    ASSERT_TRUE(Import(Mqo(MqoObject("orphan", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)")), 50).ok);
    EXPECT_EQ(scene.m_models[3].m_parent, -99);
    EXPECT_EQ(scene.m_models[3].m_parentName, "<NULL>");
}

TEST_F(Loader, SkipsChunksAndBinaryBlocks)
{
    const std::string binary(96, '}');  // braces inside the data must not count
    const std::string doc = Mqo(
        "Scene {\n\tpos 0 0 1500\n\tdirlights 1 {\n\t\tlight {\n\t\t\tdir 0.4 0.4 0.8\n\t\t}\n\t}\n}\n"
        "BackImage {\n\tpers \"bg.bmp\" 0 0 100 100\n}\n"
        "Blob {\n\tVector 8 [96]\n" + binary + "\n}\n"
        "Object \"o\" {\n\tdepth 0\n\tfolding 0\n\tscale 1 1 1\n\trotation 0 0 0\n\ttranslation 0 0 0\n"
        "\tBVertex 3 {\n\t\tVector 3 [36]\n" + std::string(36, '\n') + "\t}\n"
        "\tvertexattr {\n\t\tuid {\n\t\t\t1\n\t\t}\n\t}\n"
        "\tvertex 3 {\n\t\t0 0 0\n\t\t1 0 0\n\t\t0 1 0\n\t}\n"
        "\tanimation 2 {\n\t\t1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n\t}\n"
        "\tface 1 {\n\t\t3 V(0 1 2)\n\t}\n}\nEof\n");
    const MqoImportResult r = Import(doc);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(scene.m_models.size(), 1u);
    EXPECT_EQ(scene.m_models[0].m_vertices.size(), 3u);
    EXPECT_EQ(scene.m_models[0].m_faces.size(), 1u);
}

TEST_F(Loader, BadBinaryBlocksFail)
{
    MqoImportResult r = Import(Mqo("Blob [-4]\n"));
    EXPECT_EQ(r.code, kMqoSyntax);
    r = Import(Mqo("Blob {\n\tdata [1000]\n" + std::string(10, 'x') + "\n}\n"));
    EXPECT_EQ(r.code, kMqoSyntax);
    EXPECT_EQ(r.line, 4u);
}

TEST_F(Loader, VertexLineWithoutCountIsSkipped)
{
    ASSERT_TRUE(Import(Mqo("Object \"o\" {\n\tvertex {\n\t\t0 0 0\n\t}\n\tface 1 {\n\t\t3 V(0 1 2)\n\t}\n}\n")).ok);
    EXPECT_TRUE(scene.m_models.empty()) << "no vertices, so the face is dropped and the object with it";
}

TEST_F(Loader, FailuresKeepWhatWasReadAndDropThePartialModel)
{
    const std::string first = MqoObject("done", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)");
    MqoImportResult r = Import(Mqo("Material 1 {\n\"m\"\n}\n" + first + "Object \"cut\" {\n\tvertex 3 {\n\t\t0 0 0\n"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, kMqoEndOfFile);
    ASSERT_EQ(scene.m_models.size(), 1u);
    EXPECT_EQ(scene.m_models[0].m_name, "done");
    EXPECT_EQ(scene.m_materials.size(), 1u);
    EXPECT_EQ(r.modelsAdded, 1u);

    r = Import(Mqo("Object \"x\" {\n\tvertex 3 x\n\t}\n}\n"));  // a vertex line without '{'
    EXPECT_EQ(r.code, kMqoSyntax);
    EXPECT_EQ(r.line, 4u);
    r = Import(Mqo("Object \"x\"\n"));
    EXPECT_EQ(r.code, kMqoSyntax);
    EXPECT_EQ(r.line, 3u);
    r = Import(Mqo("Material 1\n"));
    EXPECT_EQ(r.code, kMqoSyntax);
    r = Import(Mqo("Material 1 {\n\"m\"\n"));
    EXPECT_EQ(r.code, kMqoEndOfFile);
    r = Import(Mqo("Unknown {\n\tdeep {\n"));
    EXPECT_EQ(r.code, kMqoEndOfFile);
    EXPECT_EQ(scene.m_models.size(), 1u);
    EXPECT_EQ(scene.m_hierarchyWalk.size(), 4u);
}

TEST_F(Loader, ShiftJisNamesPassThrough)
{
    const std::string name = "\x8E\xE8\x8E\xF1\x83\x5B";  // ends in a byte that is '[' in ASCII
    ASSERT_TRUE(Import(Mqo("Material 1 {\n\t\"\x8B\xE0\x91\xAE\" col(1 1 1 1)\n}\n" +
                           MqoObject(name, "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)")))
                    .ok);
    EXPECT_EQ(scene.m_models[0].m_name, name);
    EXPECT_EQ(scene.m_materials[0].m_name, "\x8B\xE0\x91\xAE");
}

TEST_F(Loader, OpeningFiles)
{
    MqoImportResult r = LoadMQO(scene, t, "/nonexistent/file.mqo", kNoModel);
    EXPECT_EQ(r.code, kMqoCannotOpen);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(scene.m_materials.empty()) << "nothing changes when the file cannot be opened";
    r = LoadMQO(scene, t, "/tmp", kNoModel);
    EXPECT_EQ(r.code, kMqoCannotOpen);

    r = LoadMQO(scene, t, KINOVELA_SOURCE_DIR "/samples/robot_arm.mqo", kNoModel);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(scene.m_models.size(), 6u);
    EXPECT_EQ(scene.m_models[0].m_vertices.size(), 20u) << "the mirrored base";
    EXPECT_EQ(scene.m_models[3].m_name, "\x8E\xE8\x8E\xF1");
    EXPECT_EQ(scene.m_materials[0].m_texture, "robot_panel.bmp");
    EXPECT_EQ(scene.m_models[2].m_pivot, CVector(0, 240, 0));
}

// The modeller writes faces clockwise seen from outside, and the preview
// culls the other side: a sample wound the other way is drawn inside out.
// Every part is a box, so "outside" is away from the box's middle.
TEST_F(Loader, TheSampleWindsItsFacesAsTheModellerDoes)
{
    ASSERT_TRUE(LoadMQO(scene, t, KINOVELA_SOURCE_DIR "/samples/robot_arm.mqo", kNoModel).ok);
    for (const CModel& m : scene.m_models) {
        const CVector span = m.m_bboxMax - m.m_bboxMin;
        const CVector middle = m.m_bboxMin + CVector(span.m_x / 2, span.m_y / 2, span.m_z / 2);
        ASSERT_FALSE(m.m_faces.empty());
        for (const CFace& f : m.m_faces) {
            const CVector& a = m.m_vertices[static_cast<std::size_t>(f.m_indices[0])].m_pos;
            const CVector& b = m.m_vertices[static_cast<std::size_t>(f.m_indices[1])].m_pos;
            const CVector& c = m.m_vertices[static_cast<std::size_t>(f.m_indices[2])].m_pos;
            const CVector turn = (b - a).Cross(c - a);  // points out for counter-clockwise corners
            const CVector out = a - middle;
            EXPECT_LT(turn.m_x * out.m_x + turn.m_y * out.m_y + turn.m_z * out.m_z, 0.0f) << m.m_name;
        }
    }
}

// Cutting the sample at every byte never crashes, and a cut inside a block is
// reported as such.
TEST_F(Loader, EveryTruncationOfTheSampleIsHandled)
{
    const std::string doc = test::ReadFile(KINOVELA_SOURCE_DIR "/samples/robot_arm.mqo");
    ASSERT_GT(doc.size(), 1000u);
    std::size_t failures = 0;
    for (std::size_t len = 0; len < doc.size(); len += 3) {
        CKinovela s;
        const MqoImportResult r = ImportText(s, t, doc.substr(0, len));
        if (!r.ok) ++failures;
        ASSERT_LE(s.m_models.size(), 6u);
        for (const CModel& m : s.m_models) ASSERT_EQ(m.m_frames.size(), 61u);
    }
    EXPECT_GT(failures, doc.size() / 6);
}

}  // namespace
}  // namespace kinovela
