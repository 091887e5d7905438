#!/usr/bin/env python3
"""Draws assets/picture.png: a 128 x 128 emblem of bold shapes in strong colours, made for brannik.

A sun of concentric rings over a striped horizon, two mountains and a zigzag band, on a background
that wraps at the edges so the picture tiles. Each pixel averages 4 x 4 samples, so edges are soft;
`brannik-assets` later quantises the result to 16 colours. Python 3 standard library only.
Usage: make_picture.py OUT.png
"""
import math
import struct
import sys
import zlib

SIZE = 128
SAMPLES = 4

SKY_TOP = (40, 0, 110)
SKY_LOW = (230, 30, 120)
SUN_RINGS = [(255, 240, 60), (255, 150, 0), (255, 60, 20)]
MOUNTAIN_BACK = (20, 120, 160)
MOUNTAIN_FRONT = (10, 40, 70)
ZIGZAG = (60, 230, 90)
STAR = (255, 255, 255)


def mix(a, b, t):
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


def background(x, y):
    # Vertical gradient that returns to its start at the bottom edge, so the picture tiles.
    t = 0.5 - 0.5 * math.cos(2 * math.pi * y / SIZE)
    return mix(SKY_TOP, SKY_LOW, t)


def sun(x, y):
    dx, dy = x - 64, y - 58
    r = math.hypot(dx, dy)
    if r > 34:
        return None
    if 50 < y < 70 and int(y) % 6 < 2:  # horizon stripes cut through the lower half of the disc
        return None
    return SUN_RINGS[min(2, int(r / 12))]


def mountain(x, y, peak_x, peak_y, half_width):
    return y >= peak_y + abs(x - peak_x) * (SIZE - peak_y) / half_width


def zigzag(x, y):
    centre = 104 + 6 * (1 - abs(((x / 16) % 2) - 1) * 2)
    return abs(y - centre) < 4


def star(x, y, cx, cy, size):
    dx, dy = abs(x - cx), abs(y - cy)
    return dx * dy < size and dx + dy < size * 1.4


def colour_at(x, y):
    if star(x, y, 22, 22, 9) or star(x, y, 104, 30, 6):
        return STAR
    if zigzag(x, y):
        return ZIGZAG
    if mountain(x, y, 36, 70, 40):
        return MOUNTAIN_FRONT
    if mountain(x, y, 96, 62, 46):
        return MOUNTAIN_BACK
    c = sun(x, y)
    if c is not None:
        return c
    return background(x, y)


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray()
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    for k in range(3):
                        acc[k] += c[k]
            row += bytes(int(round(v / (SAMPLES * SAMPLES))) for v in acc)
        rows.append(bytes(row))
    return rows


def write_png(path, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_picture.py OUT.png")
    write_png(sys.argv[1], render())
