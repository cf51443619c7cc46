"""The scene model: a calm sea at dusk seen from a cliff, with a headland and its lighthouse on the
left, the sun setting on the horizon and a buoy to the right. The background and every animated
strip are painted from this one model, so that a strip frame differs from the background only where
something moves, and never at the strip's border.

Coordinates are screen pixels of the 1024 x 768 scene. The sea is a plane seen in perspective: a
row y below the horizon lies at distance Z = CAMERA_HEIGHT * FOCAL / (y - HORIZON). Its surface is
a sum of travelling waves whose temporal frequencies are whole multiples of one loop (32 frames),
so every animation of the water returns exactly to its start."""

import math

import numpy as np

from . import paint
from .paint import ValueNoise, coverage, ellipse, line, lerp_rgb, over, poly, smoothstep

WIDTH = 1024
HEIGHT = 768
HORIZON = 450
FOCAL = 800.0
CENTRE_X = 512.0
CAMERA_HEIGHT = 10.0

SUN_X = 420.0
SUN_Y = 452.0
SUN_RADIUS = 17.0

LIGHTHOUSE_X = 181.0
LIGHTHOUSE_BASE = 352.0
LANTERN_Y = 209.0

BUOY_X = 951.0
BUOY_WATERLINE = 512.0

LOOP_FRAMES = 32

# The one row of background between the two water strips (their pixel centres are 0.5 further).
CALM_ROW = 663.5


def _sun_direction():
    azimuth = math.atan((SUN_X - CENTRE_X) / FOCAL)
    elevation = math.radians(0.35)
    return np.array([math.sin(azimuth) * math.cos(elevation), math.sin(elevation),
                     math.cos(azimuth) * math.cos(elevation)])


SUN_DIRECTION = _sun_direction()

# Sky colours by elevation in degrees: warm at the horizon, rose, mauve, then deep evening blue.
SKY_STOPS = [
    (0.0, (1.00, 0.63, 0.36)),
    (1.5, (0.98, 0.56, 0.36)),
    (4.0, (0.90, 0.47, 0.42)),
    (8.0, (0.70, 0.40, 0.48)),
    (13.0, (0.45, 0.32, 0.50)),
    (19.0, (0.25, 0.23, 0.45)),
    (25.0, (0.13, 0.15, 0.36)),
    (31.0, (0.07, 0.09, 0.27)),
]


def sky_gradient(elevation):
    elevation = np.asarray(elevation, dtype=np.float64)
    stops = np.array([s[0] for s in SKY_STOPS])
    colours = np.array([s[1] for s in SKY_STOPS])
    out = np.empty(elevation.shape + (3,))
    for channel in range(3):
        out[..., channel] = np.interp(elevation, stops, colours[:, channel])
    return out


def sun_glow(x, y):
    """Warm light scattered around the low sun, wider than tall."""
    dx = x - SUN_X
    dy = (y - SUN_Y) * 2.3
    r = np.sqrt(dx * dx + dy * dy)
    glow = 0.50 * np.exp(-r / 45.0) + 0.30 * np.exp(-r / 170.0) + 0.16 * np.exp(-r / 520.0)
    return glow[..., None] * np.array([1.0, 0.58, 0.28])


class Scene:
    def __init__(self):
        self.noise = ValueNoise(1701)
        self.noise2 = ValueNoise(2203)
        self.dither = np.random.default_rng(77).triangular(-0.5, 0.0, 0.5, (HEIGHT, WIDTH))
        yy, xx = np.mgrid[0:HEIGHT, 0:WIDTH].astype(np.float64)
        self.xx = xx
        self.yy = yy
        self.sky = self._paint_sky()
        self.land, self.land_alpha, self.waterline = self._paint_land()
        self.waves = self._make_waves()
        self.buoy_rest = self.buoy_layer(0.0, 0.0, 0.0)
        self._static_cache = None

    # ----------------------------------------------------------------- sky

    def _paint_sky(self):
        """The sky above the horizon (and a little below it, for reflections) with the sun,
        clouds, the first stars and the distant islands."""
        rows = HORIZON + 12
        x = self.xx[:rows]
        y = self.yy[:rows]
        elevation = np.degrees(np.arctan((HORIZON - y) / FOCAL))
        sky = sky_gradient(np.maximum(elevation, 0.0))
        sky += sun_glow(x, y)

        # Soft clouds: three bands of stretched noise, lit warm from below near the sun and cooler
        # and darker away from it.
        n = self.noise
        clouds = np.zeros(x.shape)
        bands = [(95.0, 55.0, 0.56, 420.0, 22.0, 0.22), (200.0, 60.0, 0.50, 190.0, 34.0, 0.30),
                 (258.0, 40.0, 0.52, 300.0, 26.0, 0.22), (385.0, 24.0, 0.58, 260.0, 9.0, 0.22)]
        for index, (centre, half, threshold, sx, sy, soft) in enumerate(bands):
            field = n.fbm(x / sx + 3.1 * index, y / sy + 7.7 * index, octaves=6)
            band = np.exp(-((y - centre) / half) ** 2)
            clouds = np.maximum(clouds, smoothstep(threshold, threshold + soft, field * (0.55 + 0.55 * band)) * band)
        # Light from the sun reaches the lower edges: compare the density a few rows higher.
        shifted = np.vstack([np.zeros((5, x.shape[1])), clouds[:-5]])
        underside = np.clip(clouds - shifted, 0.0, 1.0)
        near_sun = np.exp(-np.hypot(x - SUN_X, (y - SUN_Y) * 1.6) / 380.0)
        height = np.clip(y / HORIZON, 0.0, 1.0)
        dark = lerp_rgb((0.16, 0.14, 0.28), (0.42, 0.27, 0.38), height)
        lit = lerp_rgb((0.62, 0.40, 0.48), (1.00, 0.66, 0.44), near_sun)
        cloud_colour = lerp_rgb(dark, lit, np.clip(0.25 + 1.2 * near_sun * height + 1.6 * underside, 0, 1))
        sky = lerp_rgb(sky, cloud_colour, 0.82 * clouds)

        # The first stars, only where the sky is already dark and clear.
        rng = np.random.default_rng(404)
        star_x = rng.uniform(0, WIDTH, 140)
        star_y = rng.uniform(0, 260, 140) ** 1.0
        star_b = rng.uniform(0.08, 0.55, 140) ** 1.6
        stars = np.zeros(x.shape)
        for sx, sy, b in zip(star_x, star_y, star_b):
            x0, x1 = int(sx) - 2, int(sx) + 3
            y0, y1 = max(int(sy) - 2, 0), int(sy) + 3
            if x0 < 0 or x1 > WIDTH:
                continue
            gx = x[y0:y1, x0:x1] + 0.5 - sx
            gy = y[y0:y1, x0:x1] + 0.5 - sy
            stars[y0:y1, x0:x1] += b * np.exp(-(gx * gx + gy * gy) / 0.55)
        darkness = smoothstep(16.0, 26.0, elevation) * (1.0 - clouds)
        sky += (stars * darkness)[..., None] * np.array([0.85, 0.88, 1.0])

        # Distant islands on the horizon to the right, hazy with distance.
        profile = np.zeros(WIDTH)
        xs = np.arange(WIDTH, dtype=np.float64)
        for centre, width, height_px in [(705, 70, 5.0), (800, 95, 10.0), (880, 60, 7.0),
                                          (990, 120, 12.0)]:
            profile = np.maximum(profile, height_px * np.exp(-((xs - centre) / width) ** 2))
        profile += 1.5 * (self.noise2.fbm(xs / 18.0, 3.0, octaves=3) - 0.5) * (profile > 0.5)
        island_top = HORIZON - profile
        island_alpha = np.clip(y - island_top[None, :] + 0.5, 0, 1) * (y < HORIZON + 1) * (profile[None, :] > 0.8)
        haze = sky_gradient(np.zeros(1))[0]
        island_colour = lerp_rgb((0.40, 0.27, 0.40), haze, 0.45) + sun_glow(x, y) * 0.35
        sky = lerp_rgb(sky, island_colour, island_alpha)

        # The sun's disc, slightly darker at its limb, cut by the horizon.
        r = np.hypot(x - SUN_X, y - SUN_Y) / SUN_RADIUS
        disc = np.clip((1.0 - r) * SUN_RADIUS + 0.5, 0, 1) * np.clip(HORIZON - y, 0, 1)
        limb = np.sqrt(np.clip(1 - r * r, 0, 1))
        sun = np.array([1.0, 0.80, 0.52])[None, None, :] * (2.2 + 1.4 * limb)[..., None]
        sky = lerp_rgb(sky, sun, disc)
        return sky

    # ---------------------------------------------------------------- land

    def _headland_profile(self, xs):
        """Top edge and waterline of the headland per column (NaN where there is no land)."""
        points = [(-5, 296), (40, 304), (90, 326), (132, 346), (150, 352), (214, 352), (238, 356),
                  (272, 378), (300, 404), (322, 430), (340, 452), (356, 466), (362, 471)]
        px = np.array([p[0] for p in points], dtype=np.float64)
        py = np.array([p[1] for p in points], dtype=np.float64)
        top = np.interp(xs, px, py)
        rough = (self.noise2.fbm(xs / 14.0, 11.0, octaves=4) - 0.5) * 7.0
        flat = (xs > 146) & (xs < 218)
        top = top + np.where(flat, rough * 0.15, rough)
        waterline = np.interp(xs, [-5, 120, 250, 330, 362], [536, 522, 500, 480, 471])
        waterline = waterline + (self.noise2.fbm(xs / 9.0, 37.0, octaves=3) - 0.5) * 5.0
        top = np.where(xs > 362, np.nan, top)
        return top, waterline

    def _paint_land(self):
        """The headland, the lighthouse and the keeper's cottage as one layer with its coverage."""
        self.glow = np.zeros((HEIGHT, WIDTH, 3))
        colour = np.zeros((HEIGHT, WIDTH, 3))
        alpha = np.zeros((HEIGHT, WIDTH))
        # Supersample the silhouette in x so that the steep slopes are smooth.
        sub = 4
        acc = np.zeros((HEIGHT, WIDTH))
        for k in range(sub):
            xs = np.arange(WIDTH, dtype=np.float64) + (k + 0.5) / sub
            top, waterline = self._headland_profile(xs)
            top = np.where(np.isnan(top), 1e9, top)
            a = np.clip(self.yy + 1.0 - top[None, :], 0, 1) * np.clip(waterline[None, :] - self.yy, 0, 1)
            acc += a
        alpha = acc / sub
        xs = np.arange(WIDTH, dtype=np.float64) + 0.5
        top, waterline = self._headland_profile(xs)
        self.headland_top = top
        top_f = np.where(np.isnan(top), 1e9, top)
        depth = self.yy - top_f[None, :]
        x = self.xx
        y = self.yy
        n = self.noise

        # Slope of the top edge: faces that descend towards the sun catch its light.
        slope = np.gradient(np.nan_to_num(top, nan=480.0))
        facing = np.clip(slope / 1.2, 0.0, 1.0)[None, :]
        towards_sun = np.exp(-np.abs(x - SUN_X) / 260.0)

        # Grass on top, rock below, in dusk colours; distance haze increases towards the tip.
        grass = np.array([0.10, 0.105, 0.095]) + 0.035 * (n.fbm(x / 5.0, y / 2.5, octaves=3) - 0.5)[..., None]
        strata = n.fbm(x / 60.0 + 0.02 * y, y / 3.0, octaves=4)
        cracks = n.fbm(x / 4.0 + 40, y / 14.0, octaves=3)
        rock = (np.array([0.092, 0.076, 0.098]) * (0.8 + 0.4 * strata)[..., None]
                * (1.0 - 0.12 * smoothstep(0.62, 0.70, cracks))[..., None])
        # The face of the cliff darkens downwards, except just above the water where it is wet.
        rock *= (1.0 - 0.35 * np.clip(depth / 150.0, 0, 1))[..., None]
        grass_band = 1.0 - smoothstep(5.0, 10.0 + 5 * n(x / 9.0, y / 9.0), depth)
        colour = lerp_rgb(rock, grass, grass_band)
        rim = (facing * towards_sun * (1.0 - smoothstep(0.0, 5.0 + 6 * facing, depth)))
        colour += rim[..., None] * np.array([0.75, 0.42, 0.20])
        # Right-hand faces near the tip are lit from the side.
        side = smoothstep(250.0, 360.0, x) * (1.0 - smoothstep(0.0, 60.0, depth))
        colour += (side * 0.18)[..., None] * np.array([0.9, 0.5, 0.3]) * (0.6 + 0.4 * strata)[..., None]
        haze = sky_gradient(np.full(x.shape, 1.0))
        colour = lerp_rgb(colour, haze, 0.08 + 0.30 * smoothstep(100.0, 370.0, x))
        # Foam along the foot of the cliff.
        to_water = waterline[None, :] - y
        foam_noise = n.fbm(x / 5.0, y / 2.0 + 90, octaves=3)
        # Wet dark rock just above the water, and a little broken foam where the swell reaches.
        colour *= (1.0 - 0.35 * (1.0 - smoothstep(0.0, 8.0, to_water)))[..., None]
        foam = (1.0 - smoothstep(0.0, 2.0, to_water)) * smoothstep(0.58, 0.72, foam_noise)
        colour = lerp_rgb(colour, np.array([0.50, 0.42, 0.48]), foam * 0.45)

        self._paint_lighthouse(colour, alpha)
        self._paint_cottage(colour, alpha)
        return colour, alpha, waterline

    def _paint_lighthouse(self, colour, alpha):
        cx = LIGHTHOUSE_X
        x0, x1, y0, y1 = int(cx - 26), int(cx + 26), 176, int(LIGHTHOUSE_BASE) + 3
        w, h = x1 - x0, y1 - y0
        x = self.xx[y0:y1, x0:x1] + 0.5
        y = self.yy[y0:y1, x0:x1] + 0.5
        region = colour[y0:y1, x0:x1]
        cover = alpha[y0:y1, x0:x1]
        tower_top, base = 228.0, LIGHTHOUSE_BASE + 2
        half_base, half_top = 14.5, 9.5

        def tower(d, s):
            poly(d, s, [(cx - half_top, tower_top), (cx + half_top, tower_top),
                        (cx + half_base, base), (cx - half_base, base)])

        shape = coverage(w, h, tower, (x0, y0))
        half = half_top + (half_base - half_top) * np.clip((y - tower_top) / (base - tower_top), 0, 1)
        u = np.clip((x - cx) / half, -1, 1)
        # A white tower lit from the right by the setting sun, its shaded side cool.
        light = np.clip(0.15 + 0.85 * u, 0, 1) ** 1.3
        white = lerp_rgb((0.27, 0.27, 0.38), (0.92, 0.68, 0.52), light)
        red = lerp_rgb((0.20, 0.06, 0.10), (0.78, 0.22, 0.14), light)
        bands = ((y > 262) & (y < 279)) | ((y > 306) & (y < 323))
        body = np.where(bands[..., None], red, white)
        over(region, body, shape)
        cover[:] = np.maximum(cover, shape)

        def details(d, s):
            # The door and two small windows.
            d.rounded_rectangle([*s(cx - 3.0, base - 12), *s(cx + 3.0, base)], radius=2 * paint.SUPER, fill=255)
            poly(d, s, [(cx - 1.2, 244), (cx + 1.2, 244), (cx + 1.2, 250), (cx - 1.2, 250)])
            poly(d, s, [(cx - 1.4, 290), (cx + 1.4, 290), (cx + 1.4, 297), (cx - 1.4, 297)])

        over(region, (0.08, 0.06, 0.09), coverage(w, h, details, (x0, y0)))

        def gallery(d, s):
            poly(d, s, [(cx - 15, 221), (cx + 15, 221), (cx + 13, 229), (cx - 13, 229)])

        g = coverage(w, h, gallery, (x0, y0))
        over(region, lerp_rgb((0.10, 0.08, 0.11), (0.40, 0.24, 0.20), np.clip(0.5 + 0.5 * (x - cx) / 15, 0, 1)), g)
        cover[:] = np.maximum(cover, g)

        def railing(d, s):
            line(d, s, [(cx - 14, 214.5), (cx + 14, 214.5)], 1.0)
            for k in range(-14, 15, 4):
                line(d, s, [(cx + k, 214.5), (cx + k, 221)], 0.7)

        rail = coverage(w, h, railing, (x0, y0))
        over(region, (0.10, 0.08, 0.11), rail * 0.9)
        cover[:] = np.maximum(cover, rail * 0.9)

        def lantern(d, s):
            poly(d, s, [(cx - 8, 198), (cx + 8, 198), (cx + 8, 221), (cx - 8, 221)])

        lamp = coverage(w, h, lantern, (x0, y0))
        # Lit glass with dark glazing bars.
        glow = np.exp(-((x - cx) ** 2 + ((y - LANTERN_Y) * 0.8) ** 2) / 40.0)
        glass = lerp_rgb((0.95, 0.62, 0.30), (1.6, 1.35, 0.95), glow)
        bars = (np.abs(((x - cx + 8) % 5.33) - 2.66) > 2.1) | (np.abs(y - 198.8) < 0.9)
        glass = np.where(bars[..., None], np.array([0.12, 0.09, 0.10]), glass)
        over(region, glass, lamp)
        cover[:] = np.maximum(cover, lamp)

        def dome(d, s):
            d.pieslice([*s(cx - 10, 188), *s(cx + 10, 208)], 180, 360, fill=255)
            poly(d, s, [(cx - 1.0, 181), (cx + 1.0, 181), (cx + 1.0, 189), (cx - 1.0, 189)])
            ellipse(d, s, cx, 181.5, 1.6, 1.6)

        top = coverage(w, h, dome, (x0, y0))
        over(region, lerp_rgb((0.10, 0.06, 0.08), (0.50, 0.20, 0.14), np.clip(0.4 + 0.6 * (x - cx) / 10, 0, 1)), top)
        cover[:] = np.maximum(cover, top)

        # The steady glow of the lamp through the glass, part of the still picture.
        halo = np.exp(-((x - cx) ** 2 + (y - LANTERN_Y) ** 2) / 90.0) * 0.35
        self.glow[y0:y1, x0:x1] += halo[..., None] * np.array([1.0, 0.78, 0.45])

    def _paint_cottage(self, colour, alpha):
        x0, x1, y0, y1 = 198, 250, 322, 356
        w, h = x1 - x0, y1 - y0
        x = self.xx[y0:y1, x0:x1] + 0.5
        y = self.yy[y0:y1, x0:x1] + 0.5
        region = colour[y0:y1, x0:x1]
        cover = alpha[y0:y1, x0:x1]

        def walls(d, s):
            poly(d, s, [(203, 336), (238, 336), (238, 354), (203, 354)])
            poly(d, s, [(238, 339), (246, 339), (246, 354), (238, 354)])

        def roof(d, s):
            poly(d, s, [(201, 337), (206, 327), (235, 327), (240, 337)])
            poly(d, s, [(237, 340), (239, 335), (247, 335), (247, 340)])
            poly(d, s, [(227, 322), (230, 322), (230, 329), (227, 329)])

        def windows(d, s):
            for wx in (209, 221):
                poly(d, s, [(wx, 341), (wx + 5, 341), (wx + 5, 347), (wx, 347)])

        wall = coverage(w, h, walls, (x0, y0))
        shade = np.clip((x - 203) / 43.0, 0, 1)
        over(region, lerp_rgb((0.30, 0.27, 0.34), (0.74, 0.52, 0.42), shade), wall)
        r = coverage(w, h, roof, (x0, y0))
        over(region, lerp_rgb((0.12, 0.08, 0.10), (0.36, 0.18, 0.15), shade), r)
        win = coverage(w, h, windows, (x0, y0))
        over(region, (1.25, 0.82, 0.42), win)
        cover[:] = np.maximum(cover, np.maximum(wall, r))

    # --------------------------------------------------------------- water

    def _make_waves(self):
        """Travelling waves, mostly coming in towards the viewer. Each completes a whole number of
        periods per loop, chosen close to deep-water dispersion for its wavelength."""
        rng = np.random.default_rng(9001)
        waves = []
        count = 64
        for index in range(count):
            wavelength = math.exp(rng.uniform(math.log(0.12), math.log(6.0)))
            k = 2 * math.pi / wavelength
            omega = math.sqrt(9.81 * k)
            periods = max(1, int(round(omega * 1.28 / (2 * math.pi))))
            direction = math.pi + rng.normal(0.0, 0.75)  # towards the camera (-Z), spread
            if index % 4 == 0:
                direction += rng.choice([-1.0, 1.0]) * rng.uniform(0.8, 1.6)
            slope = 0.055 * (wavelength / 1.0) ** 0.1 / math.sqrt(count / 12)
            waves.append((k * math.sin(direction), k * math.cos(direction), slope / k, periods,
                          rng.uniform(0, 2 * math.pi)))
        return waves

    @staticmethod
    def calm(y):
        """A calm streak along the row between the two water strips: the still row there then
        shows smooth water, which does not stand out between the moving rows."""
        return 1.0 - 0.85 * np.exp(-((y - CALM_ROW) / 7.0) ** 2)

    def water_geometry(self, x, y):
        """World position of the sea under each pixel and the screen derivatives of it."""
        dy = np.maximum(y - HORIZON, 0.25)
        Z = CAMERA_HEIGHT * FOCAL / dy
        X = (x - CENTRE_X) * Z / FOCAL
        dZ_dy = -Z * Z / (CAMERA_HEIGHT * FOCAL)
        dX_dx = Z / FOCAL
        dX_dy = (x - CENTRE_X) / FOCAL * dZ_dy
        return X, Z, dX_dx, dX_dy, dZ_dy

    def surface_slopes(self, x, y, t, extra=None):
        """Resolved slopes (dh/dX, dh/dZ) at time t (fraction of the loop) and the variance of the
        slopes too fine to show at each pixel."""
        X, Z, dX_dx, dX_dy, dZ_dy = self.water_geometry(x, y)
        sx = np.zeros(x.shape)
        sz = np.zeros(x.shape)
        unresolved = np.full(x.shape, 0.0006)
        for kx, kz, amplitude, periods, phase0 in self.waves:
            gx = kx * dX_dx
            gy = kx * dX_dy + kz * dZ_dy
            cycles = np.hypot(gx, gy) / (2 * math.pi)
            keep = np.exp(-(cycles / 0.14) ** 2)
            phase = kx * X + kz * Z - 2 * math.pi * periods * t + phase0
            c = np.cos(phase) * amplitude * keep
            sx += kx * c
            sz += kz * c
            unresolved += 0.5 * (amplitude ** 2) * (kx * kx + kz * kz) * (1 - keep * keep)
        if extra is not None:
            ex, ez = extra(X, Z)
            sx += ex
            sz += ez
        calm = self.calm(y)
        return sx * calm, sz * calm, unresolved * calm * calm, X, Z

    def _sample_sky(self, xs, ys):
        """Bilinear sample of the sky picture, clamped to it."""
        xs = np.clip(xs, 0, WIDTH - 1.001)
        ys = np.clip(ys, 0, self.sky.shape[0] - 1.001)
        x0 = np.floor(xs).astype(np.int64)
        y0 = np.floor(ys).astype(np.int64)
        fx = (xs - x0)[..., None]
        fy = (ys - y0)[..., None]
        s = self.sky
        top = s[y0, x0] * (1 - fx) + s[y0, x0 + 1] * fx
        bottom = s[y0 + 1, x0] * (1 - fx) + s[y0 + 1, x0 + 1] * fx
        return top * (1 - fy) + bottom * fy

    def _sample_layer(self, layer, alpha, xs, ys):
        xs = np.clip(np.round(xs).astype(np.int64), 0, WIDTH - 1)
        ys = np.clip(np.round(ys).astype(np.int64), 0, HEIGHT - 1)
        return layer[ys, xs], alpha[ys, xs]

    def paint_water(self, x, y, t, extra=None, reflections=()):
        """Colour of the sea at pixel centres x, y (arrays) at loop time t."""
        sx, sz, unresolved, X, Z = self.surface_slopes(x, y, t, extra)
        # Unit normal and the direction from the water to the eye.
        n = np.stack([-sx, np.ones_like(sx), -sz], axis=-1)
        n /= np.linalg.norm(n, axis=-1, keepdims=True)
        v = np.stack([-X, np.full(X.shape, CAMERA_HEIGHT), -Z], axis=-1)
        v /= np.linalg.norm(v, axis=-1, keepdims=True)
        ndotv = np.clip(np.sum(n * v, axis=-1), 0.0, 1.0)
        r = -v + 2.0 * ndotv[..., None] * n
        elevation = np.arctan2(r[..., 1], np.hypot(r[..., 0], r[..., 2]))
        azimuth = np.arctan2(r[..., 0], r[..., 2])
        sky_x = CENTRE_X + FOCAL * np.tan(np.clip(azimuth, -1.2, 1.2))
        sky_y = HORIZON - FOCAL * np.tan(np.clip(elevation, -0.01, 0.7))
        reflected = self._sample_sky(sky_x, sky_y)

        # Objects standing in the water (the headland, the buoy) mirror about their own waterline;
        # the waves shift the mirror image as they tilt.
        shift_y = -(sz * 2.0) * (y - HORIZON) * 0.9
        shift_x = sx * 2.0 * FOCAL * 0.05
        for layer, alpha, axis, darken in reflections:
            # Waves may tilt the view below the waterline: the reflection then starts at the
            # object's foot, so no bright seam of sky opens between an object and its image.
            mirror_y = np.minimum(2.0 * axis(x) - y + shift_y, axis(x) - 1.0)
            col, a = self._sample_layer(layer, alpha, x + shift_x, mirror_y)
            a = a * (y > axis(x) - 0.5) * (darken(y - axis(x)) if callable(darken) else darken)
            reflected = lerp_rgb(reflected, col * 0.75, a)

        fresnel = 0.02 + 0.98 * (1.0 - ndotv) ** 5
        depth_colour = np.array([0.030, 0.050, 0.085]) + 0.05 * sun_glow(x, np.full(x.shape, float(HORIZON)))
        colour = lerp_rgb(depth_colour, reflected, fresnel)

        # Glitter the resolved waves cannot show: the chance that an unseen facet reflects the sun.
        s = SUN_DIRECTION
        half = v + s
        half /= np.linalg.norm(half, axis=-1, keepdims=True)
        need_x = -half[..., 0] / half[..., 1]
        need_z = -half[..., 2] / half[..., 1]
        miss = (need_x - sx) ** 2 + (need_z - sz) ** 2
        variance = unresolved + 0.00035
        spread = np.exp(-miss / (2 * variance)) * np.sqrt(0.0006 / variance)
        colour += (spread * fresnel * 5.0)[..., None] * np.array([1.0, 0.72, 0.42])
        return colour

    # -------------------------------------------------------------- render

    def static_water(self):
        if self._static_cache is None:
            x = self.xx[HORIZON:] + 0.5
            y = self.yy[HORIZON:] + 0.5
            self._static_cache = self.paint_water(x, y, 0.0, reflections=self._reflections(None))
        return self._static_cache

    def _reflections(self, buoy):
        buoy = self.buoy_rest if buoy is None else buoy
        colour, alpha = buoy
        return [(self.land, self.land_alpha, self._waterline_of, 0.9),
                (colour, alpha, lambda x: np.full(x.shape, BUOY_WATERLINE), self._buoy_reflection_fade)]

    def _waterline_of(self, x):
        index = np.clip(x.astype(np.int64), 0, WIDTH - 1)
        return self.waterline[index]

    def render(self, x0, y0, w, h, t=0.0, objects=(), extra_waves=None,
               animate_water=True, behind_land=(), buoy=None):
        """The scene in the rectangle at loop time t, with the given moving objects painted over
        it (or behind the headland). Each object is a callable (rgb, x, y) -> None that paints in
        place; buoy is the buoy's (colour, coverage) layer, at rest when None."""
        x = self.xx[y0:y0 + h, x0:x0 + w] + 0.5
        y = self.yy[y0:y0 + h, x0:x0 + w] + 0.5
        rgb = np.zeros((h, w, 3))
        sky_rows = max(0, min(h, HORIZON - y0))
        if sky_rows > 0:
            rgb[:sky_rows] = self.sky[y0:y0 + sky_rows, x0:x0 + w]
        if sky_rows < h:
            wy0 = y0 + sky_rows
            if animate_water or extra_waves is not None or buoy is not None:
                refl = self._reflections(buoy)
                rgb[sky_rows:] = self.paint_water(x[sky_rows:], y[sky_rows:], t, extra_waves, refl)
            else:
                rgb[sky_rows:] = self.static_water()[wy0 - HORIZON:y0 + h - HORIZON, x0:x0 + w]
        for paint_object in behind_land:
            paint_object(rgb, x, y)
        over(rgb, self.land[y0:y0 + h, x0:x0 + w], self.land_alpha[y0:y0 + h, x0:x0 + w])
        rgb += self.glow[y0:y0 + h, x0:x0 + w]
        colour, alpha = self.buoy_rest if buoy is None else buoy
        over(rgb, colour[y0:y0 + h, x0:x0 + w], alpha[y0:y0 + h, x0:x0 + w])
        for paint_object in objects:
            paint_object(rgb, x, y)
        return rgb

    def background(self):
        return self.render(0, 0, WIDTH, HEIGHT, animate_water=False)

    # ------------------------------------------------------------- objects

    def _buoy_reflection_fade(self, below):
        return 0.8 * np.exp(-np.maximum(below, 0.0) / 11.0) * (below < 30)

    def buoy_layer(self, angle, bob, light):
        """The green channel buoy, tilted by angle (degrees) about its waterline and lifted by bob
        pixels, its lamp lit by light (0..1), as full-screen colour and coverage arrays."""
        colour = np.zeros((HEIGHT, WIDTH, 3))
        alpha = np.zeros((HEIGHT, WIDTH))
        x0, x1, y0, y1 = 915, 988, 448, 522
        w, h = x1 - x0, y1 - y0
        pivot_x, pivot_y = BUOY_X, BUOY_WATERLINE - bob
        a = math.radians(angle)
        ca, sa = math.cos(a), math.sin(a)

        def place(px, py):
            # Local coordinates: x to the right, y up from the waterline centre.
            return (pivot_x + px * ca + py * sa, pivot_y + px * sa - py * ca)

        def shapes(parts):
            def draw(d, s):
                for kind, data in parts:
                    if kind == "poly":
                        poly(d, s, [place(px, py) for px, py in data])
                    else:
                        points, width = data
                        line(d, s, [place(px, py) for px, py in points], width)
            return coverage(w, h, draw, (x0, y0))

        x = self.xx[y0:y1, x0:x1] + 0.5
        y = self.yy[y0:y1, x0:x1] + 0.5
        region = colour[y0:y1, x0:x1]
        cover = alpha[y0:y1, x0:x1]
        # Across-the-body coordinate for shading: the sun is to the left, far away.
        u = ((x - pivot_x) * ca + (y - pivot_y) * sa) / 12.0
        lit = np.clip(0.30 - 0.40 * u, 0, 1)

        hull = shapes([("poly", [(-13, -3), (13, -3), (10.5, 14), (-10.5, 14)])])
        over(region, lerp_rgb((0.03, 0.12, 0.09), (0.16, 0.50, 0.30), lit), hull)
        band = shapes([("poly", [(-12, 4), (12, 4), (11.4, 7), (-11.4, 7)])])
        over(region, lerp_rgb((0.30, 0.28, 0.34), (0.85, 0.70, 0.62), lit), band)
        deck = shapes([("poly", [(-11, 14), (11, 14), (11, 16), (-11, 16)])])
        over(region, (0.10, 0.07, 0.09), deck)
        tower = shapes([("line", ([(-7, 16), (-3, 38)], 1.3)), ("line", ([(7, 16), (3, 38)], 1.3)),
                        ("line", ([(-6, 22), (5, 29)], 0.8)), ("line", ([(6, 22), (-5, 29)], 0.8)),
                        ("line", ([(-4.6, 32), (4.6, 32)], 0.8))])
        over(region, (0.11, 0.08, 0.10), tower)
        housing = shapes([("poly", [(-3.2, 38), (3.2, 38), (3.2, 40), (-3.2, 40)]),
                          ("poly", [(-2.2, 45), (2.2, 45), (2.6, 47), (-2.6, 47)])])
        over(region, (0.09, 0.06, 0.08), housing)
        lens = shapes([("poly", [(-2.2, 40), (2.2, 40), (2.2, 45), (-2.2, 45)])])
        lamp = lerp_rgb((0.10, 0.28, 0.16), (1.2, 2.0, 1.3), np.full(x.shape, light))
        over(region, lamp, lens)
        topmark = shapes([("poly", [(-4.2, 49), (4.2, 49), (0, 56.5)]),
                          ("line", ([(0, 47), (0, 49)], 0.9))])
        over(region, lerp_rgb((0.03, 0.12, 0.09), (0.16, 0.50, 0.30), lit), topmark)
        everything = np.maximum.reduce([hull, band, deck, tower, housing, lens, topmark])
        # The sea hides what lies below the waterline.
        under = np.clip(BUOY_WATERLINE + 0.5 - y, 0, 1)
        cover[:] = everything * under
        return colour, alpha

    def buoy_lamp_position(self, angle, bob):
        a = math.radians(angle)
        return (BUOY_X + 42.5 * math.sin(a), BUOY_WATERLINE - bob - 42.5 * math.cos(a))

    def buoy_flash_painter(self, angle, bob, light, t):
        """The flash of the buoy's lamp: a green glow around it and its trembling track on the water."""
        lx, ly = self.buoy_lamp_position(angle, bob)

        def paint_flash(rgb, x, y):
            if light <= 0.0:
                return
            r2 = (x - lx) ** 2 + (y - ly) ** 2
            glow = light * (1.6 * np.exp(-r2 / 7.0) + 0.55 * np.exp(-r2 / 80.0) + 0.16 * np.exp(-r2 / 500.0)
                            + 0.5 * np.exp(-((y - ly) / 1.0) ** 2) * np.exp(-np.abs(x - lx) / 9.0))
            rgb += glow[..., None] * np.array([0.45, 1.0, 0.62])
            below = y - BUOY_WATERLINE
            shimmer = 0.5 + 0.5 * np.sin(y * 1.7 + 2 * math.pi * t * 3 + np.sin(y * 0.6) * 2.0)
            track = (light * 0.55 * np.exp(-((x - lx) / (2.0 + below * 0.08)) ** 2)
                     * np.exp(-np.maximum(below, 0) / 12.0) * (below > 1) * shimmer)
            rgb += track[..., None] * np.array([0.45, 1.0, 0.62])

        return paint_flash

    def beam_painter(self, frame):
        """The lighthouse's two opposite beams turning half a round per loop; a beam facing the
        viewer flashes."""
        cx, cy = LIGHTHOUSE_X, LANTERN_Y
        theta = math.pi * frame / LOOP_FRAMES

        def paint_beam(rgb, x, y):
            light = np.zeros(x.shape)
            dx = x - cx
            dy = y - cy
            for angle in (theta, theta + math.pi):
                side, towards = math.sin(angle), math.cos(angle)
                length = abs(side)
                if length > 0.02:
                    along = dx * math.copysign(1.0, side)
                    width = 1.6 + 0.16 * np.maximum(along, 0)
                    strength = 0.32 + 0.6 * max(towards, 0.0) ** 3
                    reach = 6.0 + 70.0 * length
                    beam = (strength * np.exp(-(dy / width) ** 2) * np.exp(-np.maximum(along, 0) / reach)
                            * smoothstep(2.0, 7.0, along))
                    light += beam
                flash = max(towards, 0.0) ** 20
                if flash > 0.001:
                    r2 = dx * dx + dy * dy
                    light += flash * (1.5 * np.exp(-r2 / 18.0) + 0.55 * np.exp(-r2 / 260.0)
                                      + 0.35 * np.exp(-(dy / 1.3) ** 2) * np.exp(-np.abs(dx) / 22.0))
            rgb += light[..., None] * np.array([1.0, 0.88, 0.64])

        return paint_beam

    def meteor_painter(self, frame):
        """A shooting star crossing the darker sky from upper right to lower left."""
        start = np.array([478.0, 152.0])
        end = np.array([326.0, 326.0])
        brightness = [0.45, 0.9, 1.0, 1.0, 0.9, 0.65, 0.35, 0.14, 0.04, 0.0][frame]
        progress = min(frame, 6) / 6.0
        progress = 1.0 - (1.0 - progress) ** 1.3
        head = start + (end - start) * progress
        direction = (end - start) / np.linalg.norm(end - start)
        tail = min(np.linalg.norm(head - start), 84.0) + 6.0
        head_on = 1.0 if frame <= 6 else 0.0

        def paint_meteor(rgb, x, y):
            if brightness <= 0.0:
                return
            px = x - head[0]
            py = y - head[1]
            along = -(px * direction[0] + py * direction[1])  # distance behind the head
            across = px * direction[1] - py * direction[0]
            trail = (np.exp(-(across / 0.75) ** 2) * np.clip(1.0 - along / tail, 0, 1) ** 1.6
                     * (along > 0) * 0.9)
            r2 = px * px + py * py
            core = head_on * (1.8 * np.exp(-r2 / 1.4) + 0.25 * np.exp(-r2 / 16.0))
            light = brightness * (trail + core)
            rgb += light[..., None] * np.array([0.85, 0.95, 1.0])

        return paint_meteor

    def fish_leap(self, frame):
        """A fish leaping out of the water near the sun's path and falling back: the painter of the
        fish and its splashes, and the ripples it leaves, for one frame of the burst."""
        surface_y = 478.0
        entry_x, exit_x = 524.0, 552.0
        apex = 50.0
        s = (frame - 0.4) / 5.8
        rng = np.random.default_rng(31)
        drops = rng.uniform(-1, 1, (2, 9, 3))

        def paint_fish(rgb, x, y):
            if 0.0 <= s <= 1.0:
                fx = entry_x + (exit_x - entry_x) * s
                fy = surface_y - apex * 4 * s * (1 - s)
                slope = -apex * 4 * (1 - 2 * s) / (exit_x - entry_x)
                angle = math.atan(slope)
                ca, sa = math.cos(angle), math.sin(angle)

                def place(px, py):
                    return (fx + px * ca - py * sa, fy + px * sa + py * ca)

                def draw(d, sc):
                    body = [(7, 0), (5, -1.7), (1, -2.4), (-3, -1.8), (-6, -0.6), (-8.5, -2.6),
                            (-7.5, 0), (-8.5, 2.6), (-6, 0.6), (-3, 1.6), (1, 2.2), (5, 1.5)]
                    poly(d, sc, [place(px, py) for px, py in body])

                x0, y0 = int(x[0, 0]), int(y[0, 0])
                h, w = x.shape
                cover = coverage(w, h, draw, (x0, y0))
                cover *= np.clip(surface_y - y + 0.5, 0, 1)
                # Against the glow the fish is a dark shape with a warm edge towards the sun.
                u = (x - fx) * 0.25
                body = lerp_rgb((0.05, 0.04, 0.07), (0.55, 0.34, 0.22), np.clip(-u, 0, 1) * 0.6)
                over(rgb, body, cover)
            # Splashes where the fish breaks the surface, and droplets thrown up.
            for index, (sx, start) in enumerate(((entry_x, 0), (exit_x, 6))):
                age = frame - start
                if age < 0 or age > 3:
                    continue
                fade = [1.0, 0.8, 0.45, 0.15][age]
                r2 = ((x - sx) / 3.2) ** 2 + ((y - surface_y + 1.5 + age * 0.5) / (1.5 + age * 0.8)) ** 2
                rgb += (fade * 0.9 * np.exp(-r2))[..., None] * np.array([1.0, 0.8, 0.62])
                for dx, up, size in drops[index]:
                    px = sx + dx * (2.0 + 2.5 * age)
                    py = surface_y - 2.0 - (5.0 + 3.0 * up) * age + 1.5 * age * age
                    d2 = (x - px) ** 2 + (y - py) ** 2
                    rgb += (fade * 0.7 * np.exp(-d2 / (0.45 + 0.15 * size)))[..., None] * np.array([1.0, 0.85, 0.7])
            # Rings spreading on the water from both splashes, flattened by the low view.
            for sx, start in ((entry_x, 0), (exit_x, 6)):
                age = frame - start
                if age < 0:
                    continue
                radius = 2.5 + 2.6 * age
                fade = max(0.0, 1.0 - age / 4.5) * 0.45
                rho = np.sqrt((x - sx) ** 2 + ((y - surface_y) / 0.22) ** 2)
                ring = fade * np.exp(-((rho - radius) / 1.3) ** 2) * (y > surface_y - 0.5)
                rgb += ring[..., None] * np.array([0.9, 0.6, 0.4])

        return paint_fish

    def gull_painter(self, frame):
        """A gull swooping down past the cliff top and out of sight behind the headland."""
        p = frame / 7.0
        bx = 94.0 - 58.0 * p - 8.0 * math.sin(math.pi * p)
        by = 204.0 + 128.0 * p ** 1.35
        heading = math.atan2(128.0 * 1.35 * max(p, 0.05) ** 0.35, -58.0 - 8.0 * math.pi * math.cos(math.pi * p))
        # Wings beat on the first frames, then fold back for the dive.
        beats = [0.9, -0.5, 0.7, 0.2, -0.2, -0.4, -0.5, -0.5, -0.5, -0.5][frame]
        fold = [0.0, 0.0, 0.1, 0.35, 0.6, 0.8, 0.9, 0.95, 1.0, 1.0][frame]
        fade = [0.55, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 0.0][frame]
        scale = 1.7 + 0.25 * p
        tilt = heading
        ca, sa = math.cos(tilt), math.sin(tilt)

        def place(px, py):
            px *= scale
            py *= scale
            return (bx + px * ca - py * sa, by + px * sa + py * ca)

        span = 13.0 * (1.0 - 0.55 * fold) * (0.75 + 0.25 * beats)
        sweep = 2.0 + 7.0 * fold

        def wings(d, s):
            for side in (-1, 1):
                # A gull's wing bends at the wrist: shoulder, wrist, tip, swept back when diving.
                pts = [(-1.5, 0.0), (1.8, side * span * 0.45), (-sweep, side * span),
                       (-0.5 - sweep * 0.3, side * span * 0.45), (-3.5, 0.0)]
                poly(d, s, [place(px, py) for px, py in pts])

        def body(d, s):
            pts = [(-6.5, 0.0), (-4.5, -1.6), (1.0, -1.9), (5.0, -1.0), (6.5, 0.0), (5.0, 1.0),
                   (1.0, 1.9), (-4.5, 1.6)]
            poly(d, s, [place(px, py) for px, py in pts])

        def tips(d, s):
            for side in (-1, 1):
                tip = (-sweep, side * span)
                poly(d, s, [place(*tip), place(tip[0] + 1.6, tip[1] - side * 2.8),
                            place(tip[0] - 0.6, tip[1] - side * 3.2)])

        def paint_gull(rgb, x, y):
            if fade <= 0.0:
                return
            x0, y0 = int(x[0, 0]), int(y[0, 0])
            h, w = x.shape
            wing = coverage(w, h, wings, (x0, y0)) * fade
            over(rgb, (0.74, 0.62, 0.62), wing)
            dark = coverage(w, h, tips, (x0, y0)) * fade
            over(rgb, (0.10, 0.09, 0.12), dark)
            b = coverage(w, h, body, (x0, y0)) * fade
            over(rgb, (0.92, 0.74, 0.64), b)

        return paint_gull
