// Texture preparation: the TGA writer, the 32-bit pixel fill of the
// software renderer's textures, and loading the materials' texture images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "image/Decoders.h"
#include "scene/Kinovela.h"

namespace kinovela {

class ByteSink;

// Writes an uncompressed TGA, rows bottom first (colour-mapped for 8 bits,
// true colour for 16, 24 and 32; pictures below 8 bits go out as 24).
// False when the file cannot be written or the callback aborts.
bool SaveTGA(const std::string& path, const DibStream& image, ImageProgress progress = nullptr,
             void* value = nullptr);
// The same file's bytes into `sink`; false for an empty image, a failed
// conversion or an abort.
bool WriteTGA(ByteSink& sink, const DibStream& image, ImageProgress progress = nullptr, void* value = nullptr);

// Fills `out` with PixelARGB of every pixel, top row first, rows `pitch`
// values apart (at least the width). False when the image is not 24 or 32
// bits or `out` is too small.
bool FillA8R8G8B8(const DibStream& image, std::span<std::uint32_t> out, std::size_t pitch);

// What the user is told when a texture cannot be loaded, and the texts of
// the one message that lists them.
extern const char* const kTextureLoadFailedMessage;
extern const char* const kTextureFoldersSearched;  // heads the list of folders
extern const char* const kTexturesMore;            // printf format: how many more names

// Where texture files are looked for: `firstFolders` (a user's choice)
// before the program's TEXTURE folder, then each of `documentFolders` and
// its TEXTURE subfolder.
struct TextureSearch {
    std::vector<std::string> firstFolders;
    std::vector<std::string> documentFolders;

    // Every folder looked in, in the order of the search.
    std::vector<std::string> Folders() const;
};

// A texture whose picture could not be loaded.
struct MissingTexture {
    std::string name;  // the material's texture name, as stored
    std::string file;  // the file that was found but could not be decoded; empty when none was found
};

// What one open could not load: each name once, in material order, and
// where the pictures were looked for.
struct TextureReport {
    std::vector<MissingTexture> missing;
    std::vector<std::string> folders;
    bool Empty() const { return missing.empty(); }
};

// The file the material's texture name stands for: the stored Shift_JIS
// name first, then its UTF-8 spelling (the name a file has on Linux; the
// document's own spelling when Shift_JIS could not hold it). Empty when
// neither is found.
std::string FindMaterialTexture(const CMaterial& material, const TextureSearch& search);

// Decodes the material's texture into m_image (converted to 24 bits unless
// it has 32) and remembers the file in m_imagePath. When the picture cannot
// be loaded the material keeps its texture name and has no image: it is
// drawn untextured, saved and exported with the name, and loaded again on
// the next open; `missing` (when given) says what was tried. Nothing happens
// for a material without a texture name.
bool LoadMaterialTexture(CMaterial& material, const TextureSearch& search, MissingTexture* missing = nullptr);

// LoadMaterialTexture for every textured material from index `first` on
// that has no image yet.
TextureReport LoadSceneTextures(CKinovela& scene, const TextureSearch& search, std::size_t first = 0);

// The one message about a report, in UTF-8: kTextureLoadFailedMessage, the
// names (a file that was found but not decoded in brackets after its name),
// at most `maxNames` of them and then how many more, and the folders
// searched. Empty for a report without missing textures.
std::string MissingTexturesMessage(const TextureReport& report, std::size_t maxNames = SIZE_MAX);

}  // namespace kinovela
