// Shared by the image fuzz targets: the input as a stream, a progress
// callback that can cancel, and the checks every decoded picture must pass.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/Decoders.h"
#include "image/DibStream.h"

#define FUZZ_CHECK(cond)                                                                          \
    do {                                                                                          \
        if (!(cond)) {                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);         \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace fuzzimage {

using kinovela::DibStream;

// The fuzzer's bytes as a read-only stream; null for an empty input.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : m_file(size == 0 ? nullptr : ::fmemopen(const_cast<std::uint8_t*>(data), size, "rb"))
    {
    }
    ~Input()
    {
        if (m_file) std::fclose(m_file);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    std::FILE* get() const { return m_file; }

private:
    std::FILE* m_file;
};

// Cancels the decode on some inputs: when the low three bits of the last
// byte are all set, the callback answers yes that many times (the byte's
// high five bits) and then no. The last byte is used because the first one
// is a magic number in most formats; trailing bytes are ignored by them.
class Progress {
public:
    Progress(const std::uint8_t* data, std::size_t size)
    {
        const std::uint8_t c = size != 0 ? data[size - 1] : 0;
        if ((c & 7) == 7) m_allowed = c >> 3;
    }
    static bool Callback(float fraction, void* self)
    {
        auto* p = static_cast<Progress*>(self);
        FUZZ_CHECK(!p->m_refused);  // told to stop, the decoder must not go on
        FUZZ_CHECK(fraction >= 0.0f && fraction <= 1.0f && fraction >= p->m_last);
        p->m_last = fraction;
        if (p->m_allowed >= 0 && p->m_calls++ >= p->m_allowed) {
            p->m_refused = true;
            return false;
        }
        return true;
    }
    bool Refused() const { return m_refused; }

private:
    int m_allowed = -1;  // -1: never cancel
    int m_calls = 0;
    bool m_refused = false;
    float m_last = 0.0f;
};

// Reads `n` bytes into a volatile sink so that the sanitizer sees all of
// them: eight at a time (no red zone between blocks is narrower, so none is
// stepped over), then the last one on its own.
inline volatile std::uint64_t g_sink;
inline void Touch(const std::uint8_t* p, std::size_t n)
{
    if (n == 0) return;
    std::uint64_t sum = p[n - 1];
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        sum += word;
    }
    g_sink = sum;
}

inline std::uint32_t Rgb(const std::uint8_t* bgr)
{
    return 0xFF000000u | static_cast<std::uint32_t>(bgr[2]) << 16 | static_cast<std::uint32_t>(bgr[1]) << 8 | bgr[0];
}

// The colour a pixel of any depth should turn into at 24 bits, read through
// RowPointer (top row first) and the palette.
inline std::uint32_t ExpectedRgb(const DibStream& img, int x, int y)
{
    const std::uint8_t* row = img.RowPointer(y);
    const std::uint8_t* pal = img.Palette();
    switch (img.BitCount()) {
    case 1: return Rgb(pal + 4 * ((row[x >> 3] >> (7 - (x & 7))) & 1));
    case 4: return Rgb(pal + 4 * ((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4));
    case 8: return Rgb(pal + 4 * row[x]);
    case 16: {
        const unsigned w = kinovela::GetU16(row + 2 * x);
        const std::uint8_t bgr[3] = {static_cast<std::uint8_t>((w & 0x1F) * 8),
                                     static_cast<std::uint8_t>(((w >> 5) & 0x1F) * 8),
                                     static_cast<std::uint8_t>(((w >> 10) & 0x1F) * 8)};
        return Rgb(bgr);
    }
    default: return Rgb(row + (img.BitCount() / 8) * x);  // 24 or 32 bits
    }
}

// Structural checks that hold for a picture of any depth.
inline void CheckLayout(const DibStream& img)
{
    FUZZ_CHECK(!img.Empty());
    const int w = img.Width(), h = img.Height(), bits = img.BitCount();
    FUZZ_CHECK(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
    FUZZ_CHECK(w > 0 && h > 0 && kinovela::ImageSizeAllowed(w, h));
    const std::size_t stride = img.Stride();
    FUZZ_CHECK(stride != 0 && stride % 4 == 0 && stride * 8 >= static_cast<std::size_t>(w) * bits);
    FUZZ_CHECK(img.RowPointer(0) && img.RowPointer(h - 1));
    FUZZ_CHECK(!img.RowPointer(-1) && !img.RowPointer(h));
    const std::uint8_t* first = img.RowPointer(0);
    const std::uint8_t* last = img.RowPointer(h - 1);
    const std::size_t span = static_cast<std::size_t>(first < last ? last - first : first - last);
    FUZZ_CHECK(span == static_cast<std::size_t>(h - 1) * stride);
    for (int y = 0; y < h; ++y) Touch(img.RowPointer(y), stride);

    const int colours = img.ColourCount();
    FUZZ_CHECK(colours >= 0 && colours <= 256);
    const auto header = img.PackedHeader();
    FUZZ_CHECK(header.size() == kinovela::kInfoHeaderSize + 4 * static_cast<std::size_t>(colours));
    Touch(header.data(), header.size());
    if (bits <= 8) Touch(img.Palette(), std::size_t{4} << bits);  // room for every index
    const auto pixels = img.PixelBlock();
    FUZZ_CHECK(pixels.size() == img.ImageSize() && pixels.size() >= stride * static_cast<std::size_t>(h));
    Touch(pixels.data(), pixels.size());
    FUZZ_CHECK(img.PixelARGB(-1, 0) == 0 && img.PixelARGB(w, 0) == 0 && img.PixelARGB(0, h) == 0);
}

// A few pixels to compare: the corners, the centre, one taken from the
// input so that the fuzzer can steer it.
template <typename Fn>
void ForSomePixels(int w, int h, std::uint32_t pick, Fn fn)
{
    const int xs[] = {0, w - 1, w / 2, static_cast<int>(pick % static_cast<std::uint32_t>(w))};
    const int ys[] = {0, h - 1, h / 2, static_cast<int>((pick >> 16) % static_cast<std::uint32_t>(h))};
    for (int i = 0; i < 4; ++i) fn(xs[i], ys[i]);
    fn(w - 1, 0);
    fn(0, h - 1);
}

// Everything a caller does next with a decoded picture.
inline void Exercise(const DibStream& img, const std::uint8_t* data, std::size_t size)
{
    CheckLayout(img);
    const int w = img.Width(), h = img.Height();
    std::uint32_t pick = 0;
    std::memcpy(&pick, data, size < 4 ? size : 4);

    {
        // The packed blocks are what CopyFrom takes, and give the same rows.
        DibStream copy;
        FUZZ_CHECK(copy.CopyFrom(img.PackedHeader(), img.PixelBlock()));
        FUZZ_CHECK(copy.Width() == w && copy.StoredHeight() == img.StoredHeight() &&
                   copy.BitCount() == img.BitCount());
        for (int y = 0; y < h; ++y) FUZZ_CHECK(std::memcmp(copy.RowPointer(y), img.RowPointer(y), img.Stride()) == 0);
    }
    {
        // Resizing at the source depth (odd sizes for the packed depths).
        std::unique_ptr<DibStream> same = img.Clone();
        FUZZ_CHECK(same);
        const bool resized = same->Resize(17, 9);
        FUZZ_CHECK(resized == (w >= 2 && h >= 2));
        if (resized) {
            FUZZ_CHECK(same->Width() == 17 && same->Height() == 9 && same->BitCount() == img.BitCount());
            CheckLayout(*same);
        }
    }

    std::unique_ptr<DibStream> rgb = img.Clone();
    FUZZ_CHECK(rgb && rgb->Width() == w && rgb->Height() == h);
    FUZZ_CHECK(rgb->ChangeBitDepth(24));
    FUZZ_CHECK(rgb->BitCount() == 24 && rgb->Width() == w && rgb->StoredHeight() == img.StoredHeight());
    ForSomePixels(w, h, pick, [&](int x, int y) { FUZZ_CHECK(rgb->PixelARGB(x, y) == ExpectedRgb(img, x, y)); });

    // Then the renderer's path: down to a small texture, red and blue swapped.
    const bool resized = rgb->Resize(32, 32);
    FUZZ_CHECK(resized == (w >= 2 && h >= 2));
    if (!resized) return;
    FUZZ_CHECK(rgb->Width() == 32 && rgb->Height() == 32 && rgb->IsTopDown() == img.IsTopDown());
    CheckLayout(*rgb);
    std::uint32_t before[6];
    int n = 0;
    ForSomePixels(32, 32, pick, [&](int x, int y) { before[n++] = rgb->PixelARGB(x, y); });
    FUZZ_CHECK(rgb->SwapRedBlue());
    n = 0;
    ForSomePixels(32, 32, pick, [&](int x, int y) {
        const std::uint32_t b = before[n++];
        const std::uint32_t swapped = (b & 0xFF00FF00u) | (b >> 16 & 0xFFu) | (b & 0xFFu) << 16;
        FUZZ_CHECK(rgb->PixelARGB(x, y) == swapped);
    });
}

// The body of every reader's target: `load(stream, image, callback,
// context)` decodes; a cancelled decode must fail; with `emptyOnFailure` a
// failed read must leave no picture behind; what reads is exercised.
template <class Load>
int Run(const std::uint8_t* data, std::size_t size, Load load, bool emptyOnFailure = false)
{
    Input in(data, size);
    if (!in.get()) return 0;
    Progress progress(data, size);
    DibStream img;
    const bool ok = load(in.get(), img, Progress::Callback, &progress);
    FUZZ_CHECK(!ok || !progress.Refused());
    if (!ok) {
        FUZZ_CHECK(!emptyOnFailure || img.Empty());
        return 0;
    }
    Exercise(img, data, size);
    return 0;
}

}  // namespace fuzzimage
