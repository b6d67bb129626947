#!/usr/bin/env python3
"""Draws the suite's logo (a printer in a ring on a rounded teal tile) as a PNG.

    ovra-logo.py SIZE OUTPUT.png

Pure Python (zlib): shapes are tested per sample point, 4x4 samples per pixel.
"""
import struct
import sys
import zlib


def rounded_rect(x, y, x0, y0, x1, y1, r):
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(x, y, cx, cy, r_out, r_in):
    d = (x - cx) ** 2 + (y - cy) ** 2
    return r_in * r_in <= d <= r_out * r_out


# Layers, bottom to top, in a 0..1 square: (test, RGBA colour).
TEAL = (18, 124, 138, 255)
WHITE = (255, 255, 255, 255)
DARK = (10, 70, 80, 255)
AMBER = (255, 190, 60, 255)
LAYERS = [
    (lambda x, y: rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.2), TEAL),
    (lambda x, y: ring(x, y, 0.5, 0.5, 0.42, 0.36), WHITE),
    (lambda x, y: rounded_rect(x, y, 0.34, 0.22, 0.66, 0.44, 0.02), WHITE),        # paper in
    (lambda x, y: rounded_rect(x, y, 0.24, 0.40, 0.76, 0.64, 0.05), WHITE),        # body
    (lambda x, y: rounded_rect(x, y, 0.30, 0.47, 0.70, 0.51, 0.01), DARK),         # slot
    (lambda x, y: rounded_rect(x, y, 0.34, 0.56, 0.66, 0.78, 0.02), WHITE),        # paper out
    (lambda x, y: rounded_rect(x, y, 0.38, 0.62, 0.62, 0.64, 0.005), DARK),        # a printed line
    (lambda x, y: rounded_rect(x, y, 0.38, 0.68, 0.56, 0.70, 0.005), DARK),
    (lambda x, y: (x - 0.69) ** 2 + (y - 0.45) ** 2 <= 0.025 ** 2, AMBER),          # status light
]


def pixel(px, py, size, samples=4):
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(samples):
        for sx in range(samples):
            x = (px + (sx + 0.5) / samples) / size
            y = (py + (sy + 0.5) / samples) / size
            colour = (0, 0, 0, 0)
            for test, fill in LAYERS:
                if test(x, y):
                    colour = fill
            a = colour[3] / 255.0
            for i in range(3):
                acc[i] += colour[i] * a
            acc[3] += a
    n = samples * samples
    alpha = acc[3] / n
    if alpha == 0:
        return (0, 0, 0, 0)
    return tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(alpha * 255)),)


def png(size):
    rows = b""
    for py in range(size):
        rows += b"\0" + b"".join(struct.pack("4B", *pixel(px, py, size)) for px in range(size))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


if __name__ == "__main__":
    size, out = int(sys.argv[1]), sys.argv[2]
    with open(out, "wb") as f:
        f.write(png(size))
