// What the image and frame-strip sprites share: the conversion from the 1024 by 768 design space to
// screen pixels, the clipping of a sprite's blit to the back surface, the blit itself with its
// still-drawing retry, and the names of blit failures in their error texts.
#pragma once

#include "platform/Display.h"

#include <cstdint>
#include <optional>

namespace Halcyra {

// value × screen / design in 32-bit signed arithmetic (the product wraps as 32-bit integers do),
// the division truncating toward zero: 300 at 800 of 1024 is 234, −5 is −3.
std::int32_t DesignToScreen(std::int32_t value, std::int32_t screen, std::int32_t design);

// A blit after clipping: where it goes on the back surface and which part of the sprite it takes.
struct TClippedBlit {
    int DestX = 0;
    int DestY = 0;
    Platform::TRect Source;
};

// Clips a sprite of draw size w × h at (x, y), taken from source origin (sx, sy), to a back surface
// of W × H. The sprite never writes the last column (W − 1) or the last row (H − 1); a sprite that
// would show at most one column or row at the left or top edge is skipped (nullopt), as is one
// wholly outside. A sprite reaching past both the left and the right edge is clipped on both sides.
std::optional<TClippedBlit> ClipToScreen(int x, int y, int w, int h, int sx, int sy, int W, int H);

// The name a blit failure appends to "Error FDDBACK->BltFast (...) err #"; "" for codes outside the
// table.
const char *BltFastErrorName(Platform::TDDResult result);

// BltFast, repeated at once while the hardware is still drawing (up to MaxStillDrawingRetries).
Platform::TDDResult BltFastRetrying(Platform::IDisplaySurface &target, const TClippedBlit &blit,
                                    Platform::IDisplaySurface &source, std::uint32_t flags);

} // namespace Halcyra
