// Tests of the configuration dialog's pictures and the preview bitmap as linked into the module:
// sizes, formats, the transparent colours taken from the bottom-left pixel, and buttons whose
// captions are drawn in.
#include "assets/AssetReading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace Halcyra::Testing {
namespace {

using Imaging::TBitmap32;

int CountDifferent(const TBitmap32 &a, const TBitmap32 &b)
{
    int count = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            count += a.GetPixel(x, y) != b.GetPixel(x, y) ? 1 : 0;
    return count;
}

int CountColour(const TBitmap32 &bitmap, std::uint32_t colour)
{
    int count = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            count += bitmap.GetPixel(x, y) == colour ? 1 : 0;
    return count;
}

TEST(DialogPictures, BannerIsAJpegOf546By90)
{
    const TAssetPicture banner = LoadAssetPicture("Image1");
    ASSERT_TRUE(banner.Bitmap) << banner.Error;
    EXPECT_EQ(banner.ClassName, "TJPEGImage");
    EXPECT_EQ(banner.Bitmap->Width(), 546);
    EXPECT_EQ(banner.Bitmap->Height(), 90);
    EXPECT_EQ(JpegComponents(banner.File), 3);
}

TEST(DialogPictures, TwentyFourBitBitmapsHaveTheirSizes)
{
    struct TExpectedPicture {
        const char *Name;
        int Width;
        int Height;
    };
    const TExpectedPicture expectedPictures[] = {{"Image2", 183, 134},       {"FaderGround", 199, 24},    {"FaderKnob", 34, 16},
                           {"BTOKGroundOn", 76, 26},   {"BTOKGroundOff", 76, 26},   {"BTCancelGroundOn", 76, 26},
                           {"BTCancelGroundOff", 76, 26}};
    for (const TExpectedPicture &expected : expectedPictures) {
        SCOPED_TRACE(expected.Name);
        const TAssetPicture picture = LoadAssetPicture(expected.Name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        EXPECT_EQ(picture.ClassName, "TBitmap");
        EXPECT_EQ(picture.Bitmap->Width(), expected.Width);
        EXPECT_EQ(picture.Bitmap->Height(), expected.Height);
        const TBmpHeader header = ReadBmpHeader(picture.File, true);
        EXPECT_EQ(header.BitsPerPixel, 24);
        EXPECT_EQ(header.Compression, 0u);
    }
}

TEST(DialogPictures, TransparentPicturesKeyTheirBottomLeftColourAroundAFigure)
{
    // The product picture and the knob are drawn transparently: the colour of the bottom-left
    // pixel is left out. It must surround the figure and not appear inside it by chance.
    for (const char *name : {"Image2", "FaderKnob"}) {
        SCOPED_TRACE(name);
        const TAssetPicture picture = LoadAssetPicture(name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        const TBitmap32 &bitmap = *picture.Bitmap;
        const std::uint32_t key = bitmap.GetPixel(0, bitmap.Height() - 1);
        EXPECT_EQ(bitmap.GetPixel(0, 0), key);
        EXPECT_EQ(bitmap.GetPixel(bitmap.Width() - 1, 0), key);
        EXPECT_EQ(bitmap.GetPixel(bitmap.Width() - 1, bitmap.Height() - 1), key);
        EXPECT_NE(bitmap.GetPixel(bitmap.Width() / 2, bitmap.Height() / 2), key);
        const int keyed = CountColour(bitmap, key);
        const int all = bitmap.Width() * bitmap.Height();
        EXPECT_GT(keyed, 0);
        EXPECT_LT(keyed, all / 2);
    }
}

TEST(DialogPictures, ButtonsShowTheirStateAndCaption)
{
    for (const char *button : {"BTOK", "BTCancel"}) {
        SCOPED_TRACE(button);
        const TAssetPicture on = LoadAssetPicture(std::string(button) + "GroundOn");
        const TAssetPicture off = LoadAssetPicture(std::string(button) + "GroundOff");
        ASSERT_TRUE(on.Bitmap && off.Bitmap);
        // Pressed and released look clearly different.
        EXPECT_GT(CountDifferent(*on.Bitmap, *off.Bitmap), 76 * 26 / 2);
    }
    // The captions differ, so the two buttons' released pictures differ in their middle.
    const TAssetPicture ok = LoadAssetPicture("BTOKGroundOff");
    const TAssetPicture cancel = LoadAssetPicture("BTCancelGroundOff");
    ASSERT_TRUE(ok.Bitmap && cancel.Bitmap);
    const TBitmap32 okMiddle = *ok.Bitmap->Crop(8, 6, 60, 14);
    const TBitmap32 cancelMiddle = *cancel.Bitmap->Crop(8, 6, 60, 14);
    EXPECT_GT(CountDifferent(okMiddle, cancelMiddle), 40);
    // A caption is drawn: the middle of each button holds a colour far from its surroundings.
    for (const TAssetPicture *picture : {&ok, &cancel}) {
        const std::uint32_t around = picture->Bitmap->GetPixel(6, 13);
        int ink = 0;
        for (int y = 6; y < 20; ++y)
            for (int x = 8; x < 68; ++x)
                ink += ColourDistance(picture->Bitmap->GetPixel(x, y), around) > 80 ? 1 : 0;
        EXPECT_GT(ink, 15);
    }
}

TEST(DialogPictures, SliderKnobFitsTheTrack)
{
    const TAssetPicture track = LoadAssetPicture("FaderGround");
    const TAssetPicture knob = LoadAssetPicture("FaderKnob");
    ASSERT_TRUE(track.Bitmap && knob.Bitmap);
    // The slider draws the knob at y = 24 / 2 - 16 / 2 - 1 = 3 and moves it over 165 pixels.
    EXPECT_EQ(track.Bitmap->Width() - knob.Bitmap->Width(), 165);
    EXPECT_EQ(track.Bitmap->Height() / 2 - knob.Bitmap->Height() / 2 - 1, 3);
}

TEST(PreviewBitmap, IsA24BitBitmapResourceOf154By116)
{
    auto dib = Platform::ModuleResources().Find(Platform::ResourceTypeBitmap, "PREVIEWBMP");
    ASSERT_TRUE(dib);
    const TBmpHeader header = ReadBmpHeader(*dib, false);
    EXPECT_EQ(header.BitsPerPixel, 24);
    EXPECT_EQ(header.Compression, 0u);
    const Imaging::TPictureResult result = Imaging::DecodeDib(*dib);
    ASSERT_TRUE(result.Bitmap) << result.Error;
    EXPECT_EQ(result.Bitmap->Width(), 154);
    EXPECT_EQ(result.Bitmap->Height(), 116);
}

TEST(PreviewBitmap, IsAMiniatureOfTheBackground)
{
    auto dib = Platform::ModuleResources().Find(Platform::ResourceTypeBitmap, "PREVIEWBMP");
    ASSERT_TRUE(dib);
    const Imaging::TPictureResult preview = Imaging::DecodeDib(*dib);
    const TAssetPicture background = LoadAssetPicture("QIM1");
    ASSERT_TRUE(preview.Bitmap && background.Bitmap);
    // Compare with the background reduced by averaging: colours agree within a modest margin.
    const TBitmap32 &big = *background.Bitmap;
    double total = 0.0;
    int count = 0;
    for (int y = 4; y < 112; y += 6) {
        for (int x = 4; x < 150; x += 6) {
            int r = 0, g = 0, b = 0, n = 0;
            const int bx = x * 1024 / 154, by = y * 768 / 116;
            for (int dy = 0; dy < 6; ++dy)
                for (int dx = 0; dx < 6; ++dx) {
                    const std::uint32_t p = big.GetPixel(bx + dx, by + dy);
                    r += Red(p);
                    g += Green(p);
                    b += Blue(p);
                    ++n;
                }
            const std::uint32_t small = preview.Bitmap->GetPixel(x, y);
            total += std::abs(Red(small) - r / n) + std::abs(Green(small) - g / n) + std::abs(Blue(small) - b / n);
            ++count;
        }
    }
    EXPECT_LT(total / (3.0 * count), 20.0);
}

} // namespace
} // namespace Halcyra::Testing
