// One decoded image, laid out like a Windows device-independent bitmap: a
// 40-byte information header followed by its palette (the header block),
// and the pixel rows, each padded to a multiple of four bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace kinovela {

// Limits on what any image may claim, so that a damaged or hostile file can
// neither overflow a size computation nor ask for an unbounded allocation.
inline constexpr std::int64_t kMaxImageSide = 65536;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;
inline constexpr std::size_t kInfoHeaderSize = 40;

// A zero-filled block from calloc: large blocks come straight from fresh
// pages, so a big picture costs nothing until its rows are written.
class ImageBlock {
public:
    ImageBlock() = default;
    static ImageBlock Allocate(std::size_t size);  // empty on failure
    std::uint8_t* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

private:
    struct Free {
        void operator()(std::uint8_t* p) const;
    };
    std::unique_ptr<std::uint8_t, Free> m_data;
    std::size_t m_size = 0;
};

// The row stride of a picture, or 0 when width or bit count is out of range.
std::size_t DibStride(std::int64_t width, int bitCount);
// Whether a picture of this size is within the limits above.
bool ImageSizeAllowed(std::int64_t width, std::int64_t height);

class ByteSink;

class DibStream {
public:
    DibStream() = default;
    virtual ~DibStream() = default;
    DibStream(const DibStream&) = delete;
    DibStream& operator=(const DibStream&) = delete;

    void Release();
    bool Create(int width, int height, int bitCount);
    // Takes over a header block (header and palette) and a pixel block, as
    // the PNG reader hands them over. Refuses blocks that do not describe a
    // picture of their own size.
    bool Attach(ImageBlock header, ImageBlock pixels);
    void SetGreyPalette();
    // Bit i of depthMask allows 1, 4, 8, 16, 24, 32 bits (0x01 … 0x20).
    bool LoadBMP(const std::string& path, unsigned depthMask);
    bool LoadBMP(std::FILE* file, unsigned depthMask);

    std::unique_ptr<DibStream> Clone() const;
    // Copies a header with its palette and the pixels it describes; false
    // when the blocks are shorter than the header says.
    bool CopyFrom(std::span<const std::uint8_t> packedHeader, std::span<const std::uint8_t> pixels);
    bool ChangeBitDepth(int bits);
    bool SwapRedBlue();
    bool Resize(int newWidth, int newHeight);
    std::uint32_t PixelARGB(int x, int y) const;
    bool SaveBMP(const std::string& path) const;
    // The BMP file's bytes (always bottom-up) into `sink`; false for an
    // empty image.
    bool WriteBMP(ByteSink& sink) const;

    bool Empty() const { return !m_header || !m_pixels; }
    int Width() const;
    int Height() const;        // always positive
    int StoredHeight() const;  // negative for top-down rows
    int BitCount() const;
    std::uint32_t Compression() const;
    int ColourCount() const;
    std::size_t ImageSize() const;
    std::size_t Stride() const { return DibStride(Width(), BitCount()); }
    bool IsBottomUp() const { return StoredHeight() > 0; }
    bool IsTopDown() const { return StoredHeight() < 0; }
    std::uint8_t* Bits() { return m_pixels.data(); }
    const std::uint8_t* Bits() const { return m_pixels.data(); }
    // Palette entries (blue, green, red, 0). There is always room for the
    // full 2^bits entries of a palette image, so any index of a pixel
    // reads inside the block; entries past ColourCount() are black.
    std::uint8_t* Palette() { return m_header.data() ? m_header.data() + kInfoHeaderSize : nullptr; }
    const std::uint8_t* Palette() const { return m_header.data() ? m_header.data() + kInfoHeaderSize : nullptr; }
    std::uint8_t* RowPointer(int y);
    const std::uint8_t* RowPointer(int y) const;

    // The header with exactly ColourCount() palette entries, and the
    // ImageSize() pixel bytes: what CopyFrom takes.
    std::span<const std::uint8_t> PackedHeader() const;
    std::span<const std::uint8_t> PixelBlock() const;

private:
    friend struct DibAccess;
    void SetHeaderField(std::size_t offset, std::uint32_t value);
    std::uint32_t HeaderField(std::size_t offset) const;
    bool TakeHeader(std::span<const std::uint8_t> packedHeader, ImageBlock& header, std::size_t& pixelBytes) const;

    ImageBlock m_header;
    ImageBlock m_pixels;
};

// Little-endian field access shared by the readers and writers.
inline std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t GetU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace kinovela
