// Tests of the soft display: DirectDraw's rules kept in memory (exclusive mode, one primary chain,
// strict BltFast rectangles, colour keys, busy surfaces, loss and restore, released devices, the
// gamma ramp), and its device contexts (pixels in COLORREF order, bitmaps, text).
#include "platform/soft/SoftDisplay.h"

#include <gtest/gtest.h>

namespace Halcyra::Platform {
namespace {

using Imaging::TBitmap32;

class SoftDisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Driver.DirectDrawCreate(std::nullopt, Device), DDResult::Ok);
    }

    void OpenScreen(int width = 64, int height = 48)
    {
        ASSERT_EQ(Device->SetCooperativeLevel(0x10, DDFlags::CooperativeExclusive | DDFlags::CooperativeFullScreen), DDResult::Ok);
        ASSERT_EQ(Device->SetDisplayMode(width, height, 32), DDResult::Ok);
        TSurfaceDescription description;
        description.Flags = DDFlags::DescCaps | DDFlags::DescBackBufferCount;
        description.Caps = DDFlags::CapsPrimarySurface | DDFlags::CapsFlip | DDFlags::CapsComplex;
        description.BackBufferCount = 1;
        ASSERT_EQ(Device->CreateSurface(description, Primary), DDResult::Ok);
        ASSERT_EQ(Primary->GetAttachedSurface(DDFlags::CapsBackBuffer, Back), DDResult::Ok);
    }

    std::unique_ptr<IDisplaySurface> Offscreen(int width, int height, std::uint32_t fill = 0)
    {
        TSurfaceDescription description;
        description.Flags = DDFlags::DescCaps | DDFlags::DescWidth | DDFlags::DescHeight;
        description.Caps = DDFlags::CapsOffscreenPlain;
        description.Width = width;
        description.Height = height;
        std::unique_ptr<IDisplaySurface> surface;
        EXPECT_EQ(Device->CreateSurface(description, surface), DDResult::Ok);
        if (surface)
            surface->BltColorFill(std::nullopt, fill, DDFlags::BltColorFill);
        return surface;
    }

    static std::uint32_t Pixel(IDisplaySurface &surface, int x, int y)
    {
        TSurfaceLock lock;
        if (surface.Lock(lock, 0) != DDResult::Ok)
            return 0xDEADBEEFu;
        const auto *row = static_cast<const std::uint8_t *>(lock.Bits) + static_cast<std::ptrdiff_t>(y) * lock.Pitch;
        const std::uint32_t value = reinterpret_cast<const std::uint32_t *>(row)[x];
        surface.Unlock();
        return value;
    }

    std::shared_ptr<TSoftMemoryPresenter> Screen = std::make_shared<TSoftMemoryPresenter>();
    TSoftDisplayDriver Driver{TSoftDisplayConfig{}, Screen, SystemSoftFonts()};
    std::unique_ptr<IDisplayDevice> Device;
    std::unique_ptr<IDisplaySurface> Primary;
    std::unique_ptr<IDisplaySurface> Back;
};

TEST_F(SoftDisplayTest, ModeChangesNeedExclusiveFullScreenMode)
{
    EXPECT_EQ(Device->SetDisplayMode(64, 48, 32), DDResult::NoExclusiveMode);
    EXPECT_EQ(Device->SetCooperativeLevel(0, DDFlags::CooperativeExclusive | DDFlags::CooperativeFullScreen), DDResult::InvalidParams);
    EXPECT_EQ(Device->SetCooperativeLevel(0x10, DDFlags::CooperativeExclusive), DDResult::InvalidParams);
    ASSERT_EQ(Device->SetCooperativeLevel(0x10, DDFlags::CooperativeExclusive | DDFlags::CooperativeFullScreen), DDResult::Ok);
    EXPECT_EQ(Device->SetDisplayMode(64, 48, 24), DDResult::UnsupportedMode);
    EXPECT_EQ(Device->SetDisplayMode(0, 48, 32), DDResult::UnsupportedMode);
    EXPECT_EQ(Device->SetDisplayMode(64, 48, 32), DDResult::Ok);
    EXPECT_TRUE(Screen->IsOpen());
    EXPECT_EQ(Driver.ModeWidth(), 64);
}

TEST_F(SoftDisplayTest, OnePrimaryChainWithOneBackBuffer)
{
    OpenScreen();
    EXPECT_EQ(Primary->Width(), 64);
    EXPECT_EQ(Back->Height(), 48);
    TSurfaceDescription second;
    second.Flags = DDFlags::DescCaps | DDFlags::DescBackBufferCount;
    second.Caps = DDFlags::CapsPrimarySurface | DDFlags::CapsFlip | DDFlags::CapsComplex;
    second.BackBufferCount = 1;
    std::unique_ptr<IDisplaySurface> another;
    EXPECT_EQ(Device->CreateSurface(second, another), DDResult::PrimarySurfaceAlreadyExists);
    EXPECT_EQ(Back->Flip(nullptr, 0), DDResult::NotFlippable);
    auto plain = Offscreen(4, 4);
    std::unique_ptr<IDisplaySurface> attached;
    EXPECT_EQ(plain->GetAttachedSurface(DDFlags::CapsBackBuffer, attached), DDResult::NotFound);
}

TEST_F(SoftDisplayTest, FlippingChainNeedsExclusiveModeAndABackBufferCount)
{
    TSurfaceDescription description;
    description.Flags = DDFlags::DescCaps | DDFlags::DescBackBufferCount;
    description.Caps = DDFlags::CapsPrimarySurface | DDFlags::CapsFlip | DDFlags::CapsComplex;
    description.BackBufferCount = 1;
    std::unique_ptr<IDisplaySurface> surface;
    EXPECT_EQ(Device->CreateSurface(description, surface), DDResult::NoExclusiveMode);
    ASSERT_EQ(Device->SetCooperativeLevel(0x10, DDFlags::CooperativeExclusive | DDFlags::CooperativeFullScreen), DDResult::Ok);
    description.BackBufferCount = 0;
    EXPECT_EQ(Device->CreateSurface(description, surface), DDResult::InvalidParams);
    description.Flags = 0;
    EXPECT_EQ(Device->CreateSurface(description, surface), DDResult::InvalidParams);
}

TEST_F(SoftDisplayTest, FlipShowsTheBackBuffer)
{
    OpenScreen();
    Back->BltColorFill(std::nullopt, 0x00123456u, DDFlags::BltColorFill | DDFlags::BltWait);
    ASSERT_EQ(Primary->Flip(nullptr, 0), DDResult::Ok);
    EXPECT_EQ(Screen->Screen()->GetPixel(10, 10), 0x00123456u);
    EXPECT_EQ(Pixel(*Primary, 10, 10), 0x00123456u);
    // The buffers swapped: the back buffer now holds the older frame.
    EXPECT_EQ(Pixel(*Back, 10, 10), 0u);
    EXPECT_EQ(Screen->PresentCount(), 1);
}

TEST_F(SoftDisplayTest, BltFastRefusesRectanglesOutsideEitherSurface)
{
    OpenScreen();
    auto source = Offscreen(10, 10, 0x00FF0000u);
    EXPECT_EQ(Back->BltFast(60, 0, *source, TRect{0, 0, 10, 10}, 0), DDResult::InvalidRect);
    EXPECT_EQ(Back->BltFast(-1, 0, *source, TRect{0, 0, 10, 10}, 0), DDResult::InvalidRect);
    EXPECT_EQ(Back->BltFast(0, 0, *source, TRect{0, 0, 11, 10}, 0), DDResult::InvalidRect);
    EXPECT_EQ(Back->BltFast(0, 0, *source, TRect{-1, 0, 5, 5}, 0), DDResult::InvalidRect);
    EXPECT_EQ(Back->BltFast(0, 0, *source, TRect{5, 5, 5, 8}, 0), DDResult::InvalidRect);
    EXPECT_EQ(Pixel(*Back, 63, 0), 0u);
    EXPECT_EQ(Back->BltFast(54, 38, *source, TRect{0, 0, 10, 10}, 0), DDResult::Ok);
    EXPECT_EQ(Pixel(*Back, 63, 47), 0x00FF0000u);
    EXPECT_EQ(Pixel(*Back, 53, 47), 0u);
}

TEST_F(SoftDisplayTest, SourceColourKeySkipsKeyedPixels)
{
    OpenScreen();
    auto source = Offscreen(4, 1);
    TSurfaceLock lock;
    ASSERT_EQ(source->Lock(lock, 0), DDResult::Ok);
    auto *pixels = static_cast<std::uint32_t *>(lock.Bits);
    pixels[0] = 0x00000000u;
    pixels[1] = 0x00FFFFFFu;
    pixels[2] = 0x00000001u;
    pixels[3] = 0x00000005u;
    source->Unlock();
    Back->BltColorFill(std::nullopt, 0x00AA0000u, DDFlags::BltColorFill);
    EXPECT_EQ(Back->BltFast(0, 0, *source, TRect{0, 0, 4, 1}, DDFlags::BltFastSrcColorKey), DDResult::NoColorKey);
    ASSERT_EQ(source->SetColorKey(DDFlags::ColorKeySrcBlt, 0, 1), DDResult::Ok);
    ASSERT_EQ(Back->BltFast(0, 0, *source, TRect{0, 0, 4, 1}, DDFlags::BltFastSrcColorKey), DDResult::Ok);
    EXPECT_EQ(Pixel(*Back, 0, 0), 0x00AA0000u);
    EXPECT_EQ(Pixel(*Back, 1, 0), 0x00FFFFFFu);
    EXPECT_EQ(Pixel(*Back, 2, 0), 0x00AA0000u);
    EXPECT_EQ(Pixel(*Back, 3, 0), 0x00000005u);
    // Without the flag the key is not used.
    ASSERT_EQ(Back->BltFast(0, 0, *source, TRect{0, 0, 4, 1}, 0), DDResult::Ok);
    EXPECT_EQ(Pixel(*Back, 0, 0), 0u);
}

TEST_F(SoftDisplayTest, ACopyOntoItselfDownwardsKeepsTheSource)
{
    auto surface = Offscreen(2, 4);
    TSurfaceLock lock;
    ASSERT_EQ(surface->Lock(lock, 0), DDResult::Ok);
    auto *pixels = static_cast<std::uint32_t *>(lock.Bits);
    for (int i = 0; i < 8; ++i)
        pixels[i] = static_cast<std::uint32_t>(i / 2 + 1);
    surface->Unlock();
    ASSERT_EQ(surface->BltFast(0, 1, *surface, TRect{0, 0, 2, 3}, 0), DDResult::Ok);
    EXPECT_EQ(Pixel(*surface, 0, 0), 1u);
    EXPECT_EQ(Pixel(*surface, 0, 1), 1u);
    EXPECT_EQ(Pixel(*surface, 0, 2), 2u);
    EXPECT_EQ(Pixel(*surface, 1, 3), 3u);
}

TEST_F(SoftDisplayTest, LockedSurfacesAndOpenDeviceContextsAreBusy)
{
    OpenScreen();
    auto source = Offscreen(4, 4);
    TSurfaceLock lock;
    ASSERT_EQ(source->Lock(lock, 0), DDResult::Ok);
    EXPECT_EQ(source->Lock(lock, 0), DDResult::SurfaceBusy);
    EXPECT_EQ(Back->BltFast(0, 0, *source, TRect{0, 0, 4, 4}, 0), DDResult::SurfaceBusy);
    IDeviceContext *dc = nullptr;
    EXPECT_EQ(source->GetDC(dc), DDResult::SurfaceBusy);
    ASSERT_EQ(source->Unlock(), DDResult::Ok);
    EXPECT_EQ(source->Unlock(), DDResult::NotLocked);
    ASSERT_EQ(source->GetDC(dc), DDResult::Ok);
    IDeviceContext *second = nullptr;
    EXPECT_EQ(source->GetDC(second), DDResult::DcAlreadyCreated);
    EXPECT_EQ(source->Lock(lock, 0), DDResult::SurfaceBusy);
    EXPECT_EQ(source->ReleaseDC(nullptr), DDResult::InvalidParams);
    ASSERT_EQ(source->ReleaseDC(dc), DDResult::Ok);
    // A back buffer with its device context out cannot be flipped.
    ASSERT_EQ(Back->GetDC(dc), DDResult::Ok);
    EXPECT_EQ(Primary->Flip(nullptr, 0), DDResult::SurfaceBusy);
    Back->ReleaseDC(dc);
    EXPECT_EQ(Primary->Flip(nullptr, 0), DDResult::Ok);
}

TEST_F(SoftDisplayTest, LostSurfacesFailUntilRestoredAndThenHoldNothingUseful)
{
    OpenScreen();
    auto source = Offscreen(4, 4, 0x00112233u);
    Driver.LoseAllSurfaces();
    EXPECT_EQ(Primary->IsLost(), DDResult::SurfaceLost);
    EXPECT_EQ(Back->IsLost(), DDResult::SurfaceLost);
    EXPECT_EQ(source->IsLost(), DDResult::SurfaceLost);
    EXPECT_EQ(Back->BltFast(0, 0, *source, TRect{0, 0, 4, 4}, 0), DDResult::SurfaceLost);
    EXPECT_EQ(Primary->Flip(nullptr, 0), DDResult::SurfaceLost);
    TSurfaceLock lock;
    EXPECT_EQ(source->Lock(lock, 0), DDResult::SurfaceLost);
    // Restoring the primary restores its chain; each off-screen surface restores itself.
    ASSERT_EQ(Primary->Restore(), DDResult::Ok);
    EXPECT_EQ(Back->IsLost(), DDResult::Ok);
    EXPECT_EQ(source->IsLost(), DDResult::SurfaceLost);
    ASSERT_EQ(source->Restore(), DDResult::Ok);
    EXPECT_NE(Pixel(*source, 0, 0), 0x00112233u);
}

TEST_F(SoftDisplayTest, AModeChangeLosesTheSurfaces)
{
    OpenScreen();
    auto source = Offscreen(4, 4);
    ASSERT_EQ(Device->SetDisplayMode(64, 48, 32), DDResult::Ok);
    EXPECT_EQ(source->IsLost(), DDResult::SurfaceLost);
    EXPECT_EQ(Primary->IsLost(), DDResult::SurfaceLost);
}

TEST_F(SoftDisplayTest, SurfacesOfAReleasedDeviceAreInvalid)
{
    OpenScreen();
    auto source = Offscreen(4, 4);
    Device.reset();
    EXPECT_FALSE(Driver.DeviceAlive());
    EXPECT_FALSE(Screen->IsOpen());
    EXPECT_EQ(source->IsLost(), DDResult::InvalidObject);
    EXPECT_EQ(Back->BltFast(0, 0, *source, TRect{0, 0, 4, 4}, 0), DDResult::InvalidObject);
    EXPECT_EQ(Primary->Flip(nullptr, 0), DDResult::InvalidObject);
}

TEST_F(SoftDisplayTest, ColourFillStaysInsideTheSurface)
{
    auto surface = Offscreen(4, 4);
    EXPECT_EQ(surface->BltColorFill(TRect{0, 0, 5, 4}, 1, DDFlags::BltColorFill), DDResult::InvalidRect);
    EXPECT_EQ(surface->BltColorFill(TRect{1, 1, 3, 3}, 0x00ABCDEFu, 0), DDResult::InvalidParams);
    ASSERT_EQ(surface->BltColorFill(TRect{1, 1, 3, 3}, 0xFFABCDEFu, DDFlags::BltColorFill), DDResult::Ok);
    EXPECT_EQ(Pixel(*surface, 1, 1), 0x00ABCDEFu);
    EXPECT_EQ(Pixel(*surface, 3, 3), 0u);
}

TEST_F(SoftDisplayTest, OffscreenSurfacesHaveLimits)
{
    TSurfaceDescription description;
    description.Flags = DDFlags::DescCaps | DDFlags::DescWidth | DDFlags::DescHeight;
    description.Caps = DDFlags::CapsOffscreenPlain;
    std::unique_ptr<IDisplaySurface> surface;
    description.Width = 0;
    description.Height = 5;
    EXPECT_EQ(Device->CreateSurface(description, surface), DDResult::InvalidParams);
    description.Width = 100000;
    EXPECT_EQ(Device->CreateSurface(description, surface), DDResult::OutOfMemory);
    description.Flags = DDFlags::DescCaps;
    EXPECT_EQ(Device->CreateSurface(description, surface), DDResult::InvalidParams);
}

TEST_F(SoftDisplayTest, GammaRampOfThePrimaryGoesToThePresenter)
{
    OpenScreen();
    TDisplayCaps caps;
    ASSERT_EQ(Device->GetCaps(caps), DDResult::Ok);
    EXPECT_TRUE(caps.Caps2 & DDFlags::Caps2PrimaryGamma);
    std::unique_ptr<IGammaControl> none;
    EXPECT_EQ(Back->QueryGammaControl(none), DDResult::NoInterface);
    std::unique_ptr<IGammaControl> control;
    ASSERT_EQ(Primary->QueryGammaControl(control), DDResult::Ok);
    TGammaRamp ramp;
    ASSERT_EQ(control->GetGammaRamp(0, ramp), DDResult::Ok);
    EXPECT_EQ(ramp, IdentityGammaRamp());
    for (auto &entry : ramp.Red)
        entry = 0;
    ASSERT_EQ(control->SetGammaRamp(0, ramp), DDResult::Ok);
    Back->BltColorFill(std::nullopt, 0x00FF8040u, DDFlags::BltColorFill);
    Primary->Flip(nullptr, 0);
    EXPECT_EQ(Screen->Screen()->GetPixel(0, 0), 0x00008040u);
    TGammaRamp read;
    control->GetGammaRamp(0, read);
    EXPECT_EQ(read, ramp);
}

TEST_F(SoftDisplayTest, WithoutGammaSupportTheRampIsRefused)
{
    Screen->SetSupportsGamma(false);
    OpenScreen();
    TDisplayCaps caps;
    Device->GetCaps(caps);
    EXPECT_FALSE(caps.Caps2 & DDFlags::Caps2PrimaryGamma);
    std::unique_ptr<IGammaControl> control;
    ASSERT_EQ(Primary->QueryGammaControl(control), DDResult::Ok);
    EXPECT_EQ(control->SetGammaRamp(0, IdentityGammaRamp()), DDResult::Generic);
}

TEST_F(SoftDisplayTest, EnumerationAndDevicesByIdentifier)
{
    TDeviceGuid second;
    second.Bytes[3] = 7;
    TSoftDisplayConfig config;
    config.Devices.push_back(TSoftDeviceInfo{second, "Second", "display2"});
    TSoftDisplayDriver driver(config, Screen, SystemSoftFonts());
    std::vector<std::string> names;
    ASSERT_EQ(driver.EnumerateDevices(DDFlags::EnumAttachedSecondaryDevices,
                                      [&](const std::optional<TDeviceGuid> &, const std::string &, const std::string &name) {
                                          names.push_back(name);
                                          return false;
                                      }),
              DDResult::Ok);
    EXPECT_EQ(names, std::vector<std::string>{"display"});
    std::unique_ptr<IDisplayDevice> device;
    EXPECT_EQ(driver.DirectDrawCreate(second, device), DDResult::Ok);
    TDeviceGuid unknown;
    unknown.Bytes[0] = 1;
    std::unique_ptr<IDisplayDevice> other;
    EXPECT_EQ(driver.DirectDrawCreate(unknown, other), DDResult::InvalidParams);
}

// --- Device contexts ---

class SoftDeviceContextTest : public SoftDisplayTest {
protected:
    void SetUp() override
    {
        SoftDisplayTest::SetUp();
        Surface = Offscreen(200, 60);
        ASSERT_EQ(Surface->GetDC(Dc), DDResult::Ok);
    }
    void TearDown() override
    {
        if (Dc != nullptr)
            Surface->ReleaseDC(Dc);
    }

    int LitPixels(const TRect &area)
    {
        int lit = 0;
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                lit += (Dc->GetPixel(x, y) & 0x00FFFFFFu) != 0 ? 1 : 0;
        return lit;
    }

    std::unique_ptr<IDisplaySurface> Surface;
    IDeviceContext *Dc = nullptr;
};

TEST_F(SoftDeviceContextTest, PixelsAreColorRefs)
{
    EXPECT_EQ(Dc->SetPixel(3, 4, MakeColorRef(255, 0, 0)), MakeColorRef(255, 0, 0));
    EXPECT_EQ(Dc->GetPixel(3, 4), 0x000000FFu);
    EXPECT_EQ(Dc->GetPixel(-1, 0), ColorRefInvalid);
    EXPECT_EQ(Dc->SetPixel(200, 0, 0), ColorRefInvalid);
    Surface->ReleaseDC(Dc);
    Dc = nullptr;
    EXPECT_EQ(Pixel(*Surface, 3, 4), 0x00FF0000u);
}

TEST_F(SoftDeviceContextTest, BitmapsAreDrawnClippedAndStretched)
{
    auto bitmap = TBitmap32::Create(2, 2);
    bitmap->SetPixel(0, 0, 0x00000001u);
    bitmap->SetPixel(1, 0, 0x00000002u);
    bitmap->SetPixel(0, 1, 0x00000003u);
    bitmap->SetPixel(1, 1, 0x00000004u);
    EXPECT_TRUE(Dc->DrawBitmap(-1, -1, *bitmap));
    EXPECT_EQ(Dc->GetPixel(0, 0), RgbToColorRef(4));
    EXPECT_TRUE(Dc->DrawBitmap(199, 59, *bitmap));
    EXPECT_EQ(Dc->GetPixel(199, 59), RgbToColorRef(1));
    EXPECT_TRUE(Dc->StretchDrawBitmap(TRect{10, 10, 14, 14}, *bitmap));
    EXPECT_EQ(Dc->GetPixel(11, 11), RgbToColorRef(1));
    EXPECT_EQ(Dc->GetPixel(12, 10), RgbToColorRef(2));
    EXPECT_EQ(Dc->GetPixel(13, 13), RgbToColorRef(4));
    EXPECT_FALSE(Dc->StretchDrawBitmap(TRect{10, 10, 10, 14}, *bitmap));
}

TEST_F(SoftDeviceContextTest, FontsHaveTheCellHeightAsked)
{
    const TFontHandle font = Dc->CreateFontA(TFontRequest{"Arial", 22, 700});
    ASSERT_NE(font, 0u);
    Dc->SelectFont(font);
    TTextSize size;
    ASSERT_TRUE(Dc->GetTextExtentPoint32A("22:35", size));
    EXPECT_EQ(size.Height, 22);
    EXPECT_GT(size.Width, 30);
    EXPECT_LT(size.Width, 80);
    TTextSize hours, rest;
    Dc->GetTextExtentPoint32A("22:", hours);
    Dc->GetTextExtentPoint32A("35", rest);
    EXPECT_EQ(hours.Width + rest.Width, size.Width);
    TTextSize empty;
    ASSERT_TRUE(Dc->GetTextExtentPoint32A("", empty));
    EXPECT_EQ(empty.Width, 0);
    EXPECT_TRUE(Dc->DeleteFont(font));
    EXPECT_FALSE(Dc->DeleteFont(font));
    EXPECT_EQ(Dc->SelectFont(font), 0u);
}

TEST_F(SoftDeviceContextTest, TransparentTextLeavesTheBackground)
{
    Dc->SetBkMode(TBackgroundMode::Transparent);
    Dc->SetTextColor(MakeColorRef(255, 255, 255));
    ASSERT_TRUE(Dc->TextOutA(5, 5, "Halcyra"));
    EXPECT_GT(LitPixels(TRect{5, 5, 100, 25}), 20);
    EXPECT_EQ(LitPixels(TRect{0, 30, 200, 60}), 0);
    EXPECT_EQ(LitPixels(TRect{0, 0, 5, 60}), 0);
}

TEST_F(SoftDeviceContextTest, OpaqueTextFillsItsBox)
{
    Dc->SetBkMode(TBackgroundMode::Opaque);
    Dc->SetBkColor(MakeColorRef(0, 0, 255));
    Dc->SetTextColor(MakeColorRef(255, 255, 255));
    TTextSize size;
    Dc->GetTextExtentPoint32A("ab", size);
    Dc->TextOutA(10, 10, "ab");
    EXPECT_EQ(Dc->GetPixel(10, 10), MakeColorRef(0, 0, 255));
    EXPECT_EQ(Dc->GetPixel(10 + size.Width - 1, 10 + size.Height - 1), MakeColorRef(0, 0, 255));
    EXPECT_EQ(Dc->GetPixel(10 + size.Width, 10), 0u);
}

TEST_F(SoftDeviceContextTest, ClippedTextStaysInItsRectangle)
{
    Dc->SetBkMode(TBackgroundMode::Transparent);
    Dc->SetTextColor(MakeColorRef(255, 255, 255));
    ASSERT_TRUE(Dc->ExtTextOutA(0, 5, TextOutOptions::Clipped, TRect{20, 0, 60, 60}, "WWWWWWWWWWWW"));
    EXPECT_EQ(LitPixels(TRect{0, 0, 20, 60}), 0);
    EXPECT_EQ(LitPixels(TRect{60, 0, 200, 60}), 0);
    EXPECT_GT(LitPixels(TRect{20, 0, 60, 60}), 20);
}

TEST_F(SoftDeviceContextTest, AFreshContextHasTheDefaultFontAndColours)
{
    Dc->SetTextColor(MakeColorRef(255, 0, 0));
    Dc->SetBkMode(TBackgroundMode::Transparent);
    Surface->ReleaseDC(Dc);
    ASSERT_EQ(Surface->GetDC(Dc), DDResult::Ok);
    EXPECT_EQ(Dc->SetTextColor(0), 0u);
    EXPECT_EQ(Dc->SetBkMode(TBackgroundMode::Opaque), TBackgroundMode::Opaque);
    TTextSize size;
    ASSERT_TRUE(Dc->GetTextExtentPoint32A("Frame rate: 25 FPS", size));
    EXPECT_EQ(size.Height, 16);
}

TEST(Windows1252, MapsTheHighCharacters)
{
    EXPECT_EQ(Windows1252ToUnicode('A'), U'A');
    EXPECT_EQ(Windows1252ToUnicode(0x80), U'\u20AC');
    EXPECT_EQ(Windows1252ToUnicode(0x93), U'\u201C');
    EXPECT_EQ(Windows1252ToUnicode(0xE9), U'\u00E9');
    EXPECT_EQ(Windows1252ToUnicode(0x81), U'\u0081');
}

} // namespace
} // namespace Halcyra::Platform
