#include "export/ExportCommon.h"

#include "common/Paths.h"

#include <set>

namespace kinovela {

namespace {

std::uint64_t ExportUnits(const CKinovela& scene, std::uint64_t frames)
{
    std::uint64_t total = 0;
    for (const CModel& m : scene.m_models) total += m.m_faces.size() + m.m_vertices.size() + frames;
    return total;
}

std::uint64_t FramesOf(bool animated, int last)
{
    return animated && last >= 0 ? static_cast<std::uint64_t>(last) + 1 : 0;
}

}  // namespace

ExportProgress::ExportProgress(const ProgressFn& fn, const CKinovela& scene, bool animated, int last)
    : m_scene(scene),
      m_frames(FramesOf(animated, last)),
      m_meshCounted(scene.m_models.size(), 0),
      m_animationCounted(scene.m_models.size(), 0),
      m_throttle(fn, ExportUnits(scene, m_frames))
{
}

void ExportProgress::MeshDone(std::size_t model)
{
    if (model >= m_meshCounted.size() || m_meshCounted[model]) return;
    m_meshCounted[model] = 1;
    const CModel& m = m_scene.m_models[model];
    Add(m.m_faces.size() + m.m_vertices.size());
}

void ExportProgress::AnimationDone(std::size_t model)
{
    if (model >= m_animationCounted.size() || m_animationCounted[model]) return;
    m_animationCounted[model] = 1;
    Add(m_frames);
}

void ExportProgress::Add(std::uint64_t units)
{
    m_done += units;
    m_throttle.Report(m_done);
}

void WriteProductLines(TextFile& out, std::string_view comment)
{
    out.Print("%sKinovela %d.%d\n", comment, KINOVELA_VERSION_MAJOR, KINOVELA_VERSION_MINOR);
    out.Print("%sAuthor: the Kinovela developers\n", comment);
    out.Print("%sWeb: https://kinovela.example.org/\n", comment);
    out.Print("%sMail: kinovela@example.org\n\n", comment);
}

std::vector<std::string> ExportNames(const CKinovela& scene, bool safeNames)
{
    std::vector<std::string> names;
    names.reserve(scene.m_models.size());
    if (!safeNames) {
        for (const CModel& m : scene.m_models) names.push_back(m.m_name);
        return names;
    }
    std::set<std::string> used;
    for (const CModel& m : scene.m_models) {
        std::string s;
        for (unsigned char c : m.m_name) {
            const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
            s.push_back(ok ? static_cast<char>(c) : '_');
        }
        if (s.empty() || (s[0] >= '0' && s[0] <= '9')) s.insert(s.begin(), '_');
        std::string unique = s;
        for (int n = 2; used.count(unique); ++n) unique = s + "_" + std::to_string(n);
        used.insert(unique);
        names.push_back(unique);
    }
    return names;
}

Matrix4 KeyMatrix(const CAnimation& pose, float scale, bool leftHanded)
{
    return leftHanded ? pose.MirroredPoseMatrix(scale) : pose.PoseMatrix(scale);
}

std::vector<Matrix4> WalkMatrices(const CKinovela& scene, int last, float scale, bool leftHanded,
                                  std::vector<bool>* inWalk)
{
    const std::size_t count = scene.m_models.size();
    const std::size_t frames = static_cast<std::size_t>(last) + 1;
    std::vector<Matrix4> out(frames * count, Matrix4::Identity());
    std::vector<bool> reached(count, false);
    for (const WalkEntry& e : scene.m_hierarchyWalk)
        if (e.event == kWalkLeave && e.model >= 0 && static_cast<std::size_t>(e.model) < count)
            reached[static_cast<std::size_t>(e.model)] = true;

    auto pivot = [&](const CModel& m) {
        return CVector(scale * m.m_pivot.m_x, scale * m.m_pivot.m_y, (leftHanded ? -scale : scale) * m.m_pivot.m_z);
    };
    auto pose = [&](const CModel& m, std::size_t f) {
        return f < m.m_frames.size() ? m.m_frames[f] : CAnimation{};
    };
    MatrixStack stack;
    for (std::size_t f = 0; f < frames; ++f) {
        for (const WalkEntry& e : scene.m_hierarchyWalk) {
            const bool model = e.model >= 0 && static_cast<std::size_t>(e.model) < count;
            if (e.event == kWalkBegin) {
                stack.LoadIdentity();
            } else if (e.event == kWalkEnter && model) {
                const CModel& m = scene.m_models[static_cast<std::size_t>(e.model)];
                const CVector p = pivot(m);
                stack.Push();
                stack.MultiplyLocal(Matrix4::Translation(p.m_x, p.m_y, p.m_z));
                stack.MultiplyLocal(KeyMatrix(pose(m, f), scale, leftHanded));
                stack.MultiplyLocal(Matrix4::Translation(-p.m_x, -p.m_y, -p.m_z));
            } else if (e.event == kWalkLeave && model) {
                const CModel& m = scene.m_models[static_cast<std::size_t>(e.model)];
                const CVector p = pivot(m);
                stack.MultiplyLocal(Matrix4::Translation(p.m_x, p.m_y, p.m_z));
                out[f * count + static_cast<std::size_t>(e.model)] = stack.Top();
                stack.Pop();
            }
        }
        // A model the walk leaves out (a broken parent link read from a
        // file) is written as if it were top-level.
        for (std::size_t i = 0; i < count; ++i) {
            if (reached[i]) continue;
            const CModel& m = scene.m_models[i];
            const CVector p = pivot(m);
            out[f * count + i] = KeyMatrix(pose(m, f), scale, leftHanded) * Matrix4::Translation(p.m_x, p.m_y, p.m_z);
        }
    }
    if (inWalk) *inWalk = reached;
    return out;
}

std::string BaseName(std::string_view path)
{
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::string FolderOf(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string FileNameInside(std::string_view name)
{
    const std::string s = NameAsPath(name);
    bool unsafe = !s.empty() && s[0] == '/';
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= s.size()) {
        const std::size_t slash = s.find('/', start);
        const std::string part = s.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part == "..") unsafe = true;
        if (!part.empty() && part != ".") parts.push_back(part);
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    if (parts.empty()) return "_";
    if (unsafe) return parts.back() == ".." ? "_" : parts.back();
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
    return out;
}

}  // namespace kinovela
