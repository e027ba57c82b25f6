"""The built-in splash: a dark, deep backdrop for the 800 x 450 window.

A cool night-blue field lit from the upper right, a faint hexagon lattice
that catches the light, a very large outline of the mark receding into the
dark, slanted light shafts and out-of-focus particles. The bottom band stays
dark for the logo, the status texts and the progress bar; fine grain keeps
the dark gradients free of banding.
"""

import math
import random

from PIL import Image, ImageChops, ImageDraw, ImageFilter

from art_common import hexagon, linear_gradient, radial_falloff, soft_blob, thick_segment

WIDTH = 800
HEIGHT = 450
SUPERSAMPLE = 2
SEED = 0x51A5


def _add_light(base, colour, mask):
    """Screens `colour` onto `base` through `mask` (adds light without clipping harshly)."""
    light = Image.composite(Image.new("RGB", base.size, colour), Image.new("RGB", base.size, (0, 0, 0)), mask)
    return ImageChops.screen(base, light)


def _darken(base, mask):
    return Image.composite(Image.new("RGB", base.size, (0, 0, 0)), base, mask)


def _lattice_mask(size, cell, line_width):
    """Thin lines of a pointy-top hexagon tiling."""
    width, height = size
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    horizontal = cell * math.sqrt(3.0)
    vertical = cell * 1.5
    rows = int(height / vertical) + 3
    columns = int(width / horizontal) + 3
    for row in range(-1, rows):
        for column in range(-1, columns):
            cx = column * horizontal + (horizontal / 2.0 if row % 2 else 0.0)
            cy = row * vertical
            corners = hexagon((cx, cy), cell)
            draw.line(corners + [corners[0]], fill=255, width=line_width)
    return mask


def _big_mark_mask(size, centre, radius, stroke):
    """Outline of the mark at a very large scale: ring, gap and tail."""
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    half = stroke / 2.0 / math.cos(math.radians(30))
    draw.polygon(hexagon(centre, radius + half), fill=255)
    draw.polygon(hexagon(centre, radius - half), fill=0)
    angle = math.radians(45.0)
    direction = (math.cos(angle), math.sin(angle))
    inner = (centre[0] + direction[0] * radius * 0.4, centre[1] + direction[1] * radius * 0.4)
    outer = (centre[0] + direction[0] * radius * 1.5, centre[1] + direction[1] * radius * 1.5)
    draw.polygon(thick_segment(inner, outer, stroke * 3.0), fill=0)
    draw.polygon(thick_segment(inner, outer, stroke), fill=255)
    draw.polygon(hexagon(centre, radius * 0.3), fill=255)
    draw.polygon(hexagon(centre, radius * 0.3 - stroke * 1.2), fill=0)
    return mask


def _shafts_mask(size, rng):
    width, height = size
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    for _ in range(5):
        x = rng.uniform(0.45, 1.05) * width
        spread = rng.uniform(0.02, 0.06) * width
        strength = rng.randint(40, 90)
        slant = height * 0.55
        draw.polygon([(x - spread, 0), (x + spread, 0), (x + spread - slant, height),
                      (x - spread * 2.5 - slant, height)], fill=strength)
    return mask.filter(ImageFilter.GaussianBlur(width * 0.02))


def _particles_mask(size, rng, scale):
    mask = Image.new("L", size, 0)
    width, height = size
    blobs = {}
    for _ in range(70):
        # Denser towards the light in the upper right.
        x = width * (1.0 - rng.random() ** 1.6)
        y = height * rng.random() ** 1.3 * 0.8
        depth = rng.random()
        radius = (1.0 + depth * 4.0) * scale
        blur = (0.4 + depth * depth * 5.0) * scale
        strength = (0.25 + 0.6 * (1.0 - depth)) * rng.uniform(0.4, 1.0)
        key = (round(radius, 1), round(blur, 1))
        if key not in blobs:
            blobs[key] = soft_blob(radius, blur)
        blob = blobs[key].point(lambda value, k=strength: int(value * k))
        region = Image.new("L", size, 0)
        region.paste(blob, (int(x - blob.size[0] / 2), int(y - blob.size[1] / 2)))
        mask = ImageChops.lighter(mask, region)
    return mask


def _grain(size, rng, amplitude):
    width, height = size
    noise = Image.frombytes("L", size, rng.randbytes(width * height))
    # Map bytes to 0..2*amplitude with a triangular distribution.
    noise_b = Image.frombytes("L", size, rng.randbytes(width * height))
    lut = [int(value * (amplitude + 1) / 256) for value in range(256)]
    return ImageChops.add(noise.point(lut), noise_b.point(lut))


def splash():
    rng = random.Random(SEED)
    s = SUPERSAMPLE
    size = (WIDTH * s, HEIGHT * s)
    width, height = size

    # Night-blue field, a touch lighter at the top.
    image = linear_gradient(size, (0, 0), (0, height), (16, 23, 36), (6, 8, 14))

    # Key light from the upper right and a cool rim from the upper left.
    light_centre = (width * 0.76, height * 0.30)
    image = _add_light(image, (34, 92, 178), radial_falloff(size, light_centre, width * 0.62, 2.2, 0.85))
    image = _add_light(image, (70, 150, 230), radial_falloff(size, light_centre, width * 0.26, 2.6, 0.55))
    image = _add_light(image, (14, 96, 124), radial_falloff(size, (width * 0.06, height * 0.0), width * 0.5, 1.8,
                                                          0.55))

    # Hexagon lattice, visible only where the light falls.
    lattice = _lattice_mask(size, 34 * s, max(1, s))
    lattice_light = radial_falloff(size, light_centre, width * 0.55, 1.6, 0.32)
    image = _add_light(image, (110, 180, 255), ImageChops.multiply(lattice, lattice_light))

    # The mark, very large and faint, receding to the right.
    mark_centre = (width * 0.74, height * 0.40)
    mark = _big_mark_mask(size, mark_centre, height * 0.56, 3 * s)
    mark_glow = mark.filter(ImageFilter.GaussianBlur(14 * s))
    image = _add_light(image, (40, 120, 230), mark_glow.point(lambda value: int(value * 0.55)))
    mark_light = radial_falloff(size, light_centre, width * 0.7, 1.2, 0.42)
    image = _add_light(image, (130, 205, 255), ImageChops.multiply(mark, mark_light))

    # Light shafts and particles.
    image = _add_light(image, (60, 130, 210), _shafts_mask(size, rng).point(lambda value: int(value * 0.45)))
    image = _add_light(image, (150, 215, 255), _particles_mask(size, rng, s))

    # Keep the bottom band quiet for the logo, the texts and the bar.
    bottom = linear_gradient(size, (0, height * 0.55), (0, height), (0, 0, 0), (255, 255, 255)).convert("L")
    image = _darken(image, bottom.point(lambda value: int(value * 0.78)))

    # Vignette.
    vignette = radial_falloff(size, (width / 2, height * 0.45), width * 0.78, 1.3, 1.0)
    image = _darken(image, ImageChops.invert(vignette).point(lambda value: int(value * 0.55)))

    image = image.resize((WIDTH, HEIGHT), Image.BOX)
    grain = _grain((WIDTH, HEIGHT), rng, 2).convert("RGB")
    image = ImageChops.subtract(ImageChops.add(image, grain), Image.new("RGB", (WIDTH, HEIGHT), (2, 2, 2)))
    return image
