#include "image/Textures.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "common/UserTexts.h"

namespace kinovela {

const char* const kTextureLoadFailedMessage =
    KINOVELA_TEXT("Messages", "ファイルが見つからないか、この画像ファイルには対応していません！");
const char* const kTextureFoldersSearched = KINOVELA_TEXT("Messages", "探したフォルダ:");
const char* const kTexturesMore = KINOVELA_TEXT("Messages", "ほか %zu 個");

bool WriteTGA(ByteSink& sink, const DibStream& image, ImageProgress progress, void* value)
{
    if (image.Empty()) return false;
    std::unique_ptr<DibStream> copy = image.Clone();
    if (!copy || (copy->BitCount() < 8 && !copy->ChangeBitDepth(24))) return false;
    const int bits = copy->BitCount(), width = copy->Width(), height = copy->Height();
    if (bits == 32) {
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = copy->RowPointer(y);
            for (int x = 0; x < width; ++x) row[4 * x + 3] = static_cast<std::uint8_t>(~row[4 * x + 3]);
        }
    }
    std::uint8_t h[18] = {};
    if (bits == 8) {
        h[1] = 1;
        h[2] = 1;
        PutU16(h + 5, static_cast<std::uint32_t>(copy->ColourCount()));
        h[7] = 24;
    } else {
        h[2] = 2;
    }
    PutU16(h + 12, static_cast<std::uint32_t>(width));
    PutU16(h + 14, static_cast<std::uint32_t>(height));
    h[16] = static_cast<std::uint8_t>(bits);
    h[17] = bits == 32 ? 8 : 0;
    sink.Write(reinterpret_cast<const char*>(h), sizeof h);
    if (bits == 8) {
        const std::uint8_t* pal = copy->Palette();
        for (int i = 0; i < copy->ColourCount(); ++i) sink.Write(reinterpret_cast<const char*>(pal + 4 * i), 3);
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (bits / 8);
    for (int y = height - 1, done = 1; y >= 0; --y, ++done) {
        sink.Write(reinterpret_cast<const char*>(copy->RowPointer(y)), rowBytes);
        if (progress && !progress(static_cast<float>(done) / static_cast<float>(height), value)) return false;
    }
    return true;
}

bool SaveTGA(const std::string& path, const DibStream& image, ImageProgress progress, void* value)
{
    // A picture that cannot be converted, or an abort, leaves no file.
    bool written = false;
    PendingFile file;
    if (!file.Prepare(path, [&](ByteSink& sink) { written = WriteTGA(sink, image, progress, value); }).ok || !written)
        return false;
    return file.Commit().ok;
}

bool FillA8R8G8B8(const DibStream& image, std::span<std::uint32_t> out, std::size_t pitch)
{
    const int bits = image.BitCount();
    if (image.Empty() || (bits != 24 && bits != 32)) return false;
    const std::size_t width = static_cast<std::size_t>(image.Width());
    const std::size_t height = static_cast<std::size_t>(image.Height());
    if (pitch < width || out.size() < (height - 1) * pitch + width) return false;
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x)
            out[y * pitch + x] = image.PixelARGB(static_cast<int>(x), static_cast<int>(y));
    return true;
}

std::vector<std::string> TextureSearch::Folders() const
{
    std::vector<std::string> folders = firstFolders;
    {
        std::string program = ProgramTextureFolder();
        program.pop_back();  // listed as the other folders are, without the '/'
        folders.push_back(program);
    }
    for (const std::string& f : documentFolders) {
        folders.push_back(f);
        folders.push_back((f.empty() || f.back() == '/' ? f : f + "/") + "TEXTURE");
    }
    return folders;
}

std::string FindMaterialTexture(const CMaterial& material, const TextureSearch& search)
{
    if (material.m_texture.empty()) return {};
    std::string file = FindTextureFile(material.m_texture, search.documentFolders, search.firstFolders);
    // Names are kept as Shift_JIS bytes; on Linux the file's name is UTF-8.
    const std::string utf8 =
        material.m_textureUtf8.empty() ? Cp932ToUtf8(material.m_texture) : material.m_textureUtf8;
    if (file.empty() && utf8 != material.m_texture)
        file = FindTextureFile(Utf8NameAsPath(utf8), search.documentFolders, search.firstFolders);
    return file;
}

bool LoadMaterialTexture(CMaterial& material, const TextureSearch& search, MissingTexture* missing)
{
    if (material.m_texture.empty()) return true;
    auto image = std::make_shared<DibStream>();
    const std::string file = FindMaterialTexture(material, search);
    bool ok = !file.empty() && LoadImageFile(file, *image);
    if (ok && image->BitCount() != 32) ok = image->ChangeBitDepth(24);
    if (!ok) {
        // The name stays: losing it would lose it from every file saved
        // afterwards, and the picture may well be found on the next open.
        material.m_image.reset();
        material.m_imagePath.clear();
        if (missing) *missing = {material.m_texture, file};
        return false;
    }
    material.m_image = std::move(image);
    material.m_imagePath = file;
    return true;
}

TextureReport LoadSceneTextures(CKinovela& scene, const TextureSearch& search, std::size_t first)
{
    TextureReport report;
    std::set<std::string> reported;
    for (std::size_t i = first; i < scene.m_materials.size(); ++i) {
        CMaterial& m = scene.m_materials[i];
        if (m.m_texture.empty() || m.m_image) continue;
        MissingTexture missing;
        if (!LoadMaterialTexture(m, search, &missing) && reported.insert(missing.name).second)
            report.missing.push_back(std::move(missing));
    }
    if (!report.missing.empty()) report.folders = search.Folders();
    return report;
}

std::string MissingTexturesMessage(const TextureReport& report, std::size_t maxNames)
{
    if (report.missing.empty()) return {};
    std::string text = UserText(kTextureLoadFailedMessage) + "\n\n";
    std::size_t shown = 0;
    for (const MissingTexture& m : report.missing) {
        if (shown++ == maxNames) {
            char more[64];
            std::snprintf(more, sizeof more, UserText(kTexturesMore).c_str(), report.missing.size() - maxNames);
            text += std::string("  ") + more + "\n";
            break;
        }
        text += "  " + Cp932ToUtf8(m.name) + (m.file.empty() ? "" : " (" + m.file + ")") + "\n";
    }
    text += "\n" + UserText(kTextureFoldersSearched) + "\n";
    for (const std::string& f : report.folders) {
        std::error_code ec;
        const std::filesystem::path shownPath = std::filesystem::absolute(f, ec).lexically_normal();
        text += "  " + (ec ? f : shownPath.string()) + "\n";
    }
    text.pop_back();
    return text;
}

}  // namespace kinovela
