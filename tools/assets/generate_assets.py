#!/usr/bin/python3
"""Writes the built-in pictures of the bootstrapper window into assets/.

    /usr/bin/python3 tools/assets/generate_assets.py [output directory]

Needs Debian's python3-pil and the Open Sans fonts (fonts-open-sans; the
wordmark is set in Open Sans). The output is the same on every run: all
randomness comes from fixed seeds. The pictures are committed; run this
again only after changing the art.
"""

import os
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from close_art import close_symbol  # noqa: E402
from icon_art import ICON_SIZES, icon_bytes  # noqa: E402
from logo_art import palette_logo, sprite_sheet  # noqa: E402
from splash_art import splash  # noqa: E402

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# File name -> (maker, expected size, PIL mode).
PICTURES = {
    "splash.png": (splash, (800, 450), "RGB"),
    "close.png": (close_symbol, (38, 38), "RGBA"),
    "logo_sheet.png": (sprite_sheet, (1000, 1968), "RGBA"),
    "logo_static.png": (palette_logo, (250, 123), "P"),
}
ICON_FILE = "bootstrapper.ico"


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(REPOSITORY, "assets")
    os.makedirs(output, exist_ok=True)
    for name, (make, size, mode) in PICTURES.items():
        image = make()
        if image.size != size or image.mode != mode:
            sys.exit(f"{name}: made {image.size} {image.mode}, expected {size} {mode}")
        path = os.path.join(output, name)
        image.save(path, optimize=True)
        print(f"{path}: {size[0]} x {size[1]} {mode}, {os.path.getsize(path)} bytes")
    # The executable's own icon, carried as a Windows resource.
    path = os.path.join(output, ICON_FILE)
    with open(path, "wb") as file:
        file.write(icon_bytes())
    print(f"{path}: icon of {', '.join(str(side) for side in ICON_SIZES)} pixels, {os.path.getsize(path)} bytes")


if __name__ == "__main__":
    main()
