#!/usr/bin/env python3
"""Draws the plug-in's icon: a flat computer monitor on a transparent
background, frame and stand in blue, screen in dark blue. Writes icon.png
(256 x 256, 8-bit RGBA) and canvas.ico, whose single entry is that PNG.
Run it again after changing the artwork; both outputs are committed."""
import struct
import zlib
from pathlib import Path

SIZE = 256
FRAME = (52, 121, 238, 255)
SCREEN = (17, 40, 79, 255)
CLEAR = (0, 0, 0, 0)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    """True if (x, y) lies in the rectangle [x0, x1) x [y0, y1) with corners of radius r."""
    if not (x0 <= x < x1 and y0 <= y < y1):
        return False
    cx = min(max(x, x0 + r), x1 - 1 - r)
    cy = min(max(y, y0 + r), y1 - 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def pixel(x, y):
    if rounded_rect(x, y, 28, 40, 228, 180, 8):
        return SCREEN if rounded_rect(x, y, 40, 52, 216, 168, 3) else FRAME
    if 112 <= x < 144 and 180 <= y < 206:  # neck
        return FRAME
    if rounded_rect(x, y, 76, 204, 180, 218, 6):  # foot
        return FRAME
    return CLEAR


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(image):
    # One directory entry; 0 in the width and height bytes means 256.
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def main():
    here = Path(__file__).resolve().parent
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    image = png(SIZE, SIZE, rows)
    (here / "icon.png").write_bytes(image)
    (here / "canvas.ico").write_bytes(ico(image))


if __name__ == "__main__":
    main()
