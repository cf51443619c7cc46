// A decoded picture in memory: 32-bit pixels 0x00RRGGBB, rows top-down. Every decoder of this
// folder produces one, and the soft surfaces and the device contexts draw from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace Halcyra::Imaging {

class TBitmap32 {
public:
    // The largest picture any decoder may allocate: 64 Mi pixels (256 MiB). Larger sizes come only
    // from corrupt or hostile headers.
    static constexpr std::int64_t MaxPixels = std::int64_t{64} * 1024 * 1024;

    // A black bitmap of the given size; nullopt for a non-positive size or one above MaxPixels.
    static std::optional<TBitmap32> Create(int width, int height);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    // Pixel access; coordinates must lie inside the bitmap.
    std::uint32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t rgb);

    const std::uint32_t *Row(int y) const;
    std::uint32_t *Row(int y);

    // Fills every pixel with one colour.
    void Fill(std::uint32_t rgb);

    // A copy of the rectangle (x, y, width, height), which must lie inside this bitmap.
    std::optional<TBitmap32> Crop(int x, int y, int width, int height) const;

    // A copy scaled to the given size by nearest-neighbour sampling (the scaling a plain
    // stretch-draw of a device context does).
    std::optional<TBitmap32> Scaled(int width, int height) const;

    // Copies source with its top-left corner at (x, y); what falls outside this bitmap is left out.
    void Draw(int x, int y, const TBitmap32 &source);
    // Like Draw, but the pixels of source's transparent colour are not copied, so what lies below
    // shows through.
    void DrawTransparent(int x, int y, const TBitmap32 &source);
    // The colour a picture drawn transparently leaves out: its bottom-left pixel's.
    std::uint32_t TransparentColour() const { return GetPixel(0, FHeight - 1); }

    bool operator==(const TBitmap32 &other) const = default;

private:
    TBitmap32(int width, int height);

    int FWidth = 0;
    int FHeight = 0;
    std::vector<std::uint32_t> FPixels;
};

} // namespace Halcyra::Imaging
