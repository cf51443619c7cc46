// The display programs' presenter: the frame painter into the host's window, with the brightness as
// a table per channel.
#include "platform/linux/X11WindowPresenter.h"

#include <atomic>

namespace Halcyra::Platform {

namespace {

std::atomic<TWindowHandle> GHostedWindow = 0;

} // namespace

void SetHostedWindow(TWindowHandle window) { GHostedWindow = window; }
TWindowHandle HostedWindow() { return GHostedWindow; }

TX11WindowPresenter::~TX11WindowPresenter()
{
    Close();
}

bool TX11WindowPresenter::Open(TWindowHandle window, int width, int height)
{
    std::lock_guard lock(FMutex);
    FLevelsIdentity = true;
    return FPainter.Open(static_cast<unsigned long>(window), width, height);
}

void TX11WindowPresenter::Present(const Imaging::TBitmap32 &frame)
{
    std::lock_guard lock(FMutex);
    FPainter.Paint(frame, FLevelsIdentity ? nullptr : &FLevels);
}

bool TX11WindowPresenter::SupportsGamma()
{
    std::lock_guard lock(FMutex);
    return FPainter.IsOpen();
}

bool TX11WindowPresenter::SetGammaRamp(const TGammaRamp &ramp)
{
    std::lock_guard lock(FMutex);
    if (!FPainter.IsOpen())
        return false;
    bool identity = true;
    for (int i = 0; i < 256; ++i) {
        FLevels[0][i] = static_cast<std::uint8_t>(ramp.Red[i] >> 8);
        FLevels[1][i] = static_cast<std::uint8_t>(ramp.Green[i] >> 8);
        FLevels[2][i] = static_cast<std::uint8_t>(ramp.Blue[i] >> 8);
        identity = identity && FLevels[0][i] == i && FLevels[1][i] == i && FLevels[2][i] == i;
    }
    FLevelsIdentity = identity;
    return true;
}

void TX11WindowPresenter::Close()
{
    std::lock_guard lock(FMutex);
    FPainter.Close();
}

} // namespace Halcyra::Platform
