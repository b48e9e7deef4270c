// Decodes one picture with LoadImageFile and writes it out as plain RGBA, so
// that a script can compare it with another program's decode:
//
//     image_dump FILE OUT.rgba
//
// OUT.rgba holds the text line "W H BITS\n" and then W*H*4 bytes, red, green,
// blue, alpha, top row first. Palette pictures go through their palette,
// 16-bit 5-5-5 words become value*8, 24-bit pixels get alpha 255 and 32-bit
// pixels keep the alpha they hold. Exit 1 when the picture cannot be read,
// 2 on a usage or output error.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/Decoders.h"
#include "image/DibStream.h"

using kinovela::DibStream;

namespace {

void PutPaletteEntry(const DibStream& image, unsigned index, std::uint8_t* out)
{
    const std::uint8_t* e = image.Palette() + 4 * index;
    out[0] = e[2];
    out[1] = e[1];
    out[2] = e[0];
    out[3] = 255;
}

bool ConvertRow(const DibStream& image, int y, std::uint8_t* out)
{
    const std::uint8_t* row = image.RowPointer(y);
    if (!row) return false;
    const int width = image.Width();
    for (int x = 0; x < width; ++x, out += 4) {
        switch (image.BitCount()) {
        case 1: PutPaletteEntry(image, (row[x >> 3] >> (7 - (x & 7))) & 1u, out); break;
        case 4: PutPaletteEntry(image, (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4u, out); break;
        case 8: PutPaletteEntry(image, row[x], out); break;
        case 16: {
            const unsigned w = kinovela::GetU16(row + 2 * x);
            out[0] = static_cast<std::uint8_t>(((w >> 10) & 0x1F) * 8);
            out[1] = static_cast<std::uint8_t>(((w >> 5) & 0x1F) * 8);
            out[2] = static_cast<std::uint8_t>((w & 0x1F) * 8);
            out[3] = 255;
            break;
        }
        case 24:
            out[0] = row[3 * x + 2];
            out[1] = row[3 * x + 1];
            out[2] = row[3 * x];
            out[3] = 255;
            break;
        case 32:
            out[0] = row[4 * x + 2];
            out[1] = row[4 * x + 1];
            out[2] = row[4 * x];
            out[3] = row[4 * x + 3];
            break;
        default: return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: image_dump FILE OUT.rgba\n");
        return 2;
    }
    DibStream image;
    if (!kinovela::LoadImageFile(argv[1], image) || image.Empty()) {
        std::fprintf(stderr, "image_dump: cannot read %s\n", argv[1]);
        return 1;
    }
    const int width = image.Width(), height = image.Height();
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        if (!ConvertRow(image, y, rgba.data() + static_cast<std::size_t>(y) * width * 4)) {
            std::fprintf(stderr, "image_dump: unexpected layout (%d bits) in %s\n", image.BitCount(), argv[1]);
            return 1;
        }
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::fprintf(stderr, "image_dump: cannot write %s\n", argv[2]);
        return 2;
    }
    const std::string head = std::to_string(width) + " " + std::to_string(height) + " " +
                             std::to_string(image.BitCount()) + "\n";
    const bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size() &&
                    std::fwrite(rgba.data(), 1, rgba.size(), out) == rgba.size();
    if (std::fclose(out) != 0 || !ok) {
        std::fprintf(stderr, "image_dump: cannot write %s\n", argv[2]);
        return 2;
    }
    return 0;
}
