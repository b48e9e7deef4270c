// Both libraries report errors by longjmp. The functions that call setjmp
// therefore hold no object with a destructor of their own: what they build
// lives in the caller's blocks, which the error path empties.
#include "image/ImageLibraries.h"

#include <csetjmp>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include "image/Decoders.h"

namespace kinovela {

// ---------------------------------------------------------------- PNG

namespace {

constexpr png_alloc_size_t kPngChunkLimit = 1u << 20;
constexpr png_uint_32 kPngChunkCacheLimit = 32;

[[noreturn]] void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

struct PngLayout {
    int bits = 0;
    bool greyPalette = false;
};

// Chooses the output layout and asks libpng for the matching transforms.
PngLayout SetUpPngTransforms(png_structp png, png_infop info)
{
    const int depth = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    PngLayout layout;
    if (depth == 16) png_set_scale_16(png);
    switch (type) {
    case PNG_COLOR_TYPE_PALETTE:
        if (trns) {
            png_set_palette_to_rgb(png);
            png_set_tRNS_to_alpha(png);
            layout.bits = 32;
        } else {
            png_set_packing(png);
            layout.bits = 8;
        }
        break;
    case PNG_COLOR_TYPE_GRAY:
        if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        if (trns) {
            png_set_tRNS_to_alpha(png);
            png_set_gray_to_rgb(png);
            layout.bits = 32;
        } else {
            layout.bits = 8;
            layout.greyPalette = true;
        }
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(png);
        layout.bits = 32;
        break;
    case PNG_COLOR_TYPE_RGB:
        if (trns) png_set_tRNS_to_alpha(png);
        layout.bits = trns ? 32 : 24;
        break;
    default:  // RGB with alpha
        layout.bits = 32;
        break;
    }
    if (layout.bits >= 24) png_set_bgr(png);
    return layout;
}

bool FillPngHeader(png_structp png, png_infop info, const PngLayout& layout, ImageBlock* header, ImageBlock* pixels)
{
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const std::size_t stride = DibStride(width, layout.bits);
    if (stride == 0 || png_get_rowbytes(png, info) > stride) return false;
    const int entries = layout.bits == 8 ? 256 : 0;
    *header = ImageBlock::Allocate(kInfoHeaderSize + 4 * static_cast<std::size_t>(entries));
    *pixels = ImageBlock::Allocate(stride * height);
    if (!*header || !*pixels) return false;
    std::uint8_t* h = header->data();
    PutU32(h, kInfoHeaderSize);
    PutU32(h + 4, width);
    PutU32(h + 8, static_cast<std::uint32_t>(-static_cast<std::int32_t>(height)));  // rows top first
    PutU16(h + 12, 1);
    PutU16(h + 14, static_cast<std::uint32_t>(layout.bits));
    PutU32(h + 20, static_cast<std::uint32_t>(stride * height));
    PutU32(h + 32, static_cast<std::uint32_t>(entries));
    std::uint8_t* pal = h + kInfoHeaderSize;
    if (layout.greyPalette) {
        for (int i = 0; i < 256; ++i) std::memset(pal + 4 * i, i, 3);
    } else if (entries != 0) {
        png_colorp colours = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &colours, &count) == 0) return false;
        for (int i = 0; i < count && i < 256; ++i) {
            pal[4 * i] = colours[i].blue;
            pal[4 * i + 1] = colours[i].green;
            pal[4 * i + 2] = colours[i].red;
        }
    }
    return true;
}

}  // namespace

int LoadPNG(std::FILE* file, ImageBlock* header, ImageBlock* pixels, LibraryProgress progress, void* context)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) return 0;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        *header = ImageBlock();
        *pixels = ImageBlock();
        return 0;
    }
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    // A chunk's length only makes libpng warn when it passes the limit, and
    // a text, palette-suggestion, profile or Exif chunk is then allocated
    // (and cleared) whole: a hundred-byte file could ask for 2 GiB. None of
    // them is used here, so every ancillary chunk but tRNS is stepped over
    // unread, a kilobyte at a time. The limits bound what remains (the
    // inflated size of compressed chunks, stored chunks).
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_chunk_malloc_max(png, kPngChunkLimit);
    png_set_chunk_cache_max(png, kPngChunkCacheLimit);
    png_init_io(png, file);
    png_read_info(png, info);
    if (!ImageSizeAllowed(png_get_image_width(png, info), png_get_image_height(png, info))) png_longjmp(png, 1);
    const PngLayout layout = SetUpPngTransforms(png, info);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (!FillPngHeader(png, info, layout, header, pixels)) png_longjmp(png, 1);

    const png_uint_32 height = png_get_image_height(png, info);
    const std::size_t stride = DibStride(png_get_image_width(png, info), layout.bits);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, pixels->data() + y * stride, nullptr);
            const float done = (static_cast<float>(pass) * height + y + 1) / (static_cast<float>(passes) * height);
            if (progress && !progress(done, context)) png_longjmp(png, 1);
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return 1;
}

// ---------------------------------------------------------------- JPEG

namespace {

struct JpegErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1); }

// A file that ends early is a failure here rather than a picture padded
// with grey, which is what the library would otherwise make of it.
void JpegMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) JpegFail(cinfo);
}

void JpegSilent(j_common_ptr) {}

// Progressive files can hold any number of scans, each a pass over the
// whole picture; a real one has a handful.
void JpegScanLimit(j_common_ptr cinfo)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->is_decompressor && d->input_scan_number > 200) JpegFail(cinfo);
}

}  // namespace

int LoadJPG(std::FILE* file, JpegCreate create, JpegRow row, void* context)
{
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_progress_mgr limit;
    cinfo.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = JpegFail;
    errors.mgr.emit_message = JpegMessage;
    errors.mgr.output_message = JpegSilent;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return 0;
    }
    jpeg_create_decompress(&cinfo);
    limit.progress_monitor = JpegScanLimit;
    cinfo.progress = &limit;
    // Beyond this the library fails (there is no backing store) instead of
    // holding a huge progressive picture in memory.
    cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    if (!ImageSizeAllowed(cinfo.image_width, cinfo.image_height)) JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    if (!grey && cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_RGB)
        JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));  // CMYK and YCCK pictures are not read
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);

    std::uint8_t palette[256 * 4] = {};
    for (int i = 0; i < 256; ++i) std::memset(palette + 4 * i, i, 3);
    const JpegPicture picture{static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                              grey ? 8 : 24, grey ? 256 : 0, palette};
    if (!create(picture, context)) JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW target = row(static_cast<int>(cinfo.output_scanline), context);
        if (!target) JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
        jpeg_read_scanlines(&cinfo, &target, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 1;
}

// ---------------------------------------------------------------- the decoders on top

namespace {

struct ProgressAdapter {
    ImageProgress progress;
    void* value;
};

bool AdaptProgress(float fraction, void* context)
{
    const auto* a = static_cast<const ProgressAdapter*>(context);
    return !a->progress || a->progress(fraction, a->value);
}

struct JpegTarget {
    DibStream* image;
    int height;
    ImageProgress progress;
    void* value;
};

bool JpegCreateImage(const JpegPicture& p, void* context)
{
    auto* t = static_cast<JpegTarget*>(context);
    if (!t->image->Create(p.width, p.height, p.bitCount)) return false;
    t->height = p.height;
    if (p.bitCount == 8 && p.paletteCount > 0)
        std::memcpy(t->image->Palette(), p.palette, 4 * static_cast<std::size_t>(std::min(p.paletteCount, 256)));
    return true;
}

std::uint8_t* JpegRowOf(int y, void* context)
{
    auto* t = static_cast<JpegTarget*>(context);
    if (t->progress && !t->progress(static_cast<float>(y) / static_cast<float>(t->height), t->value)) return nullptr;
    return t->image->RowPointer(y);
}

}  // namespace

bool LoadPNGFile(std::FILE* file, DibStream& image, ImageProgress progress, void* value)
{
    image.Release();
    ProgressAdapter adapter{progress, value};
    ImageBlock header, pixels;
    if (LoadPNG(file, &header, &pixels, AdaptProgress, &adapter) == 0) return false;
    return image.Attach(std::move(header), std::move(pixels));
}

bool LoadJPGFile(std::FILE* file, DibStream& image, ImageProgress progress, void* value)
{
    image.Release();
    JpegTarget target{&image, 0, progress, value};
    return LoadJPG(file, JpegCreateImage, JpegRowOf, &target) != 0;
}

bool LoadPNGFile(const std::string& path, DibStream& image, ImageProgress progress, void* value)
{
    image.Release();
    FilePtr f = OpenImageFile(path);
    return f && LoadPNGFile(f.get(), image, progress, value);
}

bool LoadJPGFile(const std::string& path, DibStream& image, ImageProgress progress, void* value)
{
    image.Release();
    FilePtr f = OpenImageFile(path);
    return f && LoadJPGFile(f.get(), image, progress, value);
}

}  // namespace kinovela
