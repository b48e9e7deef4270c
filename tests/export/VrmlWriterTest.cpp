#include <gtest/gtest.h>

#include "TestUtil.h"
#include "export/VrmlWriter.h"
#include "image/DibStream.h"

namespace kinovela {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

// Expected text is written with "\n"; the file has CR LF.
std::string Crlf(const std::string& s)
{
    std::string out;
    for (char c : s) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

bool Has(const std::string& text, const std::string& lines) { return text.find(Crlf(lines)) != std::string::npos; }

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

const char* const kClose = "\t]\t}\n\t]\t}\n\t]\t}\n\t]\t}\n]\t}\n\n";

TEST(VrmlWriter, WholeWorldWithCameraAndInterpolators)
{
    CKinovela scene;
    CTimeline t;
    t.m_last = 4;
    t.m_fps = 20;
    CMaterial mat;
    mat.m_id = 7;
    mat.m_col = {1, 0.5f, 0.25f, 1};
    mat.m_amb = 0.5f;
    mat.m_emi = 0.5f;
    mat.m_spc = 0.25f;
    scene.m_materials.push_back(mat);
    CModel arm;
    arm.m_name = "arm";
    arm.m_pivot = {1, 2, 3};
    arm.m_facet = 45;
    for (CVector p : {CVector{0, 0, 0}, CVector{1, 0, 0}, CVector{0, 1, 0}}) arm.m_vertices.push_back({p, {}});
    CFace f;
    f.m_material = 7;
    for (int i : {0, 1, 2}) f.AddIndex(i);
    arm.m_faces.push_back(f);
    arm.ResizeFrames(4, 0);
    arm.m_frames[1] = {{1, 2, 3}, {90, 0, 0}, {2, 1, 1}, 1};
    arm.m_frames[2] = {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}, 0};  // in between: not written
    arm.m_frames[4] = {{-1, 0, 0.5f}, {0, 180, -90}, {1, 1, 3}, 1};
    scene.m_models.push_back(arm);
    scene.m_hierarchyWalk = {{kWalkBegin, 0}, {kWalkEnter, 0}, {kWalkLeave, 0}, {kWalkEnd, 0}};
    scene.m_camera[0].m_position = {4, 8, -2000};
    scene.m_camera[0].m_rotation = {90, 180, 0};

    test::TempDir dir;
    VrmlOptions o;
    o.camera = true;
    o.scale = 2;
    const ExportResult r = WriteVrmlFile(scene, t, dir.File("world.wrl"), o, {});
    ASSERT_TRUE(r.ok) << r.error;
    std::string transforms;
    for (const char* n : {"RZ", "RY", "RX", "S"})
        transforms += std::string("\tDEF ") + n + "_arm Transform {\n\tcenter 2.000000 4.000000 6.000000\n\tchildren [\n";
    const std::string keys = "\tkey [ 0.0, 0.250000, 1.000000 ]\n\tkeyValue [\n";
    EXPECT_EQ(ReadFile(dir.File("world.wrl")),
              Crlf("#VRML V2.0 utf8\n\n# Kinovela 6.6\n# Author: the Kinovela developers\n"
                   "# Web: https://kinovela.example.org/\n# Mail: kinovela@example.org\n\n"
                   "DEF CAMERA_T_world Transform {\n\ttranslation 2.000000 4.000000 -1000.000000\n\tchildren [\n"
                   "\t\tDEF CAMERA_RX_world Transform {\n\t\t\trotation 1.0 0.0 0.0 1.570796\n\t\t\tchildren [\n"
                   "\t\t\t\tDEF CAMERA_RY_world Transform {\n\t\t\t\t\trotation 0.0 1.0 0.0 3.141593\n\t\t\t\t\tchildren [\n"
                   "\t\t\t\t\t\tDEF CAMERA_RZ_world Transform {\n\t\t\t\t\t\t\trotation 0.0 0.0 1.0 0.000000\n"
                   "\t\t\t\t\t\t\tchildren [\n"
                   "DEF T_arm Transform {\n\tchildren [\n" + transforms +
                   "\t\tShape {\n\t\t\tappearance Appearance {\n\t\t\t\tmaterial Material {\n"
                   "\t\t\t\t\tdiffuseColor 1.000000 0.500000 0.250000\n\t\t\t\t\tambientIntensity 0.500000\n"
                   "\t\t\t\t\tspecularColor 0.250000 0.250000 0.250000\n\t\t\t\t\temissiveColor 0.500000 0.250000 0.125000\n"
                   "\t\t\t\t\tshininess 1.000000\n\t\t\t\t}\n\t\t\t}\n"
                   "\t\t\tgeometry IndexedFaceSet {\n\t\t\t\tcoord Coordinate {\n\t\t\t\t\tpoint [\n"
                   "\t\t\t\t\t\t0.000000 0.000000 0.000000,\n\t\t\t\t\t\t2.000000 0.000000 0.000000,\n"
                   "\t\t\t\t\t\t0.000000 2.000000 0.000000,\n\t\t\t\t\t]\n\t\t\t\t}\n"
                   "\t\t\t\tcoordIndex [\n\t\t\t\t\t2, 1, 0, -1,\n\t\t\t\t]\n\t\t\t\tcreaseAngle 0.785398\n\t\t\t}\n\t\t}\n" +
                   kClose +
                   "\t\t\t\t\t\t\t]\n\t\t\t\t\t\t}\n\t\t\t\t\t]\n\t\t\t\t}\n\t\t\t]\n\t\t}\n\t]\n}\n"
                   "\nDEF TS_world TimeSensor {\n\tcycleInterval 0.200000\n\tloop TRUE\n}\n"
                   "DEF PI_arm PositionInterpolator {\n" + keys +
                   "\t\t0.000000 0.000000 0.000000,\n\t\t2.000000 4.000000 6.000000,\n\t\t-2.000000 0.000000 1.000000,\n\t]\n}\n"
                   "DEF OIX_arm OrientationInterpolator {\n" + keys +
                   "\t\t1.0 0.0 0.0 0.000000,\n\t\t1.0 0.0 0.0 1.570796,\n\t\t1.0 0.0 0.0 0.000000,\n\t]\n}\n"
                   "DEF OIY_arm OrientationInterpolator {\n" + keys +
                   "\t\t0.0 1.0 0.0 0.000000,\n\t\t0.0 1.0 0.0 0.000000,\n\t\t0.0 1.0 0.0 3.141593,\n\t]\n}\n"
                   "DEF OIZ_arm OrientationInterpolator {\n" + keys +
                   "\t\t0.0 0.0 1.0 0.000000,\n\t\t0.0 0.0 1.0 0.000000,\n\t\t0.0 0.0 1.0 -1.570796,\n\t]\n}\n"
                   "DEF PIS_arm PositionInterpolator {\n" + keys +
                   "\t\t1.000000 1.000000 1.000000,\n\t\t2.000000 1.000000 1.000000,\n\t\t1.000000 1.000000 3.000000,\n\t]\n}\n"
                   "ROUTE TS_world.fraction_changed TO PI_arm.set_fraction\nROUTE PI_arm.value_changed TO T_arm.translation\n"
                   "ROUTE TS_world.fraction_changed TO OIX_arm.set_fraction\nROUTE OIX_arm.value_changed TO RX_arm.rotation\n"
                   "ROUTE TS_world.fraction_changed TO OIY_arm.set_fraction\nROUTE OIY_arm.value_changed TO RY_arm.rotation\n"
                   "ROUTE TS_world.fraction_changed TO OIZ_arm.set_fraction\nROUTE OIZ_arm.value_changed TO RZ_arm.rotation\n"
                   "ROUTE TS_world.fraction_changed TO PIS_arm.set_fraction\nROUTE PIS_arm.value_changed TO S_arm.set_scale\n\n"));

    // A one-frame animation: the key list is the leading 0.0 alone, and the
    // sensor still gets a cycle longer than zero (one frame).
    t.m_last = 0;
    scene.m_models[0].ResizeFrames(0, 1);
    ASSERT_TRUE(WriteVrmlFile(scene, t, dir.File("world.wrl"), o, {}).ok);
    const std::string one = ReadFile(dir.File("world.wrl"));
    EXPECT_TRUE(Has(one, "\tcycleInterval 0.050000\n"));
    EXPECT_TRUE(Has(one, "DEF PI_arm PositionInterpolator {\n\tkey [ 0.0 ]\n\tkeyValue [\n\t\t0.000000 0.000000 0.000000,\n\t]\n}\n"));
    EXPECT_EQ(Count(one, "\tkey [ 0.0 ]\r\n"), 5u);
    // A rate below the program's range counts as its least, so the cycle
    // stays finite (1e-45 gave "inf").
    t.m_fps = 1e-45f;
    ASSERT_TRUE(WriteVrmlFile(scene, t, dir.File("world.wrl"), o, {}).ok);
    EXPECT_TRUE(Has(ReadFile(dir.File("world.wrl")), "\tcycleInterval 100.000000\n"));
    t.m_fps = 20;

    // Matrix or no keys: no sensor, interpolators or routes; camera off: no nest.
    o.keyType = 1;
    o.camera = false;
    ASSERT_TRUE(WriteVrmlFile(scene, t, dir.File("world.wrl"), o, {}).ok);
    const std::string still = ReadFile(dir.File("world.wrl"));
    EXPECT_EQ(Count(still, "CAMERA") + Count(still, "TimeSensor") + Count(still, "ROUTE"), 0u);
    EXPECT_TRUE(Has(still, "# Mail: kinovela@example.org\n\nDEF T_arm Transform {\n"));

    fs::create_symlink("/dev/full", dir.Path() / "full.wrl");
    EXPECT_FALSE(WriteVrmlFile(scene, t, dir.File("full.wrl"), o, {}).ok);
}

TEST(VrmlWriter, ShapesNormalsTextureCoordinatesAndNesting)
{
    CKinovela scene;
    CTimeline t;
    ASSERT_TRUE(test::ImportText(scene, t,
                                 test::Mqo("Material 2 {\n\t\"tex\" col(1 1 1 1) tex(\"a.png\")\n\t\"grey\" col(0.5 0.5 0.5 1)\n}\n" +
                                           test::MqoObject("plain", "0 0 0\n1 0 0\n1 1 0\n0 1 0",
                                                           "4 V(0 1 2 3) M(0) UV(0 0 1 0 1 1 0 1)\n3 V(0 1 2) M(1)\n"
                                                           "3 V(0 2 3) M(5)") +
                                           test::MqoObject("child", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(1)")))
                    .ok);
    CModel& plain = scene.m_models[0];
    plain.m_faces[0].m_uvCount = 3;  // a file may hold fewer coordinates than corners
    CFace bad = plain.m_faces[1];
    bad.m_indices[1] = 99;  // names no vertex
    CFace line = plain.m_faces[0];
    line.m_indexCount = 2;
    plain.m_faces.push_back(bad);
    plain.m_faces.push_back(line);
    scene.m_models[1].m_parentName = "plain";
    scene.ResolveParents();
    scene.RebuildHierarchyWalk();

    test::TempDir dir;
    VrmlOptions o;
    o.keyType = 2;
    o.normals = true;
    o.textureCoords = true;
    const ExportResult r = WriteVrmlFile(scene, t, dir.File("s.wrl"), o, {});
    ASSERT_TRUE(r.ok) << r.error;
    const std::string w = ReadFile(dir.File("s.wrl"));
    const std::string quad = "\t\t\t\t\t3, 2, 1, 0, -1,\n";
    const std::string n = "\t\t\t\t\t\t-0.000000 -0.000000 -1.000000,\n";
    EXPECT_TRUE(Has(w, "\t\t\t\ttexture ImageTexture {\n\t\t\t\t\turl [ \"a.bmp\", \"a.png\" ]\n\t\t\t\t}\n\t\t\t}\n"
                       "\t\t\tgeometry IndexedFaceSet {\n\t\t\t\tcoord Coordinate {\n\t\t\t\t\tpoint [\n"
                       "\t\t\t\t\t\t0.000000 0.000000 0.000000,\n\t\t\t\t\t\t1.000000 0.000000 0.000000,\n"
                       "\t\t\t\t\t\t1.000000 1.000000 0.000000,\n\t\t\t\t\t\t0.000000 1.000000 0.000000,\n\t\t\t\t\t]\n\t\t\t\t}\n"
                       "\t\t\t\tcoordIndex [\n" + quad + "\t\t\t\t]\n\t\t\t\tnormal Normal {\n\t\t\t\t\tvector [\n" + n + n + n + n +
                       "\t\t\t\t\t]\n\t\t\t\t}\n\t\t\t\tnormalIndex [\n" + quad + "\t\t\t\t]\n"
                       "\t\t\t\ttexCoord TextureCoordinate {\n\t\t\t\t\tpoint [\n\t\t\t\t\t\t0.000000 -0.000000,\n"
                       "\t\t\t\t\t\t1.000000 -0.000000,\n\t\t\t\t\t\t1.000000 -1.000000,\n\t\t\t\t\t\t0.0 0.0,\n\t\t\t\t\t]\n\t\t\t\t}\n"
                       "\t\t\t\ttexCoordIndex [\n" + quad + "\t\t\t\t]\n\t\t\t}\n\t\t}\n"));
    // The grey triangle alone (the one naming vertex 99 is left out), without
    // coordinates; the face of material 5 has no shape.
    EXPECT_TRUE(Has(w, "\t\t\t\tcoordIndex [\n\t\t\t\t\t2, 1, 0, -1,\n\t\t\t\t]\n"));
    EXPECT_EQ(Count(w, "\t\tShape {"), 3u);
    EXPECT_EQ(Count(w, "\t\t\t\t\t\t"), 4u + 4 + 4 + (3 + 3) * 2) << "points, normals, coordinates";
    EXPECT_EQ(Count(w, "texCoord TextureCoordinate"), 1u);
    // The child stands inside the parent's innermost transform, after its shapes.
    EXPECT_TRUE(Has(w, "\t\t}\nDEF T_child Transform {\n"));
    EXPECT_EQ(w.substr(w.size() - 2 * Crlf(kClose).size()), Crlf(std::string(kClose) + kClose));
    EXPECT_EQ(Count(w, "TimeSensor"), 0u);
    EXPECT_EQ(r.warnings.size(), 1u) << "a.png was never loaded";
}

TEST(VrmlWriter, TextureSideFilesStayInTheFolderAndNeverReplaceSources)
{
    test::TempDir dir;
    const std::string tex = dir.File("tex"), out = dir.File("out");
    fs::create_directories(tex);
    fs::create_directories(dir.File("up"));
    fs::create_directories(out);
    auto image = std::make_shared<DibStream>();
    ASSERT_TRUE(image->Create(64, 64, 24));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) image->RowPointer(y)[3 * x] = static_cast<std::uint8_t>(x * 4 + y);
    ASSERT_TRUE(image->SaveBMP(tex + "/panel.bmp"));
    const std::string panel = ReadFile(tex + "/panel.bmp");
    test::WriteFile(tex + "/wood.png", "wood");
    test::WriteFile(dir.File("up/evil.png"), "evil");
    test::WriteFile(out + "/blocked", "a file, not a folder");

    CKinovela scene;
    CTimeline t;
    for (const char* name : {"wood.png", "panel.bmp", "../up/evil.png", "blocked/x.png", "wood.png"}) {
        CMaterial m;
        m.m_texture = name;
        m.m_image = image;
        m.m_imagePath = tex + "/" + fs::path(name).filename().string();
        scene.m_materials.push_back(m);
    }
    test::WriteFile(tex + "/x.png", "x");
    scene.m_materials[2].m_image.reset();  // never decoded
    scene.m_materials[2].m_imagePath.clear();
    TextureSearch search;
    search.firstFolders = {tex};

    ExportResult r = WriteVrmlFile(scene, t, out + "/w.wrl", VrmlOptions{}, search);
    ASSERT_TRUE(r.ok) << r.error;
    DibStream small;
    ASSERT_TRUE(small.LoadBMP(out + "/wood.bmp", 0x3F));
    EXPECT_EQ(small.Width(), 32);
    EXPECT_EQ(small.Height(), 32);
    EXPECT_EQ(small.RowPointer(31)[3 * 31], image->RowPointer(63)[3 * 63]);
    EXPECT_EQ(ReadFile(out + "/wood.png"), "wood");
    EXPECT_TRUE(ReadFile(out + "/panel.bmp") == panel) << "a BMP texture is copied as it is, not shrunk";
    EXPECT_FALSE(fs::exists(out + "/evil.png")) << "no picture was loaded, so there is nothing to copy";
    EXPECT_FALSE(fs::exists(out + "/evil.bmp"));
    EXPECT_FALSE(fs::exists(dir.File("up/evil.bmp")));
    // Warnings: evil.png not loaded, blocked/x.bmp and blocked/x.png not writable.
    ASSERT_EQ(r.warnings.size(), 3u);
    EXPECT_NE(r.warnings[1].find("blocked/x.bmp"), std::string::npos) << r.warnings[1];
    EXPECT_NE(r.warnings[2].find("blocked/x.png"), std::string::npos) << r.warnings[2];

    // A missing output folder fails the export; it is not made for the side files.
    EXPECT_FALSE(WriteVrmlFile(scene, t, dir.File("missing/w.wrl"), VrmlOptions{}, search).ok);
    EXPECT_FALSE(fs::exists(dir.File("missing")));

    // A copy never replaces a file; exporting into the texture folder leaves
    // every source as it was.
    test::WriteFile(out + "/wood.png", "older");
    ASSERT_TRUE(WriteVrmlFile(scene, t, out + "/w.wrl", VrmlOptions{}, search).ok);
    EXPECT_EQ(ReadFile(out + "/wood.png"), "older");
    // panel.tga's BMP name is the picture panel.bmp is made of.
    scene.m_materials.push_back(scene.m_materials[0]);
    scene.m_materials.back().m_texture = "panel.tga";
    r = WriteVrmlFile(scene, t, tex + "/w.wrl", VrmlOptions{}, search);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(ReadFile(tex + "/panel.bmp") == panel) << "the source picture is untouched";
    EXPECT_EQ(ReadFile(tex + "/wood.png"), "wood");
    EXPECT_TRUE(fs::exists(tex + "/wood.bmp"));
}

TEST(VrmlWriter, NamesAsStoredOrSafe)
{
    CKinovela scene;
    CTimeline t;
    ASSERT_TRUE(test::ImportText(scene, t, test::Mqo(test::MqoObject("my arm", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2) M(0)"))).ok);
    scene.m_materials[0].m_texture = "say \"hi\".png";
    test::TempDir dir;
    VrmlOptions o;
    ASSERT_TRUE(WriteVrmlFile(scene, t, dir.File("my world.wrl"), o, {}).ok);
    std::string w = ReadFile(dir.File("my world.wrl"));
    EXPECT_TRUE(Has(w, "DEF T_my arm Transform {\n"));
    EXPECT_TRUE(Has(w, "ROUTE TS_my world.fraction_changed TO PI_my arm.set_fraction\n"));
    EXPECT_TRUE(Has(w, "url [ \"say \\\"hi\\\".bmp\", \"say \\\"hi\\\".png\" ]\n"));
    o.safeNames = true;
    ASSERT_TRUE(WriteVrmlFile(scene, t, dir.File("my world.wrl"), o, {}).ok);
    w = ReadFile(dir.File("my world.wrl"));
    EXPECT_TRUE(Has(w, "DEF T_my_arm Transform {\n"));
    EXPECT_TRUE(Has(w, "ROUTE TS_my_world.fraction_changed TO PIS_my_arm.set_fraction\n"));
}

}  // namespace
}  // namespace kinovela
