// JPEG decoding through libjpeg into 32-bit bitmaps: baseline and progressive, greyscale, YCbCr and
// (Adobe) CMYK.
#pragma once

#include "imaging/BmpDecoder.h"

#include <cstdint>
#include <span>

namespace Halcyra::Imaging {

// A whole JPEG file. A corrupt stream is an error; a stream that merely ends early keeps the rows
// libjpeg could decode (the rest grey, as libjpeg fills them).
TPictureResult DecodeJpeg(std::span<const std::uint8_t> file);

} // namespace Halcyra::Imaging
