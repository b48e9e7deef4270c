#include "image/DibStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Memory.h"

namespace kinovela {

namespace {

constexpr std::size_t kWidth = 4, kHeight = 8, kPlanes = 12, kBitCount = 14, kCompression = 16, kImageSize = 20,
                      kColoursUsed = 32;

bool ValidBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Palette entries a header block makes room for: the colours it uses, and
// never fewer than a palette image's indices can reach.
std::size_t PaletteCapacity(int bits, std::size_t coloursUsed)
{
    const std::size_t full = bits <= 8 ? std::size_t{1} << bits : 0;
    return std::max(full, coloursUsed);
}

}  // namespace

ImageBlock ImageBlock::Allocate(std::size_t size)
{
    ImageBlock b;
    b.m_data.reset(static_cast<std::uint8_t*>(std::calloc(size == 0 ? 1 : size, 1)));
    b.m_size = b.m_data ? size : 0;
    // A big picture's pages are all written by its decoder right away.
    if (b.m_data && size >= (std::size_t{4} << 20)) AdviseHugePages(b.m_data.get(), size);
    return b;
}

void ImageBlock::Free::operator()(std::uint8_t* p) const { std::free(p); }

std::size_t DibStride(std::int64_t width, int bitCount)
{
    if (width <= 0 || width > kMaxImageSide || !ValidBitCount(bitCount)) return 0;
    return static_cast<std::size_t>((width * bitCount + 31) / 32 * 4);
}

bool ImageSizeAllowed(std::int64_t width, std::int64_t height)
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

void DibStream::Release()
{
    m_header = ImageBlock();
    m_pixels = ImageBlock();
}

std::uint32_t DibStream::HeaderField(std::size_t offset) const
{
    return m_header ? GetU32(m_header.data() + offset) : 0;
}

void DibStream::SetHeaderField(std::size_t offset, std::uint32_t value) { PutU32(m_header.data() + offset, value); }

int DibStream::Width() const { return static_cast<int>(HeaderField(kWidth)); }
int DibStream::StoredHeight() const { return static_cast<int>(HeaderField(kHeight)); }
int DibStream::Height() const { return std::abs(StoredHeight()); }
int DibStream::BitCount() const { return m_header ? GetU16(m_header.data() + kBitCount) : 0; }
std::uint32_t DibStream::Compression() const { return HeaderField(kCompression); }

int DibStream::ColourCount() const
{
    const std::uint32_t used = HeaderField(kColoursUsed);
    if (used != 0) return static_cast<int>(used);
    const int bits = BitCount();
    return bits <= 8 && bits > 0 ? 1 << bits : 0;
}

std::size_t DibStream::ImageSize() const
{
    const std::uint32_t size = HeaderField(kImageSize);
    return size != 0 ? size : Stride() * static_cast<std::size_t>(Height());
}

std::uint8_t* DibStream::RowPointer(int y)
{
    return const_cast<std::uint8_t*>(static_cast<const DibStream&>(*this).RowPointer(y));
}

const std::uint8_t* DibStream::RowPointer(int y) const
{
    const int h = Height();
    if (Empty() || y < 0 || y >= h) return nullptr;
    const std::size_t row = IsTopDown() ? static_cast<std::size_t>(y) : static_cast<std::size_t>(h - y - 1);
    return m_pixels.data() + row * Stride();
}

bool DibStream::Create(int width, int height, int bitCount)
{
    Release();
    if (!ValidBitCount(bitCount) || !ImageSizeAllowed(width, std::abs(static_cast<std::int64_t>(height))))
        return false;
    const std::size_t stride = DibStride(width, bitCount);
    const std::size_t rows = static_cast<std::size_t>(std::abs(height));
    const std::size_t used = bitCount <= 8 ? std::size_t{1} << bitCount : 0;
    ImageBlock header = ImageBlock::Allocate(kInfoHeaderSize + 4 * PaletteCapacity(bitCount, used));
    ImageBlock pixels = ImageBlock::Allocate(stride * rows);
    if (!header || !pixels) return false;
    std::uint8_t* h = header.data();
    PutU32(h, kInfoHeaderSize);
    PutU32(h + kWidth, static_cast<std::uint32_t>(width));
    PutU32(h + kHeight, static_cast<std::uint32_t>(height));
    PutU16(h + kPlanes, 1);
    PutU16(h + kBitCount, static_cast<std::uint32_t>(bitCount));
    PutU32(h + kImageSize, static_cast<std::uint32_t>(stride * rows));
    PutU32(h + kColoursUsed, static_cast<std::uint32_t>(used));
    m_header = std::move(header);
    m_pixels = std::move(pixels);
    if (bitCount == 1) {
        std::uint8_t* p = Palette();
        std::memset(p + 4, 255, 3);  // entry 0 black, entry 1 white
    } else if (bitCount == 8) {
        SetGreyPalette();
    }
    return true;
}

void DibStream::SetGreyPalette()
{
    const int bits = BitCount();
    if (bits != 1 && bits != 4 && bits != 8) return;
    const int entries = 1 << bits;
    const int step = 255 / (entries - 1);
    std::uint8_t* p = Palette();
    for (int i = 0; i < entries; ++i) {
        const auto g = static_cast<std::uint8_t>(i * step);
        p[4 * i] = p[4 * i + 1] = p[4 * i + 2] = g;
        p[4 * i + 3] = 0;
    }
}

// Checks a packed header against the limits and works out how large the
// header and pixel blocks must be; fills `header` with a copy that has room
// for the full palette.
bool DibStream::TakeHeader(std::span<const std::uint8_t> packed, ImageBlock& header, std::size_t& pixelBytes) const
{
    if (packed.size() < kInfoHeaderSize) return false;
    const std::uint8_t* h = packed.data();
    const auto width = static_cast<std::int32_t>(GetU32(h + kWidth));
    const auto height = static_cast<std::int32_t>(GetU32(h + kHeight));
    const int bits = GetU16(h + kBitCount);
    const std::uint32_t used = GetU32(h + kColoursUsed);
    if (GetU32(h) != kInfoHeaderSize || GetU32(h + kCompression) != 0 || !ValidBitCount(bits) || used > 256 ||
        height == INT32_MIN || !ImageSizeAllowed(width, std::abs(height)))
        return false;
    const std::size_t entries = used != 0 ? used : (bits <= 8 ? std::size_t{1} << bits : 0);
    if (packed.size() < kInfoHeaderSize + 4 * entries) return false;
    const std::size_t rowsBytes = DibStride(width, bits) * static_cast<std::size_t>(std::abs(height));
    pixelBytes = std::max<std::size_t>(GetU32(h + kImageSize), rowsBytes);
    header = ImageBlock::Allocate(kInfoHeaderSize + 4 * PaletteCapacity(bits, used));
    if (!header) return false;
    std::memcpy(header.data(), h, kInfoHeaderSize + 4 * entries);
    return true;
}

bool DibStream::Attach(ImageBlock header, ImageBlock pixels)
{
    if (!header || !pixels) return false;
    ImageBlock copy;
    std::size_t pixelBytes = 0;
    if (!TakeHeader({header.data(), header.size()}, copy, pixelBytes) || pixels.size() < pixelBytes) return false;
    Release();
    // The copy has the full palette room; the pixels are taken as they are.
    m_header = copy.size() > header.size() ? std::move(copy) : std::move(header);
    m_pixels = std::move(pixels);
    return true;
}

bool DibStream::CopyFrom(std::span<const std::uint8_t> packedHeader, std::span<const std::uint8_t> pixels)
{
    Release();
    ImageBlock header;
    std::size_t pixelBytes = 0;
    if (!TakeHeader(packedHeader, header, pixelBytes) || pixels.size() < pixelBytes) return false;
    ImageBlock block = ImageBlock::Allocate(pixelBytes);
    if (!block) return false;
    std::memcpy(block.data(), pixels.data(), pixelBytes);
    m_header = std::move(header);
    m_pixels = std::move(block);
    return true;
}

std::span<const std::uint8_t> DibStream::PackedHeader() const
{
    if (!m_header) return {};
    return {m_header.data(), kInfoHeaderSize + 4 * static_cast<std::size_t>(ColourCount())};
}

std::span<const std::uint8_t> DibStream::PixelBlock() const
{
    if (!m_pixels) return {};
    return {m_pixels.data(), ImageSize()};
}

std::unique_ptr<DibStream> DibStream::Clone() const
{
    auto copy = std::make_unique<DibStream>();
    if (m_header) {
        copy->m_header = ImageBlock::Allocate(m_header.size());
        if (!copy->m_header) return nullptr;
        std::memcpy(copy->m_header.data(), m_header.data(), m_header.size());
    }
    if (m_pixels) {
        copy->m_pixels = ImageBlock::Allocate(m_pixels.size());
        if (!copy->m_pixels) return nullptr;
        std::memcpy(copy->m_pixels.data(), m_pixels.data(), m_pixels.size());
    }
    return copy;
}

bool DibStream::ChangeBitDepth(int bits)
{
    if (bits != 24 || Empty()) return false;
    const int width = Width(), height = Height(), source = BitCount();
    if (!ValidBitCount(source)) return false;
    // Already 24 bits: a copy would only double the memory a large texture
    // takes while it loads.
    if (source == 24) return true;
    const std::size_t stride = Stride();
    // Rows go straight into the new picture in storage order, which the
    // height's sign keeps, so no packed copy of the whole picture is needed.
    DibStream result;
    if (!result.Create(width, StoredHeight(), 24)) return false;
    const std::size_t newStride = result.Stride();
    const std::uint8_t* pal = Palette();
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* row = Bits() + static_cast<std::size_t>(r) * stride;
        std::uint8_t* out = result.Bits() + static_cast<std::size_t>(r) * newStride;
        auto entry = [&](unsigned index) {
            std::memcpy(out, pal + 4 * index, 3);
            out += 3;
        };
        for (int x = 0; x < width; ++x) {
            switch (source) {
            case 1: entry((row[x >> 3] >> (7 - (x & 7))) & 1); break;
            case 4: entry((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4); break;
            case 8: entry(row[x]); break;
            case 16: {
                const unsigned w = GetU16(row + 2 * x);
                *out++ = static_cast<std::uint8_t>((w & 0x1F) * 8);
                *out++ = static_cast<std::uint8_t>(((w >> 5) & 0x1F) * 8);
                *out++ = static_cast<std::uint8_t>(((w >> 10) & 0x1F) * 8);
                break;
            }
            case 24: std::memcpy(out, row + 3 * x, 3); out += 3; break;
            default: std::memcpy(out, row + 4 * x, 3); out += 3; break;  // 32 bits: alpha dropped
            }
        }
    }
    m_header = std::move(result.m_header);
    m_pixels = std::move(result.m_pixels);
    return true;
}

bool DibStream::SwapRedBlue()
{
    if (BitCount() != 24 || Empty()) return true;
    const std::size_t stride = Stride();
    const int width = Width(), height = Height();
    for (int r = 0; r < height; ++r) {
        std::uint8_t* p = Bits() + static_cast<std::size_t>(r) * stride;
        for (int x = 0; x < width; ++x, p += 3) std::swap(p[0], p[2]);
    }
    return true;
}

namespace {

struct Sample {
    int index;  // the first of the two source columns or rows
    int w0, w1;  // their weights out of 256
};

// Where each target column (or row) samples the source: a smoothstep blend
// of two neighbours, the last one pinned to the source's last pair.
std::vector<Sample> SampleTable(int source, int target)
{
    std::vector<Sample> table(static_cast<std::size_t>(target));
    const float step = static_cast<float>(source - 1) / static_cast<float>(target - 1);
    for (int i = 0; i < target; ++i) {
        const float s = static_cast<float>(i) * step;
        const int x0 = static_cast<int>(s);
        const float t = s - static_cast<float>(x0);
        const int w1 = static_cast<int>(t * t * (3.0f - 2.0f * t) * 256.0f);
        table[static_cast<std::size_t>(i)] = {std::min(x0, source - 2), 256 - w1, w1};
    }
    table.back() = {source - 2, 0, 256};
    return table;
}

}  // namespace

bool DibStream::Resize(int newWidth, int newHeight)
{
    if (Empty() || newWidth < 2 || newHeight < 2 || Width() < 2 || Height() < 2) return false;
    const int bits = BitCount();
    if (!ValidBitCount(bits) || !ImageSizeAllowed(newWidth, newHeight)) return false;
    const std::size_t newStride = DibStride(newWidth, bits);
    const std::size_t stride = Stride();
    ImageBlock header = ImageBlock::Allocate(m_header.size());
    ImageBlock pixels = ImageBlock::Allocate(newStride * static_cast<std::size_t>(newHeight));
    if (!header || !pixels) return false;
    std::memcpy(header.data(), m_header.data(), m_header.size());
    PutU32(header.data() + kWidth, static_cast<std::uint32_t>(newWidth));
    PutU32(header.data() + kHeight, static_cast<std::uint32_t>(IsTopDown() ? -newHeight : newHeight));
    PutU32(header.data() + kImageSize, static_cast<std::uint32_t>(newStride * static_cast<std::size_t>(newHeight)));

    const std::vector<Sample> cols = SampleTable(Width(), newWidth);
    const std::vector<Sample> rows = SampleTable(Height(), newHeight);
    const std::uint8_t* src = Bits();
    for (int y = 0; y < newHeight; ++y) {
        const Sample& ry = rows[static_cast<std::size_t>(y)];
        std::uint8_t* out = pixels.data() + static_cast<std::size_t>(y) * newStride;
        if (bits == 24 || bits == 32) {
            const int bpp = bits / 8;
            const std::uint8_t* r0 = src + static_cast<std::size_t>(ry.index) * stride;
            const std::uint8_t* r1 = r0 + stride;
            for (int x = 0; x < newWidth; ++x) {
                const Sample& cx = cols[static_cast<std::size_t>(x)];
                const std::size_t a = static_cast<std::size_t>(cx.index) * bpp;
                for (int c = 0; c < bpp; ++c) {
                    const int top = r0[a + c] * cx.w0 + r0[a + bpp + c] * cx.w1;
                    const int bottom = r1[a + c] * cx.w0 + r1[a + bpp + c] * cx.w1;
                    out[x * bpp + c] = static_cast<std::uint8_t>((top * ry.w0 + bottom * ry.w1) >> 16);
                }
            }
            continue;
        }
        const int sy = ry.w0 < 128 ? ry.index + 1 : ry.index;
        const std::uint8_t* row = src + static_cast<std::size_t>(sy) * stride;
        for (int x = 0; x < newWidth; ++x) {
            const Sample& cx = cols[static_cast<std::size_t>(x)];
            const int sx = cx.w0 < 128 ? cx.index + 1 : cx.index;
            switch (bits) {
            case 1:
                if ((row[sx >> 3] >> (7 - (sx & 7))) & 1) out[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
                break;
            case 4: {
                const int v = (sx & 1) ? row[sx >> 1] & 0x0F : row[sx >> 1] >> 4;
                out[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? v : v << 4);
                break;
            }
            case 8: out[x] = row[sx]; break;
            case 16: std::memcpy(out + 2 * x, row + 2 * sx, 2); break;
            default: break;
            }
        }
    }
    m_header = std::move(header);
    m_pixels = std::move(pixels);
    return true;
}

std::uint32_t DibStream::PixelARGB(int x, int y) const
{
    const std::uint8_t* row = RowPointer(y);
    if (!row || x < 0 || x >= Width()) return 0;
    switch (BitCount()) {
    case 24: {
        const std::uint8_t* p = row + 3 * x;
        return 0xFF000000u + p[2] * 65536u + p[1] * 256u + p[0];
    }
    case 32: return GetU32(row + 4 * x);
    default: return 0;
    }
}

bool DibStream::WriteBMP(ByteSink& sink) const
{
    if (Empty()) return false;
    const std::size_t palette = 4 * static_cast<std::size_t>(ColourCount());
    const std::size_t offset = 14 + kInfoHeaderSize + palette;
    const std::size_t stride = Stride();
    const int height = Height();
    std::uint8_t head[14 + kInfoHeaderSize] = {};
    PutU16(head, 0x4D42);
    PutU32(head + 2, static_cast<std::uint32_t>(ImageSize() + offset));
    PutU32(head + 10, static_cast<std::uint32_t>(offset));
    std::memcpy(head + 14, m_header.data(), kInfoHeaderSize);
    PutU32(head + 14 + kHeight, static_cast<std::uint32_t>(height));
    PutU32(head + 14 + kImageSize, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(height)));
    sink.Write(reinterpret_cast<const char*>(head), sizeof head);
    sink.Write(reinterpret_cast<const char*>(Palette()), palette);
    if (IsBottomUp()) {
        sink.Write(reinterpret_cast<const char*>(Bits()), ImageSize());
    } else {
        for (int y = height - 1; y >= 0; --y) sink.Write(reinterpret_cast<const char*>(RowPointer(y)), stride);
    }
    return true;
}

bool DibStream::SaveBMP(const std::string& path) const
{
    if (Empty()) return false;
    return WriteFileAtomically(path, [&](ByteSink& sink) { WriteBMP(sink); }).ok;
}

}  // namespace kinovela
