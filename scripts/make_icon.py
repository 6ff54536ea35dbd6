#!/usr/bin/env python3
"""Draws the application icon (a text page with a bar-delimited command and
HTML brackets) as PNG files at 16, 32 and 48 pixels, with the standard library
only. Run from the repository root: scripts/make_icon.py"""
import struct
import zlib
from pathlib import Path

OUT = Path(__file__).resolve().parent.parent / "src" / "app" / "icons"
SS = 4  # supersampling per axis


def shapes():
    """Shapes in a 48x48 design space: (kind, rect or polygon, rgba)."""
    paper = (250, 250, 246, 255)
    edge = (70, 80, 96, 255)
    red = (200, 40, 40, 255)
    blue = (30, 90, 200, 255)
    grey = (150, 156, 166, 255)
    return [
        ("poly", [(8, 3), (32, 3), (42, 13), (42, 45), (8, 45)], edge),
        ("poly", [(10, 5), (31, 5), (40, 14), (40, 43), (10, 43)], paper),
        ("poly", [(31, 5), (31, 14), (40, 14)], (210, 214, 222, 255)),
        ("rect", (14, 10, 16, 22), red),   # the command bars
        ("rect", (22, 10, 24, 22), red),
        ("rect", (17, 15, 21, 17), red),
        ("rect", (14, 26, 36, 28), grey),  # text lines
        ("rect", (14, 31, 32, 33), grey),
        ("poly", [(26, 16), (30, 12), (31.4, 13.4), (28.8, 16), (31.4, 18.6), (30, 20)], blue),
        ("poly", [(38, 16), (34, 12), (32.6, 13.4), (35.2, 16), (32.6, 18.6), (34, 20)], blue),
        ("rect", (14, 36, 28, 38), grey),
    ]


def inside(kind, geo, x, y):
    if kind == "rect":
        x0, y0, x1, y1 = geo
        return x0 <= x < x1 and y0 <= y < y1
    n, hit = len(geo), False
    for i in range(n):
        (ax, ay), (bx, by) = geo[i], geo[(i + 1) % n]
        if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
            hit = not hit
    return hit


def render(size):
    rows = []
    scale = 48.0 / size
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) * scale
                    y = (py + (sy + 0.5) / SS) * scale
                    c = (0, 0, 0, 0)
                    for kind, geo, rgba in shapes():
                        if inside(kind, geo, x, y):
                            c = rgba
                    a = c[3]
                    for k in range(3):
                        acc[k] += c[k] * a
                    acc[3] += a
            n = SS * SS
            a = acc[3]
            rgb = [round(acc[k] / a) if a else 0 for k in range(3)]
            row += bytes(rgb + [round(a / n)])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, raw):
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    OUT.mkdir(parents=True, exist_ok=True)
    for size in (16, 32, 48):
        (OUT / f"norvelle-{size}.png").write_bytes(png(size, render(size)))
