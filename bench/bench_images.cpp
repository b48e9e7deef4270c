// Texture decoding: our readers through LoadImageFile beside the plainest
// full-picture read of libpng (its simplified API) and libjpeg-turbo (a
// scanline loop), on the same 4096 x 4096 files, in one run. BMP and TGA
// report pixel bytes per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "image/Decoders.h"
#include "image/Textures.h"

using namespace kinovela;

namespace {

constexpr int kSide = 4096;

std::string ImageFolder()
{
    const char* dir = std::getenv("KINOVELA_BENCH_DATA");
    return (std::filesystem::path(dir ? dir : "bench/data") / "images").string();
}

// A picture that compresses like a photograph more than like a test card:
// smooth gradients with some noise on top.
std::vector<std::uint8_t> SourcePixels()
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kSide) * kSide * 3);
    std::uint32_t seed = 12345;
    std::size_t i = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 28) - 8;
            rgb[i++] = static_cast<std::uint8_t>(std::clamp(x / 16 + noise, 0, 255));
            rgb[i++] = static_cast<std::uint8_t>(std::clamp(y / 16 + noise, 0, 255));
            rgb[i++] = static_cast<std::uint8_t>(std::clamp((x + y) / 32 + noise, 0, 255));
        }
    }
    return rgb;
}

void WriteJpeg(const std::string& path, const std::vector<std::uint8_t>& rgb)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_stdio_dest(&c, f);
    c.image_width = kSide;
    c.image_height = kSide;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(rgb.data()) + static_cast<std::size_t>(c.next_scanline) * kSide * 3;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

// Makes the five files once per run when they are not there yet.
const std::string& Images()
{
    static const std::string folder = [] {
        const std::string dir = ImageFolder();
        std::filesystem::create_directories(dir);
        if (std::filesystem::exists(dir + "/big32.tga")) return dir;  // written last
        const std::vector<std::uint8_t> rgb = SourcePixels();
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = kSide;
        image.height = kSide;
        image.format = PNG_FORMAT_RGB;
        png_image_write_to_file(&image, (dir + "/big.png").c_str(), 0, rgb.data(), 0, nullptr);
        WriteJpeg(dir + "/big.jpg", rgb);
        DibStream dib;
        dib.Create(kSide, -kSide, 24);
        for (int y = 0; y < kSide; ++y) {
            std::uint8_t* row = dib.RowPointer(y);
            const std::uint8_t* src = rgb.data() + static_cast<std::size_t>(y) * kSide * 3;
            for (int x = 0; x < kSide; ++x) {
                row[3 * x] = src[3 * x + 2];
                row[3 * x + 1] = src[3 * x + 1];
                row[3 * x + 2] = src[3 * x];
            }
        }
        dib.SaveBMP(dir + "/big.bmp");
        SaveTGA(dir + "/big.tga", dib);
        DibStream rgba;
        rgba.Create(kSide, kSide, 32);
        SaveTGA(dir + "/big32.tga", rgba);
        return dir;
    }();
    return folder;
}

void Ours(benchmark::State& state, const char* name, int bytesPerPixel)
{
    const std::string path = Images() + "/" + name;
    for (auto _ : state) {
        DibStream image;
        if (!LoadImageFile(path, image)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.Bits());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * bytesPerPixel);
}

void BM_DecodePng_Ours(benchmark::State& state) { Ours(state, "big.png", 3); }
void BM_DecodeJpeg_Ours(benchmark::State& state) { Ours(state, "big.jpg", 3); }
void BM_DecodeBmp24_Ours(benchmark::State& state) { Ours(state, "big.bmp", 3); }
void BM_DecodeTga24_Ours(benchmark::State& state) { Ours(state, "big.tga", 3); }
void BM_DecodeTga32_Ours(benchmark::State& state) { Ours(state, "big32.tga", 4); }

void BM_DecodePng_Libpng(benchmark::State& state)
{
    const std::string path = Images() + "/big.png";
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) state.SkipWithError("libpng failed");
        image.format = PNG_FORMAT_BGR;
        std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 3);
}

void BM_DecodeJpeg_Libjpeg(benchmark::State& state)
{
    const std::string path = Images() + "/big.jpg";
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        jpeg_decompress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_decompress(&c);
        jpeg_stdio_src(&c, f);
        jpeg_read_header(&c, TRUE);
        c.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&c);
        const std::size_t stride = static_cast<std::size_t>(c.output_width) * 3;
        std::vector<std::uint8_t> pixels(stride * c.output_height);
        while (c.output_scanline < c.output_height) {
            JSAMPROW row = pixels.data() + c.output_scanline * stride;
            jpeg_read_scanlines(&c, &row, 1);
        }
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
        std::fclose(f);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 3);
}

}  // namespace

BENCHMARK(BM_DecodePng_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodePng_Libpng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeJpeg_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeJpeg_Libjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeBmp24_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeTga24_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeTga32_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
