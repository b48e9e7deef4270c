#include "export/HspWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <unordered_map>
#include <utility>

#include "common/TextCodec.h"
#include "export/ExportFiles.h"
#include "export/RecordWriter.h"
#include "image/DibStream.h"
#include "scene/Matrix.h"

namespace kinovela {

namespace {

constexpr std::uint64_t kHeaderSize = 48;
constexpr std::uint64_t kModelRecordSize = 60;
constexpr std::uint64_t kPolygonRecordSize = 168;
constexpr std::uint64_t kTextureRecordSize = 16;

// Face counts and hierarchy links are 16-bit fields, texture numbers signed
// 16-bit ones (-1 is "none"), and every size and offset in the header 32-bit.
constexpr std::size_t kMaxModels = 0xFFFF;
constexpr std::size_t kMaxFacesPerModel = 0xFFFF;
constexpr std::size_t kMaxTextures = 0x7FFF;
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu;

// The name without the extension of its last component; a '.' in a folder
// name is not an extension.
std::string WithoutExtension(std::string_view name)
{
    const std::size_t cut = name.find_last_of("\\/");
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || (cut != std::string_view::npos && dot < cut)) return std::string(name);
    return std::string(name.substr(0, dot));
}

// The integer part of channel x 255, kept inside its byte so that a colour
// out of 0..1 (possible in a file) cannot spill into the next channel.
std::uint32_t Channel(float c)
{
    const float v = c * 255;
    if (!(v > 0)) return 0;  // NaN too
    if (v >= 255) return 255;
    return static_cast<std::uint32_t>(v);
}

bool Writable(const CFace& f, std::size_t vertexCount)
{
    if (f.IndexCount() != 3 && f.IndexCount() != 4) return false;
    for (int i : f.Indices())
        if (i < 0 || static_cast<std::size_t>(i) >= vertexCount) return false;
    return true;
}

struct Layout {
    std::vector<int> order;  // model index at each walk position
    std::vector<std::uint32_t> firstChild, nextSibling;
    std::vector<std::uint32_t> firstPolygon;
    std::uint64_t polygons = 0;
};

// Walk positions are the order of the enter events; a model entered twice
// (a damaged walk) keeps its first place.
std::vector<int> WalkOrder(const CKinovela& scene)
{
    const std::size_t count = scene.m_models.size();
    std::vector<char> seen(count, 0);
    std::vector<int> order;
    for (const WalkEntry& e : scene.m_hierarchyWalk) {
        if (e.event != kWalkEnter || e.model < 0 || static_cast<std::size_t>(e.model) >= count) continue;
        if (seen[static_cast<std::size_t>(e.model)]) continue;
        seen[static_cast<std::size_t>(e.model)] = 1;
        order.push_back(e.model);
    }
    return order;
}

// Children of each parent, and the roots, chained as siblings in walk
// order; a parent points at its first child.
void Link(const CKinovela& scene, Layout& l)
{
    const std::size_t count = scene.m_models.size();
    std::vector<int> position(count, -1);
    for (std::size_t k = 0; k < l.order.size(); ++k) position[static_cast<std::size_t>(l.order[k])] = static_cast<int>(k);
    l.firstChild.assign(l.order.size(), 0);
    l.nextSibling.assign(l.order.size(), 0);
    std::vector<int> lastOfList(count + 1, -1);  // slot `count` holds the roots
    for (std::size_t k = 0; k < l.order.size(); ++k) {
        const int parent = scene.m_models[static_cast<std::size_t>(l.order[k])].m_parent;
        std::size_t slot;
        if (parent == kNoModel)
            slot = count;
        else if (parent >= 0 && static_cast<std::size_t>(parent) < count)
            slot = static_cast<std::size_t>(parent);
        else
            continue;
        if (lastOfList[slot] >= 0)
            l.nextSibling[static_cast<std::size_t>(lastOfList[slot])] = static_cast<std::uint32_t>(k);
        else if (slot != count && position[slot] >= 0)
            l.firstChild[static_cast<std::size_t>(position[slot])] = static_cast<std::uint32_t>(k);
        lastOfList[slot] = static_cast<int>(k);
    }
}

// Each texture's picture, full size, as a BMP beside the model file.
// False when the disk refuses them.
bool AddTextures(const CKinovela& scene, ExportFiles& files, ExportResult& result)
{
    std::set<std::string> written;
    for (const CMaterial& m : scene.m_materials) {
        if (m.m_texture.empty()) continue;
        const std::string name = FileNameInside(WithoutExtension(m.m_texture) + ".bmp");
        if (!written.insert(name).second) continue;  // a texture several materials share
        if (!m.m_image || m.m_image->Empty()) {
            result.warnings.push_back("texture \"" + Cp932ToUtf8(m.m_texture) + "\" is not loaded; " +
                                      files.Folder() + Cp932ToUtf8(name) + " not written");
            continue;
        }
        // WriteBMP only reads the picture, so the shared image is written as
        // it is instead of through a copy.
        const DibStream& image = *m.m_image;
        if (!files.AddSide(name, [&image](ByteSink& sink) { image.WriteBMP(sink); }, result)) return false;
    }
    return true;
}

void WriteModelFile(ByteSink& sink, const CKinovela& scene, const Layout& l, const std::vector<int>& textureOf,
                    const std::unordered_map<int, std::size_t>& materialOf, std::size_t textureCount, float s,
                    ExportProgress& progress)
{
    RecordWriter out(sink);
    const std::uint64_t modelSize = l.order.size() * kModelRecordSize;
    const std::uint64_t polygonSize = l.polygons * kPolygonRecordSize;
    const std::uint64_t textureSize = textureCount * kTextureRecordSize;
    const std::uint64_t polygonOffset = kHeaderSize + modelSize;
    const std::uint64_t textureOffset = polygonOffset + polygonSize;
    auto u32 = [](std::uint64_t v) { return static_cast<std::uint32_t>(v); };
    out.Bytes("MXF", 4);
    out.U32(512);
    out.U32(u32(modelSize));
    out.U32(u32(kHeaderSize));
    out.U32(u32(polygonSize));
    out.U32(u32(polygonOffset));
    out.U32(u32(textureSize));
    out.U32(u32(textureOffset));
    out.U32(2);
    out.U16(0);
    out.U16(0);
    out.U32(0);
    out.U32(u32(textureOffset + textureSize));

    for (std::size_t k = 0; k < l.order.size(); ++k) {
        const CModel& m = scene.m_models[static_cast<std::size_t>(l.order[k])];
        const CVector& p = m.m_pivot;
        out.Vec4(s * p.m_x, -(s * p.m_y), s * p.m_z, 1.0f);
        out.Vec4(0, 0, 0, 1.0f);
        out.Vec4(1, 1, 1, 1.0f);
        out.U16(1);
        out.U16(static_cast<std::uint32_t>(m.m_faces.size()));
        out.U32(l.firstPolygon[k]);
        out.U16(l.firstChild[k]);
        out.U16(l.nextSibling[k]);
    }

    static const CMaterial kDefault;
    for (int index : l.order) {
        const CModel& m = scene.m_models[static_cast<std::size_t>(index)];
        const CVector& p = m.m_pivot;
        for (const CFace& f : m.m_faces) {
            if (!Writable(f, m.m_vertices.size())) continue;
            // Corners go out in reverse; a triangle repeats its first corner.
            static constexpr int kTriangle[4] = {2, 1, 0, 0};
            static constexpr int kQuad[4] = {3, 2, 1, 0};
            const int* corners = f.IndexCount() == 3 ? kTriangle : kQuad;
            for (int c = 0; c < 4; ++c) {
                const CVector& v = m.m_vertices[static_cast<std::size_t>(f.m_indices[static_cast<std::size_t>(corners[c])])].m_pos;
                out.Vec4((v.m_x - p.m_x) * s, -((v.m_y - p.m_y) * s), (v.m_z - p.m_z) * s, 1.0f);
            }
            for (int c = 0; c < 4; ++c) {
                const CVector& n =
                    m.m_vertices[static_cast<std::size_t>(f.m_indices[static_cast<std::size_t>(corners[c])])].m_normal;
                out.Vec4(-n.m_x, -n.m_y, -n.m_z, 1.0f);
            }
            for (int c = 0; c < 4; ++c) {
                const CUV uv = corners[c] < f.UVCount() ? f.m_uvs[static_cast<std::size_t>(corners[c])] : CUV{};
                out.F32(uv.m_u);
                out.F32(uv.m_v);
            }
            // Faces find their material by id; an id no material has gets
            // the default material, untextured.
            const auto it = materialOf.find(f.m_material);
            const CMaterial& mat = it != materialOf.end() ? scene.m_materials[it->second] : kDefault;
            const int texture = it != materialOf.end() ? textureOf[it->second] : -1;
            out.U32((Channel(mat.m_col[0]) << 16) | (Channel(mat.m_col[1]) << 8) | Channel(mat.m_col[2]));
            out.U16(static_cast<std::uint32_t>(static_cast<std::uint16_t>(texture)));
            out.U16(2);
        }
        progress.MeshDone(static_cast<std::size_t>(index));
    }

    for (const CMaterial& mat : scene.m_materials) {
        if (mat.m_texture.empty()) continue;
        char name[kTextureRecordSize] = {};
        const std::string stem = WithoutExtension(mat.m_texture);
        std::memcpy(name, stem.data(), std::min<std::size_t>(stem.size(), sizeof name));
        out.Bytes(name, sizeof name);
    }
}

// The output path with the extension of its last component replaced.
std::string MotionPath(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasDot ? path.substr(0, dot) : path) + ".ma";
}

void WriteMotionFile(ByteSink& sink, const CKinovela& scene, const CTimeline& t, const Layout& l,
                     const std::string& motionName, float s, ExportProgress& progress)
{
    TextFile out(sink);
    WriteProductLines(out, "; ");
    for (std::size_t k = 0; k < l.order.size(); ++k) {
        const CModel& m = scene.m_models[static_cast<std::size_t>(l.order[k])];
        char number[24];
        std::snprintf(number, sizeof number, "%04zu", k);
        out.Print("*%s_%s\n", number, motionName);
        for (int f = 0; f <= t.m_last; ++f) {
            const CAnimation pose = m.HasFrame(f) ? m.m_frames[static_cast<std::size_t>(f)] : CAnimation{};
            const CVector& sc = pose.m_scale;
            const CVector& r = pose.m_rotation;
            const CVector& p = pose.m_position;
            out.Print("s %f,%f,%f\n", sc.m_x, sc.m_y, sc.m_z);
            out.Print("r %f,%f,%f\n", DegreesToRadians(r.m_x), DegreesToRadians(-r.m_y), DegreesToRadians(r.m_z));
            out.Print("t %f,%f,%f\n", s * p.m_x, -(s * p.m_y), s * p.m_z);
        }
        out.Put("go back\n\n");
        progress.AnimationDone(static_cast<std::size_t>(l.order[k]));
    }
}

}  // namespace

ExportResult WriteHspFile(const CKinovela& scene, const CTimeline& t, const std::string& path, const HspOptions& o)
{
    ExportResult result;
    const float s = o.scale;

    // Everything the 16- and 32-bit fields cannot hold is refused before any
    // file is touched; a table cut short would give a reader wrong links.
    Layout l;
    l.order = WalkOrder(scene);
    if (l.order.size() > kMaxModels) {
        result.error = "the scene has " + std::to_string(l.order.size()) + " models; a .mx file holds at most " +
                       std::to_string(kMaxModels);
        return result;
    }
    std::size_t skipped = 0;
    l.firstPolygon.reserve(l.order.size());
    for (int index : l.order) {
        const CModel& m = scene.m_models[static_cast<std::size_t>(index)];
        if (m.m_faces.size() > kMaxFacesPerModel) {
            result.error = "model \"" + Cp932ToUtf8(m.m_name) + "\" has " + std::to_string(m.m_faces.size()) +
                           " faces; a .mx file holds at most " + std::to_string(kMaxFacesPerModel) + " per model";
            return result;
        }
        l.firstPolygon.push_back(static_cast<std::uint32_t>(l.polygons));
        for (const CFace& f : m.m_faces) {
            if (Writable(f, m.m_vertices.size()))
                ++l.polygons;
            else if (f.IndexCount() == 3 || f.IndexCount() == 4)
                ++skipped;
        }
    }
    std::unordered_map<int, std::size_t> materialOf;
    std::vector<int> textureOf(scene.m_materials.size(), -1);
    std::size_t textureCount = 0;
    for (std::size_t i = 0; i < scene.m_materials.size(); ++i) {
        materialOf.emplace(scene.m_materials[i].m_id, i);
        if (!scene.m_materials[i].m_texture.empty()) textureOf[i] = static_cast<int>(textureCount++);
    }
    if (textureCount > kMaxTextures) {
        result.error = "the scene has " + std::to_string(textureCount) + " textures; a .mx file numbers at most " +
                       std::to_string(kMaxTextures);
        return result;
    }
    const std::uint64_t fileSize = kHeaderSize + l.order.size() * kModelRecordSize + l.polygons * kPolygonRecordSize +
                                   textureCount * kTextureRecordSize;
    if (fileSize > kMaxFileSize) {
        result.error = "the model file would be " + std::to_string(fileSize) + " bytes; a .mx file holds at most " +
                       std::to_string(kMaxFileSize);
        return result;
    }
    Link(scene, l);

    if (l.order.size() < scene.m_models.size())
        result.warnings.push_back(std::to_string(scene.m_models.size() - l.order.size()) +
                                  " models are outside the hierarchy and are not written");
    if (skipped > 0)
        result.warnings.push_back(std::to_string(skipped) +
                                  " faces name vertices their model lacks and have no polygon record");

    // The BMPs, the model file and the motion file are all written out
    // before any of them replaces anything.
    ExportFiles files(FolderOf(path), TextureSources(scene, o.textures));
    if (!AddTextures(scene, files, result)) return result;
    ExportProgress progress(o.progress, scene, o.keyType == 0, t.m_last);
    if (!files.AddMain(
            path,
            [&](ByteSink& sink) { WriteModelFile(sink, scene, l, textureOf, materialOf, textureCount, s, progress); },
            result, fileSize))
        return result;
    // The motion file's name is made, not chosen: a link there is replaced.
    if (o.keyType == 0 &&
        !files.AddSide(MotionPath(path).substr(FolderOf(path).size()),
                       [&](ByteSink& sink) { WriteMotionFile(sink, scene, t, l, BaseName(path), s, progress); }, result,
                       true))
        return result;
    if (!files.Commit(result)) return result;
    progress.Finish();
    result.ok = true;
    return result;
}

}  // namespace kinovela
