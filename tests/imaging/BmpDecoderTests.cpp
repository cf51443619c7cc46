// Tests of the bitmap decoder: every accepted layout against the pixels it was built from, and
// malformed files (truncations, lying headers, corrupt runs, random damage) failing cleanly.
#include "imaging/BmpDecoder.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace Halcyra::Imaging {
namespace {

using Testing::DibOf;
using Testing::MakeBitmap;
using Testing::MakeBmp24;
using Testing::MakeBmp8;
using Testing::MakeBmpRle8;
using Testing::TBmpRows;

// A 5 by 3 picture whose rows and columns all differ, so a flipped or shifted decode shows.
TBitmap32 Sample()
{
    return MakeBitmap(5, 3, [](int x, int y) { return static_cast<std::uint32_t>(0x102030 * (y + 1) + 0x000011 * x); });
}

// A few colours with runs, for palette and run-length layouts.
TBitmap32 PaletteSample()
{
    const std::uint32_t colours[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
    return MakeBitmap(37, 6, [&](int x, int y) { return colours[(x / 7 + y + (x % 3 == 0 && y == 2)) % 5]; });
}

void PutU32(std::vector<std::uint8_t> &bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(BmpDecoder, Decodes24BitBottomUp)
{
    const auto picture = Sample();
    auto result = DecodeBmpFile(MakeBmp24(picture));
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_TRUE(result.Error.empty());
    EXPECT_EQ(*result.Bitmap, picture);
}

TEST(BmpDecoder, Decodes24BitTopDown)
{
    const auto picture = Sample();
    auto result = DecodeBmpFile(MakeBmp24(picture, TBmpRows::TopDown));
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(*result.Bitmap, picture);
}

TEST(BmpDecoder, Decodes8BitPaletteBothDirections)
{
    const auto picture = PaletteSample();
    auto bottomUp = DecodeBmpFile(MakeBmp8(picture));
    ASSERT_TRUE(bottomUp.Bitmap) << bottomUp.Error;
    EXPECT_EQ(*bottomUp.Bitmap, picture);
    auto topDown = DecodeBmpFile(MakeBmp8(picture, TBmpRows::TopDown));
    ASSERT_TRUE(topDown.Bitmap) << topDown.Error;
    EXPECT_EQ(*topDown.Bitmap, picture);
}

TEST(BmpDecoder, DecodesRle8)
{
    const auto picture = PaletteSample();
    auto result = DecodeBmpFile(MakeBmpRle8(picture));
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(*result.Bitmap, picture);
}

TEST(BmpDecoder, DecodesDibsWithoutFileHeader)
{
    const auto picture = PaletteSample();
    for (const auto &file : {MakeBmp24(picture), MakeBmp8(picture), MakeBmpRle8(picture)}) {
        auto result = DecodeDib(DibOf(file));
        ASSERT_TRUE(result.Bitmap) << result.Error;
        EXPECT_EQ(*result.Bitmap, picture);
    }
}

TEST(BmpDecoder, Rle8DeltaLeavesSkippedPixelsAtPaletteEntryZero)
{
    const auto picture = MakeBitmap(4, 2, [](int, int) { return 0x112233u; });
    auto file = MakeBmp8(picture);
    // Re-encode by hand: palette {0x112233, 0x445566}; bottom line: 1 pixel of index 1, delta (2, 0),
    // 1 pixel of index 1; then end of bitmap.
    file.resize(14 + 40);
    PutU32(file, 14 + 16, 1);  // BI_RLE8
    PutU32(file, 14 + 32, 2);  // two colours
    const std::uint8_t palette[] = {0x33, 0x22, 0x11, 0, 0x66, 0x55, 0x44, 0};
    file.insert(file.end(), std::begin(palette), std::end(palette));
    PutU32(file, 10, static_cast<std::uint32_t>(file.size()));
    const std::uint8_t bits[] = {1, 1, 0, 2, 2, 0, 1, 1, 0, 1};
    file.insert(file.end(), std::begin(bits), std::end(bits));
    auto result = DecodeBmpFile(file);
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(result.Bitmap->GetPixel(0, 1), 0x445566u);
    EXPECT_EQ(result.Bitmap->GetPixel(1, 1), 0x112233u);
    EXPECT_EQ(result.Bitmap->GetPixel(2, 1), 0x112233u);
    EXPECT_EQ(result.Bitmap->GetPixel(3, 1), 0x445566u);
    EXPECT_EQ(result.Bitmap->GetPixel(0, 0), 0x112233u);
}

TEST(BmpDecoder, Rle8RunsPastTheRightEdgeAreCut)
{
    auto file = MakeBmp8(MakeBitmap(3, 1, [](int, int) { return 0u; }));
    file.resize(14 + 40 + 4);
    PutU32(file, 14 + 16, 1);
    PutU32(file, 14 + 32, 1);
    PutU32(file, 10, static_cast<std::uint32_t>(file.size()));
    const std::uint8_t bits[] = {200, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 1};
    file.insert(file.end(), std::begin(bits), std::end(bits));
    auto result = DecodeBmpFile(file);
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(result.Bitmap->Width(), 3);
}

TEST(BmpDecoder, Rle8DeltasStopAtTheRightEdgeHoweverManyThereAre)
{
    // Palette {black, white}, 4 by 2: enough deltas of 255 to the right to carry a 32-bit position
    // past its largest value, then a white pixel (cut: past the edge), the end of the line, and a
    // white pixel at the start of the top line.
    auto file = MakeBmp8(MakeBitmap(4, 2, [](int, int) { return 0u; }));
    file.resize(14 + 40);
    PutU32(file, 14 + 16, 1);
    PutU32(file, 14 + 32, 2);
    const std::uint8_t palette[] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};
    file.insert(file.end(), std::begin(palette), std::end(palette));
    PutU32(file, 10, static_cast<std::uint32_t>(file.size()));
    constexpr std::size_t Deltas = (std::size_t{1} << 31) / 255 + 1;
    const std::size_t deltasAt = file.size();
    file.resize(deltasAt + Deltas * 4);
    const std::uint8_t delta[] = {0, 2, 255, 0};
    for (std::size_t at = deltasAt; at < file.size(); at += 4)
        std::memcpy(file.data() + at, delta, 4);
    file.insert(file.end(), {1, 1, 0, 0, 1, 1, 0, 1});
    auto result = DecodeBmpFile(file);
    ASSERT_TRUE(result.Bitmap) << result.Error;
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(result.Bitmap->GetPixel(x, 1), 0u) << x;
    EXPECT_EQ(result.Bitmap->GetPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(result.Bitmap->GetPixel(1, 0), 0u);
}

TEST(BmpDecoder, Rle8LiteralRunBeyondTheDataFails)
{
    auto file = MakeBmp8(MakeBitmap(8, 1, [](int, int) { return 0u; }));
    file.resize(14 + 40 + 4);
    PutU32(file, 14 + 16, 1);
    PutU32(file, 14 + 32, 1);
    PutU32(file, 10, static_cast<std::uint32_t>(file.size()));
    const std::uint8_t bits[] = {0, 8, 0, 0, 0};
    file.insert(file.end(), std::begin(bits), std::end(bits));
    auto result = DecodeBmpFile(file);
    EXPECT_FALSE(result.Bitmap);
    EXPECT_FALSE(result.Error.empty());
}

TEST(BmpDecoder, RejectsFilesThatAreNotBitmaps)
{
    EXPECT_FALSE(DecodeBmpFile({}).Bitmap);
    const std::vector<std::uint8_t> text{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    auto result = DecodeBmpFile(text);
    EXPECT_FALSE(result.Bitmap);
    EXPECT_EQ(result.Error, "Not a bitmap file");
}

TEST(BmpDecoder, RejectsTruncatedFilesAtEveryLength)
{
    const auto file = MakeBmp24(Sample());
    for (std::size_t length = 0; length < file.size(); ++length) {
        const std::vector<std::uint8_t> part(file.begin(), file.begin() + static_cast<long>(length));
        auto result = DecodeBmpFile(part);
        EXPECT_FALSE(result.Bitmap) << "length " << length;
        EXPECT_FALSE(result.Error.empty()) << "length " << length;
    }
}

TEST(BmpDecoder, RejectsLyingSizesWithoutAllocating)
{
    auto file = MakeBmp24(Sample());
    PutU32(file, 14 + 4, 60000);
    PutU32(file, 14 + 8, 60000);
    auto huge = DecodeBmpFile(file);
    EXPECT_FALSE(huge.Bitmap);
    EXPECT_EQ(huge.Error, "Bitmap too large");

    PutU32(file, 14 + 4, 4000);
    PutU32(file, 14 + 8, 4000);
    auto truncated = DecodeBmpFile(file);
    EXPECT_FALSE(truncated.Bitmap);
    EXPECT_EQ(truncated.Error, "Truncated bitmap data");

    PutU32(file, 14 + 8, 0x80000000u);
    EXPECT_FALSE(DecodeBmpFile(file).Bitmap);
    PutU32(file, 14 + 4, 0);
    PutU32(file, 14 + 8, 3);
    EXPECT_EQ(DecodeBmpFile(file).Error, "Invalid bitmap size");
}

TEST(BmpDecoder, RejectsOversizedPalettesAndUnknownLayouts)
{
    auto file = MakeBmp8(PaletteSample());
    auto oversized = file;
    PutU32(oversized, 14 + 32, 257);
    EXPECT_EQ(DecodeBmpFile(oversized).Error, "Invalid bitmap palette size");

    auto depth = file;
    depth[14 + 14] = 16;
    EXPECT_EQ(DecodeBmpFile(depth).Error, "Unsupported bitmap bit depth");

    auto compression = file;
    PutU32(compression, 14 + 16, 4);
    EXPECT_EQ(DecodeBmpFile(compression).Error, "Unsupported bitmap compression");

    auto header = file;
    PutU32(header, 14, 41);
    EXPECT_EQ(DecodeBmpFile(header).Error, "Unsupported bitmap header");

    auto offset = file;
    PutU32(offset, 10, static_cast<std::uint32_t>(file.size() + 1));
    EXPECT_EQ(DecodeBmpFile(offset).Error, "Invalid bitmap data offset");
}

TEST(BmpDecoder, PaletteIndicesBeyondThePaletteDecodeAsBlack)
{
    auto file = MakeBmp8(MakeBitmap(4, 1, [](int, int) { return 0xFFFFFFu; }));
    file[file.size() - 4] = 200;
    auto result = DecodeBmpFile(file);
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(result.Bitmap->GetPixel(0, 0), 0u);
    EXPECT_EQ(result.Bitmap->GetPixel(1, 0), 0xFFFFFFu);
}

// Random damage to valid files of each layout: the decoder must return (under the sanitizers, with
// no invalid access) either a bitmap or an error text.
TEST(BmpDecoder, SurvivesRandomDamage)
{
    const auto picture = PaletteSample();
    const std::vector<std::vector<std::uint8_t>> seeds{MakeBmp24(picture), MakeBmp8(picture), MakeBmpRle8(picture),
                                                       MakeBmp8(picture, TBmpRows::TopDown)};
    std::mt19937 random(20240611u);
    for (int round = 0; round < 1200; ++round) {
        auto file = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int edit = 0; edit < edits; ++edit) {
            const std::size_t at = random() % file.size();
            // Most damage goes to the headers, where the sizes and offsets are.
            const std::size_t place = (random() % 3 == 0) ? at : at % 70;
            file[place] = static_cast<std::uint8_t>(random());
        }
        if (random() % 4 == 0)
            file.resize(random() % file.size());
        auto result = (round & 1) ? DecodeBmpFile(file) : DecodeDib(file.size() > 14 ? DibOf(file) : file);
        EXPECT_NE(result.Bitmap.has_value(), !result.Error.empty());
        if (result.Bitmap) {
            EXPECT_LE(static_cast<std::int64_t>(result.Bitmap->Width()) * result.Bitmap->Height(), TBitmap32::MaxPixels);
        }
    }
}

} // namespace
} // namespace Halcyra::Imaging
