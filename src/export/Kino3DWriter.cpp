#include "export/Kino3DWriter.h"

#include <sys/stat.h>

#include <filesystem>

#include "common/Paths.h"
#include "export/XWriter.h"

namespace kinovela {

namespace {

void CopyTextures(const CKinovela& scene, const std::string& folder, const Kino3DOptions& o, ExportResult& result)
{
    for (const CMaterial& m : scene.m_materials) {
        if (m.m_texture.empty()) continue;
        const std::string source = FindTextureFile(m.m_texture, o.textureFolders, o.textureFirstFolders);
        if (source.empty()) {
            result.warnings.push_back("texture not found, not copied: " + m.m_texture);
            continue;
        }
        const std::string target = folder + FileNameInside(m.m_texture);
        std::error_code ec;
        if (std::filesystem::exists(target, ec)) continue;  // an existing file is never replaced
        std::filesystem::copy_file(source, target, ec);
        if (ec) result.warnings.push_back("cannot copy texture " + m.m_texture + ": " + ec.message());
    }
}

}  // namespace

ExportResult WriteKino3DPackage(const CKinovela& scene, const CTimeline& t, const std::string& path,
                                const Kino3DOptions& o)
{
    ExportResult result;
    const std::string folder = FolderOf(path);
    const std::vector<std::string> names = ExportNames(scene, o.safeNames);
    const std::size_t count = scene.m_models.size();
    // Model files are named after models; whatever a name holds, they stay
    // in the list's folder, and the list names the file that was written.
    std::vector<std::string> files;
    for (const std::string& n : names) files.push_back(FileNameInside(n + ".x"));

    CopyTextures(scene, folder, o, result);

    // The list holds every model's matrices (its animation), the model
    // files their meshes.
    ExportProgress progress(o.progress, scene, true, t.m_last);
    const std::vector<Matrix4> world = WalkMatrices(scene, t.m_last, o.scale, true);
    WriteResult w = WriteFileAtomically(path, [&](ByteSink& sink) {
        TextFile out(sink);
        out.Print("%d\n%d\n", count, t.m_last + 1);
        for (std::size_t i = 0; i < count; ++i) {
            out.Print("%s\n", files[i]);
            for (int f = 0; f <= t.m_last; ++f) {
                const Matrix4& k = world[static_cast<std::size_t>(f) * count + i];
                out.Print("%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f\n", k.m[0][0], k.m[0][1], k.m[0][2],
                          k.m[0][3], k.m[1][0], k.m[1][1], k.m[1][2], k.m[1][3], k.m[2][0], k.m[2][1], k.m[2][2],
                          k.m[2][3], k.m[3][0], k.m[3][1], k.m[3][2], k.m[3][3]);
            }
            progress.AnimationDone(i);
        }
    });
    if (!w.ok) {
        result.error = w.error;
        return result;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const CModel& m = scene.m_models[i];
        w = WriteFileAtomically(folder + files[i], [&](ByteSink& sink) {
            TextFile out(sink);
            WriteXPreamble(out, false);
            out.Print("Frame %s {\n", names[i]);
            WriteXMesh(out, m, names[i], scene.m_materials, o.textureCoords, o.scale, o.textureQuality == 1, true);
            out.Put("\t}\n");
        });
        if (!w.ok) {
            result.error = w.error;
            return result;
        }
        progress.MeshDone(i);
    }
    progress.Finish();
    result.ok = true;
    return result;
}

}  // namespace kinovela
