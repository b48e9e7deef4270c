#include "image/Textures.h"

#include <cstring>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Paths.h"
#include "common/TextCodec.h"

namespace kinovela {

const char* const kTextureLoadFailedMessage = "ファイルが見つからないか、この画像ファイルには対応していません！";

bool SaveTGA(const std::string& path, const DibStream& image, ImageProgress progress, void* value)
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
    bool aborted = false;
    const WriteResult w = WriteFileAtomically(path, [&](ByteSink& sink) {
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
            if (progress && !progress(static_cast<float>(done) / static_cast<float>(height), value)) {
                aborted = true;
                break;
            }
        }
    });
    return w.ok && !aborted;
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

bool LoadMaterialTexture(CMaterial& material, const TextureSearch& search, const TextureFailureFn& failed)
{
    if (material.m_texture.empty()) return true;
    auto image = std::make_shared<DibStream>();
    std::string file = FindTextureFile(material.m_texture, search.documentFolders, search.firstFolders);
    // Names are kept as Shift_JIS bytes; on Linux the file's name is UTF-8.
    if (const std::string utf8 = Cp932ToUtf8(material.m_texture); file.empty() && utf8 != material.m_texture)
        file = FindTextureFile(utf8, search.documentFolders, search.firstFolders);
    bool ok = !file.empty() && LoadImageFile(file, *image);
    if (ok && image->BitCount() != 32) ok = image->ChangeBitDepth(24);
    if (!ok) {
        if (failed) failed(material, kTextureLoadFailedMessage);
        material.m_texture.clear();
        material.m_image.reset();
        material.m_imagePath.clear();
        return false;
    }
    material.m_image = std::move(image);
    material.m_imagePath = file;
    return true;
}

void LoadSceneTextures(CKinovela& scene, const TextureSearch& search, const TextureFailureFn& failed)
{
    for (CMaterial& m : scene.m_materials)
        if (!m.m_texture.empty() && !m.m_image) LoadMaterialTexture(m, search, failed);
}

}  // namespace kinovela
