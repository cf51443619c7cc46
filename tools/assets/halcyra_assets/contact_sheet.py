"""A contact sheet of every generated asset, read back from assets/: the background with every
strip's frames, the flier, the weather icons, the gadget panels (on grey, so their black shows),
the dialog pictures and the preview. Writes one PNG."""

import io
import os
import sys

import numpy as np
from PIL import Image, ImageDraw

from . import fonts, strips
from .checks import EXPECTED, read_stored

MARGIN = 16
SHEET_WIDTH = 2200


def _load(assets, name):
    _, body = read_stored(os.path.join(assets, "pictures", name + ".pic"))
    return Image.open(io.BytesIO(body)).convert("RGB")


class Sheet:
    def __init__(self):
        self.items = []  # (image, x, y, caption)
        self.x = MARGIN
        self.y = MARGIN
        self.row_height = 0

    def newline(self):
        self.x = MARGIN
        self.y += self.row_height + 28
        self.row_height = 0

    def add(self, image, caption):
        if self.x + image.width > SHEET_WIDTH - MARGIN and self.x > MARGIN:
            self.newline()
        self.items.append((image, self.x, self.y, caption))
        self.x += image.width + MARGIN
        self.row_height = max(self.row_height, image.height)

    def render(self):
        height = self.y + self.row_height + 40
        sheet = Image.new("RGB", (SHEET_WIDTH, height), (58, 60, 68))
        draw = ImageDraw.Draw(sheet)
        font = fonts.regular(13)
        for image, x, y, caption in self.items:
            sheet.paste(image, (x, y))
            draw.text((x, y + image.height + 4), caption, font=font, fill=(220, 222, 230))
        return sheet


def _frames_grid(image, frame_height, frames, columns, scale=1):
    w = image.width
    rows = (frames + columns - 1) // columns
    grid = Image.new("RGB", (columns * (w + 2), rows * (frame_height + 2)), (30, 30, 36))
    for k in range(frames):
        frame = image.crop((0, k * frame_height, w, (k + 1) * frame_height))
        grid.paste(frame, ((k % columns) * (w + 2), (k // columns) * (frame_height + 2)))
    if scale != 1:
        grid = grid.resize((grid.width * scale, grid.height * scale), Image.NEAREST)
    return grid


def build(assets):
    sheet = Sheet()
    background = _load(assets, "QIM1")
    sheet.add(background, "QIM1 background 1024x768")
    preview = Image.open(os.path.join(assets, "PreviewBitmap.bmp")).convert("RGB")
    sheet.add(preview.resize((308, 232), Image.NEAREST), "PREVIEWBMP 154x116 (x2)")
    sheet.newline()
    for strip in strips.STRIPS:
        image = _load(assets, strip.name)
        columns = max(1, min(strip.frames, (SHEET_WIDTH - 2 * MARGIN) // (strip.width + 2)))
        columns = min(columns, 16)
        sheet.add(_frames_grid(image, strip.height, strip.frames, columns),
                  "%s %dx%d, %d frames at (%d, %d): %s" % (strip.name, strip.width, strip.height, strip.frames,
                                                             strip.x, strip.y, strip.role))
        sheet.newline()
    flier = _load(assets, "QMV3SGsmall")
    sheet.add(_frames_grid(flier, 24, 121, 31, 2), "QMV3SGsmall 121 headings, 3 degrees apart (x2)")
    sheet.newline()
    weather = _load(assets, "QMV3Weather")
    sheet.add(_frames_grid(weather, 52, 49, 25, 1), "QMV3Weather icons 0..48")
    sheet.newline()
    for name in ("QGR1", "QGW1", "QGC1", "QIM2GadgetPanel"):
        sheet.add(_load(assets, name), "%s %dx%d" % (name, EXPECTED[name][1], EXPECTED[name][2]))
    sheet.newline()
    for name in ("Image1", "Image2", "FaderGround", "FaderKnob", "BTOKGroundOff", "BTOKGroundOn",
                 "BTCancelGroundOff", "BTCancelGroundOn"):
        image = _load(assets, name)
        sheet.add(image.resize((image.width * 2, image.height * 2), Image.NEAREST), name + " (x2)")
    return sheet.render()


def main():
    assets, out = sys.argv[1], sys.argv[2]
    build(assets).save(out)
    print("contact sheet: " + out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
