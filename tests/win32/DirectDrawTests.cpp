// Tests of the Windows display on real DirectDraw (under Wine in CI): the engine opens the screen at
// 1024 by 768 by 32, image and frame-strip sprites are prepared from a JPEG and a colour-keyed
// bitmap strip, a frame is drawn and read back through Lock; the gamma calls go through without
// error; the frame timer runs the frames; disabling gives the display back.
#include "engine/Engine.h"
#include "gadgets/ClockGadget.h"
#include "gadgets/NewsTicker.h"
#include "gadgets/WeatherGadget.h"
#include "imaging/Picture.h"
#include "sprites/FrameStripSprite.h"
#include "sprites/ImageSprite.h"
#include "support/EngineFakes.h"
#include "support/TestPictures.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace Halcyra {
namespace {

using namespace Platform;
using Testing::MakeBitmap;

bool Near(std::uint32_t a, std::uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

// Pixels of a surface read through Lock, the alpha byte masked off.
class TLockedPixels {
public:
    explicit TLockedPixels(IDisplaySurface &surface) : FSurface(surface)
    {
        FResult = FSurface.Lock(FLock, DDFlags::LockWait);
    }
    ~TLockedPixels()
    {
        if (DDSucceeded(FResult))
            FSurface.Unlock();
    }
    bool Locked() const { return DDSucceeded(FResult) && FLock.Bits != nullptr; }
    int BitsPerPixel() const { return FLock.BitsPerPixel; }
    std::uint32_t At(int x, int y) const
    {
        const auto *row = reinterpret_cast<const std::uint8_t *>(FLock.Bits) + static_cast<std::ptrdiff_t>(y) * FLock.Pitch;
        return reinterpret_cast<const std::uint32_t *>(row)[x] & 0x00FFFFFFu;
    }

private:
    IDisplaySurface &FSurface;
    TSurfaceLock FLock;
    TDDResult FResult;
};

class DirectDrawTest : public ::testing::Test {
protected:
    // One window for the suite: making and destroying a top-level window costs seconds under Wine.
    static void SetUpTestSuite()
    {
        FWindow = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "Halcyra DirectDraw test", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768,
                                  nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite()
    {
        if (FWindow != nullptr)
            DestroyWindow(FWindow);
        FWindow = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(FWindow, nullptr);
        Form.WindowHandle = reinterpret_cast<TWindowHandle>(FWindow);
        FOriginal.dmSize = sizeof FOriginal;
        EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &FOriginal);
        Engine = std::make_unique<TQss>(&Form, TQssServices{SystemDisplay(), Registry.Registry(), Sound, Clock},
                                        std::make_unique<Testing::TManualTimer>());
        Engine->SetBrandName(Registry.BrandName());
        Engine->SetSSName("Halcyra Screensaver");
        Registry.ForgetKeyOf("Halcyra Screensaver");
        Engine->SetUseIdle(false);
        Engine->SetWidthScreen(1024);
        Engine->SetHeightScreen(768);
        Engine->SetColorDepth(32);
        Engine->SetInterval(40);
    }

    void TearDown() override
    {
        if (Engine)
            Engine->SetEnabled(false);
        Engine.reset();
    }

    void Open()
    {
        Engine->SetEnabled(true);
        ASSERT_EQ(Engine->GetErrorResult(), "") << "last result " << std::hex << Engine->LastResult();
        ASSERT_NE(Engine->GetFDDBACK(), nullptr);
    }

    Testing::TTestRegistry Registry;
    Testing::TRecordingSound Sound;
    Testing::TSteppedClock Clock;
    Testing::TFakeOwnerForm Form;
    std::unique_ptr<TQss> Engine;
    static inline HWND FWindow = nullptr;
    DEVMODEA FOriginal{};
};

TEST_F(DirectDrawTest, OpensTheScreenAndDrawsSpritesThatReadBackThroughLock)
{
    Open();
    EXPECT_EQ(Engine->GetFDDBACK()->Width(), 1024);
    EXPECT_EQ(Engine->GetFDDBACK()->Height(), 768);

    // A JPEG background piece: left half orange, right half blue, in 8-pixel-aligned blocks.
    const auto jpegPixels = MakeBitmap(64, 64, [](int x, int) { return x < 32 ? 0x00F08020u : 0x002040C0u; });
    auto jpeg = Imaging::TPicture::FromFile(Imaging::TGraphicKind::Jpeg, Testing::MakeJpeg(jpegPixels));
    ASSERT_TRUE(jpeg.Picture) << jpeg.Error;
    TQIM image(Engine.get());
    image.SetPicture(*jpeg.Picture);
    image.SetStretching(true);
    image.SetShowX(100);
    image.SetShowY(100);
    image.SetOriginalWidth(64);
    image.SetOriginalHeight(64);
    image.CreateDXImage();
    image.SetTransparency(false);
    ASSERT_EQ(image.GetErrorResult(), "");

    // A bitmap strip of three 16 by 16 frames; frame 1 has a white top-left pixel (its key), a white
    // left half and a green right half.
    const auto stripPixels = MakeBitmap(16, 48, [](int x, int y) {
        const int frame = y / 16;
        if (frame == 1)
            return x < 8 ? 0x00FFFFFFu : 0x0000C000u;
        return 0x00800080u;
    });
    auto strip = Imaging::TPicture::FromFile(Imaging::TGraphicKind::Bitmap, Testing::MakeBmp8(stripPixels));
    ASSERT_TRUE(strip.Picture) << strip.Error;
    TQMV movie(Engine.get());
    movie.SetPicture(*strip.Picture);
    movie.SetYOffsetFrame(16);
    movie.CreateDXMovie();
    movie.SetTransparency(true);
    ASSERT_EQ(movie.GetErrorResult(), "");
    ASSERT_EQ(movie.FrameCount(), 3);

    bool read = false;
    Engine->OnTimer = [&](TComponent &) {
        image.DrawImage();
        movie.SetNumberFrame(1);
        movie.SetShowX(110);
        movie.SetShowY(110);
        movie.DrawMovie();
        Engine->FuncShowTST("Halcyra", 400, 20);
        TLockedPixels pixels(*Engine->GetFDDBACK());
        ASSERT_TRUE(pixels.Locked());
        EXPECT_EQ(pixels.BitsPerPixel(), 32);
        read = true;
        EXPECT_TRUE(Near(pixels.At(104, 140), 0x00F08020u, 24)) << std::hex << pixels.At(104, 140);
        EXPECT_TRUE(Near(pixels.At(160, 140), 0x002040C0u, 24)) << std::hex << pixels.At(160, 140);
        // The strip's white is keyed out and shows the picture beneath; its green shows.
        EXPECT_TRUE(Near(pixels.At(112, 112), 0x00F08020u, 24)) << std::hex << pixels.At(112, 112);
        EXPECT_EQ(pixels.At(120, 112), 0x0000C000u);
        EXPECT_EQ(pixels.At(50, 50), 0u);
        bool lit = false;
        for (int y = 20; y < 40 && !lit; ++y)
            for (int x = 400; x < 480 && !lit; ++x)
                lit = pixels.At(x, y) != 0;
        EXPECT_TRUE(lit) << "the test line drew nothing";
    };
    Engine->TimerTick();
    EXPECT_TRUE(read);
    EXPECT_EQ(image.GetErrorResult(), "");
    EXPECT_EQ(movie.GetErrorResult(), "");
    Engine->OnTimer = nullptr;

    Engine->SetEnabled(false);
    EXPECT_EQ(image.Surface(), nullptr);
    EXPECT_EQ(movie.FrameSurface(1), nullptr);
    EXPECT_EQ(Engine->GetFDD(), nullptr);
    DEVMODEA now{};
    now.dmSize = sizeof now;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &now));
    EXPECT_EQ(now.dmPelsWidth, FOriginal.dmPelsWidth);
    EXPECT_EQ(now.dmPelsHeight, FOriginal.dmPelsHeight);
    EXPECT_EQ(now.dmBitsPerPel, FOriginal.dmBitsPerPel);
}

TEST_F(DirectDrawTest, ClippedSpritesStayInsideTheBackBuffer)
{
    Open();
    TQIM wide(Engine.get());
    wide.SetPicture(Imaging::TPicture::FromBitmap(MakeBitmap(1100, 8, [](int x, int) { return x < 20 ? 0x00FF0000u : 0x0000FF00u; })));
    wide.SetShowX(-20);
    wide.SetShowY(760);
    wide.CreateDXImage();
    wide.SetTransparency(false);
    Engine->OnTimer = [&](TComponent &) {
        wide.DrawImage();
        TLockedPixels pixels(*Engine->GetFDDBACK());
        ASSERT_TRUE(pixels.Locked());
        EXPECT_EQ(pixels.At(0, 760), 0x0000FF00u);
        EXPECT_EQ(pixels.At(1022, 766), 0x0000FF00u);
        EXPECT_EQ(pixels.At(1023, 760), 0u);
        EXPECT_EQ(pixels.At(500, 767), 0u);
    };
    Engine->TimerTick();
    EXPECT_EQ(wide.GetErrorResult(), "");
}

// Whether any pixel of the rectangle is white enough to be gadget text.
bool AnyTextPixel(const TLockedPixels &pixels, const TRect &area, std::uint32_t colour)
{
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            if (Near(pixels.At(x, y), colour, 40))
                return true;
    return false;
}

TEST_F(DirectDrawTest, GadgetsWriteOnTheBackBufferAndKeepNoGdiObjects)
{
    Open();
    Clock.TimeText = "9:35 PM";
    Net::TFeedValues values;
    values.SetTodayCode(3200);
    values.SetNameNews("World News");
    TQMV icons(Engine.get());
    icons.SetPicture(Imaging::TPicture::FromBitmap(MakeBitmap(52, 49 * 52, [](int, int y) { return 0x00102030u + (y / 52); })));
    icons.SetYOffsetFrame(52);
    icons.CreateDXMovie();
    icons.SetTransparency(false);
    TQGC clock(Engine.get());
    TQGW weather(Engine.get(), values);
    weather.SetWeatherPicVCL(&icons);
    weather.SetShowX(571);
    weather.SetShowY(698);
    TQGR news(Engine.get(), values);
    news.SetShowY(698);

    bool read = false;
    Engine->OnTimer = [&](TComponent &) {
        clock.DrawGadgetClock();
        weather.DrawGadgetWeather();
        news.DrawRssNews();
    };
    // The frames before the one read back let the line creep into its box.
    for (int frame = 0; frame < 60; ++frame)
        Engine->TimerTick();
    const DWORD objects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int frame = 0; frame < 200; ++frame)
        Engine->TimerTick();
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), objects) << "a frame left GDI objects behind";

    Engine->OnTimer = [&](TComponent &) {
        clock.DrawGadgetClock();
        weather.DrawGadgetWeather();
        news.DrawRssNews();
        TLockedPixels pixels(*Engine->GetFDDBACK());
        ASSERT_TRUE(pixels.Locked());
        read = true;
        EXPECT_TRUE(AnyTextPixel(pixels, TRect{880, 726, 1024, 750}, 0x00FFFFFFu)) << "the time";
        EXPECT_TRUE(AnyTextPixel(pixels, TRect{930, 726, 1024, 750}, 0x00808080u)) << "the grey day half";
        EXPECT_EQ(pixels.At(670, 710), 0x00102030u + 48) << "the not-available icon";
        EXPECT_TRUE(AnyTextPixel(pixels, TRect{724, 727, 777, 750}, 0x00FFFFFFu)) << "today's temperature";
        EXPECT_TRUE(AnyTextPixel(pixels, TRect{90, 705, 300, 722}, 0x00999999u)) << "the feed's name";
        EXPECT_TRUE(AnyTextPixel(pixels, TRect{15, 728, 560, 748}, 0x00FFFFFFu)) << "the creeping line";
        EXPECT_FALSE(AnyTextPixel(pixels, TRect{0, 728, 15, 748}, 0x00FFFFFFu)) << "nothing left of the line's box";
    };
    Engine->TimerTick();
    Engine->OnTimer = nullptr;
    EXPECT_TRUE(read);
    EXPECT_EQ(weather.GetTodayCode(), 48);
}

TEST_F(DirectDrawTest, GammaCallsGoThroughWithoutError)
{
    Open();
    Engine->SetRGB(128);
    EXPECT_EQ(Engine->GetErrorResult(), "");
    EXPECT_NE(Engine->GetFDD(), nullptr);
    Engine->SetLinearRGB(300, 256, 0);
    EXPECT_EQ(Engine->GetErrorResult(), "");
    EXPECT_NE(Engine->GetFDDPRIM(), nullptr);
    EXPECT_FALSE(Engine->GetBrightnessEnabled());
    // When the driver offers a primary gamma ramp, its interface reads and writes one.
    TDisplayCaps caps;
    ASSERT_TRUE(DDSucceeded(Engine->GetFDD()->GetCaps(caps)));
    if (caps.Caps2 & DDFlags::Caps2PrimaryGamma) {
        std::unique_ptr<IGammaControl> control;
        ASSERT_TRUE(DDSucceeded(Engine->GetFDDPRIM()->QueryGammaControl(control)));
        TGammaRamp ramp;
        EXPECT_TRUE(DDSucceeded(control->GetGammaRamp(0, ramp)));
        EXPECT_TRUE(DDSucceeded(control->SetGammaRamp(0, ramp)));
    }
}

TEST_F(DirectDrawTest, EnumerationReportsThePrimaryDisplayDriver)
{
    int devices = 0;
    bool firstHasNoGuid = false;
    const TDDResult result = SystemDisplay().EnumerateDevices(
        DDFlags::EnumAttachedSecondaryDevices, [&](const std::optional<TDeviceGuid> &guid, const std::string &, const std::string &) {
            if (devices++ == 0)
                firstHasNoGuid = !guid.has_value();
            return true;
        });
    EXPECT_TRUE(DDSucceeded(result));
    EXPECT_GE(devices, 1);
    EXPECT_TRUE(firstHasNoGuid);
    EXPECT_GE(SystemDisplay().MonitorCount(), 1);
}

TEST_F(DirectDrawTest, DualMonitorOnOneMonitorReports)
{
    if (SystemDisplay().MonitorCount() >= 2)
        GTEST_SKIP() << "this system has two monitors";
    Engine->SetDualMonitor(true);
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->GetErrorResult(), "This program work only in dual monitor system!");
    EXPECT_EQ(Engine->GetFDD(), nullptr);
}

TEST(DirectDrawOnTheSystemTimer, FramesRunUntilTheTimerStops)
{
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "timer", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    Testing::TTestRegistry registry;
    Testing::TRecordingSound sound;
    Testing::TSteppedClock clock;
    Testing::TFakeOwnerForm form;
    form.WindowHandle = reinterpret_cast<TWindowHandle>(window);
    {
        TQss engine(&form, TQssServices{SystemDisplay(), registry.Registry(), sound, clock}, CreatePeriodicTimer());
        engine.SetBrandName(registry.BrandName());
        engine.SetSSName("Halcyra Screensaver");
        registry.ForgetKeyOf("Halcyra Screensaver");
        engine.SetUseIdle(false);
        engine.SetWidthScreen(1024);
        engine.SetHeightScreen(768);
        engine.SetColorDepth(32);
        engine.SetInterval(10);
        engine.SetEnabled(true);
        ASSERT_NE(engine.GetFDDBACK(), nullptr) << engine.GetErrorResult();
        std::atomic<int> frames = 0;
        engine.OnTimer = [&](TComponent &) { ++frames; };
        engine.SetTimerEnabled(true);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (frames < 5 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        engine.SetTimerEnabled(false);
        const int atStop = frames;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_GE(atStop, 5);
        EXPECT_EQ(frames, atStop);
        engine.SetEnabled(false);
    }
    DestroyWindow(window);
}

} // namespace
} // namespace Halcyra
