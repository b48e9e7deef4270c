// PNG pictures written through libpng: the rendered frames of kinovela-cli.
#pragma once

#include <cstdint>
#include <string>

#include "common/AtomicFile.h"

namespace kinovela {

// Encodes 0xAARRGGBB pixels, top row first, as an 8-bit RGB PNG (the alpha
// byte is dropped: the pictures are opaque). False when libpng fails or
// memory runs out.
bool EncodePng(int width, int height, const std::uint32_t* pixels, std::string& out);

// EncodePng written atomically to `path`.
WriteResult WritePng(const std::string& path, int width, int height, const std::uint32_t* pixels);

}  // namespace kinovela
