// The display of Linux: soft surfaces presented through SDL, or into the host's window for the
// display programs, one primary display driver and one device per monitor of the desktop.
#include "platform/Display.h"
#include "platform/linux/LinuxMonitors.h"
#include "platform/linux/SdlPresenter.h"
#include "platform/linux/X11WindowPresenter.h"
#include "platform/soft/SoftDisplay.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace Halcyra::Platform {

namespace {

// Frames go to the saver's own SDL window, or into the host's window when the application draws
// into one.
class TLinuxPresenter final : public ISoftPresenter {
public:
    bool Open(TWindowHandle window, int width, int height) override
    {
        ISoftPresenter *chosen = window != 0 && window == HostedWindow() ? static_cast<ISoftPresenter *>(&FHosted) : &FSdl;
        FChosen = chosen;
        return chosen->Open(window, width, height);
    }
    void Present(const Imaging::TBitmap32 &frame) override
    {
        if (ISoftPresenter *chosen = FChosen)
            chosen->Present(frame);
    }
    bool SupportsGamma() override
    {
        ISoftPresenter *chosen = FChosen;
        return chosen != nullptr && chosen->SupportsGamma();
    }
    bool SetGammaRamp(const TGammaRamp &ramp) override
    {
        ISoftPresenter *chosen = FChosen;
        return chosen != nullptr && chosen->SetGammaRamp(ramp);
    }
    void Close() override
    {
        if (ISoftPresenter *chosen = FChosen)
            chosen->Close();
    }

private:
    TSdlPresenter FSdl;
    TX11WindowPresenter FHosted;
    std::atomic<ISoftPresenter *> FChosen = nullptr;
};

TSoftDisplayConfig LinuxDisplayConfig()
{
    TSoftDisplayConfig config;
    std::size_t found = 1;
    // A display program draws into one window: the monitors are the host's business. SDL's video
    // starts first and stays up, for the saver's window that follows: an X server whose only client
    // this is resets when its last connection closes, and a connection made during the reset fails,
    // so SDL's connections stay open while the monitors are counted on a connection of their own.
    if (HostedWindow() == 0) {
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        found = DesktopMonitors().size();
    }
    const int monitors = std::max(1, static_cast<int>(found));
    config.Monitors = monitors;
    for (int i = 0; i < monitors; ++i) {
        TDeviceGuid guid;
        guid.Bytes[0] = 0x48;
        guid.Bytes[15] = static_cast<std::uint8_t>(i + 1);
        config.Devices.push_back(TSoftDeviceInfo{guid, "Display " + std::to_string(i + 1), "display" + std::to_string(i + 1)});
    }
    return config;
}

} // namespace

IDisplayDriver &SystemDisplay()
{
    static TSoftDisplayDriver driver(LinuxDisplayConfig(), std::make_shared<TLinuxPresenter>(), SystemSoftFonts());
    return driver;
}

} // namespace Halcyra::Platform
