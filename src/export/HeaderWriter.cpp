#include "export/HeaderWriter.h"

namespace kinovela {

ExportResult WriteHeaderFile(const CKinovela& scene, const std::string& path, float scale, bool safeNames,
                             const ProgressFn& progressFn)
{
    ExportResult result;
    const std::vector<std::string> names = ExportNames(scene, safeNames);
    const std::size_t count = scene.m_models.size();
    ExportProgress progress(progressFn, scene, false, 0);
    const WriteResult w = WriteFileAtomically(path, [&](ByteSink& sink) {
        TextFile out(sink);
        out.Put("#include \"OpenGL.h\"\n\n");
        for (const WalkEntry& e : scene.m_hierarchyWalk) {
            if (e.event != kWalkEnter || e.model < 0 || static_cast<std::size_t>(e.model) >= count) continue;
            const CModel& m = scene.m_models[static_cast<std::size_t>(e.model)];
            const std::string& n = names[static_cast<std::size_t>(e.model)];
            out.Print("Face %sFace[%d] =\n{\n", n, m.m_faces.size());
            for (const CFace& f : m.m_faces) {
                float u[4] = {0, 0, 0, 0}, v[4] = {0, 0, 0, 0};
                for (int c = 0; c < f.UVCount(); ++c) {
                    u[c] = f.m_uvs[static_cast<std::size_t>(c)].m_u;
                    v[c] = f.m_uvs[static_cast<std::size_t>(c)].m_v;
                }
                const auto& c = f.m_indices;
                if (f.IndexCount() == 3)
                    out.Print("\t{-1,%d,%d,%d,%d,%f,%f,%f,0,%f,%f,%f,0},\n", c[0], c[1], c[2], f.m_material, u[0], u[1],
                              u[2], v[0], v[1], v[2]);
                else if (f.IndexCount() == 4)
                    out.Print("\t{%d,%d,%d,%d,%d,%f,%f,%f,%f,%f,%f,%f,%f},\n", c[0], c[1], c[2], c[3], f.m_material, u[0],
                              u[1], u[2], u[3], v[0], v[1], v[2], v[3]);
            }
            out.Put("};\n\n");
            out.Print("Vector3 %sVertex[%d] =\n{\n", n, m.m_vertices.size());
            for (const CVertex& vx : m.m_vertices) {
                const CVector p = vx.m_pos - m.m_pivot;
                out.Print("\t{%f,%f,%f},\n", p.m_x * scale, p.m_y * scale, p.m_z * scale);
            }
            out.Put("};\n\n");
            out.Print("Vector3 %sNormal[%d] =\n{\n", n, m.m_vertices.size());
            for (const CVertex& vx : m.m_vertices)
                out.Print("\t{%f,%f,%f},\n", vx.m_normal.m_x, vx.m_normal.m_y, vx.m_normal.m_z);
            out.Put("};\n\n");
            out.Print("Material %sMaterial[%d] =\n{\n", n, scene.m_materials.size());
            for (const CMaterial& mt : scene.m_materials)
                out.Print("\t{%f,%f,%f,%f,%f,%f,%f,%f,%f,0,%d,%d},\n", mt.m_col[0], mt.m_col[1], mt.m_col[2], mt.m_col[3],
                          mt.m_dif, mt.m_amb, mt.m_emi, mt.m_spc, mt.m_power, mt.m_texComponents, mt.m_texFormat);
            out.Put("};\n");
            progress.MeshDone(static_cast<std::size_t>(e.model));
        }
    });
    if (w.ok) progress.Finish();
    result.ok = w.ok;
    result.error = w.error;
    return result;
}

}  // namespace kinovela
