// The engine component: opening and closing the display, the frame loop, surface restore, the
// gamma ramp, the overlays, the settings and the master volume.
#include "engine/Engine.h"

#include "platform/DeviceContext.h"

#include <algorithm>
#include <cstdio>

namespace Halcyra {

using namespace Platform;

TQss::TQss(IOwnerForm *owner, const TQssServices &services, std::unique_ptr<IPeriodicTimer> timer)
    : FOwner(owner), FDisplay(services.Display), FSound(services.Sound), FClock(services.Clock), FTimer(std::move(timer)),
      FSettings(services.Registry)
{
}

TQss::~TQss()
{
    if (FTimer)
        FTimer->Stop();
    if (FDD || FDDPRIM || FDDBACK)
        CloseDirectDraw();
    for (IEngineSprite *sprite : Sprites())
        sprite->EngineDestroyed();
}

// ---------------------------------------------------------------------------------------------
// Failures

void TQss::Fail(const std::string &message)
{
    FErrorResult.Set(message);
    if (OnError)
        OnError(*this);
}

void TQss::FailOpen(const std::string &message)
{
    FErrorResult.Set(message);
    CloseDirectDraw();
    if (OnError)
        OnError(*this);
}

// ---------------------------------------------------------------------------------------------
// Enabling, opening and closing

void TQss::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    if (!value) {
        FEnabled = false;
        CloseDirectDraw();
        return;
    }
    FEnabled = true;
    SetRegistry();
    OpenDirectDraw();
    ClearBackSurface();
    FlipSurfaces();
    if (FBrightness > 256)
        SetRGB(FBrightness);
    SetMasterMixVolume(static_cast<unsigned>(std::max(FSoundVolume, 0)));
}

void TQss::OpenDirectDraw()
{
    if (FUseIdle)
        InstallIdle();
    FActivationHooked = true;

    if (FOwner != nullptr) {
        FOwner->SetBorderStyle(TBorderStyle::None);
        FOwner->SetColor(0);
    }
    FPanelColor = 0;
    FPanelVisible = false;

    std::optional<TDeviceGuid> guid;
    if (FDualMonitor) {
        if (FDisplay.MonitorCount() < 2) {
            Fail("This program work only in dual monitor system!");
            return;
        }
        FScreenGuid.reset();
        if (EnumerateScreens() == DDResult::Generic)
            Fail("ERROR EnumerateScreens");
        guid = FScreenGuid;
    }
    FLastResult = FDisplay.DirectDrawCreate(guid, FDD);
    if (DDFailed(FLastResult)) {
        FDD.reset();
        FailOpen(FDualMonitor ? "Error DirectDrawCreate on secondary monitor" : "Error DirectDrawCreate");
        return;
    }

    IOwnerForm *window = FOwner;
    if (FDefineFormHandle && FDDForm != nullptr)
        window = FDDForm;
    else
        FDDForm = FOwner;

    FLastResult = FDD->SetCooperativeLevel(window != nullptr ? window->Handle() : 0,
                                           DDFlags::CooperativeExclusive | DDFlags::CooperativeFullScreen);
    if (DDFailed(FLastResult)) {
        FailOpen("Error SetCooperativeLevel");
        return;
    }
    FLastResult = FDD->SetDisplayMode(FWidthScreen, FHeightScreen, FColorDepth);
    if (DDFailed(FLastResult)) {
        FailOpen("Error SetDisplayMode");
        return;
    }
    TSurfaceDescription description;
    description.Flags = DDFlags::DescCaps | DDFlags::DescBackBufferCount;
    description.Caps = DDFlags::CapsPrimarySurface | DDFlags::CapsFlip | DDFlags::CapsComplex;
    description.BackBufferCount = 1;
    FLastResult = FDD->CreateSurface(description, FDDPRIM);
    if (DDFailed(FLastResult)) {
        FDDPRIM.reset();
        FailOpen("Error CreatePrimarySurface");
        return;
    }
    FLastResult = FDDPRIM->GetAttachedSurface(DDFlags::CapsBackBuffer, FDDBACK);
    if (DDFailed(FLastResult)) {
        FDDBACK.reset();
        FailOpen("Error CreateBackSurface");
        return;
    }
}

void TQss::CloseDirectDraw()
{
    SetTimerEnabled(false);
    RemoveIdle();
    // Every sprite on the engine gives its surfaces back before the device goes, the classes
    // derived from the image sprite included.
    for (IEngineSprite *sprite : Sprites())
        sprite->EngineClosing();
    FGammaControl.reset();
    FBrightnessEnabled = false;
    FDDBACK.reset();
    FDDPRIM.reset();
    FDD.reset();
}

Platform::TDDResult TQss::EnumerateScreens()
{
    int count = 0;
    std::optional<TDeviceGuid> third;
    const TDDResult result = FDisplay.EnumerateDevices(
        DDFlags::EnumAttachedSecondaryDevices,
        [&](const std::optional<TDeviceGuid> &guid, const std::string &, const std::string &) {
            ++count;
            // The first report is the primary display driver; the third is the second monitor.
            if (count == 3 && guid)
                third = guid;
            return true;
        });
    if (third)
        FScreenGuid = third;
    return result;
}

// ---------------------------------------------------------------------------------------------
// Idle and activation

void TQss::InstallIdle()
{
    FIdleInstalled = true;
}

void TQss::RemoveIdle()
{
    FIdleInstalled = false;
}

void TQss::StopIdle(bool value)
{
    if (value)
        RemoveIdle();
    else if (FUseIdle)
        InstallIdle();
}

void TQss::ApplicationIdle(bool &done)
{
    if (FIdleInstalled)
        GameLoop(done);
}

void TQss::ApplicationActivate()
{
    if (FActivationHooked)
        AppActivate();
}

void TQss::ApplicationDeactivate()
{
    if (FActivationHooked)
        AppDeactivate();
}

void TQss::AppActivate()
{
    FActive = true;
    if (FUseIdle)
        InstallIdle();
    SetTimerEnabled(true);
}

void TQss::AppDeactivate()
{
    FActive = false;
    RemoveIdle();
    SetTimerEnabled(false);
}

void TQss::FullExit()
{
    if (FOwner == nullptr)
        return;
    FOwner->SetVisible(false);
    FOwner->SetBorderStyle(TBorderStyle::Sizeable);
    FOwner->SetSize(20, 20);
    FOwner->Close();
}

// ---------------------------------------------------------------------------------------------
// Timer and frames

void TQss::SetTimerEnabled(bool value)
{
    if (value == FTimerEnabled)
        return;
    if (value) {
        if (!FEnabled)
            return;
        // A timer the system refuses leaves the property false: no frames come.
        if (FTimer && FTimerDelay > 0 && FTimer->Start(static_cast<unsigned>(FTimerDelay), [this] { TimerTick(); })) {
            FTimerID = 1;
            FTimerEnabled = true;
        }
        return;
    }
    FTimerEnabled = false;
    if (FTimerID != 0 && FTimer)
        FTimer->Stop();
}

void TQss::TimerTick()
{
    if (!FActive)
        return;
    if (FUseIdle) {
        if (OnTimer)
            OnTimer(*this);
        return;
    }
    if (!FDDPRIM || !FDDBACK)
        return;
    IsLostRestore();
    ClearBackSurface();
    if (OnTimer)
        OnTimer(*this);
    FlipSurfaces();
}

void TQss::GameLoop(bool &done)
{
    done = false;
    if (!FActive || !FDDPRIM || !FDDBACK)
        return;
    IsLostRestore();
    ClearBackSurface();
    if (OnGameLoop)
        OnGameLoop(*this);
    FlipSurfaces();
}

void TQss::FlipSurfaces()
{
    if (!FDDPRIM || !FDDBACK)
        return;
    IsLostRestore();
    if (FShowFPS)
        FuncShowFPS();
    {
        std::lock_guard lock(FTestStringsMutex);
        if (FShowTestString)
            FuncShowTST(FTestString, 20, 20);
        if (FShowTestString2)
            FuncShowTST(FTestString2, 20, 40);
        if (FShowTestString3)
            FuncShowTST(FTestString3, 20, 60);
    }
    for (int attempt = 0; attempt < MaxStillDrawingRetries; ++attempt) {
        const TDDResult result = FDDPRIM->Flip(nullptr, 0);
        if (result == DDResult::WasStillDrawing)
            continue;
        if (result == DDResult::SurfaceLost)
            IsLostRestore();
        return;
    }
}

void TQss::ClearBackSurface()
{
    if (!FDDBACK)
        return;
    constexpr std::uint32_t flags = DDFlags::BltColorFill | DDFlags::BltWait;
    const std::optional<TRect> cover = FBackdrop != nullptr ? FBackdrop->OpaqueCover() : std::nullopt;
    if (!cover) {
        FDDBACK->BltColorFill(std::nullopt, 0, flags);
        return;
    }
    // Only the bands around what the backdrop paints over are filled: above it, below it, and
    // beside it on either side. The frame shows the same pixels as after a whole clear.
    const int width = FDDBACK->Width();
    const int height = FDDBACK->Height();
    const int left = std::clamp(cover->Left, 0, width);
    const int right = std::clamp(cover->Right, left, width);
    const int top = std::clamp(cover->Top, 0, height);
    const int bottom = std::clamp(cover->Bottom, top, height);
    const TRect bands[] = {{0, 0, width, top}, {0, bottom, width, height}, {0, top, left, bottom}, {right, top, width, bottom}};
    for (const TRect &band : bands)
        if (band.Width() > 0 && band.Height() > 0)
            FDDBACK->BltColorFill(band, 0, flags);
}

void TQss::ClearAllSurface()
{
    if (FDDPRIM)
        FDDPRIM->BltColorFill(std::nullopt, 0, DDFlags::BltColorFill | DDFlags::BltWait);
    ClearBackSurface();
}

void TQss::IsLostRestore()
{
    if (!FDDPRIM)
        return;
    if (FDDPRIM->IsLost() != DDResult::SurfaceLost)
        return;
    if (DDFailed(FDDPRIM->Restore()))
        return;
    for (IEngineSprite *sprite : Sprites())
        sprite->EngineRestored();
}

// ---------------------------------------------------------------------------------------------
// Properties

void TQss::SetWidthScreen(int value)
{
    FWidthScreen = value;
    FWidth = value;
}

void TQss::SetHeightScreen(int value)
{
    FHeightScreen = value;
    FHeight = value;
}

std::string TQss::GetTestString() const
{
    std::lock_guard lock(FTestStringsMutex);
    return FTestString;
}

std::string TQss::GetTestString2() const
{
    std::lock_guard lock(FTestStringsMutex);
    return FTestString2;
}

std::string TQss::GetTestString3() const
{
    std::lock_guard lock(FTestStringsMutex);
    return FTestString3;
}

void TQss::SetTestString(const std::string &value)
{
    std::lock_guard lock(FTestStringsMutex);
    if (FTestString != value)
        FTestString = value;
}

void TQss::SetTestString2(const std::string &value)
{
    std::lock_guard lock(FTestStringsMutex);
    if (FTestString2 != value)
        FTestString2 = value;
}

void TQss::SetTestString3(const std::string &value)
{
    std::lock_guard lock(FTestStringsMutex);
    if (FTestString3 != value)
        FTestString3 = value;
}

// ---------------------------------------------------------------------------------------------
// Sprites

void TQss::AttachSprite(IEngineSprite *sprite)
{
    std::lock_guard lock(FSpritesMutex);
    if (std::find(FSprites.begin(), FSprites.end(), sprite) == FSprites.end())
        FSprites.push_back(sprite);
}

void TQss::DetachSprite(IEngineSprite *sprite)
{
    std::lock_guard lock(FSpritesMutex);
    std::erase(FSprites, sprite);
    if (FBackdrop == sprite)
        FBackdrop = nullptr;
}

void TQss::SetBackdrop(IEngineSprite *sprite)
{
    std::lock_guard lock(FSpritesMutex);
    FBackdrop = sprite;
}

std::vector<IEngineSprite *> TQss::Sprites() const
{
    std::lock_guard lock(FSpritesMutex);
    return FSprites;
}

// ---------------------------------------------------------------------------------------------
// Brightness

void TQss::SetBrightnessEnabled(bool value)
{
    if (value == FBrightnessEnabled)
        return;
    if (!value) {
        FBrightnessEnabled = false;
        FGammaControl.reset();
        return;
    }
    if (!FDD || !FDDPRIM)
        return;
    if (FDDPRIM->IsLost() == DDResult::SurfaceLost) {
        FBrightnessEnabled = false;
        Fail("Lost surface");
        return;
    }
    TDisplayCaps caps;
    if (DDSucceeded(FDD->GetCaps(caps)) && (caps.Caps2 & DDFlags::Caps2PrimaryGamma) != 0 &&
        DDSucceeded(FDDPRIM->QueryGammaControl(FGammaControl)) && FGammaControl) {
        FBrightnessEnabled = true;
        return;
    }
    // The hardware cannot change the gamma: the brightness stays as it is, without a message.
    FGammaControl.reset();
    FBrightnessEnabled = false;
}

bool TQss::ApplyGammaRamp(int red, int green, int blue, bool storeBrightness)
{
    SetBrightnessEnabled(true);
    if (!FBrightnessEnabled)
        return false;
    if (storeBrightness)
        FBrightness = red;
    TGammaRamp ramp;
    if (DDFailed(FGammaControl->GetGammaRamp(0, ramp))) {
        FErrorResult.Set("Cannot GetGammaRamp");
        SetBrightnessEnabled(false);
        CloseDirectDraw();
        if (OnError)
            OnError(*this);
        return false;
    }
    // Slopes above 257 would overflow the 16-bit entries at the top of the ramp, negative ones
    // would wrap: entries are bounded to the range a ramp entry holds.
    auto entry = [](int i, int slope) {
        return static_cast<std::uint16_t>(std::clamp(static_cast<long long>(i) * slope, 0LL, 65535LL));
    };
    for (int i = 0; i < 256; ++i) {
        ramp.Red[i] = entry(i, red);
        ramp.Green[i] = entry(i, green);
        ramp.Blue[i] = entry(i, blue);
    }
    if (DDFailed(FGammaControl->SetGammaRamp(0, ramp))) {
        FErrorResult.Set("Cannot SetGammaRamp");
        SetBrightnessEnabled(false);
        CloseDirectDraw();
        if (OnError)
            OnError(*this);
        return false;
    }
    SetBrightnessEnabled(false);
    return true;
}

void TQss::SetRGB(int value)
{
    ApplyGammaRamp(value, value, value, true);
}

void TQss::SetLinearRGB(int red, int green, int blue)
{
    ApplyGammaRamp(red, green, blue, false);
}

// ---------------------------------------------------------------------------------------------
// Overlays

void TQss::FuncShowFPS()
{
    if (++FFrameCount >= 10) {
        const unsigned now = FClock.Milliseconds();
        const unsigned elapsed = now - FLastMeasure;
        FLastMeasure = now;
        // Ten frames within one millisecond would divide by zero: count the window as 1 ms.
        FFrameRate = static_cast<int>(10.0 / (std::max(elapsed, 1u) * 0.001));
        FFrameCount = 0;
    }
    std::snprintf(FFrameRateText, sizeof FFrameRateText, "Frame rate: %d FPS", FFrameRate);
    TSurfaceDC dc(FDDBACK.get());
    if (!dc)
        return;
    dc->SetBkMode(TBackgroundMode::Transparent);
    dc->SetTextColor(MakeColorRef(255, 255, 255));
    dc->TextOutA(20, FHeightScreen - 30, FFrameRateText);
}

void TQss::FuncShowTST(std::string_view text, int x, int y)
{
    TSurfaceDC dc(FDDBACK.get());
    if (!dc)
        return;
    dc->SetBkMode(TBackgroundMode::Transparent);
    dc->SetTextColor(MakeColorRef(255, 255, 255));
    if (!text.empty())
        dc->TextOutA(x, y, text);
}

// ---------------------------------------------------------------------------------------------
// Sound and settings

bool TQss::SetMasterMixVolume(unsigned volume)
{
    // The mixer's scale is 0 to 65535; volumes above 256 would leave it (and wrap in 32 bits).
    const unsigned value = (std::min(volume, 256u) * 65535u) >> 8;
    return FSound.SetMasterVolume(value);
}

void TQss::SetRegistry()
{
    FSettings.SetRegistry();
    FBrightness = FSettings.GetBrightness();
    FSoundVolume = FSettings.GetSoundVolume();
}

} // namespace Halcyra
