// GIF decoding through giflib into 32-bit bitmaps: the first image of the file on its logical
// screen.
#pragma once

#include "imaging/BmpDecoder.h"

#include <cstdint>
#include <span>

namespace Halcyra::Imaging {

// A whole GIF file. The bitmap is the logical screen: the first image drawn at its place over the
// background colour; pixels of the transparent colour index are black, what a fresh surface shows
// beneath them.
TPictureResult DecodeGif(std::span<const std::uint8_t> file);

} // namespace Halcyra::Imaging
