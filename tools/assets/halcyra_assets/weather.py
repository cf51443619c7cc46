"""The weather icon strip: 49 icons of 52 x 52 pixels on black, icon i for the weather feed's
condition code i (0 tornado ... 47 isolated thundershowers) and icon 48 for "not available". Each
icon is drawn at four times its size from a few shared elements (sun, moon, clouds, rain, snow,
sleet, hail, lightning, fog, wind) and reduced, so they read alike at 52 pixels."""

import math

import numpy as np
from PIL import Image, ImageDraw, ImageFont

from . import fonts

SIZE = 52
SCALE = 4
ICONS = 49
CANVAS = SIZE * SCALE

SUN = (255, 196, 56)
SUN_CORE = (255, 226, 120)
MOON = (232, 230, 204)
STAR = (250, 246, 214)
CLOUD = (226, 232, 242)
CLOUD_SHADE = (188, 196, 212)
GREY_CLOUD = (150, 156, 172)
DARK_CLOUD = (96, 102, 120)
RAIN = (86, 164, 255)
ICE = (170, 226, 255)
SNOW = (255, 255, 255)
BOLT = (255, 214, 40)
FOG = (176, 180, 190)
WIND = (214, 226, 240)
DUST = (206, 164, 104)
SMOKE = (140, 136, 132)
RED = (236, 74, 56)


class Icon:
    """A canvas of one icon in 0..52 units, drawn at SCALE times that."""

    def __init__(self):
        self.image = Image.new("RGB", (CANVAS, CANVAS), (0, 0, 0))
        self.draw = ImageDraw.Draw(self.image)

    def p(self, x, y):
        return (x * SCALE, y * SCALE)

    def circle(self, cx, cy, r, fill=None, outline=None, width=1.0):
        self.draw.ellipse([*self.p(cx - r, cy - r), *self.p(cx + r, cy + r)], fill=fill,
                          outline=outline, width=int(round(width * SCALE)) if outline else 0)

    def line(self, points, colour, width):
        w = int(round(width * SCALE))
        self.draw.line([self.p(x, y) for x, y in points], fill=colour, width=w, joint="curve")
        # Round caps.
        for x, y in (points[0], points[-1]):
            self.circle(x, y, width / 2.0, fill=colour)

    def polygon(self, points, colour):
        self.draw.polygon([self.p(x, y) for x, y in points], fill=colour)

    def result(self):
        small = self.image.resize((SIZE, SIZE), Image.LANCZOS)
        return np.asarray(small, dtype=np.uint8)

    # --------------------------------------------------------- elements

    def sun(self, cx, cy, r, rays=True):
        if rays:
            for k in range(8):
                a = k * math.pi / 4 + math.pi / 8
                self.line([(cx + math.cos(a) * (r + 3), cy + math.sin(a) * (r + 3)),
                           (cx + math.cos(a) * (r + 7.5), cy + math.sin(a) * (r + 7.5))], SUN, 2.4)
        self.circle(cx, cy, r, fill=SUN)
        self.circle(cx - r * 0.25, cy - r * 0.25, r * 0.55, fill=SUN_CORE)

    def moon(self, cx, cy, r):
        self.circle(cx, cy, r, fill=MOON)
        self.circle(cx + r * 0.55, cy - r * 0.35, r * 0.9, fill=(0, 0, 0))

    def star(self, cx, cy, r):
        self.polygon([(cx, cy - r), (cx + r * 0.28, cy - r * 0.28), (cx + r, cy), (cx + r * 0.28, cy + r * 0.28),
                      (cx, cy + r), (cx - r * 0.28, cy + r * 0.28), (cx - r, cy), (cx - r * 0.28, cy - r * 0.28)], STAR)

    def cloud(self, cx, cy, s, colour=CLOUD, shade=None):
        """A cloud whose flat base is centred at (cx, cy), s = width / 36."""
        shade = shade or tuple(int(c * 0.84) for c in colour)
        # A darker outline first gives the cloud shape on any background.
        for grow, fill in ((1.6, (0, 0, 0)), (0.0, shade)):
            self.circle(cx - 10 * s, cy - 6 * s, 7 * s + grow, fill=fill)
            self.circle(cx + 1 * s, cy - 11 * s, 10 * s + grow, fill=fill)
            self.circle(cx + 11 * s, cy - 6 * s, 7 * s + grow, fill=fill)
            self.draw.rounded_rectangle([*self.p(cx - 17 * s - grow, cy - 9 * s - grow),
                                         *self.p(cx + 18 * s + grow, cy + grow)],
                                        radius=int(6 * s * SCALE), fill=fill)
        self.circle(cx - 10 * s, cy - 7 * s, 6 * s, fill=colour)
        self.circle(cx + 1 * s, cy - 12 * s, 9 * s, fill=colour)
        self.circle(cx + 10.5 * s, cy - 7 * s, 6 * s, fill=colour)
        self.draw.rounded_rectangle([*self.p(cx - 16 * s, cy - 10 * s), *self.p(cx + 16.5 * s, cy - 2 * s)],
                                    radius=int(5 * s * SCALE), fill=colour)

    def rain(self, xs, y0, length=7.0, colour=RAIN, width=2.4):
        for i, x in enumerate(xs):
            dy = (i % 2) * 3.0
            self.line([(x, y0 + dy), (x - length * 0.35, y0 + dy + length)], colour, width)

    def drizzle(self, xs, y0):
        for i, x in enumerate(xs):
            dy = (i % 2) * 4.0
            self.circle(x, y0 + dy + 2, 1.6, fill=RAIN)
            self.circle(x - 1.5, y0 + dy + 7, 1.6, fill=RAIN)

    def flake(self, cx, cy, r, colour=SNOW):
        for k in range(3):
            a = k * math.pi / 3 + math.pi / 2
            self.line([(cx - math.cos(a) * r, cy - math.sin(a) * r), (cx + math.cos(a) * r, cy + math.sin(a) * r)],
                      colour, 1.6)

    def pellet(self, cx, cy, r=2.2, colour=ICE):
        self.circle(cx, cy, r, fill=colour)
        self.circle(cx - r * 0.3, cy - r * 0.3, r * 0.4, fill=SNOW)

    def hail(self, cx, cy, r=2.8):
        self.circle(cx, cy, r, fill=SNOW, outline=ICE, width=1.0)

    def bolt(self, cx, cy, s=1.0):
        pts = [(2, -9), (-4, 1), (0, 1), (-3, 10), (5, -2), (1, -2), (4, -9)]
        outline = [(x * 1.25, y * 1.15) for x, y in pts]
        self.polygon([(cx + x * s, cy + y * s) for x, y in outline], (0, 0, 0))
        self.polygon([(cx + x * s, cy + y * s) for x, y in pts], BOLT)

    def fog(self, y0, count=3, x0=8, x1=44, colour=FOG):
        for i in range(count):
            y = y0 + i * 5.5
            shift = 4 if i % 2 else 0
            self.line([(x0 + shift, y), (x1 - 4 + shift, y)], colour, 2.6)

    def wind(self, y0, x0=7, colour=WIND):
        self.line(self._curl(x0, y0, 30, -1), colour, 2.4)
        self.line(self._curl(x0 + 4, y0 + 9, 34, 1), colour, 2.4)
        self.line([(x0 - 2, y0 + 17), (x0 + 22, y0 + 17)], colour, 2.4)

    @staticmethod
    def _curl(x0, y0, length, direction):
        points = [(x0 + t, y0) for t in np.linspace(0, length, 12)]
        cx, cy, r = x0 + length, y0 + direction * 4.5, 4.5
        for k in range(1, 12):
            a = -math.pi / 2 * direction + k * (math.pi * 1.3 / 11) * direction
            points.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        return points

    def thermometer(self, cx, top, colour):
        self.draw.rounded_rectangle([*self.p(cx - 4.5, top), *self.p(cx + 4.5, top + 30)], radius=int(4.5 * SCALE),
                                    fill=(210, 214, 224))
        self.circle(cx, top + 32, 7.5, fill=(210, 214, 224))
        self.draw.rounded_rectangle([*self.p(cx - 2.2, top + 8), *self.p(cx + 2.2, top + 32)], radius=int(2 * SCALE),
                                    fill=colour)
        self.circle(cx, top + 32, 5.2, fill=colour)
        for k in range(4):
            self.line([(cx + 6.5, top + 5 + k * 6), (cx + 9.5, top + 5 + k * 6)], (210, 214, 224), 1.2)

    def cyclone(self, cx, cy, colour, arms_width=4.0):
        for sign in (1, -1):
            pts = []
            for k in range(20):
                t = k / 19
                a = sign * (math.pi * 0.2 + t * math.pi * 1.05) + (0 if sign > 0 else math.pi)
                r = 5 + t * 15
                pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
            self.line(pts, colour, arms_width * (1.0 - 0.0))
        self.circle(cx, cy, 7.5, fill=colour)
        self.circle(cx, cy, 3.2, fill=(0, 0, 0))

    def tornado(self, cx):
        widths = [(9, 34), (14, 29), (20, 24), (25, 18), (30, 13), (35, 9), (40, 5)]
        for i, (y, w) in enumerate(widths):
            offset = math.sin(i * 0.9) * 2.5 + (i * 0.8)
            self.line([(cx - w / 2 + offset - 3, y), (cx + w / 2 + offset - 3, y)], GREY_CLOUD if i % 2 else CLOUD, 3.2)
        self.line([(cx + 2.5, 44), (cx + 4.5, 46)], GREY_CLOUD, 2.0)


def _na(icon):
    icon.circle(26, 26, 20, outline=(128, 132, 144), width=2.4)
    font = fonts.bold(15 * SCALE)
    text = "N/A"
    box = icon.draw.textbbox((0, 0), text, font=font)
    w, h = box[2] - box[0], box[3] - box[1]
    icon.draw.text(((CANVAS - w) / 2 - box[0], (CANVAS - h) / 2 - box[1]), text, font=font, fill=(200, 204, 214))


def _paint(code, icon):
    c = icon
    cloud_y = 32
    if code == 0:  # tornado
        c.tornado(26)
    elif code == 1:  # tropical storm
        c.cyclone(26, 26, (96, 196, 214))
    elif code == 2:  # hurricane
        c.cyclone(26, 26, RED, 5.0)
    elif code == 3:  # severe thunderstorms
        c.cloud(26, 28, 1.1, DARK_CLOUD)
        c.bolt(18, 38, 0.95)
        c.bolt(33, 39, 0.95)
        c.rain([26, 43], 34, 6)
    elif code in (4,):  # thunderstorms
        c.cloud(26, 28, 1.1, GREY_CLOUD)
        c.bolt(25, 39)
    elif code == 5:  # mixed rain and snow
        c.cloud(26, cloud_y, 1.05, CLOUD)
        c.rain([15, 33], 36, 7)
        c.flake(24, 42, 4)
        c.flake(42, 41, 4)
    elif code == 6:  # mixed rain and sleet
        c.cloud(26, cloud_y, 1.05, CLOUD)
        c.rain([15, 33], 36, 7)
        c.pellet(24, 42)
        c.pellet(42, 41)
    elif code == 7:  # mixed snow and sleet
        c.cloud(26, cloud_y, 1.05, CLOUD)
        c.flake(16, 41, 4)
        c.flake(34, 42, 4)
        c.pellet(25, 45)
        c.pellet(43, 39)
    elif code == 8:  # freezing drizzle
        c.cloud(26, cloud_y, 1.05, CLOUD)
        c.drizzle([17, 27, 37], 34)
        c.flake(44, 44, 3.2, ICE)
    elif code == 9:  # drizzle
        c.cloud(26, cloud_y, 1.05, CLOUD)
        c.drizzle([16, 26, 36], 34)
    elif code == 10:  # freezing rain
        c.cloud(26, cloud_y, 1.05, CLOUD)
        c.rain([16, 26, 36], 35, 7, ICE)
        c.flake(44, 45, 3.2, ICE)
    elif code in (11, 12):  # showers
        c.cloud(26, cloud_y, 1.05, GREY_CLOUD)
        c.rain([15, 24, 33, 42] if code == 12 else [17, 27, 37], 35, 8)
    elif code == 13:  # snow flurries
        c.cloud(26, cloud_y, 1.05, CLOUD)
        c.flake(20, 42, 3.2)
        c.flake(34, 44, 3.2)
    elif code == 14:  # light snow showers
        c.sun(35, 15, 7, rays=False)
        c.cloud(24, cloud_y, 1.0, CLOUD)
        c.flake(18, 42, 3.6)
        c.flake(32, 43, 3.6)
    elif code == 15:  # blowing snow
        c.wind(12, 6)
        c.flake(14, 41, 4)
        c.flake(29, 44, 4)
        c.flake(43, 39, 4)
    elif code == 16:  # snow
        c.cloud(26, cloud_y, 1.05, CLOUD)
        c.flake(15, 41, 4)
        c.flake(28, 44, 4)
        c.flake(41, 41, 4)
    elif code == 17:  # hail
        c.cloud(26, cloud_y, 1.05, GREY_CLOUD)
        for x, y in ((15, 40), (26, 44), (37, 40), (21, 48), (42, 47)):
            c.hail(x, y, 2.6)
    elif code == 18:  # sleet
        c.cloud(26, cloud_y, 1.05, CLOUD)
        for x, y in ((15, 40), (26, 44), (37, 40), (31, 49)):
            c.pellet(x, y)
    elif code == 19:  # dust
        c.sun(26, 20, 9, rays=False)
        for i, (x, y) in enumerate(((8, 32), (16, 37), (26, 33), (36, 38), (44, 32), (12, 44), (22, 46),
                                    (32, 44), (42, 45), (18, 28), (38, 27))):
            c.circle(x, y, 1.4 + 0.5 * (i % 2), fill=DUST)
        c.fog(34, 2, 6, 46, DUST)
    elif code == 20:  # foggy
        c.cloud(26, 24, 0.95, GREY_CLOUD)
        c.fog(31, 3)
    elif code == 21:  # haze
        c.sun(26, 20, 9, rays=True)
        c.fog(33, 3, 6, 46, (200, 186, 150))
    elif code == 22:  # smoky
        for i, x in enumerate((16, 27, 38)):
            pts = [(x + 3 * math.sin(t * 0.5 + i), 46 - t * 1.6) for t in range(0, 22)]
            c.line(pts, SMOKE, 3.4 - 0.3 * i)
        c.line([(8, 47), (44, 47)], (110, 104, 100), 2.4)
    elif code == 23:  # blustery
        c.cloud(30, 24, 0.8, GREY_CLOUD)
        c.wind(28, 6)
    elif code == 24:  # windy
        c.wind(15, 8)
    elif code == 25:  # cold
        c.thermometer(19, 6, (92, 160, 255))
        c.flake(38, 20, 7, ICE)
    elif code == 26:  # cloudy
        c.cloud(32, 25, 0.75, GREY_CLOUD)
        c.cloud(24, 40, 1.0, CLOUD)
    elif code == 27:  # mostly cloudy (night)
        c.moon(17, 17, 10)
        c.cloud(29, 40, 1.05, CLOUD)
    elif code == 28:  # mostly cloudy (day)
        c.sun(18, 17, 8)
        c.cloud(29, 40, 1.05, CLOUD)
    elif code in (29,):  # partly cloudy (night)
        c.moon(22, 22, 14)
        c.cloud(34, 44, 0.7, CLOUD)
    elif code in (30, 44):  # partly cloudy (day), partly cloudy
        c.sun(22, 21, 11)
        c.cloud(33, 44, 0.72, CLOUD)
    elif code == 31:  # clear (night)
        c.moon(24, 27, 17)
        c.star(40, 12, 3.2)
        c.star(44, 30, 2.4)
        c.star(33, 42, 2.0)
    elif code == 32:  # sunny
        c.sun(26, 26, 12)
    elif code == 33:  # fair (night)
        c.moon(25, 26, 15)
        c.star(42, 16, 2.6)
    elif code == 34:  # fair (day)
        c.sun(24, 24, 11)
        c.fog(44, 1, 26, 48, CLOUD_SHADE)
    elif code == 35:  # mixed rain and hail
        c.cloud(26, cloud_y, 1.05, GREY_CLOUD)
        c.rain([15, 33], 36, 7)
        c.hail(24, 43, 2.6)
        c.hail(42, 42, 2.6)
    elif code == 36:  # hot
        c.thermometer(16, 6, RED)
        c.sun(37, 17, 7)
    elif code == 37:  # isolated thunderstorms
        c.sun(37, 15, 7)
        c.cloud(24, 30, 0.95, GREY_CLOUD)
        c.bolt(24, 39, 0.9)
    elif code in (38, 39):  # scattered thunderstorms
        c.sun(37, 15, 7)
        c.cloud(24, 30, 0.95, DARK_CLOUD)
        c.bolt(18, 39, 0.85)
        c.bolt(32, 40, 0.85)
    elif code == 40:  # scattered showers
        c.sun(37, 15, 7)
        c.cloud(24, 30, 0.95, CLOUD)
        c.rain([16, 26, 36], 34, 7)
    elif code in (41, 43):  # heavy snow
        c.cloud(26, 28, 1.05, GREY_CLOUD)
        for x, y in ((12, 36), (24, 38), (36, 36), (18, 46), (30, 47), (42, 45)):
            c.flake(x, y, 3.6)
    elif code == 42:  # scattered snow showers
        c.sun(37, 15, 7)
        c.cloud(24, 30, 0.95, CLOUD)
        c.flake(16, 40, 3.6)
        c.flake(29, 43, 3.6)
    elif code == 45:  # thundershowers
        c.cloud(26, 28, 1.05, GREY_CLOUD)
        c.bolt(25, 39, 0.9)
        c.rain([13, 38], 33, 8)
    elif code == 46:  # snow showers
        c.cloud(26, 28, 1.05, CLOUD)
        for x, y in ((14, 37), (27, 40), (40, 37), (20, 47), (34, 47)):
            c.flake(x, y, 3.4)
    elif code == 47:  # isolated thundershowers
        c.sun(37, 15, 7)
        c.cloud(24, 30, 0.95, GREY_CLOUD)
        c.bolt(22, 39, 0.85)
        c.rain([34], 34, 8)
    elif code == 48:
        _na(c)
    else:
        raise ValueError(code)


def icon(code):
    c = Icon()
    _paint(code, c)
    return c.result()


def strip_rgb():
    return np.concatenate([icon(code) for code in range(ICONS)], axis=0)


def strip_indexed():
    """The strip reduced to at most 256 colours, black kept exactly black and as index 0."""
    rgb = strip_rgb()
    # Near-black fringes become black, so that the black field stays one colour and packs well.
    dark = rgb.max(axis=2) < 10
    rgb = rgb.copy()
    rgb[dark] = 0
    image = Image.fromarray(rgb, "RGB").quantize(colors=255, method=Image.Quantize.MEDIANCUT,
                                                 dither=Image.Dither.NONE)
    indices = np.asarray(image, dtype=np.uint8).copy()
    flat = image.getpalette()[: 3 * 255]
    palette = [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
    used = int(indices.max()) + 1
    palette = palette[:used]
    # Move pure black to index 0.
    black = indices[dark][0] if dark.any() else 0
    if black != 0:
        swap = indices.copy()
        swap[indices == black] = 0
        swap[indices == 0] = black
        indices = swap
        palette[0], palette[black] = palette[black], palette[0]
    palette[0] = (0, 0, 0)
    return indices, palette
