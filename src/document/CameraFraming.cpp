#include "document/CameraFraming.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/Transform.h"

namespace kinovela {

namespace {

// The share of the view the boxes may take, so that they do not touch its
// edges.
constexpr double kFill = 0.9;
constexpr float kWidestFov = 120.0f;

struct Fit {
    double x, y, distance;
};

// The camera offset for points already turned into the camera's axes: the
// smallest distance at which every point lies inside both pairs of view
// planes, centred between them. A point q is inside when
// |q.x + c.x| <= (D - q.z) * tx (the same for y), with c.z = -D.
Fit FitPoints(const std::vector<CVector>& points, double tanY, double aspect)
{
    const double ty = tanY * kFill, tx = ty * aspect;
    double left = -std::numeric_limits<double>::infinity(), right = left, down = left, up = left, nearest = left;
    for (const CVector& q : points) {
        const double x = q.m_x, y = q.m_y, z = q.m_z;
        left = std::max(left, tx * z - x);
        right = std::max(right, tx * z + x);
        down = std::max(down, ty * z - y);
        up = std::max(up, ty * z + y);
        nearest = std::max(nearest, z);
    }
    const double distance =
        std::max({(left + right) / (2.0 * tx), (down + up) / (2.0 * ty), nearest + kViewNear * 1.01});
    return {(left - right) / 2.0, (down - up) / 2.0, distance};
}

}  // namespace

std::vector<int> ModelsToFrame(const CKinovela& scene, bool selectedOnly)
{
    std::vector<int> models;
    if (selectedOnly) {
        if (scene.HasSelection()) models.push_back(scene.m_selected);
        return models;
    }
    // What the view draws: visible models the walk enters.
    std::vector<char> seen(scene.m_models.size(), 0);
    for (const WalkEntry& e : scene.m_hierarchyWalk) {
        if (e.event != kWalkEnter || e.model < 0 || static_cast<std::size_t>(e.model) >= scene.m_models.size()) continue;
        const auto i = static_cast<std::size_t>(e.model);
        if (seen[i] || scene.m_models[i].m_visible != 1) continue;
        seen[i] = 1;
        models.push_back(e.model);
    }
    return models;
}

std::optional<CameraFit> FitCamera(const CKinovela& scene, const CTimeline& t, std::span<const int> models,
                                   float aspect)
{
    if (scene.m_camera.empty()) return std::nullopt;
    const Matrix4 turn = scene.m_camera[0].m_rotation.RotationZYX();
    std::vector<CVector> points;
    for (int i : models) {
        if (i < 0 || static_cast<std::size_t>(i) >= scene.m_models.size()) continue;
        const CModel& m = scene.m_models[static_cast<std::size_t>(i)];
        if (m.m_vertices.empty()) continue;
        const Matrix4 world = WorldTransform(scene, i, t.m_current) * turn;
        for (int corner = 0; corner < 8; ++corner) {
            const CVector p((corner & 1) ? m.m_bboxMax.m_x : m.m_bboxMin.m_x,
                            (corner & 2) ? m.m_bboxMax.m_y : m.m_bboxMin.m_y,
                            (corner & 4) ? m.m_bboxMax.m_z : m.m_bboxMin.m_z);
            const CVector q = world.TransformPoint(p);
            if (std::isfinite(q.m_x) && std::isfinite(q.m_y) && std::isfinite(q.m_z)) points.push_back(q);
        }
    }
    if (points.empty()) return std::nullopt;
    if (!(aspect > 0.0f) || !std::isfinite(aspect)) aspect = 1.0f;

    float farthest = std::numeric_limits<float>::infinity();
    for (const CVector& q : points) farthest = std::min(farthest, q.m_z);
    const auto fitAt = [&](float fov) {
        return FitPoints(points, std::tan(static_cast<double>(DegreesToRadians(fov)) / 2.0), aspect);
    };
    const auto inDepth = [&](const Fit& f) { return f.distance - farthest <= kViewFar * 0.99; };

    // The usual field of view when the boxes fit in depth with it; else the
    // narrowest that lets them, found by halving the interval.
    CameraFit result;
    Fit fit = fitAt(kDefaultFov);
    if (!inDepth(fit)) {
        const Fit widest = fitAt(kWidestFov);
        if (!inDepth(widest)) {
            result.fits = false;
            result.fov = kWidestFov;
            fit = widest;
        } else {
            float lo = kDefaultFov, hi = kWidestFov;
            for (int i = 0; i < 40; ++i) {
                const float mid = (lo + hi) / 2.0f;
                (inDepth(fitAt(mid)) ? hi : lo) = mid;
            }
            result.fov = hi;
            fit = fitAt(hi);
        }
    }
    result.position = {static_cast<float>(fit.x), static_cast<float>(fit.y), static_cast<float>(-fit.distance)};
    return result;
}

}  // namespace kinovela
