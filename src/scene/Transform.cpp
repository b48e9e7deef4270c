#include "scene/Transform.h"

namespace kinovela {

Matrix4 LocalTransform(const CModel& model, const CAnimation& pose)
{
    const CVector& p = model.m_pivot;
    return Matrix4::Translation(-p.m_x, -p.m_y, -p.m_z) * pose.m_scale.Scaling() * pose.m_rotation.RotationXYZ() *
           (pose.m_position + p).Translation();
}

Matrix4 LocalTransform(const CModel& model, int frame)
{
    return LocalTransform(model, model.HasFrame(frame) ? model.m_frames[static_cast<std::size_t>(frame)] : CAnimation{});
}

Matrix4 WorldTransform(const CKinovela& scene, int model, int frame)
{
    Matrix4 m = Matrix4::Identity();
    const int count = static_cast<int>(scene.m_models.size());
    for (int steps = 0; model >= 0 && model < count && steps < count; ++steps) {
        const CModel& mod = scene.m_models[static_cast<std::size_t>(model)];
        m = m * LocalTransform(mod, frame);
        model = mod.m_parent;
    }
    return m;
}

}  // namespace kinovela
