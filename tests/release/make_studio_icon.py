#!/usr/bin/env python3
"""Writes a studio's icon for the branding test: an orange tile with a white
diagonal at 16, 32 and 48 pixels, 32-bit bitmaps, nothing like ours.

    make_studio_icon.py OUT.ico
"""

import struct
import sys

SIZES = (16, 32, 48)


def pixel(x: int, y: int, size: int) -> bytes:
    if abs(x - y) <= size // 8:
        return bytes((255, 255, 255, 255))  # BGRA
    return bytes((16, 120, 240, 255))


def bitmap(size: int) -> bytes:
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(pixel(x, y, size) for y in reversed(range(size)) for x in range(size))
    mask = bytes(((size + 31) // 32) * 4 * size)
    return header + rows + mask


def main() -> int:
    images = [bitmap(size) for size in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], "wb") as file:
        file.write(data + b"".join(images))
    return 0


if __name__ == "__main__":
    sys.exit(main())
