// Picture files built in memory for the decoder, sprite and engine tests.
#include "support/TestPictures.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <gif_lib.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace Halcyra::Testing {

namespace {

void PutU16(std::vector<std::uint8_t> &out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t> &out, std::uint32_t value)
{
    PutU16(out, value & 0xFFFFu);
    PutU16(out, value >> 16);
}

void SetU32(std::vector<std::uint8_t> &out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// File header and BITMAPINFOHEADER; the file size and bits offset are patched by Finish.
std::vector<std::uint8_t> Headers(int width, int height, int bitCount, std::uint32_t compression,
                                  std::uint32_t colorsUsed)
{
    std::vector<std::uint8_t> out{'B', 'M'};
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 40);
    PutU32(out, static_cast<std::uint32_t>(width));
    PutU32(out, static_cast<std::uint32_t>(height));
    PutU16(out, 1);
    PutU16(out, static_cast<std::uint32_t>(bitCount));
    PutU32(out, compression);
    PutU32(out, 0);
    PutU32(out, 2835);
    PutU32(out, 2835);
    PutU32(out, colorsUsed);
    PutU32(out, 0);
    return out;
}

void MarkBits(std::vector<std::uint8_t> &out)
{
    SetU32(out, 10, static_cast<std::uint32_t>(out.size()));
}

void Finish(std::vector<std::uint8_t> &out)
{
    SetU32(out, 2, static_cast<std::uint32_t>(out.size()));
}

std::map<std::uint32_t, int> PaletteOf(const Imaging::TBitmap32 &bitmap, std::vector<std::uint32_t> &colours)
{
    std::map<std::uint32_t, int> index;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const auto colour = bitmap.GetPixel(x, y);
            if (!index.contains(colour)) {
                index[colour] = static_cast<int>(colours.size());
                colours.push_back(colour);
            }
        }
    if (colours.size() > 256)
        throw std::invalid_argument("more than 256 colours");
    return index;
}

void PutPalette(std::vector<std::uint8_t> &out, const std::vector<std::uint32_t> &colours)
{
    for (const auto colour : colours) {
        out.push_back(static_cast<std::uint8_t>(colour));
        out.push_back(static_cast<std::uint8_t>(colour >> 8));
        out.push_back(static_cast<std::uint8_t>(colour >> 16));
        out.push_back(0);
    }
}

} // namespace

std::vector<std::uint8_t> MakeBmp24(const Imaging::TBitmap32 &bitmap, TBmpRows rows)
{
    const int height = rows == TBmpRows::TopDown ? -bitmap.Height() : bitmap.Height();
    auto out = Headers(bitmap.Width(), height, 24, 0, 0);
    MarkBits(out);
    const int stride = (bitmap.Width() * 3 + 3) & ~3;
    for (int row = 0; row < bitmap.Height(); ++row) {
        const int y = rows == TBmpRows::TopDown ? row : bitmap.Height() - 1 - row;
        for (int x = 0; x < bitmap.Width(); ++x) {
            const auto colour = bitmap.GetPixel(x, y);
            out.push_back(static_cast<std::uint8_t>(colour));
            out.push_back(static_cast<std::uint8_t>(colour >> 8));
            out.push_back(static_cast<std::uint8_t>(colour >> 16));
        }
        for (int pad = bitmap.Width() * 3; pad < stride; ++pad)
            out.push_back(0);
    }
    Finish(out);
    return out;
}

std::vector<std::uint8_t> MakeBmp8(const Imaging::TBitmap32 &bitmap, TBmpRows rows)
{
    std::vector<std::uint32_t> colours;
    const auto index = PaletteOf(bitmap, colours);
    const int height = rows == TBmpRows::TopDown ? -bitmap.Height() : bitmap.Height();
    auto out = Headers(bitmap.Width(), height, 8, 0, static_cast<std::uint32_t>(colours.size()));
    PutPalette(out, colours);
    MarkBits(out);
    const int stride = (bitmap.Width() + 3) & ~3;
    for (int row = 0; row < bitmap.Height(); ++row) {
        const int y = rows == TBmpRows::TopDown ? row : bitmap.Height() - 1 - row;
        for (int x = 0; x < bitmap.Width(); ++x)
            out.push_back(static_cast<std::uint8_t>(index.at(bitmap.GetPixel(x, y))));
        for (int pad = bitmap.Width(); pad < stride; ++pad)
            out.push_back(0);
    }
    Finish(out);
    return out;
}

std::vector<std::uint8_t> MakeBmpRle8(const Imaging::TBitmap32 &bitmap)
{
    std::vector<std::uint32_t> colours;
    const auto index = PaletteOf(bitmap, colours);
    auto out = Headers(bitmap.Width(), bitmap.Height(), 8, 1, static_cast<std::uint32_t>(colours.size()));
    PutPalette(out, colours);
    MarkBits(out);
    for (int row = 0; row < bitmap.Height(); ++row) {
        const int y = bitmap.Height() - 1 - row;
        int x = 0;
        while (x < bitmap.Width()) {
            int run = 1;
            while (x + run < bitmap.Width() && run < 255 && bitmap.GetPixel(x + run, y) == bitmap.GetPixel(x, y))
                ++run;
            if (run >= 2) {
                out.push_back(static_cast<std::uint8_t>(run));
                out.push_back(static_cast<std::uint8_t>(index.at(bitmap.GetPixel(x, y))));
                x += run;
                continue;
            }
            // A literal run up to the next repeat; literal runs need at least three pixels.
            int literal = 1;
            while (x + literal < bitmap.Width() && literal < 255 &&
                   !(x + literal + 1 < bitmap.Width() &&
                     bitmap.GetPixel(x + literal, y) == bitmap.GetPixel(x + literal + 1, y)))
                ++literal;
            if (literal < 3) {
                for (int i = 0; i < literal; ++i) {
                    out.push_back(1);
                    out.push_back(static_cast<std::uint8_t>(index.at(bitmap.GetPixel(x + i, y))));
                }
            } else {
                out.push_back(0);
                out.push_back(static_cast<std::uint8_t>(literal));
                for (int i = 0; i < literal; ++i)
                    out.push_back(static_cast<std::uint8_t>(index.at(bitmap.GetPixel(x + i, y))));
                if (literal & 1)
                    out.push_back(0);
            }
            x += literal;
        }
        out.push_back(0);
        out.push_back(row + 1 == bitmap.Height() ? 1 : 0);
    }
    Finish(out);
    return out;
}

std::vector<std::uint8_t> DibOf(const std::vector<std::uint8_t> &bmpFile)
{
    return std::vector<std::uint8_t>(bmpFile.begin() + 14, bmpFile.end());
}

std::vector<std::uint8_t> MakeJpeg(const Imaging::TBitmap32 &bitmap, int quality)
{
    jpeg_compress_struct compress{};
    jpeg_error_mgr errors{};
    compress.err = jpeg_std_error(&errors);
    jpeg_create_compress(&compress);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&compress, &buffer, &size);
    compress.image_width = static_cast<JDIMENSION>(bitmap.Width());
    compress.image_height = static_cast<JDIMENSION>(bitmap.Height());
    compress.input_components = 3;
    compress.in_color_space = JCS_RGB;
    jpeg_set_defaults(&compress);
    jpeg_set_quality(&compress, quality, TRUE);
    // Full-resolution chroma keeps flat test colours flat up to their edges.
    for (int i = 0; i < compress.num_components; ++i) {
        compress.comp_info[i].h_samp_factor = 1;
        compress.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&compress, TRUE);
    std::vector<unsigned char> line(static_cast<std::size_t>(bitmap.Width()) * 3);
    while (compress.next_scanline < compress.image_height) {
        const auto *row = bitmap.Row(static_cast<int>(compress.next_scanline));
        for (int x = 0; x < bitmap.Width(); ++x) {
            line[x * 3] = static_cast<unsigned char>(row[x] >> 16);
            line[x * 3 + 1] = static_cast<unsigned char>(row[x] >> 8);
            line[x * 3 + 2] = static_cast<unsigned char>(row[x]);
        }
        JSAMPROW rows[1] = {line.data()};
        jpeg_write_scanlines(&compress, rows, 1);
    }
    jpeg_finish_compress(&compress);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&compress);
    std::free(buffer);
    return out;
}

namespace {

struct TGifSink {
    std::vector<std::uint8_t> Bytes;
};

int GifWrite(GifFileType *gif, const GifByteType *data, int length)
{
    auto *sink = static_cast<TGifSink *>(gif->UserData);
    sink->Bytes.insert(sink->Bytes.end(), data, data + length);
    return length;
}

} // namespace

std::vector<std::uint8_t> MakeGif(const Imaging::TBitmap32 &bitmap)
{
    std::vector<std::uint32_t> colours;
    const auto index = PaletteOf(bitmap, colours);
    int bits = 1;
    while ((1 << bits) < static_cast<int>(colours.size()))
        ++bits;
    std::vector<GifColorType> entries(static_cast<std::size_t>(1) << bits);
    for (std::size_t i = 0; i < colours.size(); ++i)
        entries[i] = GifColorType{static_cast<GifByteType>(colours[i] >> 16), static_cast<GifByteType>(colours[i] >> 8),
                                  static_cast<GifByteType>(colours[i])};
    TGifSink sink;
    int error = 0;
    GifFileType *gif = EGifOpen(&sink, GifWrite, &error);
    if (!gif)
        throw std::runtime_error("EGifOpen failed");
    ColorMapObject *map = GifMakeMapObject(1 << bits, entries.data());
    EGifPutScreenDesc(gif, bitmap.Width(), bitmap.Height(), bits, 0, map);
    EGifPutImageDesc(gif, 0, 0, bitmap.Width(), bitmap.Height(), false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(bitmap.Width()));
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x)
            line[x] = static_cast<GifPixelType>(index.at(bitmap.GetPixel(x, y)));
        EGifPutLine(gif, line.data(), bitmap.Width());
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return sink.Bytes;
}

std::vector<std::uint8_t> MakeStoredPicture(const std::string &className, const std::vector<std::uint8_t> &file)
{
    std::vector<std::uint8_t> out;
    out.push_back(static_cast<std::uint8_t>(className.size()));
    out.insert(out.end(), className.begin(), className.end());
    PutU32(out, static_cast<std::uint32_t>(file.size()));
    out.insert(out.end(), file.begin(), file.end());
    return out;
}

std::pair<int, int> PixelWhereFramesDiffer(const Imaging::TBitmap32 &strip, int frameSize, int frame, int other)
{
    for (int y = frameSize / 2; y < frameSize; ++y)
        for (int x = frameSize / 2; x < frameSize; ++x)
            if (strip.GetPixel(x, frame * frameSize + y) != strip.GetPixel(x, other * frameSize + y))
                return {x, y};
    return {frameSize / 2, frameSize / 2};
}

} // namespace Halcyra::Testing
