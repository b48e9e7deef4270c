#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "TestUtil.h"
#include "image/Decoders.h"
#include "image/DibStream.h"
#include "image/Textures.h"

namespace kinovela {
namespace {

void SetPixel24(DibStream& img, int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    std::uint8_t* p = img.RowPointer(y) + 3 * x;
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

// A 24-bit picture whose every pixel is distinct.
void FillPattern(DibStream& img)
{
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x)
            SetPixel24(img, x, y, static_cast<std::uint8_t>(x * 3), static_cast<std::uint8_t>(y * 5),
                       static_cast<std::uint8_t>(x + y));
}

TEST(DibStream, CreateBuildsHeaderPaletteAndStride)
{
    DibStream img;
    ASSERT_TRUE(img.Create(13, -7, 24));
    EXPECT_EQ(img.Stride(), 40u);  // 39 bytes padded to 40
    EXPECT_TRUE(img.IsTopDown());
    EXPECT_EQ(img.Height(), 7);
    EXPECT_EQ(img.ImageSize(), 280u);
    EXPECT_EQ(img.ColourCount(), 0);
    EXPECT_EQ(img.RowPointer(0), img.Bits());
    EXPECT_EQ(img.RowPointer(7), nullptr);

    ASSERT_TRUE(img.Create(3, 2, 1));
    EXPECT_EQ(img.Stride(), 4u);
    EXPECT_EQ(img.ColourCount(), 2);
    EXPECT_EQ(img.RowPointer(0), img.Bits() + 4);  // bottom-up: the top row is stored last
    const std::uint8_t mono[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    EXPECT_EQ(std::memcmp(img.Palette(), mono, 8), 0);

    ASSERT_TRUE(img.Create(2, 2, 4));
    img.SetGreyPalette();
    EXPECT_EQ(img.Palette()[4 * 15], 255);
    EXPECT_EQ(img.Palette()[4 * 1], 17);

    EXPECT_FALSE(img.Create(4, 4, 2));
    EXPECT_FALSE(img.Create(0, 4, 24));
    EXPECT_FALSE(img.Create(65537, 1, 8));
    EXPECT_FALSE(img.Create(32768, 16384, 8));  // 2^29 pixels
    EXPECT_TRUE(img.Empty());
}

TEST(DibStream, ChangeBitDepthExpandsEveryDepth)
{
    DibStream grey;
    ASSERT_TRUE(grey.Create(3, 1, 8));
    grey.Bits()[0] = 0;
    grey.Bits()[1] = 77;
    grey.Bits()[2] = 255;
    ASSERT_TRUE(grey.ChangeBitDepth(24));
    EXPECT_EQ(grey.BitCount(), 24);
    const std::uint8_t expect[9] = {0, 0, 0, 77, 77, 77, 255, 255, 255};
    EXPECT_EQ(std::memcmp(grey.Bits(), expect, 9), 0);

    DibStream hi;
    ASSERT_TRUE(hi.Create(2, -1, 16));
    PutU16(hi.Bits(), 0x7FFF);
    PutU16(hi.Bits() + 2, 0x001F | (0x01 << 10));
    ASSERT_TRUE(hi.ChangeBitDepth(24));
    EXPECT_TRUE(hi.IsTopDown());  // the row order is kept
    const std::uint8_t hiExpect[6] = {248, 248, 248, 248, 0, 8};
    EXPECT_EQ(std::memcmp(hi.Bits(), hiExpect, 6), 0);

    DibStream nibbles;
    ASSERT_TRUE(nibbles.Create(3, 1, 4));
    nibbles.SetGreyPalette();
    nibbles.Bits()[0] = 0x1F;
    nibbles.Bits()[1] = 0x20;
    ASSERT_TRUE(nibbles.ChangeBitDepth(24));
    EXPECT_EQ(nibbles.Bits()[0], 17);
    EXPECT_EQ(nibbles.Bits()[3], 255);
    EXPECT_EQ(nibbles.Bits()[6], 34);

    DibStream bits;
    ASSERT_TRUE(bits.Create(9, 1, 1));
    bits.Bits()[0] = 0x80;
    bits.Bits()[1] = 0x80;  // pixel 8
    ASSERT_TRUE(bits.ChangeBitDepth(24));
    EXPECT_EQ(bits.Bits()[0], 255);
    EXPECT_EQ(bits.Bits()[3], 0);
    EXPECT_EQ(bits.Bits()[24], 255);

    // A palette shorter than the indices reach reads black, never past the block.
    DibStream shortPalette;
    std::vector<std::uint8_t> header(40 + 4 * 2, 0);
    PutU32(header.data(), 40);
    PutU32(header.data() + 4, 1);
    PutU32(header.data() + 8, 1);
    PutU16(header.data() + 12, 1);
    PutU16(header.data() + 14, 8);
    PutU32(header.data() + 32, 2);
    std::memset(header.data() + 40, 200, 8);
    const std::uint8_t pixel[4] = {250, 0, 0, 0};
    ASSERT_TRUE(shortPalette.CopyFrom(header, pixel));
    ASSERT_TRUE(shortPalette.ChangeBitDepth(24));
    EXPECT_EQ(shortPalette.Bits()[0], 0);

    DibStream none;
    EXPECT_FALSE(none.ChangeBitDepth(24));
    EXPECT_FALSE(grey.ChangeBitDepth(32));
}

TEST(DibStream, SwapRedBlueLeavesRowPadding)
{
    DibStream img;
    ASSERT_TRUE(img.Create(3, 2, 24));
    for (std::size_t i = 0; i < img.ImageSize(); ++i) img.Bits()[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(img.SwapRedBlue());
    for (int r = 0; r < 2; ++r) {
        const std::uint8_t* row = img.Bits() + 12 * r;
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(row[3 * x], 12 * r + 3 * x + 2);
            EXPECT_EQ(row[3 * x + 2], 12 * r + 3 * x);
        }
        for (int pad = 9; pad < 12; ++pad) EXPECT_EQ(row[pad], 12 * r + pad);
    }
}

TEST(DibStream, ResizeKeepsCornersAndBlendsBetween)
{
    DibStream img;
    ASSERT_TRUE(img.Create(64, 64, 24));
    FillPattern(img);
    auto copy = img.Clone();
    ASSERT_TRUE(img.Resize(32, 32));
    EXPECT_EQ(img.Width(), 32);
    EXPECT_EQ(img.Height(), 32);
    EXPECT_EQ(img.PixelARGB(0, 0), copy->PixelARGB(0, 0));
    EXPECT_EQ(img.PixelARGB(31, 31), copy->PixelARGB(63, 63));
    EXPECT_EQ(img.PixelARGB(31, 0), copy->PixelARGB(63, 0));
    // Halfway along a linear ramp a blend stays between its neighbours.
    const std::uint32_t mid = img.PixelARGB(16, 0) & 0xFF;
    EXPECT_GE(mid, (copy->PixelARGB(32, 0) & 0xFF) - 3);
    EXPECT_LE(mid, (copy->PixelARGB(33, 0) & 0xFF) + 3);

    DibStream top;
    ASSERT_TRUE(top.Create(4, -4, 8));
    for (int i = 0; i < 16; ++i) top.Bits()[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(top.Resize(2, 2));
    EXPECT_TRUE(top.IsTopDown());
    EXPECT_EQ(top.RowPointer(0)[0], 0);   // nearest neighbour for palette pictures
    EXPECT_EQ(top.RowPointer(1)[1], 15);

    DibStream tiny;
    ASSERT_TRUE(tiny.Create(1, 4, 24));
    EXPECT_FALSE(tiny.Resize(32, 32));
    EXPECT_FALSE(top.Resize(1, 8));
}

TEST(DibStream, PixelARGBAndTheTextureFill)
{
    DibStream img;
    ASSERT_TRUE(img.Create(2, 2, 24));
    SetPixel24(img, 0, 0, 1, 2, 3);
    SetPixel24(img, 1, 1, 9, 8, 7);
    EXPECT_EQ(img.PixelARGB(0, 0), 0xFF030201u);
    EXPECT_EQ(img.PixelARGB(5, 0), 0u);

    std::vector<std::uint32_t> out(2 * 3, 0xDEADBEEF);
    ASSERT_TRUE(FillA8R8G8B8(img, out, 3));
    EXPECT_EQ(out[0], 0xFF030201u);
    EXPECT_EQ(out[4], 0xFF070809u);
    EXPECT_EQ(out[2], 0xDEADBEEFu);  // the pitch's slack is not written
    EXPECT_FALSE(FillA8R8G8B8(img, std::span<std::uint32_t>(out.data(), 4), 3));

    DibStream alpha;
    ASSERT_TRUE(alpha.Create(1, 1, 32));
    PutU32(alpha.Bits(), 0x80112233);
    EXPECT_EQ(alpha.PixelARGB(0, 0), 0x80112233u);
}

TEST(DibStream, SaveBMPWritesBottomUpAndReadsBack)
{
    test::TempDir dir;
    DibStream img;
    ASSERT_TRUE(img.Create(5, -3, 24));
    FillPattern(img);
    const std::string path = dir.File("top.bmp");
    ASSERT_TRUE(img.SaveBMP(path));
    const std::string file = test::ReadFile(path);
    ASSERT_EQ(file.size(), 54u + 16 * 3);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    EXPECT_EQ(GetU32(bytes + 2), file.size());
    EXPECT_EQ(GetU32(bytes + 10), 54u);
    EXPECT_EQ(static_cast<std::int32_t>(GetU32(bytes + 22)), 3);  // positive height
    EXPECT_EQ(std::memcmp(bytes + 54, img.RowPointer(2), 15), 0);  // first stored row = bottom row

    DibStream back;
    ASSERT_TRUE(back.LoadBMP(path, 63));
    EXPECT_TRUE(back.IsBottomUp());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(back.PixelARGB(x, y), img.PixelARGB(x, y));

    DibStream pal;
    ASSERT_TRUE(pal.Create(3, 2, 8));
    pal.Bits()[0] = 9;
    ASSERT_TRUE(pal.SaveBMP(dir.File("pal.bmp")));
    ASSERT_TRUE(back.LoadBMP(dir.File("pal.bmp"), 0x04));
    EXPECT_EQ(back.ColourCount(), 256);
    EXPECT_EQ(back.Bits()[0], 9);
    EXPECT_EQ(back.Palette()[4 * 9], 9);
    EXPECT_FALSE(back.LoadBMP(dir.File("pal.bmp"), 0x10));  // 8 bits not allowed by the mask
    EXPECT_FALSE(img.SaveBMP(dir.File("missing/folder.bmp")));
}

TEST(DibStream, SaveTGARoundTripsEveryDepth)
{
    test::TempDir dir;
    // The file's own alpha survives decode then encode.
    DibStream rgba;
    ASSERT_TRUE(rgba.Create(3, 2, 32));
    for (int i = 0; i < 6; ++i) PutU32(rgba.Bits() + 4 * i, 0x01020304u * static_cast<std::uint32_t>(i + 1));
    ASSERT_TRUE(SaveTGA(dir.File("a.tga"), rgba));
    const std::string file = test::ReadFile(dir.File("a.tga"));
    ASSERT_EQ(file.size(), 18u + 24);
    EXPECT_EQ(static_cast<std::uint8_t>(file[17]), 8);
    EXPECT_EQ(static_cast<std::uint8_t>(file[18 + 3]), static_cast<std::uint8_t>(~rgba.RowPointer(1)[3]));
    DibStream back;
    ASSERT_TRUE(LoadTGA(dir.File("a.tga"), back));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(back.PixelARGB(x, y), rgba.PixelARGB(x, y));
    ASSERT_TRUE(SaveTGA(dir.File("b.tga"), back));
    EXPECT_EQ(test::ReadFile(dir.File("b.tga")), file);

    DibStream pal;
    ASSERT_TRUE(pal.Create(2, 2, 8));
    pal.Palette()[4 * 5 + 2] = 200;
    pal.RowPointer(0)[1] = 5;
    ASSERT_TRUE(SaveTGA(dir.File("p.tga"), pal));
    ASSERT_TRUE(LoadTGA(dir.File("p.tga"), back));
    EXPECT_EQ(back.BitCount(), 8);
    EXPECT_EQ(back.RowPointer(0)[1], 5);
    EXPECT_EQ(back.Palette()[4 * 5 + 2], 200);

    DibStream mono;  // below 8 bits goes out as 24
    ASSERT_TRUE(mono.Create(3, 1, 1));
    mono.Bits()[0] = 0x40;
    ASSERT_TRUE(SaveTGA(dir.File("m.tga"), mono));
    ASSERT_TRUE(LoadTGA(dir.File("m.tga"), back));
    EXPECT_EQ(back.BitCount(), 24);
    EXPECT_EQ(back.PixelARGB(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(back.PixelARGB(0, 0), 0xFF000000u);

    auto stop = [](float, void*) { return false; };
    EXPECT_FALSE(SaveTGA(dir.File("c.tga"), rgba, stop));
}

TEST(DibStream, CopyFromAndAttachRefuseInconsistentBlocks)
{
    DibStream img;
    ASSERT_TRUE(img.Create(4, 4, 8));
    img.Bits()[5] = 42;
    DibStream copy;
    ASSERT_TRUE(copy.CopyFrom(img.PackedHeader(), img.PixelBlock()));
    EXPECT_EQ(copy.Bits()[5], 42);
    EXPECT_EQ(std::memcmp(copy.Palette(), img.Palette(), 1024), 0);

    auto header = img.PackedHeader();
    auto pixels = img.PixelBlock();
    EXPECT_FALSE(copy.CopyFrom(header.first(100), pixels));
    EXPECT_FALSE(copy.CopyFrom(header, pixels.first(15)));
    EXPECT_TRUE(copy.Empty());

    EXPECT_FALSE(copy.Attach(ImageBlock::Allocate(40), ImageBlock::Allocate(16)));  // size field is 0
    ImageBlock h = ImageBlock::Allocate(40);
    PutU32(h.data(), 40);
    PutU32(h.data() + 4, 2);
    PutU32(h.data() + 8, static_cast<std::uint32_t>(-2));
    PutU16(h.data() + 14, 24);
    EXPECT_FALSE(copy.Attach(std::move(h), ImageBlock::Allocate(15)));  // two rows of 8 bytes needed
}

}  // namespace
}  // namespace kinovela
