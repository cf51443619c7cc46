"""The fonts the pictures are lettered with: Debian's Liberation fonts (metric twins of the common
Windows faces), found at their packaged paths."""

from PIL import ImageFont

_ROOT = "/usr/share/fonts/truetype/liberation2/"


def regular(size):
    return ImageFont.truetype(_ROOT + "LiberationSans-Regular.ttf", size)


def bold(size):
    return ImageFont.truetype(_ROOT + "LiberationSans-Bold.ttf", size)


def serif_italic(size):
    return ImageFont.truetype(_ROOT + "LiberationSerif-Italic.ttf", size)
