// PNG files made from decoded pictures, in memory: what a writer embeds or
// puts beside its output when the picture's own file cannot be used as it is.
#pragma once

#include <string>

#include "image/DibStream.h"

namespace kinovela {

// Encodes `image` as an 8-bit-per-channel PNG, top row first: RGB for
// pictures without alpha, RGBA for 32-bit ones (other depths are converted
// to 24 bits first). False, with a reason in `error`, when the picture is
// empty or libpng fails.
bool EncodePNG(const DibStream& image, std::string& out, std::string& error);

}  // namespace kinovela
