// Reading the assets linked into the module for the asset tests: resources by name, stored pictures
// decoded through the imaging code, and the few header fields (bit depth, compression, palette
// size, JPEG components) that the decoders do not report.
#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/BmpDecoder.h"
#include "imaging/Picture.h"
#include "platform/Resources.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Halcyra::Testing {

inline std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

inline std::uint16_t ReadLe16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

inline std::int16_t ReadLeS16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::int16_t>(ReadLe16(bytes, at));
}

// A picture resource of the module, split and decoded.
struct TAssetPicture {
    std::string ClassName;
    std::span<const std::uint8_t> File;
    std::optional<Imaging::TBitmap32> Bitmap;
    std::string Error;
};

inline TAssetPicture LoadAssetPicture(std::string_view name)
{
    TAssetPicture result;
    auto stored = Platform::ModuleResources().Find(Platform::ResourceTypeData, name);
    if (!stored) {
        result.Error = "no resource " + std::string(name);
        return result;
    }
    auto parts = Imaging::SplitStoredPicture(*stored, result.Error);
    if (!parts)
        return result;
    result.ClassName = parts->ClassName;
    result.File = parts->File;
    auto load = Imaging::TPicture::FromStored(*stored);
    if (!load.Picture) {
        result.Error = load.Error;
        return result;
    }
    result.Bitmap = *load.Picture->Bitmap();
    return result;
}

// The fields of a bitmap's info header, from a .bmp file or a DIB.
struct TBmpHeader {
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;
    std::uint32_t Compression = 0;
    std::uint32_t ColoursUsed = 0;
};

inline TBmpHeader ReadBmpHeader(std::span<const std::uint8_t> bytes, bool withFileHeader)
{
    const std::size_t at = withFileHeader ? 14 : 0;
    TBmpHeader header;
    header.Width = static_cast<std::int32_t>(ReadLe32(bytes, at + 4));
    header.Height = static_cast<std::int32_t>(ReadLe32(bytes, at + 8));
    header.BitsPerPixel = ReadLe16(bytes, at + 14);
    header.Compression = ReadLe32(bytes, at + 16);
    header.ColoursUsed = ReadLe32(bytes, at + 32);
    return header;
}

// The number of components in a JPEG's frame header; 0 when there is none.
inline int JpegComponents(std::span<const std::uint8_t> file)
{
    std::size_t at = 2;
    while (at + 4 <= file.size()) {
        if (file[at] != 0xFF)
            return 0;
        const std::uint8_t marker = file[at + 1];
        const std::size_t length = static_cast<std::size_t>(file[at + 2]) << 8 | file[at + 3];
        const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader && at + 9 < file.size())
            return file[at + 9];
        at += 2 + length;
    }
    return 0;
}

inline int Red(std::uint32_t rgb) { return static_cast<int>(rgb >> 16 & 0xFF); }
inline int Green(std::uint32_t rgb) { return static_cast<int>(rgb >> 8 & 0xFF); }
inline int Blue(std::uint32_t rgb) { return static_cast<int>(rgb & 0xFF); }

// The largest channel difference of two colours.
inline int ColourDistance(std::uint32_t a, std::uint32_t b)
{
    const int dr = std::abs(Red(a) - Red(b));
    const int dg = std::abs(Green(a) - Green(b));
    const int db = std::abs(Blue(a) - Blue(b));
    return dr > dg ? (dr > db ? dr : db) : (dg > db ? dg : db);
}

} // namespace Halcyra::Testing
