// Pictures and the stored picture format.
#include "imaging/Picture.h"

#include "imaging/BmpDecoder.h"
#include "imaging/GifDecoder.h"
#include "imaging/JpegDecoder.h"

namespace Halcyra::Imaging {

std::string_view ClassNameOf(TGraphicKind kind)
{
    switch (kind) {
    case TGraphicKind::Jpeg: return JpegClassName;
    case TGraphicKind::Gif: return GifClassName;
    case TGraphicKind::Bitmap: break;
    }
    return BitmapClassName;
}

std::optional<TGraphicKind> KindOfClassName(std::string_view className)
{
    if (className == JpegClassName)
        return TGraphicKind::Jpeg;
    if (className == BitmapClassName)
        return TGraphicKind::Bitmap;
    if (className == GifClassName)
        return TGraphicKind::Gif;
    return std::nullopt;
}

TPictureLoad TPicture::FromFile(TGraphicKind kind, std::span<const std::uint8_t> file)
{
    TPictureResult decoded;
    switch (kind) {
    case TGraphicKind::Jpeg: decoded = DecodeJpeg(file); break;
    case TGraphicKind::Bitmap: decoded = DecodeBmpFile(file); break;
    case TGraphicKind::Gif: decoded = DecodeGif(file); break;
    }
    if (!decoded.Bitmap)
        return TPictureLoad{std::nullopt, std::move(decoded.Error)};
    return TPictureLoad{FromBitmap(std::move(*decoded.Bitmap), kind), {}};
}

TPicture TPicture::FromBitmap(TBitmap32 bitmap, TGraphicKind kind)
{
    return TPicture(std::make_shared<const TBitmap32>(std::move(bitmap)), kind);
}

std::optional<TStoredPictureParts> SplitStoredPicture(std::span<const std::uint8_t> stored, std::string &error)
{
    if (stored.empty()) {
        error = "Stored picture is empty";
        return std::nullopt;
    }
    const std::size_t nameLength = stored[0];
    if (nameLength == 0 || 1 + nameLength + 4 > stored.size()) {
        error = "Stored picture header truncated";
        return std::nullopt;
    }
    TStoredPictureParts parts;
    parts.ClassName.assign(reinterpret_cast<const char *>(stored.data() + 1), nameLength);
    const std::size_t countAt = 1 + nameLength;
    const std::uint32_t count = static_cast<std::uint32_t>(stored[countAt]) | (static_cast<std::uint32_t>(stored[countAt + 1]) << 8) |
                                (static_cast<std::uint32_t>(stored[countAt + 2]) << 16) |
                                (static_cast<std::uint32_t>(stored[countAt + 3]) << 24);
    const std::size_t fileAt = countAt + 4;
    if (count > stored.size() - fileAt) {
        error = "Stored picture data truncated";
        return std::nullopt;
    }
    parts.File = stored.subspan(fileAt, count);
    return parts;
}

TPictureLoad TPicture::FromStored(std::span<const std::uint8_t> stored)
{
    std::string error;
    const auto parts = SplitStoredPicture(stored, error);
    if (!parts)
        return TPictureLoad{std::nullopt, std::move(error)};
    const auto kind = KindOfClassName(parts->ClassName);
    if (!kind)
        return TPictureLoad{std::nullopt, "Unknown graphic class " + parts->ClassName};
    return FromFile(*kind, parts->File);
}

} // namespace Halcyra::Imaging
