// Tests of the in-memory bitmap: its factory limits, pixel access, cropping, scaling and drawing.
#include "imaging/Bitmap32.h"

#include <gtest/gtest.h>

namespace Halcyra::Imaging {
namespace {

TEST(Bitmap32, CreateRefusesNonPositiveSizes)
{
    EXPECT_FALSE(TBitmap32::Create(0, 10));
    EXPECT_FALSE(TBitmap32::Create(10, 0));
    EXPECT_FALSE(TBitmap32::Create(-1, 10));
    EXPECT_FALSE(TBitmap32::Create(10, -1));
}

TEST(Bitmap32, CreateRefusesAbsurdSizes)
{
    EXPECT_FALSE(TBitmap32::Create(65536, 65536));
    EXPECT_FALSE(TBitmap32::Create(8193, 8192));
    EXPECT_FALSE(TBitmap32::Create(2147483647, 2147483647));
}

TEST(Bitmap32, CreateGivesABlackBitmapOfTheSize)
{
    auto bitmap = TBitmap32::Create(3, 2);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->Width(), 3);
    EXPECT_EQ(bitmap->Height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(bitmap->GetPixel(x, y), 0u);
}

TEST(Bitmap32, SetPixelKeepsOnlyTheColourBytes)
{
    auto bitmap = TBitmap32::Create(2, 2);
    bitmap->SetPixel(1, 0, 0xFF123456u);
    EXPECT_EQ(bitmap->GetPixel(1, 0), 0x00123456u);
    EXPECT_EQ(bitmap->Row(0)[1], 0x00123456u);
    EXPECT_EQ(bitmap->GetPixel(0, 1), 0u);
}

TEST(Bitmap32, RowsAreTopDown)
{
    auto bitmap = TBitmap32::Create(2, 3);
    bitmap->Row(2)[0] = 0xABCDEFu;
    EXPECT_EQ(bitmap->GetPixel(0, 2), 0xABCDEFu);
}

TEST(Bitmap32, CropCopiesTheRectangleAndRefusesOneOutside)
{
    auto bitmap = TBitmap32::Create(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            bitmap->SetPixel(x, y, static_cast<std::uint32_t>(y * 16 + x));
    auto part = bitmap->Crop(1, 2, 3, 2);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->Width(), 3);
    EXPECT_EQ(part->GetPixel(0, 0), 0x21u);
    EXPECT_EQ(part->GetPixel(2, 1), 0x33u);
    EXPECT_FALSE(bitmap->Crop(2, 0, 3, 1));
    EXPECT_FALSE(bitmap->Crop(-1, 0, 1, 1));
    EXPECT_FALSE(bitmap->Crop(0, 0, 0, 1));
}

TEST(Bitmap32, ScaledSamplesNearestPixels)
{
    auto bitmap = TBitmap32::Create(2, 2);
    bitmap->SetPixel(0, 0, 1);
    bitmap->SetPixel(1, 0, 2);
    bitmap->SetPixel(0, 1, 3);
    bitmap->SetPixel(1, 1, 4);
    auto bigger = bitmap->Scaled(4, 4);
    ASSERT_TRUE(bigger);
    EXPECT_EQ(bigger->GetPixel(1, 1), 1u);
    EXPECT_EQ(bigger->GetPixel(2, 1), 2u);
    EXPECT_EQ(bigger->GetPixel(3, 3), 4u);
    auto smaller = bitmap->Scaled(1, 1);
    ASSERT_TRUE(smaller);
    EXPECT_EQ(smaller->GetPixel(0, 0), 1u);
    EXPECT_FALSE(bitmap->Scaled(0, 1));
}

// A 3 by 2 picture whose bottom-left pixel (the transparent colour) is 0x00FF00.
TBitmap32 KeyedPicture()
{
    auto picture = TBitmap32::Create(3, 2);
    picture->Fill(0x00FF00);
    picture->SetPixel(1, 0, 0xAA0000);
    picture->SetPixel(2, 1, 0x0000BB);
    return *picture;
}

TEST(Bitmap32, DrawCopiesEveryPixelAndClipsAtEachEdge)
{
    struct TCase {
        int X, Y;
        int ProbeX, ProbeY;
        std::uint32_t Expected;
    };
    const TCase cases[] = {
        {0, 0, 1, 0, 0xAA0000},  {0, 0, 0, 1, 0x00FF00},  {3, 2, 4, 2, 0xAA0000}, {-1, 0, 0, 0, 0xAA0000},
        {0, -1, 2, 0, 0x0000BB}, {3, 3, 4, 3, 0xAA0000}, {4, 0, 3, 0, 0x123456},
    };
    for (const TCase &test : cases) {
        SCOPED_TRACE(testing::Message() << test.X << "," << test.Y);
        auto target = TBitmap32::Create(6, 4);
        target->Fill(0x123456);
        target->Draw(test.X, test.Y, KeyedPicture());
        EXPECT_EQ(target->GetPixel(test.ProbeX, test.ProbeY), test.Expected);
    }
}

TEST(Bitmap32, DrawTransparentLeavesTheBottomLeftColourOut)
{
    auto target = TBitmap32::Create(4, 3);
    target->Fill(0x123456);
    target->DrawTransparent(1, 1, KeyedPicture());
    EXPECT_EQ(target->GetPixel(1, 1), 0x123456u);
    EXPECT_EQ(target->GetPixel(2, 1), 0xAA0000u);
    EXPECT_EQ(target->GetPixel(3, 2), 0x0000BBu);
    EXPECT_EQ(target->GetPixel(1, 2), 0x123456u);
    EXPECT_EQ(KeyedPicture().TransparentColour(), 0x00FF00u);
}

TEST(Bitmap32, DrawingFarOutsideChangesNothing)
{
    for (auto [x, y] : {std::pair{-2147483647, 0}, {2147483647, 0}, {0, -2147483647}, {0, 2147483647}}) {
        auto target = TBitmap32::Create(2, 2);
        target->Draw(x, y, KeyedPicture());
        target->DrawTransparent(x, y, KeyedPicture());
        EXPECT_EQ(target, TBitmap32::Create(2, 2));
    }
}

} // namespace
} // namespace Halcyra::Imaging
