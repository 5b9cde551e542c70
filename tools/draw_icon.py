#!/usr/bin/env python3
"""Draws the program icon, resources/lagvane.ico: a magenta badge bearing the letter L, round with
a pointed lower-left corner, at 64, 48 and 32 pixels. Standard library only, so it reruns anywhere.

Each size is a 32-bit DIB entry with its 1-bit mask, which every Windows version reads."""

import math
import os
import struct
import sys

MAGENTA = (232, 0, 221)
LETTER = (255, 236, 253)
SUPERSAMPLE = 4


def coverage(size, inside):
    """Fraction of each pixel covered by the shape `inside(x, y)` (coordinates in 0..1)."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    hits += inside(x, y)
            row.append(hits / (n * n))
        rows.append(row)
    return rows


def badge(x, y):
    # A circle, with its lower-left quarter filled out to a point.
    cx, cy, r = 0.5, 0.5, 0.46
    in_circle = (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    in_corner = cx - r <= x <= cx and cy <= y <= cy + r
    return in_circle or in_corner


def letter_l(x, y):
    stem = 0.34 <= x <= 0.47 and 0.24 <= y <= 0.74
    foot = 0.34 <= x <= 0.68 and 0.62 <= y <= 0.74
    return stem or foot


def draw(size):
    body = coverage(size, badge)
    mark = coverage(size, letter_l)
    pixels = []  # top-down rows of (b, g, r, a), straight alpha
    for y in range(size):
        row = []
        for x in range(size):
            a = body[y][x]
            t = mark[y][x]
            colour = [MAGENTA[i] * (1 - t) + LETTER[i] * t for i in range(3)]
            row.append((round(colour[2]), round(colour[1]), round(colour[0]), round(a * 255)))
        pixels.append(row)
    return pixels


def dib_entry(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes(p) for row in reversed(pixels) for p in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "resources", "lagvane.ico")
    sizes = [64, 48, 32]
    entries = [dib_entry(s, draw(s)) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, e in zip(sizes, entries):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(e), offset)
        offset += len(e)
    data += b"".join(entries)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
