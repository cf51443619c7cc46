// The sprites' shared blit rules.
#include "sprites/SpriteBlit.h"

namespace Halcyra {

using namespace Platform;

std::int32_t DesignToScreen(std::int32_t value, std::int32_t screen, std::int32_t design)
{
    const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(value) * screen));
    if (design == 0)
        return product;
    // INT32_MIN / −1 is the one quotient that does not fit.
    if (product == INT32_MIN && design == -1)
        return product;
    return product / design;
}

std::optional<TClippedBlit> ClipToScreen(int x, int y, int w, int h, int sx, int sy, int W, int H)
{
    // 64-bit sums: positions far outside the screen must not overflow on the way.
    const std::int64_t x64 = x, y64 = y, w64 = w, h64 = h, sx64 = sx, sy64 = sy, width = W, height = H;
    std::int64_t left = 0, right = 0, top = 0, bottom = 0, destX = x64, destY = y64;

    if (x64 > 0 && x64 + w64 < width) {
        left = sx64;
        right = w64;
    } else if (x64 > width - 2) {
        return std::nullopt;
    } else if (x64 + w64 > width - 1) {
        if (x64 < 0) {
            // Past both edges: cut the left part off too, so the blit starts on the screen.
            left = -x64;
            right = width - 1 - x64;
            destX = 0;
        } else {
            left = sx64;
            right = width - 1 - x64;
        }
    } else if (x64 + w64 < 2) {
        return std::nullopt;
    } else {
        left = -x64;
        right = w64;
        destX = 0;
    }

    const std::int64_t b = h64 + y64 - sy64;
    if (y64 > 0 && b < height) {
        top = sy64;
        bottom = h64;
    } else if (y64 > height - 2) {
        return std::nullopt;
    } else if (b > height - 1) {
        if (y64 < 0) {
            top = -y64 + sy64;
            bottom = height + sy64 - y64 - 1;
            destY = 0;
        } else {
            top = sy64;
            bottom = height + sy64 - y64 - 1;
        }
    } else if (b < 2) {
        return std::nullopt;
    } else {
        top = -y64 + sy64;
        bottom = h64;
        destY = 0;
    }
    return TClippedBlit{static_cast<int>(destX), static_cast<int>(destY),
                        TRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right), static_cast<int>(bottom)}};
}

const char *BltFastErrorName(TDDResult result)
{
    switch (result) {
    case DDResult::Unsupported: return "DDERR_UNSUPPORTED";
    case DDResult::Generic: return "DDERR_GENERIC";
    case DDResult::InvalidParams: return "DERR_INVALIDPARAMS";
    case DDResult::Exception: return "DDERR_EXCEPTION";
    case DDResult::InvalidObject: return "DDERR_INVALIDOBJECT";
    case DDResult::InvalidRect: return "DDERR_INVALIDRECT";
    case DDResult::SurfaceBusy: return "DDERR_SURFACEBUSY";
    case DDResult::NoBltHw: return "DDERR_NOBLTHW";
    default: return "";
    }
}

TDDResult BltFastRetrying(IDisplaySurface &target, const TClippedBlit &blit, IDisplaySurface &source, std::uint32_t flags)
{
    TDDResult result = DDResult::WasStillDrawing;
    for (int attempt = 0; attempt < MaxStillDrawingRetries && result == DDResult::WasStillDrawing; ++attempt)
        result = target.BltFast(blit.DestX, blit.DestY, source, blit.Source, flags);
    return result;
}

} // namespace Halcyra
