"""The Quarvel logo: a hexagonal "Q" mark with a watchful core, and the wordmark.

The animation draws the mark the way a pen would: the hexagon ring is swept
once around from the gap of the Q, the tail shoots out, the core snaps in, then
the wordmark is wiped in and a glint runs over the finished logo. The last
frames hold the clean logo.
"""

import math

from PIL import Image, ImageChops, ImageDraw, ImageFont

from art_common import (clamp01, ease_in_out, ease_out_back, ease_out_cubic, font_path, hexagon, layer,
                        linear_gradient, phase, reduce_rgba, soft_blob, stack, thick_segment)

FRAME_WIDTH = 250
FRAME_HEIGHT = 123
FRAME_COUNT = 64
SHEET_COLUMNS = 4
SHEET_ROWS = 16
SUPERSAMPLE = 4

# Geometry in frame pixels. The frame's bottom rows sit under the progress
# bar, so the logo keeps to the upper part of the frame.
MARK_CENTRE = (60.0, 55.0)
MARK_RADIUS = 35.0          # centre line of the ring, corner distance
RING_WIDTH = 7.0
TAIL_ANGLE = 45.0           # degrees, clockwise from +x (image coordinates)
TAIL_INNER = 14.0           # distance of the tail's inner end from the centre
TAIL_OUTER = 52.0
TAIL_WIDTH = 7.0
TAIL_GAP = 3.0              # clear space cut into the ring on each side of the tail
CORE_RADIUS = 11.0
WORDMARK_LEFT = 110.0
WORDMARK_BASELINE = 61.0
WORDMARK_RIGHT_LIMIT = 242.0
SUBLINE_BASELINE = 80.0

BLUE_PALETTE = {
    "ring": ((132, 232, 255), (40, 130, 245)),
    "core": ((226, 250, 255), (120, 206, 255), (58, 148, 238)),
    "word": (240, 245, 252),
    "subline": (126, 160, 196),
    "glint": (255, 255, 255),
    "head": (190, 240, 255),
}

GOLD_PALETTE = {
    "ring": ((255, 226, 140), (214, 128, 30)),
    "core": ((255, 248, 222), (255, 204, 104), (226, 146, 40)),
    "word": (255, 244, 222),
    "subline": (206, 172, 118),
    "glint": (255, 255, 255),
    "head": (255, 236, 180),
}


class LogoState:
    """How far each part of the logo has come, each 0 to 1."""

    def __init__(self, ring=1.0, tail=1.0, core=1.0, word=1.0, subline=1.0, glint=None, head=0.0):
        self.ring = ring
        self.tail = tail
        self.core = core
        self.word = word
        self.subline = subline
        self.glint = glint      # None, or the glint band's position 0..1
        self.head = head        # brightness of the pen's head


def animation_state(frame):
    """The timeline over the 64 frames."""
    ring_t = phase(frame, 1, 29)
    ring = 0.5 * ring_t + 0.5 * ease_in_out(ring_t)
    tail = ease_out_cubic(phase(frame, 27, 35))
    core_t = phase(frame, 31, 41)
    core = ease_out_back(core_t) if core_t > 0 else 0.0
    word = ease_out_cubic(phase(frame, 36, 52))
    subline = ease_in_out(phase(frame, 46, 57))
    glint_t = phase(frame, 50, 60)
    glint = glint_t if 0.0 < glint_t < 1.0 else None
    head = 1.0 if 0.0 < ring < 1.0 else (1.0 - phase(frame, 29, 33)) if frame >= 29 else 0.0
    return LogoState(ring, tail, core, word, subline, glint, head)


class LogoPainter:
    def __init__(self, palette):
        self.palette = palette
        self.size = (FRAME_WIDTH * SUPERSAMPLE, FRAME_HEIGHT * SUPERSAMPLE)
        s = SUPERSAMPLE
        self.centre = (MARK_CENTRE[0] * s, MARK_CENTRE[1] * s)
        extent = (MARK_RADIUS + RING_WIDTH) * s
        top_left = (self.centre[0] - extent, self.centre[1] - extent)
        bottom_right = (self.centre[0] + extent, self.centre[1] + extent)
        self.ring_fill = linear_gradient(self.size, top_left, bottom_right, *palette["ring"])
        self.ring_mask = self._ring_mask()
        self.word_mask, self.word_box = self._word_mask()
        self.subline_mask = self._subline_mask()
        self.head_blob = soft_blob(RING_WIDTH * s * 0.55, RING_WIDTH * s * 0.45)

    # -- masks of the finished parts ------------------------------------------------

    def _ring_mask(self):
        s = SUPERSAMPLE
        # Corner distance of the outer and inner edges of a ring of RING_WIDTH.
        half = RING_WIDTH / 2.0 / math.cos(math.radians(30))
        mask = Image.new("L", self.size, 0)
        draw = ImageDraw.Draw(mask)
        draw.polygon(hexagon(self.centre, (MARK_RADIUS + half) * s), fill=255)
        draw.polygon(hexagon(self.centre, (MARK_RADIUS - half) * s), fill=0)
        # The gap where the tail crosses the ring.
        a, b = self._tail_points(0.0, 1.4)
        draw.polygon(thick_segment(a, b, (TAIL_WIDTH + 2 * TAIL_GAP) * s), fill=0)
        return mask

    def _tail_points(self, start_fraction, end_fraction):
        s = SUPERSAMPLE
        angle = math.radians(TAIL_ANGLE)
        direction = (math.cos(angle), math.sin(angle))

        def at(distance):
            return (self.centre[0] + direction[0] * distance * s, self.centre[1] + direction[1] * distance * s)

        span = TAIL_OUTER - TAIL_INNER
        return at(TAIL_INNER + span * start_fraction), at(TAIL_INNER + span * end_fraction)

    def _tracked_text(self, text, face, size, tracking):
        """L mask of `text` with extra space between letters; returns (mask, width)."""
        s = SUPERSAMPLE
        font = ImageFont.truetype(font_path(face), int(round(size * s)))
        x = 0.0
        positions = []
        for index, letter in enumerate(text):
            positions.append(x)
            x += font.getlength(letter)
            if index + 1 < len(text):
                x += tracking * s
        return font, positions, x

    def _word_mask(self):
        s = SUPERSAMPLE
        size = 31.0
        tracking = 2.6
        # Shrink until the word fits its space.
        while True:
            font, positions, width = self._tracked_text("QUARVEL", "Bold", size, tracking)
            if WORDMARK_LEFT * s + width <= WORDMARK_RIGHT_LIMIT * s:
                break
            size -= 0.5
        mask = Image.new("L", self.size, 0)
        draw = ImageDraw.Draw(mask)
        for letter, x in zip("QUARVEL", positions):
            draw.text((WORDMARK_LEFT * s + x, WORDMARK_BASELINE * s), letter, font=font, fill=255, anchor="ls")
        box = (WORDMARK_LEFT * s, WORDMARK_LEFT * s + width)
        self.word_width = width
        return mask, box

    def _subline_mask(self):
        s = SUPERSAMPLE
        text = "ANTI-CHEAT"
        font, positions, width = self._tracked_text(text, "Semibold", 10.0, 0.0)
        # Spread the letters so the subline spans the wordmark exactly.
        spare = self.word_width - width
        tracking = spare / (len(text) - 1)
        mask = Image.new("L", self.size, 0)
        draw = ImageDraw.Draw(mask)
        for index, (letter, x) in enumerate(zip(text, positions)):
            draw.text((WORDMARK_LEFT * s + x + tracking * index, SUBLINE_BASELINE * s), letter, font=font,
                      fill=255, anchor="ls")
        return mask

    # -- partial masks -------------------------------------------------------------

    def _sweep_mask(self, fraction):
        """Sector from the tail's angle, clockwise, over `fraction` of a turn."""
        mask = Image.new("L", self.size, 0)
        if fraction <= 0.0:
            return mask
        if fraction >= 1.0:
            return Image.new("L", self.size, 255)
        reach = (MARK_RADIUS + RING_WIDTH * 2) * SUPERSAMPLE
        box = (self.centre[0] - reach, self.centre[1] - reach, self.centre[0] + reach, self.centre[1] + reach)
        ImageDraw.Draw(mask).pieslice(box, TAIL_ANGLE, TAIL_ANGLE + 360.0 * fraction, fill=255)
        return mask

    def _tail_mask(self, fraction):
        mask = Image.new("L", self.size, 0)
        if fraction <= 0.0:
            return mask
        a, b = self._tail_points(0.0, fraction)
        ImageDraw.Draw(mask).polygon(thick_segment(a, b, TAIL_WIDTH * SUPERSAMPLE), fill=255)
        return mask

    def _core_faces(self, scale):
        """The core is a small cube seen from above: top, left and right faces."""
        faces = [Image.new("L", self.size, 0) for _ in range(3)]
        if scale <= 0.0:
            return faces
        corners = hexagon(self.centre, CORE_RADIUS * SUPERSAMPLE * scale)
        top, upper_right, lower_right, bottom, lower_left, upper_left = corners
        outlines = [
            [self.centre, upper_left, top, upper_right],
            [self.centre, bottom, lower_left, upper_left],
            [self.centre, upper_right, lower_right, bottom],
        ]
        for face, outline in zip(faces, outlines):
            ImageDraw.Draw(face).polygon(outline, fill=255)
        return faces

    def _wipe_mask(self, fraction, left, right, feather):
        """Left-to-right reveal with a soft edge of `feather` pixels."""
        if fraction >= 1.0:
            return Image.new("L", self.size, 255)
        edge = left - feather + (right - left + 2 * feather) * fraction
        width = self.size[0]
        values = []
        for x in range(width):
            values.append(int(round(255 * clamp01((edge - x) / feather + 0.5))))
        row = Image.new("L", (width, 1))
        row.putdata(values)
        return row.resize(self.size, Image.NEAREST)

    def _glint_mask(self, position):
        """A slanted bright band that crosses the logo from left to right."""
        width, height = self.size
        band = 26 * SUPERSAMPLE
        slant = 0.45
        centre = -band + (width + 2 * band + height * slant) * position
        mask = Image.new("L", self.size, 0)
        draw = ImageDraw.Draw(mask)
        for offset, strength in ((1.0, 70), (0.55, 140), (0.22, 210)):
            half = band * offset / 2.0
            draw.polygon([(centre - half, 0), (centre + half, 0),
                          (centre + half - height * slant, height), (centre - half - height * slant, height)],
                         fill=strength)
        return mask

    def _head_position(self, fraction):
        s = SUPERSAMPLE
        angle = math.radians(TAIL_ANGLE + 360.0 * fraction)
        # Distance of the hexagon's centre line at this angle (corner on top).
        relative = (math.degrees(angle) - 30.0) % 60.0 - 30.0
        distance = MARK_RADIUS * math.cos(math.radians(30)) / math.cos(math.radians(relative))
        return (self.centre[0] + math.cos(angle) * distance * s, self.centre[1] + math.sin(angle) * distance * s)

    # -- a frame ---------------------------------------------------------------------

    def paint(self, state):
        """The logo at `state`, full size RGBA."""
        size = self.size
        palette = self.palette
        ring = ImageChops.multiply(self.ring_mask, self._sweep_mask(state.ring))
        tail = self._tail_mask(state.tail)
        core_faces = self._core_faces(state.core)
        s = SUPERSAMPLE
        word_left, word_right = self.word_box
        word = ImageChops.multiply(self.word_mask, self._wipe_mask(state.word, word_left, word_right, 14 * s))
        subline = self.subline_mask.point(lambda value: int(value * state.subline))
        mark = ImageChops.lighter(ring, tail)
        layers = [
            layer(size, self.ring_fill, mark),
            *[layer(size, colour, face) for colour, face in zip(palette["core"], core_faces)],
            layer(size, palette["word"], word),
            layer(size, palette["subline"], subline),
        ]
        image = stack(size, layers)
        if state.glint is not None:
            shape = image.getchannel("A")
            glint = ImageChops.multiply(shape, self._glint_mask(state.glint))
            image = Image.alpha_composite(image, layer(size, palette["glint"], glint))
            image.putalpha(shape)
        if state.head > 0.0:
            head = self._head_position(state.ring)
            blob = self.head_blob
            glow = Image.new("L", size, 0)
            glow.paste(blob, (int(head[0] - blob.size[0] / 2), int(head[1] - blob.size[1] / 2)))
            glow = glow.point(lambda value: int(value * 0.85 * state.head))
            image = Image.alpha_composite(image, layer(size, palette["head"], glow))
        return reduce_rgba(image, SUPERSAMPLE)


def final_logo(palette=BLUE_PALETTE):
    return LogoPainter(palette).paint(LogoState())


def sprite_sheet():
    """64 frames of 250 x 123, 4 columns of 16 rows, filled column by column."""
    painter = LogoPainter(BLUE_PALETTE)
    sheet = Image.new("RGBA", (FRAME_WIDTH * SHEET_COLUMNS, FRAME_HEIGHT * SHEET_ROWS), (0, 0, 0, 0))
    final = painter.paint(LogoState())
    for frame in range(FRAME_COUNT):
        if frame >= 60:
            image = final
        else:
            image = painter.paint(animation_state(frame))
        column, row = divmod(frame, SHEET_ROWS)
        sheet.paste(image, (column * FRAME_WIDTH, row * FRAME_HEIGHT))
    return sheet


def palette_logo():
    """The gold edition of the logo as an indexed picture with transparency."""
    image = final_logo(GOLD_PALETTE)
    return image.quantize(colors=48, method=Image.Quantize.FASTOCTREE, dither=Image.Dither.NONE)
