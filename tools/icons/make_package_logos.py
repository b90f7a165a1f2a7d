#!/usr/bin/env python3
"""Draws the logos the package manifest names: an umbrella (the Ombrelo
sign) in white on a teal disc, on a transparent background, written as
PNG files of the given sizes. Usage: make_package_logos.py FOLDER
(writes StoreLogo.png 50x50, Square44x44Logo.png, Square150x150Logo.png)."""
import os
import struct
import sys
import zlib

LOGOS = {"StoreLogo.png": 50, "Square44x44Logo.png": 44, "Square150x150Logo.png": 150}
TEAL = (0, 128, 128)
WHITE = (255, 255, 255)


def colour_at(u, v):
    """The colour at (u, v) in the unit square, or None for transparent."""
    dx, dy = u - 0.5, v - 0.5
    if dx * dx + dy * dy > 0.25:
        return None
    # Canopy: the upper half of an ellipse, its lower edge scalloped.
    cx, cy = 0.5, 0.52
    if v <= cy and ((u - cx) / 0.34) ** 2 + ((v - cy) / 0.28) ** 2 <= 1.0:
        return WHITE
    # Handle: a shaft down the middle ending in a hook.
    if abs(u - 0.5) <= 0.025 and cy <= v <= 0.76:
        return WHITE
    hx, hy = 0.44, 0.76
    r = ((u - hx) ** 2 + (v - hy) ** 2) ** 0.5
    if v >= hy and 0.035 <= r <= 0.085:
        return WHITE
    return TEAL


def png(size):
    rows = []
    samples = 4  # 4 x 4 samples a pixel for smooth edges
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((x + (sx + 0.5) / samples) / size, (y + (sy + 0.5) / samples) / size)
                    if c:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 1
            n = acc[3]
            if n:
                row += bytes([acc[0] // n, acc[1] // n, acc[2] // n, 255 * n // (samples * samples)])
            else:
                row += bytes(4)
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) +
            chunk(b"IEND", b""))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(folder, exist_ok=True)
    for name, size in LOGOS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(png(size))


if __name__ == "__main__":
    main()
