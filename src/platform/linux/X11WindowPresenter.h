// The presenter of the display programs: frames drawn into a window another program made (a
// screensaver daemon's), scaled to the window with their aspect kept and centred, black around, and
// the brightness applied to the picture itself (the screen's gamma ramp is not the program's to
// change here). The frame painter's X connection is used under the presenter's lock by whichever
// thread presents.
#pragma once

#include "platform/linux/X11FramePainter.h"
#include "platform/soft/SoftDisplay.h"

#include <mutex>

namespace Halcyra::Platform {

// The window the display programs draw into, once the application hosts its main window in it; 0
// while it has its own.
void SetHostedWindow(TWindowHandle window);
TWindowHandle HostedWindow();

class TX11WindowPresenter final : public ISoftPresenter {
public:
    explicit TX11WindowPresenter(TX11Scaling scaling = TX11Scaling::ServerWhereOffered) : FPainter(scaling) {}
    ~TX11WindowPresenter() override;
    TX11WindowPresenter(const TX11WindowPresenter &) = delete;
    TX11WindowPresenter &operator=(const TX11WindowPresenter &) = delete;

    bool Open(TWindowHandle window, int width, int height) override;
    void Present(const Imaging::TBitmap32 &frame) override;
    // Always, while open: the ramp changes the picture, not the screen.
    bool SupportsGamma() override;
    bool SetGammaRamp(const TGammaRamp &ramp) override;
    void Close() override;

private:
    std::mutex FMutex;
    TX11FramePainter FPainter;
    // The brightness: each channel's byte through its table, unless every table is the identity.
    TChannelLevels FLevels{};
    bool FLevelsIdentity = true;
};

} // namespace Halcyra::Platform
