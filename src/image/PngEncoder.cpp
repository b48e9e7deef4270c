// libpng reports errors by longjmp: the function that calls setjmp holds no
// object with a destructor of its own; the output string and the row table
// belong to its caller.
#include "image/PngEncoder.h"

#include <csetjmp>
#include <memory>
#include <vector>

#include <png.h>

#include "image/PngOutput.h"

namespace kinovela {

namespace {

using namespace png_output;

// Rows are handed over top first, as blue-green-red(-alpha) pixels that
// libpng swaps to the file's order.
bool WriteRows(const DibStream& image, const std::vector<const std::uint8_t*>& rows, std::string& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Error, Warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, &out, AppendToString, NoFlush);
    const bool alpha = image.BitCount() == 32;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width()), static_cast<png_uint_32>(image.Height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool EncodePNG(const DibStream& image, std::string& out, std::string& error)
{
    out.clear();
    if (image.Empty()) {
        error = "the picture is empty";
        return false;
    }
    const DibStream* source = &image;
    std::unique_ptr<DibStream> converted;
    if (image.BitCount() != 24 && image.BitCount() != 32) {
        converted = image.Clone();
        if (!converted || !converted->ChangeBitDepth(24)) {
            error = "the picture cannot be converted to 24 bits";
            return false;
        }
        source = converted.get();
    }
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(source->Height()));
    for (int y = 0; y < source->Height(); ++y) rows[static_cast<std::size_t>(y)] = source->RowPointer(y);
    if (!WriteRows(*source, rows, out)) {
        out.clear();
        error = "libpng could not encode the picture";
        return false;
    }
    return true;
}

}  // namespace kinovela
