#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "TestUtil.h"
#include "export/GltfScene.h"
#include "export/NonFinite.h"
#include "image/Decoders.h"
#include "image/DibStream.h"
#include "image/PngEncoder.h"
#include "scene/Transform.h"

namespace kinovela {
namespace {

using test::ImportText;
using test::Mqo;
using test::MqoObject;
namespace fs = std::filesystem;

// Column-vector 4 x 4 matrices for glTF's node transforms.
using M4 = std::array<std::array<double, 4>, 4>;

M4 Mul(const M4& a, const M4& b)
{
    M4 m{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) m[i][j] += a[i][k] * b[k][j];
    return m;
}

M4 RotationOf(const std::vector<double>& q)
{
    const double x = q.size() == 4 ? q[0] : 0, y = q.size() == 4 ? q[1] : 0, z = q.size() == 4 ? q[2] : 0,
                 w = q.size() == 4 ? q[3] : 1;
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w), 0},
             {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w), 0},
             {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y), 0},
             {0, 0, 0, 1}}};
}

M4 NodeMatrix(const tinygltf::Node& n)
{
    M4 t{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    if (n.translation.size() == 3)
        for (int i = 0; i < 3; ++i) t[i][3] = n.translation[static_cast<std::size_t>(i)];
    M4 s{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    if (n.scale.size() == 3)
        for (int i = 0; i < 3; ++i) s[i][i] = n.scale[static_cast<std::size_t>(i)];
    return Mul(Mul(t, RotationOf(n.rotation)), s);
}

// The world matrix of node `index` from the nodes' own transforms.
M4 World(const tinygltf::Model& m, int index)
{
    M4 world = NodeMatrix(m.nodes[static_cast<std::size_t>(index)]);
    for (bool found = true; found;) {
        found = false;
        for (std::size_t p = 0; p < m.nodes.size() && !found; ++p)
            for (int c : m.nodes[p].children)
                if (c == index) {
                    world = Mul(NodeMatrix(m.nodes[p]), world);
                    index = static_cast<int>(p);
                    found = true;
                }
    }
    return world;
}

CVector Apply(const M4& m, const CVector& v)
{
    const double p[3] = {v.m_x, v.m_y, v.m_z};
    double o[3];
    for (int i = 0; i < 3; ++i) o[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3];
    return {static_cast<float>(o[0]), static_cast<float>(o[1]), static_cast<float>(o[2])};
}

template <class T> std::vector<T> Read(const tinygltf::Model& m, int accessor)
{
    const tinygltf::Accessor& a = m.accessors.at(static_cast<std::size_t>(accessor));
    const tinygltf::BufferView& v = m.bufferViews.at(static_cast<std::size_t>(a.bufferView));
    const std::size_t n = a.count * static_cast<std::size_t>(tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(a.type)));
    std::vector<T> out(n);
    EXPECT_EQ(static_cast<std::size_t>(tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(a.componentType))),
              sizeof(T));
    std::memcpy(out.data(), m.buffers.at(0).data.data() + v.byteOffset + a.byteOffset, n * sizeof(T));
    return out;
}

std::vector<std::uint32_t> Indices(const tinygltf::Model& m, const tinygltf::Primitive& p)
{
    const tinygltf::Accessor& a = m.accessors.at(static_cast<std::size_t>(p.indices));
    std::vector<std::uint32_t> out;
    if (a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT)
        for (std::uint16_t i : Read<std::uint16_t>(m, p.indices)) out.push_back(i);
    else
        out = Read<std::uint32_t>(m, p.indices);
    return out;
}

int NodeNamed(const tinygltf::Model& m, const std::string& name)
{
    for (std::size_t i = 0; i < m.nodes.size(); ++i)
        if (m.nodes[i].name == name) return static_cast<int>(i);
    ADD_FAILURE() << "no node " << name;
    return 0;
}

tinygltf::Model Load(const std::string& path)
{
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string error, warning;
    const bool binary = path.size() > 4 && path.substr(path.size() - 4) == ".glb";
    const bool ok = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, path)
                           : loader.LoadASCIIFromFile(&model, &error, &warning, path);
    EXPECT_TRUE(ok) << error;
    return model;
}

double Angle(const std::array<double, 4>& a, const std::array<double, 4>& b)
{
    const double d = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]);
    return 2 * std::acos(std::min(1.0, d));
}

// A 4 x 2 picture, red on top and blue below, stored bottom-up as a BMP is.
std::shared_ptr<DibStream> Picture()
{
    auto image = std::make_shared<DibStream>();
    EXPECT_TRUE(image->Create(4, 2, 24));
    for (int x = 0; x < 4; ++x) {
        std::uint8_t* top = image->RowPointer(0) + 3 * x;
        std::uint8_t* bottom = image->RowPointer(1) + 3 * x;
        top[0] = 0, top[1] = 0, top[2] = 255;
        bottom[0] = 255, bottom[1] = 0, bottom[2] = 0;
    }
    return image;
}

class Gltf : public ::testing::Test {
protected:
    void SetUp() override
    {
        // "base" has a quad and a triangle of two materials, "arm" (under
        // it, pivoted) a triangle with a material id no material has.
        const std::string doc =
            Mqo("Material 2 {\n\t\"paint\" col(1 0.5 0.25 1) dif(0.8) emi(0.5) power(30)\n"
                "\t\"glass\" col(0.2 0.4 0.6 0.5)\n}\n" +
                MqoObject("base", "0 0 0\n10 0 0\n10 10 0\n0 10 0\n20 0 0",
                          "4 V(0 1 2 3) M(0) UV(0 0 1 0 1 1 0 1)\n3 V(1 4 2) M(1)") +
                MqoObject("arm", "0 0 0\n0 20 0\n5 0 0", "3 V(0 1 2) M(7)"));
        ASSERT_TRUE(ImportText(scene, t, doc).ok);
        scene.m_models[1].m_parentName = "base";
        scene.m_models[1].m_pivot = {0, 10, 0};
        scene.m_models[0].m_pivot = {5, 0, 0};
        scene.ResolveParents();
        scene.RebuildHierarchyWalk();
    }
    void Key(int model, int frame, CVector position, CVector rotation, CVector scale = {1, 1, 1})
    {
        scene.m_selected = model;
        t.m_current = frame;
        scene.SetPosition(t, position);
        scene.SetRotation(t, rotation);
        scene.SetScale(t, scale);
        scene.AddKeyFrame(t, false, frame);
    }
    gltf::Document Build(GltfOptions o = {})
    {
        scene.RecomputeAll(t);
        ExportProgress progress({}, scene, o.animation, t.m_last);
        return gltf::BuildDocument(scene, t, o, true, progress);
    }
    std::string Write(const std::string& name, GltfOptions o = {})
    {
        scene.RecomputeAll(t);
        const std::string path = dir.File(name);
        o.binary = name.substr(name.size() - 4) == ".glb";
        last = WriteGltfFile(scene, t, path, o);
        EXPECT_TRUE(last.ok) << last.error;
        return path;
    }

    test::TempDir dir;
    CKinovela scene;
    CTimeline t;
    ExportResult last;
};

TEST(GltfRotation, IsThePreviewsEulerOrder)
{
    for (const CVector r : {CVector{30, 0, 0}, CVector{0, -70, 0}, CVector{0, 0, 200}, CVector{25, 140, -60},
                            CVector{350, 10, 95}}) {
        const std::array<double, 4> rotation = gltf::PoseRotation(r);
        const M4 q = RotationOf(std::vector<double>(rotation.begin(), rotation.end()));
        // Row-vector matrix of the preview: p * (Rx Ry Rz) = (Rz Ry Rx) p.
        const Matrix4 preview = r.RotationXYZ();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(q[i][j], preview.m[j][i], 1e-6) << i << j;
    }
}

TEST_F(Gltf, NodesPlaceEveryMeshPointWhereThePreviewDrawsIt)
{
    Key(0, 0, {3, -2, 7}, {10, 20, 30}, {1.5f, 1, 0.5f});
    Key(1, 0, {0, 4, 0}, {0, 0, -45}, {2, 2, 2});
    GltfOptions o;
    o.scale = 0.5f;
    const tinygltf::Model m = Build(o).model;
    for (std::size_t i = 0; i < 2; ++i) {
        const CModel& model = scene.m_models[i];
        const int node = NodeNamed(m, model.m_name);
        ASSERT_GE(m.nodes[static_cast<std::size_t>(node)].mesh, 0);
        const M4 world = World(m, node);
        const Matrix4 preview = WorldTransform(scene, static_cast<int>(i), 0);
        for (const CVertex& v : model.m_vertices) {
            const CVector inFile = {0.5f * (v.m_pos.m_x - model.m_pivot.m_x), 0.5f * (v.m_pos.m_y - model.m_pivot.m_y),
                                    0.5f * (v.m_pos.m_z - model.m_pivot.m_z)};
            const CVector expect = preview.TransformPoint(v.m_pos);
            test::ExpectNear(Apply(world, inFile), {0.5f * expect.m_x, 0.5f * expect.m_y, 0.5f * expect.m_z}, 1e-4f);
        }
    }
    // The posed node is the animated one; its pivot node sits above it.
    const int arm = NodeNamed(m, "arm");
    EXPECT_EQ(m.nodes[static_cast<std::size_t>(NodeNamed(m, "arm_pivot"))].children, std::vector<int>{arm});
}

TEST_F(Gltf, FacesTurnToTheFrontAndShareTheirCorners)
{
    scene.m_materials[0].m_texture = "paint.bmp";
    scene.m_materials[0].m_image = Picture();
    const tinygltf::Model m = Build().model;
    const tinygltf::Mesh& base = m.meshes[static_cast<std::size_t>(m.nodes[static_cast<std::size_t>(NodeNamed(m, "base"))].mesh)];
    ASSERT_EQ(base.primitives.size(), 2u) << "one primitive per material";
    const tinygltf::Primitive& quad = base.primitives[0];
    const std::vector<float> pos = Read<float>(m, quad.attributes.at("POSITION"));
    const std::vector<float> nrm = Read<float>(m, quad.attributes.at("NORMAL"));
    const std::vector<float> uv = Read<float>(m, quad.attributes.at("TEXCOORD_0"));
    const std::vector<std::uint32_t> idx = Indices(m, quad);
    EXPECT_EQ(pos.size(), 4u * 3) << "four corners, each written once";
    ASSERT_EQ(idx.size(), 6u);
    // The file's triangles are counter-clockwise about the normals, which
    // point away from the side the modeller's clockwise corners face.
    for (std::size_t k = 0; k < idx.size(); k += 3) {
        auto at = [&](std::size_t c) { return CVector{pos[3 * c], pos[3 * c + 1], pos[3 * c + 2]}; };
        const CVector n = (at(idx[k + 1]) - at(idx[k])).Cross(at(idx[k + 2]) - at(idx[k]));
        for (std::size_t c = 0; c < 3; ++c) {
            const std::size_t v = idx[k + c];
            EXPECT_GT(n.m_x * nrm[3 * v] + n.m_y * nrm[3 * v + 1] + n.m_z * nrm[3 * v + 2], 0) << k;
        }
    }
    // The quad is the fan 0-1-2, 0-2-3 of its stored corners, turned round.
    auto corner = [&](std::uint32_t v) {
        for (int c = 0; c < 4; ++c) {
            const CVector p = scene.m_models[0].m_vertices[static_cast<std::size_t>(c)].m_pos - scene.m_models[0].m_pivot;
            if (std::fabs(p.m_x * 0.01f - pos[3 * v]) < 1e-6f && std::fabs(p.m_y * 0.01f - pos[3 * v + 1]) < 1e-6f)
                return c;
        }
        return -1;
    };
    std::vector<int> order;
    for (std::uint32_t v : idx) order.push_back(corner(v));
    EXPECT_EQ(order, (std::vector<int>{0, 2, 1, 0, 3, 2}));
    // Texture coordinates as stored.
    for (std::size_t v = 0; v < 4; ++v) {
        const CUV stored = scene.m_models[0].m_faces[0].m_uvs[static_cast<std::size_t>(corner(static_cast<std::uint32_t>(v)))];
        EXPECT_EQ(uv[2 * v], stored.m_u);
        EXPECT_EQ(uv[2 * v + 1], stored.m_v);
    }
}

TEST_F(Gltf, CornersWithOtherTextureCoordinatesGetVerticesOfTheirOwn)
{
    const std::string doc = Mqo("Material 1 {\n\t\"t\" col(1 1 1 1) tex(\"t.bmp\")\n}\n" +
                                MqoObject("two", "0 0 0\n1 0 0\n1 1 0\n0 1 0\n2 0 0\n2 1 0",
                                          "4 V(0 1 2 3) M(0) UV(0 0 1 0 1 1 0 1)\n"
                                          "4 V(1 4 5 2) M(0) UV(0.5 0 1 0 1 1 0.5 1)"));
    CKinovela s;
    ASSERT_TRUE(ImportText(s, t, doc).ok);
    s.RebuildHierarchyWalk();
    s.m_materials[0].m_image = Picture();
    scene = std::move(s);
    tinygltf::Model m = Build().model;
    EXPECT_EQ(m.accessors[static_cast<std::size_t>(m.meshes[0].primitives[0].attributes.at("POSITION"))].count, 8u);
    // Without a picture the coordinates are left out, and the corners shared.
    scene.m_materials[0].m_image.reset();
    m = Build().model;
    EXPECT_EQ(m.meshes[0].primitives[0].attributes.count("TEXCOORD_0"), 0u);
    EXPECT_EQ(m.accessors[static_cast<std::size_t>(m.meshes[0].primitives[0].attributes.at("POSITION"))].count, 6u);
}

TEST_F(Gltf, MaterialsFollowTheCoefficients)
{
    const tinygltf::Model m = Build().model;
    ASSERT_EQ(m.materials.size(), 3u);
    const tinygltf::Material& paint = m.materials[0];
    EXPECT_EQ(paint.name, "paint");
    EXPECT_EQ(paint.pbrMetallicRoughness.baseColorFactor, (std::vector<double>{0.8, 0.4, 0.2, 1.0}));
    EXPECT_EQ(paint.emissiveFactor, (std::vector<double>{0.5, 0.25, 0.125}));
    EXPECT_EQ(paint.pbrMetallicRoughness.metallicFactor, 0.0);
    EXPECT_NEAR(paint.pbrMetallicRoughness.roughnessFactor, std::sqrt(2.0 / 32.0), 1e-6);
    EXPECT_EQ(paint.alphaMode, "OPAQUE");
    EXPECT_FALSE(paint.doubleSided);
    EXPECT_EQ(m.materials[1].alphaMode, "BLEND");
    // An id no material has gets the default material.
    EXPECT_EQ(m.materials[2].name, "NoMaterial");
}

TEST_F(Gltf, SamplesKeepEveryFrameOfTheMotion)
{
    t.m_last = 40;
    for (CModel& m : scene.m_models) m.ResizeFrames(t.m_last, 0);
    // Straight motion between keys needs nothing but the keys; turning the
    // long way round (0 to 300 degrees) and about two axes at once does.
    Key(0, 10, {10, 0, 0}, {0, 60, 0});
    Key(0, 20, {10, 5, 0}, {0, 120, 0});
    Key(1, 10, {0, 0, 0}, {0, 300, 0});
    Key(1, 30, {0, 0, 0}, {80, 300, 70});
    scene.RecomputeAll(t);
    EXPECT_EQ(gltf::SampleFrames(scene.m_models[0], t.m_last, false), (std::vector<int>{0, 10, 20, 40}));
    const std::vector<int> arm = gltf::SampleFrames(scene.m_models[1], t.m_last, false);
    EXPECT_GT(arm.size(), 4u);
    EXPECT_LT(arm.size(), 41u);
    EXPECT_EQ(gltf::SampleFrames(scene.m_models[1], t.m_last, true).size(), 41u);
    // Half a turn between two keys could be taken either way round.
    CModel half = scene.m_models[0];
    half.ResizeFrames(t.m_last, 0);
    half.m_frames[40].m_rotation = {0, 180, 0};
    half.m_frames[40].m_key = 1;
    half.RecomputeFrames(t.m_last);
    EXPECT_EQ(gltf::SampleFrames(half, t.m_last, false), (std::vector<int>{0, 20, 40}));

    // Interpolating the samples as a viewer does gives every stored frame.
    const tinygltf::Model m = Build().model;
    const tinygltf::Animation& a = m.animations.at(0);
    for (const tinygltf::AnimationChannel& c : a.channels) {
        if (c.target_path != "rotation") continue;
        const CModel& model = scene.m_models[c.target_node == NodeNamed(m, "base") ? 0 : 1];
        const std::vector<float> times = Read<float>(m, a.samplers[static_cast<std::size_t>(c.sampler)].input);
        const std::vector<float> q = Read<float>(m, a.samplers[static_cast<std::size_t>(c.sampler)].output);
        for (int f = 0; f <= t.m_last; ++f) {
            const double time = f / 30.0;
            std::size_t k = 0;
            while (k + 2 < times.size() && times[k + 1] <= time) ++k;
            const double u = std::clamp((time - times[k]) / (times[k + 1] - times[k]), 0.0, 1.0);
            std::array<double, 4> qa{}, qb{};
            for (int i = 0; i < 4; ++i) qa[i] = q[4 * k + i], qb[i] = q[4 * (k + 1) + i];
            double d = qa[0] * qb[0] + qa[1] * qb[1] + qa[2] * qb[2] + qa[3] * qb[3];
            EXPECT_GE(d, 0.0) << "neighbouring samples on one side of the sphere";
            const double theta = std::acos(std::min(1.0, d));
            std::array<double, 4> s{};
            for (int i = 0; i < 4; ++i)
                s[i] = theta < 1e-9 ? qa[i] : (std::sin((1 - u) * theta) * qa[i] + std::sin(u * theta) * qb[i]) / std::sin(theta);
            EXPECT_LT(Angle(s, gltf::PoseRotation(model.m_frames[static_cast<std::size_t>(f)].m_rotation)), 2e-3)
                << model.m_name << " frame " << f;
        }
    }
}

TEST_F(Gltf, DamagedScenesStillGiveAValidDocument)
{
    CModel empty;
    empty.m_name = "empty";
    empty.ResizeFrames(t.m_last, 0);
    scene.m_models.push_back(empty);
    // A face naming one corner twice, a vertex at NaN, a broken parent link
    // and a pose at infinity.
    scene.m_models[0].m_faces[1].m_indices = {1, 1, 2, 0};
    scene.m_models[1].m_vertices[2].m_pos.m_x = std::nanf("");
    scene.m_models[1].m_parentName = "nobody";
    scene.ResolveParents();
    scene.RebuildHierarchyWalk();
    std::erase_if(scene.m_hierarchyWalk, [](const WalkEntry& e) { return e.model == 2; });
    scene.m_models[2].m_frames[5].m_position.m_y = INFINITY;
    scene.m_models[2].m_frames[5].m_key = 1;
    scene.m_models[2].m_frames[9].m_key = 1;
    const NonFiniteCount replaced;
    const gltf::Document doc = Build();
    const tinygltf::Model& m = doc.model;
    EXPECT_GT(replaced.Count(), 0u);
    EXPECT_EQ(m.nodes[static_cast<std::size_t>(NodeNamed(m, "empty"))].mesh, -1);
    EXPECT_EQ(m.scenes[0].nodes.size(), 3u) << "the arm, now without parent, and a model the walk misses";
    for (const tinygltf::Accessor& a : m.accessors) {
        EXPECT_GT(a.count, 0u);
        if (a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
            for (float v : Read<float>(m, static_cast<int>(&a - m.accessors.data()))) {
                EXPECT_TRUE(std::isfinite(v));
            }
        }
    }
    for (const tinygltf::Mesh& mesh : m.meshes)
        for (const tinygltf::Primitive& p : mesh.primitives) {
            const tinygltf::Accessor& pos = m.accessors[static_cast<std::size_t>(p.attributes.at("POSITION"))];
            EXPECT_EQ(pos.minValues.size(), 3u);
            EXPECT_EQ(pos.maxValues.size(), 3u);
            const std::vector<std::uint32_t> idx = Indices(m, p);
            for (std::size_t k = 0; k < idx.size(); k += 3) {
                EXPECT_TRUE(idx[k] != idx[k + 1] && idx[k + 1] != idx[k + 2] && idx[k] != idx[k + 2]);
            }
        }
    // The .glb itself reads back.
    const tinygltf::Model back = Load(Write("damaged.glb"));
    EXPECT_EQ(back.nodes.size(), m.nodes.size());
}

TEST_F(Gltf, CameraNodeUndoesThePreviewsView)
{
    scene.m_camera[0].m_position = {30, -40, -1500};
    scene.m_camera[0].m_rotation = {20, 10, 5};
    GltfOptions o;
    o.camera = true;
    const tinygltf::Model m = Build(o).model;
    const int node = NodeNamed(m, "Camera");
    ASSERT_EQ(m.nodes[static_cast<std::size_t>(node)].camera, 0);
    EXPECT_NEAR(m.cameras[0].perspective.yfov, 10.0 / 180.0 * 3.14159265358979, 1e-9);
    EXPECT_NEAR(m.cameras[0].perspective.znear, 1.0, 1e-9);
    // The preview's view: translate by the camera position, then turn
    // about X, Y and Z; the node's matrix must be its inverse.
    const CAnimation& c = scene.m_camera[0];
    const Matrix4 view = c.m_rotation.RotationZYX() * Matrix4::Translation(c.m_position.m_x * 0.01f,
                                                                             c.m_position.m_y * 0.01f,
                                                                             c.m_position.m_z * 0.01f);
    const M4 world = World(m, node);
    for (const CVector p : {CVector{0, 0, 0}, CVector{1, 2, 3}, CVector{-5, 0, 2}})
        test::ExpectNear(view.TransformPoint(Apply(world, p)), p, 1e-4f);
}

TEST_F(Gltf, SeparateFilesBesideTheGltf)
{
    // "paint" reads a BMP, which becomes a PNG with its top row on top;
    // "glass" reads TEXTURE/paint.png, which goes out as it is.
    const std::string bmp = dir.File("paint.bmp");
    ASSERT_TRUE(Picture()->SaveBMP(bmp));
    scene.m_materials[0].m_texture = "paint.bmp";
    scene.m_materials[0].m_image = Picture();
    scene.m_materials[0].m_imagePath = bmp;
    std::string png;
    std::string error;
    ASSERT_TRUE(EncodePNG(*Picture(), png, error)) << error;
    png += "bytes after the end";  // not what the conversion of paint.bmp gives
    fs::create_directories(dir.Path() / "TEXTURE");
    const std::string source = dir.File("TEXTURE/paint.png");
    test::WriteFile(source, png);
    scene.m_materials[1].m_texture = "paint.png";
    scene.m_materials[1].m_image = Picture();
    scene.m_materials[1].m_imagePath = source;

    const tinygltf::Model m = Load(Write("scene.gltf"));
    ASSERT_EQ(m.images.size(), 2u);
    EXPECT_EQ(m.images[0].uri, "paint.png");
    EXPECT_EQ(m.images[1].uri, "paint_2.png") << "names are unique";
    EXPECT_EQ(m.buffers[0].uri, "scene.bin");
    EXPECT_EQ(test::ReadFile(dir.File("paint_2.png")), png);
    DibStream back;
    ASSERT_TRUE(LoadImageFile(dir.File("paint.png"), back));
    EXPECT_EQ(back.PixelARGB(0, 0), Picture()->PixelARGB(0, 0));
    EXPECT_EQ(back.PixelARGB(3, 1), Picture()->PixelARGB(3, 1));

    // Written into the texture folder itself: "glass" refers to its own
    // file, and "paint" does not replace it.
    const fs::file_time_type before = fs::last_write_time(source);
    const tinygltf::Model inside = Load(Write("TEXTURE/scene.gltf"));
    EXPECT_EQ(inside.images[0].uri, "paint_2.png");
    EXPECT_EQ(inside.images[1].uri, "paint.png");
    EXPECT_EQ(test::ReadFile(source), png);
    EXPECT_EQ(fs::last_write_time(source), before);

    // Embedded, nothing but the .gltf and its .bin.
    const test::TempDir other;
    GltfOptions o;
    o.binary = false;
    o.embedTextures = true;
    ASSERT_TRUE(WriteGltfFile(scene, t, other.File("e.gltf"), o).ok);
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(other.Path())) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"e.bin", "e.gltf"}));
}

TEST_F(Gltf, AFailedWriteLeavesNothingBehind)
{
    GltfOptions o;
    o.binary = false;
    EXPECT_FALSE(WriteGltfFile(scene, t, dir.File("missing/scene.gltf"), o).ok);
    o.scale = 0;
    const ExportResult r = WriteGltfFile(scene, t, dir.File("scene.gltf"), o);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("scale"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

}  // namespace
}  // namespace kinovela
