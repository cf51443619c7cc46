"""The animated strips of the scene: where each one lies, which of its edges meet the still
background, and how each frame is painted from the scene model.

A frame is the moving scene blended into the still one by a weight that is 1 inside the strip and
falls smoothly to 0 at every edge that borders the background, so the border rows and columns of
every frame are the background's own pixels. An edge on the screen's rim has no background beyond
it and is not faded."""

import math

import numpy as np

from . import scene as sc

LOOP = "loop"
BURST = "burst"


class Strip:
    def __init__(self, name, x, y, width, height, frames, kind, feather, role):
        self.name = name
        self.x = x
        self.y = y
        self.width = width
        self.height = height
        self.frames = frames
        self.kind = kind
        self.feather = feather
        self.role = role


STRIPS = [
    Strip("QMV1", 0, 543, 720, 120, 32, LOOP, 30.0, "waves and glitter on the near water"),
    Strip("QMV2", 0, 664, 556, 104, 32, LOOP, 30.0, "waves and glitter at the foot of the view"),
    Strip("QMV3", 128, 175, 105, 179, 32, LOOP, 10.0, "the lighthouse's turning beams"),
    Strip("QMV4", 905, 404, 93, 140, 32, LOOP, 12.0, "the rocking buoy and its flashing lamp"),
    Strip("QMV5f", 0, 189, 109, 225, 10, BURST, 8.0, "a gull diving behind the headland"),
    Strip("QMV6f", 296, 137, 202, 311, 10, BURST, 8.0, "a shooting star"),
    Strip("QMV7f", 498, 360, 78, 142, 10, BURST, 8.0, "a fish leaping near the sun's path"),
]

BY_NAME = {strip.name: strip for strip in STRIPS}

# The two water strips are drawn together on every tick, one above the other with a single row of
# background between them (y 663). Their edges facing that row fade over a short distance only, and
# the sea is made calm along that row (see Scene.calm), so the still row is not seen in the moving
# water.
WATER = ("QMV1", "QMV2")
CALM_ROW_FEATHER = 6.0


def _edge_segments(strip):
    """Segments through the centres of the background pixels just outside the strip, each with the
    distance over which the strip fades into the background there. Edges on the screen's rim have
    no background beyond them and do not fade."""
    left, top = strip.x - 0.5, strip.y - 0.5
    right, bottom = strip.x + strip.width + 0.5, strip.y + strip.height + 0.5
    water = strip.name in WATER
    segments = []
    if strip.y > 0:
        segments.append(((left, top), (right, top), CALM_ROW_FEATHER if water and strip.name == "QMV2" else strip.feather))
    if strip.y + strip.height < sc.HEIGHT:
        segments.append(((left, bottom), (right, bottom), CALM_ROW_FEATHER if water and strip.name == "QMV1" else strip.feather))
    if strip.x > 0:
        segments.append(((left, top), (left, bottom), strip.feather))
    if strip.x + strip.width < sc.WIDTH:
        segments.append(((right, top), (right, bottom), strip.feather))
    return segments


def blend_weight(strip):
    """Weight of the moving scene in each pixel of the strip: 0 on the border, 1 inside."""
    yy, xx = np.mgrid[strip.y:strip.y + strip.height, strip.x:strip.x + strip.width].astype(np.float64)
    px = xx + 0.5
    py = yy + 0.5
    weight = np.ones(px.shape)
    for (x0, y0), (x1, y1), feather in _edge_segments(strip):
        dx, dy = x1 - x0, y1 - y0
        t = np.clip(((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy), 0, 1)
        distance = np.hypot(px - (x0 + t * dx), py - (y0 + t * dy))
        weight = np.minimum(weight, sc.smoothstep(1.0, 1.0 + feather, distance))
    return weight


def moving_scene(model, strip, frame):
    """The scene inside the strip at one frame, before blending into the background."""
    x, y, w, h = strip.x, strip.y, strip.width, strip.height
    t = frame / sc.LOOP_FRAMES
    if strip.name in WATER:
        return model.render(x, y, w, h, t=t)
    if strip.name == "QMV3":
        return model.render(x, y, w, h, objects=[model.beam_painter(frame)], animate_water=False)
    if strip.name == "QMV4":
        phase = 2 * math.pi * t
        angle = 5.0 * math.sin(phase)
        bob = 1.2 * math.sin(phase + 1.3)
        wrapped = min(frame, sc.LOOP_FRAMES - frame)
        light = math.exp(-((frame - 2) / 1.6) ** 2) + math.exp(-((frame - 2 - sc.LOOP_FRAMES) / 1.6) ** 2)
        del wrapped
        buoy = model.buoy_layer(angle, bob, light)
        return model.render(x, y, w, h, t=t, buoy=buoy,
                            objects=[model.buoy_flash_painter(angle, bob, light, t)])
    if strip.name == "QMV5f":
        return model.render(x, y, w, h, animate_water=False, behind_land=[model.gull_painter(frame)])
    if strip.name == "QMV6f":
        return model.render(x, y, w, h, animate_water=False, objects=[model.meteor_painter(frame)])
    if strip.name == "QMV7f":
        return model.render(x, y, w, h, animate_water=False, objects=[model.fish_leap(frame)])
    raise ValueError(strip.name)


def render_strip(model, strip, background):
    """All frames of a strip stacked top to bottom, in linear colour."""
    still = background[strip.y:strip.y + strip.height, strip.x:strip.x + strip.width]
    weight = blend_weight(strip)[..., None]
    frames = []
    for frame in range(strip.frames):
        if strip.kind == BURST and frame == strip.frames - 1:
            # The last frame of a burst is never shown; it is the still scene.
            frames.append(still.copy())
            continue
        moving = moving_scene(model, strip, frame)
        frames.append(still + (moving - still) * weight)
    return np.concatenate(frames, axis=0)


def strip_dither(model, strip):
    """The background's dither pattern under the strip, repeated for every frame, so that still
    parts of a frame round to exactly the background's 8-bit values."""
    tile = model.dither[strip.y:strip.y + strip.height, strip.x:strip.x + strip.width]
    return np.tile(tile, (strip.frames, 1))
