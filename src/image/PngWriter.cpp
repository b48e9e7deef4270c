// libpng reports errors by longjmp: the function that calls setjmp holds no
// object with a destructor; its buffers belong to the caller.
#include "image/PngWriter.h"

#include <csetjmp>
#include <vector>

#include <png.h>

#include "image/PngOutput.h"

namespace kinovela {

namespace {

using namespace png_output;

bool EncodeRows(png_structp png, png_infop info, int width, int height, const std::uint32_t* pixels,
                std::uint8_t* row)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Rendered frames come in runs: a fast level and the one "up" filter
    // (instead of trying all five on every row) take the encoding from most
    // of a frame's cost to a fraction of it, for a few percent more bytes.
    png_set_compression_level(png, 3);
    png_set_filter(png, 0, PNG_FILTER_UP);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* src = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = src[x];
            row[3 * x] = static_cast<std::uint8_t>(c >> 16);
            row[3 * x + 1] = static_cast<std::uint8_t>(c >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(c);
        }
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool EncodePng(int width, int height, const std::uint32_t* pixels, std::string& out)
{
    if (width <= 0 || height <= 0 || !pixels) return false;
    out.clear();
    std::vector<std::uint8_t> row;
    try {
        row.resize(static_cast<std::size_t>(width) * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Error, Warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_set_write_fn(png, &out, AppendToString, NoFlush);
    const bool ok = EncodeRows(png, info, width, height, pixels, row.data());
    png_destroy_write_struct(&png, &info);
    return ok;
}

WriteResult WritePng(const std::string& path, int width, int height, const std::uint32_t* pixels)
{
    std::string bytes;
    if (!EncodePng(width, height, pixels, bytes)) return WriteResult{false, path + ": the picture could not be encoded"};
    return WriteFileAtomically(path, bytes);
}

}  // namespace kinovela
