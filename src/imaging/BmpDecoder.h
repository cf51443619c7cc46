// Decoding of Windows bitmaps into 32-bit bitmaps: the .bmp file (with its 14-byte file header) and
// the DIB of a BITMAP resource (info header, palette, bits). Palette bitmaps of 1, 4 and 8 bits,
// 8-bit run-length encoded (RLE8), 24-bit and 32-bit, bottom-up and top-down.
#pragma once

#include "imaging/Bitmap32.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace Halcyra::Imaging {

// What a decoder returns: the bitmap, or no bitmap and the reason in Error.
struct TPictureResult {
    std::optional<TBitmap32> Bitmap;
    std::string Error;
};

// A whole .bmp file, starting with "BM".
TPictureResult DecodeBmpFile(std::span<const std::uint8_t> file);

// A packed DIB without file header: BITMAPINFOHEADER (or a later/core header), palette, bits.
TPictureResult DecodeDib(std::span<const std::uint8_t> dib);

} // namespace Halcyra::Imaging
