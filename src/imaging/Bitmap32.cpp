// The in-memory 32-bit bitmap every decoder produces.
#include "imaging/Bitmap32.h"

#include <algorithm>
#include <cassert>

namespace Halcyra::Imaging {

TBitmap32::TBitmap32(int width, int height)
    : FWidth(width), FHeight(height),
      FPixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u)
{
}

std::optional<TBitmap32> TBitmap32::Create(int width, int height)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    if (static_cast<std::int64_t>(width) * height > MaxPixels)
        return std::nullopt;
    return TBitmap32(width, height);
}

std::uint32_t TBitmap32::GetPixel(int x, int y) const
{
    assert(x >= 0 && x < FWidth && y >= 0 && y < FHeight);
    return FPixels[static_cast<std::size_t>(y) * FWidth + x];
}

void TBitmap32::SetPixel(int x, int y, std::uint32_t rgb)
{
    assert(x >= 0 && x < FWidth && y >= 0 && y < FHeight);
    FPixels[static_cast<std::size_t>(y) * FWidth + x] = rgb & 0x00FFFFFFu;
}

const std::uint32_t *TBitmap32::Row(int y) const
{
    assert(y >= 0 && y < FHeight);
    return FPixels.data() + static_cast<std::size_t>(y) * FWidth;
}

std::uint32_t *TBitmap32::Row(int y)
{
    assert(y >= 0 && y < FHeight);
    return FPixels.data() + static_cast<std::size_t>(y) * FWidth;
}

void TBitmap32::Fill(std::uint32_t rgb)
{
    for (auto &pixel : FPixels)
        pixel = rgb & 0x00FFFFFFu;
}

std::optional<TBitmap32> TBitmap32::Crop(int x, int y, int width, int height) const
{
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x > FWidth - width || y > FHeight - height)
        return std::nullopt;
    auto result = Create(width, height);
    if (!result)
        return std::nullopt;
    for (int row = 0; row < height; ++row) {
        const std::uint32_t *source = Row(y + row) + x;
        std::uint32_t *target = result->Row(row);
        for (int column = 0; column < width; ++column)
            target[column] = source[column];
    }
    return result;
}

std::optional<TBitmap32> TBitmap32::Scaled(int width, int height) const
{
    auto result = Create(width, height);
    if (!result)
        return std::nullopt;
    for (int row = 0; row < height; ++row) {
        const int sourceRow = static_cast<int>(static_cast<std::int64_t>(row) * FHeight / height);
        const std::uint32_t *source = Row(sourceRow);
        std::uint32_t *target = result->Row(row);
        for (int column = 0; column < width; ++column)
            target[column] = source[static_cast<std::int64_t>(column) * FWidth / width];
    }
    return result;
}

namespace {

// Copies the part of source that lands inside target, leaving out pixels equal to *key when given.
void CopyClipped(TBitmap32 &target, int x, int y, const TBitmap32 &source, const std::uint32_t *key)
{
    const int left = std::max(0, -x);
    const int top = std::max(0, -y);
    // Computed in 64 bits: positions far outside the target must not wrap into it.
    const int right = static_cast<int>(std::min<std::int64_t>(source.Width(), std::int64_t{target.Width()} - x));
    const int bottom = static_cast<int>(std::min<std::int64_t>(source.Height(), std::int64_t{target.Height()} - y));
    for (int row = top; row < bottom; ++row) {
        const std::uint32_t *from = source.Row(row);
        std::uint32_t *to = target.Row(y + row);
        for (int column = left; column < right; ++column) {
            if (key == nullptr || from[column] != *key)
                to[x + column] = from[column];
        }
    }
}

} // namespace

void TBitmap32::Draw(int x, int y, const TBitmap32 &source)
{
    CopyClipped(*this, x, y, source, nullptr);
}

void TBitmap32::DrawTransparent(int x, int y, const TBitmap32 &source)
{
    const std::uint32_t key = source.TransparentColour();
    CopyClipped(*this, x, y, source, &key);
}

} // namespace Halcyra::Imaging
