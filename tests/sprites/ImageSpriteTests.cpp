// Tests of the image sprite: defaults, the design space, preparation and its failures, the black
// colour key, the clipped blit on real soft surfaces, lost surfaces, restore and release.
#include "sprites/FrameStripSprite.h"
#include "sprites/ImageSprite.h"
#include "SpriteFixture.h"

namespace Halcyra {
namespace {

using namespace Platform;
using Imaging::TBitmap32;
using Testing::MakeBitmap;

// A derived class with its own class name, as the gadgets are.
class TPanelGadget final : public TQIM {
public:
    using TQIM::TQIM;
    std::string_view ClassName() const override { return "TQGC"; }
};

// Each column has its own colour, so a shifted blit shows.
TBitmap32 Columns(int width, int height)
{
    return MakeBitmap(width, height, [](int x, int) { return 0x00100000u + static_cast<std::uint32_t>(x); });
}

class ImageSpriteTest : public Testing::SpriteFixture {
protected:
    void Prepare(TQIM &sprite, const TBitmap32 &picture, int x, int y, bool transparency = false)
    {
        sprite.SetPicture(BitmapPicture(picture));
        sprite.SetShowX(x);
        sprite.SetShowY(y);
        sprite.CreateDXImage();
        sprite.SetTransparency(transparency);
    }
};

TEST_F(ImageSpriteTest, ConstructedWithTheDocumentedDefaults)
{
    TQIM sprite(Engine.get());
    EXPECT_EQ(sprite.ClassName(), "TQIM");
    EXPECT_EQ(sprite.GetErrorResult(), "");
    EXPECT_EQ(sprite.GetShowX(), 0);
    EXPECT_EQ(sprite.GetShowY(), 0);
    EXPECT_FALSE(sprite.GetStretching());
    EXPECT_EQ(sprite.GetStretchWidth(), 100);
    EXPECT_EQ(sprite.GetStretchHeight(), 100);
    EXPECT_EQ(sprite.GetOriginalWidth(), 100);
    EXPECT_EQ(sprite.GetOriginalHeight(), 100);
    EXPECT_FALSE(sprite.GetTransparency());
    EXPECT_EQ(sprite.Surface(), nullptr);
    EXPECT_EQ(sprite.Parent(), Engine.get());
}

TEST_F(ImageSpriteTest, PositionsConvertFromTheDesignSpaceWhenStretching)
{
    SetMode(800, 600);
    TQIM sprite(Engine.get());
    sprite.SetStretching(true);
    sprite.SetShowX(300);
    EXPECT_EQ(sprite.GetShowX(), 234);
    sprite.SetShowX(-5);
    EXPECT_EQ(sprite.GetShowX(), -3);
    sprite.SetShowY(698);
    EXPECT_EQ(sprite.GetShowY(), 545);
    sprite.SetStretching(false);
    sprite.SetShowX(300);
    EXPECT_EQ(sprite.GetShowX(), 300);
}

TEST_F(ImageSpriteTest, PositionsAtTheSceneModeKeepTheirValue)
{
    TQIM sprite(Engine.get());
    sprite.SetStretching(true);
    sprite.SetShowX(300);
    EXPECT_EQ(sprite.GetShowX(), 300);
}

TEST_F(ImageSpriteTest, OriginalSizesConvertWhateverStretchingIs)
{
    SetMode(800, 600);
    TQIM sprite(Engine.get());
    sprite.SetOriginalWidth(117);
    sprite.SetOriginalHeight(69);
    EXPECT_EQ(sprite.GetStretchWidth(), 91);
    EXPECT_EQ(sprite.GetStretchHeight(), 53);
    EXPECT_EQ(sprite.GetOriginalWidth(), 117);
}

TEST_F(ImageSpriteTest, PreparingWithoutAnOpenEngineReportsFDD)
{
    TQIM sprite(Engine.get());
    int errors = 0;
    TComponent *sender = nullptr;
    sprite.OnError = [&](TComponent &from) {
        ++errors;
        sender = &from;
    };
    sprite.SetPicture(BitmapPicture(Columns(4, 4)));
    sprite.CreateDXImage();
    EXPECT_EQ(sprite.GetErrorResult(), "FDD==NULL");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(sender, &sprite);
    TQIM orphan;
    orphan.CreateDXImage();
    EXPECT_EQ(orphan.GetErrorResult(), "FDD==NULL");
}

TEST_F(ImageSpriteTest, SurfaceCreationFailureIsReported)
{
    Open();
    TQIM sprite(Engine.get());
    Display.Fail("CreateSurface:Offscreen");
    Prepare(sprite, Columns(4, 4), 0, 0);
    EXPECT_EQ(sprite.GetErrorResult(), "eFpSurface==NULL");
    EXPECT_EQ(sprite.Surface(), nullptr);
    Display.ClearFailures();
    sprite.CreateDXImage();
    EXPECT_NE(sprite.Surface(), nullptr);
}

TEST_F(ImageSpriteTest, SurfaceCreationFailureText)
{
    Open();
    TQIM sprite(Engine.get());
    sprite.SetPicture(BitmapPicture(Columns(4, 4)));
    Display.Fail("CreateSurface:Offscreen");
    sprite.CreateDXImage();
    EXPECT_EQ(sprite.GetErrorResult(), "eCreateSurfaceQIM");
}

TEST_F(ImageSpriteTest, DeviceContextFailureReleasesTheSurface)
{
    Open();
    TQIM sprite(Engine.get());
    sprite.SetPicture(BitmapPicture(Columns(4, 4)));
    Display.Fail("GetDC:Offscreen");
    const int before = Display.Soft().SurfaceCount();
    sprite.CreateDXImage();
    EXPECT_EQ(sprite.GetErrorResult(), "eFpSurface->GetDC (QIM)");
    EXPECT_EQ(sprite.Surface(), nullptr);
    EXPECT_EQ(Display.Soft().SurfaceCount(), before);
}

TEST_F(ImageSpriteTest, FullScreenBackgroundLeavesTheLastColumnAndRowBlack)
{
    Open();
    TQIM background(Engine.get());
    background.SetStretching(true);
    background.SetShowX(0);
    background.SetShowY(0);
    background.SetOriginalWidth(1024);
    background.SetOriginalHeight(768);
    background.SetPicture(BitmapPicture(MakeBitmap(1024, 768, [](int, int) { return 0x00C08040u; })));
    background.CreateDXImage();
    background.SetTransparency(false);
    Display.ClearCallLog();
    const auto screen = Frame([&] { background.DrawImage(); });
    EXPECT_EQ(background.GetErrorResult(), "");
    const auto blits = Display.BltFasts();
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0].Source, (TRect{0, 0, 1023, 767}));
    EXPECT_EQ(screen.GetPixel(0, 0), 0x00C08040u);
    EXPECT_EQ(screen.GetPixel(1022, 766), 0x00C08040u);
    EXPECT_EQ(screen.GetPixel(1023, 300), 0u);
    EXPECT_EQ(screen.GetPixel(300, 767), 0u);
}

TEST_F(ImageSpriteTest, SpriteLeftOfTheScreenIsDrawnFromColumn10)
{
    Open();
    TQIM sprite(Engine.get());
    Prepare(sprite, Columns(100, 20), -10, 30);
    const auto screen = Frame([&] { sprite.DrawImage(); });
    EXPECT_EQ(screen.GetPixel(0, 30), 0x00100000u + 10);
    EXPECT_EQ(screen.GetPixel(89, 49), 0x00100000u + 99);
    EXPECT_EQ(screen.GetPixel(90, 30), 0u);
}

TEST_F(ImageSpriteTest, SpriteAtTheLastColumnDrawsNothingAndReportsNothing)
{
    Open();
    TQIM sprite(Engine.get());
    Prepare(sprite, Columns(100, 20), 1023, 30);
    Display.ClearCallLog();
    Frame([&] {
        sprite.DrawImage();
        sprite.SetShowX(-99);
        sprite.DrawImage();
    });
    EXPECT_TRUE(Display.BltFasts().empty());
    EXPECT_EQ(sprite.GetErrorResult(), "");
}

TEST_F(ImageSpriteTest, SpriteWiderThanTheScreenIsClippedOnBothSides)
{
    Open();
    TQIM sprite(Engine.get());
    Prepare(sprite, Columns(1100, 10), -20, 100);
    const auto screen = Frame([&] { sprite.DrawImage(); });
    EXPECT_EQ(sprite.GetErrorResult(), "");
    EXPECT_EQ(screen.GetPixel(0, 100), 0x00100000u + 20);
    EXPECT_EQ(screen.GetPixel(1022, 100), 0x00100000u + 1042);
    EXPECT_EQ(screen.GetPixel(1023, 100), 0u);
}

TEST_F(ImageSpriteTest, BlackIsTransparentWithTheColourKey)
{
    Open();
    TQIM under(Engine.get());
    Prepare(under, MakeBitmap(8, 8, [](int, int) { return 0x00FF0000u; }), 10, 10);
    TQIM over(Engine.get());
    Prepare(over, MakeBitmap(8, 8, [](int x, int) { return x < 4 ? 0u : 0x00FFFFFFu; }), 10, 10, true);
    EXPECT_TRUE(over.GetTransparency());
    EXPECT_EQ(over.BlitFlags(), DDFlags::BltFastSrcColorKey);
    const auto keyed = Frame([&] {
        under.DrawImage();
        over.DrawImage();
    });
    EXPECT_EQ(keyed.GetPixel(11, 12), 0x00FF0000u);
    EXPECT_EQ(keyed.GetPixel(15, 12), 0x00FFFFFFu);
    over.SetTransparency(false);
    EXPECT_FALSE(over.GetTransparency());
    const auto opaque = Frame([&] {
        under.DrawImage();
        over.DrawImage();
    });
    EXPECT_EQ(opaque.GetPixel(11, 12), 0u);
}

TEST_F(ImageSpriteTest, TransparencyBeforePreparationReportsAndChangesNothing)
{
    Open();
    TQIM sprite(Engine.get());
    sprite.SetTransparency(true);
    EXPECT_EQ(sprite.GetErrorResult(), "eFpSurface==NULL");
    EXPECT_FALSE(sprite.GetTransparency());
}

TEST_F(ImageSpriteTest, RefusedColourKeyReleasesTheSurface)
{
    Open();
    TQIM sprite(Engine.get());
    Display.Fail("SetColorKey:Offscreen");
    Prepare(sprite, Columns(4, 4), 0, 0, true);
    EXPECT_EQ(sprite.GetErrorResult(), "eSetColorKey (QIM)");
    EXPECT_TRUE(sprite.GetTransparency());
    EXPECT_EQ(sprite.Surface(), nullptr);
    Frame([&] { sprite.DrawImage(); });
    EXPECT_EQ(sprite.GetErrorResult(), "eFpSurface==NULL");
}

TEST_F(ImageSpriteTest, DrawingWhileThePrimaryIsLostReportsLostSurface)
{
    Open();
    TQIM sprite(Engine.get());
    Prepare(sprite, Columns(4, 4), 5, 5);
    Display.SetPrimaryLost(true);
    Display.ClearCallLog();
    sprite.DrawImage();
    EXPECT_EQ(sprite.GetErrorResult(), "Lost surface");
    EXPECT_TRUE(Display.BltFasts().empty());
}

TEST_F(ImageSpriteTest, TheOpaqueCoverIsWhereAnUnkeyedDrawLands)
{
    Open();
    TQIM background(Engine.get());
    Prepare(background, Columns(1024, 768), 0, 0);
    EXPECT_EQ(background.OpaqueCover(), (TRect{0, 0, 1023, 767})) << "the last column and row are not drawn";
    TQIM left(Engine.get());
    Prepare(left, Columns(100, 50), -10, 20);
    EXPECT_EQ(left.OpaqueCover(), (TRect{0, 20, 90, 70}));

    TQIM keyed(Engine.get());
    Prepare(keyed, Columns(100, 50), 0, 0, true);
    EXPECT_EQ(keyed.OpaqueCover(), std::nullopt) << "its black pixels let the clear show";
    TQIM unprepared(Engine.get());
    EXPECT_EQ(unprepared.OpaqueCover(), std::nullopt);
    TQIM offScreen(Engine.get());
    Prepare(offScreen, Columns(100, 50), 1023, 0);
    EXPECT_EQ(offScreen.OpaqueCover(), std::nullopt);
    TQIM resized(Engine.get());
    resized.SetStretching(true);
    resized.SetStretchWidth(40);
    resized.SetStretchHeight(40);
    Prepare(resized, Columns(40, 40), 0, 0);
    resized.SetStretchWidth(80);
    EXPECT_EQ(resized.OpaqueCover(), std::nullopt) << "a draw size past the surface's fails to draw";
    Display.SetPrimaryLost(true);
    EXPECT_EQ(background.OpaqueCover(), std::nullopt) << "nothing is drawn while the primary is lost";
}

TEST_F(ImageSpriteTest, ABackdropLeavesTheFrameAsAWholeClearWould)
{
    Open();
    TQIM background(Engine.get());
    background.SetStretching(true);
    background.SetOriginalWidth(1024);
    background.SetOriginalHeight(768);
    Prepare(background, MakeBitmap(1024, 768, [](int x, int y) { return static_cast<std::uint32_t>(x * 4096 + y); }), 0, 0);
    const auto whiteFrame = [&] { Engine->GetFDDBACK()->BltColorFill(std::nullopt, 0x00FFFFFFu, DDFlags::BltColorFill); };
    Frame(whiteFrame);
    Frame(whiteFrame);
    const auto cleared = Frame([&] { background.DrawImage(); });
    Engine->SetBackdrop(&background);
    Frame(whiteFrame);
    Frame(whiteFrame);
    EXPECT_EQ(Frame([&] { background.DrawImage(); }), cleared);
}

struct TBlitFailure {
    TDDResult Result;
    const char *Text;
};

class ImageSpriteBlitFailureTest : public ImageSpriteTest, public ::testing::WithParamInterface<TBlitFailure> {};

TEST_P(ImageSpriteBlitFailureTest, NamesTheResult)
{
    Open();
    TQIM sprite(Engine.get());
    Prepare(sprite, Columns(4, 4), 5, 5);
    Display.Fail("BltFast:Back", GetParam().Result);
    sprite.DrawImage();
    EXPECT_EQ(sprite.GetErrorResult(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Results, ImageSpriteBlitFailureTest,
    ::testing::Values(TBlitFailure{DDResult::InvalidParams, "Error FDDBACK->BltFast (BMP) err #DERR_INVALIDPARAMS"},
                      TBlitFailure{DDResult::SurfaceBusy, "Error FDDBACK->BltFast (BMP) err #DDERR_SURFACEBUSY"},
                      TBlitFailure{DDResult::NoBltHw, "Error FDDBACK->BltFast (BMP) err #DDERR_NOBLTHW"},
                      TBlitFailure{DDResult::NoColorKey, "Error FDDBACK->BltFast (BMP) err #"},
                      TBlitFailure{DDResult::SurfaceLost, "Lost surface"}));

TEST_F(ImageSpriteTest, StillDrawingBlitsAreRepeated)
{
    Open();
    TQIM sprite(Engine.get());
    Prepare(sprite, Columns(4, 4), 5, 5);
    Display.Fail("BltFast:Back", DDResult::WasStillDrawing, 0, 2);
    const auto screen = Frame([&] { sprite.DrawImage(); });
    EXPECT_EQ(sprite.GetErrorResult(), "");
    EXPECT_EQ(Display.Calls("BltFast:Back"), 3);
    EXPECT_EQ(screen.GetPixel(6, 6), 0x00100001u);
}

TEST_F(ImageSpriteTest, StretchingRendersIntoTheStretchSize)
{
    Open();
    TQIM sprite(Engine.get());
    sprite.SetStretching(true);
    sprite.SetOriginalWidth(4);
    sprite.SetOriginalHeight(4);
    Prepare(sprite, MakeBitmap(2, 2, [](int x, int y) { return static_cast<std::uint32_t>(1 + x + 2 * y); }), 10, 10);
    ASSERT_NE(sprite.Surface(), nullptr);
    EXPECT_EQ(sprite.Surface()->Width(), 4);
    const auto screen = Frame([&] { sprite.DrawImage(); });
    EXPECT_EQ(screen.GetPixel(10, 10), 1u);
    EXPECT_EQ(screen.GetPixel(11, 11), 1u);
    EXPECT_EQ(screen.GetPixel(12, 10), 2u);
    EXPECT_EQ(screen.GetPixel(13, 13), 4u);
    EXPECT_EQ(screen.GetPixel(14, 14), 0u);
}

TEST_F(ImageSpriteTest, JpegAndGifPicturesAreRendered)
{
    Open();
    const auto flat = MakeBitmap(16, 16, [](int, int) { return 0x00FFFFFFu; });
    TQIM jpeg(Engine.get());
    jpeg.SetPicture(*Imaging::TPicture::FromFile(Imaging::TGraphicKind::Jpeg, Testing::MakeJpeg(flat)).Picture);
    jpeg.SetShowX(10);
    jpeg.SetShowY(10);
    jpeg.CreateDXImage();
    TQIM gif(Engine.get());
    gif.SetPicture(*Imaging::TPicture::FromFile(Imaging::TGraphicKind::Gif, Testing::MakeGif(flat)).Picture);
    gif.SetShowX(40);
    gif.SetShowY(10);
    gif.CreateDXImage();
    const auto screen = Frame([&] {
        jpeg.DrawImage();
        gif.DrawImage();
    });
    EXPECT_GE(screen.GetPixel(15, 15) & 0xFF, 0xF0u);
    EXPECT_EQ(screen.GetPixel(45, 15), 0x00FFFFFFu);
}

TEST_F(ImageSpriteTest, SurfaceLossIsRepairedForImagesAndDerivedClasses)
{
    Open();
    TQIM image(Engine.get());
    Prepare(image, MakeBitmap(8, 8, [](int, int) { return 0x00112233u; }), 10, 10);
    TPanelGadget gadget(Engine.get());
    Prepare(gadget, MakeBitmap(8, 8, [](int x, int) { return x < 4 ? 0u : 0x00445566u; }), 30, 10, true);
    Display.LoseAllSurfaces();
    // The first frame restores the primary and reloads every sprite; their pictures show again.
    const auto screen = Frame([&] {
        image.DrawImage();
        gadget.DrawImage();
    });
    EXPECT_EQ(image.GetErrorResult(), "");
    EXPECT_EQ(screen.GetPixel(12, 12), 0x00112233u);
    EXPECT_EQ(screen.GetPixel(36, 12), 0x00445566u);
    // The gadget's colour key stayed with its surface.
    EXPECT_EQ(screen.GetPixel(31, 12), 0u);
}

TEST_F(ImageSpriteTest, RestoreFailuresAreReported)
{
    Open();
    TQIM sprite(Engine.get());
    Prepare(sprite, Columns(4, 4), 0, 0);
    Display.Fail("Restore:Offscreen", DDResult::Generic, 0, 1);
    sprite.RestoreSurface();
    EXPECT_EQ(sprite.GetErrorResult(), "Can't restore surface TQIM");
    EXPECT_NE(sprite.Surface(), nullptr);
    Display.Fail("GetDC:Offscreen", DDResult::Generic, 0, 1);
    sprite.RestoreSurface();
    EXPECT_EQ(sprite.GetErrorResult(), "eFpSurface->GetDC (BMP)");
    EXPECT_EQ(sprite.Surface(), nullptr);
    // Without a surface there is nothing to restore.
    sprite.SetErrorResult("");
    sprite.RestoreSurface();
    EXPECT_EQ(sprite.GetErrorResult(), "");
}

TEST_F(ImageSpriteTest, ClosingTheEngineReleasesEverySpriteDerivedOnesIncluded)
{
    Open();
    const int engineSurfaces = Display.Soft().SurfaceCount();
    TQIM image(Engine.get());
    Prepare(image, Columns(4, 4), 0, 0);
    TPanelGadget gadget(Engine.get());
    Prepare(gadget, Columns(4, 4), 0, 0);
    EXPECT_EQ(Display.Soft().SurfaceCount(), engineSurfaces + 2);
    Engine->SetEnabled(false);
    EXPECT_EQ(image.Surface(), nullptr);
    EXPECT_EQ(gadget.Surface(), nullptr);
    EXPECT_EQ(gadget.GetFDDBACK(), nullptr);
    EXPECT_EQ(Display.Soft().SurfaceCount(), 0);
    // Drawing after the close reports the missing surface instead of touching released ones.
    gadget.DrawImage();
    EXPECT_EQ(gadget.GetErrorResult(), "eFpSurface==NULL");
}

TEST_F(ImageSpriteTest, ASpriteOutlivingItsEngineIsTakenOffIt)
{
    Open();
    TQIM sprite(Engine.get());
    TQMV strip(Engine.get());
    sprite.SetPicture(BitmapPicture(Columns(4, 4)));
    sprite.CreateDXImage();
    Engine.reset();
    EXPECT_EQ(sprite.Parent(), nullptr);
    EXPECT_EQ(strip.Parent(), nullptr);
    EXPECT_EQ(sprite.Surface(), nullptr);
    sprite.DrawImage();
    EXPECT_EQ(sprite.GetErrorResult(), "eFpSurface==NULL");
    sprite.CreateDXImage();
    EXPECT_EQ(sprite.GetErrorResult(), "FDD==NULL");
    // The fixture's tear-down finds no engine to disable.
    Engine = std::make_unique<TQss>(&Form, TQssServices{Display, Registry.Registry(), Sound, Clock},
                                    std::make_unique<Testing::TManualTimer>());
}

TEST_F(ImageSpriteTest, ASpriteDestroyedFirstLeavesTheEngine)
{
    Open();
    TQIM staying(Engine.get());
    Prepare(staying, Columns(4, 4), 0, 0);
    const int withStaying = Display.Soft().SurfaceCount();
    {
        TQIM sprite(Engine.get());
        Prepare(sprite, Columns(4, 4), 0, 0);
        ASSERT_EQ(Display.Soft().SurfaceCount(), withStaying + 1);
    }
    EXPECT_EQ(Display.Soft().SurfaceCount(), withStaying) << "its surface went with it";
    // The engine reaches only the sprite still on it: one surface restored, one closed.
    Display.LoseAllSurfaces();
    Display.ClearCallLog();
    Engine->TimerTick();
    EXPECT_EQ(Display.Calls("Restore:Offscreen"), 1);
    Engine->SetEnabled(false);
    EXPECT_EQ(Display.Calls("Release:Offscreen"), 1);
    EXPECT_EQ(staying.Surface(), nullptr);
}

} // namespace
} // namespace Halcyra
