// Tests of the scene's pictures as linked into the module: each decodes from its resource with the
// format, size and frames the scene expects; the looping strips flow from their last frame into the
// first; every opaque strip meets the background without a seam; the flier heads where its frame
// says; the weather icons and gadget panels leave room for what the gadgets draw over them.
#include "assets/AssetReading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <vector>

namespace Halcyra::Testing {
namespace {

using Imaging::TBitmap32;

struct TPictureFormat {
    const char *Name;
    const char *ClassName;
    int Width;
    int Height;
    int FrameHeight;
};

const TPictureFormat ScenePictures[] = {
    {"QIM1", "TJPEGImage", 1024, 768, 768},
    {"QMV1", "TJPEGImage", 720, 3840, 120},
    {"QMV2", "TJPEGImage", 556, 3328, 104},
    {"QMV3", "TJPEGImage", 105, 5728, 179},
    {"QMV4", "TJPEGImage", 93, 4480, 140},
    {"QMV5f", "TJPEGImage", 109, 2250, 225},
    {"QMV6f", "TJPEGImage", 202, 3110, 311},
    {"QMV7f", "TJPEGImage", 78, 1420, 142},
    {"QMV3SGsmall", "TBitmap", 38, 2904, 24},
    {"QMV3Weather", "TBitmap", 52, 2548, 52},
    {"QIM2GadgetPanel", "TGIFImage", 1024, 70, 70},
    {"QGC1", "TGIFImage", 117, 69, 69},
    {"QGW1", "TGIFImage", 336, 69, 69},
    {"QGR1", "TGIFImage", 572, 69, 69},
};

struct TStripFormat {
    const char *Name;
    int X;
    int Y;
    int Width;
    int FrameHeight;
    int Frames;
    bool Loop;
};

const TStripFormat Strips[] = {
    {"QMV1", 0, 543, 720, 120, 32, true},   {"QMV2", 0, 664, 556, 104, 32, true},
    {"QMV3", 128, 175, 105, 179, 32, true}, {"QMV4", 905, 404, 93, 140, 32, true},
    {"QMV5f", 0, 189, 109, 225, 10, false}, {"QMV6f", 296, 137, 202, 311, 10, false},
    {"QMV7f", 498, 360, 78, 142, 10, false},
};

constexpr int ScreenWidth = 1024;
constexpr int ScreenHeight = 768;

// Channel differences a JPEG round trip leaves between two pictures of the same pixels.
constexpr double JpegNoiseMean = 2.5;
constexpr int JpegNoiseMax = 48;

const TBitmap32 &Background()
{
    static const TBitmap32 background = [] {
        auto picture = LoadAssetPicture("QIM1");
        return picture.Bitmap ? *picture.Bitmap : *TBitmap32::Create(ScreenWidth, ScreenHeight);
    }();
    return background;
}

// Mean channel difference of two frames of a strip.
double MeanFrameDifference(const TBitmap32 &strip, int height, int a, int b)
{
    double total = 0.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < strip.Width(); ++x) {
            const std::uint32_t p = strip.GetPixel(x, a * height + y);
            const std::uint32_t q = strip.GetPixel(x, b * height + y);
            total += std::abs(Red(p) - Red(q)) + std::abs(Green(p) - Green(q)) + std::abs(Blue(p) - Blue(q));
        }
    }
    return total / (3.0 * height * strip.Width());
}

bool InsideStrip(const TStripFormat &strip, int x, int y)
{
    return x >= strip.X && x < strip.X + strip.Width && y >= strip.Y && y < strip.Y + strip.FrameHeight;
}

// Whether the screen pixel next to a strip's border pixel shows the background on the same tick:
// it must be on the screen and not inside another looping strip drawn with this one. (The two
// water strips lie edge to edge and are drawn together on every tick.)
bool ShowsBackground(const TStripFormat &self, int x, int y)
{
    if (x < 0 || y < 0 || x >= ScreenWidth || y >= ScreenHeight)
        return false;
    for (const TStripFormat &other : Strips) {
        if (&other != &self && self.Loop && other.Loop && InsideStrip(other, x, y))
            return false;
    }
    return true;
}

TEST(ScenePictures, EachDecodesWithTheExpectedClassSizeAndFrames)
{
    for (const TPictureFormat &expected : ScenePictures) {
        SCOPED_TRACE(expected.Name);
        const TAssetPicture picture = LoadAssetPicture(expected.Name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        EXPECT_EQ(picture.ClassName, expected.ClassName);
        EXPECT_EQ(picture.Bitmap->Width(), expected.Width);
        EXPECT_EQ(picture.Bitmap->Height(), expected.Height);
        EXPECT_EQ(picture.Bitmap->Height() % expected.FrameHeight, 0);
    }
}

TEST(ScenePictures, JpegPicturesHaveThreeComponents)
{
    for (const char *name : {"QIM1", "QMV1", "QMV2", "QMV3", "QMV4", "QMV5f", "QMV6f", "QMV7f"}) {
        SCOPED_TRACE(name);
        const TAssetPicture picture = LoadAssetPicture(name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        EXPECT_EQ(JpegComponents(picture.File), 3);
    }
}

TEST(ScenePictures, StripsHaveTheirFrameCounts)
{
    for (const TStripFormat &expected : Strips) {
        SCOPED_TRACE(expected.Name);
        const TAssetPicture picture = LoadAssetPicture(expected.Name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        EXPECT_EQ(picture.Bitmap->Height() / expected.FrameHeight, expected.Frames);
        EXPECT_EQ(picture.Bitmap->Width(), expected.Width);
    }
}

TEST(ScenePictures, LoopsFlowFromTheLastFrameIntoTheFirst)
{
    for (const TStripFormat &expected : Strips) {
        if (!expected.Loop)
            continue;
        SCOPED_TRACE(expected.Name);
        const TAssetPicture picture = LoadAssetPicture(expected.Name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        std::vector<double> steps;
        for (int frame = 0; frame + 1 < expected.Frames; ++frame)
            steps.push_back(MeanFrameDifference(*picture.Bitmap, expected.FrameHeight, frame, frame + 1));
        const double wrap = MeanFrameDifference(*picture.Bitmap, expected.FrameHeight, expected.Frames - 1, 0);
        std::vector<double> sorted = steps;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        EXPECT_LE(wrap, sorted.back() * 1.05) << "largest ordinary step " << sorted.back();
        EXPECT_LE(wrap, median * 2.0) << "median step " << median;
        // The loop moves at all.
        EXPECT_GT(median, 0.2);
    }
}

TEST(ScenePictures, StripBordersMatchTheBackgroundUnderThem)
{
    const TBitmap32 &background = Background();
    for (const TStripFormat &expected : Strips) {
        SCOPED_TRACE(expected.Name);
        const TAssetPicture picture = LoadAssetPicture(expected.Name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        struct TBorderPixel {
            int X;
            int Y;
        };
        std::vector<TBorderPixel> border;
        for (int y = 0; y < expected.FrameHeight; ++y) {
            for (int x = 0; x < expected.Width; ++x) {
                const int sx = expected.X + x;
                const int sy = expected.Y + y;
                const bool meets = (x == 0 && ShowsBackground(expected, sx - 1, sy)) ||
                                   (x == expected.Width - 1 && ShowsBackground(expected, sx + 1, sy)) ||
                                   (y == 0 && ShowsBackground(expected, sx, sy - 1)) ||
                                   (y == expected.FrameHeight - 1 && ShowsBackground(expected, sx, sy + 1));
                if (meets)
                    border.push_back({x, y});
            }
        }
        ASSERT_GT(border.size(), 100u);
        for (int frame = 0; frame < expected.Frames; ++frame) {
            double total = 0.0;
            int largest = 0;
            for (const TBorderPixel &p : border) {
                const std::uint32_t a = picture.Bitmap->GetPixel(p.X, frame * expected.FrameHeight + p.Y);
                const std::uint32_t b = background.GetPixel(expected.X + p.X, expected.Y + p.Y);
                total += std::abs(Red(a) - Red(b)) + std::abs(Green(a) - Green(b)) + std::abs(Blue(a) - Blue(b));
                largest = std::max(largest, ColourDistance(a, b));
            }
            EXPECT_LE(total / (3.0 * border.size()), JpegNoiseMean) << "frame " << frame;
            EXPECT_LE(largest, JpegNoiseMax) << "frame " << frame;
        }
    }
}

TEST(ScenePictures, BurstsEndOnTheBackground)
{
    // A burst shows frames 0 to 8; the unused last frame is the still scene, and frame 0 and
    // frame 8 stay close to it so that the burst starts and ends without a jump.
    const TBitmap32 &background = Background();
    for (const TStripFormat &expected : Strips) {
        if (expected.Loop)
            continue;
        SCOPED_TRACE(expected.Name);
        const TAssetPicture picture = LoadAssetPicture(expected.Name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        auto meanToBackground = [&](int frame) {
            double total = 0.0;
            for (int y = 0; y < expected.FrameHeight; ++y) {
                for (int x = 0; x < expected.Width; ++x) {
                    const std::uint32_t a = picture.Bitmap->GetPixel(x, frame * expected.FrameHeight + y);
                    const std::uint32_t b = background.GetPixel(expected.X + x, expected.Y + y);
                    total += std::abs(Red(a) - Red(b)) + std::abs(Green(a) - Green(b)) + std::abs(Blue(a) - Blue(b));
                }
            }
            return total / (3.0 * expected.FrameHeight * expected.Width);
        };
        EXPECT_LE(meanToBackground(9), JpegNoiseMean);
        EXPECT_LE(meanToBackground(8), JpegNoiseMean);
        double busiest = 0.0;
        for (int frame = 1; frame < 8; ++frame)
            busiest = std::max(busiest, MeanFrameDifference(*picture.Bitmap, expected.FrameHeight, frame, 9));
        EXPECT_GT(busiest, 0.1) << "the burst shows something";
    }
}

TEST(ScenePictures, FlierIsAnUncompressed8BitBitmapWith251Colours)
{
    const TAssetPicture picture = LoadAssetPicture("QMV3SGsmall");
    ASSERT_TRUE(picture.Bitmap) << picture.Error;
    const TBmpHeader header = ReadBmpHeader(picture.File, true);
    EXPECT_EQ(header.BitsPerPixel, 8);
    EXPECT_EQ(header.Compression, 0u);
    EXPECT_EQ(header.ColoursUsed, 251u);
    EXPECT_EQ(picture.Bitmap->Height() / 24, 121);
}

TEST(ScenePictures, FlierFramesAreKeyedBlackAndHeadThreeDegreesPerFrame)
{
    const TAssetPicture picture = LoadAssetPicture("QMV3SGsmall");
    ASSERT_TRUE(picture.Bitmap) << picture.Error;
    const TBitmap32 &strip = *picture.Bitmap;
    for (int k = 0; k < 121; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(strip.GetPixel(0, k * 24), 0u);
        // Black around the bird: the frame's edge rows and columns are the key colour.
        for (int x = 0; x < 38; ++x) {
            EXPECT_EQ(strip.GetPixel(x, k * 24), 0u);
            EXPECT_EQ(strip.GetPixel(x, k * 24 + 23), 0u);
        }
        double sx = 0, sy = 0;
        int count = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 38; ++x) {
                if (strip.GetPixel(x, k * 24 + y) != 0) {
                    sx += x;
                    sy += y;
                    ++count;
                }
            }
        }
        ASSERT_GT(count, 20);
        const double mx = sx / count, my = sy / count;
        double cxx = 0, cyy = 0, cxy = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 38; ++x) {
                if (strip.GetPixel(x, k * 24 + y) != 0) {
                    cxx += (x - mx) * (x - mx);
                    cyy += (y - my) * (y - my);
                    cxy += (x - mx) * (y - my);
                }
            }
        }
        // Screen y grows downward, as the headings do (90 is down).
        const double axis = 0.5 * std::atan2(2 * cxy, cxx - cyy) * 180.0 / std::numbers::pi;
        double off = std::fmod(axis - 3.0 * k, 180.0);
        if (off < -90)
            off += 180;
        if (off > 90)
            off -= 180;
        EXPECT_LE(std::abs(off), 6.0) << "long axis " << axis;
    }
}

TEST(ScenePictures, FlierPointsTheWayItHeads)
{
    // The long axis does not tell head from tail: the wings sweep back, so the bird's pixels lie
    // mostly behind its centre. Frame 0 heads right, frame 60 left, frame 30 down, frame 90 up.
    const TAssetPicture picture = LoadAssetPicture("QMV3SGsmall");
    ASSERT_TRUE(picture.Bitmap) << picture.Error;
    auto centroid = [&](int k) {
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 38; ++x)
                if (picture.Bitmap->GetPixel(x, k * 24 + y) != 0) {
                    sx += x;
                    sy += y;
                    ++n;
                }
        return std::pair<double, double>(sx / n - 18.5, sy / n - 11.5);
    };
    EXPECT_LT(centroid(0).first, 0.0);
    EXPECT_GT(centroid(60).first, 0.0);
    EXPECT_LT(centroid(30).second, 0.0);
    EXPECT_GT(centroid(90).second, 0.0);
}

TEST(ScenePictures, WeatherStripIsRle8With49Icons)
{
    const TAssetPicture picture = LoadAssetPicture("QMV3Weather");
    ASSERT_TRUE(picture.Bitmap) << picture.Error;
    const TBmpHeader header = ReadBmpHeader(picture.File, true);
    EXPECT_EQ(header.BitsPerPixel, 8);
    EXPECT_EQ(header.Compression, 1u);
    EXPECT_LE(header.ColoursUsed, 256u);
    EXPECT_EQ(picture.Bitmap->Height() / 52, 49);
}

TEST(ScenePictures, WeatherIconsStandOnBlackAndDifferFromEachOther)
{
    const TAssetPicture picture = LoadAssetPicture("QMV3Weather");
    ASSERT_TRUE(picture.Bitmap) << picture.Error;
    const TBitmap32 &strip = *picture.Bitmap;
    std::set<std::vector<std::uint32_t>> distinct;
    for (int icon = 0; icon < 49; ++icon) {
        SCOPED_TRACE(icon);
        const int top = icon * 52;
        EXPECT_EQ(strip.GetPixel(0, top), 0u);
        EXPECT_EQ(strip.GetPixel(51, top), 0u);
        EXPECT_EQ(strip.GetPixel(0, top + 51), 0u);
        EXPECT_EQ(strip.GetPixel(51, top + 51), 0u);
        int bright = 0;
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 52; ++y) {
            for (int x = 0; x < 52; ++x) {
                const std::uint32_t p = strip.GetPixel(x, top + y);
                pixels.push_back(p);
                if (std::max({Red(p), Green(p), Blue(p)}) >= 96)
                    ++bright;
            }
        }
        // Legible: a clear figure, neither a speck nor a filled square.
        EXPECT_GT(bright, 52 * 52 * 4 / 100);
        EXPECT_LT(bright, 52 * 52 * 70 / 100);
        distinct.insert(pixels);
    }
    // A few feed codes share a meaning (two "showers" pairs, two "scattered thunderstorms", two
    // "heavy snow", two "partly cloudy"), so they may share an icon.
    EXPECT_GE(distinct.size(), 45u);
}

// Whether a rectangle of a panel (inclusive bounds) is entirely black.
bool AllBlack(const TBitmap32 &panel, int x0, int y0, int x1, int y1)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (panel.GetPixel(x, y) != 0)
                return false;
    return true;
}

double BlackShare(const TBitmap32 &panel)
{
    int black = 0;
    for (int y = 0; y < panel.Height(); ++y)
        for (int x = 0; x < panel.Width(); ++x)
            black += panel.GetPixel(x, y) == 0 ? 1 : 0;
    return static_cast<double>(black) / (panel.Width() * panel.Height());
}

TEST(ScenePictures, GadgetPanelsArePaletteGifs)
{
    for (const char *name : {"QIM2GadgetPanel", "QGC1", "QGW1", "QGR1"}) {
        SCOPED_TRACE(name);
        const TAssetPicture picture = LoadAssetPicture(name);
        ASSERT_TRUE(picture.Bitmap) << picture.Error;
        ASSERT_GE(picture.File.size(), 13u);
        EXPECT_EQ(std::string(picture.File.begin(), picture.File.begin() + 3), "GIF");
        EXPECT_NE(picture.File[10] & 0x80, 0) << "a global colour table";
        EXPECT_EQ(picture.Bitmap->GetPixel(0, 0), 0u);
        EXPECT_GT(BlackShare(*picture.Bitmap), 0.85);
    }
    const TAssetPicture band = LoadAssetPicture("QIM2GadgetPanel");
    ASSERT_TRUE(band.Bitmap);
    EXPECT_EQ(BlackShare(*band.Bitmap), 1.0);
}

TEST(ScenePictures, GadgetPanelsLeaveTheGadgetsDrawingOnBlack)
{
    const TAssetPicture clock = LoadAssetPicture("QGC1");
    ASSERT_TRUE(clock.Bitmap);
    EXPECT_TRUE(AllBlack(*clock.Bitmap, 4, 28, 110, 50)) << "the time";

    const TAssetPicture weather = LoadAssetPicture("QGW1");
    ASSERT_TRUE(weather.Bitmap);
    EXPECT_TRUE(AllBlack(*weather.Bitmap, 94, 8, 145, 59)) << "today's icon";
    EXPECT_TRUE(AllBlack(*weather.Bitmap, 206, 8, 257, 59)) << "tomorrow's icon";
    EXPECT_TRUE(AllBlack(*weather.Bitmap, 153, 29, 199, 50)) << "today's temperature";
    EXPECT_TRUE(AllBlack(*weather.Bitmap, 265, 29, 332, 50)) << "tomorrow's temperatures";

    const TAssetPicture news = LoadAssetPicture("QGR1");
    ASSERT_TRUE(news.Bitmap);
    EXPECT_TRUE(AllBlack(*news.Bitmap, 90, 7, 480, 23)) << "the feed's name";
    EXPECT_TRUE(AllBlack(*news.Bitmap, 15, 29, 560, 50)) << "the creeping line";
}

TEST(ScenePictures, GadgetPanelsHaveAVisibleOutline)
{
    for (const char *name : {"QGC1", "QGW1", "QGR1"}) {
        SCOPED_TRACE(name);
        const TAssetPicture picture = LoadAssetPicture(name);
        ASSERT_TRUE(picture.Bitmap);
        const TBitmap32 &panel = *picture.Bitmap;
        const int middle = panel.Height() / 2;
        auto lit = [&](int x, int y) { return std::max({Red(panel.GetPixel(x, y)), Green(panel.GetPixel(x, y))}) >= 48; };
        EXPECT_TRUE(lit(1, middle) || lit(2, middle));
        EXPECT_TRUE(lit(panel.Width() - 2, middle) || lit(panel.Width() - 3, middle));
    }
}

} // namespace
} // namespace Halcyra::Testing
