// Tests of the GIF decoder: palette pictures decoded exactly, and damaged files failing cleanly.
#include "imaging/GifDecoder.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <random>

namespace Halcyra::Imaging {
namespace {

using Testing::MakeBitmap;
using Testing::MakeGif;

TBitmap32 Panel()
{
    return MakeBitmap(23, 9, [](int x, int y) {
        if (y == 0 || y == 8 || x == 0 || x == 22)
            return 0x808080u;
        return x > 5 && x < 12 ? 0xFFFFFFu : 0x000000u;
    });
}

TEST(GifDecoder, DecodesExactly)
{
    const auto picture = Panel();
    auto result = DecodeGif(MakeGif(picture));
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(*result.Bitmap, picture);
}

TEST(GifDecoder, RejectsFilesThatAreNotGif)
{
    EXPECT_EQ(DecodeGif({}).Error, "Not a GIF file");
    const std::vector<std::uint8_t> jpeg{0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0};
    EXPECT_EQ(DecodeGif(jpeg).Error, "Not a GIF file");
}

TEST(GifDecoder, RejectsAFileWithoutImage)
{
    auto file = MakeGif(Panel());
    // Header (6), screen descriptor (7), the global palette, then the trailer alone.
    const std::size_t paletteBytes = 3u << ((file[10] & 0x07) + 1);
    file.resize(13 + paletteBytes);
    file.push_back(0x3B);
    auto result = DecodeGif(file);
    EXPECT_FALSE(result.Bitmap);
    EXPECT_EQ(result.Error, "GIF has no image");
}

TEST(GifDecoder, RejectsAHugeScreen)
{
    auto file = MakeGif(Panel());
    file[6] = file[7] = file[8] = file[9] = 0xFF;
    auto result = DecodeGif(file);
    EXPECT_FALSE(result.Bitmap);
    EXPECT_EQ(result.Error, "GIF size invalid");
}

TEST(GifDecoder, RejectsTruncationsAtEveryLength)
{
    const auto file = MakeGif(Panel());
    for (std::size_t length = 0; length + 1 < file.size(); ++length) {
        const std::vector<std::uint8_t> part(file.begin(), file.begin() + static_cast<long>(length));
        auto result = DecodeGif(part);
        // A file cut only in its trailer still holds the whole image.
        EXPECT_NE(result.Bitmap.has_value(), !result.Error.empty()) << "length " << length;
    }
}

TEST(GifDecoder, SurvivesRandomDamage)
{
    const auto seed = MakeGif(Panel());
    std::mt19937 random(4242u);
    for (int round = 0; round < 700; ++round) {
        auto file = seed;
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int edit = 0; edit < edits; ++edit)
            file[3 + random() % (file.size() - 3)] = static_cast<std::uint8_t>(random());
        auto result = DecodeGif(file);
        EXPECT_NE(result.Bitmap.has_value(), !result.Error.empty());
    }
}

} // namespace
} // namespace Halcyra::Imaging
