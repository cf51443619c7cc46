// Windows bitmap decoding. Every size and offset read from the file is checked against the bytes
// actually present before it is used, so a corrupt header yields an error text, never a read past
// the end or an allocation the file cannot justify.
#include "imaging/BmpDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>

namespace Halcyra::Imaging {

namespace {

constexpr std::uint32_t BiRgb = 0;
constexpr std::uint32_t BiRle8 = 1;
constexpr std::uint32_t BiBitfields = 3;

constexpr std::size_t FileHeaderSize = 14;
constexpr std::size_t CoreHeaderSize = 12;
constexpr std::size_t InfoHeaderSize = 40;

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

TPictureResult Fail(std::string text)
{
    return TPictureResult{std::nullopt, std::move(text)};
}

struct TDibHeader {
    std::size_t HeaderSize = 0;
    int Width = 0;
    int Height = 0;
    bool TopDown = false;
    int BitCount = 0;
    std::uint32_t Compression = BiRgb;
    std::size_t PaletteEntries = 0;
    std::size_t PaletteEntrySize = 4;
    // Bytes between the header and the palette (the three masks of a 40-byte BI_BITFIELDS header).
    std::size_t MaskBytes = 0;
};

// Parses the header at the start of the DIB; returns an error text or an empty string.
std::string ParseHeader(std::span<const std::uint8_t> dib, TDibHeader &header)
{
    if (dib.size() < 4)
        return "Truncated bitmap header";
    header.HeaderSize = ReadU32(dib, 0);
    if (header.HeaderSize == CoreHeaderSize) {
        if (dib.size() < CoreHeaderSize)
            return "Truncated bitmap header";
        header.Width = ReadU16(dib, 4);
        header.Height = ReadU16(dib, 6);
        if (ReadU16(dib, 8) != 1)
            return "Invalid bitmap planes";
        header.BitCount = ReadU16(dib, 10);
        header.PaletteEntrySize = 3;
        if (header.BitCount <= 8)
            header.PaletteEntries = std::size_t{1} << header.BitCount;
    } else if (header.HeaderSize == InfoHeaderSize || header.HeaderSize == 52 || header.HeaderSize == 56 ||
               header.HeaderSize == 64 || header.HeaderSize == 108 || header.HeaderSize == 124) {
        if (dib.size() < header.HeaderSize)
            return "Truncated bitmap header";
        const auto width = static_cast<std::int32_t>(ReadU32(dib, 4));
        const auto height = static_cast<std::int32_t>(ReadU32(dib, 8));
        if (ReadU16(dib, 12) != 1)
            return "Invalid bitmap planes";
        header.BitCount = ReadU16(dib, 14);
        header.Compression = ReadU32(dib, 16);
        const std::uint32_t colorsUsed = ReadU32(dib, 32);
        if (width <= 0 || height == 0 || height == INT32_MIN)
            return "Invalid bitmap size";
        header.Width = width;
        header.TopDown = height < 0;
        header.Height = height < 0 ? -height : height;
        if (header.BitCount <= 8 && header.BitCount > 0) {
            const std::size_t maximum = std::size_t{1} << header.BitCount;
            if (colorsUsed > maximum)
                return "Invalid bitmap palette size";
            header.PaletteEntries = colorsUsed == 0 ? maximum : colorsUsed;
        } else if (colorsUsed > 256) {
            return "Invalid bitmap palette size";
        } else {
            // A palette beside direct colours is only an optimisation hint; it is skipped.
            header.PaletteEntries = colorsUsed;
        }
        if (header.Compression == BiBitfields && header.HeaderSize == InfoHeaderSize)
            header.MaskBytes = 12;
    } else {
        return "Unsupported bitmap header";
    }
    if (header.Width <= 0 || header.Height <= 0)
        return "Invalid bitmap size";
    switch (header.BitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
    case 32:
        break;
    default:
        return "Unsupported bitmap bit depth";
    }
    if (header.Compression == BiRle8) {
        if (header.BitCount != 8)
            return "Unsupported bitmap compression";
        if (header.TopDown)
            return "Invalid top-down RLE8 bitmap";
    } else if (header.Compression == BiBitfields) {
        if (header.BitCount != 32)
            return "Unsupported bitmap compression";
    } else if (header.Compression != BiRgb) {
        return "Unsupported bitmap compression";
    }
    if (static_cast<std::int64_t>(header.Width) * header.Height > TBitmap32::MaxPixels)
        return "Bitmap too large";
    return {};
}

struct TMasks {
    std::uint32_t Red = 0x00FF0000u;
    std::uint32_t Green = 0x0000FF00u;
    std::uint32_t Blue = 0x000000FFu;
};

// Extracts one 8-bit channel from a pixel under a contiguous mask.
std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1u) == 0)
        ++shift;
    std::uint32_t value = (pixel & mask) >> shift;
    const std::uint32_t maximum = mask >> shift;
    if (maximum == 0xFFu)
        return value;
    return maximum == 0 ? 0 : (value * 255u + maximum / 2) / maximum;
}

TPictureResult DecodeUncompressed(const TDibHeader &header, const std::array<std::uint32_t, 256> &palette,
                                  const TMasks &masks, std::span<const std::uint8_t> bits)
{
    const std::uint64_t stride = ((static_cast<std::uint64_t>(header.Width) * header.BitCount + 31) / 32) * 4;
    if (stride * static_cast<std::uint64_t>(header.Height) > bits.size())
        return Fail("Truncated bitmap data");
    auto bitmap = TBitmap32::Create(header.Width, header.Height);
    if (!bitmap)
        return Fail("Bitmap too large");
    for (int row = 0; row < header.Height; ++row) {
        const int target = header.TopDown ? row : header.Height - 1 - row;
        const std::uint8_t *source = bits.data() + stride * static_cast<std::uint64_t>(row);
        std::uint32_t *out = bitmap->Row(target);
        for (int x = 0; x < header.Width; ++x) {
            switch (header.BitCount) {
            case 1:
                out[x] = palette[(source[x >> 3] >> (7 - (x & 7))) & 1u];
                break;
            case 4:
                out[x] = palette[(source[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0Fu];
                break;
            case 8:
                out[x] = palette[source[x]];
                break;
            case 24:
                out[x] = static_cast<std::uint32_t>(source[x * 3]) | (static_cast<std::uint32_t>(source[x * 3 + 1]) << 8) |
                         (static_cast<std::uint32_t>(source[x * 3 + 2]) << 16);
                break;
            default: {
                const std::uint32_t pixel = static_cast<std::uint32_t>(source[x * 4]) |
                                            (static_cast<std::uint32_t>(source[x * 4 + 1]) << 8) |
                                            (static_cast<std::uint32_t>(source[x * 4 + 2]) << 16) |
                                            (static_cast<std::uint32_t>(source[x * 4 + 3]) << 24);
                out[x] = (Channel(pixel, masks.Red) << 16) | (Channel(pixel, masks.Green) << 8) | Channel(pixel, masks.Blue);
                break;
            }
            }
        }
    }
    return TPictureResult{std::move(bitmap), {}};
}

// RLE8: pairs of (count, index) runs and escapes (0,0 end of line; 0,1 end of bitmap; 0,2 delta;
// 0,n literal run padded to a 16-bit boundary). Pixels the stream never reaches stay palette
// index 0. Runs and deltas that would leave the bitmap are cut at its edge; a stream that ends
// without its end-of-bitmap escape keeps what it decoded.
TPictureResult DecodeRle8(const TDibHeader &header, const std::array<std::uint32_t, 256> &palette,
                          std::span<const std::uint8_t> bits)
{
    auto bitmap = TBitmap32::Create(header.Width, header.Height);
    if (!bitmap)
        return Fail("Bitmap too large");
    bitmap->Fill(palette[0]);
    int x = 0;
    int line = 0; // counted from the bottom
    std::size_t at = 0;
    auto put = [&](std::uint8_t index) {
        if (x < header.Width && line < header.Height)
            bitmap->SetPixel(x, header.Height - 1 - line, palette[index]);
        ++x;
    };
    while (line < header.Height) {
        if (at + 2 > bits.size())
            break;
        const std::uint8_t first = bits[at];
        const std::uint8_t second = bits[at + 1];
        at += 2;
        if (first > 0) {
            for (int i = 0; i < first && x < header.Width; ++i)
                put(second);
            continue;
        }
        if (second == 0) {
            x = 0;
            ++line;
        } else if (second == 1) {
            break;
        } else if (second == 2) {
            if (at + 2 > bits.size())
                return Fail("Corrupt RLE8 bitmap data");
            // Bounded by the bitmap's edges: a stream of deltas can never carry the position further
            // (nor overflow it); what follows on that line is cut, as a run past the edge is.
            x = std::min(x + bits[at], header.Width);
            line = std::min(line + bits[at + 1], header.Height);
            at += 2;
        } else {
            const std::size_t count = second;
            if (at + count > bits.size())
                return Fail("Corrupt RLE8 bitmap data");
            for (std::size_t i = 0; i < count; ++i) {
                if (x < header.Width)
                    put(bits[at + i]);
            }
            at += count + (count & 1u);
        }
    }
    return TPictureResult{std::move(bitmap), {}};
}

// Decodes a DIB whose bits start at bitsOffset (measured from the start of the DIB), or right
// after the palette when no offset is given.
TPictureResult DecodeDibAt(std::span<const std::uint8_t> dib, std::optional<std::size_t> bitsOffset)
{
    TDibHeader header;
    if (auto error = ParseHeader(dib, header); !error.empty())
        return Fail(std::move(error));

    TMasks masks;
    std::size_t at = header.HeaderSize;
    if (header.Compression == BiBitfields) {
        const std::size_t masksAt = header.HeaderSize == InfoHeaderSize ? at : 40;
        if (masksAt + 12 > dib.size())
            return Fail("Truncated bitmap header");
        masks.Red = ReadU32(dib, masksAt);
        masks.Green = ReadU32(dib, masksAt + 4);
        masks.Blue = ReadU32(dib, masksAt + 8);
        for (const std::uint32_t mask : {masks.Red, masks.Green, masks.Blue}) {
            // Only contiguous masks describe a channel.
            if (mask != 0 && ((mask >> std::countr_zero(mask)) & ((mask >> std::countr_zero(mask)) + 1)) != 0)
                return Fail("Invalid bitmap colour masks");
        }
    }
    at += header.MaskBytes;

    std::array<std::uint32_t, 256> palette{};
    const std::size_t paletteBytes = header.PaletteEntries * header.PaletteEntrySize;
    if (at + paletteBytes > dib.size())
        return Fail("Truncated bitmap palette");
    if (header.BitCount <= 8) {
        for (std::size_t i = 0; i < header.PaletteEntries; ++i) {
            const std::size_t entry = at + i * header.PaletteEntrySize;
            palette[i] = static_cast<std::uint32_t>(dib[entry]) | (static_cast<std::uint32_t>(dib[entry + 1]) << 8) |
                         (static_cast<std::uint32_t>(dib[entry + 2]) << 16);
        }
    }
    at += paletteBytes;

    const std::size_t bitsAt = bitsOffset.value_or(at);
    if (bitsAt > dib.size())
        return Fail("Invalid bitmap data offset");
    const auto bits = dib.subspan(bitsAt);
    if (header.Compression == BiRle8)
        return DecodeRle8(header, palette, bits);
    return DecodeUncompressed(header, palette, masks, bits);
}

} // namespace

TPictureResult DecodeBmpFile(std::span<const std::uint8_t> file)
{
    if (file.size() < FileHeaderSize || file[0] != 'B' || file[1] != 'M')
        return Fail("Not a bitmap file");
    const std::uint32_t offBits = ReadU32(file, 10);
    const auto dib = file.subspan(FileHeaderSize);
    // An offset of zero or one pointing into the file header is not a position of the bits; the
    // bits then follow the palette, as in a resource.
    std::optional<std::size_t> bitsOffset;
    if (offBits >= FileHeaderSize + 4) {
        if (offBits > file.size())
            return Fail("Invalid bitmap data offset");
        bitsOffset = offBits - FileHeaderSize;
    }
    return DecodeDibAt(dib, bitsOffset);
}

TPictureResult DecodeDib(std::span<const std::uint8_t> dib)
{
    return DecodeDibAt(dib, std::nullopt);
}

} // namespace Halcyra::Imaging
