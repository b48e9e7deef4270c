#include "export/SdfWriter.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "common/Paths.h"
#include "common/TextCodec.h"
#include "export/ExportFiles.h"
#include "image/Decoders.h"
#include "scene/Matrix.h"

namespace kinovela {

namespace {

constexpr const char* kIdentityRows =
    "\t\tPoint3 \n\t\t{ \n\t\t\t1.000000 0.000000 0.000000 \n\t\t} \n"
    "\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 1.000000 0.000000 \n\t\t} \n"
    "\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 0.000000 1.000000 \n\t\t} \n";

bool IsZero(const CVector& v) { return v.m_x == 0.0f && v.m_y == 0.0f && v.m_z == 0.0f; }

// The texture name with its extension (after the last '.' of the last path
// component) replaced by `ext`, or `ext` appended when it has none.
std::string WithExtension(const std::string& name, const char* ext)
{
    const std::size_t cut = name.find_last_of("\\/");
    const std::size_t dot = name.find_last_of('.');
    const bool hasDot = dot != std::string::npos && (cut == std::string::npos || dot > cut);
    return (hasDot ? name.substr(0, dot) : name) + ext;
}

// The model with every face a triangle: a triangle is kept, a quad (c0 c1
// c2 c3) becomes (c0 c1 c2) and (c0 c2 c3) with the texture coordinates of
// those corners that it has. Faces of another size, or that name vertices
// the model does not have, are dropped. At most three coordinates stay on a
// triangle, so the coordinate list holds three per face.
CModel Triangulated(const CModel& m)
{
    CModel copy;
    copy.m_name = m.m_name;
    copy.m_pivot = m.m_pivot;
    copy.m_vertices = m.m_vertices;
    copy.m_frames = m.m_frames;
    const int nv = static_cast<int>(m.m_vertices.size());
    for (const CFace& f : m.m_faces) {
        const int n = f.IndexCount();
        if (n != 3 && n != 4) continue;
        if (std::any_of(f.Indices().begin(), f.Indices().end(), [nv](int i) { return i < 0 || i >= nv; })) continue;
        auto corner = [&](CFace& out, int c) {
            out.AddIndex(f.m_indices[static_cast<std::size_t>(c)]);
            if (c < f.UVCount()) out.AddUV(f.m_uvs[static_cast<std::size_t>(c)]);
        };
        CFace a;
        a.m_material = f.m_material;
        a.m_normal = f.m_normal;
        for (int c : {0, 1, 2}) corner(a, c);
        copy.m_faces.push_back(a);
        if (n == 4) {
            CFace b;
            b.m_material = f.m_material;
            b.m_normal = f.m_normal;
            for (int c : {0, 2, 3}) corner(b, c);
            copy.m_faces.push_back(b);
        }
    }
    return copy;
}

// Each texture's picture in 24 bits with red and blue exchanged, as a TGA
// beside the description. False when the disk refuses them.
bool AddTextures(const CKinovela& scene, ExportFiles& files, ExportResult& result)
{
    std::set<std::string> written;
    for (const CMaterial& m : scene.m_materials) {
        if (m.m_texture.empty()) continue;
        const std::string name = FileNameInside(WithExtension(m.m_texture, ".tga"));
        if (!written.insert(name).second) continue;  // a texture several materials share
        // The description names the TGA whether or not it can be written.
        if (!m.m_image || m.m_image->Empty()) {
            result.warnings.push_back("texture \"" + Cp932ToUtf8(m.m_texture) + "\" is not loaded; " + files.Folder() +
                                      Cp932ToUtf8(name) + " not written");
            continue;
        }
        DibStream image;
        if (!image.CopyFrom(m.m_image->PackedHeader(), m.m_image->PixelBlock()) || !image.ChangeBitDepth(24) ||
            !image.SwapRedBlue()) {
            result.warnings.push_back("cannot convert texture \"" + Cp932ToUtf8(m.m_texture) + "\"; " + files.Folder() +
                                      Cp932ToUtf8(name) + " not written");
            continue;
        }
        if (!files.AddSide(name, [&image](ByteSink& sink) { WriteTGA(sink, image); }, result)) return false;
    }
    return true;
}

void WriteGroup(TextFile& out, const char* nameFormat, const std::string& name, const char* parentFormat,
                const std::string& parent, const CVector& t)
{
    out.Put("Group \n{ \n");
    out.Print(nameFormat, name);
    out.Print(parentFormat, parent);
    out.Put("\tMatrix3 \n\t{ \n");
    out.Put(kIdentityRows);
    out.Print("\t\tPoint3 \n\t\t{ \n\t\t\t%f %f %f \n\t\t} \n", t.m_x, t.m_y, t.m_z);
    out.Put("\t} /* NodeTransform */ \n}\n");
}

void WriteMaterial(TextFile& out, const CMaterial& m)
{
    const auto& c = m.m_col;
    out.Put("\t\t\t\tMaterial \n\t\t\t\t{ \n");
    out.Print("\t\t\t\t\t\"%s\" \n", m.m_name);
    out.Put("\t\t\t\t\tColor \n\t\t\t\t\t{ \n");
    out.Print("\t\t\t\t\t\t%f %f %f \n\t\t\t\t\t} /* Ambient */ \n\t\t\t\t\t1.000000 \n", c[0] * m.m_amb, c[1] * m.m_amb,
              c[2] * m.m_amb);
    out.Put("\t\t\t\t\tColor \n\t\t\t\t\t{ \n");
    out.Print("\t\t\t\t\t\t%f %f %f \n\t\t\t\t\t} /* Diffuse */ \n\t\t\t\t\t1.000000 \n", c[0] * m.m_dif, c[1] * m.m_dif,
              c[2] * m.m_dif);
    out.Put("\t\t\t\t\tColor \n\t\t\t\t\t{ \n");
    out.Print("\t\t\t\t\t\t%f %f %f \n\t\t\t\t\t} /* Specular */ \n\t\t\t\t\t1.000000 \n", m.m_spc, m.m_spc, m.m_spc);
    out.Print("\t\t\t\t\t%f /* Power */ \n", m.m_power / 100.0f);
    out.Put("\t\t\t\t\t1.000000 /* Opacity */ \n");
    out.Put("\t\t\t\t\t0.000000 \n");
    out.Put("\t\t\t\t\t0.000000 /* Shinniness Pct */ \n");
    out.Put("\t\t\t\t\tColor \n\t\t\t\t\t{ \n");
    out.Print("\t\t\t\t\t\t%f %f %f \n\t\t\t\t\t} /* Emissive */ \n", c[0] * m.m_emi, c[1] * m.m_emi, c[2] * m.m_emi);
    if (m.m_texture.empty()) {
        out.Put("\t\t\t\t\tTextureUnits[0] \n\t\t\t\t\t{ \n");
        out.Put("\t\t\t\t\t}/* End of TexUnits */ \n\t\t\t\t} \n");
        return;
    }
    out.Put("\t\t\t\t\tTextureUnits[1] \n\t\t\t\t\t{ \n");
    out.Put("\t\t\t\t\t\tTexmap \n\t\t\t\t\t\t{ \n");
    out.Put("\t\t\t\t\t\t\t\"Diffuse\" /* TexType */ \n");
    out.Put("\t\t\t\t\t\t\t1.000000 /* Tex Pct */ \n");
    out.Put("\t\t\t\t\t\t\tTexture \n\t\t\t\t\t\t\t{ \n");
    out.Print("\t\t\t\t\t\t\t\t\"%s\" \n\t\t\t\t\t\t\t} \n", FileNameInside(WithExtension(m.m_texture, ".tga")));
    out.Put("\t\t\t\t\t\t}\n\t\t\t\t\t}/* End of TexUnits */ \n\t\t\t\t} \n");
}

void WriteSdfModel(TextFile& out, const CModel& m, const std::string& name, const std::vector<CMaterial>& materials,
                   const std::string& parent, const CTimeline& t, const SdfOptions& o)
{
    const float s = o.scale;
    const float s2 = 2.0f * s;
    std::vector<int> used;
    for (const CFace& f : m.m_faces)
        if (std::find(used.begin(), used.end(), f.m_material) == used.end()) used.push_back(f.m_material);
    // One material block per used id, so the array holds what it announces:
    // the first material with the id, or the default material for an id that
    // names none.
    std::vector<const CMaterial*> blocks;
    static const CMaterial kDefault;
    for (int id : used) {
        auto it = std::find_if(materials.begin(), materials.end(), [id](const CMaterial& c) { return c.m_id == id; });
        blocks.push_back(it == materials.end() ? &kDefault : &*it);
    }
    const bool textured = std::any_of(blocks.begin(), blocks.end(), [](const CMaterial* c) { return !c->m_texture.empty(); });
    const int uv = textured && o.textureCoords ? 1 : 0;
    const std::size_t nf = m.m_faces.size();

    out.Put("Model \n{ \n");
    out.Print("\t\"%s\" /* Name */ \n", name);
    out.Print("\t\"%s\" /* Parent Name */ \n", parent);
    out.Put("\tMatrix3 \n\t{ \n");
    out.Put(kIdentityRows);
    out.Put("\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 0.000000 0.000000 \n\t\t} \n");
    out.Put("\t} /* NodeTransform */ \n");
    out.Put("\tMeshGroup[1] \n\t{ \n");
    out.Put("\t\tMesh \n\t\t{ \n");
    out.Print("\t\t\tMaterialArray[%d] \n\t\t\t{ \n", used.size());
    for (const CMaterial* c : blocks) WriteMaterial(out, *c);
    out.Put("\t\t\t} \n\t\t\tMeshFormat \n\t\t\t{ \n");
    out.Print("\t\t\t\t%d /* Num Faces */ \n", nf);
    out.Print("\t\t\t\t%d /* Face Positions */ \n", 1);
    out.Print("\t\t\t\t%d /* Face Normals */ \n", 1);
    out.Print("\t\t\t\t%d /* Face TexCoords */ \n", uv);
    out.Print("\t\t\t\t%d /* Face Materials */ \n", 1);
    out.Print("\t\t\t\t%d /* Num Positions */ \n", m.m_vertices.size());
    out.Print("\t\t\t\t%d /* Num Normals */ \n", 3 * nf);
    out.Print("\t\t\t\t%d /* Num TexCoords */ \n", 3 * nf * static_cast<std::size_t>(uv));
    out.Print("\t\t\t\t%d /* Num BaseVertices */ \n", 0);
    out.Print("\t\t\t\t%d /* Has VertexWeights */ \n\t\t\t} \n", 0);

    out.Print("\t\t\tFacePositions[%d] \n\t\t\t{ \n", nf);
    for (const CFace& f : m.m_faces) out.Print("\t\t\t\t%d %d %d \n", f.m_indices[2], f.m_indices[1], f.m_indices[0]);
    out.Put("\t\t\t} /* Face Positions */ \n");
    out.Print("\t\t\tFaceNormals[%d] \n\t\t\t{ \n", nf);
    for (std::size_t i = 0; i < nf; ++i) out.Print("\t\t\t\t%d %d %d \n", 3 * i + 2, 3 * i + 1, 3 * i);
    out.Put("\t\t\t} /* Face Normals */ \n");
    if (uv) {
        out.Print("\t\t\tFaceTexCoords[%d] \n\t\t\t{ \n", nf);
        for (std::size_t i = 0; i < nf; ++i) out.Print("\t\t\t\t%d %d %d \n", 3 * i + 2, 3 * i + 1, 3 * i);
        out.Put("\t\t\t} /* FaceTexCoords */ \n");
    }
    out.Print("\t\t\tFaceMaterials[%d] \n\t\t\t{ \n", nf);
    for (const CFace& f : m.m_faces)
        out.Print("\t\t\t\t%d \n", static_cast<int>(std::find(used.begin(), used.end(), f.m_material) - used.begin()));
    out.Put("\t\t\t} /* FaceMaterials */ \n");

    out.Print("\t\t\tPositions[%d] \n\t\t\t{ \n", m.m_vertices.size());
    for (const CVertex& v : m.m_vertices)
        out.Print("\t\t\t\tPoint3 \n\t\t\t\t{ \n\t\t\t\t\t%f %f %f \n\t\t\t\t} \n", (v.m_pos.m_x - m.m_pivot.m_x) * s2,
                  (v.m_pos.m_y - m.m_pivot.m_y) * s2, (v.m_pos.m_z - m.m_pivot.m_z) * s2);
    out.Put("\t\t\t} /* Positions */ \n");
    out.Print("\t\t\tNormals[%d] \n\t\t\t{ \n", 3 * nf);
    for (const CFace& f : m.m_faces) {
        for (int c = 0; c < 3; ++c) {
            const CVector& n = m.m_vertices[static_cast<std::size_t>(f.m_indices[static_cast<std::size_t>(c)])].m_normal;
            out.Print("\t\t\t\tPoint3 \n\t\t\t\t{ \n\t\t\t\t\t%f %f %f \n\t\t\t\t} \n", -n.m_x, -n.m_y, -n.m_z);
        }
    }
    out.Put("\t\t\t} /* Normals  */ \n");
    if (uv) {
        out.Print("\t\t\tTexCoords[%d] \n\t\t\t{ \n", 3 * nf);
        for (const CFace& f : m.m_faces) {
            int written = 0;
            for (const CUV& c : f.UVs()) {
                out.Print("\t\t\t\tPoint2 \n\t\t\t\t{ \n\t\t\t\t\t%f %f \n\t\t\t\t} \n", c.m_u, -c.m_v);
                ++written;
            }
            for (; written < 3; ++written) out.Put("\t\t\t\tPoint2 \n\t\t\t\t{ \n\t\t\t\t\t0.000000 0.000000 \n\t\t\t\t} \n");
        }
        out.Put("\t\t\t} /* TexCoords  */ \n");
    }
    out.Put("\t\t} \n\t} /* Mesh Group */ \n");

    if (o.keyType == 0) {
        // A rate below 1 would make every key time a division by zero.
        const float fps = std::isfinite(t.m_fps) ? t.m_fps : 1.0f;
        const int rate = std::max(1, static_cast<int>(fps >= 100.0f ? 100.0f : std::max(fps, 1.0f)));
        const int frames = std::min(t.m_last + 1, static_cast<int>(m.m_frames.size()));
        out.Print("\tKeys[%d] \n\t{ \n", frames);
        for (int f = 0; f < frames; ++f) {
            const CAnimation& a = m.m_frames[static_cast<std::size_t>(f)];
            out.Put("\t\tKey \n\t\t{ \n");
            out.Print("\t\t\t%f \n", static_cast<float>(f) / static_cast<float>(rate));
            out.Print("\t\t\tPoint3 \n\t\t\t{ \n\t\t\t\t%f %f %f \n\t\t\t} /* Position */\n", a.m_position.m_x * s,
                      a.m_position.m_y * s, a.m_position.m_z * s);
            out.Print("\t\t\tQuat \n\t\t\t{ \n\t\t\t\t%f %f %f %f \n\t\t\t} /* Rotation */\n",
                      -DegreesToRadians(a.m_rotation.m_x) / 2.0f, -DegreesToRadians(a.m_rotation.m_y) / 2.0f,
                      -DegreesToRadians(a.m_rotation.m_z) / 2.0f, 1.0f);
            out.Print("\t\t\tPoint3 \n\t\t\t{ \n\t\t\t\t%f %f %f \n\t\t\t} /* Scale */ \n\t\t} \n", a.m_scale.m_x,
                      a.m_scale.m_y, a.m_scale.m_z);
        }
        out.Put("\t} \n");
    }
    out.Put("} \n");
}

}  // namespace

ExportResult WriteSdfFile(const CKinovela& scene, const CTimeline& t, const std::string& sdfPath,
                          const SdfOptions& o, const TextureSearch& textures)
{
    ExportResult result;
    // The description is a side file too: its name is fixed, not chosen,
    // so a link at its place is replaced rather than followed.
    const std::string folder = FolderOf(sdfPath);
    ExportFiles files(folder, TextureSources(scene, textures));
    if (!AddTextures(scene, files, result)) return result;
    const std::vector<std::string> names = ExportNames(scene, o.safeNames);
    const std::size_t count = scene.m_models.size();
    const float s = o.scale;
    const float s2 = 2.0f * s;
    ExportProgress progress(o.progress, scene, o.keyType == 0, t.m_last);

    const bool prepared = files.AddSide(sdfPath.substr(folder.size()), [&](ByteSink& sink) {
        TextFile out(sink);
        out.Put("\nSDFFile \n{ \n\tVersion\n\t{ \n\t\t1 \n\t} \n\tExportTime \n\t{ \n\t\t\"Thu Jan 11 10:42:35 2001\" \n\t} \n} \n");

        const CAnimation cam = scene.m_camera.empty() ? CAnimation() : scene.m_camera[0];
        out.Put("Camera \n{ \n\t\"Default\" /* Name */ \n");
        out.Put("\t\"<NULL>\" /* Parent Name */ \n");
        out.Put("\tMatrix3 \n\t{ \n");
        if (o.camera) {
            const Matrix4 c =
                Matrix4::Translation(-s2 * cam.m_position.m_x, -s2 * cam.m_position.m_y, -s2 * cam.m_position.m_z) *
                Matrix4::RotationX(DegreesToRadians(-cam.m_rotation.m_x)) *
                Matrix4::RotationY(DegreesToRadians(-cam.m_rotation.m_y)) *
                Matrix4::RotationZ(DegreesToRadians(-cam.m_rotation.m_z));
            for (int r = 0; r < 3; ++r)
                out.Print("\t\tPoint3 \n\t\t{ \n\t\t\t%f %f %f \n\t\t} \n", c.m[r][0], c.m[r][1], c.m[r][2]);
            out.Print("\t\tPoint3 \n\t\t{ \n\t\t\t%f %f %f \n\t\t} \n\t} /* NodeTransform */ \n", c.m[3][0], c.m[3][1],
                      c.m[3][2]);
        } else {
            out.Put(kIdentityRows);
            out.Print("\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 0.000000 %f \n\t\t} \n\t} /* NodeTransform */ \n",
                      -s2 * cam.m_position.m_z);
        }
        out.Print("\t\"%s\" /* Camera Type */ \n", "Perspective");
        out.Print("\t%f /* Height */ \n", scene.m_fov);
        const std::uint32_t bg = scene.m_background;
        out.Print("\tColor \n\t{ \n\t\t%f %f %f \n\t} /* Clear Color */ \n} \n", static_cast<float>(bg & 0xFF) / 255.0f,
                  static_cast<float>((bg >> 8) & 0xFF) / 255.0f, static_cast<float>((bg >> 16) & 0xFF) / 255.0f);

        auto light = [&](const char* name, const char* type, float position) {
            out.Put("Light \n{ \n");
            out.Put(name);
            out.Put("\t\"<NULL>\" /* Parent Name */ \n");
            out.Put("\tMatrix3 \n\t{ \n");
            out.Put(kIdentityRows);
            out.Print("\t\tPoint3 \n\t\t{ \n\t\t\t%f %f %f \n\t\t} \n", position, position, position);
            out.Put("\t} /* NodeTransform */ \n");
            out.Put("\tLightData \n\t{ \n");
            out.Put(type);
            out.Put("\t\tColor \n\t\t{ \n\t\t\t1.000000 1.000000 1.000000 \n\t\t} /* Light Color */ \n");
            out.Put("\t\tPoint3 \n\t\t{ \n\t\t\t0.000000 0.000000 0.000000 \n\t\t} /* Attenuation */ \n");
            out.Put("\t\t0.000000 /* Spot Angle */ \n\t} \n} \n");
        };
        light("\t\"Default\" /* Name */ \n", "\t\t\"AMBIENT\" /* Light Type */ \n", 500.0f);
        if (o.light) light("\t\"DirectionalLight\" /* Name */ \n", "\t\t\"DIRECTIONAL\" /* Light Type */ \n", 500.0f * s);

        for (const WalkEntry& e : scene.m_hierarchyWalk) {
            if (e.event != 1 || e.model < 0 || static_cast<std::size_t>(e.model) >= count) continue;
            const CModel& m = scene.m_models[static_cast<std::size_t>(e.model)];
            const std::string& name = names[static_cast<std::size_t>(e.model)];
            const int p = m.m_parent;
            // The stored parent name, or the parent's Pivot3 group; with safe
            // names the parent is named as its own block is.
            const bool hasParent = p >= 0 && static_cast<std::size_t>(p) < count;
            std::string parent = hasParent && o.safeNames ? names[static_cast<std::size_t>(p)] : m.m_parentName;
            if (hasParent && !IsZero(scene.m_models[static_cast<std::size_t>(p)].m_pivot))
                parent = names[static_cast<std::size_t>(p)] + "Pivot3";
            const CModel tri = Triangulated(m);
            // A model block holds both its mesh and its keys.
            if (IsZero(m.m_pivot)) {
                WriteSdfModel(out, tri, name, scene.m_materials, parent, t, o);
                progress.MeshAndAnimationDone(static_cast<std::size_t>(e.model));
                continue;
            }
            const CVector pv{m.m_pivot.m_x * s2, m.m_pivot.m_y * s2, m.m_pivot.m_z * s2};
            const CVector nv{-pv.m_x, -pv.m_y, -pv.m_z};
            WriteGroup(out, "\t\"%sPivot\" /* Name */ \n", name, "\t\"%s\" /* Parent Name */ \n", parent, pv);
            WriteSdfModel(out, tri, name, scene.m_materials, name + "Pivot", t, o);
            progress.MeshAndAnimationDone(static_cast<std::size_t>(e.model));
            WriteGroup(out, "\t\"%sPivot2\" /* Name */ \n", name, "\t\"%s\" /* Parent Name */ \n", name, nv);
            WriteGroup(out, "\t\"%sPivot3\" /* Name */ \n", name, "\t\"%sPivot2\" /* Parent Name */ \n", name, pv);
        }
    }, result, true);
    if (!prepared) return result;
    if (!files.Commit(result)) return result;
    progress.Finish();
    result.ok = true;
    return result;
}

bool ConvertSdfToW3d(const std::string& w3dPath, const std::string& sdfFolder, const std::string& pluginPath,
                     std::string& error)
{
    void* lib = nullptr;
    if (!pluginPath.empty()) {
        lib = ::dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    } else {
        lib = ::dlopen((ModuleDirectory() + "libShockwave3D.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!lib) lib = ::dlopen("libShockwave3D.so", RTLD_NOW | RTLD_LOCAL);
    }
    if (!lib) {
        error = "the Shockwave 3D converter (libShockwave3D.so) is not installed";
        return false;
    }
    using SaveFn = int (*)(const char*);
    auto save = reinterpret_cast<SaveFn>(::dlsym(lib, "SaveW3DFile"));
    if (!save) {
        ::dlclose(lib);
        error = "libShockwave3D.so has no SaveW3DFile";
        return false;
    }
    // The converter reads the description from the current folder; the
    // target is passed as a full path so the change of folder cannot move it.
    std::error_code ec;
    const std::string target = std::filesystem::absolute(w3dPath, ec).string();
    const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool ok = false;
    if (here < 0 || ::chdir(sdfFolder.empty() ? "." : sdfFolder.c_str()) != 0) {
        error = "cannot enter " + sdfFolder;
    } else {
        ok = save(ec ? w3dPath.c_str() : target.c_str()) != 0;
        if (!ok) error = "the Shockwave 3D converter reported a failure";
        if (::fchdir(here) != 0) {
            ok = false;
            error = "cannot return to the working folder";
        }
    }
    if (here >= 0) ::close(here);
    ::dlclose(lib);
    return ok;
}

}  // namespace kinovela
