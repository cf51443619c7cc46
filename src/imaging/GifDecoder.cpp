// GIF decoding. The records are read one by one rather than slurped, so that an image descriptor
// claiming a huge size is refused before anything is allocated for it.
#include "imaging/GifDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <memory>
#include <cstring>
#include <vector>

namespace Halcyra::Imaging {

namespace {

struct TGifSource {
    std::span<const std::uint8_t> Bytes;
    std::size_t At = 0;
};

int ReadFromSpan(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *source = static_cast<TGifSource *>(gif->UserData);
    if (length <= 0)
        return 0;
    const std::size_t available = source->Bytes.size() - source->At;
    const std::size_t count = std::min(available, static_cast<std::size_t>(length));
    std::memcpy(buffer, source->Bytes.data() + source->At, count);
    source->At += count;
    return static_cast<int>(count);
}

struct TGifCloser {
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

std::string GifError(const char *what, int code)
{
    const char *text = GifErrorString(code);
    return std::string("GIF error: ") + what + (text != nullptr ? std::string(": ") + text : std::string());
}

std::uint32_t ColourOf(const ColorMapObject *map, int index)
{
    if (map == nullptr || index < 0 || index >= map->ColorCount)
        return 0;
    const GifColorType &colour = map->Colors[index];
    return (static_cast<std::uint32_t>(colour.Red) << 16) | (static_cast<std::uint32_t>(colour.Green) << 8) | colour.Blue;
}

} // namespace

TPictureResult DecodeGif(std::span<const std::uint8_t> file)
{
    if (file.size() < 6 || std::memcmp(file.data(), "GIF", 3) != 0)
        return TPictureResult{std::nullopt, "Not a GIF file"};
    TGifSource source{file, 0};
    int error = 0;
    std::unique_ptr<GifFileType, TGifCloser> gif(DGifOpen(&source, ReadFromSpan, &error));
    if (!gif)
        return TPictureResult{std::nullopt, GifError("open", error)};
    const std::int64_t screenWidth = gif->SWidth;
    const std::int64_t screenHeight = gif->SHeight;
    if (screenWidth <= 0 || screenHeight <= 0 || screenWidth * screenHeight > TBitmap32::MaxPixels)
        return TPictureResult{std::nullopt, "GIF size invalid"};

    int transparent = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            return TPictureResult{std::nullopt, GifError("record", gif->Error)};
        if (record == TERMINATE_RECORD_TYPE)
            return TPictureResult{std::nullopt, "GIF has no image"};
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                return TPictureResult{std::nullopt, GifError("extension", gif->Error)};
            bool first = true;
            while (block != nullptr) {
                // A graphic control block: flags, delay (2 bytes), transparent index.
                if (first && code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4)
                    transparent = (block[1] & 0x01) ? block[4] : -1;
                first = false;
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    return TPictureResult{std::nullopt, GifError("extension", gif->Error)};
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            return TPictureResult{std::nullopt, GifError("image", gif->Error)};
        const GifImageDesc &image = gif->Image;
        if (image.Width <= 0 || image.Height <= 0 || static_cast<std::int64_t>(image.Width) * image.Height > TBitmap32::MaxPixels)
            return TPictureResult{std::nullopt, "GIF image size invalid"};
        const ColorMapObject *map = image.ColorMap != nullptr ? image.ColorMap : gif->SColorMap;
        if (map == nullptr)
            return TPictureResult{std::nullopt, "GIF has no colour map"};

        auto bitmap = TBitmap32::Create(static_cast<int>(screenWidth), static_cast<int>(screenHeight));
        if (!bitmap)
            return TPictureResult{std::nullopt, "GIF size invalid"};
        // The background colour shows only where the image does not cover the screen; a
        // background index that is also the transparent one stays black.
        if (gif->SColorMap != nullptr && gif->SBackGroundColor != transparent)
            bitmap->Fill(ColourOf(gif->SColorMap, gif->SBackGroundColor));

        std::vector<GifPixelType> line(static_cast<std::size_t>(image.Width));
        auto putLine = [&](int row) {
            const int y = image.Top + row;
            if (y < 0 || y >= bitmap->Height())
                return;
            std::uint32_t *out = bitmap->Row(y);
            for (int column = 0; column < image.Width; ++column) {
                const int x = image.Left + column;
                if (x < 0 || x >= bitmap->Width())
                    continue;
                const int index = line[static_cast<std::size_t>(column)];
                out[x] = index == transparent ? 0u : ColourOf(map, index);
            }
        };
        if (image.Interlace) {
            constexpr std::array<int, 4> Start{0, 4, 2, 1};
            constexpr std::array<int, 4> Step{8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = Start[pass]; row < image.Height; row += Step[pass]) {
                    if (DGifGetLine(gif.get(), line.data(), image.Width) == GIF_ERROR)
                        return TPictureResult{std::nullopt, GifError("data", gif->Error)};
                    putLine(row);
                }
        } else {
            for (int row = 0; row < image.Height; ++row) {
                if (DGifGetLine(gif.get(), line.data(), image.Width) == GIF_ERROR)
                    return TPictureResult{std::nullopt, GifError("data", gif->Error)};
                putLine(row);
            }
        }
        return TPictureResult{std::move(bitmap), {}};
    }
}

} // namespace Halcyra::Imaging
