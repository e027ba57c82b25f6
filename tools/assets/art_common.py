"""Drawing helpers shared by the picture generators.

Everything is drawn larger than the target size and reduced with a box filter,
which gives clean anti-aliased edges. Colour layers travel as (RGB image, L
mask) pairs and are composited in straight alpha; reductions go through
premultiplied alpha so transparent pixels never bleed colour into edges.
"""

import math

from PIL import Image, ImageDraw, ImageFilter

FONT_DIRECTORY = "/usr/share/fonts/truetype/open-sans"


def font_path(face):
    return f"{FONT_DIRECTORY}/OpenSans-{face}.ttf"


def clamp01(value):
    return max(0.0, min(1.0, value))


def phase(frame, start, end):
    """0 before `start`, 1 after `end`, linear in between."""
    if end <= start:
        return 1.0 if frame >= end else 0.0
    return clamp01((frame - start) / (end - start))


def ease_in_out(t):
    return t * t * (3.0 - 2.0 * t)


def ease_out_cubic(t):
    return 1.0 - (1.0 - t) ** 3


def ease_out_back(t, overshoot=1.6):
    t -= 1.0
    return 1.0 + t * t * ((overshoot + 1.0) * t + overshoot)


def hexagon(center, radius, rotation_degrees=-90.0):
    """Six corners; the default rotation puts a corner on top."""
    cx, cy = center
    points = []
    for k in range(6):
        angle = math.radians(rotation_degrees + 60.0 * k)
        points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return points




def thick_segment(a, b, width):
    """A quad of `width` around the segment a-b, with square ends."""
    dx, dy = b[0] - a[0], b[1] - a[1]
    length = math.hypot(dx, dy) or 1.0
    nx, ny = -dy / length * width / 2.0, dx / length * width / 2.0
    return [(a[0] + nx, a[1] + ny), (b[0] + nx, b[1] + ny), (b[0] - nx, b[1] - ny),
            (a[0] - nx, a[1] - ny)]


def linear_gradient(size, start, end, colour_a, colour_b):
    """RGB image whose colour runs from colour_a at point `start` to colour_b at `end`."""
    width, height = size
    dx, dy = end[0] - start[0], end[1] - start[1]
    length_squared = (dx * dx + dy * dy) or 1.0
    # The ramp is linear, so a coarse grid enlarged bilinearly is exact enough.
    step = 4
    grid_width, grid_height = width // step + 2, height // step + 2
    values = []
    for gy in range(grid_height):
        for gx in range(grid_width):
            x, y = gx * step, gy * step
            t = clamp01(((x - start[0]) * dx + (y - start[1]) * dy) / length_squared)
            values.append(int(round(255 * t)))
    coarse = Image.new("L", (grid_width, grid_height))
    coarse.putdata(values)
    mask = coarse.resize((grid_width * step, grid_height * step), Image.BILINEAR).crop((0, 0, width, height))
    return Image.composite(Image.new("RGB", size, colour_b), Image.new("RGB", size, colour_a), mask)


def radial_falloff(size, center, radius, power=2.0, strength=1.0):
    """L mask: strength at `center`, fading to 0 at `radius` with a smooth curve."""
    base = Image.radial_gradient("L")  # 256 x 256, 0 in the middle, 255 at distance 128
    lut = []
    for value in range(256):
        distance = value / 128.0
        t = clamp01(1.0 - distance)
        lut.append(int(round(255 * strength * t ** power)))
    shaped = base.point(lut)
    diameter = int(radius * 2)
    blob = shaped.resize((diameter, diameter), Image.BICUBIC)
    mask = Image.new("L", size, 0)
    mask.paste(blob, (int(center[0] - radius), int(center[1] - radius)))
    return mask






def layer(size, colour_or_image, mask):
    """RGBA layer: a colour (tuple) or RGB image, shown through `mask`."""
    if isinstance(colour_or_image, tuple):
        colour = Image.new("RGB", size, colour_or_image)
    else:
        colour = colour_or_image
    result = colour.convert("RGBA")
    result.putalpha(mask)
    return result


def stack(size, layers):
    """Composites RGBA layers over a transparent canvas, first at the bottom."""
    canvas = Image.new("RGBA", size, (0, 0, 0, 0))
    for item in layers:
        canvas = Image.alpha_composite(canvas, item)
    return canvas


def reduce_rgba(image, factor):
    """Box-filter reduction in premultiplied alpha."""
    width, height = image.size
    premultiplied = image.convert("RGBa")
    small = premultiplied.resize((width // factor, height // factor), Image.BOX)
    return small.convert("RGBA")


def soft_blob(radius, blur):
    """L mask of a blurred disc, for glows and out-of-focus particles."""
    size = int((radius + blur * 3) * 2) + 2
    mask = Image.new("L", (size, size), 0)
    centre = size / 2.0
    ImageDraw.Draw(mask).ellipse((centre - radius, centre - radius, centre + radius, centre + radius),
                                 fill=255)
    if blur > 0:
        mask = mask.filter(ImageFilter.GaussianBlur(blur))
    return mask
