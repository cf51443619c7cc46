// Tests of the JPEG decoder: colours and sizes of encoded pictures, and damaged files failing
// cleanly.
#include "imaging/JpegDecoder.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace Halcyra::Imaging {
namespace {

using Testing::MakeBitmap;
using Testing::MakeJpeg;

// Whether two colours differ by at most the tolerance in every channel (JPEG is lossy).
bool Near(std::uint32_t a, std::uint32_t b, int tolerance = 6)
{
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

TEST(JpegDecoder, DecodesSizeAndFlatColours)
{
    // Four 16-pixel blocks of flat colour, aligned to the 8-pixel blocks of the format.
    const auto picture = MakeBitmap(32, 24, [](int x, int y) {
        if (y < 16)
            return x < 16 ? 0xFF0000u : 0x00FF00u;
        return x < 16 ? 0x0000FFu : 0xFFFFFFu;
    });
    auto result = DecodeJpeg(MakeJpeg(picture));
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(result.Bitmap->Width(), 32);
    EXPECT_EQ(result.Bitmap->Height(), 24);
    EXPECT_TRUE(Near(result.Bitmap->GetPixel(4, 4), 0xFF0000u)) << std::hex << result.Bitmap->GetPixel(4, 4);
    EXPECT_TRUE(Near(result.Bitmap->GetPixel(27, 4), 0x00FF00u));
    EXPECT_TRUE(Near(result.Bitmap->GetPixel(4, 20), 0x0000FFu));
    EXPECT_TRUE(Near(result.Bitmap->GetPixel(27, 20), 0xFFFFFFu));
}

TEST(JpegDecoder, DecodesATallStrip)
{
    const auto picture = MakeBitmap(72, 384, [](int, int y) { return (y / 12) % 2 ? 0x000000u : 0xFFFFFFu; });
    auto result = DecodeJpeg(MakeJpeg(picture));
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(result.Bitmap->Height(), 384);
    EXPECT_TRUE(Near(result.Bitmap->GetPixel(30, 5), 0xFFFFFFu, 20));
    EXPECT_TRUE(Near(result.Bitmap->GetPixel(30, 17), 0x000000u, 20));
}

TEST(JpegDecoder, RejectsFilesThatAreNotJpeg)
{
    EXPECT_EQ(DecodeJpeg({}).Error, "Not a JPEG file");
    const std::vector<std::uint8_t> bmp{'B', 'M', 0, 0, 0, 0};
    EXPECT_EQ(DecodeJpeg(bmp).Error, "Not a JPEG file");
}

TEST(JpegDecoder, RejectsAFileCutInItsHeader)
{
    const auto file = MakeJpeg(MakeBitmap(16, 16, [](int, int) { return 0x808080u; }));
    const std::vector<std::uint8_t> head(file.begin(), file.begin() + 40);
    auto result = DecodeJpeg(head);
    EXPECT_FALSE(result.Bitmap);
    EXPECT_EQ(result.Error.rfind("JPEG error: ", 0), 0u) << result.Error;
}

TEST(JpegDecoder, RejectsAHugeDeclaredSizeBeforeAllocating)
{
    auto file = MakeJpeg(MakeBitmap(16, 16, [](int, int) { return 0x808080u; }));
    // The start-of-frame marker carries height and width as big-endian 16-bit values.
    for (std::size_t at = 2; at + 8 < file.size(); ++at) {
        if (file[at] == 0xFF && (file[at + 1] == 0xC0 || file[at + 1] == 0xC2)) {
            // 61440 by 61440: within the format's limit, far beyond the decoder's.
            file[at + 5] = 0xF0;
            file[at + 6] = 0x00;
            file[at + 7] = 0xF0;
            file[at + 8] = 0x00;
            break;
        }
    }
    auto result = DecodeJpeg(file);
    EXPECT_FALSE(result.Bitmap);
    EXPECT_EQ(result.Error, "JPEG too large");
}

TEST(JpegDecoder, SurvivesRandomDamage)
{
    const auto seed = MakeJpeg(MakeBitmap(40, 24, [](int x, int y) { return static_cast<std::uint32_t>(x * 0x060402 + y * 0x010203); }));
    std::mt19937 random(77u);
    for (int round = 0; round < 300; ++round) {
        auto file = seed;
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int edit = 0; edit < edits; ++edit)
            file[2 + random() % (file.size() - 2)] = static_cast<std::uint8_t>(random());
        if (random() % 3 == 0)
            file.resize(2 + random() % (file.size() - 2));
        auto result = DecodeJpeg(file);
        EXPECT_NE(result.Bitmap.has_value(), !result.Error.empty());
    }
}

} // namespace
} // namespace Halcyra::Imaging
