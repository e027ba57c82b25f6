#!/usr/bin/python3
"""Renders a contact sheet of the built-in pictures for a look by eye.

    /usr/bin/python3 tools/assets/preview_assets.py [assets directory] [output.png]

Shows the splash as the progress screen would (logo with its drop shadow,
bar, status texts, close button), the same with the gold logo revealed, every
frame of the logo animation in order, and the close symbol enlarged over dark
and light ground.
"""

import os
import sys

sys.dont_write_bytecode = True

from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from art_common import font_path  # noqa: E402
from logo_art import FRAME_COUNT, FRAME_HEIGHT, FRAME_WIDTH, SHEET_ROWS  # noqa: E402

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GROUND = (28, 30, 36, 255)


def frame(sheet, index):
    column, row = divmod(index, SHEET_ROWS)
    x, y = column * FRAME_WIDTH, row * FRAME_HEIGHT
    return sheet.crop((x, y, x + FRAME_WIDTH, y + FRAME_HEIGHT))


def with_alpha(image, alpha):
    result = image.copy()
    result.putalpha(result.getchannel("A").point(lambda value: value * alpha // 255))
    return result


def shadowed(canvas, image, position):
    shadow = Image.new("RGBA", image.size, (0, 0, 0, 0))
    shadow.putalpha(image.getchannel("A"))
    canvas.alpha_composite(shadow, (position[0] + 1, position[1] + 1))
    canvas.alpha_composite(image, position)


def progress_screen(splash, logo, close, overlay_logo=None, percent=60):
    canvas = splash.convert("RGBA")
    shadowed(canvas, logo, (0, 327))
    if overlay_logo is not None:
        canvas.alpha_composite(overlay_logo.convert("RGBA"), (0, 327))
    draw = ImageDraw.Draw(canvas)
    draw.rectangle((0, 440, 799, 449), fill=(255, 255, 255, 114))
    fill_width = 800 * percent // 100
    layer = Image.new("RGBA", (fill_width, 10))
    for i in range(fill_width):
        t = (i + 1) / fill_width
        colour = tuple(int(a + (b - a) * t) for a, b in zip((51, 155, 255), (119, 225, 255)))
        ImageDraw.Draw(layer).line([(i, 0), (i, 9)], fill=colour + (255,))
    canvas.alpha_composite(layer, (0, 440))
    light = ImageFont.truetype(font_path("Light"), 20)
    bold = ImageFont.truetype(font_path("Bold"), 20)
    reserve = bold.getlength("100%")
    x2 = 800 - reserve - 33
    text = "LOADING..."
    draw.text((x2, 424), f"{percent}%", font=bold, fill=(255, 255, 255), anchor="ls")
    draw.text((x2 - 11 - light.getlength(text), 424), text, font=light, fill=(255, 255, 255), anchor="ls")
    canvas.alpha_composite(with_alpha(close, 150), (762, 0))
    return canvas


def main():
    directory = sys.argv[1] if len(sys.argv) > 1 else os.path.join(REPOSITORY, "assets")
    output = sys.argv[2] if len(sys.argv) > 2 else "/tmp/quarvel_assets_contact.png"
    splash = Image.open(os.path.join(directory, "splash.png"))
    close = Image.open(os.path.join(directory, "close.png")).convert("RGBA")
    sheet = Image.open(os.path.join(directory, "logo_sheet.png")).convert("RGBA")
    static = Image.open(os.path.join(directory, "logo_static.png"))

    columns = 8
    rows = FRAME_COUNT // columns
    label_font = ImageFont.truetype(font_path("Regular"), 11)
    width = max(1620, columns * (FRAME_WIDTH + 8) + 8)
    height = 8 + 450 + 16 + rows * (FRAME_HEIGHT + 18) + 180
    canvas = Image.new("RGBA", (width, height), GROUND)
    last = frame(sheet, FRAME_COUNT - 1)
    canvas.alpha_composite(progress_screen(splash, last, close), (8, 8))
    canvas.alpha_composite(progress_screen(splash, last, close, static, 100), (816, 8))

    draw = ImageDraw.Draw(canvas)
    top = 8 + 450 + 16
    for index in range(FRAME_COUNT):
        x = 8 + (index % columns) * (FRAME_WIDTH + 8)
        y = top + (index // columns) * (FRAME_HEIGHT + 18)
        draw.rectangle((x, y, x + FRAME_WIDTH - 1, y + FRAME_HEIGHT - 1), fill=(10, 13, 20, 255))
        canvas.alpha_composite(frame(sheet, index), (x, y))
        draw.text((x, y + FRAME_HEIGHT + 2), str(index), font=label_font, fill=(160, 160, 170))

    y = top + rows * (FRAME_HEIGHT + 18) + 8
    big_close = close.resize((152, 152), Image.NEAREST)
    for x, ground in ((8, (10, 13, 20, 255)), (176, (235, 238, 242, 255))):
        draw.rectangle((x, y, x + 151, y + 151), fill=ground)
        canvas.alpha_composite(big_close, (x, y))
    draw.rectangle((344, y, 344 + 2 * FRAME_WIDTH - 1, y + 2 * FRAME_HEIGHT - 1), fill=(10, 13, 20, 255))
    canvas.alpha_composite(static.convert("RGBA").resize((2 * FRAME_WIDTH, 2 * FRAME_HEIGHT), Image.NEAREST),
                           (344, y))
    canvas.convert("RGB").save(output)
    print(output)


if __name__ == "__main__":
    main()
