#include "export/NonFinite.h"

#include <algorithm>
#include <vector>

#include "common/TextCodec.h"
#include "scene/Kinovela.h"

namespace kinovela {

namespace {

thread_local NonFiniteCount* t_current = nullptr;

bool Finite(const CVector& v) { return std::isfinite(v.m_x) && std::isfinite(v.m_y) && std::isfinite(v.m_z); }

bool Finite(const CAnimation& a) { return Finite(a.m_position) && Finite(a.m_rotation) && Finite(a.m_scale); }

bool Finite(const CModel& m, int last)
{
    if (!Finite(m.m_pivot) || !std::isfinite(m.m_facet)) return false;
    for (const CVertex& v : m.m_vertices)
        if (!Finite(v.m_pos) || !Finite(v.m_normal)) return false;
    for (const CFace& f : m.m_faces) {
        if (!Finite(f.m_normal)) return false;
        for (int c = 0; c < f.UVCount(); ++c) {
            const CUV& uv = f.m_uvs[static_cast<std::size_t>(c)];
            if (!std::isfinite(uv.m_u) || !std::isfinite(uv.m_v)) return false;
        }
    }
    const std::size_t frames = std::min(m.m_frames.size(), static_cast<std::size_t>(std::max(last, 0)) + 1);
    return std::all_of(m.m_frames.begin(), m.m_frames.begin() + static_cast<std::ptrdiff_t>(frames),
                       [](const CAnimation& a) { return Finite(a); });
}

bool Finite(const CMaterial& m)
{
    return std::all_of(m.m_col.begin(), m.m_col.end(), [](float c) { return std::isfinite(c); }) &&
           std::isfinite(m.m_dif) && std::isfinite(m.m_amb) && std::isfinite(m.m_emi) && std::isfinite(m.m_spc) &&
           std::isfinite(m.m_power);
}

}  // namespace

NonFiniteCount::NonFiniteCount() : m_outer(t_current) { t_current = this; }

NonFiniteCount::~NonFiniteCount() { t_current = m_outer; }

void NonFiniteCount::Add()
{
    if (t_current) ++t_current->m_count;
}

std::string NonFiniteWarning(const CKinovela& scene, int last, std::uint64_t count)
{
    constexpr std::size_t kNamed = 10;  // a long list helps nobody
    std::vector<std::string> holders;
    std::size_t more = 0;
    auto hold = [&](std::string what) {
        if (holders.size() < kNamed)
            holders.push_back(std::move(what));
        else
            ++more;
    };
    for (const CModel& m : scene.m_models)
        if (!Finite(m, last)) hold("model \"" + Cp932ToUtf8(m.m_name) + "\"");
    for (const CMaterial& m : scene.m_materials)
        if (!Finite(m)) hold("material \"" + Cp932ToUtf8(m.m_name) + "\"");
    if (!scene.m_camera.empty() && !Finite(scene.m_camera[0])) hold("the camera");

    const std::string replaced = std::to_string(count) + (count == 1 ? " number was" : " numbers were");
    if (holders.empty())
        return replaced + " too large for this scale and written as 0; export with a smaller scale";
    std::string list;
    for (const std::string& h : holders) list += (list.empty() ? "" : ", ") + h;
    if (more) list += " and " + std::to_string(more) + " more";
    return list + (holders.size() + more == 1 ? " holds" : " hold") +
           " numbers that are not finite (NaN or infinity, as a damaged file gives); " + replaced + " written as 0";
}

}  // namespace kinovela
