#include "export/XWriter.h"

#include <algorithm>

namespace kinovela {

namespace {

struct Template {
    const char* name;
    const char* guid;
    std::vector<const char*> members;
};

const std::vector<Template>& Templates()
{
    static const std::vector<Template> list = {
        {"Header", "3D82AB43-62DA-11cf-AB39-0020AF71E433", {"WORD major;", "WORD minor;", "DWORD flags;"}},
        {"Vector", "3D82AB5E-62DA-11cf-AB39-0020AF71E433", {"FLOAT x;", "FLOAT y;", "FLOAT z;"}},
        {"Coords2d", "F6F23F44-7686-11cf-8F52-0040333594A3", {"FLOAT u;", "FLOAT v;"}},
        {"Matrix4x4", "F6F23F45-7686-11cf-8F52-0040333594A3", {"array FLOAT matrix[16];"}},
        {"ColorRGBA", "35FF44E0-6C7C-11cf-8F52-0040333594A3", {"FLOAT red;", "FLOAT green;", "FLOAT blue;", "FLOAT alpha;"}},
        {"ColorRGB", "D3E16E81-7835-11cf-8F52-0040333594A3", {"FLOAT red;", "FLOAT green;", "FLOAT blue;"}},
        {"Boolean", "4885AE61-78E8-11cf-8F52-0040333594A3", {"WORD truefalse;"}},
        {"Boolean2d", "4885AE63-78E8-11cf-8F52-0040333594A3", {"Boolean u;", "Boolean v;"}},
        {"MaterialWrap", "4885AE60-78E8-11cf-8F52-0040333594A3", {"Boolean u;", "Boolean v;"}},
        {"TextureFilename", "A42790E1-7810-11cf-8F52-0040333594A3", {"STRING filename;"}},
        {"Material", "3D82AB4D-62DA-11cf-AB39-0020AF71E433",
         {"ColorRGBA faceColor;", "FLOAT power;", "ColorRGB specularColor;", "ColorRGB emissiveColor;", "[...]"}},
        {"MeshFace", "3D82AB5F-62DA-11cf-AB39-0020AF71E433",
         {"DWORD nFaceVertexIndices;", "array DWORD faceVertexIndices[nFaceVertexIndices];"}},
        {"MeshFaceWraps", "4885AE62-78E8-11cf-8F52-0040333594A3", {"DWORD nFaceWrapValues;", "Boolean2d faceWrapValues;"}},
        {"MeshTextureCoords", "F6F23F40-7686-11cf-8F52-0040333594A3",
         {"DWORD nTextureCoords;", "array Coords2d textureCoords[nTextureCoords];"}},
        {"MeshMaterialList", "F6F23F42-7686-11cf-8F52-0040333594A3",
         {"DWORD nMaterials;", "DWORD nFaceIndexes;", "array DWORD faceIndexes[nFaceIndexes];", "[Material]"}},
        {"MeshNormals", "F6F23F43-7686-11cf-8F52-0040333594A3",
         {"DWORD nNormals;", "array Vector normals[nNormals];", "DWORD nFaceNormals;",
          "array MeshFace faceNormals[nFaceNormals];"}},
        {"Mesh", "3D82AB44-62DA-11cf-AB39-0020AF71E433",
         {"DWORD nVertices;", "array Vector vertices[nVertices];", "DWORD nFaces;", "array MeshFace faces[nFaces];",
          "[...]"}},
        {"FrameTransformMatrix", "F6F23F41-7686-11cf-8F52-0040333594A3", {"Matrix4x4 frameMatrix;"}},
        {"Frame", "3D82AB46-62DA-11cf-AB39-0020AF71E433", {"[...]"}},
        {"AnimationKey", "10DD46A8-775B-11cf-8F52-0040333594A3",
         {"DWORD keyType;", "DWORD nKeys;", "array TimedFloatKeys keys[nKeys];"}},
        {"Animation", "3D82AB4F-62DA-11cf-AB39-0020AF71E433", {"[...]"}},
        {"AnimationSet", "3D82AB50-62DA-11cf-AB39-0020AF71E433", {"[Animation]"}},
    };
    return list;
}

// A face is written when it has three or four corners that all name a
// vertex of the model; the counts in the file are the counts of the faces
// written, so every count matches the entries that follow it.
bool Writable(const CFace& f, std::size_t vertexCount)
{
    if (f.IndexCount() != 3 && f.IndexCount() != 4) return false;
    for (int i : f.Indices())
        if (i < 0 || static_cast<std::size_t>(i) >= vertexCount) return false;
    return true;
}

bool ZeroPivot(const CModel& m) { return m.m_pivot.m_x == 0.0f && m.m_pivot.m_y == 0.0f && m.m_pivot.m_z == 0.0f; }

void WriteMatrixRows(TextFile& out, const Matrix4& c)
{
    for (int r = 0; r < 3; ++r) out.Print("\t\t%f, %f, %f, %f,\n", c.m[r][0], c.m[r][1], c.m[r][2], c.m[r][3]);
    out.Print("\t\t%f, %f, %f, %f;;\n\t}\n\n", c.m[3][0], c.m[3][1], c.m[3][2], c.m[3][3]);
}

void WritePivotAnimations(TextFile& out, const CModel& m, const std::string& name, float s, bool leftHanded)
{
    const float zp = leftHanded ? -(s * m.m_pivot.m_z) : s * m.m_pivot.m_z;
    const float x = s * m.m_pivot.m_x, y = s * m.m_pivot.m_y;
    struct Part {
        float x, y, z;
        const char* frame;
    };
    for (const Part& p : {Part{x, y, zp, "Pivot"}, Part{-x, -y, -zp, "Pivot2"}, Part{x, y, zp, "Pivot3"}}) {
        out.Put("\n\tAnimation {\n\t\tAnimationKey {\n\t\t\t2;\n\t\t\t1;\n");
        out.Print("\t\t\t0; 3; %f, %f, %f;;,\n", p.x, p.y, p.z);
        out.Print("\t\t}\n\t\t{ %s%s }\n\t}\n", name, p.frame);
    }
}

void WriteSrtAnimation(TextFile& out, const CModel& m, const std::string& name, int last, int speed, float s,
                       bool leftHanded)
{
    const std::size_t end = std::min<std::size_t>(static_cast<std::size_t>(last) + 1, m.m_frames.size());
    std::vector<int> keys;
    for (std::size_t f = 0; f < end; ++f)
        if (m.m_frames[f].m_key == 1) keys.push_back(static_cast<int>(f));
    const long long n = static_cast<long long>(keys.size());
    auto time = [speed](int f) { return static_cast<long long>(speed) * f; };

    out.Print("\n\tAnimation {\n\t\tAnimationKey {\n\t\t\t0;\n\t\t\t%d;\n", n);
    for (int f : keys) {
        const CVector& r = m.m_frames[static_cast<std::size_t>(f)].m_rotation;
        const Matrix4 rot = Matrix4::RotationX(DegreesToRadians(r.m_x)) * Matrix4::RotationY(DegreesToRadians(r.m_y)) *
                            Matrix4::RotationZ(DegreesToRadians(r.m_z));
        const Quaternion q = QuaternionFromRotationMatrix(rot);
        if (leftHanded)
            out.Print("\t\t\t%d; 4; %f, %f, %f, %f;;,\n", time(f), q.w, q.x, q.y, -q.z);
        else
            out.Print("\t\t\t%d; 4; %f, %f, %f, %f;;,\n", time(f), q.w, -q.x, -q.y, -q.z);
    }
    out.Put("\t\t}\n");

    bool scaleChanges = false;
    for (std::size_t f = 1; f < end && !scaleChanges; ++f) scaleChanges = m.m_frames[f].m_scale != m.m_frames[0].m_scale;
    if (scaleChanges) {
        out.Print("\t\tAnimationKey {\n\t\t\t1;\n\t\t\t%d;\n", n);
        for (int f : keys) {
            const CVector& sc = m.m_frames[static_cast<std::size_t>(f)].m_scale;
            out.Print("\t\t\t%d; 3; %f, %f, %f;;,\n", time(f), sc.m_x, sc.m_y, sc.m_z);
        }
        out.Put("\t\t}\n");
    }

    out.Print("\t\tAnimationKey {\n\t\t\t2;\n\t\t\t%d;\n", n);
    for (int f : keys) {
        const CVector& p = m.m_frames[static_cast<std::size_t>(f)].m_position;
        const float z = leftHanded ? -(s * p.m_z) : s * p.m_z;
        out.Print("\t\t\t%d; 3; %f, %f, %f;;,\n", time(f), s * p.m_x, s * p.m_y, z);
    }
    out.Print("\t\t}\n\t\t{ %s }\n\t}\n", name);
}

}  // namespace

void WriteXPreamble(TextFile& out, bool withAnimationTemplates)
{
    out.Put("xof 0302txt 0032\n\n");
    WriteProductLines(out, "// ");
    for (const Template& t : Templates()) {
        const std::string_view name = t.name;
        if (!withAnimationTemplates && (name == "AnimationKey" || name == "Animation" || name == "AnimationSet")) continue;
        out.Print("template %s {\n\t<%s>\n", name, t.guid);
        for (const char* m : t.members) out.Print("\t%s\n", m);
        out.Put("}\n\n");
    }
    out.Put("Header {\n\t1;\n\t0;\n\t1;\n}\n\n");
}

void WriteXMesh(TextFile& out, const CModel& model, const std::string& name, const std::vector<CMaterial>& materials,
                bool textureCoords, float s, bool perCorner, bool leftHanded)
{
    const std::size_t nv = model.m_vertices.size();
    std::vector<const CFace*> faces;
    faces.reserve(model.m_faces.size());
    for (const CFace& f : model.m_faces)
        if (Writable(f, nv)) faces.push_back(&f);

    std::size_t vertexCount = nv;
    if (perCorner) {
        vertexCount = 0;
        for (const CFace* f : faces) vertexCount += static_cast<std::size_t>(f->IndexCount());
    }

    auto writePosition = [&](const CVertex& v) {
        const CVector p = v.m_pos - model.m_pivot;
        out.Print("\t\t\t\t%f;%f;%f;,\n", s * p.m_x, s * p.m_y, leftHanded ? -(s * p.m_z) : s * p.m_z);
    };
    auto writeNormal = [&](const CVertex& v) {
        const CVector& n = v.m_normal;
        out.Print("\t\t\t\t%f;%f;%f;,\n", -n.m_x, -n.m_y, leftHanded ? n.m_z : -n.m_z);
    };
    // The indices of face k's corners, in the order they are written.
    auto corners = [&](std::size_t k, std::size_t base, int out4[4]) {
        const CFace& f = *faces[k];
        const int n = f.IndexCount();
        for (int c = 0; c < n; ++c) {
            const int src = leftHanded ? c : n - 1 - c;
            out4[c] = perCorner ? static_cast<int>(base) + src : f.m_indices[static_cast<std::size_t>(src)];
        }
        return n;
    };
    auto writeFaces = [&](const char* indent) {
        std::size_t base = 0;
        for (std::size_t k = 0; k < faces.size(); ++k) {
            int c[4];
            const int n = corners(k, base, c);
            if (n == 3)
                out.Print("%s3;%d,%d,%d;,\n", indent, c[0], c[1], c[2]);
            else
                out.Print("%s4;%d,%d,%d,%d;,\n", indent, c[0], c[1], c[2], c[3]);
            base += static_cast<std::size_t>(n);
        }
    };

    out.Print("\t\tMesh Mesh_%s {\n", name);
    out.Print("\t\t\t%d;\n", vertexCount);
    if (perCorner) {
        for (const CFace* f : faces)
            for (int i : f->Indices()) writePosition(model.m_vertices[static_cast<std::size_t>(i)]);
    } else {
        for (const CVertex& v : model.m_vertices) writePosition(v);
    }
    out.Print("\n\t\t\t%d;\n", faces.size());
    writeFaces("\t\t\t");

    out.Print("\n\t\t\tMeshNormals {\n\t\t\t\t%d;\n", vertexCount);
    if (perCorner) {
        for (const CFace* f : faces)
            for (int i : f->Indices()) writeNormal(model.m_vertices[static_cast<std::size_t>(i)]);
    } else {
        for (const CVertex& v : model.m_vertices) writeNormal(v);
    }
    out.Print("\n\t\t\t\t%d;\n", faces.size());
    writeFaces("\t\t\t\t");
    out.Put("\t\t\t}\n\n");

    std::vector<int> used;
    std::vector<int> slot(faces.size());
    for (std::size_t k = 0; k < faces.size(); ++k) {
        const int id = faces[k]->m_material;
        auto it = std::find(used.begin(), used.end(), id);
        if (it == used.end()) it = used.insert(used.end(), id);
        slot[k] = static_cast<int>(it - used.begin());
    }
    out.Print("\t\t\tMeshMaterialList {\n\t\t\t\t%d;\n\t\t\t\t%d;\n", used.size(), faces.size());
    for (int sl : slot) out.Print("\t\t\t\t%d,\n", sl);
    bool textured = false;
    for (int id : used) {
        auto it = std::find_if(materials.begin(), materials.end(), [id](const CMaterial& m) { return m.m_id == id; });
        // A face can name a material the scene lacks (a document's M(n) is
        // kept as it is); it gets the default material, so that the list
        // holds as many materials as it announces.
        static const CMaterial kDefault;
        const CMaterial& m = it != materials.end() ? *it : kDefault;
        out.Put("\t\t\t\tMaterial {\n");
        out.Print("\t\t\t\t\t%f;%f;%f;%f;;\n", m.m_col[0] * m.m_dif, m.m_col[1] * m.m_dif, m.m_col[2] * m.m_dif, m.m_col[3]);
        out.Print("\t\t\t\t\t%f;\n", m.m_power);
        out.Print("\t\t\t\t\t%f;%f;%f;;\n", m.m_spc, m.m_spc, m.m_spc);
        out.Print("\t\t\t\t\t%f;%f;%f;;\n", m.m_col[0] * m.m_emi, m.m_col[1] * m.m_emi, m.m_col[2] * m.m_emi);
        if (!m.m_texture.empty()) {
            out.Print("\t\t\t\t\tTextureFilename {\n\t\t\t\t\t\t\"%s\";\n\t\t\t\t\t}\n", m.m_texture);
            textured = true;
        }
        out.Put("\t\t\t\t}\n");
    }
    out.Put("\t\t\t}\n\n");

    if (textured && textureCoords) {
        out.Print("\t\t\tMeshTextureCoords {\n\t\t\t\t%d;\n", vertexCount);
        if (perCorner) {
            for (const CFace* f : faces) {
                for (int c = 0; c < f->IndexCount(); ++c) {
                    if (c < f->UVCount())
                        out.Print("\t\t\t\t%f;%f;,\n", f->m_uvs[static_cast<std::size_t>(c)].m_u,
                                  f->m_uvs[static_cast<std::size_t>(c)].m_v);
                    else
                        out.Print("\t\t\t\t%f;%f;,\n", 0.0f, 0.0f);
                }
            }
        } else {
            // Each vertex takes the coordinate of the first corner that uses it.
            std::vector<CUV> uv(nv);
            std::vector<char> has(nv, 0);
            for (const CFace* f : faces)
                for (int c = 0; c < f->IndexCount() && c < f->UVCount(); ++c) {
                    const auto v = static_cast<std::size_t>(f->m_indices[static_cast<std::size_t>(c)]);
                    if (!has[v]) {
                        has[v] = 1;
                        uv[v] = f->m_uvs[static_cast<std::size_t>(c)];
                    }
                }
            for (std::size_t v = 0; v < nv; ++v) out.Print("\t\t\t\t%f;%f;,\n", uv[v].m_u, uv[v].m_v);
        }
        out.Put("\t\t\t}\n");
    }
    out.Put("\t\t}\n");
}

ExportResult WriteXFile(const CKinovela& scene, const CTimeline& t, const std::string& path, const XOptions& o)
{
    ExportResult result;
    const bool lh = o.coordinateSystem == 0;
    const bool perCorner = o.textureQuality == 1;
    const std::vector<std::string> names = ExportNames(scene, o.safeNames);
    const std::size_t count = scene.m_models.size();
    auto inRange = [count](int i) { return i >= 0 && static_cast<std::size_t>(i) < count; };
    ExportProgress progress(o.progress, scene, o.keyType == 0 || o.keyType == 1, t.m_last);

    const WriteResult w = WriteFileAtomically(path, [&](ByteSink& sink) {
        TextFile out(sink, o.snprintfNumbers);
        WriteXPreamble(out, true);

        if (o.camera) {
            const CAnimation& cam = scene.m_camera.at(0);
            const Matrix4 c = Matrix4::RotationZ(DegreesToRadians(-cam.m_rotation.m_z)) *
                              Matrix4::RotationY(DegreesToRadians(-cam.m_rotation.m_y)) *
                              Matrix4::RotationX(DegreesToRadians(-cam.m_rotation.m_x)) *
                              Matrix4::Translation(-o.scale * cam.m_position.m_x, -o.scale * cam.m_position.m_y,
                                                   -o.scale * cam.m_position.m_z);
            out.Print("Frame Root_%s {\n\tFrameTransformMatrix {\n", BaseName(path));
            WriteMatrixRows(out, c);
        }

        std::vector<bool> written(count, false);
        for (const WalkEntry& e : scene.m_hierarchyWalk) {
            if (!inRange(e.model)) continue;
            const CModel& m = scene.m_models[static_cast<std::size_t>(e.model)];
            const std::string& name = names[static_cast<std::size_t>(e.model)];
            const bool pivoted = !ZeroPivot(m);
            if (e.event == kWalkEnter) {
                if (o.keyType == 1 || !pivoted)
                    out.Print("Frame %s {\n", name);
                else
                    out.Print("Frame %sPivot {\n\tFrame %s {\n\tFrame %sPivot2 {\n\tFrame %sPivot3 {\n", name, name, name,
                              name);
                WriteXMesh(out, m, name, scene.m_materials, o.textureCoords, o.scale, perCorner, lh);
                if (o.keyType == 1 || pivoted) out.Put("\t}\n");
                written[static_cast<std::size_t>(e.model)] = true;
                progress.MeshDone(static_cast<std::size_t>(e.model));
            } else if (e.event == kWalkLeave && o.keyType != 1) {
                out.Put(pivoted ? "\t}\n\t}\n}\n" : "}\n");
            }
        }
        if (o.camera) out.Put("}\n");

        // Animations refer to frames by name: only models that got a frame
        // are animated.
        if (o.keyType == 0) {
            out.Put("\nAnimationSet {\n");
            for (std::size_t i = 0; i < count; ++i) {
                if (!written[i]) continue;
                const CModel& m = scene.m_models[i];
                if (!ZeroPivot(m)) WritePivotAnimations(out, m, names[i], o.scale, lh);
                WriteSrtAnimation(out, m, names[i], t.m_last, o.speed, o.scale, lh);
                progress.AnimationDone(i);
            }
            out.Put("}\n");
        } else if (o.keyType == 1) {
            out.Put("\nAnimationSet {\n");
            const std::vector<Matrix4> world = WalkMatrices(scene, t.m_last, o.scale, lh);
            for (std::size_t i = 0; i < count; ++i) {
                if (!written[i]) continue;
                out.Print("\n\tAnimation {\n\t\tAnimationKey {\n\t\t\t4;\n\t\t\t%d;\n", t.m_last + 1);
                for (int f = 0; f <= t.m_last; ++f) {
                    const Matrix4& k = world[static_cast<std::size_t>(f) * count + i];
                    out.Print("\t\t\t%d;16;%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f;;,\n",
                              static_cast<long long>(o.speed) * f, k.m[0][0], k.m[0][1], k.m[0][2], k.m[0][3], k.m[1][0],
                              k.m[1][1], k.m[1][2], k.m[1][3], k.m[2][0], k.m[2][1], k.m[2][2], k.m[2][3], k.m[3][0],
                              k.m[3][1], k.m[3][2], k.m[3][3]);
                }
                out.Print("\t\t}\n\t\t{ %s }\n\t}\n", names[i]);
                progress.AnimationDone(i);
            }
            out.Put("}\n");
        }
    });
    if (w.ok) progress.Finish();
    result.ok = w.ok;
    result.error = w.error;
    return result;
}

}  // namespace kinovela
