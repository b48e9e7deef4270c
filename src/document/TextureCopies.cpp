#include "document/TextureCopies.h"

#include <set>

#include "common/Paths.h"
#include "common/TextCodec.h"
#include "document/DocumentMessages.h"
#include "export/ExportFiles.h"
#include "image/Textures.h"

namespace kinovela {

namespace {

std::string WithSlash(std::string folder)
{
    if (folder.empty()) return "./";
    if (folder.back() != '/') folder.push_back('/');
    return folder;
}

}  // namespace

std::vector<TextureCopy> TexturesLeftBehind(const CKinovela& scene, const std::string& folder,
                                            const std::vector<std::string>& firstFolders)
{
    std::vector<TextureCopy> copies;
    std::set<std::string> seen;
    for (const CMaterial& m : scene.m_materials) {
        if (m.m_texture.empty() || m.m_imagePath.empty() || !seen.insert(m.m_texture).second) continue;
        if (FileNameInside(m.m_texture) != NameAsPath(m.m_texture)) continue;
        // Looked for as the moved scene will: by the stored name alone (a
        // document's UTF-8 spelling is not stored).
        CMaterial stored;
        stored.m_texture = m.m_texture;
        if (FindMaterialTexture(stored, TextureSearch{firstFolders, {folder.empty() ? "." : folder}}).empty())
            copies.push_back({m.m_texture, m.m_imagePath});
    }
    return copies;
}

std::string CopyTexturesQuestion(const std::vector<TextureCopy>& copies, const std::string& folder)
{
    std::string text = UserText(msg::kTexturesLeftBehind) + "\n\n";
    for (const TextureCopy& c : copies) text += "  " + Cp932ToUtf8(c.name) + "\n";
    return text + "\n" + UserText(msg::kCopyTexturesInto) + "\n  " + WithSlash(folder) + "TEXTURE";
}

std::string CopyTexturesInto(const std::vector<TextureCopy>& copies, const std::string& folder)
{
    ExportFiles files(WithSlash(folder));
    ExportResult result;
    bool refused = false;
    for (const TextureCopy& c : copies)
        // Under the name's UTF-8 spelling, as a Linux user reads it; the
        // reopened scene finds it by that spelling.
        if (!files.AddCopy("TEXTURE/" + FileNameInside(Utf8NameAsPath(Cp932ToUtf8(c.name))), c.source, result)) {
            refused = true;
            break;
        }
    if (!refused) files.Commit(result);
    std::vector<std::string> problems = result.warnings;
    if (!result.error.empty()) problems.push_back(result.error);
    if (problems.empty()) return {};
    std::string text = UserText(msg::kTextureCopyProblems);
    for (const std::string& p : problems) text += "\n  " + p;
    return text;
}

}  // namespace kinovela
