#include "cli/SceneFiles.h"

#include "common/TextCodec.h"
#include "image/Textures.h"
#include "mqo/LoaderMQO.h"
#include "scene/NativeFile.h"

namespace kinovela::cli {

bool HasExtension(std::string_view path, std::string_view ext)
{
    if (path.size() < ext.size()) return false;
    const std::string_view tail = path.substr(path.size() - ext.size());
    for (std::size_t i = 0; i < ext.size(); ++i) {
        char a = tail[i], b = ext[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
        if (a != b) return false;
    }
    return true;
}

namespace {

void LoadTextures(const std::string& path, CKinovela& scene, const std::vector<std::string>& folders,
                  LoadOutcome& out)
{
    TextureSearch search;
    search.firstFolders = folders;
    const std::size_t slash = path.find_last_of('/');
    search.documentFolders.push_back(slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash));
    const std::string missing = MissingTexturesMessage(LoadSceneTextures(scene, search));
    if (!missing.empty()) out.warnings.push_back(missing);
}

}  // namespace

LoadOutcome LoadSceneFile(const std::string& path, CKinovela& scene, CTimeline& t, const ProgressFn& progress,
                          const std::vector<std::string>& textureFolders)
{
    LoadOutcome out;
    if (HasExtension(path, ".kvl")) {
        out.format = "kvl";
        const NativeReadResult r = ReadNativeFile(path, scene, t, progress);
        out.ok = r.ok;
        out.versionText = r.versionText;
        if (!r.ok)
            out.error = r.ioError ? r.detail : path + ": offset " + std::to_string(r.offset) + ": " + Cp932ToUtf8(r.detail);
        else
            LoadTextures(path, scene, textureFolders, out);
        return out;
    }
    if (HasExtension(path, ".mqo")) {
        out.format = "mqo";
        const MqoImportResult r = LoadMQO(scene, t, path, kNoModel, progress);
        out.ok = r.ok;
        out.error = r.message;
        out.versionText = r.formatVersion;
        out.codePage = r.codePage;
        for (const std::string& w : r.warnings) out.warnings.push_back(Cp932ToUtf8(w));
        LoadTextures(path, scene, textureFolders, out);
        return out;
    }
    out.error = path + ": unsupported file type (expected .mqo or .kvl)";
    return out;
}

}  // namespace kinovela::cli
