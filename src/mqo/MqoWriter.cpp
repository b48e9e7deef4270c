#include "mqo/MqoWriter.h"

namespace kinovela {

namespace {

void WriteMQOMesh(TextFile& out, const CModel& model, bool writeUV, float s)
{
    out.Print("\tvertex %d {\n", model.m_vertices.size());
    for (const CVertex& v : model.m_vertices) {
        const CVector p = v.m_pos - model.m_pivot;
        out.Print("\t\t%f %f %f\n", s * p.m_x, s * p.m_y, s * p.m_z);
    }
    out.Put("\t}\n");
    out.Print("\tface %d {\n", model.m_faces.size());
    for (const CFace& f : model.m_faces) {
        const auto& c = f.m_indices;
        const auto& uv = f.m_uvs;
        if (f.IndexCount() == 3) {
            out.Print("\t\t3 V(%d %d %d) M(%d)", c[0], c[1], c[2], f.m_material);
            if (writeUV && f.UVCount() > 2)
                out.Print(" UV(%f %f %f %f %f %f)", uv[0].m_u, uv[0].m_v, uv[1].m_u, uv[1].m_v, uv[2].m_u, uv[2].m_v);
            out.Put("\n");
        } else if (f.IndexCount() == 4) {
            out.Print("\t\t4 V(%d %d %d %d) M(%d)", c[0], c[1], c[2], c[3], f.m_material);
            if (writeUV && f.UVCount() > 3)
                out.Print(" UV(%f %f %f %f %f %f %f %f)", uv[0].m_u, uv[0].m_v, uv[1].m_u, uv[1].m_v, uv[2].m_u,
                          uv[2].m_v, uv[3].m_u, uv[3].m_v);
            out.Put("\n");
        }
    }
    out.Put("\t}\n");
}

}  // namespace

ExportResult WriteMQS(const CKinovela& scene, const CTimeline& t, const std::string& path, bool writeUV, float scale,
                      const ProgressFn& progressFn)
{
    ExportResult result;
    const std::size_t count = scene.m_models.size();
    ExportProgress progress(progressFn, scene, true, t.m_last);
    const std::vector<Matrix4> world = WalkMatrices(scene, t.m_last, scale, true);
    const WriteResult w = WriteFileAtomically(path, [&](ByteSink& sink) {
        TextFile out(sink);
        out.Put("Metasequoia Document\nFormat Text Ver 1.0\n\n");
        out.Put("Scene {\n\tpos 0.0000 0.0000 1500.0000\n\tlookat 0.0000 0.0000 0.0000\n\thead -0.5236\n"
                "\tpich 0.5236\n\tortho 0\n\tzoom2 5.0000\n\tamb 0.250 0.250 0.250\n}\n");
        out.Print("Material %d {\n", scene.m_materials.size());
        for (const CMaterial& m : scene.m_materials) {
            out.Print("\t\"%s\" shader(3) col(%f %f %f %f) dif(%f) amb(%f) emi(%f) spc(%f) power(%f)", m.m_name,
                      m.m_col[0], m.m_col[1], m.m_col[2], m.m_col[3], m.m_dif, m.m_amb, m.m_emi, m.m_spc, m.m_power);
            if (!m.m_texture.empty()) out.Print(" tex(\"%s\")", m.m_texture);
            out.Put("\n");
        }
        out.Put("}\n");
        for (std::size_t i = 0; i < count; ++i) {
            const CModel& m = scene.m_models[i];
            out.Print("Object \"%s\" {\n", m.m_name);
            out.Put("\tvisible 15\n\tlocking 1\n\tshading 1\n\tfacet 59.5\n\tcolor 0.898 0.498 0.698\n\tcolor_type 0\n");
            WriteMQOMesh(out, m, writeUV, scale);
            progress.MeshDone(i);
            out.Print("\tanimation %d {\n", t.m_last + 1);
            for (int f = 0; f <= t.m_last; ++f) {
                const Matrix4& k = world[static_cast<std::size_t>(f) * count + i];
                out.Print("\t\t%f %f %f %f %f %f %f %f %f %f %f %f %f %f %f %f\n", k.m[0][0], k.m[0][1], k.m[0][2],
                          k.m[0][3], k.m[1][0], k.m[1][1], k.m[1][2], k.m[1][3], k.m[2][0], k.m[2][1], k.m[2][2],
                          k.m[2][3], k.m[3][0], k.m[3][1], k.m[3][2], k.m[3][3]);
            }
            out.Put("\t}\n}\n");
            progress.AnimationDone(i);
        }
        out.Put("Eof\n");
    });
    if (w.ok) progress.Finish();
    result.ok = w.ok;
    result.error = w.error;
    return result;
}

}  // namespace kinovela
