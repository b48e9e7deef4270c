// Texture preparation: the TGA writer, the 32-bit pixel fill of the
// software renderer's textures, and loading the materials' texture images.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "image/Decoders.h"
#include "scene/Kinovela.h"

namespace kinovela {

// Writes an uncompressed TGA, rows bottom first (colour-mapped for 8 bits,
// true colour for 16, 24 and 32; pictures below 8 bits go out as 24).
// False when the file cannot be written or the callback aborts.
bool SaveTGA(const std::string& path, const DibStream& image, ImageProgress progress = nullptr,
             void* value = nullptr);

// Fills `out` with PixelARGB of every pixel, top row first, rows `pitch`
// values apart (at least the width). False when the image is not 24 or 32
// bits or `out` is too small.
bool FillA8R8G8B8(const DibStream& image, std::span<std::uint32_t> out, std::size_t pitch);

// What the user is told when a texture cannot be loaded.
extern const char* const kTextureLoadFailedMessage;

// Where texture files are looked for: `firstFolders` (a user's choice)
// before the program's TEXTURE folder, then each of `documentFolders` and
// its TEXTURE subfolder.
struct TextureSearch {
    std::vector<std::string> firstFolders;
    std::vector<std::string> documentFolders;
};

// Called for each texture that cannot be loaded, with the material (its
// texture name still set) and the message to show.
using TextureFailureFn = std::function<void(const CMaterial& material, const std::string& message)>;

// Decodes the material's texture into m_image, converted to 24 bits unless
// it has 32. On failure reports the message and clears the texture name.
// Nothing happens for a material without a texture name.
bool LoadMaterialTexture(CMaterial& material, const TextureSearch& search, const TextureFailureFn& failed);

// LoadMaterialTexture for every textured material that has no image yet.
void LoadSceneTextures(CKinovela& scene, const TextureSearch& search, const TextureFailureFn& failed);

}  // namespace kinovela
