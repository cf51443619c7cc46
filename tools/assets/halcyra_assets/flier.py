"""The flier strip: a small dark seabird seen from above, wings swept back in a glide, in 121
frames of 38 x 24 pixels. Frame k heads 3k degrees (0 right, 90 down, 180 left, 270 up; frame 120
repeats frame 0). Black is the colour key, so the bird stands on black and every frame's top-left
pixel is black."""

import math

import numpy as np

from .paint import coverage, ellipse, poly

FRAME_WIDTH = 38
FRAME_HEIGHT = 24
FRAMES = 121
PALETTE_SIZE = 251

# Palette: 0 is the key (black), 1..250 a ramp from the bird's shadowed body to its lit wing edges.
DARK = np.array([18.0, 16.0, 26.0])
LIGHT = np.array([118.0, 104.0, 122.0])


def palette():
    colours = [(0, 0, 0)]
    for index in range(1, PALETTE_SIZE):
        t = (index - 1) / (PALETTE_SIZE - 2)
        c = DARK + (LIGHT - DARK) * t
        colours.append(tuple(int(round(v)) for v in c))
    return colours


def _bird_parts(heading_degrees):
    """Outline polygons of the bird in frame coordinates, centred in the frame."""
    a = math.radians(heading_degrees)
    ca, sa = math.cos(a), math.sin(a)
    cx, cy = FRAME_WIDTH / 2.0, FRAME_HEIGHT / 2.0

    def place(px, py):
        # Local x points along the flight, local y across it; screen y grows downward.
        return (cx + px * ca - py * sa, cy + px * sa + py * ca)

    body = [(9.5, 0.0), (7.5, -1.3), (4.0, -1.9), (-2.0, -1.8), (-6.5, -1.0), (-9.5, -2.2),
            (-8.6, 0.0), (-9.5, 2.2), (-6.5, 1.0), (-2.0, 1.8), (4.0, 1.9), (7.5, 1.3)]
    wings = []
    for side in (-1, 1):
        # Long narrow wings swept back from the shoulders, like a tern in a glide.
        wings.append([(3.2, side * 1.2), (1.0, side * 3.6), (-4.2, side * 5.3), (-9.6, side * 5.9),
                      (-5.4, side * 3.9), (-1.6, side * 2.1), (-1.2, side * 1.2)])
    return ([place(*p) for p in body], [[place(*p) for p in w] for w in wings])


def frame_pixels(k):
    """Palette indices of frame k (FRAME_HEIGHT x FRAME_WIDTH)."""
    body, wings = _bird_parts(3.0 * k)

    def draw_wings(d, s):
        for w in wings:
            poly(d, s, w)

    def draw_body(d, s):
        poly(d, s, body)

    wing = coverage(FRAME_WIDTH, FRAME_HEIGHT, draw_wings)
    trunk = coverage(FRAME_WIDTH, FRAME_HEIGHT, draw_body)
    # Shade: the body darkest, the wings a little lighter; edges fade towards the key colour.
    shade = np.where(trunk > 0.0, 0.15, 0.55)
    cover = np.maximum(wing, trunk)
    level = 1 + np.round(shade * (PALETTE_SIZE - 2))
    indices = np.where(cover >= 0.35, level, 0).astype(np.uint8)
    indices[0, 0] = 0
    return indices


def strip():
    frames = [frame_pixels(k) for k in range(FRAMES)]
    return np.concatenate(frames, axis=0), palette()


def long_axis_degrees(indices):
    """Direction of the principal axis of the bird's pixels, 0..180 degrees (screen y down)."""
    ys, xs = np.nonzero(indices)
    x = xs - xs.mean()
    y = ys - ys.mean()
    cxx, cyy, cxy = np.mean(x * x), np.mean(y * y), np.mean(x * y)
    return math.degrees(0.5 * math.atan2(2 * cxy, cxx - cyy)) % 180.0
