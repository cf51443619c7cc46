// JPEG decoding. libjpeg reports fatal errors through a callback that must not return; it jumps
// back (longjmp) to the function that started the libjpeg call. Those functions therefore keep no
// C++ object of their own and change no local after setjmp: everything lives in the reader and the
// caller's bitmap, which survive the jump.
#include "imaging/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include <vector>

namespace Halcyra::Imaging {

namespace {

struct TJpegErrorManager {
    jpeg_error_mgr Manager{};
    std::jmp_buf Jump{};
    char Message[JMSG_LENGTH_MAX] = {};
};

void ErrorExit(j_common_ptr info)
{
    auto *errors = reinterpret_cast<TJpegErrorManager *>(info->err);
    (*info->err->format_message)(info, errors->Message);
    std::longjmp(errors->Jump, 1);
}

// Warnings (corrupt data that libjpeg recovers from) are not printed.
void SilentOutput(j_common_ptr) {}

struct TJpegReader {
    jpeg_decompress_struct Info{};
    TJpegErrorManager Errors;
    bool Created = false;

    TJpegReader() = default;
    TJpegReader(const TJpegReader &) = delete;
    TJpegReader &operator=(const TJpegReader &) = delete;
    ~TJpegReader()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
};

bool ReadHeader(TJpegReader &reader, std::span<const std::uint8_t> file)
{
    reader.Info.err = jpeg_std_error(&reader.Errors.Manager);
    reader.Errors.Manager.error_exit = ErrorExit;
    reader.Errors.Manager.output_message = SilentOutput;
    if (setjmp(reader.Errors.Jump))
        return false;
    jpeg_create_decompress(&reader.Info);
    reader.Created = true;
    jpeg_mem_src(&reader.Info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&reader.Info, TRUE);
    if (reader.Info.jpeg_color_space == JCS_CMYK || reader.Info.jpeg_color_space == JCS_YCCK)
        reader.Info.out_color_space = JCS_CMYK;
    else
        reader.Info.out_color_space = JCS_RGB;
    return true;
}

std::uint32_t CmykToRgb(const JSAMPLE *pixel, bool inverted)
{
    int c = pixel[0], m = pixel[1], y = pixel[2], k = pixel[3];
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    // Adobe writes inverted CMYK: each stored value is already 255 minus the ink.
    const auto red = static_cast<std::uint32_t>(c * k / 255);
    const auto green = static_cast<std::uint32_t>(m * k / 255);
    const auto blue = static_cast<std::uint32_t>(y * k / 255);
    return (red << 16) | (green << 8) | blue;
}

bool ReadPixels(TJpegReader &reader, TBitmap32 &bitmap, std::vector<JSAMPLE> &line)
{
    if (setjmp(reader.Errors.Jump))
        return false;
    jpeg_start_decompress(&reader.Info);
    line.resize(static_cast<std::size_t>(reader.Info.output_width) * static_cast<std::size_t>(reader.Info.output_components));
    while (reader.Info.output_scanline < reader.Info.output_height) {
        JSAMPROW rows[1] = {line.data()};
        const int row = static_cast<int>(reader.Info.output_scanline);
        if (jpeg_read_scanlines(&reader.Info, rows, 1) != 1)
            break;
        std::uint32_t *out = bitmap.Row(row);
        const int width = bitmap.Width();
        if (reader.Info.out_color_space == JCS_CMYK) {
            const bool inverted = reader.Info.saw_Adobe_marker != 0;
            for (int x = 0; x < width; ++x)
                out[x] = CmykToRgb(&line[static_cast<std::size_t>(x) * 4], inverted);
        } else {
            for (int x = 0; x < width; ++x) {
                const JSAMPLE *pixel = &line[static_cast<std::size_t>(x) * 3];
                out[x] = (static_cast<std::uint32_t>(pixel[0]) << 16) | (static_cast<std::uint32_t>(pixel[1]) << 8) | pixel[2];
            }
        }
    }
    jpeg_finish_decompress(&reader.Info);
    return true;
}

} // namespace

TPictureResult DecodeJpeg(std::span<const std::uint8_t> file)
{
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8)
        return TPictureResult{std::nullopt, "Not a JPEG file"};
    TJpegReader reader;
    if (!ReadHeader(reader, file))
        return TPictureResult{std::nullopt, std::string("JPEG error: ") + reader.Errors.Message};
    const auto width = static_cast<std::int64_t>(reader.Info.image_width);
    const auto height = static_cast<std::int64_t>(reader.Info.image_height);
    if (width <= 0 || height <= 0 || width * height > TBitmap32::MaxPixels)
        return TPictureResult{std::nullopt, "JPEG too large"};
    auto bitmap = TBitmap32::Create(static_cast<int>(width), static_cast<int>(height));
    if (!bitmap)
        return TPictureResult{std::nullopt, "JPEG too large"};
    std::vector<JSAMPLE> line;
    if (!ReadPixels(reader, *bitmap, line))
        return TPictureResult{std::nullopt, std::string("JPEG error: ") + reader.Errors.Message};
    return TPictureResult{std::move(bitmap), {}};
}

} // namespace Halcyra::Imaging
