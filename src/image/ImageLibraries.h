// The PNG and JPEG readers, libpng and libjpeg-turbo, behind two small call
// shapes: the PNG reader hands back a finished header block and pixel
// block; the JPEG reader asks its caller for the picture once, then for
// each row's memory.
#pragma once

#include <cstdio>

#include "image/DibStream.h"

namespace kinovela {

// Returns false to abort.
using LibraryProgress = bool (*)(float fraction, void* context);

// On success (non-zero) the blocks hold a top-down picture: 8 bits with a
// palette (palette and grey pictures), 24 bits, or 32 bits where the file
// has transparency.
int LoadPNG(std::FILE* file, ImageBlock* header, ImageBlock* pixels, LibraryProgress progress, void* context);

struct JpegPicture {
    int width;
    int height;
    int bitCount;      // 8 (grey) or 24
    int paletteCount;  // entries at `palette` (256 for grey)
    const std::uint8_t* palette;  // 4-byte entries: blue, green, red, 0
};
using JpegCreate = bool (*)(const JpegPicture& picture, void* context);
// Row y counted from the top; null aborts.
using JpegRow = std::uint8_t* (*)(int y, void* context);

int LoadJPG(std::FILE* file, JpegCreate create, JpegRow row, void* context);

}  // namespace kinovela
