"""Small painting helpers shared by the scene and the other pictures: value noise, smooth steps,
shape coverage drawn supersampled, premultiplied compositing and the final conversion to 8 bits."""

import numpy as np
from PIL import Image, ImageDraw

SUPER = 4


def smoothstep(edge0, edge1, x):
    t = np.clip((x - edge0) / (edge1 - edge0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def lerp_rgb(a, b, t):
    """Colour a + (b - a) * t with t broadcast over the colour axis."""
    a = np.asarray(a, dtype=np.float64)
    b = np.asarray(b, dtype=np.float64)
    return a + (b - a) * np.asarray(t, dtype=np.float64)[..., None]


class ValueNoise:
    """Smooth lattice noise with a fixed random table, so the same seed always paints the same."""

    def __init__(self, seed, size=256):
        rng = np.random.default_rng(seed)
        self.size = size
        self.table = rng.random((size, size))

    def __call__(self, x, y):
        x = np.asarray(x, dtype=np.float64)
        y = np.asarray(y, dtype=np.float64)
        xi = np.floor(x)
        yi = np.floor(y)
        fx = x - xi
        fy = y - yi
        xi = xi.astype(np.int64) % self.size
        yi = yi.astype(np.int64) % self.size
        x1 = (xi + 1) % self.size
        y1 = (yi + 1) % self.size
        sx = fx * fx * (3 - 2 * fx)
        sy = fy * fy * (3 - 2 * fy)
        t = self.table
        top = t[yi, xi] + (t[yi, x1] - t[yi, xi]) * sx
        bottom = t[y1, xi] + (t[y1, x1] - t[y1, xi]) * sx
        return top + (bottom - top) * sy

    def fbm(self, x, y, octaves=5, gain=0.5, lacunarity=2.0):
        total = np.zeros(np.broadcast(np.asarray(x), np.asarray(y)).shape)
        amplitude = 1.0
        norm = 0.0
        for octave in range(octaves):
            # Each octave is shifted so the lattices do not line up.
            total = total + amplitude * self(x + 17.31 * octave, y + 9.73 * octave)
            norm += amplitude
            amplitude *= gain
            x = x * lacunarity
            y = y * lacunarity
        return total / norm


def coverage(width, height, draw, origin=(0.0, 0.0)):
    """Coverage (0..1, shape (height, width)) of shapes drawn by draw(d, s) on a supersampled
    canvas, where s(x, y) maps picture coordinates to canvas coordinates."""
    ox, oy = origin
    image = Image.new("L", (width * SUPER, height * SUPER), 0)
    d = ImageDraw.Draw(image)

    def s(x, y):
        return ((x - ox) * SUPER, (y - oy) * SUPER)

    draw(d, s)
    a = np.asarray(image, dtype=np.float64) / 255.0
    return a.reshape(height, SUPER, width, SUPER).mean(axis=(1, 3))


def poly(d, s, points, fill=255):
    d.polygon([s(x, y) for x, y in points], fill=fill)


def ellipse(d, s, cx, cy, rx, ry, fill=255):
    x0, y0 = s(cx - rx, cy - ry)
    x1, y1 = s(cx + rx, cy + ry)
    d.ellipse([x0, y0, x1, y1], fill=fill)


def line(d, s, points, width, fill=255):
    d.line([s(x, y) for x, y in points], fill=fill, width=max(1, int(round(width * SUPER))), joint="curve")


def over(dst, colour, alpha):
    """Paint colour (array or triple) with coverage alpha over dst, in place."""
    alpha = np.asarray(alpha, dtype=np.float64)[..., None]
    dst *= 1.0 - alpha
    dst += np.asarray(colour, dtype=np.float64) * alpha
    return dst


def tone(rgb):
    """Linear values to display values: straight up to 0.8, then a soft shoulder so bright lights
    (the sun, the lamps, sparkles) saturate without hard clipping."""
    rgb = np.maximum(rgb, 0.0)
    knee = 0.8
    high = knee + (1.0 - knee) * (1.0 - np.exp(-(rgb - knee) / (1.0 - knee)))
    return np.where(rgb < knee, rgb, high)


def to_uint8(rgb, dither=None):
    value = tone(rgb) * 255.0
    if dither is not None:
        value = value + dither[..., None]
    return np.clip(np.floor(value + 0.5), 0, 255).astype(np.uint8)
