"""The gadget panels: black pictures (black is their colour key) with thin grey outlines and small
labels, laid out around what the gadgets draw over them: the clock's time in the box x 4..110 at
y 28; the weather icons at x 94 and 206, y 8, their texts at x 153 and 265, y 29; the news title
at x 90, y 7 and the creeping line in x 15..560 around y 30."""

import numpy as np
from PIL import Image, ImageDraw

from . import fonts

GREYS = 32
OUTLINE = 92
LABEL = 150
DIM = 60


def palette():
    """Black first, then a ramp of greys with a faint blue cast."""
    colours = []
    for index in range(GREYS):
        v = index / (GREYS - 1)
        colours.append((int(round(v * 230)), int(round(v * 234)), int(round(v * 246))))
    return colours


def _canvas(width, height):
    image = Image.new("L", (width, height), 0)
    return image, ImageDraw.Draw(image)


def _frame(draw, width, height):
    draw.rounded_rectangle([1, 1, width - 2, height - 2], radius=7, outline=OUTLINE, width=1)


def _label(draw, xy, text, size=9, fill=LABEL, anchor="la"):
    draw.text(xy, text, font=fonts.bold(size), fill=fill, anchor=anchor)


def _to_indexed(image):
    values = np.asarray(image, dtype=np.float64)
    # Faint anti-aliasing next to black would show as dark specks over the scene: drop it.
    values[values < 24] = 0
    indices = np.round(values / 230.0 * (GREYS - 1)).clip(0, GREYS - 1).astype(np.uint8)
    return indices


def band():
    return np.zeros((70, 1024), dtype=np.uint8)


def clock():
    image, d = _canvas(117, 69)
    _frame(d, 117, 69)
    _label(d, (58, 8), "TIME", anchor="ma")
    d.line([(22, 22), (95, 22)], fill=DIM)
    return _to_indexed(image)


def weather():
    image, d = _canvas(336, 69)
    _frame(d, 336, 69)
    _label(d, (46, 22), "WEATHER", anchor="ma")
    d.line([(16, 36), (76, 36)], fill=DIM)
    _label(d, (46, 42), "F3: FORECAST", size=7, fill=96, anchor="ma")
    d.line([(88, 10), (88, 58)], fill=DIM)
    _label(d, (153, 12), "NOW", size=8)
    _label(d, (265, 12), "TOMORROW", size=8)
    d.line([(201, 14), (201, 54)], fill=DIM)
    return _to_indexed(image)


def news():
    image, d = _canvas(572, 69)
    _frame(d, 572, 69)
    _label(d, (15, 10), "NEWS", size=10)
    _label(d, (556, 10), "F2: MORE", size=7, fill=96, anchor="ra")
    d.line([(15, 27), (556, 27)], fill=DIM)
    return _to_indexed(image)
