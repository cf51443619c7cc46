"""Writers of the file formats the module stores: BMP (24-bit, 8-bit, RLE8), JPEG, GIF, the stored
picture form (length byte, graphic class name, 32-bit little-endian byte count, file) and the
RIFF WAVE container. Everything here is byte-deterministic for the same input."""

import io
import struct

import numpy as np
from PIL import Image

JPEG_QUALITY = 92


def _file_header(total_size, pixel_offset):
    return b"BM" + struct.pack("<IHHI", total_size, 0, 0, pixel_offset)


def _info_header(width, height, bits, compression, image_size, colours):
    # 2835 pixels per metre is 72 dpi, the customary value.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size,
                       2835, 2835, colours, colours)


def bmp24(rgb):
    """A bottom-up 24-bit BMP from an (h, w, 3) uint8 array."""
    rgb = np.asarray(rgb, dtype=np.uint8)
    height, width, _ = rgb.shape
    stride = (width * 3 + 3) & ~3
    rows = np.zeros((height, stride), dtype=np.uint8)
    rows[:, :width * 3] = rgb[::-1, :, ::-1].reshape(height, width * 3)
    pixels = rows.tobytes()
    offset = 14 + 40
    return (_file_header(offset + len(pixels), offset)
            + _info_header(width, height, 24, 0, len(pixels), 0) + pixels)


def _palette_bytes(palette):
    out = bytearray()
    for r, g, b in palette:
        out += bytes((b, g, r, 0))
    return bytes(out)


def bmp8(indices, palette):
    """An uncompressed bottom-up 8-bit BMP; the palette's length is written as the number of
    colours used."""
    indices = np.asarray(indices, dtype=np.uint8)
    height, width = indices.shape
    stride = (width + 3) & ~3
    rows = np.zeros((height, stride), dtype=np.uint8)
    rows[:, :width] = indices[::-1]
    pixels = rows.tobytes()
    pal = _palette_bytes(palette)
    offset = 14 + 40 + len(pal)
    return (_file_header(offset + len(pixels), offset)
            + _info_header(width, height, 8, 0, len(pixels), len(palette)) + pal + pixels)


def _rle8_row(row):
    """One row in RLE8: encoded runs for repeats, absolute runs (at least three pixels, padded to
    an even length) for the rest, closed by an end-of-line mark."""
    out = bytearray()
    n = len(row)
    i = 0
    literal = []

    def flush_literal():
        j = 0
        while j < len(literal):
            chunk = literal[j:j + 255]
            if len(chunk) < 3:
                for value in chunk:
                    out.extend((1, value))
            else:
                out.extend((0, len(chunk)))
                out.extend(chunk)
                if len(chunk) & 1:
                    out.append(0)
            j += len(chunk)
        literal.clear()

    while i < n:
        run = 1
        while i + run < n and run < 255 and row[i + run] == row[i]:
            run += 1
        if run >= 3 or (run == 2 and not literal):
            flush_literal()
            out.extend((run, int(row[i])))
            i += run
        else:
            literal.extend(int(v) for v in row[i:i + run])
            i += run
    flush_literal()
    out.extend((0, 0))
    return out


def bmp8_rle(indices, palette):
    """A bottom-up 8-bit BMP compressed with RLE8."""
    indices = np.asarray(indices, dtype=np.uint8)
    height, width = indices.shape
    data = bytearray()
    for row in indices[::-1]:
        data += _rle8_row(row)
    data[-2:] = b"\x00\x01"  # the last end-of-line becomes end-of-bitmap
    pal = _palette_bytes(palette)
    offset = 14 + 40 + len(pal)
    return (_file_header(offset + len(data), offset)
            + _info_header(width, height, 8, 1, len(data), len(palette)) + pal + bytes(data))


def jpeg(rgb, quality=JPEG_QUALITY):
    """A three-component JPEG without chroma subsampling, so that the strips and the background
    agree closely where they meet; no metadata."""
    buffer = io.BytesIO()
    Image.fromarray(np.asarray(rgb, dtype=np.uint8), "RGB").save(
        buffer, "JPEG", quality=quality, subsampling=0, optimize=True)
    return buffer.getvalue()


def gif(indices, palette):
    """A GIF with a global palette, from an index array and an RGB palette list."""
    image = Image.fromarray(np.asarray(indices, dtype=np.uint8), "P")
    flat = []
    for colour in palette:
        flat.extend(colour)
    image.putpalette(flat)
    buffer = io.BytesIO()
    image.save(buffer, "GIF", optimize=False)
    return buffer.getvalue()


GRAPHIC_CLASSES = {"jpeg": "TJPEGImage", "bmp": "TBitmap", "gif": "TGIFImage"}


def stored_picture(kind, data):
    """The stored picture form: length byte, graphic class name, byte count, file."""
    name = GRAPHIC_CLASSES[kind].encode("ascii")
    return bytes((len(name),)) + name + struct.pack("<I", len(data)) + data


def riff_wave(fmt_chunk, fact_samples, data):
    chunks = b"fmt " + struct.pack("<I", len(fmt_chunk)) + fmt_chunk
    if len(fmt_chunk) & 1:
        chunks += b"\x00"
    if fact_samples is not None:
        chunks += b"fact" + struct.pack("<II", 4, fact_samples)
    chunks += b"data" + struct.pack("<I", len(data)) + data
    if len(data) & 1:
        chunks += b"\x00"
    return b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks
