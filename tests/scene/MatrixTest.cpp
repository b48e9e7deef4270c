#include "scene/Matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "TestUtil.h"

#include "scene/Records.h"

namespace kinovela {
namespace {

using test::ExpectNear;

constexpr float kQuarter = 1.5707963267948966f;

TEST(Matrix, RotationsTurnCounterClockwiseAboutTheirAxis)
{
    // Looking from +X, +Y turns towards +Z; from +Y, +Z towards +X; from +Z,
    // +X towards +Y.
    ExpectNear(Matrix4::RotationX(kQuarter).TransformPoint({0, 1, 0}), {0, 0, 1});
    ExpectNear(Matrix4::RotationY(kQuarter).TransformPoint({0, 0, 1}), {1, 0, 0});
    ExpectNear(Matrix4::RotationZ(kQuarter).TransformPoint({1, 0, 0}), {0, 1, 0});
}

TEST(Matrix, ProductAppliesTheLeftFactorFirst)
{
    const Matrix4 t = Matrix4::Translation(10, 0, 0);
    const Matrix4 s = Matrix4::Scaling(2, 2, 2);
    ExpectNear((t * s).TransformPoint({1, 0, 0}), {22, 0, 0});
    ExpectNear((s * t).TransformPoint({1, 0, 0}), {12, 0, 0});
}

TEST(Matrix, VectorBuilders)
{
    const CVector v(1, 2, 3);
    ExpectNear(v.Translation(2).TransformPoint({}), {2, 4, 6});
    ExpectNear(v.MirroredTranslation(2).TransformPoint({}), {2, 4, -6});
    ExpectNear(v.Scaling().TransformPoint({1, 1, 1}), {1, 2, 3});

    // XYZ turns about X first; ZYX about Z first.
    const CVector angles(90, 90, 0);
    ExpectNear(angles.RotationXYZ().TransformPoint({0, 1, 0}), {1, 0, 0});
    ExpectNear(angles.RotationZYX().TransformPoint({0, 1, 0}), {0, 0, 1});
    // The mirrored rotation is the same motion seen with Z reversed:
    // mirror(R(mirror(p))) == R_mirrored(p).
    const CVector a(30, -50, 70);
    const CVector p(0.3f, -0.7f, 0.2f);
    const CVector r = a.RotationXYZ().TransformPoint({p.m_x, p.m_y, -p.m_z});
    ExpectNear(a.RotationXYZMirrored().TransformPoint(p), {r.m_x, r.m_y, -r.m_z});
}

TEST(Matrix, InverseUndoesAPose)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-180, 180);
    for (int i = 0; i < 100; ++i) {
        CAnimation a;
        a.m_position = {d(rng), d(rng), d(rng)};
        a.m_rotation = {d(rng), d(rng), d(rng)};
        a.m_scale = {0.5f + std::fabs(d(rng)) / 100, 1.5f, 0.75f};
        const Matrix4 m = a.PoseMatrix();
        const auto inv = m.Inverse();
        ASSERT_TRUE(inv.has_value());
        const CVector p(d(rng), d(rng), d(rng));
        ExpectNear(inv->TransformPoint(m.TransformPoint(p)), p, 2e-2f);
    }
    EXPECT_FALSE(Matrix4::Scaling(1, 0, 1).Inverse().has_value());
}

TEST(Matrix, QuaternionOfRotations)
{
    const float t = 0.8f;
    const Quaternion qx = QuaternionFromRotationMatrix(Matrix4::RotationX(t));
    EXPECT_NEAR(qx.x, std::sin(t / 2), 1e-6);
    EXPECT_NEAR(qx.w, std::cos(t / 2), 1e-6);
    EXPECT_NEAR(qx.y, 0, 1e-6);
    const Quaternion qy = QuaternionFromRotationMatrix(Matrix4::RotationY(t));
    EXPECT_NEAR(qy.y, std::sin(t / 2), 1e-6);
    const Quaternion qz = QuaternionFromRotationMatrix(Matrix4::RotationZ(t));
    EXPECT_NEAR(qz.z, std::sin(t / 2), 1e-6);
    // Half turns take the branches without a usable trace.
    for (const Matrix4& m : {Matrix4::RotationX(3.14159265f), Matrix4::RotationY(3.14159265f),
                             Matrix4::RotationZ(3.14159265f)}) {
        const Quaternion q = QuaternionFromRotationMatrix(m);
        EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 1e-5);
        EXPECT_NEAR(q.w, 0.0f, 1e-5);
    }
}

TEST(Matrix, StackMultipliesLocally)
{
    MatrixStack s;
    s.MultiplyLocal(Matrix4::Translation(100, 0, 0));  // parent
    s.Push();
    s.MultiplyLocal(Matrix4::Scaling(2, 2, 2));  // child: applied before the parent
    ExpectNear(s.Top().TransformPoint({1, 0, 0}), {102, 0, 0});
    s.Pop();
    ExpectNear(s.Top().TransformPoint({1, 0, 0}), {101, 0, 0});
    s.Pop();
    s.Pop();  // never empties
    EXPECT_EQ(s.Depth(), 1u);
    s.LoadIdentity();
    EXPECT_EQ(s.Top(), Matrix4::Identity());
}

}  // namespace
}  // namespace kinovela
