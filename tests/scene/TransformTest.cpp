#include "scene/Transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "TestUtil.h"

namespace kinovela {
namespace {

using test::ExpectNear;

// The pose applied step by step, the way it is described to users.
CVector Steps(const CVector& x, const CVector& pivot, const CAnimation& a)
{
    CVector v = x - pivot;
    v = {v.m_x * a.m_scale.m_x, v.m_y * a.m_scale.m_y, v.m_z * a.m_scale.m_z};
    auto rot = [](CVector v, int axis, float deg) {
        const double r = deg * 3.14159265358979 / 180.0;
        const float c = static_cast<float>(std::cos(r)), s = static_cast<float>(std::sin(r));
        if (axis == 0) return CVector(v.m_x, c * v.m_y - s * v.m_z, s * v.m_y + c * v.m_z);
        if (axis == 1) return CVector(c * v.m_x + s * v.m_z, v.m_y, -s * v.m_x + c * v.m_z);
        return CVector(c * v.m_x - s * v.m_y, s * v.m_x + c * v.m_y, v.m_z);
    };
    v = rot(v, 0, a.m_rotation.m_x);
    v = rot(v, 1, a.m_rotation.m_y);
    v = rot(v, 2, a.m_rotation.m_z);
    return v + pivot + a.m_position;
}

TEST(Transform, LocalTransformTurnsAboutThePivot)
{
    CModel m;
    m.m_pivot = {0, 40, 0};
    m.ResizeFrames(10, 0);
    CAnimation& a = m.m_frames[3];
    a.m_rotation = {0, 0, 90};
    // The joint stays put; a point above it swings towards -X.
    ExpectNear(LocalTransform(m, 3).TransformPoint({0, 40, 0}), {0, 40, 0});
    ExpectNear(LocalTransform(m, 3).TransformPoint({0, 140, 0}), {-100, 40, 0});

    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-200, 200);
    for (int i = 0; i < 200; ++i) {
        a.m_position = {d(rng), d(rng), d(rng)};
        a.m_rotation = {d(rng), d(rng), d(rng)};
        a.m_scale = {1 + d(rng) / 400, 1 + d(rng) / 400, 1 + d(rng) / 400};
        m.m_pivot = {d(rng), d(rng), d(rng)};
        const CVector x(d(rng), d(rng), d(rng));
        ExpectNear(LocalTransform(m, 3).TransformPoint(x), Steps(x, m.m_pivot, a), 0.05f);
    }
    EXPECT_EQ(LocalTransform(m, 99), LocalTransform(m, CAnimation{}));
}

TEST(Transform, WorldTransformAppliesAncestorsAfterward)
{
    CKinovela s;
    for (int i = 0; i < 3; ++i) {
        CModel m;
        m.ResizeFrames(5, 0);
        m.m_parent = i - 1;
        s.m_models.push_back(m);
    }
    s.m_models[0].m_parent = kNoModel;
    s.m_models[0].m_frames[2].m_position = {100, 0, 0};
    s.m_models[1].m_frames[2].m_rotation = {0, 90, 0};
    s.m_models[2].m_frames[2].m_scale = {2, 2, 2};
    // Scaled by the child, turned by the middle model, moved by the root.
    ExpectNear(WorldTransform(s, 2, 2).TransformPoint({1, 0, 0}), {100, 0, -2});
    ExpectNear(WorldTransform(s, 2, 0).TransformPoint({1, 0, 0}), {1, 0, 0});

    s.m_models[0].m_parent = 2;  // a cycle still ends
    ExpectNear(WorldTransform(s, 2, 2).TransformPoint({1, 0, 0}), {100, 0, -2});
    s.m_models[0].m_parent = 50;
    ExpectNear(WorldTransform(s, 2, 2).TransformPoint({1, 0, 0}), {100, 0, -2});
}

}  // namespace
}  // namespace kinovela
