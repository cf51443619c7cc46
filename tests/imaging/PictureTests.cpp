// Tests of pictures and the stored picture format: each graphic class decoded through its class
// name, and broken layouts refused.
#include "imaging/Picture.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <random>

namespace Halcyra::Imaging {
namespace {

using Testing::MakeBitmap;
using Testing::MakeStoredPicture;

TBitmap32 Small()
{
    return MakeBitmap(9, 5, [](int x, int y) { return (x + y) % 2 ? 0xFFFFFFu : 0x000000u; });
}

TEST(Picture, EmptyPictureHasNoGraphic)
{
    TPicture picture;
    EXPECT_TRUE(picture.Empty());
    EXPECT_EQ(picture.ClassName(), "");
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Bitmap(), nullptr);
}

TEST(Picture, StoredBitmapDecodesAsTBitmap)
{
    auto load = TPicture::FromStored(MakeStoredPicture("TBitmap", Testing::MakeBmp8(Small())));
    ASSERT_TRUE(load.Picture) << load.Error;
    EXPECT_EQ(load.Picture->Kind(), TGraphicKind::Bitmap);
    EXPECT_EQ(load.Picture->ClassName(), "TBitmap");
    EXPECT_EQ(*load.Picture->Bitmap(), Small());
}

TEST(Picture, StoredGifDecodesAsTGIFImage)
{
    auto load = TPicture::FromStored(MakeStoredPicture("TGIFImage", Testing::MakeGif(Small())));
    ASSERT_TRUE(load.Picture) << load.Error;
    EXPECT_EQ(load.Picture->ClassName(), "TGIFImage");
    EXPECT_EQ(*load.Picture->Bitmap(), Small());
}

TEST(Picture, StoredJpegDecodesAsTJPEGImage)
{
    auto load = TPicture::FromStored(MakeStoredPicture("TJPEGImage", Testing::MakeJpeg(Small())));
    ASSERT_TRUE(load.Picture) << load.Error;
    EXPECT_EQ(load.Picture->Kind(), TGraphicKind::Jpeg);
    EXPECT_EQ(load.Picture->ClassName(), "TJPEGImage");
    EXPECT_EQ(load.Picture->Width(), 9);
    EXPECT_EQ(load.Picture->Height(), 5);
}

TEST(Picture, PixelsLetGoAreDecodedAgainFromTheFile)
{
    auto load = TPicture::FromStored(MakeStoredPicture("TGIFImage", Testing::MakeGif(Small())));
    ASSERT_TRUE(load.Picture) << load.Error;
    ASSERT_TRUE(load.Picture->CanDecodeAgain());
    const TPicture without = load.Picture->WithoutPixels();
    EXPECT_EQ(without.Bitmap(), nullptr);
    EXPECT_FALSE(without.Empty());
    EXPECT_EQ(without.ClassName(), "TGIFImage");
    EXPECT_EQ(without.Width(), 9);
    EXPECT_EQ(without.Height(), 5);
    EXPECT_NE(load.Picture->Bitmap(), nullptr) << "copies keep their own pixels";
    const TPicture again = without.WithPixels();
    ASSERT_NE(again.Bitmap(), nullptr);
    EXPECT_EQ(*again.Bitmap(), Small());
    EXPECT_EQ(again.Kind(), TGraphicKind::Gif);

    // Pixels that did not come from a file have nothing to be decoded again from: they stay.
    const TPicture made = TPicture::FromBitmap(Small());
    EXPECT_FALSE(made.CanDecodeAgain());
    EXPECT_EQ(made.WithoutPixels().Bitmap(), made.Bitmap());
}

TEST(Picture, ClassNameChoosesTheDecoder)
{
    // A bitmap file stored under the JPEG class is refused by the JPEG decoder.
    auto load = TPicture::FromStored(MakeStoredPicture("TJPEGImage", Testing::MakeBmp24(Small())));
    EXPECT_FALSE(load.Picture);
    EXPECT_EQ(load.Error, "Not a JPEG file");
}

TEST(Picture, UnknownClassIsRefused)
{
    auto load = TPicture::FromStored(MakeStoredPicture("TPngImage", Testing::MakeBmp24(Small())));
    EXPECT_FALSE(load.Picture);
    EXPECT_EQ(load.Error, "Unknown graphic class TPngImage");
}

TEST(Picture, CountPastTheDataIsRefused)
{
    auto stored = MakeStoredPicture("TBitmap", Testing::MakeBmp24(Small()));
    stored.pop_back();
    auto load = TPicture::FromStored(stored);
    EXPECT_FALSE(load.Picture);
    EXPECT_EQ(load.Error, "Stored picture data truncated");
}

TEST(Picture, HeaderTruncationsAreRefused)
{
    EXPECT_EQ(TPicture::FromStored({}).Error, "Stored picture is empty");
    const std::vector<std::uint8_t> noName{0, 0, 0, 0, 0};
    EXPECT_EQ(TPicture::FromStored(noName).Error, "Stored picture header truncated");
    const std::vector<std::uint8_t> shortName{7, 'T', 'B', 'i'};
    EXPECT_EQ(TPicture::FromStored(shortName).Error, "Stored picture header truncated");
    const std::vector<std::uint8_t> hugeCount{1, 'X', 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};
    EXPECT_EQ(TPicture::FromStored(hugeCount).Error, "Stored picture data truncated");
}

TEST(Picture, TrailingBytesAfterTheCountedFileAreIgnored)
{
    auto stored = MakeStoredPicture("TBitmap", Testing::MakeBmp24(Small()));
    stored.push_back(0xAA);
    auto load = TPicture::FromStored(stored);
    ASSERT_TRUE(load.Picture) << load.Error;
    EXPECT_EQ(*load.Picture->Bitmap(), Small());
}

TEST(Picture, CopiesShareThePixels)
{
    const auto picture = TPicture::FromBitmap(Small());
    const TPicture copy = picture;
    EXPECT_EQ(copy.Bitmap(), picture.Bitmap());
    EXPECT_EQ(copy.ClassName(), "TBitmap");
}

TEST(Picture, StoredReaderSurvivesRandomDamage)
{
    const std::vector<std::vector<std::uint8_t>> seeds{
        MakeStoredPicture("TBitmap", Testing::MakeBmpRle8(Small())),
        MakeStoredPicture("TGIFImage", Testing::MakeGif(Small())),
        MakeStoredPicture("TJPEGImage", Testing::MakeJpeg(Small())),
    };
    std::mt19937 random(99u);
    for (int round = 0; round < 600; ++round) {
        auto stored = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 5);
        for (int edit = 0; edit < edits; ++edit) {
            const std::size_t at = (random() % 2) ? random() % stored.size() : random() % std::min<std::size_t>(stored.size(), 40);
            stored[at] = static_cast<std::uint8_t>(random());
        }
        if (random() % 5 == 0)
            stored.resize(random() % stored.size());
        auto load = TPicture::FromStored(stored);
        EXPECT_NE(load.Picture.has_value(), !load.Error.empty());
    }
}

} // namespace
} // namespace Halcyra::Imaging
