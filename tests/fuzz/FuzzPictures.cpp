// Fuzz target: the picture readers on arbitrary bytes — the bitmap file and DIB decoders and the
// stored picture format (which hands its file to the JPEG, GIF or bitmap decoder its class names).
// Besides the sanitizers, it checks what the readers promise: a bitmap or an error text, never
// both or neither, and never more pixels than the cap.
#include "imaging/BmpDecoder.h"
#include "imaging/Picture.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void CheckResult(const Halcyra::Imaging::TPictureResult &result)
{
    Check(result.Bitmap.has_value() != !result.Error.empty());
    if (result.Bitmap)
        Check(static_cast<std::int64_t>(result.Bitmap->Width()) * result.Bitmap->Height() <= Halcyra::Imaging::TBitmap32::MaxPixels);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace Halcyra::Imaging;
    const std::span<const std::uint8_t> input(data, size);
    CheckResult(DecodeBmpFile(input));
    CheckResult(DecodeDib(input));
    const TPictureLoad load = TPicture::FromStored(input);
    Check(load.Picture.has_value() != !load.Error.empty());
    if (load.Picture)
        Check(!load.Picture->Empty() && load.Picture->Width() > 0 && load.Picture->Height() > 0);
    return 0;
}
