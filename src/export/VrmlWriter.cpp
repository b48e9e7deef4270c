#include "export/VrmlWriter.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "common/TextCodec.h"
#include "export/ExportFiles.h"
#include "image/DibStream.h"

namespace kinovela {

namespace {

// The texture name with its extension replaced by ".bmp" (appended when the
// last component has none).
std::string BmpName(const std::string& texture)
{
    const std::size_t slash = texture.find_last_of("/\\");
    const std::size_t dot = texture.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return texture + ".bmp";
    return texture.substr(0, dot) + ".bmp";
}

// Side files land at FileNameInside(name) in the output folder, so the url
// names exactly that; a quote or backslash would end or alter the string.
std::string UrlString(const std::string& name)
{
    std::string out;
    for (char c : FileNameInside(name)) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// The same rule as ExportNames, for the world name the camera nest and the
// time sensor are named after.
std::string SafeIdentifier(const std::string& name)
{
    std::string s;
    for (unsigned char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        s.push_back(ok ? static_cast<char>(c) : '_');
    }
    if (s.empty() || (s[0] >= '0' && s[0] <= '9')) s.insert(s.begin(), '_');
    return s;
}

// A face goes out only with three or four corners that all name a vertex
// of the model, so every index of a shape points into its own lists.
bool Writable(const CFace& f, std::size_t vertexCount)
{
    if (f.IndexCount() != 3 && f.IndexCount() != 4) return false;
    for (int i : f.Indices())
        if (i < 0 || static_cast<std::size_t>(i) >= vertexCount) return false;
    return true;
}

// The 32 x 32 BMP and the copy of every texture, as side files of the
// world. The copy is of the file the picture was loaded from; a texture
// whose picture was not loaded has neither. False when the disk refuses
// them.
bool AddTextureFiles(const CKinovela& scene, ExportFiles& files, ExportResult& result)
{
    std::set<std::string> done;
    for (const CMaterial& m : scene.m_materials) {
        const std::string& texture = m.m_texture;
        if (texture.empty() || !done.insert(texture).second) continue;  // a second material: the same files
        const CMaterial* loaded = nullptr;
        for (const CMaterial& other : scene.m_materials)
            if (other.m_texture == texture && other.m_image && !other.m_image->Empty()) {
                loaded = &other;
                break;
            }
        const std::string shown = Cp932ToUtf8(texture);
        if (!loaded) {
            result.warnings.push_back("texture " + shown + " was not loaded; its 32 x 32 BMP and copy are not written");
            continue;
        }

        // A texture that is a BMP already is copied as it is: its copy and
        // its small BMP would be the same file.
        const std::string bmp = FileNameInside(BmpName(texture));
        if (BmpName(texture) != texture) {
            DibStream small;
            if (!small.CopyFrom(loaded->m_image->PackedHeader(), loaded->m_image->PixelBlock()) || !small.Resize(32, 32))
                result.warnings.push_back("cannot resample texture " + shown + "; " + Cp932ToUtf8(bmp) + " not written");
            else if (!files.AddSide(bmp, [&small](ByteSink& sink) { small.WriteBMP(sink); }, result))
                return false;
        }
        if (loaded->m_imagePath.empty()) {
            result.warnings.push_back("texture " + shown + " has no file to copy");
            continue;
        }
        if (!files.AddCopy(FileNameInside(texture), loaded->m_imagePath, result)) return false;
    }
    return true;
}

void WriteIndices(TextFile& out, const std::vector<int>& corners)
{
    int k = 0;
    for (int n : corners) {
        if (n == 3)
            out.Print("\t\t\t\t\t%d, %d, %d, -1,\n", k + 2, k + 1, k);
        else
            out.Print("\t\t\t\t\t%d, %d, %d, %d, -1,\n", k + 3, k + 2, k + 1, k);
        k += n;
    }
}

void WriteModel(TextFile& out, const CModel& model, const std::string& name, const std::vector<CMaterial>& materials,
                const VrmlOptions& o)
{
    const float s = o.scale;
    const float cx = s * model.m_pivot.m_x, cy = s * model.m_pivot.m_y, cz = s * model.m_pivot.m_z;
    out.Print("DEF T_%s Transform {\n", name);
    out.Put("\tchildren [\n");
    for (const char* node : {"RZ", "RY", "RX", "S"}) {
        out.Print("\tDEF %s_%s Transform {\n", node, name);
        out.Print("\tcenter %f %f %f\n", cx, cy, cz);
        out.Put("\tchildren [\n");
    }

    const std::size_t nv = model.m_vertices.size();
    std::vector<const CFace*> group;
    std::vector<int> corners;
    for (const CMaterial& mat : materials) {
        group.clear();
        corners.clear();
        for (const CFace& f : model.m_faces)
            if (f.m_material == mat.m_id && Writable(f, nv)) {
                group.push_back(&f);
                corners.push_back(f.IndexCount());
            }
        if (group.empty()) continue;
        const bool textured = !mat.m_texture.empty();

        out.Put("\t\tShape {\n\t\t\tappearance Appearance {\n\t\t\t\tmaterial Material {\n");
        out.Print("\t\t\t\t\tdiffuseColor %f %f %f\n", mat.m_col[0], mat.m_col[1], mat.m_col[2]);
        out.Print("\t\t\t\t\tambientIntensity %f\n", mat.m_amb);
        out.Print("\t\t\t\t\tspecularColor %f %f %f\n", mat.m_spc, mat.m_spc, mat.m_spc);
        out.Print("\t\t\t\t\temissiveColor %f %f %f\n", mat.m_col[0] * mat.m_emi, mat.m_col[1] * mat.m_emi,
                  mat.m_col[2] * mat.m_emi);
        out.Print("\t\t\t\t\tshininess %f\n", 1.0f);
        out.Put("\t\t\t\t}\n");
        if (textured) {
            out.Put("\t\t\t\ttexture ImageTexture {\n");
            out.Print("\t\t\t\t\turl [ \"%s\", \"%s\" ]\n\t\t\t\t}\n", UrlString(BmpName(mat.m_texture)),
                      UrlString(mat.m_texture));
        }
        out.Put("\t\t\t}\n\t\t\tgeometry IndexedFaceSet {\n\t\t\t\tcoord Coordinate {\n\t\t\t\t\tpoint [\n");
        for (const CFace* f : group)
            for (int i : f->Indices()) {
                const CVector& p = model.m_vertices[static_cast<std::size_t>(i)].m_pos;
                out.Print("\t\t\t\t\t\t%f %f %f,\n", s * p.m_x, s * p.m_y, s * p.m_z);
            }
        out.Put("\t\t\t\t\t]\n\t\t\t\t}\n");
        out.Put("\t\t\t\tcoordIndex [\n");
        WriteIndices(out, corners);
        out.Put("\t\t\t\t]\n");

        if (o.normals) {
            out.Put("\t\t\t\tnormal Normal {\n\t\t\t\t\tvector [\n");
            for (const CFace* f : group)
                for (int i : f->Indices()) {
                    const CVector& n = model.m_vertices[static_cast<std::size_t>(i)].m_normal;
                    out.Print("\t\t\t\t\t\t%f %f %f,\n", -n.m_x, -n.m_y, -n.m_z);
                }
            out.Put("\t\t\t\t\t]\n\t\t\t\t}\n\t\t\t\tnormalIndex [\n");
            WriteIndices(out, corners);
            out.Put("\t\t\t\t]\n");
        } else {
            out.Print("\t\t\t\tcreaseAngle %f\n", DegreesToRadians(model.m_facet));
        }

        if (o.textureCoords && textured) {
            out.Put("\t\t\t\ttexCoord TextureCoordinate {\n\t\t\t\t\tpoint [\n");
            // One coordinate per corner, however many the face stores, so
            // that the index lines stay in step with the points.
            for (const CFace* f : group)
                for (int c = 0; c < f->IndexCount(); ++c) {
                    if (c < f->UVCount()) {
                        const CUV& uv = f->m_uvs[static_cast<std::size_t>(c)];
                        out.Print("\t\t\t\t\t\t%f %f,\n", uv.m_u, -uv.m_v);
                    } else {
                        out.Put("\t\t\t\t\t\t0.0 0.0,\n");
                    }
                }
            out.Put("\t\t\t\t\t]\n\t\t\t\t}\n\t\t\t\ttexCoordIndex [\n");
            WriteIndices(out, corners);
            out.Put("\t\t\t\t]\n");
        }
        out.Put("\t\t\t}\n\t\t}\n");
    }
}

void WriteInterpolators(TextFile& out, const CModel& model, const std::string& name, const std::string& world,
                        int last, float s)
{
    // Frame 0 always leads the list (the key list starts with 0.0 for it),
    // even in a file that lost its key mark; frames past the stored poses
    // are not keys.
    std::vector<int> keys{0};
    const std::size_t end = std::min(static_cast<std::size_t>(last) + 1, model.m_frames.size());
    for (std::size_t f = 1; f < end; ++f)
        if (model.m_frames[f].m_key == 1) keys.push_back(static_cast<int>(f));
    const CAnimation none;
    auto pose = [&](int f) -> const CAnimation& {
        return static_cast<std::size_t>(f) < model.m_frames.size() ? model.m_frames[static_cast<std::size_t>(f)] : none;
    };

    auto keyList = [&]() {
        out.Put("\tkey [ 0.0");
        for (std::size_t k = 1; k < keys.size(); ++k)
            out.Print(", %f", static_cast<float>(keys[k]) / static_cast<float>(last));
        out.Put(" ]\n\tkeyValue [\n");
    };

    out.Print("DEF PI_%s PositionInterpolator {\n", name);
    keyList();
    for (int f : keys) {
        const CVector& p = pose(f).m_position;
        out.Print("\t\t%f %f %f,\n", s * p.m_x, s * p.m_y, s * p.m_z);
    }
    out.Put("\t]\n}\n");

    struct Axis {
        const char* def;
        const char* value;
        float CVector::*angle;
    };
    for (const Axis& a : {Axis{"OIX", "\t\t1.0 0.0 0.0 %f,\n", &CVector::m_x}, Axis{"OIY", "\t\t0.0 1.0 0.0 %f,\n", &CVector::m_y},
                          Axis{"OIZ", "\t\t0.0 0.0 1.0 %f,\n", &CVector::m_z}}) {
        out.Print("DEF %s_%s OrientationInterpolator {\n", a.def, name);
        keyList();
        for (int f : keys) out.Print(a.value, DegreesToRadians(pose(f).m_rotation.*a.angle));
        out.Put("\t]\n}\n");
    }

    out.Print("DEF PIS_%s PositionInterpolator {\n", name);
    keyList();
    for (int f : keys) {
        const CVector& sc = pose(f).m_scale;
        out.Print("\t\t%f %f %f,\n", sc.m_x, sc.m_y, sc.m_z);
    }
    out.Put("\t]\n}\n");

    out.Print("ROUTE TS_%s.fraction_changed TO PI_%s.set_fraction\n", world, name);
    out.Print("ROUTE PI_%s.value_changed TO T_%s.translation\n", name, name);
    out.Print("ROUTE TS_%s.fraction_changed TO OIX_%s.set_fraction\n", world, name);
    out.Print("ROUTE OIX_%s.value_changed TO RX_%s.rotation\n", name, name);
    out.Print("ROUTE TS_%s.fraction_changed TO OIY_%s.set_fraction\n", world, name);
    out.Print("ROUTE OIY_%s.value_changed TO RY_%s.rotation\n", name, name);
    out.Print("ROUTE TS_%s.fraction_changed TO OIZ_%s.set_fraction\n", world, name);
    out.Print("ROUTE OIZ_%s.value_changed TO RZ_%s.rotation\n", name, name);
    out.Print("ROUTE TS_%s.fraction_changed TO PIS_%s.set_fraction\n", world, name);
    out.Print("ROUTE PIS_%s.value_changed TO S_%s.set_scale\n\n", name, name);
}

}  // namespace

ExportResult WriteVrmlFile(const CKinovela& scene, const CTimeline& t, const std::string& path,
                           const VrmlOptions& o, const TextureSearch& textures)
{
    ExportResult result;
    // The world and its side files are put in place together (the side
    // files first, so that a viewer opening the world finds them).
    ExportFiles files(FolderOf(path), TextureSources(scene, textures));

    const std::vector<std::string> names = ExportNames(scene, o.safeNames);
    const std::string world = o.safeNames ? SafeIdentifier(BaseName(path)) : BaseName(path);
    const std::size_t count = scene.m_models.size();
    auto inRange = [count](int i) { return i >= 0 && static_cast<std::size_t>(i) < count; };
    const int last = std::max(t.m_last, 0);
    ExportProgress progress(o.progress, scene, o.keyType == 0, last);

    const bool prepared = files.AddMain(path, [&](ByteSink& sink) {
        TextFile out(sink);
        out.Put("#VRML V2.0 utf8\n\n");
        WriteProductLines(out, "# ");

        const bool camera = o.camera && !scene.m_camera.empty();
        if (camera) {
            const CAnimation& cam = scene.m_camera[0];
            const float s = o.scale;
            out.Print("DEF CAMERA_T_%s Transform {\n", world);
            out.Print("\ttranslation %f %f %f\n", cam.m_position.m_x * s / 4.0f, cam.m_position.m_y * s / 4.0f,
                      cam.m_position.m_z * s / 4.0f);
            out.Put("\tchildren [\n");
            out.Print("\t\tDEF CAMERA_RX_%s Transform {\n", world);
            out.Print("\t\t\trotation 1.0 0.0 0.0 %f\n", DegreesToRadians(cam.m_rotation.m_x));
            out.Put("\t\t\tchildren [\n");
            out.Print("\t\t\t\tDEF CAMERA_RY_%s Transform {\n", world);
            out.Print("\t\t\t\t\trotation 0.0 1.0 0.0 %f\n", DegreesToRadians(cam.m_rotation.m_y));
            out.Put("\t\t\t\t\tchildren [\n");
            out.Print("\t\t\t\t\t\tDEF CAMERA_RZ_%s Transform {\n", world);
            out.Print("\t\t\t\t\t\t\trotation 0.0 0.0 1.0 %f\n", DegreesToRadians(cam.m_rotation.m_z));
            out.Put("\t\t\t\t\t\t\tchildren [\n");
        }

        for (const WalkEntry& e : scene.m_hierarchyWalk) {
            if (!inRange(e.model)) continue;
            if (e.event == kWalkEnter) {
                WriteModel(out, scene.m_models[static_cast<std::size_t>(e.model)], names[static_cast<std::size_t>(e.model)],
                           scene.m_materials, o);
                progress.MeshDone(static_cast<std::size_t>(e.model));
            } else if (e.event == kWalkLeave) {
                out.Put("\t]\t}\n\t]\t}\n\t]\t}\n\t]\t}\n]\t}\n\n");
            }
        }

        if (camera)
            out.Put("\t\t\t\t\t\t\t]\n\t\t\t\t\t\t}\n\t\t\t\t\t]\n\t\t\t\t}\n\t\t\t]\n\t\t}\n\t]\n}\n");

        if (o.keyType == 0) {
            // A time sensor needs a cycle longer than zero: a single frame
            // plays for one frame's time. A rate the program would not accept
            // is taken as it would take it, so the interval is finite.
            const float fps = SaneFrameRate(t.m_fps);
            const float cycle = last > 0 ? static_cast<float>(last) / fps : 1.0f / fps;
            out.Print("\nDEF TS_%s TimeSensor {\n", world);
            out.Print("\tcycleInterval %f\n", cycle);
            out.Put("\tloop TRUE\n}\n");
            for (const WalkEntry& e : scene.m_hierarchyWalk) {
                if (e.event != kWalkEnter || !inRange(e.model)) continue;
                WriteInterpolators(out, scene.m_models[static_cast<std::size_t>(e.model)],
                                   names[static_cast<std::size_t>(e.model)], world, last, o.scale);
                progress.AnimationDone(static_cast<std::size_t>(e.model));
            }
        }
    }, result);
    if (!prepared || !AddTextureFiles(scene, files, result)) return result;
    if (!files.Commit(result)) return result;
    progress.Finish();
    result.ok = true;
    return result;
}

}  // namespace kinovela
