// Tests of the engine's brightness (the gamma ramp of the primary surface) and its overlays (the
// frame-rate line and the three test lines drawn over the back buffer before the flip).
#include "engine/Engine.h"
#include "support/EngineFakes.h"
#include "support/FakeDisplay.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

namespace Halcyra {
namespace {

using namespace Platform;
using Testing::TFakeDisplay;

class BrightnessOverlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto timer = std::make_unique<Testing::TManualTimer>();
        Engine = std::make_unique<TQss>(&Form, TQssServices{Display, Registry.Registry(), Sound, Clock}, std::move(timer));
        Engine->SetBrandName(Registry.BrandName());
        Engine->SetSSName("Halcyra Screensaver");
        Registry.ForgetKeyOf("Halcyra Screensaver");
        Engine->OnError = [this](TComponent &) { ++Errors; };
        Engine->SetUseIdle(false);
        Engine->SetWidthScreen(1024);
        Engine->SetHeightScreen(768);
        Engine->SetColorDepth(32);
    }

    void StoreBrightness(int brightness)
    {
        TSettingsStore store(Registry.Registry());
        store.SetBrandName(Registry.BrandName());
        store.SetSSName("Halcyra Screensaver");
        auto settings = TSettings::Defaults();
        settings.Brightness = brightness;
        store.WriteAll(settings);
    }

    // Whether any pixel of the screen's rectangle is lit (the overlays draw white text on black).
    bool AnyLit(const TRect &rect)
    {
        auto screen = Display.PresentedFrame();
        if (!screen)
            return false;
        for (int y = rect.Top; y < rect.Bottom; ++y)
            for (int x = rect.Left; x < rect.Right; ++x)
                if (screen->GetPixel(x, y) != 0)
                    return true;
        return false;
    }

    Testing::TTestRegistry Registry;
    TFakeDisplay Display;
    Testing::TRecordingSound Sound;
    Testing::TSteppedClock Clock;
    Testing::TFakeOwnerForm Form;
    std::unique_ptr<TQss> Engine;
    int Errors = 0;
};

TEST_F(BrightnessOverlayTest, StoredBrightnessOf256IsNotApplied)
{
    StoreBrightness(256);
    Engine->SetEnabled(true);
    EXPECT_EQ(Display.Calls("SetGammaRamp"), 0);
    EXPECT_EQ(Display.Calls("QueryGammaControl"), 0);
    EXPECT_EQ(Engine->GetRGB(), 256);
}

TEST_F(BrightnessOverlayTest, StoredBrightnessBelow256IsNotApplied)
{
    StoreBrightness(100);
    Engine->SetEnabled(true);
    EXPECT_EQ(Display.Calls("SetGammaRamp"), 0);
    EXPECT_EQ(Engine->GetRGB(), 100);
    EXPECT_EQ(Display.Screen().Ramp(), IdentityGammaRamp());
}

TEST_F(BrightnessOverlayTest, StoredBrightnessOf257IsApplied)
{
    StoreBrightness(257);
    Engine->SetEnabled(true);
    EXPECT_EQ(Display.Calls("SetGammaRamp"), 1);
    const auto ramp = Display.Screen().Ramp();
    EXPECT_EQ(ramp.Red[1], 257);
    EXPECT_EQ(ramp.Green[255], 65535);
    EXPECT_EQ(ramp.Blue[128], 128 * 257);
    EXPECT_EQ(Engine->GetRGB(), 257);
    // The control is held only while the ramp changes.
    EXPECT_FALSE(Engine->GetBrightnessEnabled());
}

TEST_F(BrightnessOverlayTest, Ramp256IsTheIdentity)
{
    Engine->SetEnabled(true);
    Engine->SetRGB(256);
    const auto ramp = Display.Screen().Ramp();
    EXPECT_EQ(ramp, IdentityGammaRamp());
    EXPECT_EQ(ramp.Red[255], 65280);
}

TEST_F(BrightnessOverlayTest, Ramp128HalvesEveryEntry)
{
    Engine->SetEnabled(true);
    Engine->SetRGB(128);
    const auto ramp = Display.Screen().Ramp();
    const auto identity = IdentityGammaRamp();
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(ramp.Red[i], identity.Red[i] / 2);
        EXPECT_EQ(ramp.Green[i], identity.Green[i] / 2);
        EXPECT_EQ(ramp.Blue[i], identity.Blue[i] / 2);
    }
    EXPECT_EQ(Engine->GetRGB(), 128);
}

TEST_F(BrightnessOverlayTest, Ramp0IsBlack)
{
    Engine->SetEnabled(true);
    Engine->SetRGB(0);
    const auto ramp = Display.Screen().Ramp();
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(ramp.Red[i] | ramp.Green[i] | ramp.Blue[i], 0);
    // What the screen shows goes through the ramp.
    Engine->OnTimer = [this](TComponent &) {
        Engine->GetFDDBACK()->BltColorFill(std::nullopt, 0x00FFFFFFu, DDFlags::BltColorFill);
    };
    Engine->TimerTick();
    EXPECT_EQ(Display.PresentedFrame()->GetPixel(10, 10), 0u);
}

TEST_F(BrightnessOverlayTest, SlopesAboveTheRangeAreBounded)
{
    Engine->SetEnabled(true);
    Engine->SetRGB(300);
    const auto ramp = Display.Screen().Ramp();
    EXPECT_EQ(ramp.Red[100], 30000);
    EXPECT_EQ(ramp.Red[218], 65400);
    EXPECT_EQ(ramp.Red[219], 65535);
    EXPECT_EQ(ramp.Red[255], 65535);
    Engine->SetRGB(-5);
    EXPECT_EQ(Display.Screen().Ramp().Green[200], 0);
}

TEST_F(BrightnessOverlayTest, LinearRampHasOneSlopePerColourAndKeepsBrightness)
{
    Engine->SetEnabled(true);
    Engine->SetLinearRGB(256, 128, 0);
    const auto ramp = Display.Screen().Ramp();
    EXPECT_EQ(ramp.Red[200], 51200);
    EXPECT_EQ(ramp.Green[200], 25600);
    EXPECT_EQ(ramp.Blue[200], 0);
    EXPECT_EQ(Engine->GetRGB(), 256);
}

TEST_F(BrightnessOverlayTest, WithoutGammaSupportNothingChangesSilently)
{
    Display.Screen().SetSupportsGamma(false);
    Engine->SetEnabled(true);
    Engine->SetRGB(128);
    EXPECT_EQ(Engine->GetRGB(), 256);
    EXPECT_EQ(Errors, 0);
    EXPECT_EQ(Engine->GetErrorResult(), "");
    EXPECT_EQ(Display.Calls("QueryGammaControl"), 0);
    EXPECT_FALSE(Engine->GetBrightnessEnabled());
}

TEST_F(BrightnessOverlayTest, RefusedGammaInterfaceCountsAsNoSupport)
{
    Engine->SetEnabled(true);
    Display.Fail("QueryGammaControl", DDResult::NoInterface);
    Engine->SetRGB(128);
    EXPECT_EQ(Engine->GetRGB(), 256);
    EXPECT_EQ(Errors, 0);
}

TEST_F(BrightnessOverlayTest, LostPrimaryReportsAndKeepsTheRamp)
{
    Engine->SetEnabled(true);
    Display.SetPrimaryLost(true);
    Engine->SetRGB(128);
    EXPECT_EQ(Engine->GetErrorResult(), "Lost surface");
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(Engine->GetRGB(), 256);
    EXPECT_EQ(Display.Calls("SetGammaRamp"), 0);
}

TEST_F(BrightnessOverlayTest, FailedGetGammaRampClosesTheDisplay)
{
    Engine->SetEnabled(true);
    Display.Fail("GetGammaRamp");
    Engine->SetRGB(128);
    EXPECT_EQ(Engine->GetErrorResult(), "Cannot GetGammaRamp");
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(Engine->GetFDD(), nullptr);
    EXPECT_FALSE(Display.Soft().DeviceAlive());
    EXPECT_FALSE(Engine->GetBrightnessEnabled());
}

TEST_F(BrightnessOverlayTest, FailedSetGammaRampClosesTheDisplay)
{
    Engine->SetEnabled(true);
    Display.Fail("SetGammaRamp");
    Engine->SetRGB(128);
    EXPECT_EQ(Engine->GetErrorResult(), "Cannot SetGammaRamp");
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(Engine->GetFDDPRIM(), nullptr);
}

TEST_F(BrightnessOverlayTest, ReleasingTheDeviceGivesTheRampBack)
{
    Engine->SetEnabled(true);
    Engine->SetRGB(128);
    Engine->SetEnabled(false);
    EXPECT_EQ(Display.Screen().Ramp(), IdentityGammaRamp());
}

TEST_F(BrightnessOverlayTest, FrameRateShowsZeroForTheFirst19Frames)
{
    Engine->SetshowFPS(true);
    // Enabling flips once: that is frame 1.
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->FrameRate(), 0);
    for (int frame = 2; frame <= 19; ++frame) {
        Clock.Ms += 40;
        Engine->TimerTick();
        EXPECT_EQ(Engine->FrameRate(), 0) << "frame " << frame;
    }
    Clock.Ms += 40;
    Engine->TimerTick();
    EXPECT_EQ(Engine->FrameRate(), 25);
    EXPECT_TRUE(AnyLit(TRect{20, 768 - 30, 220, 768 - 10}));
}

TEST_F(BrightnessOverlayTest, FrameRateIsRefreshedEveryTenFrames)
{
    Engine->SetshowFPS(true);
    Engine->SetEnabled(true);
    for (int frame = 2; frame <= 20; ++frame) {
        Clock.Ms += 40;
        Engine->TimerTick();
    }
    ASSERT_EQ(Engine->FrameRate(), 25);
    for (int frame = 21; frame <= 29; ++frame) {
        Clock.Ms += 50;
        Engine->TimerTick();
        EXPECT_EQ(Engine->FrameRate(), 25);
    }
    Clock.Ms += 50;
    Engine->TimerTick();
    EXPECT_EQ(Engine->FrameRate(), 20); // ten frames in 500 ms
}

TEST_F(BrightnessOverlayTest, FrameRateWindowOfZeroMillisecondsDoesNotFault)
{
    Engine->SetshowFPS(true);
    Engine->SetEnabled(true);
    for (int frame = 2; frame <= 30; ++frame)
        Engine->TimerTick();
    EXPECT_EQ(Engine->FrameRate(), 10000);
}

TEST_F(BrightnessOverlayTest, FrameRateWithoutADeviceContextSkipsTheLine)
{
    Engine->SetEnabled(true);
    Engine->SetshowFPS(true);
    Display.Fail("GetDC:Back");
    Engine->TimerTick();
    EXPECT_FALSE(AnyLit(TRect{0, 0, 1024, 768}));
    EXPECT_EQ(Errors, 0);
}

TEST_F(BrightnessOverlayTest, ThreeTestLinesAt20_40_60)
{
    Engine->SetEnabled(true);
    Engine->SetTestString("Test line one");
    Engine->SetTestString2("Test line two");
    Engine->SetTestString3("Test line three");
    Engine->SetShowTestString(true);
    Engine->SetShowTestString2(true);
    Engine->SetShowTestString3(true);
    Engine->TimerTick();
    EXPECT_FALSE(AnyLit(TRect{0, 0, 20, 768}));
    EXPECT_FALSE(AnyLit(TRect{0, 0, 1024, 20}));
    EXPECT_TRUE(AnyLit(TRect{20, 20, 200, 36}));
    EXPECT_TRUE(AnyLit(TRect{20, 40, 200, 56}));
    EXPECT_TRUE(AnyLit(TRect{20, 60, 200, 76}));
    EXPECT_FALSE(AnyLit(TRect{0, 80, 1024, 768}));
}

TEST_F(BrightnessOverlayTest, HiddenOrEmptyTestLinesDrawNothing)
{
    Engine->SetEnabled(true);
    Engine->SetTestString("Hidden");
    Engine->SetShowTestString2(true);
    Engine->TimerTick();
    EXPECT_FALSE(AnyLit(TRect{0, 0, 1024, 768}));
    EXPECT_EQ(Engine->GetTestString(), "Hidden");
    EXPECT_EQ(Engine->GetTestString2(), "");
}

} // namespace
} // namespace Halcyra
