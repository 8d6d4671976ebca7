#!/usr/bin/env python3
"""Draws the two interface images (a gear and the logo) as PNG files, and the
logo as the program's icon in the sizes the menu entry uses.

Pure standard library so that it runs anywhere; the images are committed and
this script only needs to run again when they change.
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZE = 64
SS = 4  # supersampling per axis


def write_png(path, pixels, size=SIZE):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                     + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def render(shade, size=SIZE):
    """shade(x, y) -> (r, g, b, a) or None, in unit coordinates centred on 0."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = ((px + (sx + 0.5) / SS) / size) * 2 - 1
                    y = ((py + (sy + 0.5) / SS) / size) * 2 - 1
                    c = shade(x, y)
                    if c:
                        a = c[3] / 255.0
                        for i in range(3):
                            acc[i] += c[i] * a
                        acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if alpha > 0:
                row += [round(acc[i] / acc[3]) for i in range(3)] + [round(alpha * 255)]
            else:
                row += [0, 0, 0, 0]
        rows.append(row)
    return rows


def gear(x, y):
    r = math.hypot(x, y)
    angle = math.atan2(y, x)
    teeth = 8
    phase = (angle * teeth / (2 * math.pi)) % 1.0
    outer = 0.92 if 0.25 < phase < 0.75 else 0.72
    if r < 0.28 or r > outer:
        return None
    return (70, 78, 90, 255)


def logo(x, y):
    # a small woven rug: a rounded tile with a diamond lattice and fringes
    if abs(x) > 0.9 or abs(y) > 0.9:
        return None
    if abs(y) > 0.78:
        return (200, 170, 110, 255) if int((x + 1) * 12) % 2 == 0 else None
    d = abs(x) + abs(y)
    band = int(d * 5) % 2
    if abs(x) > 0.7:
        return (120, 30, 40, 255)
    return (170, 40, 50, 255) if band == 0 else (235, 200, 120, 255)


if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources")
    write_png(out / "images" / "settings.png", render(gear))
    write_png(out / "images" / "kovrin.png", render(logo))
    for size in (48, 128, 256):
        write_png(out / "icons" / f"velmor-tarsila-{size}.png", render(logo, size), size)
