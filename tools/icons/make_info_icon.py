#!/usr/bin/env python3
"""Draws the information icon of the extended message box: a white speech
bubble with a blue letter i, 32 x 32 pixels in the 16 standard colours, and
writes it as an ICO file (default: src/dialogs/info.ico)."""
import os
import struct
import sys

SIZE = 32
# The 16 colours of the standard VGA palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GRAY, BLUE, WHITE = 0, 8, 12, 15


def in_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    p = (px, py)
    d1, d2, d3 = side(p, a, b), side(p, b, c), side(p, c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def in_shape(x, y):
    if not (0 <= x < SIZE and 0 <= y < SIZE):
        return False
    cx, cy = x + 0.5, y + 0.5
    if ((cx - 16) / 14.5) ** 2 + ((cy - 12.5) / 11.0) ** 2 <= 1.0:
        return True
    return in_triangle(cx, cy, (7.0, 18.0), (14.0, 22.5), (4.5, 29.5))


def in_bubble(x, y):
    """The shape without single pixels that stick out."""
    if not in_shape(x, y):
        return False
    neighbours = sum(in_shape(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
    return neighbours >= 2


def in_letter(x, y):
    cx, cy = x + 0.5, y + 0.5
    if (cx - 16) ** 2 + (cy - 6.5) ** 2 <= 2.3 ** 2:   # the dot
        return True
    if 14 <= x <= 17 and 10 <= y <= 19:                 # the stem
        return True
    if 12 <= x <= 17 and y == 10:                       # the serif at the top
        return True
    return 12 <= x <= 19 and 19 <= y <= 20              # the foot


def draw():
    """Rows from the top: None for a transparent pixel, else a palette index."""
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            if not in_bubble(x, y):
                # A soft shadow to the lower right of the bubble.
                row.append(GRAY if x > 0 and y > 0 and in_bubble(x - 1, y - 1) else None)
            elif any(not in_bubble(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                row.append(BLACK)
            elif in_letter(x, y):
                row.append(BLUE)
            else:
                row.append(WHITE)
        rows.append(row)
    return rows


def ico_bytes(rows):
    xor_stride = SIZE // 2          # 4 bits per pixel
    and_stride = SIZE // 8          # 1 bit per pixel, already a multiple of 4 bytes
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):      # bitmaps are stored bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = 0 if colour is None else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', '..', 'src', 'dialogs', 'info.ico')
    with open(out, 'wb') as f:
        f.write(ico_bytes(draw()))


if __name__ == '__main__':
    main()
