"""The close symbol: a thin, round-capped cross on a transparent 38 x 38 tile.

A soft dark halo under the strokes keeps the cross legible over a bright
custom splash.
"""

from PIL import Image, ImageChops, ImageDraw, ImageFilter

from art_common import layer, reduce_rgba, stack

SIZE = 38
SUPERSAMPLE = 8
ARM = 6.0        # half the length of each stroke, in pixels
STROKE = 1.8


def _cross_mask(size, centre, arm, stroke):
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    cx, cy = centre
    for dx, dy in ((arm, arm), (arm, -arm)):
        draw.line([(cx - dx, cy - dy), (cx + dx, cy + dy)], fill=255, width=int(round(stroke)))
        for x, y in ((cx - dx, cy - dy), (cx + dx, cy + dy)):
            r = stroke / 2.0
            draw.ellipse((x - r, y - r, x + r, y + r), fill=255)
    return mask


def close_symbol():
    s = SUPERSAMPLE
    size = (SIZE * s, SIZE * s)
    centre = (SIZE * s / 2.0, SIZE * s / 2.0)
    cross = _cross_mask(size, centre, ARM * s, STROKE * s)
    halo = _cross_mask(size, centre, ARM * s, STROKE * s * 2.5).filter(ImageFilter.GaussianBlur(2.5 * s))
    halo = ImageChops.multiply(halo, Image.new("L", size, 120))
    image = stack(size, [layer(size, (0, 0, 0), halo), layer(size, (255, 255, 255), cross)])
    return reduce_rgba(image, s)
