#include "scene/Records.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scene/Kinovela.h"

namespace kinovela {
namespace {

TEST(Records, Defaults)
{
    const CMaterial m;
    EXPECT_EQ(m.m_name, "NoMaterial");
    EXPECT_EQ(m.m_col, (std::array<float, 4>{0.8f, 0.8f, 0.8f, 1.0f}));
    EXPECT_EQ(m.m_dif, 1.0f);
    EXPECT_EQ(m.m_amb, 1.0f);
    EXPECT_EQ(m.m_emi, 0.0f);
    EXPECT_EQ(m.m_spc, 0.0f);
    EXPECT_EQ(m.m_power, 0.2f);
    EXPECT_EQ(m.m_texFormat, 0x80E0);

    const CModel model;
    EXPECT_EQ(model.m_parent, -99);
    EXPECT_EQ(model.m_parentName, "<NULL>");
    EXPECT_EQ(model.m_visible, 1);
    EXPECT_EQ(model.m_facet, 0.0f);
    EXPECT_TRUE(model.m_frames.empty());

    const CKinovela scene;
    ASSERT_EQ(scene.m_camera.size(), 1u);
    EXPECT_EQ(scene.m_camera[0].m_position, CVector(0, 0, -2000));
    EXPECT_EQ(scene.m_camera[0].m_rotation, CVector(20, 10, 0));
    EXPECT_EQ(scene.m_lastListId, 5);
    EXPECT_EQ(scene.m_nextMaterialId, 0);
    EXPECT_EQ(scene.m_fov, 10.0f);
    EXPECT_EQ(scene.m_smooth, 1);
}

TEST(Records, VectorOperations)
{
    EXPECT_EQ(CVector(0, 0, 0).Normalized(), CVector(0, 0, 1));
    EXPECT_EQ(CVector(0, 3, 4).Normalized(), CVector(0, 0.6f, 0.8f));
    EXPECT_EQ(CVector(1, 0, 0).Cross(CVector(0, 1, 0)), CVector(0, 0, 1));
    EXPECT_LT(CVector(1, 5, 5), CVector(2, 0, 0));
    EXPECT_LT(CVector(1, 1, 5), CVector(1, 2, 0));
    EXPECT_LT(CVector(1, 1, 1), CVector(1, 1, 2));
}

TEST(Records, CopyPoseKeepsTheKeyFlag)
{
    CAnimation key;
    key.m_key = 1;
    CAnimation other;
    other.m_position = {1, 2, 3};
    other.m_scale = {2, 2, 2};
    key.CopyPose(other);
    EXPECT_EQ(key.m_key, 1);
    EXPECT_EQ(key.m_position, CVector(1, 2, 3));
    EXPECT_EQ(key.m_scale, CVector(2, 2, 2));
    key.Reset();
    EXPECT_EQ(key, CAnimation{});
}

TEST(Records, FaceHoldsAtMostFourCorners)
{
    CFace f;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(f.AddIndex(i));
    EXPECT_FALSE(f.AddIndex(9));
    EXPECT_EQ(f.IndexCount(), 4);
    EXPECT_EQ(f.Indices().back(), 3);
}

TEST(Records, DerivedColours)
{
    CMaterial m;
    m.m_col = {1.0f, 0.5f, 0.25f, 0.5f};
    m.m_dif = 0.8f;
    m.m_amb = 0.5f;
    m.m_emi = 0.2f;
    m.m_spc = 0.3f;
    m.m_power = 7.0f;
    m.UpdateColors();
    EXPECT_EQ(m.m_glColors[0], (std::array<float, 4>{0.8f, 0.4f, 0.2f, 0.5f}));
    EXPECT_EQ(m.m_glColors[1], (std::array<float, 4>{0.5f, 0.25f, 0.125f, 0.5f}));
    EXPECT_EQ(m.m_glColors[2], (std::array<float, 4>{0.3f, 0.3f, 0.3f, 0.5f}));
    EXPECT_EQ(m.m_glColors[3], (std::array<float, 4>{0.2f, 0.1f, 0.05f, 0.5f}));
    EXPECT_EQ(m.m_d3dMaterial[4], 0.5f);
    EXPECT_EQ(m.m_d3dMaterial[16], 7.0f);
}

// A unit square in the X-Y plane split into two triangles plus a quad
// folded up along x = 1.
CModel FoldedModel()
{
    CModel m;
    for (CVector p : {CVector(0, 0, 0), CVector(1, 0, 0), CVector(1, 1, 0), CVector(0, 1, 0), CVector(1, 0, 1),
                      CVector(1, 1, 1)})
        m.m_vertices.push_back({p, {}});
    CFace a, b, c;
    for (int i : {0, 1, 2}) a.AddIndex(i);
    for (int i : {0, 2, 3}) b.AddIndex(i);
    for (int i : {1, 4, 5, 2}) c.AddIndex(i);
    m.m_faces = {a, b, c};
    m.LinkVertexFaces();
    return m;
}

TEST(Records, VertexFaceTableAndNormals)
{
    CModel m = FoldedModel();
    ASSERT_EQ(m.VertexFaces(0).size(), 2u);
    ASSERT_EQ(m.VertexFaces(2).size(), 3u);
    EXPECT_EQ(m.VertexFaces(2)[2], 2);
    EXPECT_TRUE(m.VertexFaces(99).empty());

    m.ComputeNormals();
    EXPECT_EQ(m.m_faces[0].m_normal, CVector(0, 0, 1));
    // (corner 1 - corner 0) x (corner 2 - corner 0) = (0,0,1) x (0,1,1)
    EXPECT_EQ(m.m_faces[2].m_normal, CVector(-1, 0, 0));
    // Vertex 2 sits on all three faces: (0,0,1) + (0,0,1) + (-1,0,0).
    const float l = std::sqrt(5.0f);
    EXPECT_EQ(m.m_vertices[2].m_normal, CVector(-1 / l, 0, 2 / l));
    EXPECT_EQ(m.m_vertices[4].m_normal, CVector(-1, 0, 0));
}

TEST(Records, NormalsSurviveBrokenFaces)
{
    CModel m = FoldedModel();
    m.m_faces[1].m_indices[2] = 40;  // outside the vertex list
    m.m_faces[1].m_normal = {7, 7, 7};
    CFace line;
    line.AddIndex(0);
    line.AddIndex(1);
    line.m_normal = {1, 2, 3};
    m.m_faces.push_back(line);
    m.m_vertexFaces.push_back(123);  // a stale reference read from a file
    m.m_vertexFaceStart.back() += 1;
    m.ComputeNormals();
    EXPECT_EQ(m.m_faces[1].m_normal, CVector(7, 7, 7));
    EXPECT_EQ(m.m_faces[3].m_normal, CVector(1, 2, 3));
}

TEST(Records, BoundingBox)
{
    CModel m = FoldedModel();
    m.UpdateBoundingBox();
    EXPECT_EQ(m.m_bboxMin, CVector(0, 0, 0));
    EXPECT_EQ(m.m_bboxMax, CVector(1, 1, 1));
    CModel empty;
    empty.m_bboxMax = {5, 5, 5};
    empty.UpdateBoundingBox();
    EXPECT_EQ(empty.m_bboxMax, CVector());
}

}  // namespace
}  // namespace kinovela
