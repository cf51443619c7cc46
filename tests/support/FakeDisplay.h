// A display for the tests, built on the soft display: any named call can be made to fail with a
// chosen DirectDraw result, the primary surface can report itself lost, and the calls are logged, so
// every failure path of the engine and the sprites can be reached without hardware.
#pragma once

#include "platform/Display.h"
#include "platform/soft/SoftDisplay.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Halcyra::Testing {

struct TFakeBltFast {
    std::string Target; // "Primary", "Back" or "Offscreen"
    int X = 0;
    int Y = 0;
    Platform::TRect Source;
    std::uint32_t Flags = 0;
    int SourceWidth = 0;
    int SourceHeight = 0;
};

class TFakeDisplayState;

class TFakeDisplay final : public Platform::IDisplayDriver {
public:
    explicit TFakeDisplay(Platform::TSoftDisplayConfig config = {});
    ~TFakeDisplay() override;

    Platform::TDDResult DirectDrawCreate(const std::optional<Platform::TDeviceGuid> &guid,
                                         std::unique_ptr<Platform::IDisplayDevice> &device) override;
    Platform::TDDResult EnumerateDevices(std::uint32_t flags, const Platform::TDeviceEnumCallback &callback) override;
    int MonitorCount() override;

    // Makes a call fail. The name is the method ("SetDisplayMode", "BltFast", "GetGammaRamp") or,
    // for surface calls and CreateSurface, the method and the surface's role after a colon
    // ("GetDC:Back", "Restore:Offscreen", "CreateSurface:Primary"). The first `after` matching calls
    // still succeed; then `times` calls fail (-1: every one).
    void Fail(const std::string &call, Platform::TDDResult result = Platform::DDResult::Generic, int after = 0, int times = -1);
    void ClearFailures();
    // The primary chain reports itself lost until restored (or until set false).
    void SetPrimaryLost(bool lost);
    // A mode switch behind the engine's back: every surface is lost, the off-screen ones included.
    void LoseAllSurfaces();

    // How often a call (by the same names as Fail) was made, and all calls in order. Releases are
    // logged too: "Release" for the device, "Release:Back" and so on for surfaces.
    int Calls(const std::string &call) const;
    std::vector<std::string> CallLog() const;
    // Runs before every call that can fail, with its name as Fail takes it: the place to deliver
    // what a real system sends while the call runs (a window activation during the mode change).
    void SetOnCall(std::function<void(const std::string &)> onCall);
    void ClearCallLog();
    // Every BltFast made, in order.
    std::vector<TFakeBltFast> BltFasts() const;

    Platform::TSoftDisplayDriver &Soft() { return *FSoft; }
    Platform::TSoftMemoryPresenter &Screen() { return *FScreen; }
    // The soft surfaces' contents as a locked copy: the last presented frame.
    std::optional<Imaging::TBitmap32> PresentedFrame() const { return FScreen->Screen(); }

private:
    std::shared_ptr<Platform::TSoftMemoryPresenter> FScreen;
    std::unique_ptr<Platform::TSoftDisplayDriver> FSoft;
    std::shared_ptr<TFakeDisplayState> FState;
};

} // namespace Halcyra::Testing
