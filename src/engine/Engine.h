// The engine component TQss: it turns its owner form into a full-screen display (exclusive mode,
// display mode, a flipping primary surface with one back buffer), drives the frame loop from a
// periodic timer or the application's idle loop, restores lost surfaces, clears and flips, applies
// the brightness through the gamma ramp, draws the frame-rate and test-line overlays, loads the
// settings and sets the master volume. Sprites placed on it borrow its surfaces.
#pragma once

#include "engine/Component.h"
#include "engine/OwnerForm.h"
#include "engine/SettingsStore.h"
#include "platform/Clock.h"
#include "platform/Display.h"
#include "platform/PeriodicTimer.h"
#include "platform/Sound.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Halcyra {

// A sprite placed on the engine: the engine releases its surfaces when it closes the display and
// makes it reload them after a surface loss. Image sprites, frame-strip sprites and every class
// derived from them are attached, whatever their class name.
class IEngineSprite {
public:
    virtual ~IEngineSprite() = default;
    // Releases the sprite's surfaces and forgets the engine's borrowed ones.
    virtual void EngineClosing() = 0;
    // Restores the sprite's surfaces and draws its pictures into them again.
    virtual void EngineRestored() = 0;
    // The engine is being destroyed: the sprite no longer sits on it.
    virtual void EngineDestroyed() = 0;
    // The part of the back surface the sprite's next draw covers with opaque pixels; nullopt when
    // it would not cover anything for sure.
    virtual std::optional<Platform::TRect> OpaqueCover() const { return std::nullopt; }
};

// What the engine works with; the scene passes the system's, the tests their fakes.
struct TQssServices {
    Platform::IDisplayDriver &Display;
    Platform::IRegistry &Registry;
    Platform::ISound &Sound;
    Platform::IClock &Clock;
};

class TQss final : public TComponent {
public:
    TQss(IOwnerForm *owner, const TQssServices &services, std::unique_ptr<Platform::IPeriodicTimer> timer);
    // Stops the timer and, should the owner not have done so, closes the display; sprites still on
    // the engine are taken off it, so that no tick and no sprite reaches a destroyed engine.
    ~TQss() override;
    TQss(const TQss &) = delete;
    TQss &operator=(const TQss &) = delete;

    std::string_view ClassName() const override { return "TQss"; }

    // --- Enabling, the display, the frame loop ---
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool value);
    void OpenDirectDraw();
    void CloseDirectDraw();

    bool GetTimerEnabled() const { return FTimerEnabled; }
    void SetTimerEnabled(bool value);
    int GetInterval() const { return FTimerDelay; }
    // TimerDelay in milliseconds; takes effect the next time the timer starts.
    void SetInterval(int value) { FTimerDelay = value; }

    // One frame of the periodic timer; called on the timer's thread (tests call it directly).
    void TimerTick();
    // The idle handler: asks to be called again at once and draws one frame.
    void GameLoop(bool &done);
    void FlipSurfaces();
    void ClearBackSurface();
    void ClearAllSurface();
    void IsLostRestore();
    void AppActivate();
    void AppDeactivate();
    Platform::TDDResult EnumerateScreens();
    // True removes the idle handler; false installs it again when UseIdle.
    void StopIdle(bool value);
    void FullExit();

    // What the application reports; the engine acts on them only while it has installed its
    // handlers (the idle handler while UseIdle and open, the activation handlers once opened).
    void ApplicationIdle(bool &done);
    void ApplicationActivate();
    void ApplicationDeactivate();
    bool IdleHandlerInstalled() const { return FIdleInstalled; }
    bool ActivationHandlersInstalled() const { return FActivationHooked; }

    // --- Properties ---
    bool GetShowFPS() const { return FShowFPS; }
    void SetshowFPS(bool value) { FShowFPS = value; }
    int GetWidthScreen() const { return FWidthScreen; }
    void SetWidthScreen(int value);
    int GetHeightScreen() const { return FHeightScreen; }
    void SetHeightScreen(int value);
    int GetColorDepth() const { return FColorDepth; }
    void SetColorDepth(int value) { FColorDepth = value; }
    std::string GetErrorResult() const { return FErrorResult.Get(); }
    void SetErrorResult(const std::string &value) { FErrorResult.Set(value); }
    bool GetDualMonitor() const { return FDualMonitor; }
    void SetDualMonitor(bool value) { FDualMonitor = value; }
    bool GetDefineFormHandle() const { return FDefineFormHandle; }
    void SetFormHandle(bool value) { FDefineFormHandle = value; }
    IOwnerForm *GetDDForm() const { return FDDForm; }
    void SetParentForm(IOwnerForm *form) { FDDForm = form; }
    bool GetUseIdle() const { return FUseIdle; }
    void SetUseIdle(bool value) { FUseIdle = value; }
    int GetSoundVolume() const { return FSoundVolume; }
    void SetVolume(int value) { FSoundVolume = value; }

    // The engine panel's own size, kept equal to the display mode's; sprites clip to it.
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The panel's colour and visibility, which opening sets to black and hidden.
    std::uint32_t PanelColor() const { return FPanelColor; }
    bool PanelVisible() const { return FPanelVisible; }
    // The result of the last DirectDraw call made while opening.
    Platform::TDDResult LastResult() const { return FLastResult; }

    TNotifyEvent OnError;
    TNotifyEvent OnGameLoop;
    TNotifyEvent OnTimer;

    // --- Brightness ---
    int GetRGB() const { return FBrightness; }
    void SetRGB(int value);
    void SetLinearRGB(int red, int green, int blue);
    void SetBrightnessEnabled(bool value);
    bool GetBrightnessEnabled() const { return FBrightnessEnabled; }

    // --- Overlays ---
    void FuncShowFPS();
    void FuncShowTST(std::string_view text, int x, int y);
    bool GetShowTestString() const { return FShowTestString; }
    void SetShowTestString(bool value) { FShowTestString = value; }
    bool GetShowTestString2() const { return FShowTestString2; }
    void SetShowTestString2(bool value) { FShowTestString2 = value; }
    bool GetShowTestString3() const { return FShowTestString3; }
    void SetShowTestString3(bool value) { FShowTestString3 = value; }
    std::string GetTestString() const;
    void SetTestString(const std::string &value);
    std::string GetTestString2() const;
    void SetTestString2(const std::string &value);
    std::string GetTestString3() const;
    void SetTestString3(const std::string &value);
    // The rate the frame-rate line shows.
    int FrameRate() const { return FFrameRate; }

    // --- Sound ---
    // Sets the master volume now: (volume × 65535) >> 8, for volumes 0 to 256; true on success.
    bool SetMasterMixVolume(unsigned volume);

    // --- Settings ---
    void SetBrandName(const std::string &value) { FSettings.SetBrandName(value); }
    void SetSSName(const std::string &value) { FSettings.SetSSName(value); }
    std::string GetBrandName() const { return FSettings.GetBrandName(); }
    std::string GetSSName() const { return FSettings.GetSSName(); }
    // Loads the settings (or writes the defaults on the first run); Brightness and SoundVolume
    // take the loaded values. Registry errors propagate as ERegistryException.
    void SetRegistry();
    std::string GetTDegree() const { return FSettings.GetTDegree(); }
    std::string GetWeatherCode() const { return FSettings.GetWeatherCode(); }
    std::string GetRSS_Url() const { return FSettings.GetRSS_Url(); }
    int GetShowTime() const { return FSettings.GetShowTime(); }
    int GetShowWeather() const { return FSettings.GetShowWeather(); }
    int GetShowNews() const { return FSettings.GetShowNews(); }
    int GetShowBlack() const { return FSettings.GetShowBlack(); }
    int GetUseProxy() const { return FSettings.GetUseProxy(); }
    std::string GetProxy() const { return FSettings.GetProxy(); }
    std::string GetPort() const { return FSettings.GetPort(); }
    TSettingsStore &Settings() { return FSettings; }

    // --- What the sprites borrow ---
    Platform::IDisplayDevice *GetFDD() const { return FDD.get(); }
    Platform::IDisplaySurface *GetFDDPRIM() const { return FDDPRIM.get(); }
    Platform::IDisplaySurface *GetFDDBACK() const { return FDDBACK.get(); }
    void AttachSprite(IEngineSprite *sprite);
    void DetachSprite(IEngineSprite *sprite);
    // The sprite every frame draws first (the scene's background): the clear before each frame
    // leaves out what its opaque cover paints over anyway. Set before the timer starts; a sprite
    // taken off the engine stops being it.
    void SetBackdrop(IEngineSprite *sprite);

    IOwnerForm *Owner() const { return FOwner; }
    // The clock the engine measures frames by; the gadgets read the local time from it.
    Platform::IClock &Clock() const { return FClock; }

private:
    void Fail(const std::string &message);
    void FailOpen(const std::string &message);
    void InstallIdle();
    void RemoveIdle();
    bool ApplyGammaRamp(int red, int green, int blue, bool storeBrightness);
    std::vector<IEngineSprite *> Sprites() const;

    IOwnerForm *FOwner;
    Platform::IDisplayDriver &FDisplay;
    Platform::ISound &FSound;
    Platform::IClock &FClock;
    std::unique_ptr<Platform::IPeriodicTimer> FTimer;
    TSettingsStore FSettings;

    std::unique_ptr<Platform::IDisplayDevice> FDD;
    std::unique_ptr<Platform::IDisplaySurface> FDDPRIM;
    std::unique_ptr<Platform::IDisplaySurface> FDDBACK;
    std::unique_ptr<Platform::IGammaControl> FGammaControl;
    std::optional<Platform::TDeviceGuid> FScreenGuid;

    mutable std::mutex FSpritesMutex;
    std::vector<IEngineSprite *> FSprites;
    IEngineSprite *FBackdrop = nullptr;

    bool FEnabled = false;
    bool FTimerEnabled = false;
    unsigned FTimerID = 0;
    int FTimerDelay = 40;
    std::atomic<bool> FActive = true;
    std::atomic<bool> FUseIdle = true;
    bool FIdleInstalled = false;
    bool FActivationHooked = false;
    std::atomic<bool> FShowFPS = false;
    int FWidthScreen = 800;
    int FHeightScreen = 600;
    int FColorDepth = 24;
    int FWidth = 800;
    int FHeight = 600;
    std::uint32_t FPanelColor = 0x00F0F0F0u;
    bool FPanelVisible = true;
    bool FDualMonitor = false;
    bool FDefineFormHandle = false;
    IOwnerForm *FDDForm = nullptr;
    int FBrightness = 256;
    int FSoundVolume = 0;
    bool FBrightnessEnabled = false;
    Platform::TDDResult FLastResult = 0;
    TErrorText FErrorResult;

    // The overlay flags and texts are set on the user-interface thread and drawn on the timer's.
    std::atomic<bool> FShowTestString = false;
    std::atomic<bool> FShowTestString2 = false;
    std::atomic<bool> FShowTestString3 = false;
    mutable std::mutex FTestStringsMutex;
    std::string FTestString;
    std::string FTestString2;
    std::string FTestString3;

    // Frame-rate measurement: frames counted towards the next measurement, the time of the last
    // one, the rate shown. Kept per engine so two engines in one process do not disturb each other.
    int FFrameCount = 0;
    unsigned FLastMeasure = 0;
    int FFrameRate = 0;
    char FFrameRateText[40] = {};
};

} // namespace Halcyra
