#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "TestUtil.h"
#include "common/Paths.h"
#include "image/Decoders.h"
#include "image/Textures.h"

namespace kinovela {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutBE16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}
void PutBE32(Bytes& b, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

class Decoders : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& data)
    {
        const std::string path = dir.File(name);
        test::WriteFile(path, std::string(data.begin(), data.end()));
        return path;
    }
    std::string Write(const std::string& name, const std::string& data)
    {
        return Write(name, Bytes(data.begin(), data.end()));
    }
    test::TempDir dir;
    DibStream img;
};

Bytes TgaHeader(int type, int width, int height, int depth, int descriptor, int mapLength = 0, int mapBits = 0)
{
    Bytes b = {0, static_cast<std::uint8_t>(mapLength ? 1 : 0), static_cast<std::uint8_t>(type)};
    Put16(b, 0);
    Put16(b, static_cast<unsigned>(mapLength));
    b.push_back(static_cast<std::uint8_t>(mapBits));
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, static_cast<unsigned>(width));
    Put16(b, static_cast<unsigned>(height));
    b.push_back(static_cast<std::uint8_t>(depth));
    b.push_back(static_cast<std::uint8_t>(descriptor));
    return b;
}

TEST_F(Decoders, TgaInvertsAlphaAndBothRowOrdersAgree)
{
    // 2 x 2, 32 bits; rows top to bottom: (A, B), (C, D).
    const std::uint32_t top[2] = {0xFF0000FFu, 0x00FF0000u}, bottom[2] = {0x7F00FF00u, 0x01020304u};
    Bytes bottomFirst = TgaHeader(2, 2, 2, 32, 8);
    Bytes topFirst = TgaHeader(2, 2, 2, 32, 0x28);
    for (std::uint32_t v : bottom) Put32(bottomFirst, v);
    for (std::uint32_t v : top) Put32(bottomFirst, v);
    for (std::uint32_t v : top) Put32(topFirst, v);
    for (std::uint32_t v : bottom) Put32(topFirst, v);

    ASSERT_TRUE(LoadTGA(Write("bu.tga", bottomFirst), img));
    EXPECT_TRUE(img.IsBottomUp());
    EXPECT_EQ(img.PixelARGB(0, 0), 0x000000FFu);  // alpha 0xFF in the file reads 0x00
    EXPECT_EQ(img.PixelARGB(1, 0), 0xFFFF0000u);  // and 0x00 reads 0xFF
    EXPECT_EQ(img.PixelARGB(1, 1), 0xFE020304u);
    DibStream other;
    ASSERT_TRUE(LoadTGA(Write("td.tga", topFirst), other));
    EXPECT_TRUE(other.IsTopDown());
    for (int y = 0; y < 2; ++y) EXPECT_EQ(std::memcmp(img.RowPointer(y), other.RowPointer(y), 8), 0);

    // 24 and 16 bits are stored as they are.
    Bytes rgb = TgaHeader(2, 1, 1, 24, 0);
    rgb.insert(rgb.end(), {1, 2, 3});
    ASSERT_TRUE(LoadTGA(Write("c.tga", rgb), img));
    EXPECT_EQ(img.PixelARGB(0, 0), 0xFF030201u);
    Bytes hi = TgaHeader(2, 1, 1, 16, 0);
    Put16(hi, 0x8123);
    ASSERT_TRUE(LoadTGA(Write("h.tga", hi), img));
    EXPECT_EQ(GetU16(img.Bits()), 0x8123);
}

TEST_F(Decoders, TgaRunLengthPacketsCrossRowsAndFillFromEitherEnd)
{
    // 3 x 2 grey-mapped picture: one repeat packet of 4, one raw packet of 2.
    auto make = [](int descriptor) {
        Bytes b = TgaHeader(9, 3, 2, 8, descriptor, 3, 24);
        b.insert(b.end(), {10, 11, 12, 20, 21, 22, 30, 31, 32});  // colour map
        b.insert(b.end(), {0x83, 1, 0x01, 2, 0});
        return b;
    };
    ASSERT_TRUE(LoadTGA(Write("r1.tga", make(0x20)), img));
    EXPECT_EQ(img.RowPointer(0)[0], 1);
    EXPECT_EQ(img.RowPointer(1)[0], 1);  // the run went on into the second row
    EXPECT_EQ(img.RowPointer(1)[1], 2);
    EXPECT_EQ(img.RowPointer(1)[2], 0);
    EXPECT_EQ(img.Palette()[4 * 1 + 2], 22);
    ASSERT_TRUE(LoadTGA(Write("r2.tga", make(0)), img));
    EXPECT_EQ(img.RowPointer(1)[2], 1);  // bottom row first in the file
    EXPECT_EQ(img.RowPointer(0)[2], 0);

    Bytes truecolour = TgaHeader(10, 2, 2, 32, 0);
    truecolour.insert(truecolour.end(), {0x83, 1, 2, 3, 0xFF});
    ASSERT_TRUE(LoadTGA(Write("r3.tga", truecolour), img));
    EXPECT_EQ(img.PixelARGB(1, 0), 0x00030201u);

    Bytes truncated = make(0);
    truncated.pop_back();
    EXPECT_FALSE(LoadTGA(Write("r4.tga", truncated), img));
}

TEST_F(Decoders, TgaRefusesWhatItCannotRead)
{
    Bytes rleGrey = TgaHeader(11, 1, 1, 8, 0);
    rleGrey.insert(rleGrey.end(), {0x80, 5});
    EXPECT_FALSE(LoadTGA(Write("a.tga", rleGrey), img));
    Bytes noMap = TgaHeader(1, 1, 1, 8, 0);
    noMap.push_back(0);
    EXPECT_FALSE(LoadTGA(Write("b.tga", noMap), img));
    EXPECT_FALSE(LoadTGA(Write("c.tga", Bytes(17, 0)), img));
    // A large picture in a short file fails before anything is allocated.
    EXPECT_FALSE(LoadTGA(Write("d.tga", TgaHeader(2, 65535, 65535, 32, 0)), img));
    EXPECT_FALSE(LoadTGA(Write("e.tga", TgaHeader(10, 16384, 16384, 24, 0)), img));

    // A colour map longer than an 8-bit palette keeps its first 256 entries.
    Bytes longMap = TgaHeader(1, 1, 1, 8, 0, 300, 24);
    for (int i = 0; i < 300; ++i) longMap.insert(longMap.end(), {static_cast<std::uint8_t>(i), 0, 0});
    longMap.push_back(255);
    ASSERT_TRUE(LoadTGA(Write("f.tga", longMap), img));
    EXPECT_EQ(img.Palette()[4 * 255], 255);
}

TEST_F(Decoders, PpmAndPgmHeaders)
{
    EXPECT_FALSE(LoadPPM(Write("a.ppm", std::string("P6 4 4 255\n") + std::string(48, 'x')), img));
    EXPECT_FALSE(LoadPPM(Write("b.ppm", std::string("P6\r\n4 4\n255\n") + std::string(48, 'x')), img));
    std::string body;
    for (int i = 0; i < 16; ++i) body += {static_cast<char>(i), 'g', 'b'};
    ASSERT_TRUE(LoadPPM(Write("c.ppm", "P6\n# made by hand\n4 4\n255\n" + body), img));
    EXPECT_EQ(img.Width(), 4);
    EXPECT_EQ(img.BitCount(), 24);
    EXPECT_EQ(img.PixelARGB(1, 0), 0xFF016762u);  // red 1, green 'g', blue 'b'
    EXPECT_EQ(img.PixelARGB(0, 3) >> 16 & 0xFF, 12u);
    EXPECT_FALSE(LoadPPM(Write("d.ppm", "P6\n4 4\n255\n" + body.substr(0, 47)), img));

    // Text grey with a maximum of 15 keeps its values unscaled; the number
    // reader takes a '-' anywhere before the digits and keeps the low byte.
    ASSERT_TRUE(LoadPGM(Write("e.pgm", "P2\n3 2\n15\n0 7 15\n-1 x300 15"), img));
    EXPECT_EQ(img.BitCount(), 8);
    EXPECT_EQ(img.RowPointer(0)[1], 7);
    EXPECT_EQ(img.RowPointer(0)[2], 15);
    EXPECT_EQ(img.RowPointer(1)[0], 255);
    EXPECT_EQ(img.RowPointer(1)[1], 300 & 0xFF);
    EXPECT_EQ(img.Palette()[4 * 7], 7);
    EXPECT_FALSE(LoadPGM(Write("f.pgm", "P2\n3 2\n15\n0 7 15\n1 2"), img));

    ASSERT_TRUE(LoadPPM(Write("g.ppm", "P3\n1 1\n255\n10 20 30\n"), img));
    EXPECT_EQ(img.PixelARGB(0, 0), 0xFF0A141Eu);
    ASSERT_TRUE(LoadPGM(Write("h.pgm", "P5\n2 1\n255\n\x05\x06"), img));
    EXPECT_EQ(img.Bits()[1], 6);

    int calls = 0;
    auto stopSecond = [](float, void* v) { return ++*static_cast<int*>(v) < 2; };
    EXPECT_FALSE(LoadPPM(Write("i.ppm", "P6\n4 4\n255\n" + body), img, stopSecond, &calls));
    EXPECT_EQ(calls, 2);
}

Bytes BmpFile(int width, int height, int bits, std::uint32_t compression, const Bytes& palette, const Bytes& pixels,
              std::uint32_t infoSize = 40, std::uint32_t imageSize = 0)
{
    Bytes b = {'B', 'M'};
    Put32(b, static_cast<std::uint32_t>(14 + infoSize + palette.size() + pixels.size()));
    Put32(b, 0);
    Put32(b, static_cast<std::uint32_t>(14 + infoSize + palette.size()));
    Put32(b, infoSize);
    Put32(b, static_cast<std::uint32_t>(width));
    Put32(b, static_cast<std::uint32_t>(height));
    Put16(b, 1);
    Put16(b, static_cast<unsigned>(bits));
    Put32(b, compression);
    Put32(b, imageSize);
    for (int i = 0; i < 4; ++i) Put32(b, 0);
    b.resize(14 + infoSize, 0);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

TEST_F(Decoders, BmpHeadersDepthsAndRowOrder)
{
    const Bytes px = {1, 2, 3, 0, 4, 5, 6, 0};  // two rows of one 24-bit pixel
    EXPECT_FALSE(img.LoadBMP(Write("v4.bmp", BmpFile(1, 2, 24, 0, {}, px, 108)), 63));
    EXPECT_FALSE(img.LoadBMP(Write("rle4.bmp", BmpFile(2, 1, 4, 2, Bytes(64, 0), {2, 0x12, 0, 1})), 63));
    EXPECT_FALSE(img.LoadBMP(Write("short.bmp", BmpFile(1, 2, 24, 0, {}, {1, 2, 3})), 63));
    EXPECT_FALSE(img.LoadBMP(Write("huge.bmp", BmpFile(65536, 8192, 8, 0, Bytes(1024, 0), px)), 63));

    ASSERT_TRUE(img.LoadBMP(Write("td.bmp", BmpFile(1, -2, 24, 0, {}, px)), 63));
    EXPECT_EQ(img.StoredHeight(), -2);
    EXPECT_EQ(img.PixelARGB(0, 0), 0xFF030201u);
    ASSERT_TRUE(img.LoadBMP(Write("bu.bmp", BmpFile(1, 2, 24, 0, {}, px)), 63));
    EXPECT_EQ(img.PixelARGB(0, 0), 0xFF060504u);
    EXPECT_EQ(img.ImageSize(), 8u);
    EXPECT_FALSE(img.LoadBMP(Write("bu.bmp", BmpFile(1, 2, 24, 0, {}, px)), 0x2F));
}

TEST_F(Decoders, BmpRunLengthClipsRunsAndMovesAtTheEdges)
{
    Bytes palette(256 * 4, 0);
    // 4 x 3: row 0 gets a run of 6 (two past the end are dropped), row 1 a
    // literal of 3 with its pad byte, then a move past the last row ends the
    // picture.
    const Bytes data = {6, 7, 0, 0, 0, 3, 8, 9, 10, 0, 0, 0, 0, 2, 1, 5, 9, 9};
    ASSERT_TRUE(img.LoadBMP(Write("rle.bmp", BmpFile(4, 3, 8, 1, palette, data, 40,
                                                     static_cast<std::uint32_t>(data.size()))), 63));
    EXPECT_EQ(img.Compression(), 0u);
    EXPECT_EQ(img.ImageSize(), 12u);
    const Bytes expect = {7, 7, 7, 7, 8, 9, 10, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(img.Bits(), img.Bits() + 12), expect);

    // Delta then end of picture; the rest stays cleared. Image size 0 reads to the end.
    const Bytes delta = {0, 2, 2, 1, 1, 5, 0, 1};
    ASSERT_TRUE(img.LoadBMP(Write("delta.bmp", BmpFile(4, 2, 8, 1, palette, delta)), 63));
    EXPECT_EQ(img.Bits()[4 + 2], 5);
    EXPECT_EQ(img.Bits()[0], 0);

    EXPECT_FALSE(img.LoadBMP(Write("rle24.bmp", BmpFile(1, 1, 24, 1, {}, {1, 2, 0, 1})), 63));

    // Data that cannot write every pixel, even in runs of 255, announces a
    // picture it does not hold: 120 bytes as 65280 x 984 pixels took a
    // second and 300 MB. Exactly enough runs still read.
    Bytes runs;
    for (int r = 0; r < 3; ++r) runs.insert(runs.end(), {255, 4, 255, 4, 0, 0});
    EXPECT_FALSE(img.LoadBMP(Write("thin.bmp", BmpFile(511, 4, 8, 1, palette, runs)), 63));
    ASSERT_TRUE(img.LoadBMP(Write("runs.bmp", BmpFile(510, 3, 8, 1, palette, runs)), 63));
    EXPECT_EQ(img.RowPointer(0)[509], 4);
    const Bytes few = {255, 1, 0, 2, 255, 200, 0, 1};
    EXPECT_FALSE(img.LoadBMP(Write("huge.bmp", BmpFile(65280, 984, 8, 1, Bytes(8, 0), few)), 63));
}

Bytes Chunk(const char* id, const Bytes& body)
{
    Bytes b(id, id + 4);
    PutBE32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
    return b;
}

Bytes Ilbm(int width, int height, int planes, int masking, int compression, const Bytes& cmap, const Bytes& body)
{
    Bytes bmhd;
    PutBE16(bmhd, static_cast<unsigned>(width));
    PutBE16(bmhd, static_cast<unsigned>(height));
    PutBE32(bmhd, 0);
    bmhd.insert(bmhd.end(), {static_cast<std::uint8_t>(planes), static_cast<std::uint8_t>(masking),
                             static_cast<std::uint8_t>(compression), 0});
    PutBE16(bmhd, 0);
    bmhd.insert(bmhd.end(), {1, 1});
    PutBE16(bmhd, static_cast<unsigned>(width));
    PutBE16(bmhd, static_cast<unsigned>(height));
    Bytes form;
    Append(form, "ILBM");
    const Bytes a = Chunk("BMHD", bmhd), n = Chunk("ANNO", {'h', 'i', '!'});
    form.insert(form.end(), a.begin(), a.end());
    form.insert(form.end(), n.begin(), n.end());
    if (!cmap.empty()) {
        const Bytes c = Chunk("CMAP", cmap);
        form.insert(form.end(), c.begin(), c.end());
    }
    const Bytes d = Chunk("BODY", body);
    form.insert(form.end(), d.begin(), d.end());
    return Chunk("FORM", form);
}

TEST_F(Decoders, IlbmPlanesPaletteAndMask)
{
    // 2 x 1, five planes: pixel 0 = 0b10011, pixel 1 = 0b00100.
    Bytes body;
    for (int p = 0; p < 5; ++p) {
        const std::uint8_t bit0 = (0x13 >> p) & 1, bit1 = (0x04 >> p) & 1;
        body.push_back(static_cast<std::uint8_t>(bit0 << 7 | bit1 << 6));
        body.push_back(0);
    }
    Bytes cmap;
    for (int i = 0; i < 32; ++i) cmap.insert(cmap.end(), {static_cast<std::uint8_t>(i), 100, 200});
    ASSERT_TRUE(LoadIFF(Write("five.iff", Ilbm(2, 1, 5, 0, 0, cmap, body)), img));
    EXPECT_EQ(img.BitCount(), 8);
    EXPECT_EQ(img.Bits()[0], 0x13);
    EXPECT_EQ(img.Bits()[1], 0x04);
    EXPECT_EQ(img.Palette()[4 * 31 + 2], 31);  // red
    EXPECT_EQ(img.Palette()[4 * 31], 200);     // blue
    EXPECT_EQ(img.Palette()[4 * 32], 32);      // the grey ramp goes on

    // One plane, ByteRun1 with a run that carries into the next row, and a
    // mask plane after each row, which is read and dropped.
    //  row 0: plane = a run of two 0x80, mask = a literal 00 00;
    //  row 1: a run of four 0xFF fills the plane and carries into the mask;
    //  row 2: a no-op, then a literal cut short by the end of the file.
    const Bytes packed = {0xFF, 0x80, 0x01, 0x00, 0x00, 0xFD, 0xFF, 0x80, 0x00, 0x80};
    ASSERT_TRUE(LoadIFF(Write("mask.iff", Ilbm(16, 3, 1, 1, 1, {}, packed)), img));
    EXPECT_EQ(img.BitCount(), 1);
    EXPECT_EQ(img.RowPointer(0)[0], 0x80);
    EXPECT_EQ(img.RowPointer(0)[1], 0x80);
    EXPECT_EQ(img.RowPointer(1)[0], 0xFF);
    EXPECT_EQ(img.RowPointer(2)[0], 0);  // the data ends inside row 2: still a success

    // 24 planes: planes 0-7 red, 8-15 green, 16-23 blue.
    Bytes deep;
    for (int p = 0; p < 24; ++p) deep.insert(deep.end(), {static_cast<std::uint8_t>(p == 0 || p == 9 || p == 23 ? 0x80 : 0), 0});
    ASSERT_TRUE(LoadIFF(Write("deep.iff", Ilbm(1, 1, 24, 0, 0, {}, deep)), img));
    EXPECT_EQ(img.BitCount(), 24);
    EXPECT_EQ(img.PixelARGB(0, 0), 0xFF010280u);

    // Cancelling is a failure, unlike data that ends early.
    auto stop = [](float, void*) { return false; };
    EXPECT_FALSE(LoadIFF(dir.File("deep.iff"), img, stop));
    EXPECT_FALSE(LoadIFF(Write("nobody.iff", Chunk("FORM", {'I', 'L', 'B', 'M'})), img));
    Bytes pbm = Ilbm(2, 1, 5, 0, 0, {}, body);
    std::memcpy(pbm.data() + 8, "PBM ", 4);
    EXPECT_FALSE(LoadIFF(Write("pbm.iff", pbm), img));
    EXPECT_FALSE(LoadIFF(Write("wide.iff", Ilbm(2, 1, 25, 0, 0, {}, body)), img));
}

TEST_F(Decoders, IlbmRefusesAPictureItsFileCannotHold)
{
    // 512 x 8, one plane: 64 bytes a row, 512 in all. ByteRun1 packs at
    // best 128 bytes into a two-byte run, so four runs hold the picture and
    // three cannot; uncompressed, every byte must be there.
    Bytes runs;
    for (int i = 0; i < 4; ++i) runs.insert(runs.end(), {0x81, 0xAA});
    ASSERT_TRUE(LoadIFF(Write("runs.iff", Ilbm(512, 8, 1, 0, 1, {}, runs)), img));
    EXPECT_EQ(img.RowPointer(7)[63], 0xAA);
    runs.resize(6);
    EXPECT_FALSE(LoadIFF(Write("fewer.iff", Ilbm(512, 8, 1, 0, 1, {}, runs)), img));
    EXPECT_TRUE(img.Empty());
    EXPECT_TRUE(LoadIFF(Write("plain.iff", Ilbm(512, 8, 1, 0, 0, {}, Bytes(512, 0x0F))), img));
    EXPECT_FALSE(LoadIFF(Write("short.iff", Ilbm(512, 8, 1, 0, 0, {}, Bytes(510, 0x0F))), img));
    // A mask plane counts: 16 x 4 with a mask is 16 bytes.
    EXPECT_FALSE(LoadIFF(Write("mask.iff", Ilbm(16, 4, 1, 1, 0, {}, Bytes(8, 0))), img));

    // 163 bytes that announced 4108 x 8296 pixels in 24 planes, and took
    // more than a second to decode.
    const std::string huge = std::string(KINOVELA_SOURCE_DIR) + "/fuzz/corpus/iff/tiny-file-huge-picture.iff";
    ASSERT_TRUE(std::filesystem::exists(huge));
    EXPECT_FALSE(LoadIFF(huge, img));
}

std::string MakeJpeg(const std::string& path, int width, int height, bool grey)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_stdio_dest(&c, f);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * c.input_components);
    while (c.next_scanline < c.image_height) {
        for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(grey ? 90 : (i % 3) * 100);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    return path;
}

TEST_F(Decoders, JpegThroughTheLibraryAndTheExtensionRules)
{
    const std::string colour = MakeJpeg(dir.File("c.JPG"), 17, 9, false);
    ASSERT_TRUE(LoadImageFile(colour, img));
    EXPECT_EQ(img.BitCount(), 24);
    EXPECT_EQ(img.Width(), 17);
    const std::uint32_t p = img.PixelARGB(16, 8);
    EXPECT_NEAR(static_cast<int>(p >> 16 & 0xFF), 0, 3);
    EXPECT_NEAR(static_cast<int>(p >> 8 & 0xFF), 100, 3);
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 200, 3);

    ASSERT_TRUE(LoadImageFile(MakeJpeg(dir.File("g.jpg"), 8, 8, true), img));
    EXPECT_EQ(img.BitCount(), 8);
    EXPECT_NEAR(img.RowPointer(3)[3], 90, 2);
    EXPECT_EQ(img.Palette()[4 * 200], 200);

    std::filesystem::copy_file(colour, dir.File("c.jpeg"));
    EXPECT_FALSE(LoadImageFile(dir.File("c.jpeg"), img));
    EXPECT_EQ(FileExtension("dir.v2\\name"), "");
    EXPECT_EQ(FileExtension("a/b.c/pic.Tga"), "Tga");
    EXPECT_EQ(FileExtension("pic."), "");

    // A file cut short is a failure, not a picture padded with grey.
    const std::string whole = test::ReadFile(colour);
    EXPECT_FALSE(LoadJPGFile(Write("cut.jpg", whole.substr(0, whole.size() / 2)), img));
    int rows = 0;
    auto stopAtThird = [](float, void* v) { return ++*static_cast<int*>(v) < 3; };
    EXPECT_FALSE(LoadJPGFile(colour, img, stopAtThird, &rows));
    EXPECT_EQ(rows, 3);
    EXPECT_FALSE(LoadImageFile(dir.File("missing.png"), img));
    EXPECT_FALSE(LoadPNGFile(Write("bad.png", std::string("\x89PNG\r\n\x1a\n garbage", 17)), img));
    // Only regular files are read.
    EXPECT_FALSE(LoadPPM(dir.Path().string(), img));
}

TEST(Textures, LoadingLooksInTheDocumentFolderAndReportsFailures)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "doc" / "TEXTURE");
    std::filesystem::create_directories(dir.Path() / "mine");
    DibStream grey;
    ASSERT_TRUE(grey.Create(4, 2, 8));
    ASSERT_TRUE(grey.SaveBMP(dir.File("doc/TEXTURE/wall.bmp")));
    DibStream wide;
    ASSERT_TRUE(wide.Create(8, 2, 32));
    ASSERT_TRUE(wide.SaveBMP(dir.File("mine/wall.bmp")));

    CKinovela scene;
    scene.m_materials.resize(3);
    scene.m_materials[0].m_texture = "wall.bmp";
    scene.m_materials[1].m_texture = "gone.png";
    TextureSearch search;
    search.documentFolders = {dir.File("doc")};
    const TextureReport report = LoadSceneTextures(scene, search);
    ASSERT_NE(scene.m_materials[0].m_image, nullptr);
    EXPECT_EQ(scene.m_materials[0].m_image->BitCount(), 24);  // converted from 8 bits
    EXPECT_EQ(scene.m_materials[0].m_image->Width(), 4);
    EXPECT_EQ(scene.m_materials[0].m_imagePath, dir.File("doc/TEXTURE/wall.bmp"));
    EXPECT_EQ(scene.m_materials[1].m_texture, "gone.png") << "a missing picture keeps its name";
    EXPECT_EQ(scene.m_materials[1].m_image, nullptr);
    EXPECT_EQ(scene.m_materials[2].m_image, nullptr);
    ASSERT_EQ(report.missing.size(), 1u);
    EXPECT_EQ(report.missing[0].name, "gone.png");
    EXPECT_EQ(report.missing[0].file, "");
    EXPECT_EQ(report.folders, (std::vector<std::string>{ModuleDirectory() + "TEXTURE", dir.File("doc"),
                                                         dir.File("doc/TEXTURE")}));

    // A folder of the user's choice comes first; a 32-bit picture stays 32.
    CMaterial m;
    m.m_texture = "wall.bmp";
    search.firstFolders = {dir.File("mine")};
    ASSERT_TRUE(LoadMaterialTexture(m, search));
    EXPECT_EQ(m.m_image->Width(), 8);
    EXPECT_EQ(m.m_image->BitCount(), 32);
    const CMaterial copy = m;  // copies share the decoded picture
    EXPECT_EQ(copy.m_image, m.m_image);

    EXPECT_EQ(FindTextureFile("sub\\wall.bmp", {dir.Path().string()}), "");
    std::filesystem::create_directories(dir.Path() / "sub");
    std::filesystem::copy_file(dir.File("mine/wall.bmp"), dir.File("sub/wall.bmp"));
    EXPECT_EQ(FindTextureFile("sub\\wall.bmp", {dir.Path().string()}), dir.Path().string() + "/sub/wall.bmp");
    // The second byte of a double-byte character is no folder separator:
    // "ソ" is 0x83 0x5C.
    EXPECT_EQ(NameAsPath("sub\\\x83\\.bmp"), "sub/\x83\\.bmp");
    EXPECT_EQ(NameAsPath("a\\b\\"), "a/b/");
    EXPECT_EQ(SplitFolderList(":/a/b::c:"), (std::vector<std::string>{"/a/b", "c"}));
}

}  // namespace
}  // namespace kinovela
