// In-memory display with DirectDraw's semantics: 32-bit surfaces (pixels 0x00RRGGBB), a flipping
// primary chain with one back buffer, off-screen surfaces, BltFast with source colour keys, colour
// fill, lock, device contexts, surface loss and restore, and a gamma ramp handed to the presenter.
// It is the Linux display (presented through SDL) and the tests' display (presented to memory).
#pragma once

#include "platform/Display.h"
#include "platform/soft/SoftDeviceContext.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Halcyra::Platform {

// Where flipped frames go: a window on the screen, or memory in the tests.
class ISoftPresenter {
public:
    virtual ~ISoftPresenter() = default;
    // Takes the screen for the window at the given mode size; false when it cannot.
    virtual bool Open(TWindowHandle window, int width, int height) = 0;
    // Shows a frame of the mode size. Called on whatever thread flips; must not block for long.
    virtual void Present(const Imaging::TBitmap32 &frame) = 0;
    // Whether the screen's gamma ramp can be set.
    virtual bool SupportsGamma() = 0;
    // Sets the screen's gamma ramp; false when refused.
    virtual bool SetGammaRamp(const TGammaRamp &ramp) = 0;
    // Gives the screen back: the previous gamma ramp and mode.
    virtual void Close() = 0;
};

// A presenter into memory: keeps the last frame as the screen would show it, with the gamma ramp
// applied, so tests can look at what was presented.
class TSoftMemoryPresenter final : public ISoftPresenter {
public:
    explicit TSoftMemoryPresenter(bool supportsGamma = true) : FSupportsGamma(supportsGamma) {}

    bool Open(TWindowHandle window, int width, int height) override;
    void Present(const Imaging::TBitmap32 &frame) override;
    bool SupportsGamma() override { return FSupportsGamma; }
    bool SetGammaRamp(const TGammaRamp &ramp) override;
    void Close() override;

    void SetSupportsGamma(bool supports) { FSupportsGamma = supports; }
    // The last presented frame with the ramp applied; nullopt before the first.
    std::optional<Imaging::TBitmap32> Screen() const;
    int PresentCount() const;
    bool IsOpen() const;
    // The ramp in effect; the identity when none was set or after Close.
    TGammaRamp Ramp() const;

private:
    mutable std::mutex FMutex;
    bool FSupportsGamma;
    bool FOpen = false;
    std::optional<Imaging::TBitmap32> FScreen;
    int FPresentCount = 0;
    std::optional<TGammaRamp> FRamp;
};

// The identity ramp (entry i is i × 256).
TGammaRamp IdentityGammaRamp();

struct TSoftDeviceInfo {
    std::optional<TDeviceGuid> Guid;
    std::string Description;
    std::string DriverName;
};

struct TSoftDisplayConfig {
    // What SM_CMONITORS reports.
    int Monitors = 1;
    // What the enumeration reports, in order; the first is the primary display driver.
    std::vector<TSoftDeviceInfo> Devices{TSoftDeviceInfo{std::nullopt, "Primary Display Driver", "display"}};
    // False: the enumeration function cannot be loaded (EnumerateDevices returns E_FAIL).
    bool EnumerationAvailable = true;
    // The desktop's size, which the primary surface has before any SetDisplayMode.
    int DesktopWidth = 1024;
    int DesktopHeight = 768;
};

class TSoftDeviceState;

// The soft DirectDraw library. Devices present through the presenter given here.
class TSoftDisplayDriver final : public IDisplayDriver {
public:
    TSoftDisplayDriver(TSoftDisplayConfig config, std::shared_ptr<ISoftPresenter> presenter, ISoftFontEngine &fonts);
    ~TSoftDisplayDriver() override;

    TDDResult DirectDrawCreate(const std::optional<TDeviceGuid> &guid, std::unique_ptr<IDisplayDevice> &device) override;
    TDDResult EnumerateDevices(std::uint32_t flags, const TDeviceEnumCallback &callback) override;
    int MonitorCount() override { return FConfig.Monitors; }

    TSoftDisplayConfig &Config() { return FConfig; }
    // The identifier the last DirectDrawCreate was given.
    std::optional<TDeviceGuid> LastCreatedGuid() const { return FLastGuid; }
    int CreateCount() const { return FCreateCount; }
    // Whether a device made by this driver is alive.
    bool DeviceAlive() const;
    // Simulates a mode switch behind the device's back: every surface of the live device is lost.
    void LoseAllSurfaces();
    // The window, mode and cooperative flags of the live device; zeros when none.
    TWindowHandle CooperativeWindow() const;
    std::uint32_t CooperativeFlags() const;
    int ModeWidth() const;
    int ModeHeight() const;
    int ModeBitsPerPixel() const;
    // The number of live surfaces of the live device.
    int SurfaceCount() const;
    // The number of font objects of the live device that were created and not deleted.
    int LiveFontCount() const;

private:
    TSoftDisplayConfig FConfig;
    std::shared_ptr<ISoftPresenter> FPresenter;
    ISoftFontEngine &FFonts;
    std::weak_ptr<TSoftDeviceState> FLive;
    std::optional<TDeviceGuid> FLastGuid;
    int FCreateCount = 0;
};

} // namespace Halcyra::Platform
