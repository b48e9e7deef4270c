#include "export/Kino3DWriter.h"

#include <set>

#include "common/Paths.h"
#include "common/TextCodec.h"
#include "export/ExportFiles.h"
#include "export/XWriter.h"

namespace kinovela {

namespace {

// File names are at most 255 bytes; the stem keeps room for a suffix and
// ".x".
constexpr std::size_t kMaxStem = 240;

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The name as one file name of its own: folder separators (not the second
// byte of a double-byte character) and control characters become '_', a
// name of dots only gets a leading '_', and a long name is cut at a
// character boundary.
std::string Stem(const std::string& name)
{
    std::string s;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t width = IsLead(c) && i + 1 < name.size() ? 2 : 1;
        if (s.size() + width > kMaxStem) break;
        if (width == 2) {
            s.append(name, i, 2);
            ++i;
        } else {
            s.push_back(c == '/' || c == '\\' || c < 0x20 || c == 0x7F ? '_' : static_cast<char>(c));
        }
    }
    if (s.find_first_not_of('.') == std::string::npos) s.insert(s.begin(), '_');
    return s;
}

// File systems that ignore the case of ASCII letters would take "Arm.x"
// and "arm.x" for one file: names are kept apart without regard to it.
std::string Folded(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

void AddTextureCopies(const CKinovela& scene, ExportFiles& files, ExportResult& result, bool& refused)
{
    std::set<std::string> done;
    for (const CMaterial& m : scene.m_materials) {
        if (m.m_texture.empty() || !done.insert(m.m_texture).second) continue;
        const CMaterial* loaded = nullptr;
        for (const CMaterial& other : scene.m_materials)
            if (other.m_texture == m.m_texture && !other.m_imagePath.empty()) {
                loaded = &other;
                break;
            }
        if (!loaded) {
            result.warnings.push_back("texture \"" + Cp932ToUtf8(m.m_texture) + "\" was not loaded; not copied");
            continue;
        }
        if (!files.AddCopy(FileNameInside(m.m_texture), loaded->m_imagePath, result)) {
            refused = true;
            return;
        }
    }
}

}  // namespace

std::vector<std::string> Kino3DFileNames(const std::vector<std::string>& names)
{
    std::vector<std::string> files(names.size());
    std::set<std::string> taken;
    // A name that is already a file name of its own keeps it, the first
    // time it occurs; the others follow in model order.
    for (std::size_t i = 0; i < names.size(); ++i)
        if (Stem(names[i]) == names[i] && taken.insert(Folded(names[i])).second) files[i] = names[i] + ".x";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!files[i].empty()) continue;
        const std::string stem = Stem(names[i]);
        std::string name = stem;
        for (int n = 2; !taken.insert(Folded(name)).second; ++n) name = stem + "_" + std::to_string(n);
        files[i] = name + ".x";
    }
    return files;
}

ExportResult WriteKino3DPackage(const CKinovela& scene, const CTimeline& t, const std::string& path,
                                const Kino3DOptions& o)
{
    ExportResult result;
    const std::string folder = FolderOf(path);
    const std::vector<std::string> names = ExportNames(scene, o.safeNames);
    const std::size_t count = scene.m_models.size();
    // Model files are named after models, one file each, inside the list's
    // folder; the list names the files written.
    const std::vector<std::string> files = Kino3DFileNames(names);

    TextureSearch search;
    search.firstFolders = o.textureFirstFolders;
    search.documentFolders = o.textureFolders;
    ExportFiles out(folder, TextureSources(scene, search));

    // The list holds every model's matrices (its animation), the model
    // files their meshes. Nothing is put in place before all are written;
    // the texture copies come last, so that a texture cannot take a model
    // file's name.
    ExportProgress progress(o.progress, scene, true, t.m_last);
    const std::vector<Matrix4> world = WalkMatrices(scene, t.m_last, o.scale, true);
    for (std::size_t i = 0; i < count; ++i) {
        const CModel& m = scene.m_models[i];
        if (!out.AddSide(files[i], [&](ByteSink& sink) {
                TextFile x(sink);
                WriteXPreamble(x, false);
                x.Print("Frame %s {\n", names[i]);
                WriteXMesh(x, m, names[i], scene.m_materials, o.textureCoords, o.scale, o.textureQuality == 1, true);
                x.Put("\t}\n");
            }, result, true))
            return result;
        progress.MeshDone(i);
    }
    if (!out.AddMain(path, [&](ByteSink& sink) {
            TextFile list(sink);
            list.Print("%d\n%d\n", count, t.m_last + 1);
            for (std::size_t i = 0; i < count; ++i) {
                list.Print("%s\n", files[i]);
                for (int f = 0; f <= t.m_last; ++f) {
                    const Matrix4& k = world[static_cast<std::size_t>(f) * count + i];
                    list.Print("%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f,%f\n", k.m[0][0], k.m[0][1], k.m[0][2],
                               k.m[0][3], k.m[1][0], k.m[1][1], k.m[1][2], k.m[1][3], k.m[2][0], k.m[2][1], k.m[2][2],
                               k.m[2][3], k.m[3][0], k.m[3][1], k.m[3][2], k.m[3][3]);
                }
                progress.AnimationDone(i);
            }
        }, result))
        return result;
    bool refused = false;
    AddTextureCopies(scene, out, result, refused);
    if (refused) return result;
    if (!out.Commit(result)) return result;
    progress.Finish();
    result.ok = true;
    return result;
}

}  // namespace kinovela
