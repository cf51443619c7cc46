// A picture as the sprites hold it: the class of its graphic ("TJPEGImage", "TBitmap", "TGIFImage")
// and its decoded pixels, read from a file or from the stored picture format of the module's
// resources (length byte, class name, 32-bit little-endian byte count, the file).
#pragma once

#include "imaging/Bitmap32.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Halcyra::Imaging {

enum class TGraphicKind { Jpeg, Bitmap, Gif };

inline constexpr std::string_view JpegClassName = "TJPEGImage";
inline constexpr std::string_view BitmapClassName = "TBitmap";
inline constexpr std::string_view GifClassName = "TGIFImage";

// The class name of a kind of graphic.
std::string_view ClassNameOf(TGraphicKind kind);
// The kind of a class name; nullopt for any other name.
std::optional<TGraphicKind> KindOfClassName(std::string_view className);

struct TPictureLoad;

// An immutable picture; copies share the pixels. An empty picture (the default) has no graphic.
// A picture decoded from a file keeps the file (copies share it too), so that a holder that has
// copied the pixels elsewhere can let them go and have them decoded again when it needs them.
class TPicture {
public:
    TPicture() = default;

    // Decodes a file of the given kind.
    static TPictureLoad FromFile(TGraphicKind kind, std::span<const std::uint8_t> file);
    // Decodes the stored picture format. The class name chooses the decoder; a byte count that runs
    // past the data, an unknown class or a file the decoder refuses is an error. Bytes after the
    // counted file are ignored.
    static TPictureLoad FromStored(std::span<const std::uint8_t> stored);
    // A picture of already decoded pixels, as a graphic of the given kind.
    static TPicture FromBitmap(TBitmap32 bitmap, TGraphicKind kind = TGraphicKind::Bitmap);

    bool Empty() const { return FBitmap == nullptr && FFile == nullptr; }
    // The kind of graphic; meaningful only when not empty.
    TGraphicKind Kind() const { return FKind; }
    // "TJPEGImage", "TBitmap" or "TGIFImage"; empty for an empty picture.
    std::string_view ClassName() const { return Empty() ? std::string_view() : ClassNameOf(FKind); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The pixels; null for an empty picture and for one whose pixels were let go.
    const TBitmap32 *Bitmap() const { return FBitmap.get(); }
    const std::shared_ptr<const TBitmap32> &SharedBitmap() const { return FBitmap; }

    // Whether the pixels can be decoded again from the picture's file.
    bool CanDecodeAgain() const { return FFile != nullptr; }
    // The same picture without its pixels, keeping its kind, size and file; the picture itself when
    // it has no file to decode them from again.
    TPicture WithoutPixels() const;
    // The picture with its pixels: itself when it has them, else its file decoded again (an empty
    // picture should the file no longer decode).
    TPicture WithPixels() const;

private:
    TPicture(std::shared_ptr<const TBitmap32> bitmap, TGraphicKind kind)
        : FBitmap(std::move(bitmap)), FKind(kind), FWidth(FBitmap->Width()), FHeight(FBitmap->Height())
    {
    }

    std::shared_ptr<const TBitmap32> FBitmap;
    std::shared_ptr<const std::vector<std::uint8_t>> FFile;
    TGraphicKind FKind = TGraphicKind::Bitmap;
    int FWidth = 0;
    int FHeight = 0;
};

struct TPictureLoad {
    std::optional<TPicture> Picture;
    std::string Error;
};

// The parts of a stored picture without decoding it: the class name and the counted file.
struct TStoredPictureParts {
    std::string ClassName;
    std::span<const std::uint8_t> File;
};
// Splits a stored picture; nullopt with the reason in error when the layout is broken.
std::optional<TStoredPictureParts> SplitStoredPicture(std::span<const std::uint8_t> stored, std::string &error);

} // namespace Halcyra::Imaging
