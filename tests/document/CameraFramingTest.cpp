// Frame all and frame selected: after framing, every corner of the framed
// boxes must project inside the view, between the near and far planes, and
// the boxes must fill most of it. The projection is computed here from the
// renderer's own steps (translate, rotate X, Y, Z, perspective), not from
// the framing code.
#include "document/CameraFraming.h"

#include <gtest/gtest.h>

#include <cmath>

#include "document/DocumentFixture.h"
#include "scene/Transform.h"

namespace kinovela {
namespace {

constexpr double kPi = 3.14159265358979323846;

// glRotate about one axis, counter-clockwise seen from the positive axis.
CVector Turn(const CVector& p, int axis, float degrees)
{
    const double a = degrees * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    const double x = p.m_x, y = p.m_y, z = p.m_z;
    if (axis == 0) return CVector(static_cast<float>(x), static_cast<float>(c * y - s * z), static_cast<float>(s * y + c * z));
    if (axis == 1) return CVector(static_cast<float>(c * x + s * z), static_cast<float>(y), static_cast<float>(-s * x + c * z));
    return CVector(static_cast<float>(c * x - s * y), static_cast<float>(s * x + c * y), static_cast<float>(z));
}

struct Projected {
    double x, y, depth;  // normalised device x and y, distance in front of the eye
};

Projected Project(const CKinovela& scene, const CVector& world, float aspect)
{
    const CAnimation& cam = scene.m_camera[0];
    // modelview = T(position) Rx Ry Rz: Z is applied to the point first.
    CVector e = Turn(Turn(Turn(world, 2, cam.m_rotation.m_z), 1, cam.m_rotation.m_y), 0, cam.m_rotation.m_x);
    e += cam.m_position;
    const double f = 1.0 / std::tan(scene.m_fov * kPi / 360.0);
    return {f / aspect * e.m_x / -e.m_z, f * e.m_y / -e.m_z, -e.m_z};
}

class Framing : public test::DocumentFixture {
protected:
    // The tallest extent of the model's box corners on screen (0..1), or -1
    // when a corner falls outside the view or its depth range.
    double Extent(int model, float aspect)
    {
        const CModel& m = scene.m_models[static_cast<std::size_t>(model)];
        const Matrix4 world = WorldTransform(scene, model, t.m_current);
        double extent = 0;
        for (int corner = 0; corner < 8; ++corner) {
            const CVector p((corner & 1) ? m.m_bboxMax.m_x : m.m_bboxMin.m_x,
                            (corner & 2) ? m.m_bboxMax.m_y : m.m_bboxMin.m_y,
                            (corner & 4) ? m.m_bboxMax.m_z : m.m_bboxMin.m_z);
            const Projected q = Project(scene, world.TransformPoint(p), aspect);
            if (q.depth < kViewNear || q.depth > kViewFar || std::fabs(q.x) > 1 || std::fabs(q.y) > 1) return -1;
            extent = std::max({extent, std::fabs(q.x), std::fabs(q.y)});
        }
        return extent;
    }
    void LoadFile(const std::string& text)
    {
        const std::string file = dir.File("boxes.mqo");
        test::WriteFile(file, text);
        ASSERT_TRUE(doc.OnOpenDocument(file).ok);
    }
};

const std::string kBox = "0 0 0\n100 0 0\n0 300 0\n0 0 50";

TEST_F(Framing, FrameSelectedPutsThePosedModelInsideTheView)
{
    LoadFile(test::Mqo(test::MqoObject("base", "0 0 0\n1 0 0\n0 1 0", "3 V(0 1 2)") +
                       test::MqoObject("arm", kBox, "3 V(0 1 2)\n3 V(0 2 3)")));
    ASSERT_TRUE(doc.Reparent(1, 0, false));
    scene.m_selected = 0;
    t.m_current = 20;
    controls.m_vectorField = {900, -400, 0};
    doc.OnVectorEditLeft();
    doc.OnAddKey(false);
    scene.m_camera[0].m_rotation = {35, -60, 5};
    scene.m_selected = 1;
    ASSERT_LT(Extent(1, 1.5f), 0) << "not in view before";

    EXPECT_EQ(doc.OnFrameView(true, 1.5f), CKinoDoc::FrameResult::Framed);
    const double extent = Extent(1, 1.5f);
    EXPECT_GT(extent, 0.8) << "the box fills the view";
    EXPECT_LE(extent, 0.95) << "with a margin";
    EXPECT_EQ(scene.m_fov, kDefaultFov);
    test::ExpectNear(scene.m_camera[0].m_rotation, {35, -60, 5}, 0);

    // Another frame, another pose: the box follows its parent there.
    t.m_current = 0;
    ASSERT_LT(Extent(1, 1.5f), 0);
    doc.OnFrameView(true, 1.5f);
    EXPECT_GT(Extent(1, 1.5f), 0.8);
}

TEST_F(Framing, FrameAllWidensTheViewForDeepScenes)
{
    LoadFile(test::Mqo(test::MqoObject("tower", "0 0 0\n100 0 0\n0 6000 0\n0 0 100", "3 V(0 1 2)\n3 V(0 2 3)") +
                       test::MqoObject("hidden", "50000 0 0\n50001 0 0\n50000 1 0", "3 V(0 1 2)")));
    doc.ToggleVisibility(1);
    const std::size_t steps = scene.m_undo.Size();
    EXPECT_EQ(doc.OnFrameView(false, 1.0f), CKinoDoc::FrameResult::Framed);
    EXPECT_GT(scene.m_fov, kDefaultFov) << "6000 units do not fit within the far plane at 10 degrees";
    const double extent = Extent(0, 1.0f);
    EXPECT_GT(extent, 0.8) << "the hidden model is not framed";
    EXPECT_EQ(scene.m_undo.Size(), steps) << "a view change, not a step";

    // Camera reset brings the usual field of view back.
    doc.OnCameraReset();
    EXPECT_EQ(scene.m_fov, kDefaultFov);

    // A scene far too deep for any view is framed as well as it goes.
    LoadFile(test::Mqo(test::MqoObject("far", "0 0 0\n1 0 0\n0 0 900000", "3 V(0 1 2)")));
    scene.m_camera[0].m_rotation = {};
    EXPECT_EQ(doc.OnFrameView(false, 1.0f), CKinoDoc::FrameResult::TooDeep);
}

TEST_F(Framing, NothingToFrame)
{
    EXPECT_EQ(doc.OnFrameView(false, 1.0f), CKinoDoc::FrameResult::Nothing);
    EXPECT_FALSE(doc.GetState(ID_FRAME_ALL).enabled);
    Load(kNoModel);
    EXPECT_TRUE(doc.GetState(ID_FRAME_ALL).enabled);
    EXPECT_FALSE(doc.GetState(ID_FRAME_SELECTED).enabled);
    EXPECT_EQ(doc.OnFrameView(true, 1.0f), CKinoDoc::FrameResult::Nothing);
    const CVector before = scene.m_camera[0].m_position;
    EXPECT_EQ(doc.OnFrameView(false, 0.0f), CKinoDoc::FrameResult::Framed) << "a view without width counts as square";
    EXPECT_NE(scene.m_camera[0].m_position, before);
}

}  // namespace
}  // namespace kinovela
