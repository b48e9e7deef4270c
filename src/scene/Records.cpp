#include "scene/Records.h"

#include <algorithm>
#include <cassert>

#include "common/Memory.h"

namespace kinovela {

Matrix4 CAnimation::PoseMatrix(float k) const
{
    return m_scale.Scaling() * m_rotation.RotationXYZ() * m_position.Translation(k);
}

Matrix4 CAnimation::MirroredPoseMatrix(float k) const
{
    return m_scale.Scaling() * m_rotation.RotationXYZMirrored() * m_position.MirroredTranslation(k);
}

void CMaterial::UpdateColors()
{
    const float r = m_col[0], g = m_col[1], b = m_col[2], a = m_col[3];
    m_glColors[0] = {r * m_dif, g * m_dif, b * m_dif, a};
    m_glColors[1] = {r * m_amb, g * m_amb, b * m_amb, a};
    m_glColors[2] = {m_spc, m_spc, m_spc, a};
    m_glColors[3] = {r * m_emi, g * m_emi, b * m_emi, a};
    for (int block = 0; block < 4; ++block)
        for (int c = 0; c < 4; ++c) m_d3dMaterial[block * 4 + c] = m_glColors[block][c];
    m_d3dMaterial[16] = m_power;
}

std::span<const int> CModel::VertexFaces(std::size_t v) const
{
    if (v + 1 >= m_vertexFaceStart.size()) return {};
    const std::uint32_t begin = m_vertexFaceStart[v], end = m_vertexFaceStart[v + 1];
    if (begin > end || end > m_vertexFaces.size()) return {};
    return {m_vertexFaces.data() + begin, end - begin};
}

void CModel::LinkVertexFaces()
{
    const std::size_t nv = m_vertices.size();
    std::vector<std::uint32_t> counts(nv + 1, 0);
    for (const CFace& f : m_faces)
        for (int idx : f.Indices())
            if (idx >= 0 && static_cast<std::size_t>(idx) < nv) ++counts[static_cast<std::size_t>(idx) + 1];
    for (std::size_t v = 0; v < nv; ++v) counts[v + 1] += counts[v];
    m_vertexFaceStart = std::move(counts);
    m_vertexFaces.clear();
    ReserveLarge(m_vertexFaces, m_vertexFaceStart[nv]);
    m_vertexFaces.resize(m_vertexFaceStart[nv]);
    std::vector<std::uint32_t> fill(m_vertexFaceStart.begin(), m_vertexFaceStart.end() - 1);
    for (std::size_t fi = 0; fi < m_faces.size(); ++fi)
        for (int idx : m_faces[fi].Indices())
            if (idx >= 0 && static_cast<std::size_t>(idx) < nv)
                m_vertexFaces[fill[static_cast<std::size_t>(idx)]++] = static_cast<int>(fi);
}

void CModel::ComputeNormals()
{
    const std::size_t nv = m_vertices.size();
    auto valid = [nv](int i) { return i >= 0 && static_cast<std::size_t>(i) < nv; };
    for (CFace& f : m_faces) {
        if (f.IndexCount() < 3) continue;
        const int i0 = f.m_indices[0], i1 = f.m_indices[1], i2 = f.m_indices[2];
        if (!valid(i0) || !valid(i1) || !valid(i2)) continue;
        const CVector& p0 = m_vertices[static_cast<std::size_t>(i0)].m_pos;
        const CVector a = m_vertices[static_cast<std::size_t>(i1)].m_pos - p0;
        const CVector b = m_vertices[static_cast<std::size_t>(i2)].m_pos - p0;
        f.m_normal = a.Cross(b).Normalized();
    }
    const std::size_t nf = m_faces.size();
    for (std::size_t v = 0; v < nv; ++v) {
        CVector sum;
        for (int fi : VertexFaces(v))
            if (fi >= 0 && static_cast<std::size_t>(fi) < nf) sum += m_faces[static_cast<std::size_t>(fi)].m_normal;
        m_vertices[v].m_normal = sum.Normalized();
    }
}

void CModel::UpdateBoundingBox()
{
    if (m_vertices.empty()) {
        m_bboxMax = m_bboxMin = CVector{};
        return;
    }
    CVector lo = m_vertices[0].m_pos, hi = lo;
    for (const CVertex& v : m_vertices) {
        lo.m_x = std::min(lo.m_x, v.m_pos.m_x);
        lo.m_y = std::min(lo.m_y, v.m_pos.m_y);
        lo.m_z = std::min(lo.m_z, v.m_pos.m_z);
        hi.m_x = std::max(hi.m_x, v.m_pos.m_x);
        hi.m_y = std::max(hi.m_y, v.m_pos.m_y);
        hi.m_z = std::max(hi.m_z, v.m_pos.m_z);
    }
    m_bboxMin = lo;
    m_bboxMax = hi;
}

void CModel::ResizeFrames(int last, int from)
{
    assert(last >= 0);
    m_frames.resize(static_cast<std::size_t>(last) + 1);
    for (int f = std::max(from, 0); f <= last; ++f) m_frames[static_cast<std::size_t>(f)].Reset();
    m_frames[0].m_key = 1;
}

namespace {

// value(g) = K_cur - (K_cur - K_prev) * (cur - g) / (cur - prev): the
// difference is rounded to single precision, the product and quotient are
// taken in double, and the result is stored as single. Files written by
// earlier versions hold exactly these values, so the order matters.
struct Interpolator {
    float cur[9];
    float diff[9];
    double span;

    static void Load(const CAnimation& a, float out[9])
    {
        const CVector* v[3] = {&a.m_position, &a.m_rotation, &a.m_scale};
        for (int i = 0; i < 3; ++i) {
            out[i * 3] = v[i]->m_x;
            out[i * 3 + 1] = v[i]->m_y;
            out[i * 3 + 2] = v[i]->m_z;
        }
    }

    Interpolator(const CAnimation& prev, const CAnimation& next, int prevFrame, int curFrame)
    {
        float p[9];
        Load(prev, p);
        Load(next, cur);
        for (int i = 0; i < 9; ++i) diff[i] = cur[i] - p[i];
        span = static_cast<double>(curFrame - prevFrame);
    }

    void Fill(CAnimation& out, int stepsBeforeCur) const
    {
        const double t = static_cast<double>(stepsBeforeCur);
        float r[9];
        for (int i = 0; i < 9; ++i)
            r[i] = static_cast<float>(static_cast<double>(cur[i]) - static_cast<double>(diff[i]) * t / span);
        out.m_position = {r[0], r[1], r[2]};
        out.m_rotation = {r[3], r[4], r[5]};
        out.m_scale = {r[6], r[7], r[8]};
    }
};

}  // namespace

void CModel::RecomputeFrames(int last)
{
    if (m_frames.size() < 2 || last < 1) return;
    const int end = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(last), m_frames.size() - 1));
    int prev = 0;  // frame 0 anchors the first segment whatever its flag says
    for (int cur = 1; cur <= end; ++cur) {
        if (m_frames[static_cast<std::size_t>(cur)].m_key != 1) continue;
        if (cur - prev > 1) {
            const Interpolator ip(m_frames[static_cast<std::size_t>(prev)], m_frames[static_cast<std::size_t>(cur)], prev,
                                  cur);
            for (int g = prev + 1; g < cur; ++g) ip.Fill(m_frames[static_cast<std::size_t>(g)], cur - g);
        }
        prev = cur;
    }
    const CAnimation& hold = m_frames[static_cast<std::size_t>(prev)];
    for (int f = end; f > prev; --f) m_frames[static_cast<std::size_t>(f)].CopyPose(hold);
}

}  // namespace kinovela
