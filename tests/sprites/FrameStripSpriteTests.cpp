// Tests of the frame-strip sprite: frame counts, the 200-frame limit, JPEG strips and DibBitmap,
// per-frame colour keys, stretching, frame selection, failures, restore and release.
#include "sprites/FrameStripSprite.h"
#include "SpriteFixture.h"

namespace Halcyra {
namespace {

using namespace Platform;
using Imaging::TBitmap32;
using Testing::MakeBitmap;

// A strip whose frame i is filled with colour 0x000100 × (i + 1) and marks its own rows.
TBitmap32 Strip(int width, int frameHeight, int frames, int extraRows = 0)
{
    return MakeBitmap(width, frameHeight * frames + extraRows, [=](int x, int y) {
        const int frame = y / frameHeight;
        return 0x00000100u * static_cast<std::uint32_t>(frame + 1) + static_cast<std::uint32_t>(x % 2);
    });
}

class FrameStripTest : public Testing::SpriteFixture {
protected:
    void Prepare(TQMV &sprite, Imaging::TPicture picture, int frameHeight, bool transparency = false)
    {
        sprite.SetPicture(std::move(picture));
        sprite.SetYOffsetFrame(frameHeight);
        sprite.CreateDXMovie();
        sprite.SetTransparency(transparency);
    }
};

TEST_F(FrameStripTest, ConstructedWithTheDocumentedDefaults)
{
    TQMV sprite(Engine.get());
    EXPECT_EQ(sprite.ClassName(), "TQMV");
    EXPECT_EQ(sprite.FrameCount(), 0);
    EXPECT_EQ(sprite.GetNumberFrame(), 0);
    EXPECT_EQ(sprite.GetYOffsetFrame(), 0);
    EXPECT_FALSE(sprite.GetTransparency());
    EXPECT_FALSE(sprite.GetStretching());
    EXPECT_EQ(sprite.GetStretchWidth(), 100);
    EXPECT_EQ(sprite.GetStretchHeight(), 100);
    EXPECT_FALSE(sprite.DibBitmapLoaded());
    for (int i = 0; i < TQMV::MaxFrames; ++i)
        EXPECT_EQ(sprite.FrameSurface(i), nullptr);
}

TEST_F(FrameStripTest, PreparingWithoutAnOpenEngineReportsFDD)
{
    TQMV sprite(Engine.get());
    int errors = 0;
    sprite.OnError = [&](TComponent &sender) {
        EXPECT_EQ(&sender, &sprite);
        ++errors;
    };
    Prepare(sprite, BitmapPicture(Strip(4, 4, 2)), 4);
    EXPECT_EQ(sprite.GetErrorResult(), "FDD==NULL");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(sprite.FrameCount(), 0);
}

TEST_F(FrameStripTest, A3840PixelStripOf120PixelFramesHas32Frames)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(8, 120, 32)), 120);
    EXPECT_EQ(sprite.GetErrorResult(), "");
    EXPECT_EQ(sprite.FrameCount(), 32);
    EXPECT_NE(sprite.FrameSurface(31), nullptr);
    EXPECT_EQ(sprite.FrameSurface(32), nullptr);
}

TEST_F(FrameStripTest, RowsBelowTheLastWholeFrameAreIgnored)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(8, 120, 32, 1)), 120);
    EXPECT_EQ(sprite.FrameCount(), 32);
}

TEST_F(FrameStripTest, FrameHeightZeroCreatesNothing)
{
    Open();
    TQMV sprite(Engine.get());
    const int before = Display.Soft().SurfaceCount();
    Prepare(sprite, BitmapPicture(Strip(8, 10, 4)), 0);
    EXPECT_EQ(sprite.GetErrorResult(), "Not defined OriginalHeight");
    EXPECT_EQ(Display.Soft().SurfaceCount(), before);
    EXPECT_EQ(sprite.FrameCount(), 0);
}

TEST_F(FrameStripTest, NegativeFrameHeightIsNotAFrameHeight)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(8, 10, 4)), -10);
    EXPECT_EQ(sprite.GetErrorResult(), "Not defined OriginalHeight");
    EXPECT_EQ(sprite.FrameCount(), 0);
}

TEST_F(FrameStripTest, Over200FramesAreRefusedAnd200Accepted)
{
    Open();
    TQMV tooMany(Engine.get());
    Prepare(tooMany, BitmapPicture(Strip(2, 2, 201)), 2);
    EXPECT_EQ(tooMany.GetErrorResult(), "TOO match sprites");
    EXPECT_EQ(tooMany.FrameCount(), 0);
    EXPECT_EQ(tooMany.FrameSurface(0), nullptr);
    TQMV enough(Engine.get());
    Prepare(enough, BitmapPicture(Strip(2, 2, 200)), 2);
    EXPECT_EQ(enough.GetErrorResult(), "");
    EXPECT_EQ(enough.FrameCount(), 200);
    EXPECT_NE(enough.FrameSurface(199), nullptr);
}

TEST_F(FrameStripTest, JpegStripWithoutDibBitmapIsRefused)
{
    Open();
    TQMV sprite(Engine.get());
    auto jpeg = Imaging::TPicture::FromFile(Imaging::TGraphicKind::Jpeg, Testing::MakeJpeg(Strip(16, 16, 4)));
    ASSERT_TRUE(jpeg.Picture) << jpeg.Error;
    Prepare(sprite, *jpeg.Picture, 16);
    EXPECT_EQ(sprite.GetErrorResult(), "not loaded DIB BMP");
    EXPECT_TRUE(sprite.StripIsJpeg());
    EXPECT_EQ(sprite.FrameSurface(0), nullptr);
    // Its frames stay empty: drawing them draws nothing and reports nothing new.
    Display.ClearCallLog();
    sprite.SetErrorResult("");
    sprite.DrawMovie();
    EXPECT_TRUE(Display.BltFasts().empty());
    EXPECT_EQ(sprite.GetErrorResult(), "");
}

TEST_F(FrameStripTest, JpegStripIsCutFromItsDibBitmap)
{
    Open();
    TQMV sprite(Engine.get());
    auto jpeg = Imaging::TPicture::FromFile(Imaging::TGraphicKind::Jpeg, Testing::MakeJpeg(Strip(16, 16, 4)));
    ASSERT_TRUE(jpeg.Picture);
    // The decoded copy decides the pixels: here one distinct from the JPEG's own.
    const auto dib = MakeBitmap(16, 64, [](int, int y) { return y < 16 ? 0x00AA0000u : 0x0000BB00u; });
    sprite.SetFDibBitmap(&dib);
    EXPECT_TRUE(sprite.DibBitmapLoaded());
    Prepare(sprite, *jpeg.Picture, 16);
    EXPECT_EQ(sprite.GetErrorResult(), "");
    EXPECT_EQ(sprite.FrameCount(), 4);
    sprite.SetShowX(100);
    sprite.SetShowY(100);
    const auto screen = Frame([&] {
        sprite.SetNumberFrame(0);
        sprite.DrawMovie();
        sprite.SetShowX(200);
        sprite.SetNumberFrame(1);
        sprite.DrawMovie();
    });
    EXPECT_EQ(screen.GetPixel(105, 105), 0x00AA0000u);
    EXPECT_EQ(screen.GetPixel(205, 105), 0x0000BB00u);
    EXPECT_NE(sprite.DibBitmap(), nullptr) << "a copy of other pixels is the only source of the frames";
}

TEST_F(FrameStripTest, AJpegStripCutFromItsOwnPixelsHoldsThemOnlyInItsFrames)
{
    Open();
    auto jpeg = Imaging::TPicture::FromFile(Imaging::TGraphicKind::Jpeg, Testing::MakeJpeg(Strip(16, 16, 4)));
    ASSERT_TRUE(jpeg.Picture) << jpeg.Error;
    const TBitmap32 decoded = *jpeg.Picture->Bitmap();
    TQMV sprite(Engine.get());
    sprite.SetPicture(*jpeg.Picture);
    sprite.SetFDibBitmap(sprite.Picture().Bitmap());
    EXPECT_EQ(sprite.DibBitmap(), sprite.Picture().Bitmap()) << "the decoded copy is the picture's own pixels";
    Prepare(sprite, sprite.Picture(), 16);
    jpeg.Picture.reset();
    EXPECT_EQ(sprite.GetErrorResult(), "");
    EXPECT_EQ(sprite.Picture().Bitmap(), nullptr) << "the pixels outlived the cutting";
    EXPECT_EQ(sprite.DibBitmap(), nullptr);
    EXPECT_EQ(sprite.Picture().Width(), 16);
    EXPECT_EQ(sprite.Picture().Height(), 64);
    EXPECT_FALSE(sprite.Picture().Empty());

    // Every way the frames are filled again takes the same pixels: a loss of the surfaces, and a
    // second preparation.
    sprite.SetShowX(100);
    sprite.SetShowY(100);
    const auto showsTheStrip = [&](const char *after) {
        for (int frame = 0; frame < 4; ++frame) {
            const auto screen = Frame([&] {
                sprite.SetNumberFrame(frame);
                sprite.DrawMovie();
            });
            for (const auto &[x, y] : {std::pair{0, 0}, {7, 9}, {15, 15}})
                EXPECT_EQ(screen.GetPixel(100 + x, 100 + y), decoded.GetPixel(x, frame * 16 + y)) << after << ", frame " << frame;
        }
    };
    showsTheStrip("the cutting");
    Display.LoseAllSurfaces();
    showsTheStrip("a loss of the surfaces");
    EXPECT_EQ(sprite.Picture().Bitmap(), nullptr) << "the pixels decoded for the refill outlived it";
    sprite.CreateDXMovie();
    showsTheStrip("a second preparation");
}

TEST_F(FrameStripTest, AbsentDibBitmapChangesNothing)
{
    TQMV sprite(Engine.get());
    sprite.SetFDibBitmap(nullptr);
    EXPECT_FALSE(sprite.DibBitmapLoaded());
    EXPECT_EQ(sprite.DibBitmap(), nullptr);
}

TEST_F(FrameStripTest, ADibBitmapSmallerThanTheStripLeavesTheRestBlack)
{
    Open();
    TQMV sprite(Engine.get());
    auto jpeg = Imaging::TPicture::FromFile(Imaging::TGraphicKind::Jpeg, Testing::MakeJpeg(Strip(16, 16, 4)));
    const auto dib = MakeBitmap(8, 20, [](int, int) { return 0x00FFFFFFu; });
    sprite.SetFDibBitmap(&dib);
    Prepare(sprite, *jpeg.Picture, 16);
    EXPECT_EQ(sprite.FrameCount(), 4);
    sprite.SetShowX(100);
    sprite.SetShowY(100);
    const auto screen = Frame([&] {
        sprite.SetNumberFrame(1);
        sprite.DrawMovie();
    });
    EXPECT_EQ(screen.GetPixel(101, 101), 0x00FFFFFFu);
    EXPECT_EQ(screen.GetPixel(110, 101), 0u);
    EXPECT_EQ(screen.GetPixel(101, 106), 0u);
}

TEST_F(FrameStripTest, EachFrameKeysTheColourOfItsTopLeftPixel)
{
    Open();
    // Frame 0: white top-left, white and red pixels; frame 1: blue top-left, white pixels.
    const auto strip = MakeBitmap(4, 8, [](int x, int y) {
        if (y < 4)
            return x < 2 ? 0x00FFFFFFu : 0x00FF0000u;
        return x < 2 ? 0x000000FFu : 0x00FFFFFFu;
    });
    TQMV background(Engine.get());
    Prepare(background, BitmapPicture(MakeBitmap(40, 10, [](int, int) { return 0x0000FF00u; })), 10);
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(strip), 4, true);
    EXPECT_TRUE(sprite.GetTransparency());
    const auto screen = Frame([&] {
        background.SetShowX(10);
        background.SetShowY(10);
        background.DrawMovie();
        sprite.SetShowX(12);
        sprite.SetShowY(12);
        sprite.SetNumberFrame(0);
        sprite.DrawMovie();
        sprite.SetShowX(22);
        sprite.SetNumberFrame(1);
        sprite.DrawMovie();
    });
    EXPECT_EQ(screen.GetPixel(12, 12), 0x0000FF00u); // frame 0's white keyed out
    EXPECT_EQ(screen.GetPixel(14, 12), 0x00FF0000u);
    EXPECT_EQ(screen.GetPixel(22, 12), 0x0000FF00u); // frame 1's blue keyed out
    EXPECT_EQ(screen.GetPixel(24, 12), 0x00FFFFFFu); // while its white shows
}

TEST_F(FrameStripTest, TransparencyBeforePreparationChangesNothing)
{
    TQMV sprite(Engine.get());
    sprite.SetTransparency(true);
    EXPECT_FALSE(sprite.GetTransparency());
    EXPECT_EQ(sprite.GetErrorResult(), "");
}

TEST_F(FrameStripTest, RefusedColourKeyEmptiesThatFrameOnly)
{
    Open();
    TQMV sprite(Engine.get());
    Display.Fail("SetColorKey:Offscreen", DDResult::Generic, 1, 1);
    Prepare(sprite, BitmapPicture(Strip(4, 4, 3)), 4, true);
    EXPECT_EQ(sprite.GetErrorResult(), "Error SetColorKey (ANI)");
    EXPECT_NE(sprite.FrameSurface(0), nullptr);
    EXPECT_EQ(sprite.FrameSurface(1), nullptr);
    EXPECT_NE(sprite.FrameSurface(2), nullptr);
    EXPECT_TRUE(sprite.GetTransparency());
}

TEST_F(FrameStripTest, ExplicitStretchShrinksA38By24FrameTo14By9)
{
    Open();
    TQMV sprite(Engine.get());
    sprite.SetStretching(true);
    sprite.SetPicture(BitmapPicture(Strip(38, 24, 121)));
    sprite.SetShowX(300);
    sprite.SetShowY(300);
    sprite.SetYOffsetFrame(24);
    sprite.SetStretchWidth(14);
    sprite.SetStretchHeight(9);
    sprite.CreateDXMovie();
    sprite.SetTransparency(true);
    EXPECT_EQ(sprite.FrameCount(), 121);
    ASSERT_NE(sprite.FrameSurface(0), nullptr);
    EXPECT_EQ(sprite.FrameSurface(0)->Width(), 14);
    EXPECT_EQ(sprite.FrameSurface(0)->Height(), 9);
    Display.ClearCallLog();
    Frame([&] { sprite.DrawMovie(); });
    const auto blits = Display.BltFasts();
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0].Source, (TRect{0, 0, 14, 9}));
    EXPECT_EQ(blits[0].X, 300);
}

TEST_F(FrameStripTest, FrameHeightWithStretchingSetsTheStretchSizeFromTheDesignSpace)
{
    SetMode(800, 600);
    TQMV sprite(Engine.get());
    sprite.SetStretching(true);
    sprite.SetPicture(BitmapPicture(Strip(720, 120, 2)));
    sprite.SetYOffsetFrame(120);
    EXPECT_EQ(sprite.GetStretchWidth(), 562);
    EXPECT_EQ(sprite.GetStretchHeight(), 93);
    EXPECT_EQ(sprite.GetYOffsetFrame(), 120);
    TQMV plain(Engine.get());
    plain.SetYOffsetFrame(120);
    EXPECT_EQ(plain.GetStretchWidth(), 100);
}

TEST_F(FrameStripTest, FramesOutsideTheStripDrawNothing)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(4, 4, 3)), 4);
    Display.ClearCallLog();
    for (const int frame : {-1, 3, 200, 5000}) {
        sprite.SetNumberFrame(frame);
        sprite.DrawMovie();
    }
    EXPECT_TRUE(Display.BltFasts().empty());
    EXPECT_EQ(sprite.GetErrorResult(), "");
}

TEST_F(FrameStripTest, AFrameWhoseSurfaceFailedDrawsNothingWhileTheOthersDo)
{
    Open();
    TQMV sprite(Engine.get());
    Display.Fail("CreateSurface:Offscreen", DDResult::OutOfMemory, 1, 1);
    Prepare(sprite, BitmapPicture(Strip(4, 4, 3)), 4);
    EXPECT_EQ(sprite.GetErrorResult(), "Error CreateSurfaceMOV");
    EXPECT_EQ(sprite.FrameSurface(1), nullptr);
    sprite.SetShowX(50);
    sprite.SetShowY(50);
    Display.ClearCallLog();
    const auto screen = Frame([&] {
        for (int frame = 0; frame < 3; ++frame) {
            sprite.SetNumberFrame(frame);
            sprite.SetShowX(50 + 10 * frame);
            sprite.DrawMovie();
        }
    });
    EXPECT_EQ(Display.BltFasts().size(), 2u);
    EXPECT_EQ(screen.GetPixel(50, 50) & 0xFFFF00u, 0x100u);
    EXPECT_EQ(screen.GetPixel(60, 50), 0u);
    EXPECT_EQ(screen.GetPixel(70, 50) & 0xFFFF00u, 0x300u);
}

TEST_F(FrameStripTest, DeviceContextFailureEmptiesTheFrame)
{
    Open();
    TQMV sprite(Engine.get());
    Display.Fail("GetDC:Offscreen", DDResult::Generic, 0, 1);
    Prepare(sprite, BitmapPicture(Strip(4, 4, 2)), 4);
    EXPECT_EQ(sprite.GetErrorResult(), "Error FpSurface->GetDC (MOV)");
    EXPECT_EQ(sprite.FrameSurface(0), nullptr);
    EXPECT_NE(sprite.FrameSurface(1), nullptr);
}

TEST_F(FrameStripTest, OneSpriteDrawnTwiceShowsTwoImages)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(6, 6, 4)), 6);
    const auto screen = Frame([&] {
        sprite.SetNumberFrame(1);
        sprite.SetShowX(100);
        sprite.SetShowY(100);
        sprite.DrawMovie();
        sprite.SetNumberFrame(3);
        sprite.SetShowX(300);
        sprite.SetShowY(200);
        sprite.DrawMovie();
    });
    EXPECT_EQ(screen.GetPixel(100, 100), 0x200u);
    EXPECT_EQ(screen.GetPixel(300, 200), 0x400u);
}

TEST_F(FrameStripTest, DrawingFailuresAreReported)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(4, 4, 2)), 4);
    Display.SetPrimaryLost(true);
    sprite.DrawMovie();
    EXPECT_EQ(sprite.GetErrorResult(), "Lost surface");
    Display.SetPrimaryLost(false);
    Display.Fail("BltFast:Back", DDResult::SurfaceBusy, 0, 1);
    sprite.DrawMovie();
    EXPECT_EQ(sprite.GetErrorResult(), "Error FDDBACK->BltFast (MOV) err #DDERR_SURFACEBUSY");
    Display.Fail("BltFast:Back", DDResult::SurfaceLost, 0, 1);
    sprite.DrawMovie();
    EXPECT_EQ(sprite.GetErrorResult(), "Lost surface");
}

TEST_F(FrameStripTest, SurfaceLossRefillsEveryFrameAndKeepsTheKeys)
{
    Open();
    const auto strip = MakeBitmap(4, 8, [](int x, int y) { return x == 0 ? 0u : (y < 4 ? 0x00AA0000u : 0x0000AA00u); });
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(strip), 4, true);
    Display.LoseAllSurfaces();
    const auto screen = Frame([&] {
        sprite.SetShowX(10);
        sprite.SetShowY(10);
        sprite.SetNumberFrame(0);
        sprite.DrawMovie();
        sprite.SetShowX(20);
        sprite.SetNumberFrame(1);
        sprite.DrawMovie();
    });
    EXPECT_EQ(sprite.GetErrorResult(), "");
    EXPECT_EQ(screen.GetPixel(11, 11), 0x00AA0000u);
    EXPECT_EQ(screen.GetPixel(21, 11), 0x0000AA00u);
    EXPECT_EQ(screen.GetPixel(10, 11), 0u);
}

TEST_F(FrameStripTest, RestoreFailuresStopAtTheFailingFrame)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(4, 4, 3)), 4);
    Display.ClearCallLog();
    Display.Fail("Restore:Offscreen", DDResult::Generic, 1, 1);
    sprite.RestoreSurfaces();
    EXPECT_EQ(sprite.GetErrorResult(), "Can't restore surface TQMV");
    EXPECT_EQ(Display.Calls("Restore:Offscreen"), 2);
    Display.Fail("GetDC:Offscreen", DDResult::Generic, 0, 1);
    sprite.RestoreSurfaces();
    EXPECT_EQ(sprite.GetErrorResult(), "Error FpSurface->GetDC (RestoreSurfaces)");
    EXPECT_EQ(sprite.FrameSurface(0), nullptr);
    // The emptied frame is passed over from now on.
    sprite.SetErrorResult("");
    sprite.RestoreSurfaces();
    EXPECT_EQ(sprite.GetErrorResult(), "");
}

TEST_F(FrameStripTest, ClosingReleasesEveryFrame)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(4, 4, 5)), 4);
    Engine->SetEnabled(false);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sprite.FrameSurface(i), nullptr);
    EXPECT_EQ(Display.Soft().SurfaceCount(), 0);
}

TEST_F(FrameStripTest, PreparingAgainReplacesTheFrames)
{
    Open();
    TQMV sprite(Engine.get());
    Prepare(sprite, BitmapPicture(Strip(4, 4, 5)), 4);
    const int afterFirst = Display.Soft().SurfaceCount();
    Prepare(sprite, BitmapPicture(Strip(4, 4, 3)), 4);
    EXPECT_EQ(Display.Soft().SurfaceCount(), afterFirst - 2);
    EXPECT_EQ(sprite.FrameSurface(3), nullptr);
}

// A second preparation that fails, each way it can after the engine is found: none of the first
// strip's frames may stay drawable.
TEST_F(FrameStripTest, PreparingAgainThatFailsLeavesNoFrameOfTheEarlierStrip)
{
    auto jpeg = Imaging::TPicture::FromFile(Imaging::TGraphicKind::Jpeg, Testing::MakeJpeg(Strip(4, 4, 3)));
    ASSERT_TRUE(jpeg.Picture) << jpeg.Error;
    struct TCase {
        Imaging::TPicture Picture;
        int FrameHeight;
        const char *Error;
    } cases[] = {
        {*jpeg.Picture, 4, "not loaded DIB BMP"},
        {BitmapPicture(Strip(4, 4, 5)), 0, "Not defined OriginalHeight"},
        {BitmapPicture(Strip(2, 2, 201)), 2, "TOO match sprites"},
    };
    Open();
    const int withoutSprite = Display.Soft().SurfaceCount();
    for (auto &again : cases) {
        TQMV sprite(Engine.get());
        Prepare(sprite, BitmapPicture(Strip(4, 4, 5)), 4);
        ASSERT_NE(sprite.FrameSurface(4), nullptr);
        Prepare(sprite, again.Picture, again.FrameHeight);
        EXPECT_EQ(sprite.GetErrorResult(), again.Error);
        EXPECT_EQ(Display.Soft().SurfaceCount(), withoutSprite) << again.Error;
        Display.ClearCallLog();
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(sprite.FrameSurface(i), nullptr) << again.Error << ", frame " << i;
            sprite.SetNumberFrame(i);
            sprite.DrawMovie();
        }
        EXPECT_TRUE(Display.BltFasts().empty()) << again.Error;
    }
}

} // namespace
} // namespace Halcyra
