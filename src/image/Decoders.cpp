#include "image/Decoders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kinovela {

FilePtr OpenImageFile(const std::string& path)
{
    // Non-blocking so that opening a FIFO cannot hang; cleared again below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) ::close(fd);
    return FilePtr(f);
}

long RemainingBytes(std::FILE* file)
{
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return 0;
    const long end = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return end > here ? end - here : 0;
}

namespace {

bool ReadExact(std::FILE* f, void* out, std::size_t n) { return n == 0 || std::fread(out, 1, n, f) == n; }

bool Report(ImageProgress progress, void* value, int y, int height)
{
    return !progress || progress(static_cast<float>(y) / static_cast<float>(height), value);
}

template <typename Loader>
bool FromPath(const std::string& path, DibStream& image, Loader load)
{
    image.Release();
    FilePtr f = OpenImageFile(path);
    return f && load(f.get());
}

}  // namespace

// ---------------------------------------------------------------- BMP

bool DibStream::LoadBMP(const std::string& path, unsigned depthMask)
{
    return FromPath(path, *this, [&](std::FILE* f) { return LoadBMP(f, depthMask); });
}

bool DibStream::LoadBMP(std::FILE* f, unsigned depthMask)
{
    Release();
    auto fail = [this] {
        Release();
        return false;
    };
    std::uint8_t fileHeader[14];
    std::uint8_t info[kInfoHeaderSize];
    if (!ReadExact(f, fileHeader, sizeof fileHeader) || GetU16(fileHeader) != 0x4D42) return fail();
    if (!ReadExact(f, info, sizeof info) || GetU32(info) != kInfoHeaderSize) return fail();
    const std::uint32_t compression = GetU32(info + 16);
    const int bits = GetU16(info + 14);
    // Run-length data is defined for 8-bit pictures only; other depths with
    // that flag would fill rows with bytes of the wrong size.
    if (compression > 1 || (compression == 1 && bits != 8)) return fail();
    const unsigned bit = bits == 1 ? 0x01 : bits == 4 ? 0x02 : bits == 8 ? 0x04 : bits == 16 ? 0x08
                       : bits == 24 ? 0x10 : bits == 32 ? 0x20 : 0;
    if ((depthMask & bit) == 0) return fail();
    const auto width = static_cast<std::int32_t>(GetU32(info + 4));
    const auto height = static_cast<std::int32_t>(GetU32(info + 8));
    const std::uint32_t used = GetU32(info + 32);
    if (height == INT32_MIN || !ImageSizeAllowed(width, std::abs(height)) || used > 256) return fail();
    const std::size_t entries = used != 0 ? used : (bits <= 8 ? std::size_t{1} << bits : 0);
    const std::size_t stride = DibStride(width, bits);
    const std::size_t block = stride * static_cast<std::size_t>(std::abs(height));

    m_header = ImageBlock::Allocate(kInfoHeaderSize + 4 * std::max<std::size_t>(entries, bits <= 8 ? 1u << bits : 0));
    if (!m_header) return fail();
    std::memcpy(m_header.data(), info, sizeof info);
    if (!ReadExact(f, Palette(), 4 * entries)) return fail();
    const std::uint32_t offset = GetU32(fileHeader + 10);
    if (offset != 0 && std::fseek(f, offset, SEEK_SET) != 0) return fail();
    const long remaining = RemainingBytes(f);

    if (compression == 0) {
        // Refused before the allocation: a short file cannot hold the rows.
        if (static_cast<std::uint64_t>(remaining) < block) return fail();
        m_pixels = ImageBlock::Allocate(block);
        if (!m_pixels || !ReadExact(f, m_pixels.data(), block)) return fail();
    } else {
        // A zero image size is allowed by the format; the data then runs to
        // the end of the file.
        std::uint32_t size = GetU32(info + 20);
        if (size == 0) size = static_cast<std::uint32_t>(std::min<long>(remaining, UINT32_MAX));
        if (static_cast<std::uint64_t>(remaining) < size) return fail();
        // Moves and early ends of rows or of the picture leave pixels
        // unwritten, so the format alone bounds nothing: 120 bytes can
        // announce 65280 x 984 pixels. A texture's pixels are all meant to
        // be seen, so the data must be able to write every one: a run packet
        // (two bytes) covers at most 255 pixels and never passes a row's end.
        const std::uint64_t runsPerRow = (static_cast<std::uint64_t>(width) + 254) / 255;
        if (size / 2 < runsPerRow * static_cast<std::uint64_t>(std::abs(height))) return fail();
        std::vector<std::uint8_t> data(size);
        m_pixels = ImageBlock::Allocate(block);
        if (!m_pixels || !ReadExact(f, data.data(), size)) return fail();
        // Runs and moves that pass the row end are cut there; the picture
        // ends when the rows do.
        const std::size_t rows = static_cast<std::size_t>(std::abs(height));
        const std::size_t w = static_cast<std::size_t>(width);
        std::size_t x = 0, r = 0, i = 0;
        auto put = [&](std::uint8_t v) {
            if (x < w) m_pixels.data()[r * stride + x] = v;
            ++x;
        };
        while (i < size && r < rows) {
            const std::uint8_t n = data[i++];
            if (n != 0) {
                if (i >= size) break;
                const std::uint8_t v = data[i++];
                for (int k = 0; k < n; ++k) put(v);
                continue;
            }
            if (i >= size) break;
            const std::uint8_t code = data[i++];
            if (code == 0) {
                x = 0;
                ++r;
            } else if (code == 1) {
                break;
            } else if (code == 2) {
                if (i + 2 > size) break;
                x += data[i];
                r += data[i + 1];
                i += 2;
            } else {
                const std::size_t take = std::min<std::size_t>(code, size - i);
                for (std::size_t k = 0; k < take; ++k) put(data[i + k]);
                i += take + (code & 1);
            }
        }
        PutU32(m_header.data() + 16, 0);
    }
    // The stored size describes the rows that are held, whatever the file
    // said, so copies never read past the block.
    PutU32(m_header.data() + 20, static_cast<std::uint32_t>(block));
    return true;
}

// ---------------------------------------------------------------- PPM / PGM

namespace {

// One number of a text picture; false at the end of the file before any
// digit. Only the low eight bits of the value are kept.
bool ReadNumber(std::FILE* f, std::uint8_t& out)
{
    bool negative = false;
    int c;
    while ((c = std::fgetc(f)) != EOF && (c < '0' || c > '9'))
        if (c == '-') negative = true;
    if (c == EOF) return false;
    std::uint32_t v = 0;
    do {
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    } while ((c = std::fgetc(f)) != EOF && c >= '0' && c <= '9');
    out = static_cast<std::uint8_t>(negative ? 0u - v : v);
    return true;
}

}  // namespace

bool LoadPPM(std::FILE* f, DibStream& image, ImageProgress progress, void* value)
{
    image.Release();
    char line[128];
    if (!std::fgets(line, sizeof line, f)) return false;
    const bool binary = std::strcmp(line, "P6\n") == 0 || std::strcmp(line, "P5\n") == 0;
    const bool text = std::strcmp(line, "P3\n") == 0 || std::strcmp(line, "P2\n") == 0;
    if (!binary && !text) return false;
    const bool colour = line[1] == '6' || line[1] == '3';
    do {
        if (!std::fgets(line, sizeof line, f)) return false;
    } while (line[0] == '#');
    int width = 0, height = 0;
    if (std::sscanf(line, "%d %d\n", &width, &height) != 2) return false;
    if (!std::fgets(line, sizeof line, f)) return false;  // the maximum value: samples are kept as stored
    if (!ImageSizeAllowed(width, height)) return false;
    const int channels = colour ? 3 : 1;
    const std::uint64_t samples = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * channels;
    // Every sample takes at least one byte of the file.
    if (static_cast<std::uint64_t>(RemainingBytes(f)) < samples) return false;
    if (!image.Create(width, height, colour ? 24 : 8)) return false;
    if (!colour) image.SetGreyPalette();
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * channels);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = image.RowPointer(y);
        if (binary) {
            if (!ReadExact(f, row.data(), row.size())) return false;
        } else {
            for (std::uint8_t& s : row)
                if (!ReadNumber(f, s)) return false;
        }
        if (colour) {
            for (int x = 0; x < width; ++x) {
                out[3 * x] = row[3 * x + 2];
                out[3 * x + 1] = row[3 * x + 1];
                out[3 * x + 2] = row[3 * x];
            }
        } else {
            std::memcpy(out, row.data(), row.size());
        }
        if (!Report(progress, value, y, height)) return false;
    }
    return true;
}

bool LoadPPM(const std::string& path, DibStream& image, ImageProgress progress, void* value)
{
    return FromPath(path, image, [&](std::FILE* f) { return LoadPPM(f, image, progress, value); });
}

bool LoadPGM(const std::string& path, DibStream& image, ImageProgress progress, void* value)
{
    return LoadPPM(path, image, progress, value);
}

// ---------------------------------------------------------------- TGA

namespace {

int ColourMapEntryBytes(int bits) { return bits == 8 ? 1 : bits == 16 ? 2 : bits == 24 ? 3 : bits == 32 ? 4 : 0; }

// Reads a 24-bit colour map into the palette; entries past the 256 that an
// 8-bit picture can index are skipped.
bool ReadColourMap(std::FILE* f, DibStream& image, int length)
{
    std::vector<std::uint8_t> map(static_cast<std::size_t>(length) * 3);
    if (!ReadExact(f, map.data(), map.size())) return false;
    std::uint8_t* pal = image.Palette();
    for (int i = 0; i < std::min(length, 256); ++i) {
        std::memcpy(pal + 4 * i, map.data() + 3 * i, 3);
        pal[4 * i + 3] = 0;
    }
    return true;
}

void InvertAlpha(DibStream& image)
{
    // Whole little-endian words, so that the loop vectorises.
    const std::size_t count = image.ImageSize() / 4;
    std::uint8_t* p = image.Bits();
    for (std::size_t i = 0; i < count; ++i, p += 4) {
        std::uint32_t w;
        std::memcpy(&w, p, 4);
        w ^= 0xFF000000u;
        std::memcpy(p, &w, 4);
    }
}

}  // namespace

bool LoadTGA(std::FILE* f, DibStream& image, ImageProgress, void*)
{
    image.Release();
    std::uint8_t h[18];
    if (!ReadExact(f, h, sizeof h)) return false;
    if (h[0] != 0 && std::fseek(f, h[0], SEEK_CUR) != 0) return false;
    const int mapType = h[1], type = h[2], mapLength = GetU16(h + 5), mapBits = h[7];
    const int width = GetU16(h + 12), height = GetU16(h + 14), depth = h[16];
    const bool topFirst = (h[17] & 0x20) != 0;
    const int storedHeight = topFirst ? -height : height;
    const long mapSkip = mapType != 0 ? static_cast<long>(mapLength) * ColourMapEntryBytes(mapBits) : 0;

    int bpp = 0;
    switch (type) {
    case 1:
    case 9:
        if (depth != 8 || mapType == 0 || mapBits != 24) return false;
        bpp = 1;
        break;
    case 2:
    case 10:
        if (depth != 16 && depth != 24 && depth != 32) return false;
        bpp = depth / 8;
        break;
    case 3:
        if (depth != 8) return false;
        bpp = 1;
        break;
    default: return false;
    }
    if (!ImageSizeAllowed(width, height)) return false;
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const std::uint64_t remaining = static_cast<std::uint64_t>(RemainingBytes(f));
    // What the file must hold at the least: the rows, or one packet of at
    // most 128 pixels (a count byte and one pixel) for each 128 pixels.
    const std::uint64_t mapBytes = type == 1 || type == 9 ? static_cast<std::uint64_t>(mapLength) * 3 : mapSkip;
    const std::uint64_t least = type >= 9 ? (pixels + 127) / 128 * (1 + bpp) : pixels * bpp;
    if (remaining < mapBytes + least) return false;

    const bool rle = type >= 9;
    if (!image.Create(width, rle ? height : storedHeight, depth)) return false;
    if (type == 1 || type == 9) {
        if (!ReadColourMap(f, image, mapLength)) return false;
    } else {
        if (type == 3) image.SetGreyPalette();
        if (mapSkip != 0 && std::fseek(f, mapSkip, SEEK_CUR) != 0) return false;
    }

    const std::size_t rowBytes = static_cast<std::size_t>(width) * bpp;
    if (!rle) {
        // File order is storage order: the height's sign says which it is.
        const std::size_t stride = image.Stride();
        if (stride == rowBytes) {
            if (!ReadExact(f, image.Bits(), rowBytes * static_cast<std::size_t>(height))) return false;
        } else {
            for (int r = 0; r < height; ++r)
                if (!ReadExact(f, image.Bits() + static_cast<std::size_t>(r) * stride, rowBytes)) return false;
        }
    } else {
        int row = topFirst ? 0 : height - 1;
        const int step = topFirst ? 1 : -1;
        int x = 0;
        std::uint8_t* out = image.RowPointer(row);
        std::uint8_t packet[128 * 4];
        std::uint64_t left = pixels;
        while (left > 0) {
            const int head = std::fgetc(f);
            if (head == EOF) return false;
            const int count = (head & 0x7F) + 1;
            const bool repeat = (head & 0x80) != 0;
            if (!ReadExact(f, packet, static_cast<std::size_t>(repeat ? 1 : count) * bpp)) return false;
            for (int k = 0; k < count && left > 0; ++k, --left) {
                std::memcpy(out + static_cast<std::size_t>(x) * bpp, packet + (repeat ? 0 : k * bpp),
                            static_cast<std::size_t>(bpp));
                if (++x == width && left > 1) {
                    x = 0;
                    row += step;
                    out = image.RowPointer(row);
                }
            }
        }
    }
    if (depth == 32) InvertAlpha(image);
    return true;
}

bool LoadTGA(const std::string& path, DibStream& image, ImageProgress progress, void* value)
{
    return FromPath(path, image, [&](std::FILE* f) { return LoadTGA(f, image, progress, value); });
}

// ---------------------------------------------------------------- IFF ILBM

namespace {

std::uint32_t GetBE32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
int GetBE16(const std::uint8_t* p) { return (p[0] << 8) | p[1]; }

// ByteRun1 plane rows: a packet's bytes beyond the row it started in go on
// into the next plane row.
class ByteRun1 {
public:
    explicit ByteRun1(std::FILE* f) : m_file(f) {}
    bool Fill(std::uint8_t* out, std::size_t n)
    {
        std::size_t done = 0;
        while (done < n) {
            if (m_carryPos < m_carry.size()) {
                const std::size_t take = std::min(n - done, m_carry.size() - m_carryPos);
                std::memcpy(out + done, m_carry.data() + m_carryPos, take);
                m_carryPos += take;
                done += take;
                continue;
            }
            const int c = std::fgetc(m_file);
            if (c == EOF) return false;
            m_carry.clear();
            m_carryPos = 0;
            if (c < 128) {
                m_carry.resize(static_cast<std::size_t>(c) + 1);
                if (!ReadExact(m_file, m_carry.data(), m_carry.size())) return false;
            } else if (c > 128) {
                const int v = std::fgetc(m_file);
                if (v == EOF) return false;
                m_carry.assign(static_cast<std::size_t>(257 - c), static_cast<std::uint8_t>(v));
            }
        }
        return true;
    }

private:
    std::FILE* m_file;
    std::vector<std::uint8_t> m_carry;
    std::size_t m_carryPos = 0;
};

struct Bmhd {
    int width = 0, height = 0, planes = 0, masking = 0, compression = 0;
};

// False only when the progress callback aborts: a BODY that ends early
// still gives a picture (the rest of its rows stay clear).
bool DecodeBody(std::FILE* f, DibStream& image, const Bmhd& bm, ImageProgress progress, void* value)
{
    const int width = image.Width(), height = image.Height();
    const std::size_t rowBytes = static_cast<std::size_t>((width + 15) / 16) * 2;
    // A mask plane follows the picture planes of each row; it is read so
    // that the rows after it line up, and then dropped.
    const int stored = bm.planes + (bm.masking == 1 ? 1 : 0);
    std::vector<std::uint8_t> planes(rowBytes * static_cast<std::size_t>(stored));
    ByteRun1 runs(f);
    const int bits = image.BitCount();
    for (int y = 0; y < height; ++y) {
        for (int p = 0; p < stored; ++p) {
            std::uint8_t* plane = planes.data() + rowBytes * static_cast<std::size_t>(p);
            const bool ok = bm.compression == 0 ? ReadExact(f, plane, rowBytes) : runs.Fill(plane, rowBytes);
            if (!ok) return true;
        }
        std::uint8_t* out = image.RowPointer(y);
        for (int x = 0; x < width; ++x) {
            const std::size_t byte = static_cast<std::size_t>(x) >> 3;
            const int mask = 0x80 >> (x & 7);
            std::uint32_t v = 0;
            for (int p = bm.planes - 1; p >= 0; --p)
                v = (v << 1) | ((planes[rowBytes * static_cast<std::size_t>(p) + byte] & mask) ? 1u : 0u);
            switch (bits) {
            case 1:
                if (v != 0) out[byte] |= static_cast<std::uint8_t>(mask);
                break;
            case 4:
                if (x & 1)
                    out[x >> 1] = static_cast<std::uint8_t>((out[x >> 1] & 0xF0) | (v & 0x0F));
                else
                    out[x >> 1] = static_cast<std::uint8_t>((out[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
                break;
            case 8: out[x] = static_cast<std::uint8_t>(v); break;
            default:
                out[3 * x] = static_cast<std::uint8_t>(v >> 16);
                out[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                out[3 * x + 2] = static_cast<std::uint8_t>(v);
                break;
            }
        }
        if (!Report(progress, value, y, height)) return false;
    }
    return true;
}

// Whether `available` bytes can hold the BODY of a picture: every plane
// row of an uncompressed one, or for ByteRun1 one two-byte run packet per
// 128 bytes of plane rows, the scheme's best ratio. A few bytes announcing
// a picture of many megabytes are refused before it is made.
bool BodyFits(const Bmhd& bm, std::uint64_t available)
{
    const std::uint64_t rowBytes = static_cast<std::uint64_t>((bm.width + 15) / 16) * 2;
    const std::uint64_t planes = static_cast<std::uint64_t>(bm.planes + (bm.masking == 1 ? 1 : 0));
    const std::uint64_t data = rowBytes * planes * static_cast<std::uint64_t>(bm.height);
    return available >= (bm.compression == 0 ? data : (data + 127) / 128 * 2);
}

}  // namespace

bool LoadIFF(std::FILE* f, DibStream& image, ImageProgress progress, void* value)
{
    image.Release();
    if (std::fseek(f, 0, SEEK_SET) != 0) return false;
    const std::uint64_t fileSize = static_cast<std::uint64_t>(RemainingBytes(f));
    auto evenAfter = [](std::uint64_t start, std::uint32_t size) { return (start + 8 + size + 1) & ~std::uint64_t{1}; };
    std::uint64_t chunk = 0;
    while (chunk + 8 <= fileSize) {
        std::uint8_t head[12];
        if (std::fseek(f, static_cast<long>(chunk), SEEK_SET) != 0 || !ReadExact(f, head, 8)) return false;
        const std::uint32_t size = GetBE32(head + 4);
        const std::uint64_t next = evenAfter(chunk, size);
        if (std::memcmp(head, "FORM", 4) == 0) {
            if (!ReadExact(f, head + 8, 4) || std::memcmp(head + 8, "ILBM", 4) != 0) return false;
            const std::uint64_t formEnd = std::min(chunk + 8 + size, fileSize);
            std::uint64_t sub = chunk + 12;
            // The picture is made at its BODY, once the bytes after it are
            // known to be able to hold it; the colour map waits till then.
            Bmhd bm;
            bool described = false;
            std::vector<std::uint8_t> cmap;
            while (sub + 8 <= formEnd) {
                std::uint8_t sh[8];
                if (std::fseek(f, static_cast<long>(sub), SEEK_SET) != 0 || !ReadExact(f, sh, 8)) return false;
                const std::uint32_t subSize = GetBE32(sh + 4);
                if (std::memcmp(sh, "BMHD", 4) == 0) {
                    std::uint8_t b[20];
                    if (subSize < sizeof b || !ReadExact(f, b, sizeof b)) return false;
                    bm.width = GetBE16(b);
                    bm.height = GetBE16(b + 2);
                    bm.planes = b[8];
                    bm.masking = b[9];
                    bm.compression = b[10];
                    described = bm.planes <= 24 && ImageSizeAllowed(bm.width, bm.height);
                    cmap.clear();
                } else if (std::memcmp(sh, "CMAP", 4) == 0 && described) {
                    // No picture has more than 256 palette entries.
                    cmap.resize(3 * std::min<std::size_t>(subSize / 3, 256));
                    cmap.resize(std::fread(cmap.data(), 1, cmap.size(), f) / 3 * 3);
                } else if (std::memcmp(sh, "BODY", 4) == 0 && described) {
                    const int bits = bm.planes == 1 ? 1 : bm.planes <= 4 ? 4 : bm.planes <= 8 ? 8 : 24;
                    if (BodyFits(bm, fileSize - std::min<std::uint64_t>(fileSize, sub + 8)) &&
                        image.Create(bm.width, bm.height, bits)) {
                        const int n = std::min(static_cast<int>(cmap.size() / 3), image.ColourCount());
                        std::uint8_t* pal = image.Palette();
                        for (int i = 0; i < n; ++i) {
                            pal[4 * i] = cmap[3 * i + 2];
                            pal[4 * i + 1] = cmap[3 * i + 1];
                            pal[4 * i + 2] = cmap[3 * i];
                            pal[4 * i + 3] = 0;
                        }
                        return DecodeBody(f, image, bm, progress, value);
                    }
                    described = false;
                }
                sub = evenAfter(sub, subSize);
            }
        }
        chunk = next;
    }
    return false;
}

bool LoadIFF(const std::string& path, DibStream& image, ImageProgress progress, void* value)
{
    return FromPath(path, image, [&](std::FILE* f) { return LoadIFF(f, image, progress, value); });
}

// ---------------------------------------------------------------- dispatch

std::string FileExtension(const std::string& path)
{
    for (std::size_t i = path.size(); i > 0; --i) {
        const char c = path[i - 1];
        if (c == '\\' || c == '/') break;
        if (c == '.') return path.substr(i);
    }
    return {};
}

bool LoadImageFile(const std::string& path, DibStream& image)
{
    std::string ext = FileExtension(path);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (ext == "bmp") return image.LoadBMP(path, 63);
    if (ext == "ppm") return LoadPPM(path, image);
    if (ext == "pgm") return LoadPGM(path, image);
    if (ext == "tga") return LoadTGA(path, image);
    if (ext == "png") return LoadPNGFile(path, image);
    if (ext == "jpg") return LoadJPGFile(path, image);
    if (ext == "iff") return LoadIFF(path, image);
    return false;
}

}  // namespace kinovela
