// Tests of the engine component: enabling and closing the display, every failure message of the
// opening, dual-monitor choice, the frame tick and flip, activation, surface loss and restore, the
// timer's enabling rules, idle mode, settings and master volume.
#include "engine/Engine.h"
#include "support/EngineFakes.h"
#include "support/FakeDisplay.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace Halcyra {
namespace {

using namespace Platform;
using Testing::TFakeDisplay;

// A sprite that records what the engine asks of it.
class TRecordingSprite final : public IEngineSprite {
public:
    void EngineClosing() override { ++Closed; }
    void EngineRestored() override { ++Restored; }
    void EngineDestroyed() override { ++Destroyed; }
    int Closed = 0;
    int Destroyed = 0;
    int Restored = 0;
};

TDeviceGuid Guid(std::uint8_t first)
{
    TDeviceGuid guid;
    guid.Bytes[0] = first;
    return guid;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { Make(); }

    void Make(TSoftDisplayConfig config = {})
    {
        Engine.reset();
        Display = std::make_unique<TFakeDisplay>(std::move(config));
        auto timer = std::make_unique<Testing::TManualTimer>();
        Timer = timer.get();
        Engine = std::make_unique<TQss>(&Form, TQssServices{*Display, Registry.Registry(), Sound, Clock}, std::move(timer));
        Engine->SetBrandName(Registry.BrandName());
        Engine->SetSSName("Halcyra Screensaver");
        Registry.ForgetKeyOf("Halcyra Screensaver");
        Engine->OnError = [this](TComponent &sender) {
            ++Errors;
            ErrorSender = &sender;
        };
    }

    // The scene's settings: timer-driven frames at 1024 by 768 by 32.
    void SceneMode()
    {
        Engine->SetUseIdle(false);
        Engine->SetWidthScreen(1024);
        Engine->SetHeightScreen(768);
        Engine->SetColorDepth(32);
        Engine->SetInterval(40);
    }

    void StoreSettings(int brightness, int soundVolume = 200)
    {
        TSettingsStore store(Registry.Registry());
        store.SetBrandName(Registry.BrandName());
        store.SetSSName("Halcyra Screensaver");
        auto settings = TSettings::Defaults();
        settings.Brightness = brightness;
        settings.SoundVolume = soundVolume;
        store.WriteAll(settings);
    }

    std::uint32_t ScreenPixel(int x, int y)
    {
        auto screen = Display->PresentedFrame();
        return screen ? screen->GetPixel(x, y) : 0xDEADBEEFu;
    }

    Testing::TTestRegistry Registry;
    std::unique_ptr<TFakeDisplay> Display;
    Testing::TRecordingSound Sound;
    Testing::TSteppedClock Clock;
    Testing::TFakeOwnerForm Form;
    Testing::TManualTimer *Timer = nullptr;
    std::unique_ptr<TQss> Engine;
    int Errors = 0;
    TComponent *ErrorSender = nullptr;
};

TEST_F(EngineTest, ConstructedWithTheDocumentedDefaults)
{
    EXPECT_EQ(Engine->ClassName(), "TQss");
    EXPECT_FALSE(Engine->GetShowFPS());
    EXPECT_FALSE(Engine->GetEnabled());
    EXPECT_EQ(Engine->GetWidthScreen(), 800);
    EXPECT_EQ(Engine->GetHeightScreen(), 600);
    EXPECT_EQ(Engine->GetColorDepth(), 24);
    EXPECT_EQ(Engine->GetErrorResult(), "");
    EXPECT_FALSE(Engine->GetDualMonitor());
    EXPECT_FALSE(Engine->GetDefineFormHandle());
    EXPECT_EQ(Engine->GetDDForm(), nullptr);
    EXPECT_FALSE(Engine->GetTimerEnabled());
    EXPECT_EQ(Engine->GetInterval(), 40);
    EXPECT_EQ(Engine->GetRGB(), 256);
    EXPECT_TRUE(Engine->GetUseIdle());
    EXPECT_EQ(Engine->GetSoundVolume(), 0);
    EXPECT_EQ(Engine->GetTestString(), "");
    EXPECT_EQ(Engine->GetFDD(), nullptr);
    EXPECT_EQ(Engine->GetFDDPRIM(), nullptr);
    EXPECT_EQ(Engine->GetFDDBACK(), nullptr);
}

TEST_F(EngineTest, ScreenSizeSettersResizeThePanel)
{
    Engine->SetWidthScreen(1024);
    Engine->SetHeightScreen(768);
    EXPECT_EQ(Engine->Width(), 1024);
    EXPECT_EQ(Engine->Height(), 768);
}

TEST_F(EngineTest, EnablingOpensTheFullScreenDisplay)
{
    SceneMode();
    Engine->SetEnabled(true);
    EXPECT_EQ(Errors, 0) << Engine->GetErrorResult();
    ASSERT_NE(Engine->GetFDD(), nullptr);
    ASSERT_NE(Engine->GetFDDPRIM(), nullptr);
    ASSERT_NE(Engine->GetFDDBACK(), nullptr);
    EXPECT_EQ(Display->Soft().ModeWidth(), 1024);
    EXPECT_EQ(Display->Soft().ModeHeight(), 768);
    EXPECT_EQ(Display->Soft().ModeBitsPerPixel(), 32);
    EXPECT_EQ(Display->Soft().CooperativeWindow(), Form.WindowHandle);
    EXPECT_EQ(Display->Soft().CooperativeFlags(), DDFlags::CooperativeExclusive | DDFlags::CooperativeFullScreen);
    EXPECT_EQ(Engine->GetDDForm(), &Form);
    EXPECT_EQ(Form.BorderStyle, TBorderStyle::None);
    EXPECT_EQ(Form.Color, 0u);
    EXPECT_EQ(Engine->PanelColor(), 0u);
    EXPECT_FALSE(Engine->PanelVisible());
    // The back buffer was cleared and flipped once: the screen is black.
    EXPECT_EQ(Display->Screen().PresentCount(), 1);
    EXPECT_EQ(ScreenPixel(512, 384), 0u);
}

TEST_F(EngineTest, EnablingLoadsTheSettingsAndSetsTheMasterVolume)
{
    StoreSettings(256, 128);
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->GetSoundVolume(), 128);
    ASSERT_EQ(Sound.Volumes.size(), 1u);
    EXPECT_EQ(Sound.Volumes[0], 32767u);
}

TEST_F(EngineTest, EnablingOnTheFirstRunWritesTheDefaults)
{
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->GetSoundVolume(), 200);
    EXPECT_EQ(Engine->GetRGB(), 256);
    EXPECT_EQ(Engine->GetTDegree(), "f");
    EXPECT_EQ(Engine->GetWeatherCode(), "20001");
    ASSERT_EQ(Sound.Volumes.size(), 1u);
    EXPECT_EQ(Sound.Volumes[0], 51199u);
    EXPECT_TRUE(Registry.Registry().OpenKey("SOFTWARE\\" + Registry.BrandName() + "\\Halcyra Screensaver") != nullptr);
}

TEST_F(EngineTest, EnablingTwiceOpensOnce)
{
    SceneMode();
    Engine->SetEnabled(true);
    Engine->SetEnabled(true);
    EXPECT_EQ(Display->Calls("DirectDrawCreate"), 1);
    EXPECT_EQ(Display->Calls("SetDisplayMode"), 1);
}

TEST_F(EngineTest, DisablingReleasesEverythingAndRestoresTheDisplay)
{
    SceneMode();
    Engine->SetEnabled(true);
    ASSERT_TRUE(Display->Soft().DeviceAlive());
    Engine->SetEnabled(false);
    EXPECT_FALSE(Engine->GetEnabled());
    EXPECT_EQ(Engine->GetFDD(), nullptr);
    EXPECT_EQ(Engine->GetFDDPRIM(), nullptr);
    EXPECT_EQ(Engine->GetFDDBACK(), nullptr);
    EXPECT_FALSE(Display->Soft().DeviceAlive());
    EXPECT_FALSE(Display->Screen().IsOpen());
    EXPECT_EQ(Display->Soft().SurfaceCount(), 0);
}

TEST_F(EngineTest, ClosingReleasesTheBackThenThePrimaryThenTheDevice)
{
    SceneMode();
    Engine->SetEnabled(true);
    Display->ClearCallLog();
    Engine->CloseDirectDraw();
    std::vector<std::string> releases;
    for (const std::string &call : Display->CallLog()) {
        if (call == "Release" || call.starts_with("Release:"))
            releases.push_back(call);
    }
    EXPECT_EQ(releases, (std::vector<std::string>{"Release:Back", "Release:Primary", "Release"}));
}

// Each step of the opening fails with its own message; the engine is then closed (nothing held)
// although Enabled stays true, and OnError fires once with the engine as sender.
struct TOpenFailure {
    const char *Call;
    const char *Message;
};

class EngineOpenFailureTest : public EngineTest, public ::testing::WithParamInterface<TOpenFailure> {};

TEST_P(EngineOpenFailureTest, ReportsAndCloses)
{
    SceneMode();
    Display->Fail(GetParam().Call, DDResult::Generic);
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->GetErrorResult(), GetParam().Message);
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(ErrorSender, Engine.get());
    EXPECT_TRUE(Engine->GetEnabled());
    EXPECT_EQ(Engine->GetFDD(), nullptr);
    EXPECT_EQ(Engine->GetFDDPRIM(), nullptr);
    EXPECT_EQ(Engine->GetFDDBACK(), nullptr);
    EXPECT_FALSE(Display->Soft().DeviceAlive());
    EXPECT_EQ(Engine->LastResult(), DDResult::Generic);
    // With nothing open, frames and flips do nothing and report nothing.
    Engine->SetTimerEnabled(true);
    Timer->Fire();
    Engine->FlipSurfaces();
    Engine->ClearAllSurface();
    Engine->IsLostRestore();
    EXPECT_EQ(Errors, 1);
}

INSTANTIATE_TEST_SUITE_P(EachStep, EngineOpenFailureTest,
                         ::testing::Values(TOpenFailure{"DirectDrawCreate", "Error DirectDrawCreate"},
                                           TOpenFailure{"SetCooperativeLevel", "Error SetCooperativeLevel"},
                                           TOpenFailure{"SetDisplayMode", "Error SetDisplayMode"},
                                           TOpenFailure{"CreateSurface:Primary", "Error CreatePrimarySurface"},
                                           TOpenFailure{"GetAttachedSurface", "Error CreateBackSurface"}));

TEST_F(EngineTest, AModeTheDisplayCannotTakeFailsInSetDisplayMode)
{
    // The engine's default depth is 24 bits, which the display does not offer.
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->GetErrorResult(), "Error SetDisplayMode");
    EXPECT_EQ(Engine->LastResult(), DDResult::UnsupportedMode);
}

TEST_F(EngineTest, DualMonitorOnASingleMonitorCreatesNothing)
{
    SceneMode();
    Engine->SetDualMonitor(true);
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->GetErrorResult(), "This program work only in dual monitor system!");
    EXPECT_EQ(Errors, 1);
    EXPECT_EQ(Display->Calls("DirectDrawCreate"), 0);
    EXPECT_EQ(Display->Calls("EnumerateDevices"), 0);
    EXPECT_EQ(Engine->GetFDD(), nullptr);
}

TEST_F(EngineTest, DualMonitorUsesTheThirdReportedDevice)
{
    TSoftDisplayConfig config;
    config.Monitors = 2;
    config.Devices = {{std::nullopt, "Primary Display Driver", "display"},
                      {Guid(1), "Monitor 1", "\\\\.\\DISPLAY1"},
                      {Guid(2), "Monitor 2", "\\\\.\\DISPLAY2"}};
    Make(config);
    SceneMode();
    Engine->SetDualMonitor(true);
    Engine->SetEnabled(true);
    EXPECT_EQ(Errors, 0) << Engine->GetErrorResult();
    ASSERT_TRUE(Display->Soft().LastCreatedGuid());
    EXPECT_EQ(*Display->Soft().LastCreatedGuid(), Guid(2));
    EXPECT_NE(Engine->GetFDDBACK(), nullptr);
}

TEST_F(EngineTest, DualMonitorWithFewerThanThreeDevicesUsesThePrimaryDisplay)
{
    TSoftDisplayConfig config;
    config.Monitors = 2;
    config.Devices = {{std::nullopt, "Primary Display Driver", "display"}, {Guid(1), "Monitor 1", "\\\\.\\DISPLAY1"}};
    Make(config);
    SceneMode();
    Engine->SetDualMonitor(true);
    Engine->SetEnabled(true);
    EXPECT_EQ(Errors, 0) << Engine->GetErrorResult();
    EXPECT_EQ(Display->Calls("DirectDrawCreate"), 1);
    EXPECT_FALSE(Display->Soft().LastCreatedGuid());
}

TEST_F(EngineTest, DualMonitorWithoutEnumerationReportsAndOpensThePrimaryDisplay)
{
    TSoftDisplayConfig config;
    config.Monitors = 2;
    config.EnumerationAvailable = false;
    Make(config);
    SceneMode();
    Engine->SetDualMonitor(true);
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->GetErrorResult(), "ERROR EnumerateScreens");
    EXPECT_EQ(Errors, 1);
    EXPECT_FALSE(Display->Soft().LastCreatedGuid());
    EXPECT_NE(Engine->GetFDDBACK(), nullptr);
}

TEST_F(EngineTest, DualMonitorCreateFailureNamesTheSecondaryMonitor)
{
    TSoftDisplayConfig config;
    config.Monitors = 2;
    Make(config);
    SceneMode();
    Engine->SetDualMonitor(true);
    Display->Fail("DirectDrawCreate");
    Engine->SetEnabled(true);
    EXPECT_EQ(Engine->GetErrorResult(), "Error DirectDrawCreate on secondary monitor");
}

TEST_F(EngineTest, DefinedFormHandleTakesThatFormsWindow)
{
    Testing::TFakeOwnerForm other;
    other.WindowHandle = 0x9999;
    SceneMode();
    Engine->SetFormHandle(true);
    Engine->SetParentForm(&other);
    Engine->SetEnabled(true);
    EXPECT_EQ(Display->Soft().CooperativeWindow(), 0x9999u);
    EXPECT_EQ(Engine->GetDDForm(), &other);
}

TEST_F(EngineTest, TimerBeforeEnablingDoesNothing)
{
    Engine->SetTimerEnabled(true);
    EXPECT_FALSE(Engine->GetTimerEnabled());
    EXPECT_EQ(Timer->StartCount, 0);
}

TEST_F(EngineTest, TimerStartsWithTheDelayAndStops)
{
    SceneMode();
    Engine->SetEnabled(true);
    Engine->SetTimerEnabled(true);
    EXPECT_TRUE(Engine->GetTimerEnabled());
    EXPECT_EQ(Timer->StartCount, 1);
    EXPECT_EQ(Timer->Period, 40u);
    Engine->SetTimerEnabled(true);
    EXPECT_EQ(Timer->StartCount, 1);
    Engine->SetTimerEnabled(false);
    EXPECT_FALSE(Engine->GetTimerEnabled());
    EXPECT_FALSE(Timer->Running());
}

TEST_F(EngineTest, ATimerTheSystemRefusesLeavesTheTimerOff)
{
    SceneMode();
    Engine->SetEnabled(true);
    Timer->Refuse = true;
    Engine->SetTimerEnabled(true);
    EXPECT_FALSE(Engine->GetTimerEnabled());
    Timer->Refuse = false;
    Engine->SetTimerEnabled(true);
    EXPECT_TRUE(Engine->GetTimerEnabled()) << "a later start is tried again";
}

TEST_F(EngineTest, DelayChangeTakesEffectAtTheNextStart)
{
    SceneMode();
    Engine->SetEnabled(true);
    Engine->SetTimerEnabled(true);
    Engine->SetInterval(100);
    EXPECT_EQ(Timer->Period, 40u);
    Engine->SetTimerEnabled(false);
    Engine->SetTimerEnabled(true);
    EXPECT_EQ(Timer->Period, 100u);
}

TEST_F(EngineTest, DisablingStopsTheTimer)
{
    SceneMode();
    Engine->SetEnabled(true);
    Engine->SetTimerEnabled(true);
    Engine->SetEnabled(false);
    EXPECT_FALSE(Engine->GetTimerEnabled());
    EXPECT_FALSE(Timer->Running());
}

TEST_F(EngineTest, TickClearsDrawsThenFlips)
{
    SceneMode();
    Engine->SetEnabled(true);
    Engine->OnTimer = [this](TComponent &sender) {
        EXPECT_EQ(&sender, Engine.get());
        Engine->GetFDDBACK()->BltColorFill(TRect{10, 10, 20, 20}, 0x00FF0000u, DDFlags::BltColorFill);
    };
    Engine->SetTimerEnabled(true);
    Display->ClearCallLog();
    Timer->Fire();
    const auto log = Display->CallLog();
    const std::vector<std::string> expected{"IsLost:Primary", "BltColorFill:Back", "BltColorFill:Back", "IsLost:Primary", "Flip:Primary"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(ScreenPixel(15, 15), 0x00FF0000u);
    EXPECT_EQ(ScreenPixel(25, 25), 0u);
}

TEST_F(EngineTest, EachFrameStartsFromABlackBackBuffer)
{
    SceneMode();
    Engine->SetEnabled(true);
    bool draw = true;
    Engine->OnTimer = [&](TComponent &) {
        if (draw)
            Engine->GetFDDBACK()->BltColorFill(std::nullopt, 0x00FFFFFFu, DDFlags::BltColorFill);
    };
    Engine->TimerTick();
    Engine->TimerTick();
    draw = false;
    Engine->TimerTick();
    EXPECT_EQ(ScreenPixel(100, 100), 0u);
}

// A backdrop that claims to cover a fixed part of the back surface.
class TCoveringSprite final : public IEngineSprite {
public:
    void EngineClosing() override {}
    void EngineRestored() override {}
    void EngineDestroyed() override {}
    std::optional<TRect> OpaqueCover() const override { return Cover; }
    std::optional<TRect> Cover;
};

TEST_F(EngineTest, TheClearLeavesOutOnlyWhatTheBackdropCovers)
{
    SceneMode();
    Engine->SetEnabled(true);
    TCoveringSprite backdrop;
    backdrop.Cover = TRect{0, 0, 1023, 767};
    Engine->AttachSprite(&backdrop);
    bool paint = true;
    Engine->OnTimer = [&](TComponent &) {
        if (paint)
            Engine->GetFDDBACK()->BltColorFill(std::nullopt, 0x00FFFFFFu, DDFlags::BltColorFill);
    };
    // Both buffers of the chain hold white frames; the next frame draws nothing.
    const auto blankFrameAfterWhiteOnes = [&] {
        paint = true;
        Engine->TimerTick();
        Engine->TimerTick();
        paint = false;
        Engine->TimerTick();
    };
    Engine->SetBackdrop(&backdrop);
    blankFrameAfterWhiteOnes();
    EXPECT_EQ(ScreenPixel(100, 100), 0x00FFFFFFu) << "the covered part was cleared";
    EXPECT_EQ(ScreenPixel(1022, 766), 0x00FFFFFFu);
    EXPECT_EQ(ScreenPixel(1023, 300), 0u) << "the last column is cleared";
    EXPECT_EQ(ScreenPixel(300, 767), 0u) << "the last row is cleared";

    backdrop.Cover = TRect{100, 200, 300, 400};
    blankFrameAfterWhiteOnes();
    EXPECT_EQ(ScreenPixel(150, 250), 0x00FFFFFFu);
    for (const auto &[x, y] : {std::pair{50, 250}, {350, 250}, {150, 150}, {150, 450}, {99, 200}, {300, 399}, {100, 400}})
        EXPECT_EQ(ScreenPixel(x, y), 0u) << x << ", " << y;

    // A backdrop without a cover this frame gets the whole clear, and one taken off the engine is
    // no backdrop any more.
    backdrop.Cover.reset();
    blankFrameAfterWhiteOnes();
    EXPECT_EQ(ScreenPixel(150, 250), 0u);
    backdrop.Cover = TRect{0, 0, 1023, 767};
    Engine->DetachSprite(&backdrop);
    blankFrameAfterWhiteOnes();
    EXPECT_EQ(ScreenPixel(100, 100), 0u);
}

TEST_F(EngineTest, FlipRetriesWhileTheHardwareIsStillDrawing)
{
    SceneMode();
    Engine->SetEnabled(true);
    Display->Fail("Flip", DDResult::WasStillDrawing, 0, 3);
    Display->ClearCallLog();
    const int before = Display->Screen().PresentCount();
    Engine->FlipSurfaces();
    EXPECT_EQ(Display->Calls("Flip"), 4);
    EXPECT_EQ(Display->Screen().PresentCount(), before + 1);
}

TEST_F(EngineTest, FlipThatNeverStopsDrawingDropsTheFrame)
{
    SceneMode();
    Engine->SetEnabled(true);
    Display->Fail("Flip", DDResult::WasStillDrawing);
    Display->ClearCallLog();
    Engine->FlipSurfaces();
    EXPECT_EQ(Display->Calls("Flip"), MaxStillDrawingRetries);
}

TEST_F(EngineTest, FlipOtherFailuresDropTheFrameSilently)
{
    SceneMode();
    Engine->SetEnabled(true);
    Display->Fail("Flip", DDResult::Generic, 0, 1);
    Display->ClearCallLog();
    Engine->FlipSurfaces();
    EXPECT_EQ(Display->Calls("Flip"), 1);
    EXPECT_EQ(Errors, 0);
}

TEST_F(EngineTest, FlipOnALostSurfaceRestores)
{
    SceneMode();
    Engine->SetEnabled(true);
    Display->Fail("Flip", DDResult::SurfaceLost, 0, 1);
    Display->ClearCallLog();
    Engine->FlipSurfaces();
    // The flip failed as lost; the restore that follows asks IsLost again (not lost: nothing to do).
    const auto log = Display->CallLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Flip:Primary");
    EXPECT_EQ(log.back(), "IsLost:Primary");
}

TEST_F(EngineTest, LostSurfacesAreRestoredAndEverySpriteReloads)
{
    SceneMode();
    Engine->SetEnabled(true);
    TRecordingSprite image, strip, gadget;
    Engine->AttachSprite(&image);
    Engine->AttachSprite(&strip);
    Engine->AttachSprite(&gadget);
    Display->LoseAllSurfaces();
    Engine->TimerTick();
    EXPECT_EQ(Display->Calls("Restore:Primary"), 1);
    EXPECT_EQ(image.Restored, 1);
    EXPECT_EQ(strip.Restored, 1);
    EXPECT_EQ(gadget.Restored, 1);
    // Restored once: the next frame finds nothing lost.
    Engine->TimerTick();
    EXPECT_EQ(image.Restored, 1);
    Engine->DetachSprite(&image);
    Engine->DetachSprite(&strip);
    Engine->DetachSprite(&gadget);
}

TEST_F(EngineTest, FailedRestoreIsRetriedAtTheNextFrame)
{
    SceneMode();
    Engine->SetEnabled(true);
    TRecordingSprite sprite;
    Engine->AttachSprite(&sprite);
    Display->SetPrimaryLost(true);
    // While the mode is still wrong every attempt of the frame fails.
    Display->Fail("Restore:Primary", DDResult::WrongMode);
    Engine->TimerTick();
    EXPECT_EQ(sprite.Restored, 0);
    EXPECT_GE(Display->Calls("Restore:Primary"), 1);
    Display->ClearFailures();
    Engine->TimerTick();
    EXPECT_EQ(sprite.Restored, 1);
    Engine->DetachSprite(&sprite);
}

TEST_F(EngineTest, ClosingClosesEveryAttachedSprite)
{
    SceneMode();
    Engine->SetEnabled(true);
    TRecordingSprite first, second;
    Engine->AttachSprite(&first);
    Engine->AttachSprite(&second);
    Engine->AttachSprite(&second);
    Engine->SetEnabled(false);
    EXPECT_EQ(first.Closed, 1);
    EXPECT_EQ(second.Closed, 1);
    Engine->DetachSprite(&first);
    Engine->DetachSprite(&second);
}

TEST_F(EngineTest, DeactivationStopsFramesAndActivationRestartsTheTimer)
{
    SceneMode();
    Engine->SetEnabled(true);
    int frames = 0;
    Engine->OnTimer = [&](TComponent &) { ++frames; };
    Engine->SetTimerEnabled(true);
    Timer->Fire();
    EXPECT_EQ(frames, 1);
    Engine->ApplicationDeactivate();
    EXPECT_FALSE(Engine->GetTimerEnabled());
    Engine->TimerTick();
    EXPECT_EQ(frames, 1);
    Engine->ApplicationActivate();
    EXPECT_TRUE(Engine->GetTimerEnabled());
    EXPECT_EQ(Timer->StartCount, 2);
    Timer->Fire();
    EXPECT_EQ(frames, 2);
}

TEST_F(EngineTest, ActivationStartsATimerThatWasNeverStarted)
{
    SceneMode();
    Engine->SetEnabled(true);
    Engine->ApplicationActivate();
    EXPECT_TRUE(Engine->GetTimerEnabled());
    EXPECT_EQ(Timer->StartCount, 1);
}

TEST_F(EngineTest, ActivationEventsBeforeOpeningAreIgnored)
{
    Engine->ApplicationDeactivate();
    Engine->ApplicationActivate();
    EXPECT_FALSE(Engine->ActivationHandlersInstalled());
    EXPECT_EQ(Timer->StartCount, 0);
}

TEST_F(EngineTest, IdleModeDrawsFramesFromTheIdleHandler)
{
    Engine->SetWidthScreen(1024);
    Engine->SetHeightScreen(768);
    Engine->SetColorDepth(32);
    Engine->SetEnabled(true);
    ASSERT_TRUE(Engine->IdleHandlerInstalled());
    int loops = 0;
    int timers = 0;
    Engine->OnGameLoop = [&](TComponent &) { ++loops; };
    Engine->OnTimer = [&](TComponent &) { ++timers; };
    bool done = true;
    Display->ClearCallLog();
    Engine->ApplicationIdle(done);
    EXPECT_FALSE(done);
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(Display->Calls("Flip"), 1);
    // In idle mode the timer only fires OnTimer.
    Display->ClearCallLog();
    Engine->TimerTick();
    EXPECT_EQ(timers, 1);
    EXPECT_EQ(Display->Calls("Flip"), 0);
    EXPECT_EQ(Display->Calls("BltColorFill"), 0);
    // StopIdle removes the handler; the application's idle then reaches nothing.
    Engine->StopIdle(true);
    done = true;
    Engine->ApplicationIdle(done);
    EXPECT_TRUE(done);
    EXPECT_EQ(loops, 1);
    Engine->StopIdle(false);
    EXPECT_TRUE(Engine->IdleHandlerInstalled());
    Engine->SetEnabled(false);
    EXPECT_FALSE(Engine->IdleHandlerInstalled());
}

TEST_F(EngineTest, FullExitHidesShrinksAndClosesTheForm)
{
    Engine->FullExit();
    const std::vector<std::string> expected{"Hide", "BorderSizeable", "Size 20x20", "Close"};
    EXPECT_EQ(Form.Log, expected);
}

TEST_F(EngineTest, MasterVolumeScale)
{
    EXPECT_TRUE(Engine->SetMasterMixVolume(256));
    Engine->SetMasterMixVolume(200);
    Engine->SetMasterMixVolume(128);
    Engine->SetMasterMixVolume(0);
    Engine->SetMasterMixVolume(300);
    Engine->SetMasterMixVolume(0xFFFFFFFFu);
    const std::vector<unsigned> expected{65535, 51199, 32767, 0, 65535, 65535};
    EXPECT_EQ(Sound.Volumes, expected);
    Sound.HasMixer = false;
    EXPECT_FALSE(Engine->SetMasterMixVolume(100));
}

TEST_F(EngineTest, WithoutAMixerTheEngineStillOpens)
{
    Sound.HasMixer = false;
    SceneMode();
    Engine->SetEnabled(true);
    EXPECT_EQ(Errors, 0);
    EXPECT_NE(Engine->GetFDDBACK(), nullptr);
}

TEST_F(EngineTest, SettingsAccessorsForwardTheLoadedCopy)
{
    Engine->SetRegistry();
    EXPECT_EQ(Engine->GetBrandName(), Registry.BrandName());
    EXPECT_EQ(Engine->GetSSName(), "Halcyra Screensaver");
    EXPECT_EQ(Engine->GetRSS_Url(), DefaultNewsFeedUrl());
    EXPECT_EQ(Engine->GetShowTime(), 0);
    EXPECT_EQ(Engine->GetShowWeather(), 0);
    EXPECT_EQ(Engine->GetShowNews(), 0);
    EXPECT_EQ(Engine->GetShowBlack(), 0);
    EXPECT_EQ(Engine->GetUseProxy(), 0);
    EXPECT_EQ(Engine->GetProxy(), "");
    EXPECT_EQ(Engine->GetPort(), "");
}

TEST_F(EngineTest, DestroyingAnOpenEngineClosesTheDisplay)
{
    SceneMode();
    Engine->SetEnabled(true);
    Engine->SetTimerEnabled(true);
    TRecordingSprite sprite;
    Engine->AttachSprite(&sprite);
    Engine.reset();
    EXPECT_FALSE(Display->Soft().DeviceAlive());
    EXPECT_EQ(sprite.Closed, 1);
    EXPECT_EQ(sprite.Destroyed, 1);
}

} // namespace
} // namespace Halcyra

namespace Halcyra {
namespace {

// The engine on the system's timer: frames run on the timer's thread while the user-interface
// thread closes the display; the close waits for the running frame, so no frame touches a released
// surface.
TEST(EngineOnTheSystemTimer, ClosingWaitsForTheRunningFrame)
{
    Testing::TTestRegistry registry;
    Testing::TFakeDisplay display;
    Testing::TRecordingSound sound;
    Testing::TSteppedClock clock;
    Testing::TFakeOwnerForm form;
    TQss engine(&form, TQssServices{display, registry.Registry(), sound, clock}, Platform::CreatePeriodicTimer());
    engine.SetBrandName(registry.BrandName());
    engine.SetSSName("Halcyra Screensaver");
    registry.ForgetKeyOf("Halcyra Screensaver");
    engine.SetUseIdle(false);
    engine.SetWidthScreen(320);
    engine.SetHeightScreen(200);
    engine.SetColorDepth(32);
    engine.SetInterval(2);
    std::atomic<int> frames = 0;
    std::atomic<bool> sawNoBackBuffer = false;
    engine.OnTimer = [&](TComponent &) {
        Platform::IDisplaySurface *back = engine.GetFDDBACK();
        if (back == nullptr) {
            sawNoBackBuffer = true;
            return;
        }
        back->BltColorFill(Platform::TRect{0, 0, 10, 10}, 0x00FFFFFFu, Platform::DDFlags::BltColorFill);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++frames;
    };
    engine.SetEnabled(true);
    engine.SetTimerEnabled(true);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (frames < 5 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    engine.SetTimerEnabled(false);
    engine.SetEnabled(false);
    const int atClose = frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(atClose, 5);
    EXPECT_EQ(frames, atClose);
    EXPECT_FALSE(sawNoBackBuffer);
}

} // namespace
} // namespace Halcyra
