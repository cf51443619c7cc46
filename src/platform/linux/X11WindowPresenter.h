// The presenter of the display programs: frames drawn into a window another program made (a
// screensaver daemon's), scaled to the window with their aspect kept and centred, black around, and
// the brightness applied to the picture itself (the screen's gamma ramp is not the program's to
// change here). An X connection of its own, used under the presenter's lock by whichever thread
// presents; the picture goes through shared memory where the server offers it.
#pragma once

#include "platform/soft/SoftDisplay.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

struct _XDisplay;
struct _XGC;
struct _XImage;

namespace Halcyra::Platform {

// The window the display programs draw into, once the application hosts its main window in it; 0
// while it has its own.
void SetHostedWindow(TWindowHandle window);
TWindowHandle HostedWindow();

// X errors are reported to a process-wide handler, and a host's window may go away at any moment:
// from now on errors are counted, not fatal (Xlib's own handler ends the process).
void CountX11Errors();
unsigned long X11ErrorCount();

class TX11WindowPresenter final : public ISoftPresenter {
public:
    TX11WindowPresenter() = default;
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
    // Follows the window's size; a new size makes a new image. FMutex held.
    void FollowWindowSize();
    bool CreateImage(int width, int height);
    void DestroyImage();
    void Compose(const Imaging::TBitmap32 &frame);
    void Release();

    std::mutex FMutex;
    _XDisplay *FConnection = nullptr;
    unsigned long FWindow = 0;
    _XGC *FGc = nullptr;
    _XImage *FImage = nullptr;
    bool FShared = false;
    int FSharedId = -1;
    void *FSharedInfo = nullptr;
    int FWindowWidth = 0;
    int FWindowHeight = 0;
    int FFrameWidth = 0;
    int FFrameHeight = 0;
    // The picture's place in the window and, per column of it, the frame's column.
    TRect FTarget{};
    std::vector<int> FSourceColumns;
    // The brightness: each channel's byte through its table.
    std::array<std::array<std::uint8_t, 256>, 3> FLevels{};
    bool FLevelsIdentity = true;
};

} // namespace Halcyra::Platform
