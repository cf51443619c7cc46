"""Pictures of the configuration dialog: the banner, the product picture, the slider's track and
knob, and the OK and Cancel buttons in their released and pressed states. The dialog's own
colours (background RGB 107, 112, 133) are used where a picture meets it."""

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

from . import fonts

DIALOG = (107, 112, 133)
TAB_PAGE = (240, 240, 240)
KEY = (255, 0, 255)


def _vertical_gradient(width, height, top, bottom):
    t = np.linspace(0.0, 1.0, height)[:, None, None]
    row = np.asarray(top, dtype=np.float64) + (np.asarray(bottom, dtype=np.float64) - np.asarray(top)) * t
    return np.repeat(row, width, axis=1)


def banner(background):
    """546 x 90: the sunset horizon of the scene, lettered with the product's name."""
    scene = Image.fromarray(background)
    scale = 546 / 1024.0
    scaled = scene.resize((546, int(round(768 * scale))), Image.LANCZOS)
    top = int(round(362 * scale))
    picture = scaled.crop((0, top, 546, top + 90))
    rgb = np.asarray(picture, dtype=np.float64)
    # Darken towards the left so the lettering stands clear, and into the dialog at the bottom.
    x = np.linspace(0.0, 1.0, 546)[None, :, None]
    rgb = rgb * (0.55 + 0.45 * np.clip(x * 2.2, 0, 1))
    fade = np.clip((np.arange(90)[:, None, None] - 72) / 18.0, 0, 1)
    rgb = rgb * (1 - fade) + np.asarray(DIALOG) * fade
    picture = Image.fromarray(np.clip(rgb + 0.5, 0, 255).astype(np.uint8))
    shadow = Image.new("L", picture.size, 0)
    ds = ImageDraw.Draw(shadow)
    title = fonts.serif_italic(34)
    ds.text((22, 14), "Halcyra", font=title, fill=200)
    shadow = shadow.filter(ImageFilter.GaussianBlur(2.0))
    picture = Image.composite(Image.new("RGB", picture.size, (20, 16, 30)), picture, shadow)
    d = ImageDraw.Draw(picture)
    d.text((20, 12), "Halcyra", font=title, fill=(255, 236, 214))
    d.text((23, 52), "calm seas, halcyon days", font=fonts.regular(12), fill=(236, 214, 200))
    return np.asarray(picture, dtype=np.uint8)


def product(background):
    """183 x 134: a flat screen showing the scene, on the key colour (its bottom-left pixel)."""
    image = Image.new("RGB", (183, 134), KEY)
    d = ImageDraw.Draw(image)
    # Stand, then the bezel with a light edge, then the picture.
    d.polygon([(78, 112), (105, 112), (112, 126), (71, 126)], fill=(52, 54, 66))
    d.rounded_rectangle([50, 124, 133, 130], radius=3, fill=(70, 72, 86))
    d.rounded_rectangle([6, 4, 176, 114], radius=6, fill=(34, 36, 46), outline=(130, 134, 152))
    screen = Image.fromarray(background).resize((160, 100), Image.LANCZOS)
    image.paste(screen, (11, 9))
    d.ellipse([89, 110, 93, 112], fill=(120, 220, 150))
    return np.asarray(image, dtype=np.uint8)


def track():
    """199 x 24: a recessed groove on the tab page."""
    rgb = np.empty((24, 199, 3))
    rgb[:] = TAB_PAGE
    image = Image.fromarray(rgb.astype(np.uint8))
    d = ImageDraw.Draw(image)
    d.rounded_rectangle([3, 8, 195, 15], radius=4, fill=(150, 156, 176), outline=(112, 118, 140))
    d.line([(6, 9), (192, 9)], fill=(120, 126, 148))
    d.line([(6, 15), (192, 15)], fill=(252, 252, 255))
    for k in range(11):
        x = 17 + round(k * 165 / 10)
        d.line([(x, 19), (x, 21)], fill=(150, 154, 168))
    return np.asarray(image, dtype=np.uint8)


def knob():
    """34 x 16: a rounded knob on the key colour (its bottom-left pixel)."""
    image = Image.new("RGB", (34, 16), KEY)
    body = Image.fromarray(_vertical_gradient(34, 16, (236, 240, 252), (150, 158, 186)).astype(np.uint8))
    mask = Image.new("L", (34, 16), 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, 33, 15], radius=5, fill=255)
    image.paste(body, (0, 0), mask)
    d = ImageDraw.Draw(image)
    d.rounded_rectangle([0, 0, 33, 15], radius=5, outline=(84, 90, 116))
    for x in (13, 16, 19):
        d.line([(x, 4), (x, 11)], fill=(98, 104, 130))
        d.line([(x + 1, 4), (x + 1, 11)], fill=(250, 250, 255))
    return np.asarray(image, dtype=np.uint8)


def button(caption, pressed):
    """76 x 26: a rounded button on the dialog's background with its caption drawn in."""
    image = Image.new("RGB", (76, 26), DIALOG)
    if pressed:
        top, bottom, edge = (118, 126, 156), (160, 168, 196), (52, 56, 74)
    else:
        top, bottom, edge = (214, 220, 238), (150, 158, 186), (60, 64, 84)
    body = Image.fromarray(_vertical_gradient(76, 26, top, bottom).astype(np.uint8))
    mask = Image.new("L", (76, 26), 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, 75, 25], radius=6, fill=255)
    image.paste(body, (0, 0), mask)
    d = ImageDraw.Draw(image)
    d.rounded_rectangle([0, 0, 75, 25], radius=6, outline=edge)
    if not pressed:
        d.line([(6, 1), (69, 1)], fill=(246, 248, 255))
    shift = 1 if pressed else 0
    font = fonts.bold(12)
    colour = (255, 255, 255) if pressed else (36, 40, 58)
    d.text((38 + shift, 13 + shift), caption, font=font, fill=colour, anchor="mm")
    return np.asarray(image, dtype=np.uint8)


def preview(background):
    """154 x 116: the whole scene in miniature for the display settings' preview window."""
    picture = Image.fromarray(background).resize((154, 116), Image.LANCZOS)
    return np.asarray(picture, dtype=np.uint8)
