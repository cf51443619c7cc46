// Builders of picture files for the tests: Windows bitmaps of every layout the decoders accept,
// JPEG through libjpeg, and the stored picture format, all from an in-memory bitmap.
#pragma once

#include "imaging/Bitmap32.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Halcyra::Testing {

enum class TBmpRows { BottomUp, TopDown };

// A 24-bit BI_RGB bitmap file (with the 14-byte file header).
std::vector<std::uint8_t> MakeBmp24(const Imaging::TBitmap32 &bitmap, TBmpRows rows = TBmpRows::BottomUp);

// An 8-bit palette bitmap file; every pixel's colour must be in the palette (at most 256 entries).
std::vector<std::uint8_t> MakeBmp8(const Imaging::TBitmap32 &bitmap, TBmpRows rows = TBmpRows::BottomUp);

// An 8-bit RLE8 bitmap file using encoded runs for repeats and literal runs otherwise.
std::vector<std::uint8_t> MakeBmpRle8(const Imaging::TBitmap32 &bitmap);

// The DIB of a bitmap file: everything after the 14-byte file header.
std::vector<std::uint8_t> DibOf(const std::vector<std::uint8_t> &bmpFile);

// A baseline JPEG file at the given quality.
std::vector<std::uint8_t> MakeJpeg(const Imaging::TBitmap32 &bitmap, int quality = 95);

// A GIF file with a global palette of the bitmap's colours (at most 256).
std::vector<std::uint8_t> MakeGif(const Imaging::TBitmap32 &bitmap);

// The stored picture format: length byte, class name, 32-bit little-endian count, the file.
std::vector<std::uint8_t> MakeStoredPicture(const std::string &className, const std::vector<std::uint8_t> &file);

// A bitmap of the given size whose pixel (x, y) is pattern(x, y).
template <typename TPattern>
Imaging::TBitmap32 MakeBitmap(int width, int height, TPattern pattern)
{
    auto bitmap = Imaging::TBitmap32::Create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap->SetPixel(x, y, pattern(x, y));
    return std::move(*bitmap);
}

// A point, within a frame of a vertical strip of square frames, where frame `frame` differs from
// frame `other`, searched from the frame's centre on: where a screen shows which of the two is
// drawn. The centre when they do not differ.
std::pair<int, int> PixelWhereFramesDiffer(const Imaging::TBitmap32 &strip, int frameSize, int frame, int other);

} // namespace Halcyra::Testing
