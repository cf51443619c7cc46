"""Reads the written assets back and checks what the scene relies on: sizes, formats, frame counts,
the flier's headings, seamless loops, and strip borders that match the background under them.
Run with `tools/assets/check`; prints one line per finding and exits non-zero on any failure."""

import io
import os
import struct
import sys

import numpy as np
from PIL import Image

from . import flier, sound, strips

EXPECTED = {
    # name: (graphic class, width, height, frame height)
    "QIM1": ("TJPEGImage", 1024, 768, 768),
    "QMV1": ("TJPEGImage", 720, 3840, 120),
    "QMV2": ("TJPEGImage", 556, 3328, 104),
    "QMV3": ("TJPEGImage", 105, 5728, 179),
    "QMV4": ("TJPEGImage", 93, 4480, 140),
    "QMV5f": ("TJPEGImage", 109, 2250, 225),
    "QMV6f": ("TJPEGImage", 202, 3110, 311),
    "QMV7f": ("TJPEGImage", 78, 1420, 142),
    "QMV3SGsmall": ("TBitmap", 38, 2904, 24),
    "QMV3Weather": ("TBitmap", 52, 2548, 52),
    "QIM2GadgetPanel": ("TGIFImage", 1024, 70, 70),
    "QGC1": ("TGIFImage", 117, 69, 69),
    "QGW1": ("TGIFImage", 336, 69, 69),
    "QGR1": ("TGIFImage", 572, 69, 69),
    "Image1": ("TJPEGImage", 546, 90, 90),
    "Image2": ("TBitmap", 183, 134, 134),
    "FaderGround": ("TBitmap", 199, 24, 24),
    "FaderKnob": ("TBitmap", 34, 16, 16),
    "BTOKGroundOn": ("TBitmap", 76, 26, 26),
    "BTOKGroundOff": ("TBitmap", 76, 26, 26),
    "BTCancelGroundOn": ("TBitmap", 76, 26, 26),
    "BTCancelGroundOff": ("TBitmap", 76, 26, 26),
}


def read_stored(path):
    with open(path, "rb") as handle:
        data = handle.read()
    length = data[0]
    name = data[1:1 + length].decode("ascii")
    size = struct.unpack("<I", data[1 + length:5 + length])[0]
    body = data[5 + length:]
    assert len(body) == size, path
    return name, body


def run(assets):
    failures = []

    def check(ok, text):
        print(("ok    " if ok else "FAIL  ") + text)
        if not ok:
            failures.append(text)

    pictures = {}
    for name, (cls, width, height, frame_height) in EXPECTED.items():
        stored, body = read_stored(os.path.join(assets, "pictures", name + ".pic"))
        image = Image.open(io.BytesIO(body))
        image.load()
        pictures[name] = (body, image)
        check(stored == cls and image.size == (width, height) and height % frame_height == 0,
              "%s: %s %dx%d" % (name, stored, image.width, image.height))

    background = np.asarray(pictures["QIM1"][1].convert("RGB"), dtype=np.int64)
    check(pictures["QIM1"][1].mode == "RGB", "QIM1: three components")

    for strip in strips.STRIPS:
        pixels = np.asarray(pictures[strip.name][1].convert("RGB"), dtype=np.int64)
        frames = pixels.reshape(strip.frames, strip.height, strip.width, 3)
        under = background[strip.y:strip.y + strip.height, strip.x:strip.x + strip.width]
        # Border pixels with the background beside them (not the screen's rim).
        border = np.zeros((strip.height, strip.width), dtype=bool)
        if strip.y > 0:
            border[0, :] = True
        if strip.y + strip.height < 768:
            border[-1, :] = True
        if strip.x > 0:
            border[:, 0] = True
        if strip.x + strip.width < 1024:
            border[:, -1] = True
        worst_mean = 0.0
        worst_max = 0
        for frame in frames:
            diff = np.abs(frame - under)[border]
            worst_mean = max(worst_mean, diff.mean())
            worst_max = max(worst_max, int(diff.max()))
        check(worst_mean < 2.5 and worst_max < 48,
              "%s: border against background, mean %.2f, max %d" % (strip.name, worst_mean, worst_max))
        if strip.kind == strips.LOOP:
            steps = [np.abs(frames[(i + 1) % strip.frames] - frames[i]).mean() for i in range(strip.frames)]
            ordinary = np.median(steps[:-1])
            check(steps[-1] <= max(steps[:-1]) * 1.05,
                  "%s: step 31->0 %.2f, ordinary %.2f, largest %.2f" % (strip.name, steps[-1], ordinary, max(steps[:-1])))

    body, image = pictures["QMV3SGsmall"]
    colours_used = struct.unpack("<I", body[46:50])[0]
    compression = struct.unpack("<I", body[30:34])[0]
    check(image.mode == "P" and colours_used == 251 and compression == 0, "QMV3SGsmall: 8-bit, 251 colours, uncompressed")
    indices = np.asarray(image, dtype=np.int64)
    palette = np.array(image.getpalette()[:3 * 256]).reshape(-1, 3)
    worst = 0.0
    keyed = True
    for k in range(flier.FRAMES):
        frame = indices[k * 24:(k + 1) * 24]
        keyed &= tuple(palette[frame[0, 0]]) == (0, 0, 0)
        worst = max(worst, abs((flier.long_axis_degrees(frame) - 3 * k + 90) % 180 - 90))
    check(keyed, "QMV3SGsmall: every frame's top-left pixel is black")
    check(worst <= 6.0, "QMV3SGsmall: long axis within %.1f degrees of the heading" % worst)

    body, image = pictures["QMV3Weather"]
    compression = struct.unpack("<I", body[30:34])[0]
    check(image.mode == "P" and compression == 1, "QMV3Weather: 8-bit RLE8")

    for name in ("QIM2GadgetPanel", "QGC1", "QGW1", "QGR1"):
        image = pictures[name][1]
        rgb = np.asarray(image.convert("RGB"))
        check(image.mode == "P" and tuple(rgb[0, 0]) == (0, 0, 0), "%s: palette GIF, black" % name)
    check(not np.asarray(pictures["QIM2GadgetPanel"][1].convert("RGB")).any(), "QIM2GadgetPanel: all black")

    knob = np.asarray(pictures["FaderKnob"][1].convert("RGB"))
    product = np.asarray(pictures["Image2"][1].convert("RGB"))
    check(tuple(knob[-1, 0]) == (255, 0, 255) and tuple(product[-1, 0]) == (255, 0, 255),
          "FaderKnob, Image2: bottom-left pixel is the transparent colour")

    preview = Image.open(os.path.join(assets, "PreviewBitmap.bmp"))
    check(preview.size == (154, 116) and preview.mode == "RGB", "PreviewBitmap.bmp: 24-bit 154x116")

    with open(os.path.join(assets, "SeaAmbience.wav"), "rb") as handle:
        wav = handle.read()
    tag, channels, rate, _, align, bits = struct.unpack("<HHIIHH", wav[20:36])
    check((tag, channels, rate, align, bits) == (2, 2, 11025, 512, 4), "SeaAmbience.wav: MS ADPCM 2ch 11025 Hz 4-bit, 512-byte blocks")
    pcm = sound.decode(wav)
    steps = np.abs(np.diff(pcm, axis=0))
    seam = np.abs(pcm[0] - pcm[-1])
    check(pcm.shape[0] == sound.FRAMES and np.all(seam <= np.percentile(steps, 99.9, axis=0)),
          "SeaAmbience.wav: %d frames, seam step %s, 99.9th percentile step %s" %
          (pcm.shape[0], seam.tolist(), np.percentile(steps, 99.9, axis=0).tolist()))
    peak = np.abs(pcm).max()
    check(8000 < peak < 30000, "SeaAmbience.wav: peak %d" % peak)
    return failures


def main():
    assets = sys.argv[1]
    failures = run(assets)
    print("%d checks failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
