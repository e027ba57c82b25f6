"""The application icon: the logo's hexagonal "Q" mark on a night-blue tile.

The mark is drawn by the logo painter itself, only larger and without the
wordmark, so the icon and the animated logo stay one drawing. Each icon size
is reduced from one large master; Windows picks the size it shows.
"""

import io
import struct

from PIL import Image, ImageDraw

import logo_art
from art_common import linear_gradient

ICON_SIZES = (16, 24, 32, 48, 64, 256)
MASTER = 1024
MARK_SCALE = 12             # the logo painter's frame enlarged this much
TILE_TOP = (30, 52, 92)
TILE_BOTTOM = (8, 14, 30)
TILE_CORNER = 0.2           # corner radius, fraction of the tile
MARK_SHARE = 0.8            # the mark's larger side, fraction of the tile


def _mark():
    """The finished mark alone, drawn MARK_SCALE times the frame size, RGBA."""
    saved = logo_art.SUPERSAMPLE, logo_art.reduce_rgba
    logo_art.SUPERSAMPLE = MARK_SCALE
    logo_art.reduce_rgba = lambda image, factor: image  # keep the full-size drawing
    try:
        image = logo_art.LogoPainter(logo_art.BLUE_PALETTE).paint(logo_art.LogoState(word=0.0, subline=0.0))
    finally:
        logo_art.SUPERSAMPLE, logo_art.reduce_rgba = saved
    return image.crop(image.getchannel("A").getbbox())


def master_icon():
    """The icon at MASTER x MASTER, RGBA."""
    tile_mask = Image.new("L", (MASTER, MASTER), 0)
    ImageDraw.Draw(tile_mask).rounded_rectangle((0, 0, MASTER - 1, MASTER - 1), radius=int(MASTER * TILE_CORNER),
                                                fill=255)
    tile = linear_gradient((MASTER, MASTER), (0, 0), (0, MASTER), TILE_TOP, TILE_BOTTOM).convert("RGBA")
    tile.putalpha(tile_mask)
    mark = _mark()
    fit = MARK_SHARE * MASTER / max(mark.size)
    size = (round(mark.size[0] * fit), round(mark.size[1] * fit))
    mark = mark.convert("RGBa").resize(size, Image.LANCZOS).convert("RGBA")
    canvas = Image.new("RGBA", (MASTER, MASTER), (0, 0, 0, 0))
    canvas.paste(mark, ((MASTER - size[0]) // 2, (MASTER - size[1]) // 2))
    return Image.alpha_composite(tile, canvas)


def icon_images():
    """The icon at every size of ICON_SIZES, reduced from the master."""
    master = master_icon().convert("RGBa")
    return [master.resize((size, size), Image.LANCZOS).convert("RGBA") for size in ICON_SIZES]


def icon_bytes():
    """The .ico file of the application icon."""
    return ico_bytes(icon_images())


def ico_bytes(images):
    """An .ico file of RGBA square images: 32-bit bitmaps, PNG for 256 pixels
    (the form Windows expects for each)."""
    payloads = [_png(image) if image.size[0] >= 256 else _dib(image) for image in images]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for image, payload in zip(images, payloads):
        side = image.size[0] % 256  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(payload), offset)
        offset += len(payload)
    return header + entries + b"".join(payloads)


def _png(image):
    buffer = io.BytesIO()
    image.save(buffer, "PNG", optimize=True)
    return buffer.getvalue()


def _dib(image):
    """BITMAPINFOHEADER (height doubled for the mask), BGRA rows bottom up, and
    the 1-bit AND mask (all zero: the alpha channel decides)."""
    width, height = image.size
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = image.transpose(Image.FLIP_TOP_BOTTOM).tobytes("raw", "BGRA")
    mask_row = ((width + 31) // 32) * 4
    return header + pixels + bytes(mask_row * height)
