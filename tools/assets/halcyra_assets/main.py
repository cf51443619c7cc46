"""Renders every picture, the sound and the preview of the screensaver and writes them into
assets/. The same run always writes the same bytes.

What is written, and under which resource names the build links it (assets/CMakeLists.txt):

  Pictures held by components are written in the stored picture form (one length byte, the graphic
  class name "TJPEGImage", "TBitmap" or "TGIFImage", a 32-bit little-endian byte count, then the
  complete JPEG, BMP or GIF file) as assets/pictures/<resource name>.pic, linked as RCDATA under
  the component's name:

    QIM1             JPEG 1024 x 768              the background
    QMV1 .. QMV4     JPEG strips, 32 frames       the looping animations
    QMV5f .. QMV7f   JPEG strips, 10 frames       the bursts
    QMV3SGsmall      BMP 8-bit, 251 colours       the flier, 121 headings
    QMV3Weather      BMP RLE8                     the 49 weather icons
    QIM2GadgetPanel  GIF 1024 x 70                the black gadget band
    QGC1, QGW1, QGR1 GIF                          the clock, weather and news panels
    Image1           JPEG 546 x 90                the dialog's banner
    Image2           BMP 24-bit 183 x 134         the dialog's product picture
    FaderGround      BMP 24-bit 199 x 24          the sliders' track
    FaderKnob        BMP 24-bit 34 x 16           the sliders' knob
    BTOKGroundOn, BTOKGroundOff, BTCancelGroundOn, BTCancelGroundOff
                     BMP 24-bit 76 x 26           the dialog's buttons, pressed and released

  assets/PreviewBitmap.bmp  BMP 24-bit 154 x 116, the BITMAP resource PREVIEWBMP
  assets/SeaAmbience.wav    Microsoft ADPCM, the WAVE resource SOUNDNAME
"""

import argparse
import os
import sys
import tempfile

import numpy as np

from . import dialog, flier, formats, panels, paint, sound, strips, weather
from . import scene as sc


def _write(root, relative, data, written):
    path = os.path.join(root, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as handle:
        handle.write(data)
    written.append(relative)


def _picture(root, name, kind, data, written):
    _write(root, os.path.join("pictures", name + ".pic"), formats.stored_picture(kind, data), written)


def generate(root, log=print):
    written = []
    model = sc.Scene()
    log("scene: background")
    background = model.background()
    background8 = paint.to_uint8(background, model.dither)
    _picture(root, "QIM1", "jpeg", formats.jpeg(background8), written)

    for strip in strips.STRIPS:
        log("scene: %s (%s)" % (strip.name, strip.role))
        frames = strips.render_strip(model, strip, background)
        pixels = paint.to_uint8(frames, strips.strip_dither(model, strip))
        _picture(root, strip.name, "jpeg", formats.jpeg(pixels), written)

    log("flier")
    indices, palette = flier.strip()
    _picture(root, "QMV3SGsmall", "bmp", formats.bmp8(indices, palette), written)

    log("weather icons")
    indices, palette = weather.strip_indexed()
    _picture(root, "QMV3Weather", "bmp", formats.bmp8_rle(indices, palette), written)

    log("gadget panels")
    grey = panels.palette()
    _picture(root, "QIM2GadgetPanel", "gif", formats.gif(panels.band(), grey), written)
    _picture(root, "QGC1", "gif", formats.gif(panels.clock(), grey), written)
    _picture(root, "QGW1", "gif", formats.gif(panels.weather(), grey), written)
    _picture(root, "QGR1", "gif", formats.gif(panels.news(), grey), written)

    log("dialog pictures")
    _picture(root, "Image1", "jpeg", formats.jpeg(dialog.banner(background8)), written)
    _picture(root, "Image2", "bmp", formats.bmp24(dialog.product(background8)), written)
    _picture(root, "FaderGround", "bmp", formats.bmp24(dialog.track()), written)
    _picture(root, "FaderKnob", "bmp", formats.bmp24(dialog.knob()), written)
    for caption, name in (("OK", "BTOK"), ("Cancel", "BTCancel")):
        _picture(root, name + "GroundOn", "bmp", formats.bmp24(dialog.button(caption, True)), written)
        _picture(root, name + "GroundOff", "bmp", formats.bmp24(dialog.button(caption, False)), written)
    _write(root, "PreviewBitmap.bmp", formats.bmp24(dialog.preview(background8)), written)

    log("sound")
    _write(root, "SeaAmbience.wav", sound.encode(sound.synthesize()), written)
    return written


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--assets", required=True, help="the assets folder to write into")
    parser.add_argument("--verify", action="store_true",
                        help="generate into a scratch folder and compare with the assets folder byte by byte")
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args(argv)
    log = (lambda *_: None) if args.quiet else (lambda text: print("generate: " + text, flush=True))
    if not args.verify:
        written = generate(args.assets, log)
        log("wrote %d files" % len(written))
        return 0
    with tempfile.TemporaryDirectory() as scratch:
        written = generate(scratch, log)
        different = []
        for relative in written:
            with open(os.path.join(scratch, relative), "rb") as fresh:
                new = fresh.read()
            try:
                with open(os.path.join(args.assets, relative), "rb") as kept:
                    old = kept.read()
            except FileNotFoundError:
                old = None
            if new != old:
                different.append(relative)
        for relative in different:
            print("generate: differs: " + relative)
        print("generate: %d of %d files identical" % (len(written) - len(different), len(written)))
        return 1 if different else 0


if __name__ == "__main__":
    np.seterr(all="ignore")
    sys.exit(main())
