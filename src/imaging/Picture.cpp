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

namespace {

TPictureResult Decode(TGraphicKind kind, std::span<const std::uint8_t> file)
{
    switch (kind) {
    case TGraphicKind::Jpeg: return DecodeJpeg(file);
    case TGraphicKind::Gif: return DecodeGif(file);
    case TGraphicKind::Bitmap: break;
    }
    return DecodeBmpFile(file);
}

} // namespace

TPictureLoad TPicture::FromFile(TGraphicKind kind, std::span<const std::uint8_t> file)
{
    TPictureResult decoded = Decode(kind, file);
    if (!decoded.Bitmap)
        return TPictureLoad{std::nullopt, std::move(decoded.Error)};
    TPicture picture = FromBitmap(std::move(*decoded.Bitmap), kind);
    picture.FFile = std::make_shared<const std::vector<std::uint8_t>>(file.begin(), file.end());
    return TPictureLoad{std::move(picture), {}};
}

TPicture TPicture::FromBitmap(TBitmap32 bitmap, TGraphicKind kind)
{
    return TPicture(std::make_shared<const TBitmap32>(std::move(bitmap)), kind);
}

TPicture TPicture::WithoutPixels() const
{
    TPicture picture = *this;
    if (picture.FFile != nullptr)
        picture.FBitmap.reset();
    return picture;
}

TPicture TPicture::WithPixels() const
{
    if (FBitmap != nullptr || FFile == nullptr)
        return *this;
    TPictureResult decoded = Decode(FKind, *FFile);
    if (!decoded.Bitmap)
        return TPicture{};
    TPicture picture = FromBitmap(std::move(*decoded.Bitmap), FKind);
    picture.FFile = FFile;
    return picture;
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
